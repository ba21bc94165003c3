#pragma once

#include "host/objects/sql_store.h"

namespace veltrane::app {

// What the manager window offers to do with the store's sets.
enum class SetAction { New, Edit, Rename, Lock, Unlock, Hide, Unhide, Delete, Undelete, Restore, Import, Export };

// The one place the window asks whether its user may do something: buttons, menu entries and shortcuts
// of actions it answers no for are greyed out. A store opened for reading only allows what leaves it as
// it is (looking at sets, their history, comparing and exporting them); otherwise everything is allowed,
// and the store still refuses what its rules forbid (a read-only set, the default set, a taken name).
class Permissions
{
public:
    explicit Permissions(const host::SqlStore &store);

    bool allows(SetAction action) const;

private:
    bool m_writable;
};

} // namespace veltrane::app
