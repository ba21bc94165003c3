#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace veltrane::editor {

// What counts as a number in the editor's fields, the same for every rule that asks:
//   - spaces before and after are ignored;
//   - an optional sign ("+" or "-"), then digits with at most one decimal point, which is always
//     "." (the fields accept only "." as typed decimal sign, whatever the user's locale), and at
//     least one digit ("5.", ".5" and "5" are numbers; "." is not);
//   - an optional exponent: "e" or "E", an optional sign, digits ("1.5e3");
//   - nothing else: no group separators, no currency, no "inf" or "nan", and nothing too large for
//     a double.
// Typed input can only produce digits and "." (and "-" in a power field); the wider forms reach a
// field by pasting and are read the same way everywhere.
std::optional<double> parseNumber(const QString &text);
inline bool isNumber(const QString &text)
{
    return parseNumber(text).has_value();
}

// The whole value a field is compared with on leaving it: the nearest whole number, a half going to
// the even neighbour (0.5 gives 0, 1.5 gives 2). Any size: no 32-bit limit.
double wholeValue(double value);

// The decimal exponent of the number in a text, counted by multiplying (below 1) or dividing (from 1
// on) its value by ten in doubles until it crosses 1: 0 for no number and for zero; 0.5 gives -1,
// 0.0125 -2, 7 0, 150 2, 999 2. Where a step drifts the count is the steps', not the digits': 1e-11
// gives -12.
qint32 powerOf(const QString &text);
// The decimal exponent of the number in a text counted on its digits as written: 0 for no number and
// for zero; the same as powerOf where no step drifts, and 1e-11 gives -11.
qint32 writtenPower(const QString &text);

// Whether a text is an amount: a number without a minus sign in front (amounts are never negative;
// "2.5e-3" is an amount).
bool isAmount(const QString &text);

// The normalised mantissa of an amount, one digit before the point: its digits as written, without
// the point and the leading zeros. 150 gives 1.50, 12.5 1.25, 7 7.00, 0.0125 1.25, 0 0.00; a text
// that is no amount gives 0.00. Spaces and a "+" in front are dropped and an exponent is left to the
// power: " 150 " gives 1.50, "1.50e2" 1.50, "2.5e-3" 2.5.
QString normalizedMantissa(const QString &text);

// A single-precision value as a field shows it: up to seven significant digits, no trailing zeros,
// "." as decimal sign (95, 0.1, 1999.5).
QString fieldText(float value);

// A limit in the tip of a failed range check: its shortest plain form (0, 2000, 75, 0.5).
QString limitText(double value);

// The text of the number in a field as single precision, or a type mismatch naming the field.
float singleOf(const QString &text, const QString &field);

} // namespace veltrane::editor
