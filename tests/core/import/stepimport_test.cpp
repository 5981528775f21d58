// Importing DWI, SM and SSC files: the fixtures (every mapping and every
// loss, with the song expected as its DWI export), the reading rules case by
// case, files that are refused, and the round trip through the DWI export.
#include "core/dwi/dwiwriter.h"
#include "core/files/kolvofile.h"
#include "core/import/stepimport.h"
#include "core/song/songmodel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

#include <sys/stat.h>

using namespace kolvo;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

QByteArray readData(const QString& name) {
    QFile f(QStringLiteral(KOLVO_TEST_DATA_DIR "/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString dataPath(const QString& name) {
    return QStringLiteral(KOLVO_TEST_DATA_DIR "/") + name;
}

// Every arrow cell that is set, "style.level bar.row panel=value", and every
// tempo event, "bpm bar.beat=value" / "stop bar.beat=value".
QStringList cells(const SongModel& m) {
    QStringList out;
    for (int s = 1; s <= kStyles; ++s)
        for (int l = 1; l <= kLevels; ++l)
            for (int b = 1; b <= kBars; ++b)
                for (int r = 1; r <= kRows; ++r)
                    for (int p = 1; p <= kArrowPanels; ++p)
                        if (int v = m.step(s, l, b, r, p))
                            out << QStringLiteral("%1.%2 %3.%4 %5=%6")
                                       .arg(s)
                                       .arg(l)
                                       .arg(b)
                                       .arg(r)
                                       .arg(p)
                                       .arg(v);
    for (int b = 1; b <= kBars; ++b)
        for (int beat = 1; beat <= 4; ++beat)
            for (int ch : {BPMCHANNEL, FREEZECHANNEL})
                if (m.cellSet(Single, Basic, b, beat, ch))
                    out << QStringLiteral("%1 %2.%3=%4")
                               .arg(ch == BPMCHANNEL ? "bpm" : "stop")
                               .arg(b)
                               .arg(beat)
                               .arg(m.tempo(Single, Basic, b, beat, ch));
    return out;
}

ImportResult importText(const QByteArray& text, const QString& name) {
    return importStepFile(text, QStringLiteral("/songs/") + name);
}

// ---------------------------------------------------------------- fixtures

TEST(StepImportFixtures, TheSameSongInEachFormatMapsWithoutLoss) {
    const QByteArray expected = readData("mapping.expected.dwi");
    ASSERT_FALSE(expected.isEmpty());
    for (const char* name : {"mapping.dwi", "mapping.sm", "mapping.ssc"}) {
        SCOPED_TRACE(name);
        const ImportResult r = importStepFileAt(dataPath(QString::fromLatin1(name)));
        ASSERT_TRUE(r.ok()) << r.error->message().toStdString();
        EXPECT_EQ(importLossLines(r.losses), QStringList());
        EXPECT_EQ(dwiFileText(*r.song, DwiMode::Export), expected);
        EXPECT_EQ(r.song->filetag(), "music/song.ogg");
        EXPECT_EQ(r.song->musicadd(), QDir::cleanPath(KOLVO_TEST_DATA_DIR "/music/song.ogg"));
        EXPECT_EQ(r.song->Check1(), 2);
        for (int s = 1; s <= kStyles; ++s)
            EXPECT_TRUE(r.song->hasData(s, s)) << s;
        EXPECT_EQ(r.song->footlevels(Couple, Maniac), Value::text("7"));
    }
}

TEST(StepImportFixtures, EachLossIsListedWithItsPlace) {
    for (const char* name : {"losses.dwi", "losses.sm", "losses.ssc"}) {
        SCOPED_TRACE(name);
        const QString n = QString::fromLatin1(name);
        const ImportResult r = importStepFileAt(dataPath(n));
        ASSERT_TRUE(r.ok()) << r.error->message().toStdString();
        const QStringList expectedLosses =
            QString::fromUtf8(readData(n + ".losses")).split(u'\n', Qt::SkipEmptyParts);
        EXPECT_EQ(importLossLines(r.losses), expectedLosses);
        EXPECT_EQ(dwiFileText(*r.song, DwiMode::Export), readData(n + ".expected.dwi"));
    }
}

// ---------------------------------------------------------------- rules, case by case

struct Case {
    const char* name;
    const char* file; // its extension picks nothing when the content is clear
    QByteArray text;
    QStringList cells; // the song's set cells and tempo events, as cells() writes them
    QStringList losses;
};

QByteArray dwi(const QByteArray& charts, const QByteArray& header = "#BPM:120;") {
    return "#TITLE:T;" + header + charts;
}

QByteArray sm(const QByteArray& notes, const QByteArray& header = "#BPMS:0=120;",
              const QByteArray& type = "dance-single", const QByteArray& difficulty = "Easy") {
    return "#TITLE:T;" + header + "#NOTES:" + type + "::" + difficulty + ":1::" + notes + ";";
}

const QList<Case>& ruleCases() {
    static const QList<Case> cases = {
        {"dwi freeze pairs with the next arrow of its panel",
         "a.dwi",
         dwi("#SINGLE:BASIC:1:4!4046!6;"),
         {"1.1 1.1 1=2", "1.1 1.9 1=1", "1.1 1.13 6=2"},
         {}},
        {"dwi freeze ended by another freeze start keeps both marks",
         "a.dwi",
         dwi("#SINGLE:BASIC:1:4!44!44;"),
         {"1.1 1.1 1=2", "1.1 1.5 1=2", "1.1 1.9 1=1"},
         {}},
        {"dwi group with several freeze starts reads them all",
         "a.dwi",
         dwi("#SINGLE:BASIC:1:<4268!4!6>0004000;"),
         {"1.1 1.1 1=2", "1.1 1.1 3=1", "1.1 1.1 4=1", "1.1 1.1 6=2", "1.1 1.17 1=1"},
         {}},
        {"dwi pair with one freeze start",
         "a.dwi",
         dwi("#SINGLE:BASIC:1:B!6;"),
         {"1.1 1.1 1=1", "1.1 1.1 6=2"},
         {}},
        {"dwi < followed by 0 opens 192nds",
         "a.dwi",
         dwi("#SINGLE:BASIC:1:<00000(4;"),
         {"1.1 1.2 1=1"},
         {"Single Basic, bar 1 beat 1: a 192nd note moved to the nearest 32nd row"}},
        {"dwi blanks and stray marks inside steps",
         "a.dwi",
         dwi("#SINGLE:BASIC:1:!4 0\n0\t8;"),
         {"1.1 1.1 1=1", "1.1 1.13 4=1"},
         {}},
        {"dwi double and couple have two pads",
         "a.dwi",
         dwi("#DOUBLE:BASIC:1:8:2;#COUPLE:BASIC:1:0:09;"),
         {"2.1 1.1 4=1", "2.1 1.1 8=1", "3.1 1.5 9=1", "3.1 1.5 10=1"},
         {}},
        {"dwi second pad of a single chart has no panels",
         "a.dwi",
         dwi("#SINGLE:BASIC:1:4:4;"),
         {"1.1 1.1 1=1"},
         {"Single Basic, bar 1 beat 1: an arrow on a panel a Single chart does not have dropped"}},
        {"dwi difficulty names and meters",
         "a.dwi",
         dwi("#SINGLE:light:x:4;#SINGLE:Trick::4;#SINGLE:HEAVY:7.9:4;#SINGLE:oni:0:4;"),
         {"1.1 1.1 1=1", "1.2 1.1 1=1", "1.3 1.1 1=1", "1.4 1.1 1=1"},
         {}},
        {"dwi status and a BPM change at beat 0 kept as written",
         "a.dwi",
         dwi("#SINGLE:BASIC:1:4;", "#BPM:120;#STATUS:NORMAL\n#CHANGEBPM:0=150;"),
         {"1.1 1.1 1=1", "bpm 1.1=150"},
         {}},
        {"dwi without a BPM plays at 60",
         "a.dwi",
         "#TITLE:T;#SINGLE:BASIC:1:4;",
         {"1.1 1.1 1=1"},
         {"the file sets no BPM; 60 is used"}},
        {"notes past bar 100 dropped, bar by bar",
         "a.dwi",
         dwi("#SINGLE:BASIC:1:" + QByteArray("00000000").repeated(99) +
             "4!400000004000000040000000;"),
         {"1.1 100.1 1=1"},
         {"Single Basic, bar 100 beat 1: a freeze ending past bar 100 became an arrow",
          "Single Basic, bar 101: notes past bar 100 dropped (bars 101 to 102)"}},
        {"ties move to the earlier 32nd row",
         "a.sm",
         sm("1000\n" + QByteArray("0000\n").repeated(62) + "0001"),
         {"1.1 1.1 1=1", "1.1 1.32 6=1"},
         {"Single Basic, bar 1 beat 4: a 64th note moved to the nearest 32nd row"}},
        {"sm freeze start landing on the end of the freeze before it",
         "a.sm",
         sm("2000\n3000\n2000\n0000\n3000\n" + QByteArray("0000\n").repeated(43)),
         {"1.1 1.1 1=2", "1.1 1.2 1=1", "1.1 1.4 1=1"},
         {"Single Basic, bar 1 beat 1: a 48th freeze end moved to the nearest 32nd row",
          "Single Basic, bar 1 beat 1: a 24th note moved to the nearest 32nd row",
          "Single Basic, bar 1 beat 1: a 12th freeze end moved to the nearest 32nd row",
          "Single Basic, bar 1 beat 1: a freeze start landed on the end of the freeze before it; "
          "the freeze became an arrow"}},
        {"sm unmatched starts and ends are ignored",
         "a.sm",
         sm("2003\n0000\n1000\n3000"),
         {"1.1 1.17 1=1"},
         {}},
        {"sm blank lines, keysound-only notes and short lines",
         "a.sm",
         sm("\n 1\r\n\n2K00\n3\n\n\n0001"),
         {"1.1 1.1 1=1", "1.1 1.9 1=2", "1.1 1.17 1=1", "1.1 1.25 6=1"},
         {"Single Basic, bar 1 beat 2: a keysound-only note dropped"}},
        {"sm empty measures count only when written",
         "a.sm",
         sm("1000,,0100,\n,0010"),
         {"1.1 1.1 1=1", "1.1 2.1 3=1", "1.1 4.1 4=1"},
         {}},
        {"sm challenge from an old hard chart and the solo panels",
         "a.sm",
         "#TITLE:T;#BPMS:0=120;#NOTES:dance-solo:challenge:Hard:1::011110;",
         {"4.4 1.1 2=1", "4.4 1.1 3=1", "4.4 1.1 4=1", "4.4 1.1 5=1"},
         {}},
        // The exports play the second freeze start of a row of three or
        // more arrows as a plain arrow: the arrow between two holds is
        // marked too, on each pad on its own.
        {"sm holds in a row of three arrows",
         "a.sm",
         sm("2120\n3030"),
         {"1.1 1.1 1=2", "1.1 1.1 3=2", "1.1 1.1 4=2", "1.1 1.17 1=1", "1.1 1.17 4=1"},
         {}},
        {"sm holds in rows of two and three arrows on the two pads",
         "a.sm",
         sm("22002120\n33003030", "#BPMS:0=120;", "dance-double"),
         {"2.1 1.1 1=2", "2.1 1.1 3=2", "2.1 1.1 7=2", "2.1 1.1 8=2", "2.1 1.1 9=2", "2.1 1.17 1=1",
          "2.1 1.17 3=1", "2.1 1.17 7=1", "2.1 1.17 9=1"},
         {}},
        {"sm holds side by side in a row of three arrows",
         "a.sm",
         sm("2221\n3330"),
         {"1.1 1.1 1=2", "1.1 1.1 3=2", "1.1 1.1 4=2", "1.1 1.1 6=1", "1.1 1.17 1=1",
          "1.1 1.17 3=1", "1.1 1.17 4=1"},
         {"Single Basic, bar 1 beat 1: a hold right after another hold in a row of three or "
          "more arrows became an arrow"}},
        {"sm sets no BPM at beat 0",
         "a.sm",
         sm("1000", "#BPMS:8=140,12=150;"),
         {"1.1 1.1 1=1", "bpm 4.1=150"},
         {"the file sets no BPM at beat 0; the first one (140) is used from the start"}},
        {"ssc chart timing equal to the song's is no loss",
         "a.ssc",
         "#VERSION:0.83;#BPMS:0=120;#NOTEDATA:;#STEPSTYPE:dance-single;#DIFFICULTY:easy;"
         "#METER:2;#BPMS:0.000=120.000;#NOTES:1000;",
         {"1.1 1.1 1=1"},
         {}},
        {"ssc chart timing is its own only from version 0.7",
         "a.ssc",
         "#BPMS:0=120;#NOTEDATA:;#STEPSTYPE:dance-single;#DIFFICULTY:Easy;"
         "#METER:2;#BPMS:0=180;#NOTES:1000;",
         {"1.1 1.1 1=1"},
         {}},
    };
    return cases;
}

class StepImportRules : public ::testing::TestWithParam<int> {};

TEST_P(StepImportRules, ReadsAsTheSimulatorsDo) {
    const Case& c = ruleCases()[GetParam()];
    SCOPED_TRACE(c.name);
    const ImportResult r = importText(c.text, QString::fromLatin1(c.file));
    ASSERT_TRUE(r.ok()) << r.error->message().toStdString();
    EXPECT_EQ(cells(*r.song), c.cells);
    EXPECT_EQ(importLossLines(r.losses), c.losses);
}

INSTANTIATE_TEST_SUITE_P(Cases, StepImportRules, ::testing::Range(0, int(ruleCases().size())));

TEST(StepImportLimits, LossesPastTenThousandAreCountedAndFarBarsSummed) {
    // 64th notes on two panels of 100 bars: half of them move, the moved
    // ones land on their neighbours' rows, 12800 losses in all.
    const ImportResult r = importText(
        dwi("#SINGLE:BASIC:1:" + ("{" + QByteArray(64, 'B') + "}").repeated(100) + ";"), "a.dwi");
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.losses.size(), 10001);
    EXPECT_EQ(r.losses.last().line(), "2800 more losses not listed");
    EXPECT_EQ(r.song->step(Single, Basic, 100, 32, PanelRight), StepArrow);

    const ImportResult far = importText(sm(QByteArray("1000\n,").repeated(5000) + "0001"), "a.sm");
    ASSERT_TRUE(far.ok());
    EXPECT_EQ(importLossLines(far.losses),
              QStringList{"Single Basic, bar 101: notes past bar 100 dropped (bars 101 to 5001)"});
}

// ---------------------------------------------------------------- header fields

TEST(StepImportHeader, FieldsShowWhatAUserWouldType) {
    struct HeaderCase {
        const char* name;
        QByteArray text;
        QList<std::pair<SummaryField, QString>> fields;
        int check1;
    };
    const QByteArray chart = "#SINGLE:BASIC:1:4;";
    const QByteArray smChart = "#NOTES:dance-single::Easy:1::1000;";
    const QList<HeaderCase> cases = {
        {"dwi numbers and status",
         "#BPM: 128.50 ;#GAP:-20;#SAMPLESTART:1:02.5;#SAMPLELENGTH:;#STATUS:new;" + chart,
         {{SummaryField::Bpm, "128.5"},
          {SummaryField::Gap, "-20"},
          {SummaryField::Samplestart, "62500"},
          {SummaryField::Samplelength, ""}},
         1},
        {"dwi title cut at a colon, comment inside a value",
         "#TITLE:Part: Two;#ARTIST:A//B;\n" + chart,
         {{SummaryField::Songname, "Part"}, {SummaryField::Artist, "A"}},
         2},
        {"dwi text that is not UTF-8 is Windows-1252",
         "#TITLE:Caf\xe9;" + chart,
         {{SummaryField::Songname, QString::fromUtf8("Caf\xc3\xa9")}},
         2},
        {"dwi music file written on Windows",
         "#FILE:sub\\song.mp3;" + chart,
         {{SummaryField::Filetag, "sub\\song.mp3"},
          {SummaryField::Musicadd, "/songs/sub/song.mp3"}},
         2},
        {"sm offset, samples, subtitle and escapes",
         "\xEF\xBB\xBF#TITLE:A\\:B;#SUBTITLE:(Remix);#OFFSET:-0.0125;"
         "#SAMPLESTART:12.3456;#SAMPLELENGTH:7;#MUSIC:/abs/song.ogg;#BPMS:0=150;" +
             smChart,
         {{SummaryField::Songname, "A:B (Remix)"},
          {SummaryField::Gap, "13"},
          {SummaryField::Samplestart, "12345.6"},
          {SummaryField::Samplelength, "7000"},
          {SummaryField::Musicadd, "/abs/song.ogg"},
          {SummaryField::Bpm, "150"}},
         2},
        {"sm stop before the first beat delays it",
         "#OFFSET:0;#BPMS:0=120;#STOPS:-2=0.5;" + smChart,
         {{SummaryField::Gap, "500"}},
         2},
        {"a tag left open is closed by a # that starts a line",
         "#TITLE:Open\n  #ARTIST:X#Y;" + chart,
         {{SummaryField::Songname, "Open"}, {SummaryField::Artist, "X#Y"}},
         2},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ImportResult r = importText(c.text, "song.x");
        ASSERT_TRUE(r.ok()) << r.error->message().toStdString();
        for (const auto& [field, text] : c.fields)
            EXPECT_EQ(r.song->field(field), text) << summaryFieldKey(field);
        EXPECT_EQ(r.song->Check1(), c.check1);
    }
}

// ---------------------------------------------------------------- refused files

TEST(StepImportErrors, BadFilesAreRefusedWithFileLineAndReason) {
    struct ErrorCase {
        const char* file;
        QByteArray text;
        int line;
        const char* reason;
    };
    const QList<ErrorCase> cases = {
        {"a.dwi", "", 0, "not a step file: it holds no # tags"},
        {"a.txt", "hello", 0,
         "not a step file: it holds no DWI, SM or SSC tags and its name does not end in .dwi, "
         ".sm or .ssc"},
        {"a.dwi", QByteArrayLiteral("#TITLE:x;\n\n#SINGLE:BASIC:1:4\0\0\1;"), 3,
         "not a step file: it holds binary data"},
        {"a.dwi", "#TITLE:x;\n#SINGLE:BASIC:1:4000", 2,
         "the file ends inside the #SINGLE tag, before its \";\": it looks cut short"},
        {"a.dwi", "#TITLE:x;#BPM:120;", 0, "the file holds no chart"},
        {"a.dwi", "#SINGLE:BEGINNER:1:4;#SOLO:EDIT:1:4;", 0,
         "the file holds no chart this song can take (found: Single BEGINNER, Solo EDIT)"},
        {"a.dwi", "#TITLE:x;\n#DOUBLE:BASIC:5;", 2,
         "the #DOUBLE tag has no steps; it is written #DOUBLE:difficulty:foot level:steps;"},
        {"a.dwi", "#BPM:fast;#SINGLE:BASIC:1:4;", 1, "the #BPM value \"fast\" is not a number"},
        {"a.dwi", "#CHANGEBPM:\n16=150,32;#SINGLE:BASIC:1:4;", 1,
         "the #CHANGEBPM entry \"32\" is not position=value"},
        {"a.sm", "#TITLE:x;\n#NOTES:dance-single:x:Easy:1;", 2,
         "the #NOTES tag has 4 of its 6 fields (type, description, difficulty, meter, radar "
         "values, notes)"},
        {"a.sm", "#BPMS:0=abc;#NOTES:dance-single::Easy:1::1000;", 1,
         "the #BPMS entry \"0=abc\" is not beat=value"},
        {"a.ssc", "#OFFSET:x;#NOTEDATA:;#NOTES:1000;", 1,
         "the #OFFSET value \"x\" is not a number"},
        {"a.ssc", "#VERSION:0.83;\n#NOTEDATA:;\n#STEPSTYPE:dance-single;\n#NOTEDATA:;\n#NOTES:1;",
         4, "a chart begins before the chart begun at line 2 has its #NOTES"},
        {"a.ssc", "#VERSION:0.83;\n#NOTEDATA:;\n#STEPSTYPE:dance-single;", 2,
         "the chart begun here has no #NOTES; the file looks cut short"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const ImportResult r = importText(c.text, QString::fromLatin1(c.file));
        ASSERT_FALSE(r.ok());
        ASSERT_TRUE(r.error);
        EXPECT_EQ(r.error->file, "/songs/" + QString::fromLatin1(c.file));
        EXPECT_EQ(r.error->line, c.line);
        EXPECT_EQ(r.error->reason, QString::fromUtf8(c.reason));
        EXPECT_TRUE(r.losses.isEmpty());
    }
}

TEST(StepImportErrors, OnlyRegularFilesUpTo64MiBAreRead) {
    QTemporaryDir dir;
    const QString big = dir.filePath("big.sm");
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(kMaxStepFileSize + 1)); // sparse: nothing is really written
    }
    const QString fifo = dir.filePath("pipe.dwi");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct {
        QString path;
        const char* reason;
    } cases[] = {
        {big, "the file is larger than 64 MiB; no step file is that big"},
        {fifo, "is a named pipe, not a regular file; only regular files can be opened"},
        {dir.path(), "is a folder, not a regular file; only regular files can be opened"},
        {dir.filePath("missing.dwi"), "the file does not exist"},
    };
    for (const auto& c : cases) {
        const ImportResult r = importStepFileAt(c.path);
        ASSERT_FALSE(r.ok()) << c.path.toStdString();
        EXPECT_EQ(r.error->reason, c.reason);
    }
    EXPECT_FALSE(importStepFile(QByteArray(kMaxStepFileSize + 1, '#'), "x.dwi").ok());
}

// ---------------------------------------------------------------- format detection

TEST(StepImportDetection, ContentDecidesWhereItIsClearElseTheExtension) {
    const struct {
        QByteArray text;
        const char* path;
        std::optional<StepFormat> format;
    } cases[] = {
        {"#NOTEDATA:;#NOTES:1000;", "x.dwi", StepFormat::Ssc},
        {"#VERSION:0.83;", "x.sm", StepFormat::Ssc},
        {"#NOTES:dance-single::Easy:1::1000;", "x.ssc", StepFormat::Sm},
        {"#GAP:10;#single:BASIC:1:4;", "x.sm", StepFormat::Dwi},
        {"#TITLE:x;", "x.SSC", StepFormat::Ssc},
        {"#SINGLE:BASIC:1:4;#NOTES:dance-single::Easy:1::1000;", "x.sm", StepFormat::Sm},
        {"#TITLE:x;", "x.txt", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(detectStepFormat(c.text, c.path), c.format) << c.text.toStdString();
}

// ---------------------------------------------------------------- losses as shown

TEST(StepImportLosses, GroupedByChartPlaceAndKind) {
    QList<ImportLoss> losses = {
        {"Double Maniac", 12, 3, "a 24th note moved to the nearest 32nd row"},
        {"", 0, 0, "attacks dropped"},
        {"Single Basic", 101, 0, "notes past bar 100 dropped"},
        {"Double Maniac", 14, 1, "a 24th note moved to the nearest 32nd row"},
    };
    EXPECT_EQ(
        importLossLines(losses),
        QStringList({"Double Maniac, bar 12 beat 3: a 24th note moved to the nearest 32nd row",
                     "attacks dropped", "Single Basic, bar 101: notes past bar 100 dropped",
                     "Double Maniac, bar 14 beat 1: a 24th note moved to the nearest 32nd row"}));
    // Many of one kind at one place: one line with the count.
    for (int i = 0; i < 8; ++i)
        losses.append({"Double S-Maniac", 57, 3, "a mine dropped"});
    losses.append({"Double S-Maniac", 57, 3, "a roll became a freeze"});
    losses.append({"Double S-Maniac", 57, 3, "a roll became a freeze"});
    losses.append({"Double S-Maniac", 58, 1, "a mine dropped"});
    losses.append({"", 0, 0, "attacks dropped"});
    losses.append({"Double Maniac", 12, 3, "a 24th note moved to the nearest 32nd row"});
    EXPECT_EQ(importLossReport(losses), "Double Maniac\n"
                                        "    bar 12 beat 3: 2 24th notes moved to the nearest "
                                        "32nd row\n"
                                        "    bar 14 beat 1: a 24th note moved to the nearest "
                                        "32nd row\n"
                                        "The whole song\n"
                                        "    attacks dropped (2 times)\n"
                                        "Single Basic\n"
                                        "    bar 101: notes past bar 100 dropped\n"
                                        "Double S-Maniac\n"
                                        "    bar 57 beat 3: 8 mines dropped\n"
                                        "    bar 57 beat 3: 2 rolls became a freeze\n"
                                        "    bar 58 beat 1: a mine dropped\n");
}

// ---------------------------------------------------------------- round trip

// The song's own DWI export, imported and exported again, is the same file.
void expectRoundTrip(const SongModel& song, const char* what) {
    const QByteArray first = dwiFileText(song, DwiMode::Export);
    const ImportResult r = importStepFile(first, QStringLiteral("/songs/round.dwi"));
    ASSERT_TRUE(r.ok()) << what << ": " << r.error->message().toStdString();
    EXPECT_EQ(QString::fromUtf8(dwiFileText(*r.song, DwiMode::Export)), QString::fromUtf8(first))
        << what;
    EXPECT_TRUE(r.losses.isEmpty())
        << what << ": " << importLossLines(r.losses).join("\n").toStdString();
}

void baseSong(SongModel& m) {
    m.resetparameters();
    m.setField(SummaryField::Songname, "Round");
    m.setField(SummaryField::Artist, "Trip");
}

TEST(StepImportRoundTrip, TheProgramsOwnExportReadsBackExactly) {
    const struct {
        const char* name;
        void (*fill)(SongModel&);
    } songs[] = {
        {"one rest bar", [](SongModel& m) { m.setDataexists(Single, Basic, Value::number(1)); }},
        {"every field",
         [](SongModel& m) {
             m.setField(SummaryField::Filetag, "song.mp3");
             m.setField(SummaryField::Genre, "Trance");
             m.setField(SummaryField::Bpm, "128.5");
             m.setField(SummaryField::Gap, "-20");
             m.setField(SummaryField::Samplestart, ".5");
             m.setField(SummaryField::Samplelength, "");
             m.setField(SummaryField::Text1, "cd.png");
             m.setCheck1(0);
             m.setDataexists(Couple, SManiac, Value::number(1));
             m.setFootlevels(Couple, SManiac, Value::text("20"));
             m.setStep(Couple, SManiac, 3, 2, PanelRight2, StepFreezeStart);
         }},
        {"tempo at bar 1 beat 1 and bar 100 beat 4",
         [](SongModel& m) {
             m.setDataexists(Solo, Another, Value::number(1));
             m.setTempo(Single, Basic, 1, 1, BPMCHANNEL, 150);
             m.setTempo(Single, Basic, 1, 1, FREEZECHANNEL, 0.25);
             m.setTempo(Single, Basic, 100, 4, BPMCHANNEL, 60.125);
         }},
        {"freeze starts in a group, one after another, and with no end",
         [](SongModel& m) {
             m.setDataexists(Double, Maniac, Value::number(1));
             for (int p : {PanelLeft, PanelDown, PanelUp, PanelRight2})
                 m.setStep(Double, Maniac, 1, 1, p, StepFreezeStart);
             m.setStep(Double, Maniac, 1, 1, PanelRight, StepArrow);
             m.setStep(Double, Maniac, 1, 5, PanelLeft, StepFreezeStart);
             m.setStep(Double, Maniac, 2, 32, PanelUp, StepArrow);
         }},
        {"last bar 100",
         [](SongModel& m) {
             m.setDataexists(Single, SManiac, Value::number(1));
             m.setStep(Single, SManiac, 100, 31, PanelDown, StepFreezeStart);
         }},
    };
    for (const auto& s : songs) {
        SongModel m;
        baseSong(m);
        s.fill(m);
        expectRoundTrip(m, s.name);
    }
}

TEST(StepImportRoundTrip, RandomSongs) {
    std::mt19937 rng(20260514);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    static const int usable[5][10] = {
        {}, {1, 3, 4, 6}, {1, 3, 4, 6, 7, 8, 9, 10}, {1, 3, 4, 6, 7, 8, 9, 10}, {1, 2, 3, 4, 5, 6}};
    static const int count[5] = {0, 4, 8, 8, 6};
    for (int round = 0; round < 40; ++round) {
        SongModel m;
        baseSong(m);
        m.setField(SummaryField::Bpm, QString::number(60 + pick(200)));
        m.setField(SummaryField::Gap, QString::number(pick(3000)));
        m.setCheck1(pick(3));
        for (int s = 1; s <= kStyles; ++s)
            for (int l = 1; l <= kLevels; ++l) {
                if (pick(3) != 0)
                    continue;
                m.setDataexists(s, l, Value::number(1));
                m.setFootlevels(s, l, Value::text(QString::number(1 + pick(20))));
                const int bars = 1 + pick(100);
                const int notes = pick(400);
                for (int n = 0; n < notes; ++n)
                    m.setStep(s, l, 1 + pick(bars), 1 + pick(kRows), usable[s][pick(count[s])],
                              pick(4) == 0 ? StepFreezeStart : StepArrow);
            }
        for (int e = pick(6); e > 0; --e)
            m.setTempo(Single, Basic, 1 + pick(kBars), 1 + pick(4),
                       pick(2) ? BPMCHANNEL : FREEZECHANNEL, double(1 + pick(4000)) / 8);
        expectRoundTrip(m, "random song");
    }
}

} // namespace
