#pragma once
// The tempo map of music whose tempo changes: its sections, the BPM of
// each and the stops between them, found from the music's onsets. Also the
// helpers the song's own tempo shares with it.

#include "beatgrid.h"
#include "tempoanalysis.h"

#include <span>
#include <vector>

namespace kolvo::analysis {

// The tempo range a beat level is chosen in.
inline constexpr double kMinBpm = 50;
inline constexpr double kMaxBpm = 300;

// The spacing that most often separates an onset from one of the next few,
// weighted by the weaker of the two, among spacings from `lo` to `hi`
// seconds (a beat in the tempo range by default); 0 when there is none.
double commonestSpacing(const std::vector<Onset>& onsets, double lo = 60 / kMaxBpm,
                        double hi = 60 / kMinBpm);

// A whole or half BPM (or a quarter) when the music fits it as well as the
// grid's measured figure; otherwise the measured figure.
double simplestFittingBpm(std::span<const Onset> onsets, const BeatGrid& grid);

// Whether the music holds different tempos (the first and last thirds fit
// grids of their own with periods clearly apart).
bool tempoChanges(std::span<const Onset> onsets, const BeatGrid& g, double steadyShare);

// The tempo sections and stops of the music. One section, at the song's
// figures, when the tempo holds (or nothing can be followed).
TempoMapGuess findTempoMap(std::span<const Onset> onsets, double songBpm, double songGapMs);

} // namespace kolvo::analysis
