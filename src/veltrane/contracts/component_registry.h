#pragma once

// The component registry: which component library makes which class, under which programmatic
// identifier, and where the libraries' type libraries are. It is a folder of small JSON files that
// any program can read without loading a library (docs/automation.md gives the layout):
//
//   <dir>/clsid/{CLASS-ID}.json         a class: its library, threading model, type library
//   <dir>/progid/<prog.id>.json         a programmatic identifier (file name in lower case): its class
//   <dir>/typelib/{LIB-ID}/<ver>.json   a type library version: its name, locale and library, and
//                                       its classes, interfaces, members and dispatch ids
//
// <dir> is "veltrane/components" under the XDG data folders: $XDG_DATA_HOME (default
// ~/.local/share) for the user, the first of $XDG_DATA_DIRS (default /usr/local/share) for the
// system. Look-ups search the user's folder first, then every system folder, so a user's entry wins.
// Each file is replaced atomically; registering and unregistering hold an exclusive lock on
// <dir>/.lock, so two processes registering at once do not interleave.

#include "veltrane/contracts/component_abi.h"
#include "veltrane/contracts/type_info.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

namespace veltrane::components {

enum class Scope { User, System };

struct ClassEntry
{
    QUuid clsid;
    QString className;
    QString progId;
    QString library; // absolute path of the component library
    QString threadingModel;
    QUuid typeLib;
    QString version;
    bool control = false;
};

struct TypeLibEntry
{
    QUuid libId;
    QString name;
    QString version;
    quint32 lcid = 0;
    QString library;
};

// Everything one component library registers: where it is, its classes, and its type information
// (what a host needs to call it without loading it).
struct Registration
{
    TypeLibEntry typeLib;
    QList<ClassEntry> classes;
    typelib::TypeLibrary types;
};

// A registered type library: its entry and, when the library registered them, its types.
struct RegisteredTypeLibrary
{
    TypeLibEntry entry;
    std::optional<typelib::TypeLibrary> types;
};

// The folder of a scope, and the folders look-ups search, the user's first.
QString registryFolder(Scope scope);
QStringList searchFolders();
// The scope registration writes to when the caller does not say: $VELTRANE_REGISTRY_SCOPE ("user"
// or "system") when set, otherwise the system for the superuser and the user for everyone else.
Scope defaultScope();

// Writes the entries, replacing entries of the same identifiers. Raises Error kRegistrationFailed
// when the folder cannot be written.
void registerComponents(const Registration &registration, Scope scope);
// Removes the library's entries: its classes, its type library version, and those of its
// programmatic identifiers that still name one of its classes. Other entries stay as they are.
void unregisterComponents(const Registration &registration, Scope scope);

// Look-ups across all folders; nullopt when nothing is registered.
std::optional<ClassEntry> findClass(const QUuid &clsid);
std::optional<QUuid> findProgId(const QString &progId);
std::optional<TypeLibEntry> findTypeLib(const QUuid &libId, const QString &version);
// Every registered type library version, the user's entry first where both scopes have one.
QList<RegisteredTypeLibrary> registeredTypeLibraries();

VtGuid toGuid(const QUuid &id);
QUuid fromGuid(const VtGuid &guid);
QString guidText(const QUuid &id); // {XXXXXXXX-...}, upper case

} // namespace veltrane::components
