#pragma once

// How stored values are shown to people: the way the editor and the selection page show them, so that
// a comparison or a command line that shows a set speaks the editor's language. Nothing here needs
// widgets.

#include <QDateTime>
#include <QString>

namespace veltrane {

// The general date format: the short date, followed by the time when the time of day is not
// midnight (both in the user's locale).
QString generalDate(const QDateTime &dateTime);

// The short date of the user's locale.
QString shortDate(const QDate &date);

// A single-precision number as the platform writes it by default: up to seven significant digits,
// no trailing zeros, the user's decimal separator.
QString singleText(float value);

namespace editor {

// A quantity written as "0.00#e+0" (a mantissa of two or three decimals, a signed exponent):
// 0.00015 gives 1.50e-4, 2500 gives 2.50e+3, 12340 gives 1.234e+4, 0 gives 0.00e+0.
QString scientificText(float quantity);

// A quantity as the quantitation table shows it: the mantissa before the "e" and the power after it
// (its minus sign kept, its plus sign dropped). 0.00015 gives "1.50" and "-4"; 2500 "2.50" and "3".
struct AmountText
{
    QString mantissa;
    QString power;
};
AmountText splitAmount(float quantity);

// A dye mobility coefficient as the mobility grid shows it: exactly six decimals in the user's
// number format (its decimal sign, digit grouping and minus sign): 0.5 gives 0.500000.
QString coefficientText(float coefficient);

} // namespace editor

} // namespace veltrane
