#pragma once

#include "core/files/kolvofile.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <string>

namespace kolvo {

class SongModel;

// The song as a StepMania step file (.sm): CR LF line ends, UTF-8. It holds
// what the simulators read from this program's DWI export of the same song:
// the same charts, bars, notes, holds, tempo changes and stops, so that the
// two files play alike.
//
// A freeze arrow becomes a hold that ends on the next arrow of its panel
// (written as the hold's end, not as a tap); a freeze arrow with no later
// arrow in its panel, and the second, fourth, ... freeze arrow of a row of
// three or more arrows, are read from the DWI file as nothing and as a plain
// arrow, and are written so here.
QByteArray encodeSmFile(const SongModel& model);

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
