#pragma once

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

// Trailing blanks removed (leading ones stay).
QString trimTrailing(const QString &text);

// Text comparison without regard to case.
bool sameText(const QString &a, const QString &b);

} // namespace veltrane
