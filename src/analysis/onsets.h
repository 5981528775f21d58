#pragma once
// The beat tracker's pass over decoded music: its beats and tempo estimate,
// and every onset, with each onset's attack located to the sample.

#include "beatgrid.h"
#include "tempoanalysis.h"

#include <vector>

namespace kolvo::analysis {

struct TrackerOutput {
    std::vector<double> beats; // seconds
    double bpm = 0;            // the tracker's own estimate
    std::vector<Onset> onsets; // sorted by time
    bool cancelled = false;
};

// Runs the audio library's beat tracker and onset detector over the music;
// progress goes from `from` to `to`.
TrackerOutput trackBeats(const Audio& audio, const Hooks& hooks, double from, double to);

// The attack nearest `time` (searched from `before` seconds earlier to
// `after` seconds later): the first sample that rises clearly above what came
// before, and how far it rises. Strength 0 when there is no rise.
Onset locateAttack(const Audio& audio, double time, double before, double after);

} // namespace kolvo::analysis
