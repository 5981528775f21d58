#include "core/edit/playposition.h"

#include "core/song/numbertext.h"
#include "core/song/songmodel.h"

#include <cmath>
#include <limits>

namespace kolvo {

namespace {

// A text that the number rule reads as 0 only counts as zero when it shows a
// digit; "", "abc" or "-" hold no number at all.
bool holdsNumber(const QString& text) {
    if (numericValue(text) != 0)
        return true;
    for (const QChar c : text)
        if (c.isDigit())
            return true;
    return false;
}

// Adds one bar's four beats (with the bar's tempo events) to `pos`.
void addBar(const SongModel& m, int bar, double& bpm, double& pos) {
    for (int beat = 1; beat <= 4; ++beat) {
        const double newBpm = m.tempo(Single, Basic, bar, beat, BPMCHANNEL);
        if (newBpm > 0)
            bpm = newBpm;
        const double freeze = m.tempo(Single, Basic, bar, beat, FREEZECHANNEL);
        if (freeze > 0)
            pos += freeze;
        pos += 60.0 / bpm * 1000.0;
    }
}

} // namespace

PlayPositionResult barPlayPosition(const SongModel& m, int bar) {
    const double bpm = holdsNumber(m.bpm()) ? numericValue(m.bpm()) : 0.0;
    if (!holdsNumber(m.gap()))
        return {PlayPositionStatus::BadGap, {}};
    return barPlayPosition(m, bar, bpm, numericValue(m.gap()));
}

PlayPositionResult barPlayPosition(const SongModel& m, int bar, double bpm, double gap) {
    if (!(bpm > 0) || !std::isfinite(bpm))
        return {PlayPositionStatus::BadBpm, {}};
    if (!std::isfinite(gap))
        return {PlayPositionStatus::BadGap, {}};
    if (bar < 1)
        bar = 1;
    if (bar > kBars)
        bar = kBars;

    double pos = gap;
    for (int x = 1; x < bar; ++x)
        addBar(m, x, bpm, pos);
    double end = pos;
    addBar(m, bar, bpm, end);

    // The player takes whole milliseconds as an int; a tiny BPM can push the
    // bar past that.
    constexpr double kLimit = double(std::numeric_limits<int>::max());
    if (!std::isfinite(end) || pos < -kLimit || end > kLimit)
        return {PlayPositionStatus::OutOfRange, {}};
    return {PlayPositionStatus::Ok, {pos, end}};
}

} // namespace kolvo
