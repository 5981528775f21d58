// The gap and BPM finders against a scripted player and a clock set by the
// test, so the Enter presses happen at exact times.
#include "ui/timing/findbpm.h"
#include "ui/timing/findthegap.h"
#include "ui/timing/toolwidgets.h"

#include "timingfixture.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace kolvo;
using namespace kolvo::test;

namespace {

using winamp::Pause;
using winamp::Play;
using winamp::Stop;

class TappingTest : public ::testing::Test, public TimingFixture {
  protected:
    template <class W> QPointer<W> open() {
        auto* w = new W(app.ctx, &summary);
        w->setClock(clock());
        w->show();
        return w;
    }
    void TearDown() override { deleteToolWindows(); }

    // Lets a closed window go (WA_DeleteOnClose).
    static void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    static void expectStep(TappingTool* w, int step) {
        EXPECT_EQ(w->step(), step);
        EXPECT_EQ(w->stepOneLabel()->isEnabled(), step == 1);
        EXPECT_EQ(w->stepTwoLabel()->isEnabled(), step == 2);
        EXPECT_EQ(w->stepThreeLabel()->isEnabled(), step == 3);
        EXPECT_EQ(isLit(w->stepOneLabel()), step == 1);
        EXPECT_EQ(isLit(w->stepTwoLabel()), step == 2);
        EXPECT_EQ(isLit(w->stepThreeLabel()), step == 3);
        EXPECT_EQ(w->acceptButton()->isVisible(), step == 0);
        EXPECT_EQ(w->rejectButton()->isEnabled(), step == 0);
    }
};

TEST_F(TappingTest, GapFinderMeasuresFromPlayToTheFirstBeat) {
    QPointer<FindTheGap> w = open<FindTheGap>();
    EXPECT_FALSE(summary.isEnabled());
    EXPECT_EQ(w->windowTitle(), "Find The Gap");
    expectStep(w, 1);
    EXPECT_FALSE(w->resultLabel()->isVisible());

    QTest::keyClick(w, Qt::Key_Return); // load the player, wait at the start
    EXPECT_EQ(app.player.launchedFiles, QStringList{app.model.musicadd()});
    EXPECT_EQ(app.player.commands, (QList<int>{Stop, Play, Pause}));
    EXPECT_EQ(app.player.playState, 3);
    expectStep(w, 2);

    advanceMs(5000);
    QTest::keyClick(w, Qt::Key_Enter, Qt::KeypadModifier); // play, start timing
    EXPECT_EQ(app.player.commands.last(), Play);
    expectStep(w, 3);

    advanceMs(2345.6);
    QTest::keyClick(w, Qt::Key_Return); // the first beat
    EXPECT_EQ(app.player.commands.last(), Stop);
    expectStep(w, 0);
    EXPECT_TRUE(w->resultLabel()->isVisible());
    EXPECT_EQ(w->resultLabel()->text(), "Gap is 2340ms.");
    EXPECT_EQ(w->foundgap(), "2340");
    EXPECT_EQ(app.model.gap(), "0"); // not until Accept

    QTest::keyClick(w, Qt::Key_Return); // a result is on screen: nothing
    EXPECT_EQ(w->step(), 0);

    w->acceptButton()->click();
    settle();
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(app.model.gap(), "2340");
    EXPECT_TRUE(summary.isEnabled());
    EXPECT_TRUE(app.boxes.shown.isEmpty());
}

TEST_F(TappingTest, RejectStartsOverAndRelaunchesThePlayer) {
    QPointer<FindTheGap> w = open<FindTheGap>();
    for (int round = 0; round < 2; ++round) {
        w->keyDown(13);
        w->keyDown(108); // the keypad separator counts as Enter
        advanceMs(1000 + round * 10);
        w->keyDown(13);
        EXPECT_EQ(w->resultLabel()->text(), round == 0 ? "Gap is 1000ms." : "Gap is 1010ms.");
        EXPECT_TRUE(w->resultLabel()->isVisible());
        w->rejectButton()->click();
        expectStep(w, 1);
        // A new run shows no result until it has one of its own.
        EXPECT_FALSE(w->resultLabel()->isVisible());
    }
    EXPECT_EQ(app.player.launchedFiles.size(), 2);
    w->close();
    settle();
    EXPECT_EQ(app.model.gap(), "0");
    EXPECT_TRUE(summary.isEnabled());
}

TEST_F(TappingTest, ButtonsStillTakeTheKeysTheWindowLeaves) {
    QPointer<FindTheGap> w = open<FindTheGap>();
    w->keyDown(13);
    w->keyDown(13);
    advanceMs(500);
    w->keyDown(13);
    ASSERT_EQ(w->step(), 0);
    QTest::keyClick(w->acceptButton(), Qt::Key_Return); // the window's key: nothing more
    EXPECT_EQ(w->step(), 0);
    EXPECT_EQ(app.model.gap(), "0");
    QTest::keyClick(w->rejectButton(), Qt::Key_Space); // Space presses Reject
    expectStep(w, 1);
}

TEST_F(TappingTest, ChecksRunBeforeEveryKeyButEscape) {
    app.model.setField(SummaryField::MusicFile, QString());
    QPointer<FindTheGap> w = open<FindTheGap>();
    QTest::keyClick(w, Qt::Key_A);
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().title, "No MP3 file selected");
    EXPECT_EQ(app.boxes.last().icon, MsgIcon::Exclamation);
    EXPECT_FALSE(w.isNull());
    EXPECT_TRUE(w->isVisible());

    app.model.setField(SummaryField::MusicFile, app.path("gone.mp3"));
    QTest::keyClick(w, Qt::Key_A);
    EXPECT_EQ(app.boxes.last().title, "Could not find MP3 file");
    EXPECT_EQ(app.boxes.last().text,
              app.path("gone.mp3") +
                  " could not be found. Please check the MP3 file address and the path to your "
                  "DDR simulator.");
    EXPECT_TRUE(w->isVisible());

    app.model.setField(SummaryField::MusicFile, app.path("song.wav"));
    app.ctx.winamppath = app.path("nowhere");
    QTest::keyClick(w, Qt::Key_Return);
    EXPECT_EQ(app.boxes.last().title, "Could not find winamp.exe");
    settle();
    EXPECT_TRUE(w.isNull()); // that one closes the window
    EXPECT_TRUE(summary.isEnabled());
    EXPECT_TRUE(app.player.commands.isEmpty());
}

TEST_F(TappingTest, EscapeAndOtherKeys) {
    QPointer<FindBPM> w = open<FindBPM>();
    QTest::keyClick(w, Qt::Key_Space);
    QTest::keyClick(w, Qt::Key_5, Qt::KeypadModifier);
    EXPECT_EQ(w->step(), 1);
    EXPECT_TRUE(app.player.commands.isEmpty());
    QTest::keyClick(w, Qt::Key_Escape);
    settle();
    EXPECT_TRUE(w.isNull());
    EXPECT_TRUE(summary.isEnabled());
    EXPECT_EQ(app.model.bpm(), "120");
}

TEST_F(TappingTest, PlayerClosedBeforeTimingStarts) {
    for (bool bpmFinder : {false, true}) {
        app.boxes.shown.clear();
        QPointer<TappingTool> w = bpmFinder ? static_cast<TappingTool*>(open<FindBPM>())
                                            : static_cast<TappingTool*>(open<FindTheGap>());
        w->keyDown(13);
        app.player.running = false; // the user closed the player
        w->keyDown(13);
        ASSERT_EQ(app.boxes.shown.size(), 1);
        EXPECT_EQ(app.boxes.last().text, "WinAMP doesn't appear to be open!");
        EXPECT_EQ(app.boxes.last().title, "Ack!");
        settle();
        EXPECT_TRUE(w.isNull());
        EXPECT_TRUE(summary.isEnabled());
    }
    EXPECT_EQ(app.model.bpm(), "120");
    EXPECT_EQ(app.model.gap(), "0");
}

// Escape leaves at once, before any check, and stops the music a step
// started; a player that ends while a step uses it is reported at once,
// without waiting for the next key.
TEST_F(TappingTest, EscapeAndAPlayerThatEndsStopTheStepAtOnce) {
    const struct {
        const char* what;
        bool bpmFinder;
        bool noMusic;    // no music file set: Escape still closes, with no message
        int keysFirst;   // Enter presses before the event
        bool playerEnds; // the player ends instead of Escape
    } cases[] = {{"gap finder, Escape without music", false, true, 0, false},
                 {"gap finder, Escape while paused at the start", false, false, 1, false},
                 {"BPM finder, Escape while counting", true, false, 3, false},
                 {"gap finder, player ends while paused", false, false, 1, true},
                 {"BPM finder, player ends while counting", true, false, 3, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        app.boxes.shown.clear();
        app.player.commands.clear();
        app.player.running = false;
        app.model.setField(SummaryField::MusicFile, c.noMusic ? QString() : app.path("song.wav"));
        QPointer<TappingTool> w = c.bpmFinder ? static_cast<TappingTool*>(open<FindBPM>())
                                              : static_cast<TappingTool*>(open<FindTheGap>());
        for (int i = 0; i < c.keysFirst; ++i)
            w->keyDown(13);
        app.player.commands.clear();
        if (c.playerEnds) {
            app.player.running = false;
            app.player.announceEnded();
            QCoreApplication::processEvents();
            ASSERT_EQ(app.boxes.shown.size(), 1);
            EXPECT_EQ(app.boxes.last().text, "WinAMP doesn't appear to be open!");
            EXPECT_TRUE(app.player.commands.isEmpty()) << "nothing sent to a gone player";
        } else {
            QTest::keyClick(w, Qt::Key_Escape);
            EXPECT_TRUE(app.boxes.shown.isEmpty());
            EXPECT_EQ(app.player.commands, c.keysFirst > 0 ? QList<int>{Stop} : QList<int>{});
            EXPECT_EQ(app.player.playState, 0);
        }
        settle();
        EXPECT_TRUE(w.isNull());
        EXPECT_TRUE(summary.isEnabled());
    }
    // With a result on screen (the music already stopped) the end of the
    // player is no news.
    app.boxes.shown.clear();
    QPointer<FindTheGap> w = open<FindTheGap>();
    w->keyDown(13);
    w->keyDown(13);
    advanceMs(500);
    w->keyDown(13);
    ASSERT_EQ(w->step(), 0);
    app.player.announceEnded();
    QCoreApplication::processEvents();
    EXPECT_TRUE(app.boxes.shown.isEmpty());
    EXPECT_FALSE(w.isNull());
}

// Every paragraph of the finders shows whole, before a run and with its
// result on screen (the program runs this at 1x and at 2x scale).
TEST_F(TappingTest, EveryParagraphShowsWhole) {
    const auto clipped = [](QWidget* w) {
        QStringList cut;
        for (QLabel* l : w->findChildren<QLabel*>()) {
            if (!l->isVisible() || l->text().isEmpty())
                continue;
            const int needs =
                l->wordWrap() ? l->heightForWidth(l->width()) : l->sizeHint().height();
            if (l->height() < needs || l->geometry().bottom() >= w->height())
                cut << l->objectName() + ": " + QString::number(l->height()) + " < " +
                           QString::number(needs);
        }
        return cut.join(", ").toStdString();
    };
    for (bool bpmFinder : {false, true}) {
        SCOPED_TRACE(bpmFinder ? "BPM finder" : "gap finder");
        QPointer<TappingTool> w = bpmFinder ? static_cast<TappingTool*>(open<FindBPM>())
                                            : static_cast<TappingTool*>(open<FindTheGap>());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        QCoreApplication::processEvents();
        EXPECT_EQ(clipped(w), "");
        w->keyDown(13);
        w->keyDown(13);
        for (int tap = 0; tap < (bpmFinder ? 16 : 1); ++tap) {
            advanceMs(500);
            w->keyDown(13);
        }
        ASSERT_EQ(w->step(), 0);
        QCoreApplication::processEvents();
        EXPECT_EQ(clipped(w), "");
        w->close();
        settle();
    }
}

struct BpmCase {
    double spacingMs;  // between presses
    double lastLateMs; // the sixteenth press this much later
    const char* result;
};

class BpmFinderTest : public TappingTest, public ::testing::WithParamInterface<BpmCase> {};

TEST_P(BpmFinderTest, SixteenPressesGiveATruncatedBpm) {
    const BpmCase c = GetParam();
    QPointer<FindBPM> w = open<FindBPM>();
    EXPECT_EQ(w->windowTitle(), "BPM Finder");
    EXPECT_FALSE(summary.isEnabled());
    w->keyDown(13); // load and play
    EXPECT_EQ(app.player.commands, (QList<int>{Stop, Play}));
    EXPECT_EQ(app.player.playState, 1);
    expectStep(w, 2);
    EXPECT_EQ(w->progressTwips(), 0);

    advanceMs(3000);
    QTest::keyClick(w, Qt::Key_Return); // starts timing and is the first tap
    expectStep(w, 3);
    EXPECT_EQ(w->tapcount(), 1);
    EXPECT_DOUBLE_EQ(w->progressTwips(), 218.4375);

    for (int tap = 2; tap <= 15; ++tap) {
        advanceMs(c.spacingMs);
        QTest::keyClick(w, Qt::Key_Return);
        EXPECT_DOUBLE_EQ(w->progressTwips(), 218.4375 * tap);
    }
    EXPECT_EQ(w->step(), 3);
    advanceMs(c.spacingMs + c.lastLateMs);
    QTest::keyClick(w, Qt::Key_Return); // the sixteenth
    expectStep(w, 0);
    EXPECT_DOUBLE_EQ(w->progressTwips(), 3495);
    EXPECT_EQ(app.player.commands.last(), Stop);
    EXPECT_EQ(w->resultLabel()->text(), QString("BPM is %1.").arg(c.result));
    EXPECT_EQ(app.model.bpm(), "120");

    w->acceptButton()->click();
    settle();
    EXPECT_EQ(app.model.bpm(), c.result);
    EXPECT_TRUE(summary.isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Taps, BpmFinderTest,
                         ::testing::Values(BpmCase{500, 0, "120"},   // t = 7.50 s
                                           BpmCase{500, 10, "119"},  // t = 7.51 s: 119.84
                                           BpmCase{500, 9.9, "120"}, // 7.5099 s is 7.50
                                           BpmCase{400, 0, "150"},
                                           BpmCase{1000.0 / 3, 0,
                                                   "180"})); // 4.99 s after truncation: 180.36

TEST_F(TappingTest, BpmRejectKeepsTheBarFullUntilStepOne) {
    QPointer<FindBPM> w = open<FindBPM>();
    w->keyDown(13);
    for (int tap = 1; tap <= 16; ++tap) {
        advanceMs(500);
        w->keyDown(13);
    }
    ASSERT_EQ(w->step(), 0);
    w->rejectButton()->click();
    expectStep(w, 1);
    EXPECT_DOUBLE_EQ(w->progressTwips(), 3495);
    w->keyDown(13);
    EXPECT_EQ(w->progressTwips(), 0);
    EXPECT_EQ(app.player.launchedFiles.size(), 2);
}

TEST_F(TappingTest, BpmPressesTooCloseToTimeSayIt) {
    QPointer<FindBPM> w = open<FindBPM>();
    w->keyDown(13);
    for (int tap = 1; tap <= 16; ++tap)
        w->keyDown(13); // all at the same instant
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().title, "BPM Finder");
    expectStep(w, 1);
    EXPECT_FALSE(w->acceptButton()->isEnabled());
    EXPECT_EQ(app.model.bpm(), "120");
}

TEST_F(TappingTest, HeldEnterIsOneTap) {
    QPointer<FindBPM> w = open<FindBPM>();
    w->keyDown(13);
    w->keyDown(13);
    ASSERT_EQ(w->tapcount(), 1);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
    QCoreApplication::sendEvent(w, &repeat);
    EXPECT_EQ(w->tapcount(), 1);
}

TEST_F(TappingTest, SummaryEnabledAgainWhenDestroyedWithoutClosing) {
    auto* w = new FindTheGap(app.ctx, &summary);
    EXPECT_FALSE(summary.isEnabled());
    delete w;
    EXPECT_TRUE(summary.isEnabled());
}

} // namespace
