#pragma once

// Whole-bar operations on one chart's notes: every note of a bar, whatever
// its row and kind, moves with it. The tempo channels never move with the
// bars: tempo events belong to the song's timeline, not to the steps drawn
// in it.

namespace kolvo {

class ChartSteps;
class SongModel;

// The pure forms: each works on one chart's cells, so an editor can run it
// on a copy and apply the result in one swap.
void insertBar(ChartSteps& chart, int bar);
void deleteBar(ChartSteps& chart, int bar);
void clearBar(ChartSteps& chart, int bar);

// The same on a chart of the song.

// The bar holds a note.
bool barHasSteps(const SongModel& model, int style, int level, int bar);
bool barHasSteps(const SongModel& model, int chartSlot, int bar);

// Moves bars bar..kMaxBars-1 one bar down (the old last bar is lost) and
// empties `bar`. Bars outside 1..kMaxBars change nothing.
void insertBar(SongModel& model, int style, int level, int bar);

// Moves the bars after `bar` one bar up and empties the last bar.
void deleteBar(SongModel& model, int style, int level, int bar);

// Empties the bar.
void clearBar(SongModel& model, int style, int level, int bar);

} // namespace kolvo
