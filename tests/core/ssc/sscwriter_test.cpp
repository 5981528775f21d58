// The .ssc export: a small song that uses what only this format carries
// (rows finer than 32nds, every note kind, Beginner, Edit and another game's
// charts, a chart's own timing, kept tags) as a golden text, the line count
// of a bar, and the round trip through the importer.
#include "core/formats/builtinformats.h"
#include "core/formats/fileformat.h"
#include "core/import/stepimport.h"
#include "core/sm/stepnotes.h"
#include "core/song/songmodel.h"
#include "core/ssc/sscwriter.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace kolvo;

namespace {

QByteArray lines(std::initializer_list<const char*> ls) {
    QByteArray b;
    for (const char* l : ls)
        b.append(l).append("\r\n");
    return b;
}

ChartSteps stepsOf(std::initializer_list<Note> notes) {
    ChartSteps s;
    for (const Note& n : notes)
        s.append(n);
    s.finish();
    return s;
}

// A song with something of every kind the file carries.
void fillSmallSong(SongModel& m) {
    m.setField(SummaryField::SongName, QStringLiteral("Small"));
    m.setField(SummaryField::Artist, QStringLiteral("Me"));
    m.setField(SummaryField::FileTag, QStringLiteral("small.ogg"));
    m.setField(SummaryField::Bpm, QStringLiteral("150"));
    m.setField(SummaryField::Gap, QStringLiteral("250"));
    m.setKeptHeader({{"SUBTITLE", "sub"}, {"BANNER", "b.png"}});
    // A BPM change a 24th into bar 2 and a stop on the third 64th of bar 1.
    m.setTempoAt(SongModel::slotOf(Single, Basic), tickOf(2, 8), BPMCHANNEL, 300.0);
    m.setTempoAt(SongModel::slotOf(Single, Basic), tickOf(1, 9), FREEZECHANNEL, 500.0);
    TimingData extras;
    extras.delays = {{tickOf(3, 0), 125}};
    extras.warps = {{tickOf(3, 96), 0.5}};
    extras.kept = {{"SCROLLS", "0.000=1.000"}};
    m.setSongTimingExtras(extras);

    // Single Basic: a 24th, a freeze to the next note of its panel, a roll,
    // a mine, a lift and a fake; bar 2 empty, bar 3 on a 192nd.
    const ChartSlot basic = SongModel::slotOf(Single, Basic);
    m.setChartFlags(basic, Value::text(QStringLiteral("5")), Value::number(1));
    ChartSteps steps = stepsOf({
        {tickOf(1, 0), PanelLeft, NoteKind::Arrow},
        {tickOf(1, 8), PanelDown, NoteKind::FreezeStart},
        {tickOf(1, 48), PanelDown, NoteKind::Arrow},
        {tickOf(1, 96), PanelUp, NoteKind::RollStart},
        {tickOf(1, 144), PanelUp, NoteKind::Arrow},
        {tickOf(1, 144), PanelRight, NoteKind::Mine},
        {tickOf(1, 160), PanelLeft, NoteKind::Lift},
        {tickOf(1, 176), PanelRight, NoteKind::Fake},
        {tickOf(3, 1), PanelLeft, NoteKind::Arrow},
    });
    m.swapSteps(basic, steps);
    m.setChartKept(basic, {{"RADARVALUES", "0.1,0.2"}, {"CREDIT", "me"}});

    const ChartSlot beginner = SongModel::slotOf(Single, Beginner);
    m.setChartFlags(beginner, Value::text(QStringLiteral("1")), Value::number(1));
    ChartSteps easy = stepsOf({{tickOf(1, 0), PanelUp, NoteKind::Arrow}});
    m.swapSteps(beginner, easy);

    Chart edit;
    edit.style = Double;
    edit.level = Edit;
    edit.description = QStringLiteral("Mine");
    edit.footlevels = Value::text(QStringLiteral("12"));
    edit.dataexists = Value::number(1);
    edit.steps = stepsOf({{tickOf(1, 12), PanelRight2, NoteKind::Arrow}});
    auto own = std::make_shared<TimingData>();
    own->offsetMs = -100;
    own->bpm = 90;
    own->stops = {{tickOf(1, 48), 1000}};
    edit.timing = own;
    m.addChart(edit);

    Chart pump;
    pump.style = 0;
    pump.level = Maniac;
    pump.stepsType = "pump-single";
    pump.columns = 5;
    pump.footlevels = Value::text(QStringLiteral("7"));
    pump.dataexists = Value::number(1);
    pump.steps = stepsOf({{tickOf(1, 0), 5, NoteKind::Arrow}});
    m.addChart(pump);

    // A chart without data is not written.
    m.setChartFlags(SongModel::slotOf(Solo, Maniac), Value::text(QStringLiteral("3")),
                    Value::number(0));
}

} // namespace

TEST(SscWriter, SmallSongMatchesTheExpectedText) {
    SongModel m;
    fillSmallSong(m);
    // clang-format off
    const QByteArray expected = lines({
        "#VERSION:0.83;", "#TITLE:Small;", "#SUBTITLE:sub;", "#ARTIST:Me;", "#GENRE:;",
        "#CDTITLE:;", "#MUSIC:small.ogg;", "#BANNER:b.png;",
        "#OFFSET:-0.250;", "#BPMS:0.000=150.000,4.166666666666667=300.000;",
        "#STOPS:0.1875=0.500;", "#DELAYS:8.000=0.125;", "#WARPS:10.000=0.500;",
        "#SCROLLS:0.000=1.000;",
        "",
        "#NOTEDATA:;", "#STEPSTYPE:dance-single;", "#DESCRIPTION:;", "#DIFFICULTY:Beginner;",
        "#METER:1;", "#NOTES:",
        "0010", "0000", "0000", "0000", ";",
        "",
        "#NOTEDATA:;", "#STEPSTYPE:dance-single;", "#DESCRIPTION:;", "#DIFFICULTY:Easy;",
        "#METER:5;", "#RADARVALUES:0.1,0.2;", "#CREDIT:me;", "#NOTES:",
        "1000", "0200", "0000", "0000", "0000", "0000",
        "0300", "0000", "0000", "0000", "0000", "0000",
        "0040", "0000", "0000", "0000", "0000", "0000",
        "003M", "0000", "L000", "0000", "000F", "0000", ",",
        "0000", "0000", "0000", "0000", ",",
        "0000", "1000"});
    // clang-format on
    QByteArray bar3;
    for (int l = 2; l < 192; ++l)
        bar3 += "0000\r\n";
    QByteArray rest =
        bar3 + lines({";", "", "#NOTEDATA:;", "#STEPSTYPE:dance-double;", "#DESCRIPTION:Mine;",
                      "#DIFFICULTY:Edit;", "#METER:12;", "#OFFSET:0.100;", "#BPMS:0.000=90.000;",
                      "#STOPS:1.000=1.000;", "#NOTES:"});
    for (int l = 0; l < 16; ++l)
        rest += l == 1 ? "00000001\r\n" : "00000000\r\n";
    rest += lines({";", "", "#NOTEDATA:;", "#STEPSTYPE:pump-single;", "#DESCRIPTION:;",
                   "#DIFFICULTY:Hard;", "#METER:7;", "#NOTES:", "00001", "00000", "00000", "00000",
                   ";"});
    EXPECT_EQ(encodeSscFile(m).toStdString(), (expected + rest).toStdString());
}

TEST(SscWriter, EmptyListsAreLeftOut) {
    // "#BPMS:;" or "#STOPS:;" stops the simulator's reader.
    SongModel m;
    m.resetparameters();
    m.setField(SummaryField::Bpm, QStringLiteral("0"));
    EXPECT_EQ(encodeSscFile(m), lines({"#VERSION:0.83;", "#TITLE:;", "#ARTIST:;", "#GENRE:;",
                                       "#CDTITLE:;", "#MUSIC:;", "#OFFSET:0.000;"}));
}

TEST(SscWriter, LinesOfABar) {
    struct Case {
        std::vector<int> rows;
        int lines;
    } cases[] = {
        {{}, 4},   {{0, 48, 96}, 4}, {{24}, 8}, {{16}, 12}, {{12}, 16},    {{8, 12}, 48},
        {{6}, 32}, {{4}, 48},        {{3}, 64}, {{1}, 192}, {{3, 4}, 192}, {{0, 96, 189}, 64},
    };
    for (const Case& c : cases)
        EXPECT_EQ(linesForBar(c.rows), c.lines) << ::testing::PrintToString(c.rows);
}

TEST(SscWriter, ReadsBackAsTheSameSong) {
    SongModel m;
    fillSmallSong(m);
    const QByteArray file = encodeSscFile(m);
    ImportResult back = importStepFile(file, QStringLiteral("small.ssc"), StepFormat::Ssc);
    ASSERT_TRUE(back.ok()) << back.error->message().toStdString();
    EXPECT_TRUE(back.losses.isEmpty()) << importLossReport(back.losses).toStdString();
    // Written again, the song gives the same file.
    EXPECT_EQ(encodeSscFile(*back.song).toStdString(), file.toStdString());
}

TEST(SscWriter, IsTheWritableSscFormat) {
    const FileFormat* f = formatForWriting(QStringLiteral("out.SSC"));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->shortName(), QStringLiteral("ssc"));
    SongModel m;
    fillSmallSong(m);
    EXPECT_EQ(f->write(m, {}), encodeSscFile(m));
    EXPECT_TRUE(f->cannotCarry(m).isEmpty());
    m.setFootlevels(Single, Basic, Value::text(QStringLiteral("7+")));
    EXPECT_EQ(f->cannotCarry(m),
              QStringList{QStringLiteral("Single Basic: the foot level \"7+\" (written as 7)")});
}
