#include "core/edit/playposition.h"

#include "core/song/numbertext.h"
#include "core/song/songmodel.h"
#include "core/timing/tempomap.h"

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
    if (bar > kMaxBars)
        bar = kMaxBars;

    TimingData timing = m.songTiming();
    timing.bpm = bpm;
    timing.offsetMs = gap;
    const TempoMap map(timing);
    // The bar runs from its first row to the first row of the next; a stop
    // on the bar's first row plays within it.
    const double pos = map.msAtBar(bar);
    const double end = map.msAtBar(bar + 1);

    // The player takes whole milliseconds as an int; a tiny BPM can push the
    // bar past that.
    constexpr double kLimit = double(std::numeric_limits<int>::max());
    if (!std::isfinite(end) || pos < -kLimit || end > kLimit)
        return {PlayPositionStatus::OutOfRange, {}};
    return {PlayPositionStatus::Ok, {pos, end}};
}

} // namespace kolvo
