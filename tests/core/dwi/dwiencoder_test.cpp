#include "core/dwi/dwiencoder.h"
#include "core/dwi/dwiwriter.h"
#include "core/song/songmodel.h"
#include "core/song/stylepanels.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kolvo;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

struct Cell {
    int bar, row, panel, value;
};

QString zeros(int n) {
    return QString(n, u'0');
}

QString encode(int style, const std::vector<Cell>& cells) {
    SongModel m;
    m.resetparameters();
    for (const Cell& c : cells)
        m.setStep(style, 2, c.bar, c.row, c.panel, std::uint8_t(c.value));
    return EncodeChartSteps(m, style, 2);
}

} // namespace

TEST(DwiEncoder, ChartText) {
    const QString rest = zeros(8);
    const QString z60 = zeros(60);
    struct Case {
        const char* what;
        int style;
        std::vector<Cell> cells;
        QString expected;
    } cases[] = {
        {"lone left arrow, then a bar of rests", Single, {{1, 1, 1, 1}}, "40000000" + rest},
        {"empty Single", Single, {}, rest},
        {"empty Solo", Solo, {}, rest},
        {"empty Double: the second half runs a bar longer", Double, {}, rest + ":" + rest + rest},
        {"empty Couple", Couple, {}, rest + ":" + rest + rest},
        {"row 3 makes sixteenths", Single, {{1, 3, 1, 1}}, "(04" + zeros(14) + ")" + rest},
        {"row 2 makes thirty-seconds, each written as two sixty-fourths",
         Single,
         {{1, 2, 1, 1}, {1, 3, 6, 1}},
         "{0040600" + zeros(57) + "}" + rest},
        {"second pad on an even row raises the first half too",
         Double,
         {{1, 2, 7, 1}},
         "{" + zeros(64) + "}" + rest + ":{0040" + z60 + "}" + rest + rest},
        {"panels outside the style are not written",
         Single,
         {{1, 1, 2, 1}, {1, 1, 7, 1}},
         rest + rest},
        {"Solo uses the up-left and up-right panels",
         Solo,
         {{1, 1, 2, 1}, {1, 5, 5, 2}},
         "CD!D000000" + rest},
        {"last bar 100 gets no rest bar", Single, {{100, 1, 1, 1}}, zeros(99 * 8) + "40000000"},
        {"last bar 99 gets bar 100 as rest; second half stops at 100 too",
         Double,
         {{99, 1, 6, 1}},
         zeros(98 * 8) + "60000000" + rest + ":" + zeros(100 * 8)},
        {"a freeze with no end is written as a head", Single, {{1, 5, 4, 2}}, "08!8000000" + rest},
    };
    for (const Case& c : cases)
        EXPECT_EQ(encode(c.style, c.cells), c.expected) << c.what;
}

TEST(DwiEncoder, RowCodes) {
    struct Case {
        int style;
        std::vector<std::pair<int, int>> struck; // panel, value
        const char* expected;
    } cases[] = {
        {Single, {}, "0"},
        {Single, {{1, 2}}, "4!4"},
        {Single, {{3, 1}}, "2"},
        {Single, {{4, 1}}, "8"},
        {Single, {{6, 1}}, "6"},
        {Single, {{1, 1}, {6, 1}}, "B"},
        {Single, {{3, 1}, {4, 1}}, "A"},
        {Single, {{1, 1}, {4, 1}}, "7"},
        {Single, {{4, 1}, {6, 1}}, "9"},
        {Single, {{1, 1}, {3, 1}}, "1"},
        {Single, {{3, 1}, {6, 1}}, "3"},
        {Single, {{1, 2}, {6, 2}}, "B!B"},
        {Single, {{1, 2}, {6, 1}}, "B!4"},
        {Single, {{1, 1}, {6, 2}}, "B!6"},
        {Single, {{1, 2}, {3, 1}, {4, 2}}, "<428!4!8>"},
        {Single, {{1, 1}, {3, 1}, {4, 1}, {6, 1}}, "<4286>"},
        {Solo, {{2, 1}}, "C"},
        {Solo, {{5, 2}}, "D!D"},
        {Solo, {{1, 1}, {2, 1}}, "E"},
        {Solo, {{2, 1}, {3, 1}}, "F"},
        {Solo, {{2, 1}, {4, 1}}, "G"},
        {Solo, {{2, 1}, {6, 1}}, "H"},
        {Solo, {{1, 1}, {5, 1}}, "I"},
        {Solo, {{3, 1}, {5, 1}}, "J"},
        {Solo, {{4, 1}, {5, 1}}, "K"},
        {Solo, {{5, 1}, {6, 1}}, "L"},
        {Solo, {{2, 1}, {5, 1}}, "M"},
        {Solo, {{2, 2}, {5, 2}}, "M!M"},
        {Solo, {{1, 1}, {2, 2}, {3, 1}, {4, 1}, {5, 2}, {6, 1}}, "<4C28D6!C!D>"},
        {Double, {{7, 1}, {10, 2}}, "B!6"},
        {Double, {{8, 1}, {9, 1}}, "A"},
    };
    for (const Case& c : cases) {
        SongModel m;
        for (auto [panel, value] : c.struck)
            m.setStep(c.style, 1, 1, 1, panel, std::uint8_t(value));
        std::span<const int> panels = c.style == Solo ? std::span<const int>(kSoloPanels)
                                      : (!c.struck.empty() && c.struck[0].first >= 7)
                                          ? std::span<const int>(kSecondPadPanels)
                                          : std::span<const int>(kFirstPadPanels);
        EXPECT_EQ(EncodeRow(m, c.style, 1, 1, 1, panels), QString::fromLatin1(c.expected))
            << c.expected;
    }
}

TEST(DwiEncoder, ResolutionAndLength) {
    struct Case {
        std::vector<Cell> cells;
        BarResolution expected;
    } cases[] = {
        {{}, BarResolution::Eighths},
        {{{1, 5, 1, 1}, {1, 29, 10, 2}}, BarResolution::Eighths},
        {{{1, 31, 3, 1}}, BarResolution::Sixteenths},
        {{{1, 3, 1, 1}, {1, 32, 9, 1}}, BarResolution::ThirtySeconds},
        {{{1, 2, 2, 1}}, BarResolution::ThirtySeconds}, // every arrow panel counts
    };
    for (const Case& c : cases) {
        SongModel m;
        for (const Cell& cell : c.cells)
            m.setStep(Single, Basic, cell.bar, cell.row, cell.panel, std::uint8_t(cell.value));
        EXPECT_EQ(ChooseBarResolution(m, Single, Basic, 1), c.expected);
    }

    SongModel m;
    m.resetparameters();
    EXPECT_EQ(FindLastBar(m, Single, Basic), 0);
    m.setStep(Single, Basic, 3, 32, 10, 1);
    EXPECT_EQ(FindLastBar(m, Single, Basic), 3);
    // Tempo events live in Single Basic and lengthen only that chart.
    m.setTempo(Single, Basic, 7, 4, FREEZECHANNEL, 300);
    m.setTempo(Single, Basic, 9, 1, BPMCHANNEL, 0); // a zero is no event
    m.setStep(Double, Maniac, 2, 1, 1, 1);
    EXPECT_EQ(FindLastBar(m, Single, Basic), 7);
    EXPECT_EQ(FindLastBar(m, Double, Maniac), 2);
    // Bars 1..8: bar 3 in thirty-seconds (66 characters), the others in eighths.
    EXPECT_EQ(EncodeChartSteps(m, Single, Basic).size(), 7 * 8 + 66);
}

// Rows between the 32nds take DWI's own brackets; kinds DWI has no mark for
// are written as the nearest it has, or left out.
TEST(DwiEncoder, FineRowsAndKinds) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, NoteKind>> notes; // fine row of bar 1 on Left, kind
        std::string expected;                        // bar 1 of the chart
    } cases[] = {
        {"a 24th", {{8, NoteKind::Arrow}}, "[040000000000000000000000]"},
        {"a 12th fits 24ths", {{16, NoteKind::Arrow}}, "[004000000000000000000000]"},
        {"a 64th",
         {{3, NoteKind::Arrow}},
         "{0400000000000000000000000000000000000000000000000000000000000000}"},
        {"a 48th takes 192nds",
         {{4, NoteKind::FreezeStart}, {8, NoteKind::Arrow}},
         "`00004!40004" + std::string(183, '0') + "'"},
        {"a roll is a freeze, a lift an arrow, mines and fakes are left out",
         {{0, NoteKind::RollStart},
          {24, NoteKind::Lift},
          {48, NoteKind::Mine},
          {72, NoteKind::Fake}},
         "4!440000000"},
    };
    for (const Case& c : cases) {
        SongModel m;
        m.resetparameters();
        ChartSteps steps;
        for (const auto& [row, kind] : c.notes)
            steps.setKind(1, row, PanelLeft, kind);
        m.swapChartSteps(Single, Basic, steps);
        const QString bars = EncodeChartSteps(m, Single, Basic);
        EXPECT_EQ(bars.left(qsizetype(c.expected.size())), QString::fromStdString(c.expected))
            << c.what;
    }

    // A chart past bar 100 runs one bar past its last, and a tempo event
    // between beats keeps its place.
    SongModel m;
    m.resetparameters();
    ChartSteps steps;
    steps.setKind(150, 0, PanelLeft, NoteKind::Arrow);
    m.swapChartSteps(Single, Basic, steps);
    EXPECT_EQ(EncodeChartSteps(m, Single, Basic).size(), 151 * 8);
    m.setTempoAt(SongModel::slotOf(Single, Basic), 4, BPMCHANNEL, 150);  // a 48th in
    m.setTempoAt(SongModel::slotOf(Single, Basic), 18, BPMCHANNEL, 160); // a 32nd and a half
    EXPECT_EQ(BuildTempoList(m, BPMCHANNEL), "#CHANGEBPM:0.3=150,1.5=160;");
}
