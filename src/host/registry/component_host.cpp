#include "host/registry/component_host.h"

#include "veltrane/contracts/component_registry.h"

namespace veltrane::host {

namespace {

const QString kSource = QStringLiteral("ComponentHost");

} // namespace

ComponentObject::ComponentObject(const ComponentObject &other)
    : m_abi(other.m_abi)
{
    if (m_abi)
        m_abi->vtbl->AddRef(m_abi);
}

ComponentObject &ComponentObject::operator=(ComponentObject other) noexcept
{
    std::swap(m_abi, other.m_abi);
    return *this;
}

ComponentObject::~ComponentObject()
{
    if (m_abi)
        m_abi->vtbl->Release(m_abi);
}

QObject *ComponentObject::object() const
{
    return m_abi ? static_cast<QObject *>(m_abi->vtbl->QtObject(m_abi)) : nullptr;
}

QObject *ComponentObject::take() const
{
    return m_abi ? static_cast<QObject *>(m_abi->vtbl->TakeQtObject(m_abi)) : nullptr;
}

bool ComponentObject::implements(const QUuid &iid) const
{
    if (!m_abi)
        return false;
    const VtGuid guid = components::toGuid(iid);
    void *answer = nullptr;
    if (m_abi->vtbl->QueryInterface(m_abi, &guid, &answer) != VT_S_OK)
        return false;
    m_abi->vtbl->Release(static_cast<VtObject *>(answer));
    return true;
}

QObject *ComponentObject::requireObject() const
{
    QObject *o = object();
    if (!o)
        throw Error::objectNotSet(kSource, QStringLiteral("the component object is gone"));
    return o;
}

QVariant ComponentObject::call(const QString &member, QVariantList &args, automation::CallKind kind) const
{
    return automation::call(requireObject(), member, args, kind);
}

QVariant ComponentObject::call(qint32 dispId, QVariantList &args, automation::CallKind kind) const
{
    return automation::call(requireObject(), dispId, args, kind);
}

ComponentObject createComponent(const QString &name)
{
    return ComponentObject(components::createRegisteredObject(name));
}

} // namespace veltrane::host
