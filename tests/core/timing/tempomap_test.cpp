#include "core/timing/tempomap.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kolvo;

namespace {

TimingData timing(double offsetMs, double bpm) {
    TimingData t;
    t.offsetMs = offsetMs;
    t.bpm = bpm;
    return t;
}

constexpr Tick beat(double b) {
    return Tick(b * kFineRowsPerBeat);
}

} // namespace

// Where beats are heard, and which beat is heard when, for each kind of
// event: the two directions must agree.
TEST(TempoMap, BeatsAndTimesAgreeAcrossEveryKindOfEvent) {
    struct Case {
        const char* what;
        TimingData t;
        double beat;
        double ms;
    };
    TimingData change = timing(100, 120);
    change.bpms = {{beat(4), 240}};
    TimingData stop = timing(0, 60);
    stop.stops = {{beat(2), 500}};
    TimingData delay = timing(0, 60);
    delay.delays = {{beat(2), 500}};
    TimingData warp = timing(0, 60);
    warp.warps = {{beat(2), 2}};
    TimingData offBeat = timing(0, 120);
    offBeat.bpms = {{beat(1.5), 60}};
    TimingData startChange = timing(0, 120);
    startChange.bpms = {{0, 60}};
    const Case cases[] = {
        {"constant", timing(0, 120), 8, 4000},
        {"gap", timing(250, 120), 1, 750},
        {"before beat 0", timing(1000, 120), -1, 500},
        {"bpm change, before it", change, 2, 1100},
        {"bpm change, after it", change, 6, 2100 + 500},
        {"stop, its own beat is due before it", stop, 2, 2000},
        {"stop, the next beat after it", stop, 3, 3500},
        {"delay, its own beat after it", delay, 2, 2500},
        {"warp, the beat after it", warp, 4, 2000},
        {"bpm change off the beat", offBeat, 2.5, 750 + 1000},
        {"a change on beat 0 is the starting tempo", startChange, 1, 1000},
    };
    for (const Case& c : cases) {
        const TempoMap map(c.t);
        EXPECT_DOUBLE_EQ(map.msAtBeat(c.beat), c.ms) << c.what;
        EXPECT_NEAR(map.beatAtMs(c.ms), c.beat, 1e-9) << c.what;
    }
}

TEST(TempoMap, DuringAStopTheArrowsWaitOnItsBeat) {
    TimingData t = timing(0, 60);
    t.stops = {{beat(2), 500}};
    const TempoMap map(t);
    EXPECT_DOUBLE_EQ(map.beatAtMs(2250), 2);
    EXPECT_DOUBLE_EQ(map.msAtTick(tickOf(2, 0)), 4500); // bar 2 = beat 4
    EXPECT_DOUBLE_EQ(map.bpmAtBeat(3), 60);
}

TEST(TempoMap, UnusableTemposArePassedOver) {
    TimingData t = timing(0, 120);
    t.bpms = {{beat(1), 0}, {beat(2), -5}, {beat(3), std::nan("")}};
    t.stops = {{beat(1), -100}};
    const TempoMap map(t);
    EXPECT_DOUBLE_EQ(map.msAtBeat(4), 2000);
    EXPECT_TRUE(map.constantTempo());
    const TempoMap zero(timing(0, 0));
    EXPECT_DOUBLE_EQ(zero.msAtBeat(1), 500); // 120 stands in for a BPM that cannot play
}
