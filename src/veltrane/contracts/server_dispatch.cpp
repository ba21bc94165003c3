#include "veltrane/contracts/automation.h"
#include "veltrane/contracts/dispatch_error.h"
#include "veltrane/contracts/server_object.h"

#include <QMetaMethod>
#include <QMetaProperty>
#include <QVarLengthArray>
#include <optional>

// Late binding of the server's objects: names to dispatch ids, and calls by id, through the class's
// dispatch table where it has one and through its meta-object where it has none.

namespace veltrane::components {

namespace {

using automation::CallKind;

// The dispatch ids of a class without a dispatch table: its properties and its public methods and
// slots, by their place in the meta-object.
constexpr qint32 kPropertyIds = 0x00100000;
constexpr qint32 kMethodIds = 0x00200000;
constexpr qint32 kIdRange = 0x00100000;

const automation::Member *tableMember(const automation::DispatchTable &table, qint32 dispId, CallKind kind)
{
    for (const automation::Member &m : table.members)
        if (m.dispId == dispId && m.kind == kind)
            return &m;
    return nullptr;
}

int propertyNamed(const QMetaObject *meta, const QString &name)
{
    const int exact = meta->indexOfProperty(name.toLatin1().constData());
    if (exact >= 0)
        return exact;
    for (int i = 0; i < meta->propertyCount(); ++i)
        if (QLatin1String(meta->property(i).name()).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool callable(const QMetaMethod &m)
{
    return m.access() == QMetaMethod::Public &&
           (m.methodType() == QMetaMethod::Method || m.methodType() == QMetaMethod::Slot);
}

int methodNamed(const QMetaObject *meta, const QString &name, int arguments = -1)
{
    for (int i = meta->methodCount() - 1; i >= 0; --i) {
        const QMetaMethod m = meta->method(i);
        if (callable(m) && QLatin1String(m.name()).compare(name, Qt::CaseInsensitive) == 0 &&
            (arguments < 0 || m.parameterCount() == arguments))
            return i;
    }
    return -1;
}

void putAbi(const QVariant &value, VtVariant &out, const QString &source)
{
    QString why;
    VtVariantClear(&out);
    if (!toAbi(value, out, why))
        throw dispatchError(kDispTypeMismatch, source, why);
}

// A member of a class with a dispatch table; by-reference arguments go back into args.
QVariant callTable(QObject *object, const automation::DispatchTable &table, qint32 dispId, quint32 flags,
                   QVariantList &list, VtVariant *args)
{
    CallKind kind = (flags & VT_INVOKE_PROPERTYPUT) ? CallKind::PropertyPut
                    : (flags & VT_INVOKE_METHOD)    ? CallKind::Method
                                                    : CallKind::PropertyGet;
    if (kind == CallKind::Method && (flags & VT_INVOKE_PROPERTYGET) && !tableMember(table, dispId, kind))
        kind = CallKind::PropertyGet;
    const QVariant answer = automation::call(object, dispId, list, kind);
    if (const automation::Member *m = tableMember(table, dispId, kind))
        for (qsizetype i = 0; i < m->arguments.size() && i < list.size(); ++i)
            if (m->arguments.at(i).byRef)
                putAbi(list.at(i), args[i], table.className);
    return answer;
}

// The value an argument gives a parameter of a plain Qt method, or nullopt.
std::optional<QVariant> argumentFor(QVariant value, QMetaType type)
{
    if (type.id() == QMetaType::QVariant)
        return value;
    if (type.flags().testFlag(QMetaType::PointerToQObject)) {
        QObject *object = value.isValid() ? value.value<ObjectPtr>().data() : nullptr;
        if (value.isValid() && !object)
            return std::nullopt;
        QVariant raw(type);
        *static_cast<QObject **>(raw.data()) = object;
        return raw;
    }
    if (value.metaType() == QMetaType::fromType<ObjectPtr>() && type == QMetaType::fromType<ObjectPtr>())
        return value;
    if (!value.convert(type))
        return std::nullopt;
    return value;
}

// A member of a class without a dispatch table: a property or a public method or slot.
QVariant callMeta(QObject *object, qint32 dispId, quint32 flags, QVariantList &list)
{
    const QMetaObject *meta = object->metaObject();
    const QString className = QString::fromLatin1(meta->className());
    const auto notFound = [&] {
        return dispatchError(
            kDispMemberNotFound, className,
            QStringLiteral("no member with dispatch id 0x%1").arg(quint32(dispId), 8, 16, QLatin1Char('0')));
    };
    if (dispId >= kPropertyIds && dispId < kPropertyIds + kIdRange) {
        const QMetaProperty property = meta->property(dispId - kPropertyIds);
        if (!property.isValid())
            throw notFound();
        const bool put = flags & VT_INVOKE_PROPERTYPUT;
        if (list.size() != (put ? 1 : 0))
            throw dispatchError(kDispBadParamCount, className,
                                QStringLiteral("%1 takes %2 argument(s)").arg(QLatin1String(property.name())).arg(put));
        if (!put)
            return property.read(object);
        if (!property.isWritable() || !property.write(object, list.first()))
            throw dispatchError(kDispTypeMismatch, className,
                                QStringLiteral("%1 cannot be set to that value").arg(QLatin1String(property.name())));
        return {};
    }
    if (dispId < kMethodIds || dispId >= kMethodIds + kIdRange || !(flags & VT_INVOKE_METHOD))
        throw notFound();
    QMetaMethod method = meta->method(dispId - kMethodIds);
    if (!method.isValid() || !callable(method))
        throw notFound();
    if (method.parameterCount() != list.size()) {
        const int overload = methodNamed(meta, QString::fromLatin1(method.name()), int(list.size()));
        if (overload < 0)
            throw dispatchError(kDispBadParamCount, className,
                                QStringLiteral("%1 takes %2 argument(s), not %3")
                                    .arg(QString::fromLatin1(method.name()))
                                    .arg(method.parameterCount())
                                    .arg(list.size()));
        method = meta->method(overload);
    }
    QList<QVariant> values;
    QVarLengthArray<void *, 5> argv(list.size() + 1);
    for (int i = 0; i < list.size(); ++i) {
        std::optional<QVariant> v = argumentFor(list.at(i), method.parameterMetaType(i));
        if (!v)
            throw dispatchError(kDispTypeMismatch, className,
                                QStringLiteral("argument %1 of %2").arg(i + 1).arg(QString::fromLatin1(method.name())));
        values.append(std::move(*v));
    }
    for (int i = 0; i < list.size(); ++i)
        argv[i + 1] = method.parameterMetaType(i).id() == QMetaType::QVariant ? static_cast<void *>(&values[i])
                                                                              : values[i].data();
    const QMetaType returns = method.returnMetaType();
    QVariant result;
    if (returns.isValid() && returns.id() != QMetaType::Void && returns.id() != QMetaType::QVariant)
        result = QVariant(returns);
    argv[0] = returns.id() == QMetaType::QVariant ? static_cast<void *>(&result)
              : result.isValid()                  ? result.data()
                                                  : nullptr;
    QMetaObject::metacall(object, QMetaObject::InvokeMetaMethod, method.methodIndex(), argv.data());
    return result;
}
} // namespace

VtResult objectGetIDsOfNames(VtObject *self, const char *const *names, uint32_t count, int32_t *ids)
{
    if (!names || !ids || count == 0)
        return VT_E_POINTER;
    return guarded(nullptr, [&]() -> VtResult {
        const QObject *object = ServerObject::from(self)->require();
        const QMetaObject *meta = object->metaObject();
        const QString member = QString::fromUtf8(names[0]);
        QStringList arguments; // the member's argument names, in order
        ids[0] = -1;
        if (const automation::DispatchTable *table = automation::dispatchTable(meta)) {
            for (const automation::Member &m : table->members)
                if (m.name.compare(member, Qt::CaseInsensitive) == 0) {
                    ids[0] = m.dispId;
                    for (const automation::Parameter &p : m.arguments)
                        arguments << p.name;
                    break;
                }
        } else if (const int property = propertyNamed(meta, member); property >= 0) {
            ids[0] = kPropertyIds + property;
        } else if (const int method = methodNamed(meta, member); method >= 0) {
            ids[0] = kMethodIds + method;
            for (const QByteArray &name : meta->method(method).parameterNames())
                arguments << QString::fromLatin1(name);
        }
        bool known = ids[0] != -1;
        for (uint32_t i = 1; i < count; ++i) {
            qsizetype at = -1;
            for (qsizetype a = 0; a < arguments.size() && at < 0; ++a)
                if (arguments.at(a).compare(QString::fromUtf8(names[i]), Qt::CaseInsensitive) == 0)
                    at = a;
            ids[i] = qint32(at);
            known = known && at >= 0;
        }
        return known ? VT_S_OK : VT_DISP_E_UNKNOWNNAME;
    });
}

VtResult objectInvoke(VtObject *self, int32_t dispId, uint32_t flags, VtVariant *args, uint32_t argCount,
                      VtVariant *result, VtError *error)
{
    if (result)
        *result = VtVariant{};
    if (error)
        *error = VtError{};
    if (argCount > 0 && !args)
        return VT_E_POINTER;
    return guarded(error, [&]() -> VtResult {
        QObject *object = ServerObject::from(self)->require();
        QVariantList list;
        list.reserve(qsizetype(argCount));
        for (uint32_t i = 0; i < argCount; ++i)
            list << fromAbi(args[i]);
        const automation::DispatchTable *table = automation::dispatchTable(object->metaObject());
        const QVariant answer =
            table ? callTable(object, *table, dispId, flags, list, args) : callMeta(object, dispId, flags, list);
        if (result)
            putAbi(answer, *result, QString::fromLatin1(object->metaObject()->className()));
        return VT_S_OK;
    });
}
} // namespace veltrane::components
