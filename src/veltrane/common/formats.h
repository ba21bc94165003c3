#pragma once

#include "veltrane/contracts/display_formats.h"

#include <QString>

namespace veltrane {

// Trailing blanks removed (leading ones stay).
QString trimTrailing(const QString &text);

// Text comparison without regard to case.
bool sameText(const QString &a, const QString &b);

} // namespace veltrane
