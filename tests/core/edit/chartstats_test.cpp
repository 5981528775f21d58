// A chart's figures: counts of each kind of note, density over the song,
// the stream breakdown, and the rows that miss the music's attacks.
#include "core/edit/chartstats.h"
#include "core/song/songmodel.h"
#include "core/timing/tempomap.h"

#include <gtest/gtest.h>

using namespace kolvo;

namespace {

struct Placed {
    int bar, fineRow, panel;
    NoteKind kind;
};

ChartSteps chartOf(std::initializer_list<Placed> notes) {
    ChartSteps steps;
    for (const Placed& p : notes)
        steps.append({tickOf(p.bar, p.fineRow), std::uint8_t(p.panel), p.kind});
    steps.finish();
    return steps;
}

// Taps evenly spread over `rows` rows of each of `bars` bars (the panels
// take turns).
void addStream(ChartSteps& steps, int firstBar, int bars, int rows = 16) {
    for (int bar = firstBar; bar < firstBar + bars; ++bar)
        for (int r = 0; r < rows; ++r)
            steps.append(
                {tickOf(bar, r * kFineRows / rows), std::uint8_t(1 + r % 4), NoteKind::Arrow});
    steps.finish();
}

TimingData at120() {
    TimingData t;
    t.bpm = 120; // a bar lasts two seconds
    return t;
}

constexpr auto A = NoteKind::Arrow, F = NoteKind::FreezeStart, R = NoteKind::RollStart,
               M = NoteKind::Mine, L = NoteKind::Lift, K = NoteKind::Fake;

TEST(ChartStats, CountsEachKindOfNote) {
    struct Case {
        const char* name;
        ChartSteps steps;
        int steps_, taps, jumps, hands, freezes, rolls, mines, lifts, fakes, lastBar;
    };
    const Case cases[] = {
        {"taps, a jump and a hand",
         chartOf({{1, 0, 1, A},
                  {1, 48, 2, A},
                  {1, 96, 3, A},
                  {1, 144, 4, A},
                  {2, 0, 1, A},
                  {2, 0, 4, A},
                  {2, 96, 1, A},
                  {2, 96, 2, A},
                  {2, 96, 4, A}}),
         9, 9, 1, 1, 0, 0, 0, 0, 0, 2},
        // The arrow that ends a freeze or roll is no step of its own; a mine
        // inside a freeze does not end it.
        {"freeze, roll, mine, lift, fake",
         chartOf({{1, 0, 1, F},
                  {1, 0, 4, R},
                  {1, 48, 1, M},
                  {1, 96, 1, A},
                  {1, 144, 3, L},
                  {1, 168, 3, K},
                  {2, 0, 4, A},
                  {3, 0, 4, A}}),
         4, 1, 1, 0, 1, 1, 1, 1, 1, 3},
        {"empty", ChartSteps{}, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const ChartStats s = chartStats(c.steps, TempoMap(at120()));
        EXPECT_EQ(s.steps, c.steps_) << c.name;
        EXPECT_EQ(s.taps, c.taps) << c.name;
        EXPECT_EQ(s.jumps, c.jumps) << c.name;
        EXPECT_EQ(s.hands, c.hands) << c.name;
        EXPECT_EQ(s.freezes, c.freezes) << c.name;
        EXPECT_EQ(s.rolls, c.rolls) << c.name;
        EXPECT_EQ(s.mines, c.mines) << c.name;
        EXPECT_EQ(s.lifts, c.lifts) << c.name;
        EXPECT_EQ(s.fakes, c.fakes) << c.name;
        EXPECT_EQ(s.lastBar, c.lastBar) << c.name;
    }
}

TEST(ChartStats, StreamBreakdownAndDensityOfCharts) {
    struct Case {
        const char* name;
        std::vector<std::tuple<int, int, int>> streams; // first bar, bars, rows a bar
        const char* breakdown;
        double peak;
        int peakBar;
    };
    const Case cases[] = {
        {"two runs", {{1, 2, 16}, {3, 1, 8}, {8, 2, 16}}, "2 (5) 2", 8, 1},
        {"a late start and fifteen rows short of stream", {{3, 4, 16}, {7, 1, 15}}, "4", 8, 3},
        {"twenty-fourths count", {{1, 1, 8}, {2, 3, 24}}, "3", 12, 2},
        {"no stream", {{1, 4, 8}}, "No streams.", 4, 1},
    };
    for (const Case& c : cases) {
        ChartSteps steps;
        for (auto [first, bars, rows] : c.streams)
            addStream(steps, first, bars, rows);
        const ChartStats s = chartStats(steps, TempoMap(at120()));
        EXPECT_EQ(s.breakdown, QLatin1String(c.breakdown)) << c.name;
        EXPECT_DOUBLE_EQ(s.peakDensity, c.peak) << c.name;
        EXPECT_EQ(s.peakBar, c.peakBar) << c.name;
        EXPECT_EQ(int(s.density.size()), s.lastBar) << c.name;
    }

    // The density follows the tempo: the same bar at 240 BPM is twice as dense.
    TimingData faster = at120();
    faster.bpms.push_back({tickOf(2, 0), 240});
    ChartSteps steps;
    addStream(steps, 1, 2);
    const ChartStats s = chartStats(steps, TempoMap(faster));
    EXPECT_DOUBLE_EQ(s.density[0], 8);
    EXPECT_DOUBLE_EQ(s.density[1], 16);
    EXPECT_EQ(s.peakBar, 2);
}

TEST(ChartStats, BreakdownText) {
    struct Case {
        std::vector<bool> bars;
        const char* text;
    };
    const Case cases[] = {
        {{}, "No streams."},
        {{false, false}, "No streams."},
        {{true, true, false, false, true}, "2 (2) 1"},
        {{false, true, false, true, true, false}, "1 (1) 2"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(streamBreakdown(c.bars), QLatin1String(c.text));
}

TEST(ChartStats, RowsFurtherThanTheToleranceFromEveryAttack) {
    SongModel model;
    const ChartSlot slot = SongModel::slotOf(Single, Basic);
    // Beats 0, 1, 2, 3 at 120 BPM: 0, 500, 1000, 1500 ms; the freeze from
    // beat 2 ends on beat 3, which is no row of its own to check.
    ChartSteps steps = chartOf(
        {{1, 0, PanelLeft, A}, {1, 48, PanelDown, A}, {1, 96, PanelUp, F}, {1, 144, PanelUp, A}});
    model.swapSteps(slot, steps);
    const TempoMap tempo(at120());
    const std::vector<double> attacks = {2, 510, 1030};
    struct Case {
        double tolerance;
        std::vector<std::pair<int, double>> off; // fine row in bar 1, ms off
    };
    const Case cases[] = {
        {15, {{96, -30}}},
        {5, {{48, -10}, {96, -30}}},
        {40, {}},
    };
    for (const Case& c : cases) {
        const auto off = rowsOffTheMusic(model.chart(slot), tempo, attacks, c.tolerance);
        ASSERT_EQ(off.size(), c.off.size()) << c.tolerance;
        for (std::size_t i = 0; i < off.size(); ++i) {
            EXPECT_EQ(off[i].tick, tickOf(1, c.off[i].first));
            EXPECT_NEAR(off[i].offBy, c.off[i].second, 1e-9);
        }
    }
    EXPECT_TRUE(rowsOffTheMusic(model.chart(slot), tempo, {}, 15).empty());
}

} // namespace
