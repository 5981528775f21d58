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

// Every note, "style.level bar.row panel=kind" on a 32nd row and
// "style.level bar:fineRow panel=kind" between them (an added chart named
// by its name instead of style.level), and every tempo event of the song,
// "bpm bar.beat=value" / "stop bar.beat=value" (bar:fineRow off the beat).
QStringList cells(const SongModel& m) {
    QStringList out;
    auto place = [](Tick t, int perRow) {
        const int fine = fineRowOfTick(t);
        return fine % perRow == 0 ? QStringLiteral("%1.%2").arg(barOfTick(t)).arg(fine / perRow + 1)
                                  : QStringLiteral("%1:%2").arg(barOfTick(t)).arg(fine);
    };
    for (ChartSlot slot = 0; slot < m.chartSlots(); ++slot) {
        if (!m.usedSlot(slot))
            continue;
        const Chart& c = m.chart(slot);
        const QString who = slot < ChartSlot(kChartSlots)
                                ? QStringLiteral("%1.%2").arg(c.style).arg(c.level)
                                : QStringLiteral("[%1]").arg(c.name());
        for (const Note& n : c.steps.notes())
            out << QStringLiteral("%1 %2 %3=%4")
                       .arg(who, place(n.tick, kFinePerRow))
                       .arg(n.panel)
                       .arg(int(n.kind));
    }
    for (const TempoCell& cell : m.songTempoCells())
        out << QStringLiteral("%1 %2=%3")
                   .arg(cell.channel == BPMCHANNEL ? "bpm" : "stop",
                        place(cell.tick, kFineRowsPerBeat))
                   .arg(cell.value);
    return out;
}

ImportResult importText(const QByteArray& text, const QString& name) {
    return importStepFile(text, QStringLiteral("/songs/") + name);
}

// ---------------------------------------------------------------- fixtures

TEST(StepImportFixtures, TheSameSongInEachFormatMapsWithoutLoss) {
    // SM and SSC hold a row of three arrows with two holds as written: the
    // arrow between the holds stays an arrow.
    for (const char* name : {"mapping.dwi", "mapping.sm", "mapping.ssc"}) {
        SCOPED_TRACE(name);
        const QByteArray expected =
            readData(QByteArray(name) == "mapping.dwi" ? QStringLiteral("mapping.expected.dwi")
                                                       : QStringLiteral("mapping.sm.expected.dwi"));
        ASSERT_FALSE(expected.isEmpty());
        const ImportResult r = importStepFileAt(dataPath(QString::fromLatin1(name)));
        ASSERT_TRUE(r.ok()) << r.error->message().toStdString();
        EXPECT_EQ(importLossLines(r.losses), QStringList());
        EXPECT_EQ(dwiFileText(*r.song, DwiMode::Export), expected);
        EXPECT_EQ(r.song->filetag(), "music/song.ogg");
        EXPECT_EQ(r.song->musicadd(), QDir::cleanPath(KOLVO_TEST_DATA_DIR "/music/song.ogg"));
        EXPECT_EQ(r.song->markAsNew(), 2);
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
         {"1.1 1:5 1=1"},
         {}},
        {"dwi brackets for 16ths, 24ths, 64ths and 192nds",
         "a.dwi",
         dwi("#SINGLE:BASIC:1:(44)[66]{88}`22'4;"),
         {"1.1 1.1 1=1", "1.1 1.3 1=1", "1.1 1.5 6=1", "1.1 1:32 6=1", "1.1 1:40 4=1",
          "1.1 1:43 4=1", "1.1 1:46 3=1", "1.1 1:47 3=1", "1.1 1.9 1=1"},
         {}},
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
        {"notes past bar 9999 dropped, bar by bar",
         "a.dwi",
         dwi("#SINGLE:BASIC:1:" + QByteArray("00000000").repeated(9998) +
             "4!400000004000000040000000;"),
         {"1.1 9999.1 1=2"},
         {"Single Basic, bar 10000: notes past bar 9999 dropped (bars 10000 to 10001)"}},
        {"a line's row is rounded to the nearest 1/48 beat",
         "a.sm",
         sm("1000\n" + QByteArray("0000\n").repeated(62) + "0001,\n0000\n0100\n" +
            QByteArray("0000\n").repeated(5)),
         {"1.1 1.1 1=1", "1.1 1:189 6=1", "1.1 2:27 3=1"},
         {}},
        {"sm freeze start right after the end of the freeze before it",
         "a.sm",
         sm("2000\n3000\n2000\n0000\n3000\n" + QByteArray("0000\n").repeated(43)),
         {"1.1 1.1 1=2", "1.1 1:4 1=1", "1.1 1:8 1=2", "1.1 1:16 1=1"},
         {}},
        {"sm unmatched starts and ends are ignored",
         "a.sm",
         sm("2003\n0000\n1000\n3000"),
         {"1.1 1.17 1=1"},
         {"Single Basic, bar 1 beat 1: a freeze with no end dropped"}},
        {"sm every note kind",
         "a.sm",
         sm("1240\n0000\n0330\nMLF0"),
         {"1.1 1.1 1=1", "1.1 1.1 3=2", "1.1 1.1 4=3", "1.1 1.17 3=1", "1.1 1.17 4=1",
          "1.1 1.25 1=4", "1.1 1.25 3=5", "1.1 1.25 4=6"},
         {}},
        {"sm keysounds are dropped, the notes stay",
         "a.sm",
         sm("1[2]0K[3]0"),
         {"1.1 1.1 1=1"},
         {"Single Basic, bar 1 beat 1: a keysound dropped",
          "Single Basic, bar 1 beat 1: a keysound dropped",
          "Single Basic, bar 1 beat 1: a keysound-only note dropped"}},
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
        // A row of three or more arrows keeps each note as the file has it.
        {"sm holds in a row of three arrows",
         "a.sm",
         sm("2120\n3030"),
         {"1.1 1.1 1=2", "1.1 1.1 3=1", "1.1 1.1 4=2", "1.1 1.17 1=1", "1.1 1.17 4=1"},
         {}},
        {"sm holds side by side in a row of three arrows",
         "a.sm",
         sm("2221\n3330"),
         {"1.1 1.1 1=2", "1.1 1.1 3=2", "1.1 1.1 4=2", "1.1 1.1 6=1", "1.1 1.17 1=1",
          "1.1 1.17 3=1", "1.1 1.17 4=1"},
         {}},
        {"beginner charts take their slot, edits and a second chart are added",
         "a.sm",
         "#BPMS:0=120;#NOTES:dance-single::Beginner:1::1000;"
         "#NOTES:dance-single:Mine:Edit:9::0100;#NOTES:dance-single::Easy:2::0010;"
         "#NOTES:dance-single::Easy:3::0001;#NOTES:dance-double::Oops:4::00000001;",
         {"1.0 1.1 1=1", "1.1 1.1 4=1", "[Single Edit (Mine)] 1.1 3=1",
          "[Single Edit (Basic)] 1.1 6=1", "[Double Edit (Oops)] 1.1 10=1"},
         {"a second Single Basic chart became an Edit chart"}},
        {"charts of other games keep their columns",
         "a.sm",
         "#BPMS:0=120;#NOTES:pump-single::Hard:12::00001;"
         "#NOTES:lights-cabinet::Easy:1::00000001;#NOTES:my-game::Easy:1::0000001[1]00;",
         {"[pump-single Maniac] 1.1 5=1", "[lights-cabinet Basic] 1.1 8=1",
          "[my-game Basic] 1.1 7=1"},
         {"my-game Basic, bar 1 beat 1: a keysound dropped"}},
        {"a routine chart keeps the first player's notes; the second's are a loss",
         "a.sm",
         "#BPMS:0=120;#NOTES:pump-routine::Hard:12::0000100000\n0000000000&1000000000\n0M000[3]"
         "00001;",
         {"[pump-routine Maniac] 1.1 5=1"},
         {"pump-routine Maniac: the second player's notes dropped (3): a chart holds one "
          "player's notes"}},
        {"sm tempo events at any row, stops in ms",
         "a.sm",
         sm("1000", "#BPMS:0=120,1.5=140,2=160;#STOPS:0.25=0.5,4=1.25;"),
         {"1.1 1.1 1=1", "stop 1:12=500", "bpm 1:72=140", "bpm 1.3=160", "stop 2.1=1250"},
         {}},
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
         {"Single Basic: the chart's timing tags, which files before version 0.7 do not use, "
          "dropped"}},
        {"malformed values are left out, the rest is read",
         "a.ssc",
         "#OFFSET:x;#SAMPLESTART:soon;#BPMS:0=abc,0=150,;#STOPS:;#WARPS:=;#DISPLAYBPM:;"
         "#NOTEDATA:;#STEPSTYPE:dance-single;#DIFFICULTY:Easy;#NOTES:1000;"
         "#NOTEDATA:;#STEPSTYPE:dance-single;#DIFFICULTY:Hard;",
         {"1.1 1.1 1=1"},
         {"the #OFFSET value \"x\" is not a number; it was left out",
          "the #SAMPLESTART value \"soon\" is not a number; it was left out",
          "the #BPMS entry \"0=abc\" (line 1) is not beat=value; it was left out",
          "the #WARPS entry \"=\" (line 1) is not beat=value; it was left out",
          "the chart begun at line 1 has no #NOTES; it was dropped"}},
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
    // 3000 bars of four taps with a keysound each: 12000 losses.
    const ImportResult r = importText(sm(QByteArray("1[1]1[1]1[1]1[1]\n,").repeated(3000)), "a.sm");
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.losses.size(), 10001);
    EXPECT_EQ(r.losses.last().line(), "2000 more losses not listed");
    EXPECT_EQ(r.song->chartSteps(Single, Basic).size(), 12000u);

    const ImportResult far = importText(sm(QByteArray("1000\n,").repeated(12000) + "0001"), "a.sm");
    ASSERT_TRUE(far.ok());
    EXPECT_EQ(importLossLines(far.losses),
              QStringList{"Single Basic, bar 10000: notes past bar 9999 dropped (bars 10000 to "
                          "12001)"});
    EXPECT_EQ(far.song->chartSteps(Single, Basic).lastBar(), kMaxBars);
}

// ---------------------------------------------------------------- timing and kept tags

QString events(const std::vector<TimingEvent>& list) {
    QStringList out;
    for (const TimingEvent& e : list)
        out << QStringLiteral("%1=%2").arg(e.tick).arg(e.value);
    return out.join(u',');
}

TEST(StepImportTiming, DelaysWarpsAndKeptSegmentsReachTheSongTiming) {
    const struct {
        const char* name;
        const char* file;
        QByteArray text;
        const char* stops;  // tick=ms
        const char* delays; // tick=ms
        const char* warps;  // tick=beats
        KeptTags kept;
    } cases[] = {
        {"ssc delays, warps and segments kept as read",
         "a.ssc",
         "#VERSION:0.83;#BPMS:0=120;#DELAYS:1=0.25;#WARPS:2.5=1.5;#SPEEDS:0=1=0=0;"
         "#SCROLLS:4=0.5;#NOTEDATA:;#STEPSTYPE:dance-single;#DIFFICULTY:Easy;#NOTES:1000;",
         "",
         "48=250",
         "120=1.5",
         {{"SPEEDS", "0=1=0=0"}, {"SCROLLS", "4=0.5"}}},
        // At 120 BPM a stop of -0.5 s skips one beat.
        {"sm negative stop becomes a warp",
         "a.sm",
         "#BPMS:0=120;#STOPS:2=-0.5,8=0.25;#NOTES:dance-single::Easy:1::1000;",
         "384=250",
         "",
         "96=1",
         {}},
        // -120 BPM from beat 4 to 6 and 120 after: skipped up to beat 8.
        {"sm negative BPM becomes a warp",
         "a.sm",
         "#BPMS:0=120,4=-120,6=120;#NOTES:dance-single::Easy:1::1000;",
         "",
         "",
         "192=4",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ImportResult r = importText(c.text, QString::fromLatin1(c.file));
        ASSERT_TRUE(r.ok()) << r.error->message().toStdString();
        EXPECT_EQ(importLossLines(r.losses), QStringList());
        const TimingData t = r.song->songTiming();
        EXPECT_EQ(events(t.stops), c.stops);
        EXPECT_EQ(events(t.delays), c.delays);
        EXPECT_EQ(events(t.warps), c.warps);
        EXPECT_EQ(t.kept, c.kept);
    }
}

TEST(StepImportTiming, ChartTimingAndTagsAreKept) {
    const QByteArray text = "#VERSION:0.83;#TITLE:T;#SUBTITLE:(x);#BANNER:b.png;#OFFSET:-0.5;"
                            "#BPMS:0=150;#SELECTABLE:YES;"
                            "#NOTEDATA:;#CHARTNAME:Mild;#STEPSTYPE:dance-single;"
                            "#DIFFICULTY:Easy;#METER:3;#CREDIT:me;#RADARVALUES:0.1,0.2;"
                            "#STOPS:1=0.5;#NOTES:1000;"
                            "#NOTEDATA:;#STEPSTYPE:dance-single;#DIFFICULTY:Hard;#METER:8;"
                            "#OFFSET:0.1;#BPMS:0=200,2=100;#NOTES:0001;";
    const ImportResult r = importText(text, "a.ssc");
    ASSERT_TRUE(r.ok()) << r.error->message().toStdString();
    EXPECT_EQ(importLossLines(r.losses), QStringList());
    const SongModel& m = *r.song;
    EXPECT_EQ(m.songname(), "T");
    EXPECT_EQ(m.gap(), "500");
    EXPECT_EQ(m.bpm(), "150");
    EXPECT_EQ(m.keptHeader(),
              (KeptTags{{"SUBTITLE", "(x)"}, {"BANNER", "b.png"}, {"SELECTABLE", "YES"}}));
    const Chart& easy = m.chart(SongModel::slotOf(Single, Basic));
    EXPECT_EQ(easy.kept,
              (KeptTags{{"CHARTNAME", "Mild"}, {"CREDIT", "me"}, {"RADARVALUES", "0.1,0.2"}}));
    // Only stops: the chart runs at 60 BPM from the song's offset.
    ASSERT_TRUE(easy.timing);
    EXPECT_EQ(easy.timing->bpm, 60);
    EXPECT_EQ(easy.timing->offsetMs, 500);
    EXPECT_EQ(events(easy.timing->stops), "48=500");
    const Chart& hard = m.chart(SongModel::slotOf(Single, Maniac));
    ASSERT_TRUE(hard.timing);
    EXPECT_EQ(hard.timing->bpm, 200);
    EXPECT_EQ(hard.timing->offsetMs, -100);
    EXPECT_EQ(events(hard.timing->bpms), "96=100");
    EXPECT_EQ(hard.footlevels, Value::text("8"));
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
          {SummaryField::SampleStart, "62500"},
          {SummaryField::SampleLength, ""}},
         1},
        {"dwi title cut at a colon, comment inside a value",
         "#TITLE:Part: Two;#ARTIST:A//B;\n" + chart,
         {{SummaryField::SongName, "Part"}, {SummaryField::Artist, "A"}},
         2},
        {"dwi text that is not UTF-8 is Windows-1252",
         "#TITLE:Caf\xe9;" + chart,
         {{SummaryField::SongName, QString::fromUtf8("Caf\xc3\xa9")}},
         2},
        {"dwi music file written on Windows",
         "#FILE:sub\\song.mp3;" + chart,
         {{SummaryField::FileTag, "sub\\song.mp3"},
          {SummaryField::MusicFile, "/songs/sub/song.mp3"}},
         2},
        {"sm offset, samples, subtitle and escapes",
         "\xEF\xBB\xBF#TITLE:A\\:B;#SUBTITLE:(Remix);#OFFSET:-0.0125;"
         "#SAMPLESTART:12.3456;#SAMPLELENGTH:7;#MUSIC:/abs/song.ogg;#BPMS:0=150;" +
             smChart,
         {{SummaryField::SongName, "A:B"},
          {SummaryField::Gap, "12.5"},
          {SummaryField::SampleStart, "12345.6"},
          {SummaryField::SampleLength, "7000"},
          {SummaryField::MusicFile, "/abs/song.ogg"},
          {SummaryField::Bpm, "150"}},
         2},
        {"sm stop before the first beat delays it",
         "#OFFSET:0;#BPMS:0=120;#STOPS:-2=0.5;" + smChart,
         {{SummaryField::Gap, "500"}},
         2},
        {"a tag left open is closed by a # that starts a line",
         "#TITLE:Open\n  #ARTIST:X#Y;" + chart,
         {{SummaryField::SongName, "Open"}, {SummaryField::Artist, "X#Y"}},
         2},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ImportResult r = importText(c.text, "song.x");
        ASSERT_TRUE(r.ok()) << r.error->message().toStdString();
        for (const auto& [field, text] : c.fields)
            EXPECT_EQ(r.song->field(field), text) << summaryFieldKey(field);
        EXPECT_EQ(r.song->markAsNew(), c.check1);
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
        {"a.sm", "#TITLE:x;\n#NOTES:dance-single:x:Easy:1;", 0, "the file holds no chart"},
        {"a.ssc", "#VERSION:0.83;\n#NOTEDATA:;\n#STEPSTYPE:dance-single;", 0,
         "the file holds no chart"},
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

TEST(StepImportErrors, MalformedValuesAreLossesNotRefusals) {
    const struct {
        const char* file;
        QByteArray text;
        QStringList losses;
    } cases[] = {
        {"a.dwi",
         "#TITLE:x;\n#DOUBLE:BASIC:5;#BPM:120;#SINGLE:BASIC:1:4;",
         {"a #DOUBLE chart with no steps (line 2) dropped"}},
        {"a.dwi",
         "#BPM:fast;#SINGLE:BASIC:1:4;",
         {"the #BPM value \"fast\" is not a number (line 1); it was left out",
          "the file sets no BPM; 60 is used"}},
        {"a.dwi",
         "#BPM:120;#CHANGEBPM:\n16=150,32;#SINGLE:BASIC:1:4;",
         {"the #CHANGEBPM entry \"32\" is not position=value; it was left out"}},
        {"a.sm",
         "#BPMS:0=120;#NOTES:dance-single:x:Easy:1;#NOTES:dance-single::Easy:1::1000;",
         {"the #NOTES tag at line 1 has 4 of its 6 fields (type, description, difficulty, "
          "meter, radar values, notes); the chart was dropped"}},
        {"a.ssc",
         "#VERSION:0.83;\n#BPMS:0=120;#NOTEDATA:;\n#STEPSTYPE:dance-single;\n#NOTEDATA:;\n"
         "#STEPSTYPE:dance-single;#DIFFICULTY:Easy;#NOTES:1;",
         {"the chart begun at line 2 has no #NOTES; it was dropped"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const ImportResult r = importText(c.text, QString::fromLatin1(c.file));
        ASSERT_TRUE(r.ok()) << r.error->message().toStdString();
        EXPECT_EQ(importLossLines(r.losses), c.losses);
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
    m.setField(SummaryField::SongName, "Round");
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
             m.setField(SummaryField::FileTag, "song.mp3");
             m.setField(SummaryField::Genre, "Trance");
             m.setField(SummaryField::Bpm, "128.5");
             m.setField(SummaryField::Gap, "-20");
             m.setField(SummaryField::SampleStart, ".5");
             m.setField(SummaryField::SampleLength, "");
             m.setField(SummaryField::CdTitle, "cd.png");
             m.setMarkAsNew(0);
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
        m.setMarkAsNew(pick(3));
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
