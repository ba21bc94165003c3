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

// Whether the connection to the server is gone (the server stopped, the network dropped it, or the
// watchdog gave up on it), so that it is opened again rather than used. False on SQLite.
bool connectionLost(const QSqlDriver *driver);
// The socket a PostgreSQL connection talks to its server on, -1 when it cannot be told.
int serverSocket(const QSqlDriver *driver);
// The user the connection logged in as (for messages), empty when it cannot be told.
QString loginOf(const QSqlDriver *driver);

} // namespace veltrane::host
