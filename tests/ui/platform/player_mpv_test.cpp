// The player link against the real mpv (null audio and video outputs, so
// it runs headless with its clock in real time), on a WAV written here.
#include "ui/platform/loadwinamp.h"

#include "testapp.h"
#include "waituntil.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>

using namespace kolvo;
using namespace kolvo::test;

namespace {

constexpr int kSongMs = 2500;

class PlayerMpvTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!qEnvironmentVariableIsSet("KOLVO_MPV_OPTIONS"))
            qputenv("KOLVO_MPV_OPTIONS", "--ao=null --vo=null");
    }
    void SetUp() override {
        const QString mpv = QStandardPaths::findExecutable("mpv");
        ASSERT_FALSE(mpv.isEmpty()) << "mpv is not installed (scripts/setup.sh installs it)";
        app.ctx.winamppath = QFileInfo(mpv).absolutePath();
        music = app.path("songs with blanks/it's \"quoted\" ü.wav");
        ASSERT_TRUE(writeTestWav(music, kSongMs));
        app.model.setField(SummaryField::Musicadd, music);
        owner.show();
    }
    void TearDown() override {
        const int pid = player().winampwindow;
        player().quitPlayer();
        if (pid > 1)
            ::kill(pid, SIGKILL); // in case it did not quit
    }

    MpvPlayerLink& player() { return app.player; }
    void load() {
        ASSERT_EQ(LoadWinamp(app.ctx, &owner), LoadWinampResult::Loaded)
            << (app.boxes.shown.isEmpty() ? "" : app.boxes.last().text.toStdString());
    }

    RealPlayerTestApp app;
    QWidget owner;
    QString music;
};

} // namespace

TEST_F(PlayerMpvTest, LoadsTheFileIntactAndStopsAtTheStart) {
    load();
    EXPECT_TRUE(app.boxes.shown.isEmpty());
    EXPECT_TRUE(player().IsWindow());
    EXPECT_EQ(player().winampwindow, player().property("pid").toInt());
    EXPECT_EQ(player().property("path").toString(), music);
    EXPECT_EQ(player().state(), 0);
    EXPECT_EQ(player().position(), 0);
    EXPECT_TRUE(player().socketPath().startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR")));
}

TEST_F(PlayerMpvTest, PlayPauseResumeJumpAndStop) {
    load();
    MpvPlayerLink& p = player();

    // Pause does nothing while stopped.
    p.WinampCommand(winamp::Pause);
    EXPECT_EQ(p.state(), 0);

    // Play: from the start, in real time.
    QElapsedTimer clock;
    p.WinampCommand(winamp::Play);
    clock.start();
    EXPECT_EQ(p.state(), 1);
    QTest::qWait(400);
    int pos = p.position();
    EXPECT_NEAR(pos, clock.elapsed(), 120) << "position should follow the clock";
    // Never runs backwards between the player's coarse updates.
    int last = pos;
    for (int i = 0; i < 40; ++i) {
        QTest::qWait(3);
        const int now = p.position();
        EXPECT_GE(now, last);
        last = now;
    }

    // Pause holds the position; a second Pause resumes from there.
    p.WinampCommand(winamp::Pause);
    EXPECT_EQ(p.state(), 3);
    const int held = p.position();
    QTest::qWait(250);
    EXPECT_NEAR(p.position(), held, 5);
    p.WinampCommand(winamp::Pause);
    clock.start();
    EXPECT_EQ(p.state(), 1);
    QTest::qWait(300);
    EXPECT_NEAR(p.position(), held + clock.elapsed(), 120);

    // Jump while playing: on from the new place.
    EXPECT_EQ(p.query(winamp::JumpToTime, 500), 0);
    clock.start();
    QTest::qWait(200);
    EXPECT_NEAR(p.position(), 500 + clock.elapsed(), 120);

    // Jump while paused: the requested place is reported exactly until
    // playback resumes (the player's own reading runs early there).
    p.WinampCommand(winamp::Pause);
    EXPECT_EQ(p.query(winamp::JumpToTime, 1500), 0);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(p.position(), 1500);
        QTest::qWait(20);
    }
    EXPECT_EQ(p.state(), 3);
    p.WinampCommand(winamp::Pause);
    clock.start();
    QTest::qWait(150);
    EXPECT_NEAR(p.position(), 1500 + clock.elapsed(), 120);

    // Stop rewinds to 0 and stays there.
    p.WinampCommand(winamp::Stop);
    EXPECT_EQ(p.state(), 0);
    EXPECT_EQ(p.position(), 0);
    QTest::qWait(200);
    EXPECT_EQ(p.position(), 0);

    // Play after Stop starts from the beginning again.
    p.WinampCommand(winamp::Play);
    clock.start();
    QTest::qWait(150);
    EXPECT_NEAR(p.position(), clock.elapsed(), 120);
}

// The player knows the song's length a moment before it has settled at its
// start; a jump sent in that moment would be lost. A fresh load must not
// let that happen.
TEST_F(PlayerMpvTest, AJumpRightAfterLoadingIsNotLost) {
    for (int round = 0; round < 3; ++round) {
        load();
        MpvPlayerLink& p = player();
        p.WinampCommand(winamp::Play);
        EXPECT_EQ(p.query(winamp::JumpToTime, 1500), 0);
        QTest::qWait(100);
        EXPECT_GE(p.property("time-pos").toDouble(), 1.5) << "round " << round;
        EXPECT_NEAR(p.position(), 1600, 120) << "round " << round;
    }
}

TEST_F(PlayerMpvTest, TheEndOfTheSongCountsAsStopped) {
    load();
    MpvPlayerLink& p = player();
    p.WinampCommand(winamp::Play);
    // (The null audio output reaches the end some 400 ms early: it does not
    // wait for its buffer to drain.)
    p.jumpTo(kSongMs - 1000);
    EXPECT_EQ(p.state(), 1);
    ASSERT_TRUE(waitUntil([&] { return p.state() == 0; }, 3000));
    EXPECT_TRUE(p.IsWindow()); // the window stays open at the end
    EXPECT_NEAR(p.position(), kSongMs, 60);
    QTest::qWait(200);
    EXPECT_EQ(p.state(), 0);
    p.WinampCommand(winamp::Pause); // nothing to pause
    EXPECT_EQ(p.state(), 0);
    p.WinampCommand(winamp::Play); // plays again from the start
    EXPECT_EQ(p.state(), 1);
    QTest::qWait(100);
    EXPECT_LT(p.position(), 400);
}

TEST_F(PlayerMpvTest, APlayerKilledUnderneathIsSimplyGone) {
    load();
    MpvPlayerLink& p = player();
    p.WinampCommand(winamp::Play);
    const int pid = p.winampwindow;
    ASSERT_GT(pid, 1);
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    QTest::qWait(200);

    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(p.IsWindow());
    EXPECT_EQ(p.state(), 0);
    EXPECT_EQ(p.position(), 0);
    p.WinampCommand(winamp::Play);
    p.WinampCommand(winamp::Stop);
    EXPECT_EQ(p.query(winamp::JumpToTime, 1000), 0);
    // The socket it left behind refuses connections: not found.
    EXPECT_TRUE(QFileInfo::exists(p.socketPath()));
    EXPECT_FALSE(p.FindWindowA());
    EXPECT_EQ(p.winampwindow, 0);
    EXPECT_LT(clock.elapsed(), 2000) << "a dead player must not hold the program up";

    // Loading again starts a fresh player over the stale socket.
    load();
    EXPECT_TRUE(p.IsWindow());
    EXPECT_NE(p.winampwindow, pid);
}

TEST_F(PlayerMpvTest, LoadingAgainReplacesTheRunningPlayer) {
    load();
    const int first = player().winampwindow;
    load();
    EXPECT_NE(player().winampwindow, first);
    EXPECT_TRUE(waitUntil([&] { return ::kill(first, 0) != 0; }, 2000))
        << "the first player should have quit";
}

// A "player" that accepts the connection but never answers (silent, or
// chattering events without ever replying) is not found, and the look gives
// up on it in bounded time.
TEST(PlayerMpvSilent, APlayerThatNeverAnswersIsNotFound) {
    for (const bool chatty : {false, true}) {
        SCOPED_TRACE(chatty ? "chatty" : "silent");
        QTemporaryDir dir;
        const QByteArray path = dir.filePath("fake.sock").toLocal8Bit();
        const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(listener, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.constData(), sizeof addr.sun_path - 1);
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ASSERT_EQ(::listen(listener, 4), 0);
        std::atomic<bool> stop{false};
        std::thread fake([&] {
            // Serve every connection the link makes until told to stop.
            while (!stop) {
                pollfd p{listener, POLLIN, 0};
                if (::poll(&p, 1, 10) <= 0)
                    continue;
                const int c = ::accept(listener, nullptr, nullptr);
                while (!stop && c >= 0) {
                    if (chatty && ::send(c, "{\"event\":\"tick\"}\n", 17, MSG_NOSIGNAL) < 0)
                        break;
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    pollfd q{c, POLLRDHUP, 0};
                    if (::poll(&q, 1, 0) > 0 && (q.revents & (POLLRDHUP | POLLHUP)))
                        break; // the link gave up on us
                }
                if (c >= 0)
                    ::close(c);
            }
        });
        MpvPlayerLink link(QString::fromLocal8Bit(path));
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(link.FindWindowA());
        EXPECT_EQ(link.winampwindow, 0);
        EXPECT_FALSE(link.IsWindow());
        EXPECT_EQ(link.state(), 0);
        EXPECT_EQ(link.position(), 0);
        EXPECT_LT(clock.elapsed(), 3000);
        stop = true;
        fake.join();
        ::close(listener);
    }
}

// A player program that starts and exits at once: five looks, then "Ack!".
TEST(PlayerMpvSilent, APlayerThatExitsAtOnceIsReported) {
    RealPlayerTestApp app;
    const QString fake = writeScratchFile(app.path("player/mpv"), "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(fake, QFile::permissions(fake) | QFile::ExeOwner);
    app.ctx.winamppath = app.path("player");
    app.model.setField(SummaryField::Musicadd, app.writeFile("song.wav", "RIFF"));
    QWidget owner;
    owner.show();
    EXPECT_EQ(LoadWinamp(app.ctx, &owner), LoadWinampResult::NotAnswering);
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().text, "WinAMP doesn't appear to have loaded!");
    EXPECT_EQ(app.boxes.last().title, "Ack!");
    EXPECT_FALSE(owner.isVisible());
}
