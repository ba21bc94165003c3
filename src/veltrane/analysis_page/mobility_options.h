#pragma once

#include <QString>

namespace veltrane::editor {

// A dye mobility coefficient as the mobility grid shows it: exactly six decimals in the user's
// number format (its decimal sign, digit grouping and minus sign): 0.5 gives 0.500000.
QString coefficientText(float coefficient);

} // namespace veltrane::editor
