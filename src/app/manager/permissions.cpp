#include "app/manager/permissions.h"

namespace veltrane::app {

using host::StoreAction;

Permissions::Permissions(host::SqlStore &store)
    : m_store(host::permissions(store))
{}

bool Permissions::allows(SetAction action) const
{
    switch (action) {
    case SetAction::New:
        return m_store.allows(StoreAction::CreateSet);
    case SetAction::Edit:
    case SetAction::Restore:
        return m_store.allows(StoreAction::ChangeSet);
    case SetAction::Rename:
        return m_store.allows(StoreAction::RenameSet);
    case SetAction::Delete:
        return m_store.allows(StoreAction::DeleteSet);
    case SetAction::Lock:
        return m_store.allows(StoreAction::LockSet);
    case SetAction::Unlock:
        return m_store.allows(StoreAction::UnlockSet);
    case SetAction::Hide:
        return m_store.allows(StoreAction::HideSet);
    case SetAction::Unhide:
        return m_store.allows(StoreAction::ShowSet);
    case SetAction::Undelete:
        return m_store.allows(StoreAction::UndeleteSet);
    case SetAction::Import: // creates sets, or replaces stored ones
        return m_store.allows(StoreAction::CreateSet) && m_store.allows(StoreAction::ChangeSet);
    case SetAction::Export:
        return true;
    }
    return false;
}

} // namespace veltrane::app
