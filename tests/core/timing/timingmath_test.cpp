#include "core/timing/timingmath.h"

#include <gtest/gtest.h>

using namespace kolvo::timing;

namespace {

constexpr qint64 kMs = 1'000'000; // ns

TEST(TimingMath, GapIsTruncatedToHundredths) {
    struct Case {
        qint64 ns;
        qint64 gapMs;
    };
    const Case cases[] = {
        {2'345'600'000, 2340}, // 2.3456 s
        {2'349'999'999, 2340},
        {2'350'000'000, 2350},
        {9'999'999, 0},
        {10 * kMs, 10},
        {0, 0},
        {-5 * kMs, 0},
        {86'400'000 * kMs + 1'234 * kMs, 86'401'230}, // past a day: no wrap
    };
    for (const Case& c : cases)
        EXPECT_EQ(gapMsFromElapsed(c.ns), c.gapMs) << c.ns << " ns";
}

TEST(TimingMath, BpmIsTruncated) {
    struct Case {
        qint64 ns;
        qint64 bpm;
    };
    const Case cases[] = {
        {7'500 * kMs, 120},                                        // sixteen presses 0.5 s apart
        {7'510 * kMs, 119},                                        // 119.84
        {7'509 * kMs, 120},                                        // still 7.50 s once truncated
        {5'000 * kMs, 180}, {10 * kMs, 90000}, {4'999 * kMs, 180}, // 4.99 s: 180.36
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(bpmFromElapsed(c.ns).has_value());
        EXPECT_EQ(*bpmFromElapsed(c.ns), c.bpm) << c.ns << " ns";
    }
    EXPECT_FALSE(bpmFromElapsed(9'999'999).has_value()); // under a hundredth
    EXPECT_FALSE(bpmFromElapsed(0).has_value());
}

TEST(TimingMath, ProgressBar) {
    EXPECT_DOUBLE_EQ(progressWidthTwips(0), 0);
    EXPECT_DOUBLE_EQ(progressWidthTwips(1), 218.4375);
    EXPECT_DOUBLE_EQ(progressWidthTwips(15), 15 * 218.4375);
    EXPECT_DOUBLE_EQ(progressWidthTwips(16), 3495);
}

TEST(SyncBeatCounter, LightsComeOnPastEachBeat) {
    // BPM 120, gap 500: Test jumps to 500, lights past 1000, 1500, 2000 ...
    SyncBeatCounter c;
    EXPECT_EQ(c.testJumpTarget(120, 500), 500);
    EXPECT_FALSE(c.poll(1000, 120, 500)); // not yet past
    EXPECT_TRUE(c.poll(1001, 120, 500));
    EXPECT_EQ(c.syncbeat, 1);
    EXPECT_TRUE(c.lights[1]);
    EXPECT_FALSE(c.poll(1500, 120, 500));
    EXPECT_TRUE(c.poll(1550, 120, 500));
    EXPECT_TRUE(c.poll(2050, 120, 500));
    EXPECT_EQ(c.litCount(), 3);
    EXPECT_EQ(c.synclight, 3);
    // Test again while playing continues from the count.
    EXPECT_EQ(c.testJumpTarget(120, 500), 2000);
}

TEST(SyncBeatCounter, OneLightPerPollEvenWhenLate) {
    SyncBeatCounter c;
    EXPECT_TRUE(c.poll(5000, 120, 500)); // many beats overdue: one light
    EXPECT_EQ(c.syncbeat, 1);
    EXPECT_TRUE(c.poll(5000, 120, 500));
    EXPECT_EQ(c.syncbeat, 2);
}

TEST(SyncBeatCounter, EighthBeatClearsTheRow) {
    SyncBeatCounter c;
    for (int beat = 1; beat <= 7; ++beat)
        ASSERT_TRUE(c.poll(500 + beat * 500 + 1, 120, 500));
    EXPECT_EQ(c.litCount(), 7);
    EXPECT_TRUE(c.poll(500 + 8 * 500 + 1, 120, 500));
    EXPECT_EQ(c.litCount(), 0);
    EXPECT_EQ(c.synclight, 0);
    EXPECT_EQ(c.syncbeat, 8);
    EXPECT_TRUE(c.poll(500 + 9 * 500 + 1, 120, 500));
    EXPECT_TRUE(c.lights[1]);
}

TEST(SyncBeatCounter, StoppedPlayerRestartsTheCount) {
    SyncBeatCounter c;
    c.poll(1100, 120, 500);
    c.poll(1600, 120, 500);
    c.playerState(3); // paused: keeps the count
    EXPECT_EQ(c.syncbeat, 2);
    c.playerState(0);
    EXPECT_EQ(c.syncbeat, 0);
    EXPECT_EQ(c.testJumpTarget(120, 500), 500);
}

TEST(SyncBeatCounter, UntimeableBpmSignalsNothing) {
    SyncBeatCounter c;
    for (double bpm : {0.0, -120.0}) {
        EXPECT_FALSE(c.testJumpTarget(bpm, 500).has_value());
        EXPECT_FALSE(c.nextBeatMs(bpm, 500).has_value());
        EXPECT_FALSE(c.poll(100000, bpm, 500));
    }
    EXPECT_EQ(c.syncbeat, 0);
}

} // namespace
