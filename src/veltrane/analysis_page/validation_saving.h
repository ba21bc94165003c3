#pragma once

#include <QString>

namespace veltrane::editor {

// The value of the leading numeric part of a text, as a number read from the front until it stops
// making sense ("1.50e-4" 0.00015, "2.5e3" 2500, "7x" 7, "e3" 0): spaces before it, a sign, digits
// with one ".", and an exponent. One beyond the range of a double is infinite ("1e999"), one too
// small to tell from 0 is 0.
double leadingNumber(const QString &text);

// A quantity from the amount's mantissa and power: the power must be a whole 32-bit number (a
// type mismatch otherwise, naming the field), then "mantissa e power" is read as a number.
// 2.5 and 3 give 2500; 1.50 and -4 give 0.00015. An amount too large for single precision is an
// overflow (error 6), one too small to tell from 0 is 0.
float joinAmount(const QString &mantissa, const QString &power, const QString &powerField);

} // namespace veltrane::editor
