#pragma once

// Rewrites one bar by swapping arrow panels. Every note travels with its
// panel, keeping its row and kind (a freeze start stays a freeze start);
// panels an operation does not move keep their notes.

namespace kolvo {

class ChartSteps;
class SongModel;

enum class BarTransform {
    Mirror, // left <-> right on each pad (and the two diagonals)
    Flip,   // down <-> up on each pad
    Turn,   // a quarter turn clockwise on each pad: left -> up -> right -> down -> left
};

void transformBar(ChartSteps& chart, int bar, BarTransform transform);
void transformBar(SongModel& model, int style, int level, int bar, BarTransform transform);

} // namespace kolvo
