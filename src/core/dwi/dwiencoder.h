#pragma once

#include <QString>

#include <span>

namespace kolvo {

class SongModel;

enum class BarResolution {
    Eighths,
    Sixteenths,
    TwentyFourths,
    ThirtySeconds,
    SixtyFourths,
    HundredNinetySeconds
};

// The DWI step text of one chart (both halves joined by ":" for Double and
// Couple); no tag, no level, no ";".
QString EncodeChartSteps(const SongModel& model, int style, int level);

// The last bar holding a note on an arrow panel or a tempo event, or 0.
int FindLastBar(const SongModel& model, int style, int level);

// Bars a chart whose last bar is `lastBar` is written with: one more, but
// a chart ending within bar 100 stops there.
int dwiBarCount(int lastBar);

// Resolution a bar needs, judged over arrow panels 1..10 and the notes DWI
// writes (arrows, freezes, rolls as freezes, lifts as arrows).
BarResolution ChooseBarResolution(const SongModel& model, int style, int level, int bar);

// The code of one row for one half ("0", "4", "4!4", "B!4", "<428!4!8>" ...).
QString EncodeRow(const SongModel& model, int style, int level, int bar, int row,
                  std::span<const int> panels);

} // namespace kolvo
