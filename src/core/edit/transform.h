#pragma once

// Rewrites one bar by swapping arrow panels. Every moved panel receives
// whatever its source panel held (an arrow, a freeze start, nothing), so a
// freeze travels with its arrow. Panels an operation does not move keep their
// values.

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
