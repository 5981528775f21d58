#pragma once

// Whole-bar operations on one chart's arrow panels (1..10). The tempo
// channels 11 and 12 never move with the bars: tempo events belong to the
// song's timeline, not to the steps drawn in it.

namespace kolvo {

class ChartSteps;
class SongModel;

// The pure forms: each works on one chart's cells, so an editor can run it
// on a copy and apply the result in one swap.
void insertBar(ChartSteps& chart, int bar);
void deleteBar(ChartSteps& chart, int bar);
void clearBar(ChartSteps& chart, int bar);

// The same on a chart of the song.

// Any of the bar's 320 arrow cells is not 0.
bool barHasSteps(const SongModel& model, int style, int level, int bar);

// Moves bars bar..99 one bar down (the old bar 100 is lost) and empties
// `bar`. Bars outside 1..100 change nothing.
void insertBar(SongModel& model, int style, int level, int bar);

// Moves bars bar+1..100 one bar up and empties bar 100.
void deleteBar(SongModel& model, int style, int level, int bar);

// Empties the bar's arrow cells.
void clearBar(SongModel& model, int style, int level, int bar);

} // namespace kolvo
