// The sync checker against a scripted player whose position the test sets.
#include "ui/timing/synchro.h"

#include "timingfixture.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kolvo;
using namespace kolvo::test;

namespace {

class SynchroTest : public ::testing::Test, public TimingFixture {
  protected:
    void SetUp() override {
        app.model.setField(SummaryField::Bpm, "120");
        app.model.setField(SummaryField::Gap, "500");
        app.player.running = true; // a player is loaded
        app.player.FindWindowA();
        w = new Synchro(app.ctx, &summary);
        w->show();
    }
    void TearDown() override { deleteToolWindows(); }

    // The player is at `ms`; one tick of the beat poll.
    void tickAt(int ms) {
        app.player.playPosition = ms;
        w->pollBeat();
    }
    QList<int> litLights() const {
        QList<int> on;
        for (int i = 1; i <= 8; ++i) {
            if (w->lightOn(i))
                on << i;
        }
        return on;
    }
    void leave(QLineEdit* box) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(box, &out);
        QCoreApplication::processEvents(); // the test runs once the focus has moved
    }

    QPointer<Synchro> w;
};

TEST_F(SynchroTest, OpensWithTheSummaryValuesAndDisablesItsOpener) {
    EXPECT_EQ(w->windowTitle(), "Synchronisation Checker");
    EXPECT_EQ(w->bpmEdit()->text(), "120");
    EXPECT_EQ(w->gapEdit()->text(), "500");
    EXPECT_FALSE(summary.isEnabled());
    EXPECT_FALSE(w->beatPollTimer()->isActive());
    EXPECT_EQ(litLights(), QList<int>{});
    w->close();
    EXPECT_TRUE(summary.isEnabled());
}

TEST_F(SynchroTest, LightsFollowTheBeatsAfterTheGap) {
    w->testButton()->click(); // Test
    EXPECT_EQ(app.player.commands, QList<int>{winamp::Play});
    EXPECT_EQ(app.player.jumps, QList<int>{500});
    EXPECT_TRUE(w->beatPollTimer()->isActive());
    EXPECT_EQ(w->beatPollTimer()->interval(), 50);

    struct Tick {
        int ms;
        QList<int> lit;
        int beeps;
    };
    const Tick ticks[] = {
        {520, {}, 0},   {1000, {}, 0},     {1010, {1}, 1},       {1050, {1}, 1},
        {1500, {1}, 1}, {1540, {1, 2}, 2}, {2030, {1, 2, 3}, 3},
    };
    for (const Tick& t : ticks) {
        tickAt(t.ms);
        EXPECT_EQ(litLights(), t.lit) << "at " << t.ms;
        EXPECT_EQ(w->beeps(), t.beeps) << "at " << t.ms;
    }
    EXPECT_EQ(w->syncbeat(), 3);

    // Test again while playing carries on from the count: no Play.
    w->testButton()->click();
    EXPECT_EQ(app.player.commands, QList<int>{winamp::Play});
    EXPECT_EQ(app.player.jumps, (QList<int>{500, 2000}));

    // Beats 4 to 7 fill the row; the eighth clears it in the same tick.
    for (int beat = 4; beat <= 7; ++beat)
        tickAt(500 + beat * 500 + 20);
    EXPECT_EQ(litLights(), (QList<int>{1, 2, 3, 4, 5, 6, 7}));
    tickAt(500 + 8 * 500 + 20);
    EXPECT_EQ(litLights(), QList<int>{});
    EXPECT_EQ(w->synclight(), 0);
    tickAt(500 + 9 * 500 + 20);
    EXPECT_EQ(litLights(), QList<int>{1});
}

TEST_F(SynchroTest, ABeatDueBetweenPollsGetsAPollOfItsOwn) {
    w->testButton()->click();
    tickAt(970); // the first beat is due at 1000, before the next poll
    ASSERT_TRUE(w->beatTimer()->isActive());
    EXPECT_LE(w->beatTimer()->remainingTime(), 31);
    app.player.playPosition = 1001;
    QTest::qWait(60);
    EXPECT_EQ(w->syncbeat(), 1);
    w->beatPollTimer()->stop();
    w->beatTimer()->stop();
    tickAt(1200); // no beat due within a poll, or the poll is not running
    EXPECT_FALSE(w->beatTimer()->isActive());
}

TEST_F(SynchroTest, StoppedPlayerStartsAgainAtTheGap) {
    w->testButton()->click();
    tickAt(1100);
    tickAt(1600);
    ASSERT_EQ(w->syncbeat(), 2);
    app.player.playState = 3; // paused: the count stays
    tickAt(1600);
    EXPECT_EQ(w->syncbeat(), 2);
    app.player.playState = 0; // stopped in the player
    app.player.playPosition = 0;
    w->pollBeat();
    EXPECT_EQ(w->syncbeat(), 0);
    w->testButton()->click();
    EXPECT_EQ(app.player.commands, (QList<int>{winamp::Play, winamp::Play}));
    EXPECT_EQ(app.player.jumps.last(), 500);
}

TEST_F(SynchroTest, NudgeButtons) {
    struct Press {
        QPushButton* button;
        QLineEdit* box;
        int times;
        const char* start;
        const char* result;
    };
    const Press presses[] = {
        {w->tooEarlyButton(), w->gapEdit(), 3, "500", "530"}, // Too early
        {w->tooLateButton(), w->gapEdit(), 2, "500", "480"},  // Too late
        {w->tooLateButton(), w->gapEdit(), 1, "5", "-5"},
        {w->tooQuickButton(), w->bpmEdit(), 1, "120", "119"}, // Too quick
        {w->tooSlowButton(), w->bpmEdit(), 2, "120", "122"},  // Too slow
        {w->tooSlowButton(), w->bpmEdit(), 1, "128.5", "129.5"},
        {w->tooSlowButton(), w->bpmEdit(), 1, "150bpm", "151"},
        {w->tooEarlyButton(), w->gapEdit(), 1, "abc", "10"},
    };
    for (const Press& p : presses) {
        p.box->setText(p.start);
        for (int i = 0; i < p.times; ++i)
            p.button->click();
        EXPECT_EQ(p.box->text(), p.result) << p.start;
    }
    EXPECT_TRUE(app.player.jumps.isEmpty()); // nudging does not test
}

TEST_F(SynchroTest, OkCopiesBothValuesCancelNeither) {
    w->bpmEdit()->setText("119");
    w->gapEdit()->setText("530");
    w->cancelButton()->click(); // Cancel
    EXPECT_EQ(app.player.commands, QList<int>{winamp::Stop});
    EXPECT_EQ(app.model.bpm(), "120");
    EXPECT_EQ(app.model.gap(), "500");
    EXPECT_TRUE(summary.isEnabled());

    auto* again = new Synchro(app.ctx, &summary);
    again->bpmEdit()->setText("119");
    again->tooEarlyButton()->click();
    again->okButton()->click(); // OK
    EXPECT_EQ(app.model.bpm(), "119");
    EXPECT_EQ(app.model.gap(), "510");
    EXPECT_EQ(app.player.commands, (QList<int>{winamp::Stop, winamp::Stop}));
    EXPECT_TRUE(summary.isEnabled());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(SynchroTest, TestWithoutAPlayer) {
    app.player.running = false;
    w->testButton()->click();
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().text,
              "Winamp window not found. Load the file by clicking on the Winamp icon.");
    EXPECT_EQ(app.boxes.last().title, "Winamp not found.");
    EXPECT_EQ(app.boxes.last().icon, MsgIcon::None);
    EXPECT_TRUE(app.player.commands.isEmpty());
    EXPECT_FALSE(w->beatPollTimer()->isActive());
}

TEST_F(SynchroTest, TestWithNoUsableBpmSaysSo) {
    for (const char* bpm : {"0", "abc", "-120", ""}) {
        app.boxes.shown.clear();
        w->bpmEdit()->setText(bpm);
        w->testButton()->click();
        ASSERT_EQ(app.boxes.shown.size(), 1) << bpm;
        EXPECT_EQ(app.boxes.last().title, "BPM invalid.");
        EXPECT_TRUE(app.boxes.last().text.contains("greater than 0"));
    }
    EXPECT_TRUE(app.player.commands.isEmpty());
    EXPECT_TRUE(app.player.jumps.isEmpty());
    // A running poll with such a BPM signals nothing either.
    w->bpmEdit()->setText("120");
    w->testButton()->click();
    w->bpmEdit()->setText("0");
    tickAt(5000);
    EXPECT_EQ(w->syncbeat(), 0);
}

TEST_F(SynchroTest, LeavingABoxRewritesItAndTests) {
    w->bpmEdit()->setText(" 150bpm");
    leave(w->bpmEdit());
    EXPECT_EQ(w->bpmEdit()->text(), "150");
    EXPECT_EQ(app.player.jumps, QList<int>{500});

    w->gapEdit()->setText("0250.50");
    leave(w->gapEdit());
    EXPECT_EQ(w->gapEdit()->text(), "250.5");
    EXPECT_EQ(app.player.jumps.last(), 250); // 250.5 rounds to even

    w->gapEdit()->setText("gap");
    leave(w->gapEdit());
    EXPECT_EQ(w->gapEdit()->text(), "0");

    // Another window taking the focus is not leaving the box.
    const int jumps = app.player.jumps.size();
    QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(w->bpmEdit(), &away);
    QCoreApplication::processEvents();
    EXPECT_EQ(app.player.jumps.size(), jumps);
}

TEST_F(SynchroTest, LoadButtonLoadsTheSong) {
    app.player.running = false;
    w->loadButton()->click();
    EXPECT_EQ(app.player.launchedFiles, QStringList{app.model.musicadd()});
    EXPECT_EQ(app.player.commands, QList<int>{winamp::Stop});
    EXPECT_TRUE(app.player.IsWindow());

    app.ctx.winamppath = app.path("nowhere");
    w->loadButton()->click();
    EXPECT_EQ(app.boxes.last().title, "Could not find winamp.exe");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
    EXPECT_TRUE(summary.isEnabled());
}

} // namespace
