#pragma once

#include <QString>

// The two rules by which the program reads numbers out of what a user types.
// Nothing else in the program parses numbers from user text.
namespace kolvo {

// Numeric value of a text: blanks, tabs and line feeds anywhere are ignored,
// then the longest leading number is read (sign, digits, point, digits,
// exponent with E or D; "&H" hexadecimal and "&O" octal). No number, or one
// too large for a double, gives 0.
double numericValue(const QString& text);

// The shortest plain decimal text of a value: "." as point, no exponent, no
// sign for positive values, no leading zeros, no trailing zeros after the
// point, no 0 before the point below 1 (".5", "-.5"). Zero is "0".
QString canonicalNumberText(double value);

// The text exactly equals the canonical text of its own numeric value.
bool isWellFormedNumber(const QString& text);
// The text exactly equals the canonical text of the whole part of its value.
bool isWellFormedWholeNumber(const QString& text);

// What a field shows after the user leaves it: the canonical text of its
// numeric value ("150bpm" -> "150", "" -> "0", "128.50" -> "128.5").
QString normalizedNumberText(const QString& text);

} // namespace kolvo
