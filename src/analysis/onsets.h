#pragma once
// Onsets found in decoded music: a rise in level in any of three bands
// (low, middle, high), each onset's attack then located to the sample, and
// the periods at which the rises repeat most.

#include "beatgrid.h"
#include "tempoanalysis.h"

#include <vector>

namespace kolvo::analysis {

struct OnsetOutput {
    std::vector<Onset> onsets;         // sorted by time
    std::vector<double> periodGuesses; // seconds, the likeliest first
    bool cancelled = false;
};

// Finds the onsets of the music and the periods they repeat at; progress
// goes from `from` to `to`.
OnsetOutput findOnsets(const Audio& audio, const Hooks& hooks, double from, double to);

// The attack nearest `time` (searched from `before` seconds earlier to
// `after` seconds later): the first sample that rises clearly above what came
// before, and how far it rises. Strength 0 when there is no rise.
Onset locateAttack(const Audio& audio, double time, double before, double after);

} // namespace kolvo::analysis
