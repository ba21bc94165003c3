#pragma once

// Internal to the store: the tables and their migrations.

#include "host/objects/connection.h"

namespace veltrane::host::schema {

// The schema this program writes. A store with a higher version was written by a newer program.
constexpr int kCurrentVersion = 5;

// Brings the database up to kCurrentVersion inside the caller's (write) transaction and answers
// the version it found (0 for a database without our tables). Throws kStoreSchemaTooNew. A store that
// gains the history (version 4) gets the first revision of every set it holds in that transaction.
int migrate(const QSqlDatabase &db, const ConnectionSpec &spec);

// PostgreSQL: the functions and triggers by which the server keeps a shared store's rules (version 5),
// created in the connection's current schema. The history's are on at once; those of the roles stay off
// until the roles are set up (see store_admin.h).
void installServerRules(const QSqlDatabase &db);

// The version of the store's tables, read without changing anything (0 for a database without them).
int version(const QSqlDatabase &db);

} // namespace veltrane::host::schema
