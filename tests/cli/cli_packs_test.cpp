// kolvo-cli check and convert over song packs: a tree of song folders built
// by the test, the real program run on it.
#include "clirun.h"
#include "core/files/kolvofile.h"
#include "core/formats/fileformat.h"
#include "core/song/songmodel.h"
#include "workedexample.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace kolvo;

using test::cli;
using test::CliRun;
using test::readAll;

namespace {

void writeAll(const QString& path, const QByteArray& data) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// A one-chart .sm song; `firstLine` is the chart's first row.
QByteArray smSong(const char* title, const char* firstLine = "1000") {
    return QByteArray("#TITLE:") + title +
           ";\n#OFFSET:0;\n#BPMS:0=120;\n#NOTES:\n dance-single:\n :\n Easy:\n 1:\n 0,0,0,0,0:\n" +
           firstLine + "\n0100\n0010\n0001\n;\n";
}

QByteArray sscSong(const char* title) {
    return QByteArray("#VERSION:0.83;\n#TITLE:") + title +
           ";\n#OFFSET:0;\n#BPMS:0=120;\n#NOTEDATA:;\n#STEPSTYPE:dance-single;\n"
           "#DIFFICULTY:Easy;\n#METER:1;\n#NOTES:\n1000\n0100\n0010\n0001\n;\n";
}

QByteArray dwiSong(const char* title) {
    return QByteArray("#TITLE:") + title + ";\n#BPM:140;\n#SINGLE:BASIC:3:2468;\n";
}

// The worked example as a work file, changed by `change` first.
QByteArray kolvoSong(const std::function<void(SongModel&)>& change = {}) {
    SongModel m;
    test::fillWorkedExample(m);
    if (change)
        change(m);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.kolvo"));
    if (writeKolvoFile(path, m))
        return {};
    return readAll(path);
}

QStringList lines(const QString& text) {
    return text.split(u'\n', Qt::SkipEmptyParts);
}

// The tree every test starts from:
//   Pack/Empty/empty.ssc            no bytes
//   Pack/Good Song/good.sm          a blank in the folder's name
//   Pack/Lossy/lossy.sm             a freeze that never ends
//   Pack/Odd/alias.sm               a link to good.sm
//   Pack/Odd/away                   a link out of the tree, to Outside
//   Pack/Odd/locked.sm              no permission to read (not when run as root)
//   Pack/Odd/loop                   a link to Pack
//   Pack/Odd/pipe.sm, sock.sm       a named pipe and a socket
//   Pack/Refused/bad.kolvo          an arrow value of 7 on line 48
//   Pack/Three/three.{dwi,sm,ssc}   all three formats, each with its own title
//   Pack/Ünïcode ☆/sông.dwi         names beyond ASCII
//   Pack/cover.png                  not a song file
//   Outside/outside.sm
class Packs : public ::testing::Test {
  protected:
    void SetUp() override {
        writeAll(path("Pack/Empty/empty.ssc"), {});
        writeAll(path("Pack/Good Song/good.sm"), smSong("Good"));
        writeAll(path("Pack/Lossy/lossy.sm"), smSong("Lossy", "2000"));
        QByteArray bad = kolvoSong();
        bad.replace("1,1,1,1,1,1\r\n", "1,1,1,1,1,7\r\n");
        writeAll(path("Pack/Refused/bad.kolvo"), bad);
        writeAll(path("Pack/Three/three.dwi"), dwiSong("From DWI"));
        writeAll(path("Pack/Three/three.sm"), smSong("From SM"));
        writeAll(path("Pack/Three/three.ssc"), sscSong("From SSC"));
        writeAll(path("Pack/Ünïcode ☆/sông.dwi"), dwiSong("Unicode"));
        writeAll(path("Pack/cover.png"), "png");
        writeAll(path("Outside/outside.sm"), smSong("Outside"));

        ASSERT_TRUE(QDir().mkpath(path("Pack/Odd")));
        ASSERT_TRUE(QFile::link(QStringLiteral("../Good Song/good.sm"), path("Pack/Odd/alias.sm")));
        ASSERT_TRUE(QFile::link(QStringLiteral("../../Outside"), path("Pack/Odd/away")));
        ASSERT_TRUE(QFile::link(QStringLiteral(".."), path("Pack/Odd/loop")));
        ASSERT_EQ(::mkfifo(QFile::encodeName(path("Pack/Odd/pipe.sm")).constData(), 0600), 0);
        makeSocket(path("Pack/Odd/sock.sm"));
        // Permissions do not stop root: the unreadable file is made only for
        // other users.
        if (::geteuid() != 0) {
            writeAll(path("Pack/Odd/locked.sm"), smSong("Locked"));
            ASSERT_EQ(::chmod(QFile::encodeName(path("Pack/Odd/locked.sm")).constData(), 0), 0);
        }
    }
    void TearDown() override {
        if (m_socket >= 0)
            ::close(m_socket);
    }

    void makeSocket(const QString& at) {
        m_socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(m_socket, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(at);
        ASSERT_LT(std::size_t(name.size()), sizeof addr.sun_path);
        std::memcpy(addr.sun_path, name.constData(), std::size_t(name.size()));
        ASSERT_EQ(::bind(m_socket, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    }

    QString path(const char* relative) const { return dir.filePath(QString::fromUtf8(relative)); }

    QTemporaryDir dir;
    int m_socket = -1;
};

TEST_F(Packs, CheckWalksTheTreeInOrderAndSumsUp) {
    CliRun r = cli({QStringLiteral("check"), path("Pack")});
    EXPECT_EQ(r.status, 1) << r.err.toStdString();
    QStringList out = lines(r.out);
    ASSERT_FALSE(out.isEmpty());
    const QString summary = out.takeLast();
    EXPECT_EQ(out, QStringList({path("Pack/Good Song/good.sm") + QStringLiteral(": ok"),
                                path("Pack/Lossy/lossy.sm") + QStringLiteral(": ok, 1 loss"),
                                path("Pack/Three/three.dwi") + QStringLiteral(": ok"),
                                path("Pack/Three/three.sm") + QStringLiteral(": ok"),
                                path("Pack/Three/three.ssc") + QStringLiteral(": ok"),
                                path("Pack/Ünïcode ☆/sông.dwi") + QStringLiteral(": ok")}));
    const bool locked = ::geteuid() != 0;
    QStringList err = {path("Pack/Empty/empty.ssc") + QStringLiteral(": not a step file: it "
                                                                     "holds no # tags")};
    if (locked)
        err << path("Pack/Odd/locked.sm") + QStringLiteral(": cannot be opened: Permission denied");
    err << path("Pack/Odd/pipe.sm") +
               QStringLiteral(": is a named pipe, not a regular file; only regular files can be "
                              "opened")
        << path("Pack/Odd/sock.sm") +
               QStringLiteral(": is a socket, not a regular file; only regular files can be opened")
        << path("Pack/Refused/bad.kolvo") + QStringLiteral(":48: arrow value 7 is not 0, 1 or 2");
    EXPECT_EQ(lines(r.err), err);
    const QRegularExpression sum(
        QStringLiteral("^(\\d+) files: 5 ok, 1 with losses, (\\d) refused, "
                       "in \\d+\\.\\d\\d s$"));
    const QRegularExpressionMatch m = sum.match(summary);
    ASSERT_TRUE(m.hasMatch()) << summary.toStdString();
    EXPECT_EQ(m.captured(2).toInt(), locked ? 5 : 4);
    EXPECT_EQ(m.captured(1).toInt(), 6 + m.captured(2).toInt());

    // --verbose lists what was lost.
    r = cli({QStringLiteral("check"), QStringLiteral("--verbose"), path("Pack/Lossy")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.startsWith(path("Pack/Lossy/lossy.sm") +
                                 QStringLiteral(": ok, 1 loss\n  Single Basic, bar 1 beat 1: a "
                                                "freeze with no end dropped\n")))
        << r.out.toStdString();
}

TEST_F(Packs, ExitStatuses) {
    const struct Case {
        QStringList args;
        int status;
        const char* err; // in standard error
    } cases[] = {
        {{QStringLiteral("check"), path("Pack/Good Song"), path("Pack/Three")}, 0, ""},
        {{QStringLiteral("check"), path("Pack/Three/three.ssc")}, 0, ""},
        {{QStringLiteral("check"), path("Pack/Refused")}, 1, ":48: "},
        {{QStringLiteral("check"), path("Pack/nothing.sm")}, 1, "does not exist"},
        {{QStringLiteral("check")}, 2, "needs at least one"},
        {{QStringLiteral("check"), QStringLiteral("--fast"), path("Pack")}, 2, "unknown option"},
        {{QStringLiteral("convert"), path("Pack")}, 2, "needs --to"},
        {{QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("mp3"), path("Pack")},
         2,
         "cannot convert to 'mp3'"},
        {{QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("ssc")},
         2,
         "needs at least one"},
        {{QStringLiteral("convert"), QStringLiteral("--to=ssc"), path("Pack/Good Song")}, 0, ""},
        {{QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("ssc"),
          path("Pack/Refused")},
         1,
         ":48: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.err))) << r.err.toStdString();
    }
}

TEST_F(Packs, JsonGivesOneObjectPerFile) {
    CliRun r = cli({QStringLiteral("check"), QStringLiteral("--json"), path("Pack/Lossy"),
                    path("Pack/Refused"), path("Pack/Odd/pipe.sm")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, QString());
    const QStringList out = lines(r.out);
    ASSERT_EQ(out.size(), 3) << r.out.toStdString();
    const struct {
        const char* path;
        const char* format;
        const char* status;
        int losses;
        const char* reason; // nullptr: none
    } expected[] = {
        {"Pack/Lossy/lossy.sm", "sm", "losses", 1, nullptr},
        {"Pack/Refused/bad.kolvo", "kolvo", "refused", 0, "arrow value 7 is not 0, 1 or 2"},
        {"Pack/Odd/pipe.sm", "sm", "refused", 0,
         "is a named pipe, not a regular file; only regular files can be opened"},
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(out[i].toStdString());
        const QJsonObject o = QJsonDocument::fromJson(out[i].toUtf8()).object();
        EXPECT_EQ(o[u"path"].toString(), path(expected[i].path));
        EXPECT_EQ(o[u"format"].toString(), QString::fromUtf8(expected[i].format));
        EXPECT_EQ(o[u"status"].toString(), QString::fromUtf8(expected[i].status));
        EXPECT_EQ(o[u"losses"].toArray().size(), expected[i].losses);
        if (expected[i].reason)
            EXPECT_EQ(o[u"reason"].toString(), QString::fromUtf8(expected[i].reason));
        else
            EXPECT_TRUE(o[u"reason"].isNull());
    }
    EXPECT_EQ(QJsonDocument::fromJson(out[1].toUtf8()).object()[u"line"].toInt(), 48);

    // convert adds where the song went and what the format could not carry.
    writeAll(path("In/level.kolvo"), kolvoSong([](SongModel& m) {
                 m.setFootlevels(Single, Basic, Value::text(QStringLiteral("Hard")));
             }));
    r = cli({QStringLiteral("convert"), QStringLiteral("--json"), QStringLiteral("--to"),
             QStringLiteral("ssc"), path("In/level.kolvo")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    ASSERT_EQ(lines(r.out).size(), 1) << r.out.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(o[u"status"].toString(), QStringLiteral("written"));
    EXPECT_EQ(o[u"format"].toString(), QStringLiteral("kolvo"));
    EXPECT_EQ(o[u"output"].toString(), path("In/level.ssc"));
    EXPECT_EQ(o[u"notCarried"].toArray().size(), 1);
}

// Into OUTDIR, mirroring the tree: the .ssc of a folder with all three
// formats is the one read, broken files are reported and the rest goes on.
TEST_F(Packs, ConvertReadsThePreferredFormatAndMirrorsTheTree) {
    CliRun r = cli({QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("sm"),
                    path("Pack"), QStringLiteral("-o"), path("Out")});
    EXPECT_EQ(r.status, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(path("Pack/Refused/bad.kolvo") + QStringLiteral(":48: ")))
        << r.err.toStdString();
    QStringList written;
    QDirIterator it(path("Out"), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        written << QDir(path("Out")).relativeFilePath(it.next());
    written.sort();
    EXPECT_EQ(written, QStringList({QStringLiteral("Pack/Good Song/good.sm"),
                                    QStringLiteral("Pack/Lossy/lossy.sm"),
                                    QStringLiteral("Pack/Three/three.sm"),
                                    QStringLiteral("Pack/Ünïcode ☆/sông.sm")}));
    EXPECT_TRUE(readAll(path("Out/Pack/Three/three.sm")).contains("#TITLE:From SSC;"));
    EXPECT_TRUE(r.out.contains(path("Pack/Lossy/lossy.sm") + QStringLiteral(": written to ") +
                               path("Out/Pack/Lossy/lossy.sm") + QStringLiteral(", 1 loss\n")))
        << r.out.toStdString();
    for (const QString& f : written)
        EXPECT_TRUE(readSongFile(path("Out/") + f).ok()) << f.toStdString();

    // Beside the sources: the folder's .ssc is already what is asked for.
    r = cli({QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("ssc"),
             QStringLiteral("--verbose"), path("Pack/Three"), path("Pack/Good Song")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(readAll(path("Pack/Three/three.ssc")), sscSong("From SSC"));
    EXPECT_TRUE(r.out.contains(path("Pack/Three/three.dwi") +
                               QStringLiteral(": skipped, the folder's .ssc file is read instead")))
        << r.out.toStdString();
    EXPECT_TRUE(readSongFile(path("Pack/Good Song/good.ssc")).ok());
}

TEST_F(Packs, ConvertReplacesOnlyWithForce) {
    writeAll(path("Pack/Good Song/good.dwi"), "old");
    const QStringList args = {QStringLiteral("convert"), QStringLiteral("--to"),
                              QStringLiteral("dwi"), path("Pack/Good Song/good.sm")};
    CliRun r = cli(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("exists; not replaced"))) << r.err.toStdString();
    EXPECT_EQ(readAll(path("Pack/Good Song/good.dwi")), QByteArray("old"));

    r = cli(args + QStringList{QStringLiteral("--force")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(readAll(path("Pack/Good Song/good.dwi")).startsWith("#TITLE:Good;"));

    // Two songs of one run that would write the same file: the first only.
    r = cli({QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("ssc"),
             path("Pack/Three/three.sm"), path("Pack/Three/three.dwi"), QStringLiteral("-o"),
             path("Same")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(path("Pack/Three/three.dwi") +
                               QStringLiteral(": another song of this run is written to")))
        << r.err.toStdString();
    EXPECT_TRUE(readAll(path("Same/three.ssc")).contains("#TITLE:From SM;"));
}

// What a song loses on the way and what the target cannot carry are named
// with the file; a file that cannot be written is reported and the rest goes on.
TEST_F(Packs, ConvertReportsLossesAndRefusals) {
    writeAll(path("In/level.kolvo"), kolvoSong([](SongModel& m) {
                 m.setFootlevels(Single, Basic, Value::text(QStringLiteral("Hard")));
             }));
    const struct Case {
        const char* in;
        const char* to;
        const char* outDir; // nullptr: beside the song
        int status;
        const char* out;     // in standard output
        const char* err;     // in standard error
        const char* written; // nullptr: nothing
    } cases[] = {
        {"In/level.kolvo", "ssc", nullptr, 0,
         "  not in the .ssc: Single Basic: the foot level \"Hard\"", "", "In/level.ssc"},
        {"Pack/Lossy/lossy.sm", "ssc", nullptr, 0, ", 1 loss\n  lost: Single Basic, bar 1 beat 1",
         "", "Pack/Lossy/lossy.ssc"},
        // A file where the output folder should be.
        {"Pack/Three/three.dwi", "kolvo", "Pack/cover.png", 1, "",
         "Pack/cover.png/three.kolvo: cannot be written", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        QStringList args = {QStringLiteral("convert"), QStringLiteral("--verbose"),
                            QStringLiteral("--to"), QString::fromLatin1(c.to), path(c.in)};
        if (c.outDir)
            args << QStringLiteral("-o") << path(c.outDir);
        const CliRun r = cli(args);
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(c.out))) << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.err))) << r.err.toStdString();
        if (c.written) {
            EXPECT_TRUE(readSongFile(path(c.written)).ok());
        }
    }
    EXPECT_EQ(readAll(path("Pack/cover.png")), QByteArray("png"));
}

// On a terminal a progress line (files done of the total, the file under
// way) is drawn on standard error and wiped before each other line; in a
// pipe there is none (the exact outputs above).
TEST_F(Packs, ProgressLineOnlyOnATerminal) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    QProcess p;
    p.setStandardErrorFile(QString::fromLocal8Bit(::ptsname(master)));
    p.start(QStringLiteral(KOLVO_BINARY_DIR "/src/cli/kolvo-cli"),
            {QStringLiteral("check"), path("Pack/Three"), path("Pack/Good Song")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    QByteArray terminal;
    pollfd pfd{master, POLLIN, 0};
    char buffer[4096];
    while (::poll(&pfd, 1, 200) > 0) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        terminal.append(buffer, n);
    }
    ::close(master);
    EXPECT_TRUE(terminal.contains("\r\033[K[4/4] ")) << terminal.toStdString();
    EXPECT_TRUE(terminal.endsWith("\r\033[K")) << terminal.toStdString();
    EXPECT_EQ(p.readAllStandardOutput().count("ok\n"), 4);
}

// Ctrl+C in the middle of a large pack: the run stops soon, says so, and
// every file in the output folder is a complete song.
TEST_F(Packs, InterruptedConvertLeavesOnlyCompleteFiles) {
    QByteArray song = smSong("Many");
    for (int s = 0; s < 600; ++s)
        writeAll(path("Big/") + QString::number(s) + QStringLiteral("/song.sm"), song);
    QProcess p;
    p.start(QStringLiteral(KOLVO_BINARY_DIR "/src/cli/kolvo-cli"),
            {QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("ssc"), path("Big"),
             QStringLiteral("-o"), path("BigOut")});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray out;
    while (!out.contains("written to") && p.state() == QProcess::Running) {
        p.waitForReadyRead(5000);
        out += p.readAllStandardOutput();
    }
    ASSERT_EQ(::kill(pid_t(p.processId()), SIGINT), 0);
    ASSERT_TRUE(p.waitForFinished(30000));
    out += p.readAllStandardOutput();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 130);
    EXPECT_TRUE(p.readAllStandardError().contains("stopped after"));

    int files = 0;
    QDirIterator it(path("BigOut"), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        ++files;
        EXPECT_TRUE(f.endsWith(QStringLiteral("/song.ssc"))) << f.toStdString();
        EXPECT_TRUE(readSongFile(f).ok()) << f.toStdString();
    }
    EXPECT_GT(files, 0);
    EXPECT_LT(files, 600);
    // Every file written was reported, and only those.
    EXPECT_EQ(QString::fromUtf8(out).count(QStringLiteral("written to")), files);
}

} // namespace
