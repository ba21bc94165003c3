#pragma once

#include "veltrane/contracts/automation.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

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
    const Interface *interface(const QString &name) const;
    const CoClass *coClass(const QString &name) const;
    // Every member an object of the class answers late-bound: its default interface's, then those of
    // its further interfaces.
    automation::DispatchTable dispatchTable(const CoClass &coClass) const;
    // The library's own interfaces that a class names (default and event interfaces).
    QList<const Interface *> ownInterfaces() const;
};

// The library's public surface: its classes, their interfaces, members and dispatch ids.
const TypeLibrary &typeLibrary();

// The type library as text, as `veltrane typelib` prints it.
QString describe(const TypeLibrary &library);

} // namespace veltrane::typelib
