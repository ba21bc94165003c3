#pragma once

#include "app/commands.h"

namespace veltrane::app {

// The administrator's commands of a shared store: admin setup, admin grant LOGIN ROLE, admin revoke
// LOGIN ROLE, admin roles. Each writes its result to io.out and raises an Error when the store or the
// server refuses; nothing is changed then.

// What is wrong with the arguments, for a usage error; empty when nothing is.
QString adminUsageError(const QStringList &args);
void runAdminCommand(CommandIO io, host::SqlStore &store, const QStringList &args);

} // namespace veltrane::app
