#pragma once

#include <QString>

// Where a bar lies in the music, for playing one bar from the wide view.
// Beats run at the song's BPM from the gap on; a BPM change takes effect on
// the beat on which it stands, and a freeze lengthens the time before the
// beat that carries it.

namespace kolvo {

class SongModel;

struct BarPlayPosition {
    double start = 0; // ms of song time at the bar's first beat
    double end = 0;   // ms at the end of its fourth beat
};

enum class PlayPositionStatus {
    Ok,
    BadBpm,     // the BPM text holds no number, or a number of 0 or less
    BadGap,     // the gap text holds no number
    OutOfRange, // the bar lies beyond what the player can be asked to jump to
};

struct PlayPositionResult {
    PlayPositionStatus status = PlayPositionStatus::Ok;
    BarPlayPosition position;
};

// The position of `bar` (1..100) from the summary's BPM and gap texts and the
// song's tempo events, which live in the Single Basic chart whatever chart is
// being edited.
PlayPositionResult barPlayPosition(const SongModel& model, int bar);

// The same from given values, for callers that already hold them.
PlayPositionResult barPlayPosition(const SongModel& model, int bar, double bpm, double gap);

} // namespace kolvo
