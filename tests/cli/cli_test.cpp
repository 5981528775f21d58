#include "clirun.h"
#include "core/files/kolvofile.h"
#include "core/song/songmodel.h"
#include "evalmusic.h"
#include "testmusic.h"
#include "workedexample.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kolvo;

using test::cli;
using test::CliRun;
using test::readAll;

namespace {

void writeAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        song = dir.filePath(QStringLiteral("demo.kolvo"));
        // The worked example with a freeze and a freeze arrow.
        SongModel m;
        test::fillWorkedExample(m);
        m.setTempo(Single, Basic, 2, 1, FREEZECHANNEL, 500);
        m.setStep(Single, Basic, 1, 9, PanelLeft, 2);
        ASSERT_FALSE(writeKolvoFile(song, m));
        bad = dir.filePath(QStringLiteral("bad.kolvo"));
        QByteArray text = readAll(song);
        text.replace("1,1,1,1,1,1\r\n", "1,1,1,1,1,7\r\n");
        writeAll(bad, text);
    }
    QString path(const char* name) { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    QString song, bad;
};

} // namespace

TEST_F(Cli, ExportWritesTheDwiFile) {
    CliRun r = cli({QStringLiteral("export"), song, path("out.dwi")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(
        readAll(path("out.dwi")),
        QByteArray("#TITLE:Demo;\r\n#ARTIST:Someone;\r\n#GAP:250;\r\n#BPM:140;\r\n#STATUS:NEW\r\n"
                   "#CHANGEBPM:64=70;\r\n#FREEZE:16=500;\r\n#SINGLE:BASIC:3:40B!400000") +
            QByteArray(40, '0') + ";\r\n");
}

// Text that ends or splits a DWI tag: a warning on standard error naming the
// field and the character, and the file written as typed all the same.
TEST_F(Cli, ExportWarnsAboutTextThatSplitsATagAndStillWrites) {
    struct Case {
        SummaryField field;
        const char* text;
        const char* warning; // nullptr: no warning
    } cases[] = {
        {SummaryField::SongName, "Demo: Remix", "\"Name of song\" holds \":\""},
        {SummaryField::Artist, "A;B", "\"Name of artist\" holds \";\""},
        {SummaryField::Genre, "x//y", "\"Genre\" holds \"//\""},
        {SummaryField::Artist, "Back\\slash", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SongModel m;
        ASSERT_FALSE(readKolvoFile(song, m));
        m.setField(c.field, QString::fromUtf8(c.text));
        const QString in = path("typed.kolvo");
        ASSERT_FALSE(writeKolvoFile(in, m));
        QFile::remove(path("typed.dwi"));
        CliRun r = cli({QStringLiteral("export"), in, path("typed.dwi")});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(readAll(path("typed.dwi")).contains(QByteArray(c.text)));
        if (c.warning) {
            EXPECT_TRUE(r.err.startsWith("kolvo-cli: warning: ")) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.warning))) << r.err.toStdString();
        } else {
            EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        }
    }
}

TEST_F(Cli, ResaveIsByteForByte) {
    CliRun r = cli({QStringLiteral("resave"), song, path("again.kolvo")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(readAll(path("again.kolvo")), readAll(song));
}

TEST_F(Cli, CheckReportsEachFile) {
    CliRun r = cli({QStringLiteral("check"), song, bad});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, song + QStringLiteral(": ok\n"));
    EXPECT_EQ(r.err, bad + QStringLiteral(":48: arrow value 7 is not 0, 1 or 2\n"));
    EXPECT_EQ(cli({QStringLiteral("check"), song}).status, 0);
}

TEST_F(Cli, InfoListsHeaderTempoEventsAndCharts) {
    CliRun r = cli({QStringLiteral("info"), song});
    EXPECT_EQ(r.status, 0);
    for (const char* expected :
         {"songname: Demo\n", "bpm: 140\n", "check1: 1 (Always)\n",
          "bpm change: bar 5 beat 1 = 70\n", "freeze: bar 2 beat 1 = 500 ms\n",
          "Single Basic: foot level \"3\", 3 arrows, 1 freeze arrows, last bar 5\n",
          "  3 steps (2 taps), 1 jumps, 0 hands, 1 freezes, 0 rolls, 0 mines, 0 lifts, 0 fakes; "
          "peak 1.75 steps/s at bar 1; stream: No streams.\n"})
        EXPECT_TRUE(r.out.contains(QString::fromLatin1(expected))) << expected << "\n"
                                                                   << r.out.toStdString();
}

TEST_F(Cli, UnreadableInputTouchesNoOutput) {
    writeAll(path("old.dwi"), "old");
    struct Case {
        QStringList args;
        const char* output;
    } cases[] = {
        {{QStringLiteral("export"), bad, path("old.dwi")}, "old.dwi"},
        {{QStringLiteral("export"), path("missing.kolvo"), path("new.dwi")}, "new.dwi"},
        {{QStringLiteral("resave"), bad, path("new.kolvo")}, "new.kolvo"},
    };
    for (const Case& c : cases) {
        CliRun r = cli(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith(c.args[1] + u':')) << r.err.toStdString();
    }
    EXPECT_EQ(readAll(path("old.dwi")), QByteArray("old"));
    EXPECT_FALSE(QFile::exists(path("new.dwi")));
    EXPECT_FALSE(QFile::exists(path("new.kolvo")));

    CliRun r = cli({QStringLiteral("export"), song, path("no/folder/x.dwi")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith(path("no/folder/x.dwi") + QStringLiteral(": cannot be written")))
        << r.err.toStdString();
}

// A named pipe given as a song is refused at once, never waited on; a
// folder, even one named like a song, is walked for the songs in it.
TEST_F(Cli, CheckRefusesWhatIsNotAFile) {
    const QString fifo = path("pipe.kolvo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.kolvo")));
    for (const QString& p : {fifo}) {
        CliRun r = cli({QStringLiteral("check"), p});
        EXPECT_EQ(r.status, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith(p + QStringLiteral(": is a "))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("not a regular file"))) << r.err.toStdString();
    }
    CliRun walked = cli({QStringLiteral("check"), path("folder.kolvo")});
    EXPECT_EQ(walked.status, 0) << walked.err.toStdString();
    EXPECT_TRUE(walked.out.startsWith(QStringLiteral("0 files: "))) << walked.out.toStdString();
    CliRun r = cli({QStringLiteral("export"), fifo, path("out.dwi")});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(QFile::exists(path("out.dwi")));
}

TEST_F(Cli, AnalyzePrintsTheBpmAndTheGap) {
    struct Case {
        double bpm, gapMs;
        test::Encoding encoding;
        const char* out;
        const char* firstCandidate;
        const char* map;
    } cases[] = {
        {150, 1234, test::Encoding::Wav, "bpm: 150\ngap: 1234\n", "candidate: 150 1234 ",
         "map-gap: 1234\ntempo: 0 150\n"},
        {191.33, 80, test::Encoding::Mp3, "bpm: 191.33\ngap: 80\n", "candidate: 191.33 80 ",
         "map-gap: 80\ntempo: 0 191.33\n"},
    };
    for (const Case& c : cases) {
        test::MusicRecipe recipe;
        recipe.bpm = c.bpm;
        recipe.gapMs = c.gapMs;
        recipe.seconds = 12;
        const QString music = path("music.") + test::extension(c.encoding);
        ASSERT_TRUE(test::writeMusic(music, recipe, c.encoding));
        // The two lines scripts read stay as they are; other tempos the
        // music could be charted in go to standard error.
        CliRun r = cli({QStringLiteral("analyze"), music});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, c.out);
        const QRegularExpression other(QRegularExpression::escape(music) +
                                       QStringLiteral(": also possible: [0-9.]+ [0-9]+ [0-9]+%"));
        for (const QString& line : r.err.split(u'\n', Qt::SkipEmptyParts))
            EXPECT_TRUE(other.match(line).hasMatch()) << line.toStdString();

        // With --candidates every tempo follows the two lines, the chosen first.
        CliRun all = cli({QStringLiteral("analyze"), QStringLiteral("--candidates"), music});
        EXPECT_EQ(all.status, 0);
        EXPECT_TRUE(all.err.isEmpty()) << all.err.toStdString();
        const QStringList lines = all.out.split(u'\n', Qt::SkipEmptyParts);
        ASSERT_GE(lines.size(), 3);
        EXPECT_EQ(lines.mid(0, 2).join(u'\n') + u'\n', c.out);
        EXPECT_TRUE(lines[2].startsWith(c.firstCandidate)) << lines[2].toStdString();
        EXPECT_EQ(lines.size() - 3, r.err.count(u'\n'));

        // Steady music's tempo map is its one tempo from its first beat.
        CliRun map = cli({QStringLiteral("analyze"), QStringLiteral("--map"), music});
        EXPECT_EQ(map.status, 0);
        EXPECT_EQ(map.out, QString::fromLatin1(c.out) + QString::fromLatin1(c.map));
    }

    const QString silence = path("silence.wav");
    ASSERT_TRUE(test::writeWav(silence, std::vector<float>(44100 * 4, 0.0f), 44100));
    struct Bad {
        QString file;
        const char* reason;
    } refused[] = {
        {song, ": not audio that can be decoded\n"},
        {silence, ": no steady beat found\n"},
        {path("missing.mp3"), ": no such file\n"},
    };
    for (const Bad& b : refused) {
        CliRun r = cli({QStringLiteral("analyze"), b.file});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_EQ(r.err, b.file + QString::fromLatin1(b.reason));
    }
}

TEST_F(Cli, AnalyzeMapListsTheTempoChangesAndStops) {
    test::EvalCase made;
    made.bpm = 120;
    made.gapMs = 700;
    made.tempoChanges = {{32, 150, 0}, {64, 0, 0.25}};
    made.seconds = 40;
    const QString music = path("changes.wav");
    ASSERT_TRUE(test::writeCase(music, made));
    CliRun r = cli({QStringLiteral("analyze"), QStringLiteral("--map"), music});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.mid(2).join(u'\n'), QStringLiteral("map-gap: 700\ntempo: 0 120\ntempo: 32 "
                                                       "150\nstop: 64 250"));
    // Without --map, standard error says the tempo changes and how to see it.
    CliRun plain = cli({QStringLiteral("analyze"), music});
    EXPECT_TRUE(plain.err.contains(QStringLiteral("the tempo changes"))) << plain.err.toStdString();
    EXPECT_TRUE(plain.err.contains(QStringLiteral("--map"))) << plain.err.toStdString();
}

TEST(CliUsage, HelpVersionAndUsageErrors) {
    CliRun help = cli({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("export SONG.kolvo OUT.dwi")));
    CliRun version = cli({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QStringLiteral("kolvo-cli 1.0.1\n"));
    for (const QStringList& args :
         {QStringList{}, QStringList{QStringLiteral("frobnicate")},
          QStringList{QStringLiteral("export"), QStringLiteral("a")},
          QStringList{QStringLiteral("check")},
          QStringList{QStringLiteral("info"), QStringLiteral("a"), QStringLiteral("b")},
          QStringList{QStringLiteral("resave"), QStringLiteral("a"), QStringLiteral("b"),
                      QStringLiteral("c")},
          QStringList{QStringLiteral("info"), QStringLiteral("--bogus")},
          QStringList{QStringLiteral("import"), QStringLiteral("a.sm")},
          QStringList{QStringLiteral("import"), QStringLiteral("a.sm"), QStringLiteral("b"),
                      QStringLiteral("--lenient")},
          QStringList{QStringLiteral("export"), QStringLiteral("a"), QStringLiteral("b"),
                      QStringLiteral("--strict")},
          QStringList{QStringLiteral("analyze")},
          QStringList{QStringLiteral("analyze"), QStringLiteral("a"), QStringLiteral("b")}}) {
        CliRun r = cli(args);
        EXPECT_EQ(r.status, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_FALSE(r.err.isEmpty());
    }
}

// kolvo-cli import: the work file, the losses on standard error, --strict,
// and inputs or outputs that fail with nothing written.
TEST(CliImport, StatusesLossesAndNothingWrittenOnFailure) {
    QTemporaryDir dir;
    auto file = [&](const char* name, const QByteArray& text) {
        const QString p = dir.filePath(QString::fromLatin1(name));
        writeAll(p, text);
        return p;
    };
    const QString clean =
        file("clean.sm", "#TITLE:Clean;#BPMS:0=140;#NOTES:dance-single::Hard:4::1000;");
    const QString lossy =
        file("lossy.dwi", "#TITLE:Lossy;#BPM:120;#SINGLE:BASIC:1:[04:4;#CHANGEBPM:-4=90;");
    const QString cut = file("cut.ssc", "#VERSION:0.83;\n#NOTEDATA:;\n#NOTES:1000");
    const QString out = dir.filePath("out.kolvo");
    const QString lossLines =
        "a BPM change before the first beat dropped\n"
        "Single Basic, bar 1 beat 1: an arrow on a panel a Single chart does not have "
        "dropped\n";
    const struct {
        QStringList args;
        int status;
        bool written;
        QString err;
    } cases[] = {
        {{"import", clean, out}, 0, true, ""},
        {{"import", lossy, out}, 0, true, lossLines},
        {{"import", "--strict", lossy, out},
         1,
         false,
         lossLines + "kolvo-cli: " + lossy +
             ": 2 things the song cannot hold; nothing written (--strict)\n"},
        {{"import", clean, out, "--strict"}, 0, true, ""},
        {{"import", cut, out},
         1,
         false,
         cut + ":3: the file ends inside the #NOTES tag, before its \";\": it looks cut short\n"},
        {{"import", dir.filePath("none.dwi"), out},
         1,
         false,
         dir.filePath("none.dwi") + ": the file does not exist\n"},
        {{"import", clean, dir.filePath("no/such/folder.kolvo")}, 1, false, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        QFile::remove(out);
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(QFile::exists(out), c.written);
        EXPECT_TRUE(r.out.isEmpty());
        if (!c.err.isNull())
            EXPECT_EQ(r.err, c.err);
        else
            EXPECT_FALSE(r.err.isEmpty());
    }
    // What was written is the song: read back, it names the imported title.
    ASSERT_EQ(cli({"import", clean, out}).status, 0);
    SongModel m;
    m.resetparameters();
    ASSERT_FALSE(readKolvoFile(out, m));
    EXPECT_EQ(m.songname(), "Clean");
    EXPECT_EQ(m.step(Single, Maniac, 1, 1, PanelLeft), StepArrow);
}
