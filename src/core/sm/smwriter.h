#pragma once

#include "core/files/kolvofile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>

namespace kolvo {

class SongModel;

// The song as a StepMania step file (.sm): CR LF line ends, UTF-8. Every
// chart with data (Beginner, Edit and other games' charts too), its notes
// at their exact rows and kinds, the song's BPM changes, stops and delays at
// any row, and the kept header tags. A chart's own timing, warps and the
// timing segments .sm has no tag for are not written (see cannotCarry).
//
// A freeze or roll becomes a hold that ends on the next note of its panel
// (written as the hold's end, not as a tap); one with no later note in its
// panel is left out, as the simulators drop a head with no end. Each chart
// runs one bar past its last note (two-pad charts two), as the simulators
// read the DWI export of the same song.
QByteArray encodeSmFile(const SongModel& model);

// What the song holds that a .sm file cannot carry, one line each.
QStringList smCannotCarry(const SongModel& model);

// Writes encodeSmFile through a temporary file that replaces `path` only
// when complete; a failure leaves any existing file untouched.
std::optional<FileError> writeSmFile(const SongModel& model, const QString& path);

// Numbers as the file writes them: every digit the value has, at least three
// decimals, never rounded ("95.5" -> "95.500", "0.0005" stays). Zero and
// values that are not finite give "0.000".
std::string smDecimal(double value);
// A count of milliseconds as seconds, moving the point rather than dividing
// so no digit is lost (123 -> "0.123", -250 -> "-0.250", 0.5 -> "0.0005").
std::string smSecondsFromMs(double ms);

// The meter a simulator reads from a foot-level text: the whole number at
// its start (after white space, with an optional sign); 1 when there is
// none, when it is below 1 or when it does not fit an int.
int smMeterOfFootLevel(const QString& footLevel);

// The steps type a style's charts have in the file ("dance-single", ...);
// "" outside 1..4.
const char* smStepsType(int style);

} // namespace kolvo
