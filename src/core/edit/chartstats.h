#pragma once
// Figures of one chart for the charter: what kinds of notes it has, how
// dense it gets over the song, and its stream breakdown as pack notes
// write it ("16 (4) 32").

#include "core/song/chartsteps.h"

#include <QString>

#include <vector>

namespace kolvo {

struct Chart;
class TempoMap;

struct ChartStats {
    int steps = 0;   // notes stepped on: taps, freeze and roll heads, lifts
    int taps = 0;    // arrows that are not the end of a freeze or roll
    int jumps = 0;   // rows with exactly two steps
    int hands = 0;   // rows with three or more
    int freezes = 0; // freeze arrows
    int rolls = 0;
    int mines = 0;
    int lifts = 0;
    int fakes = 0;
    int lastBar = 0; // the last bar holding a note (0: none)
    // Steps per second of each bar 1..lastBar (index 0 is bar 1), through
    // the chart's timing; a bar that passes in no time (a warp) counts 0.
    std::vector<double> density;
    double peakDensity = 0;
    int peakBar = 0; // 0 without steps
    // Stream: bars with at least 16 rows of steps, in runs with the bars
    // between them.
    QString breakdown;
};

// A bar counts as stream from this many rows with steps.
inline constexpr int kStreamRows = 16;

// The figures of a chart's notes on the panels its style uses.
ChartStats chartStats(const Chart& chart, const TempoMap& tempo);
// The same for notes on every panel.
ChartStats chartStats(const ChartSteps& steps, const TempoMap& tempo);

// A row of steps heard further than the tolerance from every attack of the
// music.
struct OffTheMusic {
    Tick tick = 0;
    double ms = 0;    // when it is due
    double offBy = 0; // to the nearest attack: negative when the row is early
};

// The rows of steps of `chart` that lie more than `toleranceMs` from every
// attack (`onsetsMs` sorted), in order. Without attacks there is nothing to
// compare with and the list is empty.
std::vector<OffTheMusic> rowsOffTheMusic(const Chart& chart, const TempoMap& tempo,
                                         const std::vector<double>& onsetsMs, double toleranceMs);

// "16 (4) 32" from the stream bars ("No streams." when there are none).
QString streamBreakdown(const std::vector<bool>& streamBars);

} // namespace kolvo
