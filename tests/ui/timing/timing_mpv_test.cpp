// Each timing tool once against the real mpv (null audio and video outputs,
// so it runs headless with its clock in real time). These check that the
// tools drive the player correctly; how accurate they are is measured in
// bench/bench_timing.cpp.
#include "ui/timing/findbpm.h"
#include "ui/timing/findthegap.h"
#include "ui/timing/grabber.h"
#include "ui/timing/stepgrabbersetup.h"
#include "ui/timing/synchro.h"
#include "ui/timing/toolwidgets.h"

#include "testapp.h"
#include "ui/platform/settings.h"
#include "waituntil.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/types.h>

using namespace kolvo;
using namespace kolvo::test;

namespace {

constexpr int kSongMs = 12000;

// Processes events until the monotonic clock reaches `whenMs` of `clock`.
void waitFor(const QElapsedTimer& clock, qint64 whenMs) {
    while (clock.elapsed() < whenMs - 2)
        QTest::qWait(1);
    while (clock.elapsed() < whenMs) {
    }
}

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class TimingMpvTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!qEnvironmentVariableIsSet("KOLVO_MPV_OPTIONS"))
            qputenv("KOLVO_MPV_OPTIONS", "--ao=null --vo=null");
    }
    void SetUp() override {
        const QString mpv = QStandardPaths::findExecutable("mpv");
        ASSERT_FALSE(mpv.isEmpty()) << "mpv is not installed (scripts/setup.sh installs it)";
        app.ctx.winamppath = QFileInfo(mpv).absolutePath();
        const QString music = app.path("song.wav");
        ASSERT_TRUE(writeTestWav(music, kSongMs));
        app.model.setField(SummaryField::MusicFile, music);
        summary.show();
    }
    void TearDown() override {
        settle();
        const int pid = app.player.winampwindow;
        app.player.quitPlayer();
        if (pid > 1)
            ::kill(pid, SIGKILL);
    }
    std::string lastBox() const {
        return app.boxes.shown.isEmpty() ? std::string() : app.boxes.last().text.toStdString();
    }

    RealPlayerTestApp app;
    QWidget summary;
};

TEST_F(TimingMpvTest, GapFinder) {
    QPointer<FindTheGap> w = new FindTheGap(app.ctx, &summary);
    w->show();
    QTest::keyClick(w, Qt::Key_Return); // loads the player, waits at the start
    ASSERT_EQ(w->step(), 2) << lastBox();
    EXPECT_EQ(app.player.state(), 3);
    EXPECT_LE(app.player.position(), 50); // Play and Pause at once: at the start

    QTest::keyClick(w, Qt::Key_Return); // play
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(app.player.state(), 1);
    waitFor(clock, 700);
    QTest::keyClick(w, Qt::Key_Return);
    ASSERT_EQ(w->step(), 0);
    const int gap = w->foundgap().toInt();
    EXPECT_EQ(gap % 10, 0);
    EXPECT_GE(gap, 690);
    EXPECT_LE(gap, 1000);
    EXPECT_EQ(app.player.state(), 0); // stopped
    w->acceptButton()->click();
    EXPECT_EQ(app.model.gap(), QString::number(gap));
    EXPECT_TRUE(summary.isEnabled());
    EXPECT_TRUE(app.boxes.shown.isEmpty()) << lastBox();
}

TEST_F(TimingMpvTest, BpmFinder) {
    QPointer<FindBPM> w = new FindBPM(app.ctx, &summary);
    w->show();
    QTest::keyClick(w, Qt::Key_Return); // loads the player and plays
    ASSERT_EQ(w->step(), 2) << lastBox();
    EXPECT_EQ(app.player.state(), 1);
    QElapsedTimer clock;
    clock.start();
    for (int tap = 0; tap < 16; ++tap) {
        waitFor(clock, 200 + tap * 250); // 240 BPM
        QTest::keyClick(w, Qt::Key_Return);
    }
    ASSERT_EQ(w->step(), 0);
    const int bpm = w->foundbpm().toInt();
    EXPECT_GE(bpm, 230);
    EXPECT_LE(bpm, 240);
    EXPECT_EQ(app.player.state(), 0);
    w->acceptButton()->click();
    EXPECT_EQ(app.model.bpm(), QString::number(bpm));
}

TEST_F(TimingMpvTest, SyncChecker) {
    app.model.setField(SummaryField::Bpm, "240");
    app.model.setField(SummaryField::Gap, "300");
    QPointer<Synchro> w = new Synchro(app.ctx, &summary);
    w->show();
    w->testButton()->click(); // no player yet
    EXPECT_EQ(app.boxes.last().title, "Winamp not found.");
    w->loadButton()->click(); // load
    ASSERT_TRUE(app.player.IsWindow()) << lastBox();

    QList<QPair<int, int>> beats; // (syncbeat, position)
    QObject::connect(w, &Synchro::beat, [&beats](int b, int p) { beats.append({b, p}); });
    w->testButton()->click();
    EXPECT_EQ(app.player.state(), 1);
    ASSERT_TRUE(waitUntil([&] { return beats.size() >= 9; }, 4000));
    for (int i = 0; i < beats.size(); ++i) {
        EXPECT_EQ(beats[i].first, i + 1);
        EXPECT_GT(beats[i].second, 300 + (i + 1) * 250); // never before its beat
    }
    EXPECT_EQ(w->synclight(), beats.size() % 8);

    // Stopping the player restarts the count; Test then starts at the gap.
    app.player.WinampCommand(winamp::Stop);
    ASSERT_TRUE(waitUntil([&] { return w->syncbeat() == 0; }, 500));
    QElapsedTimer sinceTest;
    sinceTest.start();
    w->testButton()->click();
    const int startedAt = app.player.position();
    EXPECT_GE(startedAt, 300 - 60);
    EXPECT_LE(startedAt, 300 + 60 + sinceTest.elapsed());
    w->okButton()->click(); // OK
    EXPECT_EQ(app.player.state(), 0);
    EXPECT_EQ(app.model.bpm(), "240");
    EXPECT_TRUE(summary.isEnabled());
}

// Presses at full and at half speed, each a little before the middle of
// its quarter-beat row (a row is 125 ms of the song at 120 BPM), timed by
// the player's own raw position: every press lands on its row. At half speed
// the song's time runs at half our clock's; the grabber must read it so.
TEST_F(TimingMpvTest, GrabberRecordsOnTheRowsPlayedAtEverySpeed) {
    for (int speed : {100, 50}) {
        SCOPED_TRACE(speed);
        app.model.clearChart(1, 1);
        app.model.setField(SummaryField::Bpm, "120");
        app.model.setField(SummaryField::Gap, "200");
        app.ctx.session.currentbar = 2;
        WriteSetting("stepgrabber", "option1", "2");
        QWidget editor;
        EditorLink link;
        link.editor = &editor;
        int repaints = 0;
        link.startUpdatenow = [&repaints] { ++repaints; };
        QPointer<StepGrabberSetup> setup = new StepGrabberSetup(app.ctx, link);
        setup->show();
        setup->speedChoice()->setCurrentIndex(setup->speedChoice()->findData(speed));
        EXPECT_EQ(storedSpeed("stepgrabber"), speed); // kept for the next time
        setup->startAtCurrentBarButton()->click(); // start from the current bar: jumps to 2200 ms
        QPointer<Grabber> g = setup->grabber();
        ASSERT_TRUE(g) << lastBox();
        settle();
        EXPECT_TRUE(setup.isNull());
        EXPECT_FALSE(editor.isEnabled());
        EXPECT_EQ(g->speedLabel()->text(), QString("Speed: %1 %").arg(speed));
        EXPECT_EQ(app.player.state(), 1);
        EXPECT_EQ(app.player.property("speed").toDouble(), speed / 100.0);
        EXPECT_GE(app.player.position(), 2150);

        // The player's raw time-pos trails the song by up to one audio chunk
        // and never leads it: a press sent once it reaches a point 25 ms
        // before a row's middle is heard within that row.
        const struct {
            int middleMs;
            Qt::Key key;
            int row;
            int panel;
        } presses[] = {{2700, Qt::Key_Left, 9, PanelLeft},
                       {2950, Qt::Key_Down, 13, PanelDown},
                       {3200, Qt::Key_Up, 17, PanelUp},
                       {3450, Qt::Key_Right, 21, PanelRight}};
        auto rawMs = [&] { return app.player.property("time-pos").toDouble() * 1000.0; };
        for (const auto& p : presses) {
            ASSERT_TRUE(waitUntil([&] { return rawMs() >= p.middleMs - 25; }, 6000));
            QTest::keyClick(g, p.key);
            EXPECT_EQ(app.model.step(1, 1, 2, p.row, p.panel), StepArrow) << "row " << p.row;
        }
        EXPECT_TRUE(g->barDisplay()->text().startsWith("Bar "));
        QTest::keyClick(g, Qt::Key_Escape);
        EXPECT_TRUE(editor.isEnabled());
        EXPECT_EQ(repaints, 1);
        EXPECT_EQ(app.player.state(), 0) << "Escape stops the music";
        int arrows = 0;
        for (int bar = 1; bar <= kBars; ++bar)
            for (int row = 1; row <= kRows; ++row)
                for (int panel = 1; panel <= kArrowPanels; ++panel)
                    arrows += app.model.step(1, 1, bar, row, panel) ? 1 : 0;
        EXPECT_EQ(arrows, 4);
        settle();
    }
}

// Escape in the BPM finder stops the music it started; a player killed
// while the finder counts taps is reported at once, with no further tap.
TEST_F(TimingMpvTest, BpmFinderEscapeStopsTheMusicAndAKilledPlayerIsReportedAtOnce) {
    for (bool kill : {false, true}) {
        SCOPED_TRACE(kill ? "player killed" : "Escape");
        app.boxes.shown.clear();
        QPointer<FindBPM> w = new FindBPM(app.ctx, &summary);
        w->show();
        QTest::keyClick(w, Qt::Key_Return); // loads the player and plays
        ASSERT_EQ(w->step(), 2) << lastBox();
        QTest::keyClick(w, Qt::Key_Return); // the first tap
        QTest::keyClick(w, Qt::Key_Return);
        ASSERT_EQ(w->step(), 3);
        EXPECT_EQ(app.player.state(), 1);
        if (!kill) {
            QTest::keyClick(w, Qt::Key_Escape);
            settle();
            EXPECT_TRUE(w.isNull());
            EXPECT_EQ(app.player.state(), 0) << "the music plays on";
            EXPECT_TRUE(app.boxes.shown.isEmpty()) << lastBox();
            continue;
        }
        const int pid = app.player.winampwindow;
        ASSERT_GT(pid, 1);
        ASSERT_EQ(::kill(pid, SIGKILL), 0);
        EXPECT_TRUE(waitUntil([&] { return !app.boxes.shown.isEmpty(); }, 3000))
            << "the finder kept counting taps";
        EXPECT_EQ(lastBox(), "WinAMP doesn't appear to be open!");
        settle();
        EXPECT_TRUE(w.isNull());
        EXPECT_TRUE(summary.isEnabled());
    }
}

// At half speed the lights keep time with the slowed song: each comes on
// after its beat in the song, and they come twice as far apart on our clock.
TEST_F(TimingMpvTest, SyncLightsFollowTheSongAtHalfSpeed) {
    app.model.setField(SummaryField::Bpm, "240");
    app.model.setField(SummaryField::Gap, "300");
    QPointer<Synchro> w = new Synchro(app.ctx, &summary);
    w->show();
    w->loadButton()->click(); // load
    ASSERT_TRUE(app.player.IsWindow()) << lastBox();
    w->speedChoice()->setCurrentIndex(w->speedChoice()->findData(50));
    QList<QPair<int, int>> beats; // (syncbeat, position)
    QList<qint64> at;             // our clock at each light
    QElapsedTimer clock;
    clock.start();
    QObject::connect(w, &Synchro::beat, [&](int b, int p) {
        beats.append({b, p});
        at.append(clock.elapsed());
    });
    w->testButton()->click();
    EXPECT_EQ(app.player.property("speed").toDouble(), 0.5);
    ASSERT_TRUE(waitUntil([&] { return beats.size() >= 6; }, 6000));
    for (int i = 0; i < beats.size(); ++i) {
        EXPECT_EQ(beats[i].first, i + 1);
        EXPECT_GT(beats[i].second, 300 + (i + 1) * 250); // never before its beat
        EXPECT_LT(beats[i].second, 300 + (i + 1) * 250 + 125) << "half a beat late";
    }
    // 250 ms of song a beat: 500 ms of ours. The machine may hold a light
    // back now and then, never bring one forward.
    const double perBeat = double(at.last() - at.first()) / double(at.size() - 1);
    EXPECT_GT(perBeat, 450);
    EXPECT_LT(perBeat, 560);
    QTest::keyClick(w, Qt::Key_Escape);
    settle();
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(app.player.state(), 0) << "closing stops the music";
    EXPECT_TRUE(summary.isEnabled());
    EXPECT_EQ(storedSpeed("synchro"), 50);
}

// A player killed while grabbing is gone, never "at 0": the grabber stops,
// keeps what it grabbed, writes nothing more and says the player has gone.
TEST_F(TimingMpvTest, GrabberStopsWhenThePlayerIsKilled) {
    const struct {
        const char* what;
        bool pressFirst; // a key reaches the grabber before its bar display ticks
    } cases[] = {{"a key right after the kill", true}, {"the bar display notices", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        app.boxes.shown.clear();
        app.model.clearChart(1, 1); // a fresh chart
        // Gap 0 and bar 1: a position misread as 0 would land on bar 1, row 1.
        app.model.setField(SummaryField::Bpm, "120");
        app.model.setField(SummaryField::Gap, "0");
        app.ctx.session.currentbar = 1;
        WriteSetting("stepgrabber", "option1", "1");
        QWidget editor;
        EditorLink link;
        link.editor = &editor;
        QPointer<StepGrabberSetup> setup = new StepGrabberSetup(app.ctx, link);
        setup->show();
        setup->startAtCurrentBarButton()->click(); // loads the song and starts at bar 1
        QPointer<Grabber> g = setup->grabber();
        ASSERT_TRUE(g) << lastBox();
        settle();
        ASSERT_TRUE(waitUntil([&] { return app.player.position() >= 480; }, 3000));
        QTest::keyClick(g, Qt::Key_Left); // beat 2 of bar 1 (row 9)
        ASSERT_EQ(app.model.step(1, 1, 1, 9, PanelLeft), StepArrow);

        const int pid = app.player.winampwindow;
        ASSERT_GT(pid, 1);
        ASSERT_EQ(::kill(pid, SIGKILL), 0);
        if (c.pressFirst) {
            QTest::keyClick(g, Qt::Key_Down);
        } else {
            ASSERT_TRUE(waitUntil([&] { return g.isNull() || !g->isVisible(); }, 3000));
            if (g)
                QTest::keyClick(g, Qt::Key_Down);
        }
        settle();
        EXPECT_TRUE(g.isNull());
        EXPECT_TRUE(editor.isEnabled());
        ASSERT_EQ(app.boxes.shown.size(), 1) << lastBox();
        EXPECT_EQ(app.boxes.last().text, "WinAMP doesn't appear to be open!");
        EXPECT_EQ(app.boxes.last().title, "Ack!");
        EXPECT_EQ(app.boxes.last().icon, MsgIcon::Exclamation);
        int arrows = 0;
        for (int bar = 1; bar <= kBars; ++bar)
            for (int row = 1; row <= kRows; ++row)
                for (int panel = 1; panel <= kArrowPanels; ++panel)
                    arrows += app.model.step(1, 1, bar, row, panel) ? 1 : 0;
        EXPECT_EQ(arrows, 1) << "only the arrow grabbed before the kill";
        EXPECT_EQ(app.model.step(1, 1, 1, 9, PanelLeft), StepArrow);
    }
}

} // namespace
