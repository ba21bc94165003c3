#pragma once

#include "veltrane/contracts/automation.h"
#include "veltrane/contracts/component_abi.h"
#include "veltrane/contracts/component_loader.h"

#include <QString>
#include <QUuid>
#include <QVariant>

namespace veltrane::host {

// A reference to an object of a component library, callable late-bound. Copies share the object;
// the last one gone releases it (and with it the object, unless the host took it over).
class ComponentObject
{
public:
    ComponentObject() = default;
    explicit ComponentObject(VtObject *adopted)
        : m_abi(adopted)
    {}
    ComponentObject(const ComponentObject &other);
    ComponentObject(ComponentObject &&other) noexcept
        : m_abi(std::exchange(other.m_abi, nullptr))
    {}
    ComponentObject &operator=(ComponentObject other) noexcept;
    ~ComponentObject();

    explicit operator bool() const { return m_abi != nullptr; }
    VtObject *abi() const { return m_abi; }

    // The Qt object; null once it has been destroyed.
    QObject *object() const;
    // The Qt object, which the caller owns from now on (a page the framework shows, a control placed
    // in a window); this reference stays valid until the object is destroyed.
    QObject *take() const;
    // Whether the object implements the interface (QueryInterface).
    bool implements(const QUuid &iid) const;

    QVariant call(const QString &member, QVariantList &args,
                  automation::CallKind kind = automation::CallKind::Method) const;
    QVariant call(qint32 dispId, QVariantList &args, automation::CallKind kind = automation::CallKind::Method) const;
    QVariant call(const QString &member, QVariantList &&args = {},
                  automation::CallKind kind = automation::CallKind::Method) const
    {
        return call(member, args, kind);
    }
    QVariant call(qint32 dispId, QVariantList &&args = {},
                  automation::CallKind kind = automation::CallKind::Method) const
    {
        return call(dispId, args, kind);
    }

private:
    QObject *requireObject() const;
    VtObject *m_abi = nullptr;
};

using components::componentError;
using components::ComponentLibrary;
using components::loadComponentLibrary;

// Creates an object through the registry: name is a programmatic identifier ("Veltrane.Service")
// or a class identifier ("{C8FE094E-...}"). Raises Error: kInvalidClassString for an unknown
// programmatic identifier, kClassNotRegistered for an unregistered class, the library's and its
// factory's own numbers (kClassNotAvailable for a class the library does not make) otherwise.
ComponentObject createComponent(const QString &name);

} // namespace veltrane::host
