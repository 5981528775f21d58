#include "cli/packs.h"

#include "cli/orderedpool.h"
#include "cli/packwalk.h"
#include "core/files/kolvofile.h"
#include "core/formats/builtinformats.h"
#include "core/formats/fileformat.h"
#include "core/import/stepimport.h"
#include "core/song/songmodel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <set>
#include <thread>

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kolvo::cli {

const char kPackUsage[] =
    "  check PATH... [--verbose] [--json]\n"
    "                                read every song file (.kolvo, .dwi, .sm, .ssc) given or\n"
    "                                found in the folders given (recursively; symbolic links\n"
    "                                inside a folder are not followed); one line a file:\n"
    "                                'FILE: ok', 'FILE: ok, N losses' (what the program\n"
    "                                cannot hold; --verbose lists it) or 'FILE:LINE: reason'\n"
    "                                on standard error; a summary line when a folder was given\n"
    "  convert --to ssc|sm|dwi|kolvo PATH... [-o OUTDIR] [--force] [--verbose] [--json]\n"
    "                                convert every song given or found in the folders given;\n"
    "                                in a folder with several formats the .ssc is read, else\n"
    "                                the .sm, else the .dwi (else the .kolvo files); writes\n"
    "                                beside each file, or under OUTDIR mirroring the folders;\n"
    "                                an existing file is replaced only with --force; what is\n"
    "                                lost or cannot be carried is reported for each file\n"
    "  --json (check, convert)       one JSON object a file on standard output instead\n";

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;
constexpr int kInterrupted = 130;

// What the simulators read first in a song folder.
const QStringList kSimulatorPreference = {QStringLiteral("ssc"), QStringLiteral("sm"),
                                          QStringLiteral("dwi")};

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int) {
    g_interrupted.store(true);
}

// Ctrl+C (and a polite kill) lets the files under way finish, then stops.
class InterruptGuard {
  public:
    InterruptGuard() {
        struct sigaction sa {};
        sa.sa_handler = onInterrupt;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, &m_oldInt);
        sigaction(SIGTERM, &sa, &m_oldTerm);
    }
    ~InterruptGuard() {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

  private:
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};

void put(std::FILE* f, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), f);
    std::fflush(f);
}

int usageError(const QString& why) {
    put(stderr, QStringLiteral("kolvo-cli: %1\nTry 'kolvo-cli --help'.\n").arg(why));
    return kUsageError;
}

QString plural(qsizetype n, const char* one, const char* many) {
    return QString::number(n) + u' ' + QLatin1StringView(n == 1 ? one : many);
}

// The progress line on a terminal: files done of the total and the file
// under way, drawn on standard error and wiped before any other line.
class Progress {
  public:
    explicit Progress(std::size_t total) : m_total(total), m_shown(::isatty(STDERR_FILENO) == 1) {}

    void started(const QString& path) {
        std::lock_guard lock(m_mutex);
        m_current = path;
    }
    void setDone(std::size_t done) { m_done = done; }

    void draw() {
        if (!m_shown)
            return;
        QString current;
        {
            std::lock_guard lock(m_mutex);
            current = m_current;
        }
        QString text = QStringLiteral("[%1/%2] ").arg(m_done).arg(m_total);
        winsize ws{};
        const int width =
            ::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 ? int(ws.ws_col) : 80;
        const int room = width - 1 - int(text.size());
        if (room > 3 && current.size() > room)
            current = QStringLiteral("...") + current.right(room - 3);
        text += room > 3 ? current : QString();
        if (text == m_drawn)
            return;
        m_drawn = text;
        put(stderr, QStringLiteral("\r\033[K") + text);
    }
    void wipe() {
        if (!m_shown || m_drawn.isEmpty())
            return;
        m_drawn.clear();
        put(stderr, QStringLiteral("\r\033[K"));
    }

  private:
    std::size_t m_total;
    std::size_t m_done = 0;
    bool m_shown;
    std::mutex m_mutex;
    QString m_current;
    QString m_drawn;
};

struct Options {
    QStringList paths;
    bool verbose = false;
    bool json = false;
    bool force = false;
    QString to;
    QString outDir;
    bool hasOutDir = false;
};

// Parses the options both commands share and those of convert; returns the
// usage error's text, or nothing.
std::optional<QString> parseOptions(const QStringList& args, bool convert, Options& o) {
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (optionsEnded || !a.startsWith(u'-') || a == u"-") {
            o.paths << a;
            continue;
        }
        auto value = [&](const char* name, QString& into) -> std::optional<QString> {
            if (i + 1 >= args.size())
                return QStringLiteral("'%1' needs a value").arg(QLatin1StringView(name));
            into = args[++i];
            return std::nullopt;
        };
        std::optional<QString> error;
        if (a == u"--")
            optionsEnded = true;
        else if (a == u"--verbose" || a == u"-v")
            o.verbose = true;
        else if (a == u"--json")
            o.json = true;
        else if (convert && a == u"--force")
            o.force = true;
        else if (convert && a == u"--to")
            error = value("--to", o.to);
        else if (convert && a.startsWith(u"--to="))
            o.to = a.mid(5);
        else if (convert && (a == u"-o" || a == u"--output")) {
            error = value("-o", o.outDir);
            o.hasOutDir = true;
        } else
            return QStringLiteral("unknown option '%1'").arg(a);
        if (error)
            return error;
    }
    return std::nullopt;
}

QJsonArray jsonLines(const QStringList& lines) {
    QJsonArray a;
    for (const QString& l : lines)
        a.append(l);
    return a;
}

void putJson(const QJsonObject& o) {
    put(stdout, QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) + u'\n');
}

QString formatName(const FileFormat* f) {
    return f ? f->shortName() : QString();
}

// ---- check ----

struct CheckResult {
    enum Status { Ok, Refused };
    Status status = Ok;
    const FileFormat* format = nullptr;
    QStringList losses;
    std::optional<FileError> error;
};

// The file's bytes and the format that reads them, as opening it would find
// them; on failure the error.
std::optional<FileError> readBytes(const QString& path, QByteArray& bytes,
                                   const FileFormat*& format) {
    if (auto e = readWholeFile(path, bytes))
        return e;
    format = formatForReading(path, bytes.left(4096));
    if (!format)
        return FileError{path, 0, QStringLiteral("is not a file this program can read")};
    return std::nullopt;
}

CheckResult checkFile(const QString& path) {
    CheckResult r;
    QByteArray bytes;
    if (auto e = readBytes(path, bytes, r.format)) {
        r.error = e;
    } else if (r.format == &kolvoFormat()) {
        // A work file is checked without building a song: the same refusals, faster.
        r.error = checkKolvoData(bytes, path);
    } else {
        ReadResult read = r.format->read(bytes, path);
        r.error = read.error;
        if (!read.error && !read.song)
            r.error = FileError{path, 0, QStringLiteral("holds no song")};
        r.losses = importLossLines(read.losses);
    }
    if (r.error)
        r.status = CheckResult::Refused;
    return r;
}

} // namespace

int checkCommand(const QStringList& args) {
    Options o;
    if (auto why = parseOptions(args, false, o))
        return usageError(*why);
    if (o.paths.isEmpty())
        return usageError(QStringLiteral("'check' needs at least one file or folder"));
    fileFormats(); // built once, before the threads share it

    const auto start = std::chrono::steady_clock::now();
    const Walk walk = walkPaths(o.paths, {});
    Progress progress(walk.entries.size());
    InterruptGuard guard;
    std::size_t okCount = 0, lossCount = 0, refusedCount = 0;

    const std::size_t done = runInOrder<CheckResult>(
        walk.entries.size(), int(std::thread::hardware_concurrency()),
        [&](std::size_t i) {
            const PackEntry& e = walk.entries[i];
            if (e.kind == PackEntry::Unlisted) {
                CheckResult r;
                r.status = CheckResult::Refused;
                r.error = FileError{e.path, 0, e.note};
                return r;
            }
            progress.started(e.path);
            return checkFile(e.path);
        },
        [&](std::size_t i, CheckResult&& r) {
            const PackEntry& e = walk.entries[i];
            progress.wipe();
            if (r.status == CheckResult::Refused)
                ++refusedCount;
            else if (r.losses.isEmpty())
                ++okCount;
            else
                ++lossCount;
            if (o.json) {
                QJsonObject j{
                    {QStringLiteral("path"), e.path},
                    {QStringLiteral("format"), formatName(r.format ? r.format : e.format)},
                    {QStringLiteral("status"), r.status == CheckResult::Refused
                                                   ? QStringLiteral("refused")
                                               : r.losses.isEmpty() ? QStringLiteral("ok")
                                                                    : QStringLiteral("losses")},
                    {QStringLiteral("losses"), jsonLines(r.losses)},
                    {QStringLiteral("reason"),
                     r.error ? QJsonValue(r.error->reason) : QJsonValue()}};
                if (r.error && r.error->line > 0)
                    j.insert(QStringLiteral("line"), r.error->line);
                putJson(j);
                return;
            }
            if (r.status == CheckResult::Refused) {
                put(stderr, r.error->message() + u'\n');
                return;
            }
            QString line = e.path + QStringLiteral(": ok");
            if (!r.losses.isEmpty())
                line += QStringLiteral(", ") + plural(r.losses.size(), "loss", "losses");
            line += u'\n';
            if (o.verbose)
                for (const QString& l : r.losses)
                    line += QStringLiteral("  ") + l + u'\n';
            put(stdout, line);
        },
        [] { return g_interrupted.load(); },
        [&] {
            progress.setDone(okCount + lossCount + refusedCount);
            progress.draw();
        });
    progress.wipe();

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (done < walk.entries.size())
        put(stderr, QStringLiteral("kolvo-cli: stopped after %1 of %2 files\n")
                        .arg(done)
                        .arg(walk.entries.size()));
    if (walk.walkedAFolder && !o.json)
        put(stdout, QStringLiteral("%1: %2 ok, %3 with losses, %4 refused, in %5 s\n")
                        .arg(plural(qsizetype(done), "file", "files"))
                        .arg(okCount)
                        .arg(lossCount)
                        .arg(refusedCount)
                        .arg(seconds, 0, 'f', 2));
    if (done < walk.entries.size())
        return kInterrupted;
    return refusedCount > 0 ? kFailed : kOk;
}

// ---- convert ----

namespace {

struct ConvertResult {
    enum Status { Written, Exists, Refused, Skipped };
    Status status = Written;
    const FileFormat* format = nullptr;
    QString output;
    QStringList losses;
    QStringList notCarried;
    QStringList warnings;
    std::optional<FileError> error;
    QString note; // why a file was skipped
};

const char* statusName(ConvertResult::Status s) {
    switch (s) {
    case ConvertResult::Written:
        return "written";
    case ConvertResult::Exists:
        return "exists";
    case ConvertResult::Refused:
        return "refused";
    case ConvertResult::Skipped:
        return "skipped";
    }
    return "";
}

// Whether anything, even a dangling link, sits at the path.
bool somethingAt(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QString cleanAbsolute(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

struct Planned {
    QString output;                       // empty when nothing is to be written
    std::optional<ConvertResult> settled; // decided before any reading
};

// Where each song goes, decided in input order before the work starts, so
// two songs of one run never write the same file.
std::vector<Planned> plan(const Walk& walk, const Options& o, const FileFormat& target) {
    std::vector<Planned> out(walk.entries.size());
    std::set<QString> claimed;
    for (std::size_t i = 0; i < walk.entries.size(); ++i) {
        const PackEntry& e = walk.entries[i];
        Planned& p = out[i];
        if (e.kind == PackEntry::Unlisted) {
            ConvertResult r;
            r.status = ConvertResult::Refused;
            r.error = FileError{e.path, 0, e.note};
            p.settled = r;
            continue;
        }
        if (e.kind == PackEntry::Skipped) {
            ConvertResult r;
            r.status = ConvertResult::Skipped;
            r.format = e.format;
            r.note = e.note;
            p.settled = r;
            continue;
        }
        const QFileInfo info(e.path);
        const QString folder =
            o.hasOutDir ? (e.treeFolder.isEmpty() ? o.outDir : o.outDir + u'/' + e.treeFolder)
                        : info.path();
        const QString name = info.completeBaseName() + u'.' + target.extensions().value(0);
        p.output = QDir::cleanPath(folder + u'/' + name);
        const QString key = cleanAbsolute(p.output);
        if (key == cleanAbsolute(e.path)) {
            ConvertResult r;
            r.status = ConvertResult::Skipped;
            r.format = e.format;
            r.note = QStringLiteral("it is already a .%1 file").arg(target.extensions().value(0));
            p.settled = r;
            p.output.clear();
            continue;
        }
        if (!claimed.insert(key).second) {
            ConvertResult r;
            r.status = ConvertResult::Refused;
            r.format = e.format;
            r.output = p.output;
            r.error = FileError{
                e.path, 0,
                QStringLiteral("another song of this run is written to %1").arg(p.output)};
            p.settled = r;
            p.output.clear();
        }
    }
    return out;
}

std::mutex g_folderMutex;

ConvertResult convertFile(const QString& path, const QString& output, const FileFormat& target,
                          bool force) {
    ConvertResult r;
    r.output = output;
    auto refuse = [&r](FileError e) {
        r.status = ConvertResult::Refused;
        r.error = std::move(e);
        return r;
    };
    // Nothing is read for a file that will not be written.
    if (!force && somethingAt(output)) {
        r.status = ConvertResult::Exists;
        return r;
    }
    QByteArray bytes;
    if (auto e = readBytes(path, bytes, r.format))
        return refuse(*e);
    ReadResult read = r.format->read(bytes, path);
    bytes.clear();
    if (!read.ok())
        return refuse(read.error ? *read.error
                                 : FileError{path, 0, QStringLiteral("holds no song")});
    r.losses = importLossLines(read.losses);
    const SongModel& song = *read.song;
    if (auto why = target.unwritableValue(song))
        return refuse(FileError{path, 0, *why});
    if (auto warning = target.misreadWarning(song))
        r.warnings << *warning;
    r.notCarried = target.cannotCarry(song);
    const QString folder = QFileInfo(output).path();
    {
        std::lock_guard lock(g_folderMutex);
        if (!QDir().mkpath(folder))
            return refuse(FileError{output, 0,
                                    QStringLiteral("cannot be written: the folder "
                                                   "cannot be made")});
    }
    if (auto e = writeSongFile(target, output, song))
        return refuse(*e);
    return r;
}

} // namespace

int convertCommand(const QStringList& args) {
    Options o;
    if (auto why = parseOptions(args, true, o))
        return usageError(*why);
    QStringList writable;
    for (const FileFormat* f : fileFormats())
        if (f->canWrite())
            writable << f->shortName();
    if (o.to.isEmpty())
        return usageError(
            QStringLiteral("'convert' needs --to and a format: %1").arg(writable.join(u'|')));
    const FileFormat* target = formatNamed(o.to);
    if (!target || !target->canWrite())
        return usageError(QStringLiteral("cannot convert to '%1'; the formats are %2")
                              .arg(o.to, writable.join(u'|')));
    if (o.paths.isEmpty())
        return usageError(QStringLiteral("'convert' needs at least one file or folder"));
    if (o.hasOutDir && o.outDir.isEmpty())
        return usageError(QStringLiteral("'-o' needs a folder"));

    // The simulators' order, then the program's own files where a folder
    // holds no step file.
    WalkOptions walkOptions;
    walkOptions.preference = kSimulatorPreference;
    const auto start = std::chrono::steady_clock::now();
    const Walk walk = walkPaths(o.paths, walkOptions);
    const std::vector<Planned> planned = plan(walk, o, *target);
    Progress progress(walk.entries.size());
    InterruptGuard guard;
    std::size_t counts[4] = {};
    std::size_t withLosses = 0;
    const QString ext = target->extensions().value(0);

    const std::size_t done = runInOrder<ConvertResult>(
        walk.entries.size(), int(std::thread::hardware_concurrency()),
        [&](std::size_t i) {
            if (planned[i].settled)
                return *planned[i].settled;
            progress.started(walk.entries[i].path);
            return convertFile(walk.entries[i].path, planned[i].output, *target, o.force);
        },
        [&](std::size_t i, ConvertResult&& r) {
            const PackEntry& e = walk.entries[i];
            progress.wipe();
            ++counts[r.status];
            if (r.status == ConvertResult::Written &&
                !(r.losses.isEmpty() && r.notCarried.isEmpty()))
                ++withLosses;
            if (o.json) {
                QJsonObject j{
                    {QStringLiteral("path"), e.path},
                    {QStringLiteral("format"), formatName(r.format ? r.format : e.format)},
                    {QStringLiteral("status"), QLatin1StringView(statusName(r.status))},
                    {QStringLiteral("output"), r.output.isEmpty() ? QJsonValue() : r.output},
                    {QStringLiteral("losses"), jsonLines(r.losses)},
                    {QStringLiteral("notCarried"), jsonLines(r.notCarried)},
                    {QStringLiteral("warnings"), jsonLines(r.warnings)},
                    {QStringLiteral("reason"), r.error             ? r.error->reason
                                               : !r.note.isEmpty() ? r.note
                                               : r.status == ConvertResult::Exists
                                                   ? QStringLiteral("the file exists")
                                                   : QJsonValue()}};
                if (r.error && r.error->line > 0)
                    j.insert(QStringLiteral("line"), r.error->line);
                putJson(j);
                return;
            }
            switch (r.status) {
            case ConvertResult::Refused:
                put(stderr, r.error->message() + u'\n');
                return;
            case ConvertResult::Exists:
                put(stderr, QStringLiteral("%1: %2 exists; not replaced (--force replaces it)\n")
                                .arg(e.path, r.output));
                return;
            case ConvertResult::Skipped:
                if (o.verbose)
                    put(stdout, QStringLiteral("%1: skipped, %2\n").arg(e.path, r.note));
                return;
            case ConvertResult::Written:
                break;
            }
            QString line = QStringLiteral("%1: written to %2").arg(e.path, r.output);
            if (!r.losses.isEmpty())
                line += QStringLiteral(", ") + plural(r.losses.size(), "loss", "losses");
            line += u'\n';
            if (o.verbose)
                for (const QString& l : r.losses)
                    line += QStringLiteral("  lost: ") + l + u'\n';
            for (const QString& l : r.notCarried)
                line += QStringLiteral("  not in the .%1: ").arg(ext) + l + u'\n';
            for (const QString& w : r.warnings)
                line += QStringLiteral("  warning: ") + w + u'\n';
            put(stdout, line);
        },
        [] { return g_interrupted.load(); },
        [&] {
            progress.setDone(counts[0] + counts[1] + counts[2] + counts[3]);
            progress.draw();
        });
    progress.wipe();

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (done < walk.entries.size())
        put(stderr, QStringLiteral("kolvo-cli: stopped after %1 of %2 files; every file "
                                   "written is complete\n")
                        .arg(done)
                        .arg(walk.entries.size()));
    if (!o.json)
        put(stdout, QStringLiteral("%1: %2 written (%3 with losses), %4 not replaced, %5 "
                                   "refused, %6 skipped, in %7 s\n")
                        .arg(plural(qsizetype(done), "file", "files"))
                        .arg(counts[ConvertResult::Written])
                        .arg(withLosses)
                        .arg(counts[ConvertResult::Exists])
                        .arg(counts[ConvertResult::Refused])
                        .arg(counts[ConvertResult::Skipped])
                        .arg(seconds, 0, 'f', 2));
    if (done < walk.entries.size())
        return kInterrupted;
    return counts[ConvertResult::Refused] + counts[ConvertResult::Exists] > 0 ? kFailed : kOk;
}

} // namespace kolvo::cli
