// The player link against the real mpv (null audio and video outputs, so
// it runs headless with its clock in real time), on a WAV written here.
#include "ui/platform/loadwinamp.h"

#include "testapp.h"
#include "waituntil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
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
        app.model.setField(SummaryField::MusicFile, music);
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
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(100);
        EXPECT_GE(p.property("time-pos").toDouble(), 1.5) << "round " << round;
        EXPECT_NEAR(p.position(), 1500 + clock.elapsed(), 120) << "round " << round;
    }
}

TEST_F(PlayerMpvTest, TheEndOfTheSongCountsAsStopped) {
    load();
    MpvPlayerLink& p = player();
    p.WinampCommand(winamp::Play);
    // (The null audio output reaches the end some 400 ms early: it does not
    // wait for its buffer to drain.)
    p.jumpTo(kSongMs - 2000);
    EXPECT_EQ(p.state(), 1);
    ASSERT_TRUE(waitUntil([&] { return p.state() == 0; }, 4000));
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

// Loading the song the player already has reuses that player, stopped at
// the start and at full speed; a changed file or another song gets a fresh
// player and the first one quits.
TEST_F(PlayerMpvTest, LoadingAgainReusesThePlayerOnlyForTheSameFile) {
    const QString other = app.path("other song.wav");
    ASSERT_TRUE(writeTestWav(other, kSongMs));
    const struct {
        const char* what;
        bool touch;   // the music file is written anew first
        bool another; // another song is loaded
        bool reused;
    } cases[] = {{"the same file", false, false, true},
                 {"the same file, changed", true, false, false},
                 {"another file", false, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        app.model.setField(SummaryField::MusicFile, music);
        load();
        const int first = player().winampwindow;
        ASSERT_TRUE(player().setSpeed(50));
        player().WinampCommand(winamp::Play);
        QTest::qWait(200);
        if (c.touch) {
            QTest::qWait(20); // a new modification time
            ASSERT_TRUE(writeTestWav(music, kSongMs + 100));
        }
        if (c.another)
            app.model.setField(SummaryField::MusicFile, other);
        load();
        EXPECT_EQ(player().winampwindow == first, c.reused);
        EXPECT_EQ(player().state(), 0);
        EXPECT_EQ(player().position(), 0);
        EXPECT_EQ(player().property("speed").toDouble(), 1.0);
        EXPECT_EQ(player().speed(), 100);
        EXPECT_EQ(player().property("path").toString(), c.another ? other : music);
        if (!c.reused) {
            EXPECT_TRUE(waitUntil([&] { return ::kill(first, 0) != 0; }, 2000))
                << "the first player should have quit";
        }
    }
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
    app.model.setField(SummaryField::MusicFile, app.writeFile("song.wav", "RIFF"));
    QWidget owner;
    owner.show();
    EXPECT_EQ(LoadWinamp(app.ctx, &owner), LoadWinampResult::NotAnswering);
    ASSERT_EQ(app.boxes.shown.size(), 1);
    // Why it failed follows on a line of its own once the link has heard the
    // player end, which a slow machine may or may not have done by then.
    EXPECT_TRUE(app.boxes.last().text.startsWith("WinAMP doesn't appear to have loaded!"))
        << app.boxes.last().text.toStdString();
    EXPECT_EQ(app.boxes.last().title, "Ack!");
    EXPECT_FALSE(owner.isVisible());
}

// ---- one player for each running copy; reasons when a song will not load ----

namespace {

// Ended and reaped, or ended and not yet reaped (a zombie).
bool processAlive(qint64 pid) {
    if (pid <= 1 || ::kill(pid_t(pid), 0) != 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) != "Z";
}

// One property straight from a player's socket, without a link (a link
// ends its player when it goes).
QJsonValue askPlayer(const QString& socketPath, const char* property) {
    QLocalSocket s;
    s.connectToServer(socketPath);
    if (!s.waitForConnected(1000))
        return {};
    s.write(QByteArray("{\"command\":[\"get_property\",\"") + property + "\"],\"request_id\":7}\n");
    QDeadlineTimer deadline(3000);
    while (!deadline.hasExpired()) {
        if (!s.canReadLine() && !s.waitForReadyRead(int(deadline.remainingTime())))
            break;
        while (s.canReadLine()) {
            const QJsonObject o = QJsonDocument::fromJson(s.readLine()).object();
            if (o.value("request_id").toInt() == 7)
                return o.value("data");
        }
    }
    return {};
}

// Another running copy of the program, holding its own player.
struct OtherCopy {
    QProcess process;
    QString socket;
    int playerPid = 0;

    bool start(const QString& music) {
        process.start(QStringLiteral(KOLVO_PLAYERPROBE_PATH), {music});
        if (!process.waitForStarted(5000))
            return false;
        QByteArray out;
        QDeadlineTimer deadline(20000);
        while (out.count('\n') < 2 && !deadline.hasExpired()) {
            if (!process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
                break;
            out += process.readAllStandardOutput();
        }
        const QList<QByteArray> lines = out.split('\n');
        if (lines.size() < 2)
            return false;
        socket = QString::fromLocal8Bit(lines[0]);
        playerPid = lines[1].toInt();
        return playerPid > 1;
    }
    ~OtherCopy() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
        if (playerPid > 1 && processAlive(playerPid))
            ::kill(playerPid, SIGKILL);
    }
};

void useNullOutputs() {
    if (!qEnvironmentVariableIsSet("KOLVO_MPV_OPTIONS"))
        qputenv("KOLVO_MPV_OPTIONS", "--ao=null --vo=null");
}

QString mpvFolder() {
    return QFileInfo(QStandardPaths::findExecutable("mpv")).absolutePath();
}

// Launches `link`'s player on `music` and looks until it answers.
bool startPlayer(MpvPlayerLink& link, Launcher& launcher, const QString& music) {
    if (!link.launch(launcher, mpvFolder(), music))
        return false;
    return waitUntil([&] { return link.FindWindowA(); }, 10000);
}

} // namespace

TEST(PlayerMpvCopies, EachRunningCopyHasItsOwnPlayer) {
    useNullOutputs();
    RealPlayerTestApp app;
    app.ctx.winamppath = mpvFolder();
    const QString songs[] = {app.path("a.wav"), app.path("b.wav")};
    for (const QString& song : songs)
        ASSERT_TRUE(writeTestWav(song, kSongMs));

    OtherCopy a, b;
    ASSERT_TRUE(a.start(songs[0]));
    ASSERT_TRUE(b.start(songs[1]));
    EXPECT_NE(a.socket, b.socket);
    EXPECT_NE(a.playerPid, b.playerPid);
    EXPECT_EQ(askPlayer(a.socket, "path").toString(), songs[0]);
    EXPECT_EQ(askPlayer(b.socket, "path").toString(), songs[1]);
    for (const OtherCopy* copy : {&a, &b}) {
        EXPECT_TRUE(copy->socket.contains(QString::number(copy->process.processId())));
        EXPECT_LE(QFile::encodeName(copy->socket).size(), MpvPlayerLink::kMaxSocketPathBytes);
    }

    // A copy that ends takes its player and its socket along; the other
    // copy's player plays on.
    a.process.write("\n");
    a.process.closeWriteChannel();
    ASSERT_TRUE(a.process.waitForFinished(5000));
    EXPECT_EQ(a.process.exitCode(), 0);
    EXPECT_TRUE(waitUntil([&] { return !processAlive(a.playerPid); }, 3000));
    EXPECT_FALSE(QFileInfo::exists(a.socket));
    EXPECT_EQ(askPlayer(b.socket, "path").toString(), songs[1]);

    // A copy that is killed takes its player along all the same (nothing
    // could drive it any more); the socket it leaves is cleared by the next
    // load of any copy.
    ::kill(pid_t(b.process.processId()), SIGKILL);
    ASSERT_TRUE(b.process.waitForFinished(5000));
    EXPECT_TRUE(waitUntil([&] { return !processAlive(b.playerPid); }, 3000))
        << "the killed copy's player is still running";
    app.model.setField(SummaryField::MusicFile, songs[0]);
    ASSERT_EQ(LoadWinamp(app.ctx, nullptr), LoadWinampResult::Loaded);
    EXPECT_FALSE(QFileInfo::exists(b.socket));
    EXPECT_EQ(app.player.property("path").toString(), songs[0]);
    app.player.quitPlayer();
}

TEST(PlayerMpvCopies, TwoLinksDriveSeparatePlayers) {
    useNullOutputs();
    QTemporaryDir dir;
    ProcessLauncher launcher;
    const QString songs[] = {dir.filePath("one.wav"), dir.filePath("two.wav")};
    for (const QString& song : songs)
        ASSERT_TRUE(writeTestWav(song, kSongMs));
    MpvPlayerLink one(dir.filePath("one.sock"));
    MpvPlayerLink two(dir.filePath("two.sock"));
    ASSERT_TRUE(startPlayer(one, launcher, songs[0]));
    ASSERT_TRUE(startPlayer(two, launcher, songs[1]));
    EXPECT_NE(one.winampwindow, two.winampwindow);
    one.WinampCommand(winamp::Play);
    EXPECT_EQ(one.state(), 1);
    EXPECT_EQ(two.state(), 0); // still waiting at its start
    EXPECT_EQ(two.property("path").toString(), songs[1]);

    const int first = one.winampwindow;
    one.quitPlayer();
    EXPECT_TRUE(waitUntil([&] { return !processAlive(first); }, 3000));
    EXPECT_TRUE(two.IsWindow());
    EXPECT_EQ(two.property("path").toString(), songs[1]);
    two.quitPlayer();
}

// Sockets of copies that are no longer running are cleared; those of
// running copies, and files that are not sockets of ours, are left alone.
TEST(PlayerMpvCopies, OnlySocketsOfEndedCopiesAreCleared) {
    QTemporaryDir dir;
    QProcess ended;
    ended.start("true");
    ASSERT_TRUE(ended.waitForFinished(5000));
    const qint64 deadPid = ended.processId() > 0 ? ended.processId() : 999999;
    const struct {
        QString name;
        bool cleared;
    } files[] = {
        {QStringLiteral("kolvo-player-%1.sock").arg(deadPid), true},
        {QStringLiteral("kolvo-player-%1.log").arg(deadPid), true},
        {QStringLiteral("kolvo-player-%1.sock").arg(::getppid()), false},
        {QStringLiteral("kolvo-player-%1.sock").arg(QCoreApplication::applicationPid()), false},
        {QStringLiteral("kolvo-player-notanumber.sock"), false},
        {QStringLiteral("other-%1.sock").arg(deadPid), false},
    };
    for (const auto& f : files)
        ASSERT_FALSE(writeScratchFile(dir.filePath(f.name), "x").isEmpty());
    EXPECT_EQ(MpvPlayerLink::removeStaleSockets(dir.path()), 1);
    for (const auto& f : files)
        EXPECT_EQ(QFileInfo::exists(dir.filePath(f.name)), !f.cleared) << f.name.toStdString();
}

TEST(PlayerMpvCopies, TheSocketAlwaysFitsAndNamesThisCopy) {
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir dir;
    const QString deep = dir.filePath(QString(120, u'r'));
    ASSERT_TRUE(QDir().mkpath(deep));
    const QString privateFolder = QStringLiteral("/tmp/kolvo-%1").arg(::getuid());
    const struct {
        const char* what;
        QString runtime;
        QString folder; // where the socket goes
    } cases[] = {{"usual runtime folder", dir.path(), dir.path()},
                 {"runtime folder too long for a socket", deep, privateFolder},
                 {"no runtime folder", QString(), privateFolder}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.runtime.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", c.runtime.toLocal8Bit());
        const QString path = MpvPlayerLink::socketPathDefault();
        ASSERT_FALSE(path.isEmpty());
        EXPECT_LE(QFile::encodeName(path).size(), MpvPlayerLink::kMaxSocketPathBytes);
        EXPECT_TRUE(path.endsWith(
            QStringLiteral("kolvo-player-%1.sock").arg(QCoreApplication::applicationPid())));
        EXPECT_EQ(QFileInfo(path).absolutePath(), c.folder);
        const QFileInfo folder(c.folder);
        EXPECT_TRUE(folder.isDir());
        EXPECT_EQ(folder.ownerId(), ::getuid());
        if (c.folder == privateFolder) { // nobody else may reach the socket
            EXPECT_EQ(folder.permissions() & (QFile::ReadOther | QFile::WriteOther |
                                              QFile::ReadGroup | QFile::WriteGroup),
                      QFile::Permissions());
        }
    }
    qputenv("XDG_RUNTIME_DIR", saved);
}

// Music the player cannot play ends in the usual message, with the
// player's own reason and the file below it, and no player left running.
// A player slow to read the music (a busy machine, a slow disk; here a
// script of the player's own holds the loading up) answers before it gives
// up on it, and is not taken for one that plays it.
TEST(PlayerMpvLoad, MusicThePlayerCannotPlayIsExplained) {
    useNullOutputs();
    const QByteArray options = qgetenv("KOLVO_MPV_OPTIONS");
    const struct {
        const char* name;
        QByteArray bytes;
        bool slowToLoad;
    } cases[] = {{"notes.txt", "just some text\n", false},
                 {"empty.wav", "", false},
                 {"notes read slowly.txt", "just some text\n", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RealPlayerTestApp app;
        app.ctx.winamppath = mpvFolder();
        const QString music = app.writeFile(c.name, c.bytes);
        app.model.setField(SummaryField::MusicFile, music);
        if (c.slowToLoad) {
            const QString script = app.writeFile(
                "slow.lua", "mp.add_hook('on_load', 50, function() os.execute('sleep 3') end)\n");
            qputenv("KOLVO_MPV_OPTIONS", options + " --script=" + QFile::encodeName(script));
        }
        QWidget owner;
        owner.show();
        EXPECT_EQ(LoadWinamp(app.ctx, &owner), LoadWinampResult::NotAnswering);
        qputenv("KOLVO_MPV_OPTIONS", options);
        ASSERT_EQ(app.boxes.shown.size(), 1);
        const QString text = app.boxes.last().text;
        EXPECT_TRUE(text.startsWith("WinAMP doesn't appear to have loaded!\n\n"))
            << text.toStdString();
        EXPECT_TRUE(text.contains(music)) << text.toStdString();
        EXPECT_TRUE(text.contains("Failed to recognize file format")) << text.toStdString();
        EXPECT_EQ(app.boxes.last().title, "Ack!");
        EXPECT_FALSE(owner.isVisible());
        EXPECT_TRUE(waitUntil([&] { return !processAlive(app.launcher.lastProcessId); }, 3000));
    }
}

// The existence check and the player see the same file: a relative music
// path is taken from the current folder for both, and a runtime folder too
// long for a socket address still gives a player that answers.
TEST(PlayerMpvLoad, RelativeMusicAndALongRuntimeFolderLoad) {
    useNullOutputs();
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QString savedFolder = QDir::currentPath();
    QTemporaryDir runtimes;
    const QString deep = runtimes.filePath(QString(110, u'r'));
    ASSERT_TRUE(QDir().mkpath(deep));
    const struct {
        const char* what;
        bool relative;
        QString runtime;
    } cases[] = {{"relative music path", true, QString::fromLocal8Bit(savedRuntime)},
                 {"long runtime folder", false, deep}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        qputenv("XDG_RUNTIME_DIR", c.runtime.toLocal8Bit());
        {
            RealPlayerTestApp app; // its link picks its socket place now
            app.ctx.winamppath = mpvFolder();
            const QString music = app.path("song.wav");
            ASSERT_TRUE(writeTestWav(music, kSongMs));
            ASSERT_TRUE(QDir::setCurrent(app.dir.path()));
            app.model.setField(SummaryField::MusicFile, c.relative ? "song.wav" : music);
            QWidget owner;
            owner.show();
            EXPECT_EQ(LoadWinamp(app.ctx, &owner), LoadWinampResult::Loaded)
                << (app.boxes.shown.isEmpty() ? "" : app.boxes.last().text.toStdString());
            EXPECT_EQ(app.player.property("path").toString(), music);
            const int pid = app.player.winampwindow;
            app.player.quitPlayer();
            if (pid > 1)
                ::kill(pid, SIGKILL);
            QDir::setCurrent(savedFolder);
        }
    }
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
}

// Waiting for the player never stops the event loop: a 1 ms timer keeps
// ticking while a look waits on a player that never answers and while a
// fresh player starts.
TEST(PlayerMpvSilent, TheEventLoopRunsWhileTheLinkWaits) {
    useNullOutputs();
    QTemporaryDir dir;
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });

    // A "player" that accepts the connection and never says a word.
    const QByteArray path = dir.filePath("mute.sock").toLocal8Bit();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.constData(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    {
        MpvPlayerLink mute(QString::fromLocal8Bit(path));
        ticker.start();
        EXPECT_FALSE(mute.FindWindowA());
        ticker.stop();
        EXPECT_GT(ticks, 0) << "no event was handled while waiting on a silent player";
    }
    ::close(listener);

    const QString music = dir.filePath("song.wav");
    ASSERT_TRUE(writeTestWav(music, kSongMs));
    ProcessLauncher launcher;
    MpvPlayerLink link(dir.filePath("real.sock"));
    ASSERT_TRUE(link.launch(launcher, mpvFolder(), music));
    ticks = 0;
    ticker.start();
    EXPECT_TRUE(link.FindWindowA());
    ticker.stop();
    EXPECT_GT(ticks, 0) << "no event was handled while the player started";
    link.quitPlayer();
}
