// The beat grid arithmetic on onset lists made here: the fit, the beat
// level, the preference for round figures, and the figures' text.
#include "analysis/beatgrid.h"
#include "analysis/tempoanalysis.h"
#include "analysis/tempomap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace kolvo::analysis;

namespace {

struct Pattern {
    const char* name;
    double bpm;
    double first; // time of the first beat
    int beats;
    double jitter;      // uniform +- seconds on each onset
    double offbeat;     // strength of an onset half-way between beats (0: none)
    int missingEvery;   // drop every n-th beat (0: none)
    double strayShare;  // random onsets per beat, anywhere
    double guessFactor; // the tracker's period guess, relative to the truth
    double expectBpm;   // after the beat level is chosen
};

std::vector<Onset> onsetsFor(const Pattern& p) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> jit(-p.jitter, p.jitter);
    std::uniform_real_distribution<double> unit(0, 1);
    const double period = 60 / p.bpm;
    std::vector<Onset> out;
    for (int k = 0; k < p.beats; ++k) {
        const double t = p.first + k * period;
        if (p.missingEvery == 0 || k % p.missingEvery != p.missingEvery - 1)
            out.push_back({t + jit(rng), 1.0});
        if (p.offbeat > 0)
            out.push_back({t + period / 2 + jit(rng), p.offbeat});
        if (unit(rng) < p.strayShare)
            out.push_back({t + unit(rng) * period, 0.5});
    }
    std::sort(out.begin(), out.end(),
              [](const Onset& a, const Onset& b) { return a.time < b.time; });
    return out;
}

TEST(BeatGrid, FitsThePeriodAndPhaseOfTheBeats) {
    const Pattern patterns[] = {
        {"clean", 120, 0.5, 64, 0, 0, 0, 0, 1.0, 120},
        {"jittered, guess 2% slow", 137.5, 1.234, 120, 0.002, 0, 0, 0, 1.02, 137.5},
        {"weak eighths between", 91.7, 0.05, 100, 0.001, 0.3, 0, 0, 0.985, 91.7},
        {"every fifth beat missing", 191.33, 3.0, 200, 0.001, 0, 5, 0, 1.0, 191.33},
        {"stray onsets", 150, 2.0, 150, 0.001, 0, 0, 0.3, 1.0, 150},
        {"tracker on every second beat", 174, 0.2, 120, 0.001, 0, 0, 0, 2.0, 174},
        {"tracker on every third beat", 165.25, 0.2, 120, 0.001, 0, 0, 0, 3.0, 165.25},
        {"tracker on eighths", 100, 0.3, 80, 0.001, 0.2, 0, 0, 0.5, 100},
        {"tracker on half beats, strong half beats", 110, 0.3, 80, 0.001, 0.9, 0, 0, 1.0, 220},
    };
    for (const Pattern& p : patterns) {
        SCOPED_TRACE(p.name);
        const std::vector<Onset> onsets = onsetsFor(p);
        const auto fitted = fitBeatGrid(onsets, 60 / p.bpm * p.guessFactor);
        ASSERT_TRUE(fitted.has_value());
        const BeatGrid g = chooseBeatLevel(onsets, *fitted, 50, 300);
        EXPECT_NEAR(g.bpm(), p.expectBpm, 0.005);
        // The grid passes through the first beat.
        const double off = std::remainder(g.phase - p.first, g.period);
        EXPECT_NEAR(off, 0, 0.001);
        EXPECT_NEAR(g.beatAtOrAfter(p.first, 0.01), p.first, 0.001);
        EXPECT_GT(g.coverage, p.missingEvery ? 0.75 : 0.95);
    }
}

// Music where no level is a steady pulse (a piano's bass on every other
// beat, its arpeggio's eighths and the faint sixteenths between): handed the
// grid of the sixteenths, the level that comes nearest to a pulse is chosen.
TEST(BeatGrid, WithNoEvenLevelTheNearestOneIsTheBeat) {
    const double period = 60.0 / 72;
    std::vector<Onset> onsets;
    for (int k = 0; k < 64; ++k) {
        const double t = 0.5 + k * period;
        onsets.push_back({t, k % 2 == 0 ? 1.0 : 0.45});
        onsets.push_back({t + period / 4, 0.1});
        onsets.push_back({t + period / 2, 0.3});
        onsets.push_back({t + 3 * period / 4, 0.1});
    }
    BeatGrid sixteenths;
    sixteenths.period = period / 4;
    sixteenths.phase = 0.5;
    sixteenths.firstBeat = 0.5;
    sixteenths.lastBeat = onsets.back().time;
    EXPECT_NEAR(chooseBeatLevel(onsets, sixteenths, 50, 300).bpm(), 72, 0.01);
}

TEST(BeatGrid, TooFewOnsetsGiveNoGrid) {
    std::vector<Onset> few;
    for (int k = 0; k < 7; ++k)
        few.push_back({k * 0.5, 1});
    EXPECT_FALSE(fitBeatGrid(few, 0.5).has_value());
    EXPECT_FALSE(fitBeatGrid({}, 0.5).has_value());
}

TEST(BeatGrid, RoundFiguresOnlyWithinTheMeasurementsError) {
    struct Case {
        double bpm, error, expected;
    } cases[] = {
        {150.004, 0.002, 150},      // within three errors
        {149.996, 0.0005, 149.996}, // the measurement is surer than that
        {137.5008, 0.0003, 137.5},  // a half
        {165.2504, 0.0002, 165.25}, // a quarter
        {191.33, 0.0005, 191.33},   // nothing round near
        {150.02, 0.05, 150.02},     // never more than a hundredth away
        {120.0004, 0, 120},         // a tiny error still allows a rounding error
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(musicalBpm(c.bpm, c.error), c.expected) << c.bpm;
}

// A song in blocks of seven bars whose later choruses have softer attacks,
// read 6 ms late (its beats played a little early and late in turn): a
// least-squares line through the beats leans off the tempo by more than
// their scatter over the song, yet the written figure keeps to the music
// from start to end as closely as the measured one. The same song slightly
// slower keeps its measured figure.
TEST(BeatGrid, ARoundFigureWhereItKeepsToTheMusicThroughout) {
    const int chorus[] = {0, 0, 0, 1, 0, 1, 1, 1};
    struct Case {
        double bpm, expected; // 0: the measured figure
    } cases[] = {{150, 150}, {149.97, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bpm);
        std::vector<Onset> onsets;
        for (int k = 0; k < 224; ++k)
            onsets.push_back(
                {1.0 + k * 60 / c.bpm + 0.006 * chorus[k / 28] + (k % 2 ? 0.004 : -0.004), 1.0});
        const auto grid = fitBeatGrid(onsets, 60 / c.bpm);
        ASSERT_TRUE(grid.has_value());
        EXPECT_DOUBLE_EQ(simplestFittingBpm(onsets, *grid),
                         c.expected > 0 ? c.expected : grid->bpm());
    }
}

TEST(BeatGrid, FiguresAsText) {
    struct Case {
        double bpm;
        const char* text;
    } cases[] = {{150, "150"},     {137.5, "137.5"}, {191.333333, "191.333"}, {120.0004, "120"},
                 {99.9996, "100"}, {75.25, "75.25"}, {0.1234, "0.123"},       {240.01, "240.01"}};
    for (const Case& c : cases)
        EXPECT_EQ(bpmText(c.bpm), c.text) << c.bpm;
    EXPECT_EQ(gapWholeMs(1234.5), 1235);
    EXPECT_EQ(gapWholeMs(0.4), 0);
}

} // namespace
