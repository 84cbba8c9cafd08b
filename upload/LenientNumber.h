#pragma once

#include <QByteArrayView>

#include <cstdint>
#include <optional>

// The forgiving text-to-number reading of hand-written or instrument-written number fields:
// blanks, tabs and line feeds are skipped wherever they stand; then an optional sign, digits,
// an optional point with more digits and an optional exponent, or a hexadecimal (&H) or octal
// (&O) number. Reading stops at the first character that cannot continue the number, and text
// that does not begin with a number reads as 0. The point is the decimal separator whatever
// the locale.
//   "00296" => 296, "  296" => 296, "2 9 6" => 296, "1.5e2x" => 150, "&H1F" => 31, "abc" => 0
double lenientNumber(QByteArrayView text);

// lenientNumber brought to the nearest whole number (an exact half goes to the even
// neighbour), or nothing when that lies outside [minimum, maximum].
std::optional<std::int64_t> lenientWholeNumber(QByteArrayView text, std::int64_t minimum,
                                               std::int64_t maximum);
