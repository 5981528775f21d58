#pragma once
// The beat grid fitted to onset times: a straight line from beat index to
// time, fitted over the steady part of the music with the onsets that are
// off the beat (or out of time) left out.

#include <optional>
#include <span>
#include <vector>

namespace kolvo::analysis {

struct Onset {
    double time = 0;     // seconds from the start of the file
    double strength = 0; // how hard the attack is (amplitude rise)
    double accent = -1;  // how much it stands out as a beat (band rises weighted
                         // low to high); below 0 when not measured: strength counts
    double low = -1;     // the low band's rise (kick, bass) against its strong onsets,
    double mid = -1;     // and the middle band's (snare); below 0 when not measured
    double weight() const { return accent >= 0 ? accent : strength; }
};

struct BeatGrid {
    double period = 0;      // seconds per beat
    double phase = 0;       // time of one beat of the grid (any beat)
    double periodError = 0; // standard error of period
    double residual = 0;    // root mean square distance of the fitted onsets from the grid
    int inliers = 0;        // onsets on the grid
    double firstBeat = 0;   // time of the first and the last onset on the grid
    double lastBeat = 0;
    double coverage = 0;    // share of the grid's beats between those that have an onset
    double onGridShare = 0; // share of the onset strength in that span that lies on the grid

    double bpm() const { return 60.0 / period; }
    double bpmError() const { return 60.0 * periodError / (period * period); }
    // The first beat of the grid at `time` or later, allowing `slack` seconds early.
    double beatAtOrAfter(double time, double slack) const;
};

// Fits a grid starting from a period guess good to a few percent. Returns
// nothing when fewer than eight onsets fall on any grid.
std::optional<BeatGrid> fitBeatGrid(std::span<const Onset> onsets, double periodGuess);

// The ratios of one grid's period to another's that make them levels of one
// beat (the same music read faster or slower): up to four either way.
inline constexpr double kLevelRatios[] = {0.25, 1.0 / 3, 0.5, 1.0, 2.0, 3.0, 4.0};

// One beat level a chart could be written in, and how likely it is.
struct BeatLevel {
    BeatGrid grid;
    double weight = 0; // share of the evidence, 0..1 over all candidates
};
struct BeatLevels {
    std::vector<BeatLevel> candidates; // the chosen level first, never empty
    bool balanced = false;             // the second is about as likely as the first
};

// The beat level the onsets mark, among levels 2, 3 and 4 times faster or
// slower than the fitted grid with a BPM within [minBpm, maxBpm]: the fastest
// level whose every beat is about as strong as the beats of the level twice
// slower, and as the strongest level's (above 240 BPM the level twice as slow
// when it is clearly surer, below 60 BPM the level twice as fast when it is
// nearly a pulse; the level twice as fast when its every beat has a kick's
// low end, twice as slow when a bass rather than a kick sounds between the
// beats; where no level is a pulse, the nearest), its grid on the accented
// half of the beat (onAccentedHalf).
// Twice as fast and half as fast follow as candidates, weighted by how close
// they came.
BeatLevels chooseBeatLevels(std::span<const Onset> onsets, const BeatGrid& grid, double minBpm,
                            double maxBpm);
// The chosen level alone.
BeatGrid chooseBeatLevel(std::span<const Onset> onsets, const BeatGrid& grid, double minBpm,
                         double maxBpm);

// The grid, or the same grid half a beat later when the positions between
// its beats carry clearly more of the music's accent (kick and snare) than
// its beats do.
BeatGrid onAccentedHalf(std::span<const Onset> onsets, const BeatGrid& grid);

// A whole or half (or quarter) BPM near the measured one when it lies within
// the measurement's error; otherwise the measured BPM.
double musicalBpm(double bpm, double bpmError);

// The grid's phase refitted for a given period over the onsets on it.
BeatGrid withPeriod(std::span<const Onset> onsets, const BeatGrid& grid, double period);

} // namespace kolvo::analysis
