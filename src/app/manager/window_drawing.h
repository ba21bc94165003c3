#pragma once

#include "host/objects/sql_store.h"

#include <QImage>
#include <QString>
#include <QStringList>

namespace veltrane::app {

// The windows `veltrane screenshot` draws besides the flows.
inline const QString kManagerWindow = QStringLiteral("Manager");
inline const QString kHistoryWindow = QStringLiteral("History");
inline const QString kCompareWindow = QStringLiteral("Compare");

// Draws one of those windows over the store as a user first sees it: the manager with setName chosen,
// the history of setName, or a comparison of two sets (sets) or of setName with the revision before.
QImage drawWindow(host::SqlStore &store, const QString &window, const QStringList &sets);

} // namespace veltrane::app
