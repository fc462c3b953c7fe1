// Reading a whole number from the start of a text, the way every setting and
// integer list item is converted.
#pragma once

#include <QStringView>
#include <QtGlobal>

namespace quarrix {

// The number a text begins with. Blanks (spaces, tabs, line feeds) are skipped
// wherever they stand; reading stops at the first other character that cannot
// continue the number (an optional sign, digits, one decimal point, an
// exponent "e"/"E" with optional sign and digits). No number at all gives 0.
// Only decimal is read: "&H10" gives 0.
double LeadingNumber(QStringView text);

// Rounds to the nearest whole number, an exact half to the even neighbour,
// then clamps to the signed 16-bit range: a count written by hand as 99999
// becomes 32767 instead of overflowing.
qint16 RoundToInt16(double value);

// RoundToInt16(LeadingNumber(text)): "2abc" gives 2, "abc" 0, " 3 " 3,
// "2.5" 2, "3.5" 4.
qint16 Int16FromText(QStringView text);

}  // namespace quarrix
