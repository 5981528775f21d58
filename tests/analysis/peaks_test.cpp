// The music's outline: peaks at every level, and the cache file they are
// kept in between runs.
#include "analysis/peaks.h"
#include "testmusic.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

using namespace kolvo::analysis;

namespace {

constexpr int kRate = 8000; // 8 samples a millisecond

// Silence with a click of `value` for one sample at each given ms.
std::vector<float> clicks(int ms, std::initializer_list<std::pair<double, float>> at) {
    std::vector<float> s(std::size_t(ms * kRate / 1000), 0.0f);
    for (auto [when, value] : at)
        s[std::size_t(when * kRate / 1000)] = value;
    return s;
}

TEST(Peaks, EveryLevelFindsTheClicksOfARange) {
    const Peaks peaks = Peaks::fromSamples(clicks(5000, {{100.5, 0.5f}, {3000, -1.0f}}), kRate);
    ASSERT_EQ(peaks.durationMs(), 5000);
    struct Case {
        double from, to;
        int low, high;
    };
    const Case cases[] = {
        {100, 101, 0, 16384},     // the 1 ms slice of the first click
        {101, 102, 0, 0},         // the next is silent
        {0, 5000, -32767, 16384}, // the whole song, read from the coarsest level
        {50, 250, 0, 16384},      // a span read from the 64 ms level
        {2990, 3010, -32767, 0},  // from the 8 ms level
        {4000, 4990, 0, 0},       {4990, 9000, 0, 0}, // past the end is clipped
        {200, 100, 0, 0},                             // an empty range
    };
    for (const Case& c : cases) {
        const PeakPair p = peaks.range(c.from, c.to);
        EXPECT_EQ(p.low, c.low) << c.from << ".." << c.to;
        EXPECT_NEAR(p.high, c.high, 1) << c.from << ".." << c.to;
    }
}

TEST(Peaks, SavedPeaksReadBackAndDamagedFilesAreRefused) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("cache/sub/one.peaks").toStdString();
    const Peaks peaks = Peaks::fromSamples(clicks(2000, {{700, 0.8f}}), kRate);
    ASSERT_TRUE(peaks.save(path, {700.0, 1500.25}));

    Peaks read;
    std::vector<double> onsets;
    ASSERT_TRUE(Peaks::load(path, read, onsets));
    EXPECT_EQ(onsets, (std::vector<double>{700.0, 1500.25}));
    EXPECT_EQ(read.durationMs(), 2000);
    EXPECT_EQ(read.range(0, 2000).high, peaks.range(0, 2000).high);

    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::string damaged[] = {
        bytes.substr(0, bytes.size() - 1),            // cut short
        bytes + "x",                                  // something after the end
        "XPEAKS1\n" + bytes.substr(8),                // another kind of file
        bytes.substr(0, 8) + std::string(16, '\xff'), // absurd sizes
        "",
    };
    for (const std::string& d : damaged) {
        const std::string other = dir.filePath("damaged.peaks").toStdString();
        std::ofstream(other, std::ios::binary | std::ios::trunc) << d;
        Peaks none;
        std::vector<double> noOnsets{1.0};
        EXPECT_FALSE(Peaks::load(other, none, noOnsets)) << d.size();
        EXPECT_TRUE(none.empty());
        EXPECT_EQ(noOnsets.size(), 1u); // untouched
    }
}

} // namespace

namespace {

TEST(Onsets, EveryClickOfAClickTrackIsAnAttack) {
    kolvo::test::MusicRecipe recipe;
    recipe.bpm = 150;
    recipe.gapMs = 300;
    recipe.seconds = 8;
    Audio audio;
    audio.samples = kolvo::test::renderMusic(recipe);
    audio.sampleRate = recipe.sampleRate;
    const std::vector<double> onsets = onsetTimesMs(audio);
    ASSERT_FALSE(onsets.empty());
    for (double t = recipe.gapMs; t < recipe.seconds * 1000 - 100; t += 60000 / recipe.bpm)
        EXPECT_TRUE(std::any_of(onsets.begin(), onsets.end(), [t](double o) {
            return std::abs(o - t) < 5;
        })) << t;
}

} // namespace
