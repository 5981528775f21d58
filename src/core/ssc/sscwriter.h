#pragma once

#include <QByteArray>
#include <QStringList>

namespace kolvo {

class SongModel;
struct TimingData;

// The song as a StepMania 5 step file (.ssc, version 0.83): CR LF line
// ends, UTF-8, values written exactly (the format's reader trims nothing).
// It carries the whole song: the summary texts and the header tags kept
// from an import, the song's timing (offset, BPM changes and stops at any
// row, delays, warps, kept segments), and every chart with data, Beginner
// to Edit and other games' charts, with its meter, kept tags, own timing
// and notes of every kind at their exact rows.
QByteArray encodeSscFile(const SongModel& model);

// "Beginner", "Easy", "Medium", "Hard", "Challenge", "Edit" for levels 0..5;
// "" outside.
const char* sscDifficulty(int level);

// What the song holds that the .ssc file cannot (one line each), or none.
QStringList sscCannotCarry(const SongModel& model);

} // namespace kolvo
