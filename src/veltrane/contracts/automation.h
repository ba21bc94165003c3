#pragma once

// Late binding: calling a member of an object by name or by dispatch id, as hosts of components
// do. A class describes its public surface once, in a dispatch table; calls are checked against
// that table (member, argument count, argument types) and carried out through the Qt meta-object
// system, so a class implements its members as ordinary Q_INVOKABLEs and Q_PROPERTYs:
//
//   method                 a Q_INVOKABLE of the member's name
//   property get / put     a Q_PROPERTY of the member's name (READ / WRITE)
//   argument by reference  a non-const lvalue reference parameter: the callee writes the caller's value
//   object                 veltrane::ObjectPtr (an object the callee keeps owning may be a QObject pointer)
//   collection             veltrane::CollectionPtr
//   16-bit, 32-bit, Boolean, double, text, any value
//                          qint16, qint32, bool, double, QString, QVariant
//
// docs/automation.md describes it for host developers.

#include "veltrane/contracts/error.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

class QObject;
struct QMetaObject;

namespace veltrane::automation {

enum class CallKind { Method, PropertyGet, PropertyPut };

// The types that cross a dispatch interface.
enum class Type : quint8 { Void, Boolean, Int16, Int32, Double, Text, Variant, Object, Collection };

// One argument or a result. For an object or a collection, typeName names the class as the type
// library does ("AnalysisParameter", "Collection"); an object argument must be of that class (or
// nothing).
struct Parameter
{
    QString name;
    Type type = Type::Void;
    QString typeName;
    bool byRef = false;
};

struct Member
{
    QString name;
    CallKind kind = CallKind::Method;
    qint32 dispId = 0;
    QList<Parameter> arguments; // a property put has one: the value
    Parameter result;           // Void for a method without result and for a property put
    QString interfaceName;      // the interface that declares the member ("_Service", "IPageAccess")
};

// Every member a class answers to late-bound, whichever of its interfaces declares it. Names are
// unique without regard to case per kind; dispatch ids are unique per kind.
struct DispatchTable
{
    QString className;
    QList<Member> members;
};

// Makes objects of this class (and of classes derived from it that register nothing of their own)
// callable late-bound. Registering a class again replaces its table. Tables and the meta-objects
// they name must stay loaded for the rest of the process.
void registerDispatchTable(const QMetaObject *meta, DispatchTable table);

// The table that answers for objects of this class, or null when none is registered.
const DispatchTable *dispatchTable(const QMetaObject *meta);

// Calls a member by name (without regard to case) or by dispatch id. Arguments passed by reference
// are written back into args. A property put takes the value as its one argument and answers an
// invalid QVariant; a method without result does too.
//
// Raises Error: kDispMemberNotFound for an unknown name or id (or one the class does not
// implement), kDispBadParamCount for a wrong number of arguments, kDispTypeMismatch for an argument
// that does not convert to its type. Errors the member raises pass through unchanged.
QVariant call(QObject *object, const QString &member, QVariantList &args, CallKind kind = CallKind::Method);
QVariant call(QObject *object, qint32 dispId, QVariantList &args, CallKind kind = CallKind::Method);

// Convenience for calls without by-reference arguments.
inline QVariant call(QObject *object, const QString &member, QVariantList &&args = {}, CallKind kind = CallKind::Method)
{
    return call(object, member, args, kind);
}
inline QVariant call(QObject *object, qint32 dispId, QVariantList &&args = {}, CallKind kind = CallKind::Method)
{
    return call(object, dispId, args, kind);
}

// Where the class and its table disagree: a member the class does not implement under its name
// with the table's signature, or a public Q_INVOKABLE or Q_PROPERTY the class declares itself that
// the table lacks. Empty when they agree.
QStringList disagreements(const QMetaObject *meta);

// "method", "property get", "property put"; and a type as the type library shows it.
QString kindText(CallKind kind);
QString typeText(const Parameter &parameter);

} // namespace veltrane::automation
