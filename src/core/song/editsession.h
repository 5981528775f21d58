#pragma once

#include "core/song/songmodel.h"

namespace kolvo {

// What the user is doing with the song rather than the song itself: the
// chart and bar being edited, the answer of the last file dialog and the
// tool windows the step editor opens by itself. The windows share one.
struct EditSession {
    int currentstyle = 1;
    int currentlevel = 1; // Edit for an Edit chart, whose slot is currentslot
    ChartSlot currentslot = -1;
    int currentbar = 1;
    int dialogcancelled = 0; // 1 after a file dialog was cancelled or a save failed
    int autowide = 0;        // 1: the step editor opens the wide view
    int autotrans = 0;       // ... the transformations
    int autopower = 0;       // ... the power tools

    // The chart being edited, by its slot in the song.
    ChartSlot chartSlot() const {
        return currentlevel == Edit ? currentslot : SongModel::slotOf(currentstyle, currentlevel);
    }
    // Makes the chart at `slot` of `song` the one being edited.
    void editChart(const SongModel& song, ChartSlot slot) {
        const Chart& c = song.chart(slot);
        currentstyle = c.style;
        currentlevel = c.level;
        currentslot = slot;
    }
};

} // namespace kolvo
