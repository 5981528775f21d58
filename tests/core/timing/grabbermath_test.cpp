#include "core/timing/grabbermath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kolvo::grab;

namespace {

struct SnapCase {
    const char* what;
    long long bar;
    double r;
    int snap;
    long long wantBar;
    int wantRow;
};

class SnapRowTest : public ::testing::TestWithParam<SnapCase> {};

TEST_P(SnapRowTest, SnapsToTheGridLine) {
    const SnapCase& c = GetParam();
    const SnappedCell cell = snapRow(c.bar, c.r, c.snap);
    EXPECT_EQ(cell.bar, c.wantBar) << c.what;
    EXPECT_EQ(cell.row, c.wantRow) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Grid, SnapRowTest,
                         ::testing::Values(
                             // every beat: lines at r 0, 8, 16, 24; halfway goes to the later line
                             SnapCase{"beat r0", 3, 0.0, SnapBeat, 3, 1},
                             SnapCase{"beat r3.99", 3, 3.99, SnapBeat, 3, 1},
                             SnapCase{"beat r4", 3, 4.0, SnapBeat, 3, 9},
                             SnapCase{"beat r11.9", 3, 11.9, SnapBeat, 3, 9},
                             SnapCase{"beat r12", 3, 12.0, SnapBeat, 3, 17},
                             SnapCase{"beat r27.9", 3, 27.9, SnapBeat, 3, 25},
                             SnapCase{"beat r28 next bar", 3, 28.0, SnapBeat, 4, 1},
                             SnapCase{"beat r30.4 next bar", 1, 30.4, SnapBeat, 2, 1},
                             // half beats: lines every 4 rows
                             SnapCase{"half r1.9", 2, 1.9, SnapHalfBeat, 2, 1},
                             SnapCase{"half r2", 2, 2.0, SnapHalfBeat, 2, 5},
                             SnapCase{"half r13.9", 2, 13.9, SnapHalfBeat, 2, 13},
                             SnapCase{"half r29.9 same bar", 2, 29.9, SnapHalfBeat, 2, 29},
                             SnapCase{"half r30 next bar", 2, 30.0, SnapHalfBeat, 3, 1},
                             // quarter beats: lines every 2 rows
                             SnapCase{"quarter r0.9", 5, 0.9, SnapQuarterBeat, 5, 1},
                             SnapCase{"quarter r1", 5, 1.0, SnapQuarterBeat, 5, 3},
                             SnapCase{"quarter r30.9", 5, 30.9, SnapQuarterBeat, 5, 31},
                             SnapCase{"quarter r31 next bar", 5, 31.0, SnapQuarterBeat, 6, 1},
                             // any other setting leaves r as it is
                             SnapCase{"none r30.4", 1, 30.4, 7, 1, 31},
                             SnapCase{"none r0.5", 1, 0.5, -1, 1, 1}));

// The three old settings land where they always did: every r of a bar, in
// steps of 1/64 row (every halfway point included), gives the old row.
TEST(SnapToSteps, OldSettingsKeepTheirRows) {
    for (int snap : {int(SnapBeat), int(SnapHalfBeat), int(SnapQuarterBeat), 7}) {
        for (int i = 0; i < 32 * 64; ++i) {
            const double r = i / 64.0;
            const SnappedCell old = snapRow(9, r, snap);
            const SnappedTick now = snapToSteps(9, r, stepsOfSnapSetting(snap));
            ASSERT_EQ(now.bar, old.bar) << "snap " << snap << " r " << r;
            ASSERT_EQ(now.fineRow, (old.row - 1) * 6) << "snap " << snap << " r " << r;
        }
    }
}

TEST(SnapToSteps, FinerSnapsTakeTheNearestStepHalvesGoingOn) {
    struct Case {
        int steps;
        double r; // 32nd rows
        long long wantBar;
        int wantFineRow;
    };
    const Case cases[] = {
        {12, 1.3, 4, 0},                       // step 0.49
        {12, 1.4, 4, 16},                      // step 0.525
        {12, 30.6, 4, 176},                    // step 11.48
        {12, 30.7, 5, 0},                      // the last half step goes to the next bar
        {24, 13.0, 4, 80},                     // step 9.75 -> 10
        {48, 16.2, 4, 96},   {64, 0.25, 4, 3}, // step 0.5 goes on
        {192, 31.9, 4, 191},                   // fine 191.4
        {192, 31.95, 5, 0},                    // fine 191.7
        {32, 7.49, 4, 42},   {5, 7.49, 4, 42}, // not a snap: the 32nd row it falls in
    };
    for (const Case& c : cases) {
        const SnappedTick at = snapToSteps(4, c.r, c.steps);
        EXPECT_EQ(at.bar, c.wantBar) << c.steps << " r " << c.r;
        EXPECT_EQ(at.fineRow, c.wantFineRow) << c.steps << " r " << c.r;
    }
}

struct PositionCase {
    double positionMs;
    double gapMs;
    double bpm;
    int snap;
    long long wantBar;
    int wantRow;
};

class CellAtTest : public ::testing::TestWithParam<PositionCase> {};

TEST_P(CellAtTest, PlacesAPressAtItsBarAndRow) {
    const PositionCase& c = GetParam();
    const SnappedCell cell = cellAt(c.positionMs, c.gapMs, c.bpm, c.snap);
    EXPECT_EQ(cell.bar, c.wantBar) << c.positionMs << " ms at " << c.bpm;
    EXPECT_EQ(cell.row, c.wantRow) << c.positionMs << " ms at " << c.bpm;
}

INSTANTIATE_TEST_SUITE_P(
    Positions, CellAtTest,
    ::testing::Values(PositionCase{2000, 0, 120, SnapBeat, 2, 1}, // beats 4: bar 2, r 0
                      PositionCase{1900, 0, 120, SnapBeat, 2,
                                   1}, // beats 3.8: r 30.4 goes on to bar 2
                      PositionCase{8500, 500, 120, SnapHalfBeat, 5, 1},
                      PositionCase{8750, 500, 120, SnapHalfBeat, 5, 5}, // half a beat in
                      PositionCase{8625, 500, 120, SnapQuarterBeat, 5, 3},
                      // 180 BPM: a beat is 333.33.. ms; whole beats land exactly
                      PositionCase{1000 + 1234, 1234, 180, SnapBeat, 1, 25},
                      PositionCase{4000 + 1234, 1234, 180, SnapQuarterBeat, 4, 1},
                      PositionCase{1234 + 1000.0 / 6 * 13, 1234, 180, SnapHalfBeat, 2, 21},
                      // just before the first beat snaps onto it; well before is bar 0
                      PositionCase{490, 500, 120, SnapHalfBeat, 1, 1},
                      PositionCase{0, 500, 120, SnapHalfBeat, 0, 25}));

TEST(GrabberMath, QuarterBeatPositionsLandOnTheirRows) {
    // Every quarter beat at awkward tempos lands on its own row, and r never
    // leaves 0..32 however the division rounds.
    for (double bpm : {97.0, 133.3, 180.0, 212.5, 301.0}) {
        for (int quarter = 0; quarter < 1600; ++quarter) {
            const double p = 777 + quarter * 15000.0 / bpm;
            const ChartPosition pos = positionAt(p, 777, bpm);
            ASSERT_GE(pos.r, 0.0);
            ASSERT_LT(pos.r, 32.0);
            const SnappedCell cell = snapRow(pos.bar, pos.r, SnapQuarterBeat);
            ASSERT_EQ(cell.bar, quarter / 16 + 1) << bpm << " quarter " << quarter;
            ASSERT_EQ(cell.row, (quarter % 16) * 2 + 1) << bpm << " quarter " << quarter;
        }
    }
}

TEST(GrabberMath, ExtremeInputsGiveFiniteBars) {
    const double huge = std::numeric_limits<double>::max();
    EXPECT_GT(barAt(1000, 0, huge), 100);
    EXPECT_LT(barAt(1000, huge, 120), 1);
    EXPECT_GT(barStartMs(100, huge, 120), 0);
}

TEST(GrabberMath, BarStartIsTheGrabberJumpTarget) {
    EXPECT_EQ(barStartMs(5, 500, 120), 8500);
    EXPECT_EQ(barStartMs(1, 500, 120), 500);
    EXPECT_EQ(barStartMs(2, 0, 180), 1333);
    // a bar at 480 BPM is 500 ms; halves go to the even neighbour
    EXPECT_EQ(barStartMs(2, 0.5, 480), 500);
    EXPECT_EQ(barStartMs(2, 1.5, 480), 502);
}

TEST(GrabberMath, RoundHalfEven) {
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(2.51), 3);
    EXPECT_EQ(roundHalfEven(-0.4), 0);
}

TEST(GrabberMath, UsableBpm) {
    EXPECT_TRUE(usableBpm(120));
    EXPECT_TRUE(usableBpm(0.5));
    EXPECT_FALSE(usableBpm(0));
    EXPECT_FALSE(usableBpm(-120));
    EXPECT_FALSE(usableBpm(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(usableBpm(std::nan("")));
}

TEST(GrabberMath, KeyToPanelPerStyle) {
    struct Row {
        int key;
        int single, dbl, couple, solo;
    };
    const Row table[] = {
        {37, 1, 1, 1, 1},  {40, 3, 3, 3, 3},  {38, 4, 4, 4, 4},  {39, 6, 6, 6, 6},
        {100, 1, 7, 7, 1}, {98, 3, 8, 8, 3},  {104, 4, 9, 9, 4}, {102, 6, 10, 10, 6},
        {103, 0, 0, 0, 2}, {105, 0, 0, 0, 5}, {13, 0, 0, 0, 0},  {27, 0, 0, 0, 0},
        {101, 0, 0, 0, 0}, {65, 0, 0, 0, 0},
    };
    for (const Row& r : table) {
        EXPECT_EQ(panelForKey(r.key, 1), r.single) << "key " << r.key;
        EXPECT_EQ(panelForKey(r.key, 2), r.dbl) << "key " << r.key;
        EXPECT_EQ(panelForKey(r.key, 3), r.couple) << "key " << r.key;
        EXPECT_EQ(panelForKey(r.key, 4), r.solo) << "key " << r.key;
    }
}

TEST(GrabberMath, KeyTesterLightsPerMode) {
    struct Row {
        int key;
        QStringList single;
        QStringList dbl;
    };
    const QList<Row> table = {
        {37, {"l", "l2"}, {"l"}},
        {40, {"d", "d2"}, {"d"}},
        {38, {"u", "u2"}, {"u"}},
        {39, {"r", "r2"}, {"r"}},
        {100, {"l2", "l"}, {"l2"}},
        {98, {"d2", "d"}, {"d2"}},
        {104, {"u2", "u"}, {"u2"}},
        {102, {"r2", "r"}, {"r2"}},
        {103, {"ul"}, {}},
        {105, {"ur"}, {}},
        {13, {}, {}},
        {101, {}, {}},
    };
    for (const Row& r : table) {
        EXPECT_EQ(keyTesterLights(r.key, true), r.single) << "key " << r.key;
        EXPECT_EQ(keyTesterLights(r.key, false), r.dbl) << "key " << r.key;
    }
}

} // namespace
