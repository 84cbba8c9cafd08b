#pragma once

#include <QByteArrayView>

#include <optional>

// The value of a field that is a plain decimal number, read the same in every locale: an optional
// minus, digits with no leading zero unless the integer part is 0, an optional point followed by
// digits, an optional exponent, and at most 15 significant digits, as many as a spreadsheet keeps.
//   "12.345" => 12.345, "-3.5e2" => -350, "0" => 0, "1.50" => 1.5
//   "007", "+5", "1.", ".5", "1,5", "2024-06-11", "1234567890123456", "1e999" => no value
std::optional<double> plainNumber(QByteArrayView field);
