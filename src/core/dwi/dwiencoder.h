#pragma once

#include <QString>

#include <span>

namespace kolvo {

class SongModel;

enum class BarResolution { Eighths, Sixteenths, ThirtySeconds };

// The DWI step text of one chart (both halves joined by ":" for Double and
// Couple); no tag, no level, no ";".
QString EncodeChartSteps(const SongModel& model, int style, int level);

// The last bar (1..100) holding any set cell in panels 1..12, or 0.
int FindLastBar(const SongModel& model, int style, int level);

// Resolution a bar needs, judged over arrow panels 1..10.
BarResolution ChooseBarResolution(const SongModel& model, int style, int level, int bar);

// The code of one row for one half ("0", "4", "4!4", "B!4", "<428!4!8>" ...).
QString EncodeRow(const SongModel& model, int style, int level, int bar, int row,
                  std::span<const int> panels);

} // namespace kolvo
