#pragma once

// What the files of the connection layer share among themselves: the store's own users go through
// connection.h.

#include "host/objects/connection.h"
#include "veltrane/contracts/error.h"

#include <QSqlQuery>

namespace veltrane::host {

// How long one SQLite statement waits for a lock another connection holds.
constexpr qint64 kStatementBusyWaitMs = 5000;

// The error of a store that cannot be opened, saying where it is and why.
Error cannotOpen(const ConnectionSpec &spec, const QString &why);

// Runs a statement of the connection's set-up, watched like any other; with bound, prepared and given
// that one value.
bool execWatched(QSqlQuery &q, const QSqlDatabase &db, const QString &sql, const QString &bound = {});

// Looks at a database before anything changes it: a store of ours (by its application id, or by its
// tables for stores written before the id was set), an empty one to make a store of, or another
// program's, which is refused untouched.
void recognise(const QSqlDatabase &db, const ConnectionSpec &spec);

} // namespace veltrane::host
