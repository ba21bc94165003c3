#pragma once

#include "host/objects/sql_store.h"
#include "host/objects/store_admin.h"

namespace veltrane::app {

// What the manager window offers to do with the store's sets.
enum class SetAction { New, Edit, Rename, Lock, Unlock, Hide, Unhide, Delete, Undelete, Restore, Import, Export };

// The one place the window asks whether its user may do something: buttons, menu entries and shortcuts
// of actions it answers no for are greyed out. It asks the store once, when the window opens: on a
// shared store whose roles are set up, the server answers from the user's privileges and roles; on
// SQLite and on a store without roles, everything is allowed unless the store is open for reading only.
// The store still refuses what its rules forbid (a read-only set, the default set, a taken name).
class Permissions
{
public:
    explicit Permissions(host::SqlStore &store);

    bool allows(SetAction action) const;

private:
    host::StorePermissions m_store;
};

} // namespace veltrane::app
