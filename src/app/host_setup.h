#pragma once

#include "host/objects/sql_store.h"

#include <QString>
#include <memory>

namespace veltrane::app {

// Where the application keeps its store when no --db is given: a SQLite file in the user's data
// folder.
QString defaultStoreLocation();

// Opens (creating, migrating and, unless told not to, seeding) the store, installs the host layers
// for every thread (framework, utilities, business objects over this store, grid utilities) and
// registers the flows whose pages the library has.
std::shared_ptr<host::SqlStore> openAndInstall(const QString &location, const host::StoreOptions &options);

// Registers the library's flows and its page factory with the framework (also used by tests).
void registerFlows();

} // namespace veltrane::app
