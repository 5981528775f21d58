#include "ui/platform/playerlink.h"

#include "ui/platform/launcher.h"
#include "ui/platform/settings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace kolvo {

QString playerProgramPath(const QString& playerFolder) {
    QString folder = playerFolder;
    while (folder.endsWith(u'/') && folder.size() > 1)
        folder.chop(1);
    if (folder.endsWith(u'/'))
        return folder + QStringLiteral("mpv");
    return folder + QStringLiteral("/mpv");
}

QString speedCaption(int percent) {
    return QString::number(percent) + QStringLiteral(" %");
}

int playbackSpeedFrom(const QString& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    for (int speed : kPlaybackSpeeds)
        if (ok && v == speed)
            return v;
    return 100;
}

// ---------------------------------------------------------------- mpv ----

namespace {

// How long one request may take before the player counts as hung.
constexpr int kReplyTimeoutMs = 1000;
// How long a look right after a launch waits for the socket and the file.
constexpr int kStartupWaitMs = 1500;
// How long a later look waits for a fresh player to load its file.
constexpr int kLaterLookWaitMs = 200;
// How long connecting to the socket may take.
constexpr int kConnectTimeoutMs = 200;
// How long a launched player that has not answered may take to give its
// reason before it is called silent.
constexpr int kReasonGraceMs = 2000;
// time-pos lags the true position by up to one audio chunk (about 50 ms).
constexpr double kTimePosLagMs = 80.0;
// After a seek or a resume, time-pos may still read from before it (a paused
// seek reads up to about 200 ms early) for a short while.
constexpr qint64 kSettleMs = 500;

const QString kSocketPrefix = QStringLiteral("kolvo-player-");
const QString kSocketSuffix = QStringLiteral(".sock");

struct Reply {
    bool answered = false; // the player replied at all
    bool ok = false;       // ... with success
    QJsonValue data;
};

// A process that has ended but was not yet reaped (a zombie) counts as gone.
bool processAlive(qint64 pid) {
    if (pid <= 0 || (::kill(pid_t(pid), 0) != 0 && errno != EPERM))
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype end = text.lastIndexOf(')');
    return end < 0 || text.mid(end + 2, 1) != "Z";
}

// Runs the event loop, with user input held back (it is delivered, in
// order, once the wait is over), until `done` holds or `deadline` passes.
// The socket's signals wake the wait to look again. Returns `done()`.
template <class Done>
bool waitWithEvents(Done done, QDeadlineTimer deadline, QLocalSocket* socket) {
    if (done())
        return true;
    if (!QCoreApplication::instance()) {
        // No event loop to run (a link outliving the application): wait on
        // the socket itself.
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            const int slice = int(std::clamp<qint64>(deadline.remainingTime(), 1, 5));
            if (socket && socket->state() == QLocalSocket::ConnectingState)
                socket->waitForConnected(slice);
            else if (socket && socket->state() == QLocalSocket::ConnectedState)
                socket->waitForReadyRead(slice);
            else
                QThread::msleep(std::uint64_t(slice));
        }
        return true;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (socket) {
        QObject::connect(socket, &QLocalSocket::readyRead, &loop, &QEventLoop::quit);
        QObject::connect(socket, &QLocalSocket::stateChanged, &loop, &QEventLoop::quit);
    }
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        timer.start(int(std::clamp<qint64>(deadline.remainingTime(), 0, 60000)));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return true;
}

// Waits `ms` with the event loop running (user input held back).
void pauseWithEvents(int ms) {
    waitWithEvents([] { return false; }, QDeadlineTimer(ms), nullptr);
}

// The player's own errors from its log ("[   0.2][e][cplayer] Failed to
// recognize file format."), the message part of each, at most three.
QStringList errorsInLog(const QString& logPath) {
    QFile log(logPath);
    QStringList errors;
    if (!log.open(QIODevice::ReadOnly))
        return errors;
    static const QRegularExpression line(
        QStringLiteral(R"(^\[[^\]]*\]\[[ef]\]\[[^\]]*\]\s*(.*)$)"));
    while (!log.atEnd() && errors.size() < 3) {
        const QString text = QString::fromUtf8(log.readLine()).trimmed();
        const QRegularExpressionMatch m = line.match(text);
        if (m.hasMatch() && !m.captured(1).isEmpty() && !errors.contains(m.captured(1)))
            errors << m.captured(1);
    }
    return errors;
}

} // namespace

struct MpvPlayerLink::Impl {
    QString socketPath;
    QLocalSocket socket;
    int nextId = 1;
    bool connected = false;
    // Bumped whenever the connection is dropped or made anew, so a wait on
    // the old one ends and never drops the new one.
    int generation = 0;
    std::set<int> waiting;        // request ids someone waits for
    std::map<int, Reply> answers; // their replies as they come in

    bool launched = false; // launched by us and not yet found
    QElapsedTimer sinceLaunch;
    qint64 launchedPid = 0; // the started program, while it was never found
    QString launchedMusic;
    // The player program as our child (null when the launcher starts none):
    // it ends with us, and tells us when it ends.
    std::unique_ptr<QProcess> process;
    // The music of the player found last, and its file's size and time then.
    QString loadedMusic;
    qint64 loadedSize = -1;
    QDateTime loadedModified;
    // A player has been found and has not been asked to end: its end is news.
    bool live = false;
    std::function<void()> onEnded;
    int speedPercent = 100;

    bool stopped = true;                // our notion of "stopped" (mpv has none)
    std::optional<double> pausedSeekMs; // reported until playback resumes
    // Where our Pause stopped it, reported until playback resumes: time-pos
    // may still move by part of a chunk after the pause is acknowledged.
    std::optional<double> pausedAtMs;
    bool anchored = false; // extrapolating while playing
    double anchorMs = 0;
    QElapsedTimer anchorClock;

    Impl() {
        QObject::connect(&socket, &QLocalSocket::readyRead, [this] { readReplies(); });
        QObject::connect(&socket, &QLocalSocket::disconnected, [this] {
            // The player closed the connection: it has ended (or is ending).
            const bool wasConnected = connected;
            lose();
            if (wasConnected)
                ended();
        });
    }
    ~Impl() {
        QObject::disconnect(&socket, nullptr, nullptr, nullptr);
        live = false;
        dropProcess();
    }

    // The player we found has gone without being asked to.
    void ended() {
        if (!live)
            return;
        live = false;
        if (onEnded)
            onEnded();
    }

    // Lets go of our child: it is ended if still running (SIGKILL after a
    // short grace for a quit already asked for).
    void dropProcess(int graceMs = 0) {
        if (!process)
            return;
        QObject::disconnect(process.get(), nullptr, nullptr, nullptr);
        if (process->state() != QProcess::NotRunning) {
            if (graceMs > 0)
                process->waitForFinished(graceMs);
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(1000);
            }
        }
        process.reset();
    }

    double speed() const { return speedPercent / 100.0; }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    QString logPath() const {
        QString path = socketPath;
        if (path.endsWith(kSocketSuffix))
            path.chop(kSocketSuffix.size());
        return path + QStringLiteral(".log");
    }

    void lose() {
        if (connected)
            ++generation;
        connected = false;
        anchored = false;
    }

    void drop() {
        lose();
        if (socket.state() != QLocalSocket::UnconnectedState)
            socket.abort();
    }

    void readReplies() {
        while (socket.canReadLine()) {
            const QJsonObject o = QJsonDocument::fromJson(socket.readLine()).object();
            if (!o.contains(QStringLiteral("request_id")))
                continue; // an event: not asked for
            const int id = o.value(QStringLiteral("request_id")).toInt();
            if (!waiting.count(id))
                continue; // a late reply to a request given up on
            Reply& r = answers[id];
            r.answered = true;
            r.ok = o.value(QStringLiteral("error")).toString() == QStringLiteral("success");
            r.data = o.value(QStringLiteral("data"));
        }
    }

    bool connect() {
        drop();
        socket.connectToServer(socketPath);
        waitWithEvents(
            [this] {
                return socket.state() == QLocalSocket::ConnectedState ||
                       socket.state() == QLocalSocket::UnconnectedState;
            },
            QDeadlineTimer(kConnectTimeoutMs), &socket);
        if (socket.state() != QLocalSocket::ConnectedState) {
            socket.abort();
            return false;
        }
        connected = true;
        ++generation;
        // We only ever ask; events would just pile up.
        call1({QStringLiteral("disable_event"), QStringLiteral("all")}, 500);
        return connected;
    }

    // Sends the commands in one write and waits, with the event loop
    // running, for all their replies. A broken or silent connection is
    // dropped (every later call fails fast). Other calls may run while this
    // one waits (a timer's tick); each picks out its own replies.
    std::vector<Reply> call(const std::vector<QJsonArray>& commands,
                            int timeoutMs = kReplyTimeoutMs) {
        std::vector<Reply> replies(commands.size());
        if (!connected || socket.state() != QLocalSocket::ConnectedState) {
            lose();
            return replies;
        }
        const int gen = generation;
        std::vector<int> ids;
        QByteArray out;
        for (const QJsonArray& c : commands) {
            ids.push_back(nextId);
            QJsonObject o{{QStringLiteral("command"), c}, {QStringLiteral("request_id"), nextId++}};
            out += QJsonDocument(o).toJson(QJsonDocument::Compact);
            out += '\n';
        }
        if (socket.write(out) != out.size()) {
            drop();
            return replies;
        }
        socket.flush();
        waiting.insert(ids.begin(), ids.end());
        const bool done = waitWithEvents(
            [&] {
                if (generation != gen)
                    return true;
                readReplies(); // replies already buffered
                return std::all_of(ids.begin(), ids.end(),
                                   [this](int id) { return answers.count(id) != 0; });
            },
            QDeadlineTimer(timeoutMs), &socket);
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const auto it = answers.find(ids[i]);
            if (it != answers.end()) {
                replies[i] = it->second;
                answers.erase(it);
            }
            waiting.erase(ids[i]);
        }
        if (!done && generation == gen) // silent, or talking without answering
            drop();
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

    // The program we started is known to have ended.
    bool launchedProcessEnded() const {
        if (process)
            return process->state() == QProcess::NotRunning;
        return launchedPid > 0 && !processAlive(launchedPid);
    }

    // Ends the program we started if it is still the player we started on
    // our socket (its process id may have been reused by now).
    void endLaunchedProcess() {
        if (process) {
            dropProcess();
            launchedPid = 0;
            return;
        }
        if (launchedPid <= 0)
            return;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(launchedPid));
        if (processAlive(launchedPid) && cmdline.open(QIODevice::ReadOnly) &&
            cmdline.readAll().contains(("--input-ipc-server=" + socketPath).toLocal8Bit()))
            ::kill(pid_t(launchedPid), SIGTERM);
        launchedPid = 0;
    }

    void anchorAt(double ms) {
        anchored = true;
        anchorMs = ms;
        anchorClock.start();
    }

    // A position the player reports, folded into the running estimate: the
    // estimate runs on our monotonic clock between the player's coarse
    // updates and is kept within [time-pos, time-pos + one chunk].
    // Both are in the song's time: our clock's time is scaled by the speed.
    double playingPosition(double timePosMs) {
        if (!anchored)
            anchorAt(timePosMs);
        const qint64 since = anchorClock.elapsed();
        double estimate = anchorMs + double(since) * speed();
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
    d->onEnded = [this] {
        winampwindow = 0;
        announceEnded();
    };
}

MpvPlayerLink::~MpvPlayerLink() {
    d->live = false;
    d->onEnded = nullptr;
    // Nothing can drive the player once we are gone: ask it to quit (a child
    // of ours gets a moment to, then is ended).
    const bool asked = d->connected && d->socket.state() == QLocalSocket::ConnectedState;
    if (asked) {
        d->socket.write(QByteArrayLiteral("{\"command\":[\"quit\"]}\n"));
        d->socket.flush();
    }
    d->dropProcess(asked ? 300 : 0);
    d->endLaunchedProcess();
    d->drop();
    if (!d->socketPath.isEmpty()) {
        QFile::remove(d->socketPath);
        QFile::remove(d->logPath());
    }
}

QString MpvPlayerLink::socketPath() const {
    return d->socketPath;
}

QString MpvPlayerLink::logPath() const {
    return d->logPath();
}

QString MpvPlayerLink::socketPathDefault() {
    const QString name =
        kSocketPrefix + QString::number(QCoreApplication::applicationPid()) + kSocketSuffix;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable()) {
        const QString path = runtime + u'/' + name;
        if (QFile::encodeName(path).size() <= kMaxSocketPathBytes)
            return path;
    }
    // A long runtime folder (or none): a private folder of our own in /tmp,
    // which always fits.
    const QByteArray folder = "/tmp/kolvo-" + QByteArray::number(::getuid());
    ::mkdir(folder.constData(), 0700);
    struct stat st {};
    if (::lstat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return QString(); // not ours: never put a socket where others could reach it
    if ((st.st_mode & 077) != 0 && ::chmod(folder.constData(), 0700) != 0)
        return QString();
    return QFile::decodeName(folder) + u'/' + name;
}

int MpvPlayerLink::removeStaleSockets(const QString& folder) {
    static const QRegularExpression pattern(QStringLiteral(R"(^kolvo-player-(\d+)\.sock$)"));
    const qint64 self = QCoreApplication::applicationPid();
    int removed = 0;
    const QStringList names = QDir(folder).entryList(QDir::System | QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (!m.hasMatch())
            continue;
        const qint64 pid = m.captured(1).toLongLong();
        if (pid == self || processAlive(pid))
            continue; // ours, or a running copy's
        const QString path = QDir(folder).filePath(name);
        QLocalSocket orphan;
        orphan.connectToServer(path);
        if (orphan.waitForConnected(50)) {
            // A player whose program is gone: nothing will ever drive it.
            orphan.write(QByteArrayLiteral("{\"command\":[\"quit\"]}\n"));
            orphan.waitForBytesWritten(50);
            orphan.disconnectFromServer();
        }
        QString log = path;
        log.chop(kSocketSuffix.size());
        QFile::remove(log + QStringLiteral(".log"));
        if (QFile::remove(path))
            ++removed;
    }
    return removed;
}

QStringList MpvPlayerLink::extraOptions() {
    return QProcess::splitCommand(qEnvironmentVariable("KOLVO_MPV_OPTIONS"));
}

QStringList MpvPlayerLink::launchArguments(const QString& musicFile) const {
    QStringList args{QStringLiteral("--keep-open=yes"), QStringLiteral("--pause"),
                     QStringLiteral("--no-terminal"),
                     // Music only: no video track (cover art included) and no
                     // window, so nothing covers our windows or takes the
                     // keyboard; and should a window appear all the same,
                     // no key of the player's own does anything there.
                     QStringLiteral("--vid=no"), QStringLiteral("--audio-display=no"),
                     QStringLiteral("--force-window=no"),
                     QStringLiteral("--input-default-bindings=no"),
                     QStringLiteral("--input-vo-keyboard=no"), QStringLiteral("--focus-on-open=no"),
                     QStringLiteral("--audio-fallback-to-null=yes"),
                     QStringLiteral("--input-ipc-server=") + d->socketPath,
                     // Where to find why a file would not play.
                     QStringLiteral("--log-file=") + d->logPath()};
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
    d->live = false; // asked to end: its end is no news
    if (!d->connected)
        d->connect();
    if (d->connected) {
        d->call1({QStringLiteral("quit")}, 300);
        // Wait for the player to go, so its socket is free for the next one.
        waitWithEvents([this] { return d->socket.state() != QLocalSocket::ConnectedState; },
                       QDeadlineTimer(1000), &d->socket);
    }
    d->drop();
    d->dropProcess(300);
    winampwindow = 0;
}

QJsonValue MpvPlayerLink::property(const QString& name) {
    const Reply r = d->call1({QStringLiteral("get_property"), name});
    return r.ok ? r.data : QJsonValue(QJsonValue::Undefined);
}

bool MpvPlayerLink::launch(Launcher& launcher, const QString& playerFolder,
                           const QString& musicFile, QString* error) {
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (d->socketPath.isEmpty())
        return fail(QStringLiteral("No private folder for the player's socket could be made in "
                                   "/tmp."));
    if (QFile::encodeName(d->socketPath).size() > kMaxSocketPathBytes)
        return fail(QStringLiteral("The player's socket path is too long: ") + d->socketPath);
    quitPlayer();
    abandonLaunch();
    removeStaleSockets(QFileInfo(d->socketPath).absolutePath());
    // A player that died leaves its socket file behind; it refuses
    // connections and would only confuse the next look.
    if (QFileInfo::exists(d->socketPath) && !d->connect())
        QFile::remove(d->socketPath);
    d->drop();
    QFile::remove(d->logPath());
    d->stopped = true;
    d->pausedSeekMs.reset();
    d->pausedAtMs.reset();
    d->launched = false;
    d->launchedMusic = musicFile;
    d->loadedMusic.clear();
    d->dropProcess();
    d->speedPercent = 100; // a new player starts at the song's own speed
    m_speed = 100;
    launcher.lastProcessId = 0;
    const QString program = playerProgramPath(playerFolder);
    const QStringList args = launchArguments(musicFile);
    if (launcher.startsChildren()) {
        // Started from this (the main) thread, which lives as long as the
        // program: the player's end-with-us signal is tied to it.
        QString why;
        d->process.reset(launcher.startChild(program, args, playerFolder, &why));
        if (!d->process)
            return fail(why);
        QProcess* p = d->process.get();
        const QDeadlineTimer deadline(10000);
        while (p->state() == QProcess::Starting && !deadline.hasExpired())
            pauseWithEvents(2);
        if (p->state() != QProcess::Running) {
            why = QStringLiteral("Could not start %1: %2").arg(program, p->errorString());
            d->dropProcess();
            return fail(why);
        }
        launcher.lastProcessId = p->processId();
        QObject::connect(p, &QProcess::finished, p, [this] { d->ended(); });
        d->launched = true;
        d->launchedPid = launcher.lastProcessId;
        d->sinceLaunch.start();
        return true;
    }
    // Starting a detached program waits for it to be executed, some tens of
    // ms on a busy machine: do it on a thread of its own while the events
    // go on.
    bool started = false;
    QString why;
    std::atomic<bool> done{false};
    std::thread starter([&] {
        started = launcher.start(program, args, playerFolder, &why);
        done = true;
    });
    while (!done)
        waitWithEvents([&done] { return done.load(); }, QDeadlineTimer(1), nullptr);
    starter.join();
    if (!started) {
        if (error)
            *error = why;
        return false;
    }
    d->launched = true;
    d->launchedPid = launcher.lastProcessId;
    d->sinceLaunch.start();
    return true;
}

QString MpvPlayerLink::launchProblem() {
    // A player that is still running with nothing in its log may be slow to
    // give up on the music (a busy machine): give it a moment to write its
    // reason or end before calling it silent.
    const QDeadlineTimer grace(kReasonGraceMs);
    while (d->launched && !d->launchedProcessEnded() && errorsInLog(d->logPath()).isEmpty() &&
           !grace.hasExpired())
        pauseWithEvents(20);
    const QStringList errors = errorsInLog(d->logPath());
    if (!errors.isEmpty())
        return QStringLiteral("The player could not play ") + d->launchedMusic +
               QStringLiteral(":\n") + errors.join(u'\n');
    if (d->launchedPid > 0 && processAlive(d->launchedPid))
        return QStringLiteral("The player was started on ") + d->launchedMusic +
               QStringLiteral(" but never answered on ") + d->socketPath +
               QStringLiteral("; it has been closed.");
    return QString();
}

bool MpvPlayerLink::launchedPlayerEnded() {
    return d->launched && d->launchedProcessEnded();
}

void MpvPlayerLink::abandonLaunch() {
    if (d->launched)
        d->endLaunchedProcess();
    d->launched = false;
    d->launchedPid = 0;
}

bool MpvPlayerLink::FindWindowA() {
    winampwindow = 0;
    const bool fresh = d->launched;
    if (d->connected && !d->launched) {
        const Reply pid = d->call1(Impl::get("pid"), 500);
        if (pid.ok) {
            winampwindow = std::max(1, pid.data.toInt());
            return true;
        }
    }
    const bool justLaunched = d->launched && d->sinceLaunch.elapsed() < kStartupWaitMs;
    // The socket appears a little after the launch; wait for it then (with
    // the event loop running), unless the player has already ended.
    while (!d->connect()) {
        if (!(d->launched && d->sinceLaunch.elapsed() < kStartupWaitMs) ||
            d->launchedProcessEnded())
            return false;
        pauseWithEvents(5);
    }
    const Reply pid = d->call1(Impl::get("pid"), 500);
    if (!pid.ok) {
        d->drop();
        return false;
    }
    // Seeks fail until the file is loaded, so a fresh player is found only
    // once it has loaded the file. Until then it may still give up on it
    // (music it cannot play), later on a busy machine: it is not found
    // yet, and the next look asks again.
    if (fresh) {
        const QDeadlineTimer wait(justLaunched ? kStartupWaitMs - d->sinceLaunch.elapsed()
                                               : kLaterLookWaitMs);
        bool loaded = d->fileLoaded();
        while (!loaded && d->connected && !wait.hasExpired()) {
            pauseWithEvents(5);
            loaded = d->fileLoaded();
        }
        if (!loaded)
            return false;
    }
    d->launched = false;
    d->launchedPid = 0; // found: from now on it quits when asked
    winampwindow = std::max(1, pid.data.toInt());
    d->live = true;
    if (fresh) {
        const QFileInfo music(d->launchedMusic);
        d->loadedMusic = d->launchedMusic;
        d->loadedSize = music.size();
        d->loadedModified = music.lastModified();
    }
    return true;
}

bool MpvPlayerLink::playsFile(const QString& musicFile) {
    if (!d->connected || !d->live || d->loadedMusic != musicFile)
        return false;
    const QFileInfo music(musicFile);
    if (music.size() != d->loadedSize || music.lastModified() != d->loadedModified)
        return false; // changed since: load it afresh
    const Reply path = d->call1(Impl::get("path"), 500);
    return path.ok && path.data.toString() == musicFile;
}

bool MpvPlayerLink::setSpeed(int percent) {
    if (!d->connected)
        return false;
    if (percent == d->speedPercent)
        return true;
    const Reply r = d->call1(Impl::set("speed", percent / 100.0));
    if (!r.ok)
        return false;
    // The estimate goes on from where it is, at the new pace.
    if (d->anchored)
        d->anchorAt(d->anchorMs + double(d->anchorClock.elapsed()) * d->speed());
    d->speedPercent = percent;
    m_speed = percent;
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
        // At the end of the song the player still reports its end until
        // the seek back has landed; wait for that (briefly), so the state
        // read right after Play is "playing", not "stopped at the end".
        for (int tries = 0; tries < 50; ++tries) {
            const Reply end = d->call1(Impl::get("eof-reached"));
            if (!end.ok || !end.data.toBool())
                break;
            pauseWithEvents(10);
        }
        d->stopped = false;
        d->pausedSeekMs.reset();
        d->pausedAtMs.reset();
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
            const Reply at = d->call1(Impl::get("time-pos"));
            if (at.ok && at.data.isDouble())
                d->pausedAtMs = std::max(0.0, at.data.toDouble() * 1000.0);
        } else {
            d->anchorAt(d->pausedSeekMs ? *d->pausedSeekMs : r[2].data.toDouble() * 1000.0);
            d->pausedSeekMs.reset();
            d->pausedAtMs.reset();
        }
        break;
    }
    case winamp::Stop:
        d->call({Impl::set("pause", true), Impl::seek(0)});
        d->stopped = true;
        d->pausedSeekMs = 0; // a paused seek reads early: say where we asked for
        d->pausedAtMs.reset();
        d->anchored = false;
        break;
    default:
        break;
    }
}

std::optional<int> MpvPlayerLink::ask(int lparam, int wparam) {
    if (!d->connected)
        return std::nullopt;
    switch (lparam) {
    case winamp::IsPlaying: {
        const auto r = d->call({Impl::get("pause"), Impl::get("eof-reached")});
        if (!r[0].answered)
            return std::nullopt;
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
        if (!r[0].answered)
            return std::nullopt;
        if (!r[0].ok || !r[0].data.isDouble())
            return 0; // answering, but no file playing
        const double timePosMs = std::max(0.0, r[0].data.toDouble() * 1000.0);
        const bool paused = r[1].data.toBool();
        if (paused || r[2].data.toBool()) {
            d->anchored = false;
            if (d->pausedSeekMs)
                return int(std::lround(*d->pausedSeekMs));
            return int(std::lround(paused ? d->pausedAtMs.value_or(timePosMs) : timePosMs));
        }
        d->pausedAtMs.reset();
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
            pauseWithEvents(5);
        const Reply r = d->call1(Impl::seek(target));
        if (!r.answered)
            return std::nullopt;
        if (!r.ok)
            return -1;
        const Reply paused = d->call1(Impl::get("pause"));
        if (!paused.answered)
            return std::nullopt;
        if (paused.data.toBool()) {
            d->pausedSeekMs = target;
            d->pausedAtMs.reset();
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

} // namespace kolvo
