#pragma once

#include <QString>

namespace veltrane::editor {

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

} // namespace veltrane::editor
