#pragma once

namespace kolvo {

// What the user is doing with the song rather than the song itself: the
// chart and bar being edited, the answer of the last file dialog and the
// tool windows the step editor opens by itself. The windows share one.
struct EditSession {
    int currentstyle = 1;
    int currentlevel = 1;
    int currentbar = 1;
    int dialogcancelled = 0; // 1 after a file dialog was cancelled or a save failed
    int autowide = 0;        // 1: the step editor opens the wide view
    int autotrans = 0;       // ... the transformations
    int autopower = 0;       // ... the power tools
};

} // namespace kolvo
