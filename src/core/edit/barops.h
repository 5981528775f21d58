#pragma once

// Whole-bar operations on one chart's arrow panels (1..10). The tempo
// channels 11 and 12 never move with the bars: tempo events belong to the
// song's timeline, not to the steps drawn in it.

namespace kolvo {

class SongModel;

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
