#pragma once

// The type information of a component library: its classes, their interfaces, and the members of
// each interface with their dispatch ids, arguments and results. A library builds its own in code
// and registers it; a host reads it back from the registry without loading the library.

#include "veltrane/contracts/automation.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

namespace veltrane::typelib {

enum class ClassKind { CreatableObject, Control };

// An interface: a dispatch interface of the library, an event interface (no members), or an
// interface of a referenced library that the library's classes implement.
struct Interface
{
    QString name;
    QUuid iid;
    QString library; // the type library that declares it
    QList<automation::Member> members;
};

struct CoClass
{
    QString name;
    ClassKind kind = ClassKind::CreatableObject;
    QUuid clsid;
    QString defaultInterface;
    QStringList furtherInterfaces;
    QString eventInterface; // empty when the class has none

    bool implements(const QString &interfaceName) const
    {
        return defaultInterface == interfaceName || furtherInterfaces.contains(interfaceName);
    }
};

// A type library the library refers to, and what the library takes from it.
struct Reference
{
    QString name;
    QString provides;
};

struct TypeLibrary
{
    QString name;
    QUuid libId;
    quint16 majorVersion = 0;
    quint16 minorVersion = 0;
    quint32 lcid = 0;
    QList<Reference> references;
    QList<Interface> interfaces;
    QList<CoClass> classes;

    QString version() const { return QStringLiteral("%1.%2").arg(majorVersion).arg(minorVersion); }
    // A class's programmatic identifier: the library's name, a point and the class's ("Veltrane.Service").
    QString progId(const CoClass &coClass) const { return name + QLatin1Char('.') + coClass.name; }
    const Interface *interface(const QString &name) const;
    const CoClass *coClass(const QString &name) const;
    // Every member an object of the class answers late-bound: its default interface's, then those of
    // its further interfaces.
    automation::DispatchTable dispatchTable(const CoClass &coClass) const;
};

// Helpers for writing a type library in code.
inline automation::Parameter value(automation::Type type, const QString &typeName = {})
{
    return automation::Parameter{{}, type, typeName, false};
}
inline automation::Parameter byRef(const QString &name, automation::Type type, const QString &typeName = {})
{
    return automation::Parameter{name, type, typeName, true};
}
inline automation::Member method(const QString &name, qint32 dispId, QList<automation::Parameter> arguments = {},
                                 automation::Parameter result = {})
{
    return automation::Member{name, automation::CallKind::Method, dispId, std::move(arguments), std::move(result), {}};
}
inline automation::Member get(const QString &name, qint32 dispId, automation::Parameter result)
{
    return automation::Member{name, automation::CallKind::PropertyGet, dispId, {}, std::move(result), {}};
}
inline automation::Member put(const QString &name, qint32 dispId, automation::Parameter argument)
{
    return automation::Member{name, automation::CallKind::PropertyPut, dispId, {std::move(argument)}, {}, {}};
}
// An interface of library with its identifier as text ("{4D07FF62-...}"); its members name it.
Interface dispatchInterface(const QString &library, const QString &name, const char *iid,
                            QList<automation::Member> members = {});

// The type library as text, as `veltrane typelib` prints it.
QString describe(const TypeLibrary &library);

// The type library as the registry keeps it, and back; nullopt for an object that is none.
QJsonObject toJson(const TypeLibrary &library);
std::optional<TypeLibrary> typeLibraryFrom(const QJsonObject &object);

} // namespace veltrane::typelib
