#include "app/manager/permissions.h"

namespace veltrane::app {

Permissions::Permissions(const host::SqlStore &store)
    : m_writable(!store.isReadOnly())
{}

bool Permissions::allows(SetAction action) const
{
    return action == SetAction::Export || m_writable;
}

} // namespace veltrane::app
