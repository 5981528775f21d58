#pragma once

#include <QByteArrayList>
#include <QStringList>

namespace kolvo {

class SongModel;
struct TimingData;

// What a step-file format has no place for. Each export states its own;
// cannotCarryLines() turns them into the lines the user reads before
// exporting ("Single Basic: 12 mines", "the song's warps").
struct CarryRules {
    bool chartTiming = false;  // a chart's own timing
    bool editCharts = false;   // Edit charts
    bool otherGames = false;   // charts of games other than dance
    bool mines = false;        // mines and fakes
    bool rolls = false;        // rolls (written as freezes)
    bool lifts = false;        // lifts (written as arrows)
    bool groupFreezes = false; // every freeze of a row of three or more arrows on one pad
    bool delays = false;
    bool warps = false;
    bool keptHeader = false;       // header tags the song has no field for
    bool keptChartTags = false;    // a chart's tags beside its notes (credit, ...)
    QByteArrayList keptTimingTags; // timing segments the format writes back
    bool anyKeptTiming = false;    // or: every kept timing segment is written
    bool wholeMeter = false;       // the meter is written as a whole number
    // The timing the file carries for the song: null for the song's own.
    const TimingData* timing = nullptr;
};

QStringList cannotCarryLines(const SongModel& song, const CarryRules& rules);

} // namespace kolvo
