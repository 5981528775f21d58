#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>

namespace kolvo {

// A number as the song files write it: plain decimal, "." as point, no
// exponent, no sign for positive values, no trailing zeros after the point,
// and a 0 before the point of a value below 1 ("0.5", "-0.25") so that every
// reader of the files takes it as a number. Zero (and any non-finite value)
// is "0". Reads back to exactly the same double.
QString fileNumberText(double value);
void appendFileNumber(QByteArray& out, double value);

// A bare field of a song file read as a number: the whole field (trailing
// blanks aside) must be [+-]digits[.digits][e[+-]digits] with at least one
// digit before the exponent; anything else, or a value too large for a
// double, is not a number.
std::optional<double> fileFieldNumber(const char* begin, const char* end);

} // namespace kolvo
