#pragma once

#include "core/song/chartsteps.h"

#include <QByteArray>
#include <QList>
#include <QPair>

#include <optional>
#include <vector>

namespace kolvo {

// A timing event at a row of the chart (ticks: 192 to a bar, tick 0 is the
// first row of bar 1, which is beat 0 of the simulators).
struct TimingEvent {
    Tick tick = 0;
    double value = 0;
    friend bool operator==(const TimingEvent&, const TimingEvent&) = default;
};

// Timing segments of a step file that the program keeps as they were read
// and writes back (speeds, scrolls, tick counts, combos, labels, fakes, time
// signatures): the tag's name in upper case and its value as read.
using KeptTags = QList<QPair<QByteArray, QByteArray>>;

// A whole timing: where beat 0 is heard, the tempo from there, and the
// events that change it. BPM changes at tick 0 set the starting tempo.
// Stops and delays are in milliseconds, warps in beats skipped.
struct TimingData {
    double offsetMs = 0;             // beat 0 is heard this many ms into the music
    double bpm = 120;                // the tempo at beat 0
    std::vector<TimingEvent> bpms;   // changes after beat 0, by tick
    std::vector<TimingEvent> stops;  // ms, the music goes on while the arrows stop
    std::vector<TimingEvent> delays; // ms, like a stop but before the row's notes
    std::vector<TimingEvent> warps;  // beats skipped from the row on
    KeptTags kept;                   // other segments, as read

    bool operator==(const TimingData&) const = default;
    // Only a starting tempo and an offset: what every old song had.
    bool simple() const { return bpms.empty() && stops.empty() && delays.empty() && warps.empty(); }
};

} // namespace kolvo
