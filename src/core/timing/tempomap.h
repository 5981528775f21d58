#pragma once

#include "core/song/timingdata.h"

#include <vector>

namespace kolvo {

// Where every row of a chart is heard in the music, and back: one map for
// the song's timing or a chart's own, used by every window, tool and writer
// that turns rows into milliseconds. Beat 0 is the first row of bar 1.
//
// A BPM change takes effect on its row. A stop holds the arrows after the
// row's notes are due; a delay holds them before; a warp skips its beats in
// no time. A BPM of 0 or less, or not a number, is passed over.
class TempoMap {
  public:
    TempoMap() : TempoMap(TimingData{}) {}
    explicit TempoMap(const TimingData& timing);

    // The time the notes of a beat (or tick) are due, in ms of the music.
    double msAtBeat(double beat) const;
    double msAtTick(Tick tick) const { return msAtBeat(double(tick) / kFineRowsPerBeat); }
    double msAtBar(int bar) const { return msAtTick(tickOf(bar, 0)); }
    // The beat the arrows stand at at a time of the music (during a stop or
    // a delay, the beat they wait on).
    double beatAtMs(double ms) const;
    // The tempo in force at a beat.
    double bpmAtBeat(double beat) const;
    // Whether the map holds anything but one tempo from beat 0 on.
    bool constantTempo() const { return m_anchors.size() == 1; }

  private:
    struct Anchor {
        double beat = 0;      // where this piece starts
        double arriveMs = 0;  // the arrows reach the beat
        double hitMs = 0;     // its notes are due (after a delay)
        double leaveMs = 0;   // the arrows go on (after a stop)
        double msPerBeat = 0; // from here to the next anchor (0 in a warp)
        double bpm = 0;
    };
    std::vector<Anchor> m_anchors; // by beat; the first is beat 0
};

} // namespace kolvo
