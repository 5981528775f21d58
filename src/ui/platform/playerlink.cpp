#include "ui/platform/playerlink.h"

#include "ui/platform/launcher.h"
#include "ui/platform/settings.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace kolvo {

QString playerProgramPath(const QString& playerFolder) {
    QString folder = playerFolder;
    while (folder.endsWith(u'/') && folder.size() > 1)
        folder.chop(1);
    if (folder.endsWith(u'/'))
        return folder + QStringLiteral("mpv");
    return folder + QStringLiteral("/mpv");
}

// ---------------------------------------------------------------- mpv ----

namespace {

// How long one request may take before the player counts as hung.
constexpr int kReplyTimeoutMs = 1000;
// How long a look right after a launch waits for the socket and the file.
constexpr int kStartupWaitMs = 1500;
// time-pos lags the true position by up to one audio chunk (about 50 ms).
constexpr double kTimePosLagMs = 80.0;
// After a seek or a resume, time-pos may still read from before it (a paused
// seek reads up to about 200 ms early) for a short while.
constexpr qint64 kSettleMs = 500;

struct Reply {
    bool ok = false;
    QJsonValue data;
};

} // namespace

struct MpvPlayerLink::Impl {
    QString socketPath;
    QLocalSocket socket;
    int nextId = 1;
    bool connected = false;

    bool launched = false; // launched by us and not yet found
    QElapsedTimer sinceLaunch;

    bool stopped = true;                // our notion of "stopped" (mpv has none)
    std::optional<double> pausedSeekMs; // reported until playback resumes
    bool anchored = false;              // extrapolating while playing
    double anchorMs = 0;
    QElapsedTimer anchorClock;

    void drop() {
        if (socket.state() != QLocalSocket::UnconnectedState)
            socket.abort();
        connected = false;
        anchored = false;
    }

    bool connect() {
        drop();
        socket.connectToServer(socketPath);
        connected = socket.waitForConnected(200);
        if (!connected) {
            socket.abort();
            return false;
        }
        // We only ever ask; events would just pile up between our calls.
        call({QJsonArray{QStringLiteral("disable_event"), QStringLiteral("all")}}, 500);
        return connected;
    }

    // Sends the commands in one write and waits for all their replies.
    // A broken or silent connection is dropped (every later call fails fast).
    std::vector<Reply> call(const std::vector<QJsonArray>& commands,
                            int timeoutMs = kReplyTimeoutMs) {
        std::vector<Reply> replies(commands.size());
        if (!connected || socket.state() != QLocalSocket::ConnectedState) {
            connected = false;
            return replies;
        }
        const int firstId = nextId;
        QByteArray out;
        for (const QJsonArray& c : commands) {
            QJsonObject o{{QStringLiteral("command"), c}, {QStringLiteral("request_id"), nextId++}};
            out += QJsonDocument(o).toJson(QJsonDocument::Compact);
            out += '\n';
        }
        if (socket.write(out) != out.size()) {
            drop();
            return replies;
        }
        socket.flush();
        std::size_t answered = 0;
        QDeadlineTimer deadline(timeoutMs);
        while (answered < commands.size()) {
            if (deadline.hasExpired()) { // silent, or talking without answering
                drop();
                return replies;
            }
            if (!socket.canReadLine()) {
                if (socket.state() != QLocalSocket::ConnectedState ||
                    !socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())))) {
                    if (!socket.canReadLine()) {
                        drop();
                        return replies;
                    }
                }
                continue;
            }
            const QJsonObject o = QJsonDocument::fromJson(socket.readLine()).object();
            if (!o.contains(QStringLiteral("request_id")))
                continue; // an event: not asked for
            const int index = o.value(QStringLiteral("request_id")).toInt() - firstId;
            if (index < 0 || std::size_t(index) >= replies.size())
                continue; // a late reply to a request given up on
            replies[std::size_t(index)].ok =
                o.value(QStringLiteral("error")).toString() == QStringLiteral("success");
            replies[std::size_t(index)].data = o.value(QStringLiteral("data"));
            ++answered;
        }
        return replies;
    }

    Reply call1(const QJsonArray& command, int timeoutMs = kReplyTimeoutMs) {
        return call({command}, timeoutMs).front();
    }

    static QJsonArray get(const char* property) {
        return {QStringLiteral("get_property"), QLatin1String(property)};
    }
    static QJsonArray set(const char* property, const QJsonValue& v) {
        return {QStringLiteral("set_property"), QLatin1String(property), v};
    }
    static QJsonArray seek(double ms) {
        return {QStringLiteral("seek"), ms / 1000.0, QStringLiteral("absolute+exact")};
    }

    // Ready for seeks: "duration" is known a few ms before the player has
    // set itself at the start of the file, and a seek sent in between is
    // lost; "time-pos" comes after that.
    bool fileLoaded() {
        const Reply r = call1(get("time-pos"));
        return r.ok && r.data.isDouble();
    }

    void anchorAt(double ms) {
        anchored = true;
        anchorMs = ms;
        anchorClock.start();
    }

    // A position the player reports, folded into the running estimate: the
    // estimate runs on our monotonic clock between the player's coarse
    // updates and is kept within [time-pos, time-pos + one chunk].
    double playingPosition(double timePosMs) {
        if (!anchored)
            anchorAt(timePosMs);
        const qint64 since = anchorClock.elapsed();
        double estimate = anchorMs + double(since);
        const bool settling = since < kSettleMs && timePosMs < anchorMs - 5.0;
        if (!settling) {
            if (estimate < timePosMs) {
                anchorAt(timePosMs);
                estimate = timePosMs;
            } else if (estimate > timePosMs + kTimePosLagMs) {
                anchorAt(timePosMs + kTimePosLagMs);
                estimate = anchorMs;
            }
        }
        return estimate;
    }
};

MpvPlayerLink::MpvPlayerLink(const QString& socketPath) : d(std::make_unique<Impl>()) {
    d->socketPath = socketPath.isEmpty() ? socketPathDefault() : socketPath;
}

MpvPlayerLink::~MpvPlayerLink() = default;

QString MpvPlayerLink::socketPath() const {
    return d->socketPath;
}

QString MpvPlayerLink::socketPathDefault() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable())
        return runtime + QStringLiteral("/kolvo-player.sock");
    return dataFilePath(QStringLiteral("kolvo-player.sock"));
}

QStringList MpvPlayerLink::extraOptions() {
    return QProcess::splitCommand(qEnvironmentVariable("KOLVO_MPV_OPTIONS"));
}

QStringList MpvPlayerLink::launchArguments(const QString& musicFile) const {
    QStringList args{QStringLiteral("--force-window=yes"),
                     QStringLiteral("--keep-open=yes"),
                     QStringLiteral("--pause"),
                     QStringLiteral("--no-terminal"),
                     QStringLiteral("--audio-fallback-to-null=yes"),
                     QStringLiteral("--input-ipc-server=") + d->socketPath};
    // With no display to show a window on, the video output would only
    // hunt for one; the music plays the same.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        args << QStringLiteral("--vo=null");
    args += extraOptions();
    // "--" so that no file name is ever read as an option.
    args << QStringLiteral("--") << musicFile;
    return args;
}

void MpvPlayerLink::quitPlayer() {
    if (!d->connected)
        d->connect();
    if (d->connected) {
        d->call1({QStringLiteral("quit")}, 300);
        // Wait for the player to go, so its socket is free for the next one.
        QDeadlineTimer deadline(1000);
        while (d->socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired())
            d->socket.waitForDisconnected(int(std::max<qint64>(1, deadline.remainingTime())));
    }
    d->drop();
    winampwindow = 0;
}

QJsonValue MpvPlayerLink::property(const QString& name) {
    const Reply r = d->call1({QStringLiteral("get_property"), name});
    return r.ok ? r.data : QJsonValue(QJsonValue::Undefined);
}

bool MpvPlayerLink::launch(Launcher& launcher, const QString& playerFolder,
                           const QString& musicFile, QString* error) {
    quitPlayer();
    // A player that died leaves its socket file behind; it refuses
    // connections and would only confuse the next look.
    if (QFileInfo::exists(d->socketPath) && !d->connect())
        QFile::remove(d->socketPath);
    d->drop();
    d->stopped = true;
    d->pausedSeekMs.reset();
    d->launched = false;
    if (!launcher.start(playerProgramPath(playerFolder), launchArguments(musicFile), playerFolder,
                        error))
        return false;
    d->launched = true;
    d->sinceLaunch.start();
    return true;
}

bool MpvPlayerLink::FindWindowA() {
    winampwindow = 0;
    if (d->connected && !d->launched) {
        const Reply pid = d->call1(Impl::get("pid"), 500);
        if (pid.ok) {
            winampwindow = std::max(1, pid.data.toInt());
            return true;
        }
    }
    const bool justLaunched = d->launched && d->sinceLaunch.elapsed() < kStartupWaitMs;
    // The socket appears a little after the launch; wait for it then.
    while (!d->connect()) {
        if (!(d->launched && d->sinceLaunch.elapsed() < kStartupWaitMs))
            return false;
        QThread::msleep(5);
    }
    const Reply pid = d->call1(Impl::get("pid"), 500);
    if (!pid.ok) {
        d->drop();
        return false;
    }
    // Seeks fail until the file is loaded, so a fresh player is found only
    // once it has loaded (or given up on) the file.
    if (justLaunched) {
        while (!d->fileLoaded() && d->connected && d->sinceLaunch.elapsed() < kStartupWaitMs)
            QThread::msleep(5);
        if (!d->connected)
            return false;
    }
    d->launched = false;
    winampwindow = std::max(1, pid.data.toInt());
    return true;
}

bool MpvPlayerLink::IsWindow() {
    return d->connected && d->call1(Impl::get("pid"), 500).ok;
}

void MpvPlayerLink::WinampCommand(int id) {
    if (!d->connected)
        return;
    switch (id) {
    case winamp::Play: {
        // From the start; before the file is loaded the seek fails, but the
        // player is at 0 then anyway.
        d->call({Impl::seek(0), Impl::set("pause", false)});
        d->stopped = false;
        d->pausedSeekMs.reset();
        d->anchorAt(0);
        break;
    }
    case winamp::Pause: {
        const auto r =
            d->call({Impl::get("pause"), Impl::get("eof-reached"), Impl::get("time-pos")});
        if (!r[0].ok || d->stopped || r[1].data.toBool())
            return; // only while playing or paused
        const bool nowPaused = !r[0].data.toBool();
        if (!d->call1(Impl::set("pause", nowPaused)).ok)
            return;
        if (nowPaused) {
            d->anchored = false;
        } else {
            d->anchorAt(d->pausedSeekMs ? *d->pausedSeekMs : r[2].data.toDouble() * 1000.0);
            d->pausedSeekMs.reset();
        }
        break;
    }
    case winamp::Stop:
        d->call({Impl::set("pause", true), Impl::seek(0)});
        d->stopped = true;
        d->pausedSeekMs = 0; // a paused seek reads early: say where we asked for
        d->anchored = false;
        break;
    default:
        break;
    }
}

int MpvPlayerLink::query(int lparam, int wparam) {
    if (!d->connected)
        return 0;
    switch (lparam) {
    case winamp::IsPlaying: {
        const auto r = d->call({Impl::get("pause"), Impl::get("eof-reached")});
        if (!r[0].ok)
            return 0;
        if (r[1].data.toBool()) {
            d->stopped = true; // the end of the song stops it
            d->anchored = false;
            return 0;
        }
        const bool paused = r[0].data.toBool();
        if (d->stopped && !paused)
            d->stopped = false; // started from the player's own window
        if (d->stopped)
            return 0;
        return paused ? 3 : 1;
    }
    case winamp::GetPosition: {
        const auto r =
            d->call({Impl::get("time-pos"), Impl::get("pause"), Impl::get("eof-reached")});
        if (!r[0].ok || !r[0].data.isDouble())
            return 0;
        const double timePosMs = std::max(0.0, r[0].data.toDouble() * 1000.0);
        const bool paused = r[1].data.toBool();
        if (paused || r[2].data.toBool()) {
            d->anchored = false;
            return int(std::lround(d->pausedSeekMs.value_or(timePosMs)));
        }
        if (d->pausedSeekMs) { // resumed from the player's own window
            d->anchorAt(*d->pausedSeekMs);
            d->pausedSeekMs.reset();
        }
        d->stopped = false;
        return int(std::lround(d->playingPosition(timePosMs)));
    }
    case winamp::JumpToTime: {
        const double target = std::max(0, wparam);
        // Seeks fail, or are lost, until the file is loaded: wait for it a
        // little (only ever right after a launch).
        QDeadlineTimer deadline(kStartupWaitMs);
        while (d->connected && !d->fileLoaded() && !deadline.hasExpired())
            QThread::msleep(5);
        const Reply r = d->call1(Impl::seek(target));
        if (!r.ok)
            return d->connected ? -1 : 0;
        const Reply paused = d->call1(Impl::get("pause"));
        if (paused.data.toBool()) {
            d->pausedSeekMs = target;
            d->anchored = false;
        } else {
            d->pausedSeekMs.reset();
            d->anchorAt(target);
        }
        return 0;
    }
    default:
        return 0;
    }
}

// ----------------------------------------------------------- scripted ----

bool ScriptedPlayer::launch(Launcher& launcher, const QString& playerFolder,
                            const QString& musicFile, QString* error) {
    launchedFiles << musicFile;
    if (!launcher.start(playerProgramPath(playerFolder), {musicFile}, playerFolder, error))
        return false;
    if (!launchSucceeds) {
        if (error)
            *error = QStringLiteral("The player could not be started.");
        return false;
    }
    m_looksLeft = looksUntilFound;
    return true;
}

bool ScriptedPlayer::FindWindowA() {
    ++looks;
    if (m_looksLeft > 0) {
        --m_looksLeft;
    } else if (m_looksLeft == 0) {
        running = true;
        m_looksLeft = -1;
    }
    winampwindow = running ? 4242 : 0;
    return running;
}

bool ScriptedPlayer::IsWindow() {
    return running && winampwindow != 0;
}

void ScriptedPlayer::WinampCommand(int id) {
    commands << id;
    if (!running)
        return;
    switch (id) {
    case winamp::Play:
        playState = 1;
        playPosition = 0;
        break;
    case winamp::Pause:
        if (playState == 1)
            playState = 3;
        else if (playState == 3)
            playState = 1;
        break;
    case winamp::Stop:
        playState = 0;
        playPosition = 0;
        break;
    default:
        break;
    }
}

int ScriptedPlayer::query(int lparam, int wparam) {
    if (!running)
        return 0;
    switch (lparam) {
    case winamp::IsPlaying:
        return playState;
    case winamp::GetPosition:
        return playPosition;
    case winamp::JumpToTime:
        jumps << wparam;
        playPosition = wparam;
        return 0;
    default:
        return 0;
    }
}

} // namespace kolvo
