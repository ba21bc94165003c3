#include "veltrane/contracts/automation.h"

#include "veltrane/contracts/dispatch_entry.h"
#include "veltrane/contracts/dispatch_error.h"
#include "veltrane/contracts/keyed_collection.h"

#include <QMetaProperty>
#include <QVarLengthArray>
#include <optional>
#include <type_traits>

// Calls by name or dispatch id: the arguments converted to the member's C++ types, and the member
// called through the meta-object.

namespace veltrane::automation {

namespace {

QString kindNoun(CallKind kind)
{
    switch (kind) {
    case CallKind::Method:
        return QStringLiteral("method");
    case CallKind::PropertyGet:
        return QStringLiteral("readable property");
    case CallKind::PropertyPut:
        return QStringLiteral("writable property");
    }
    return {};
}

bool isIntegral(int id)
{
    switch (id) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

bool isNumber(int id)
{
    return isIntegral(id) || id == QMetaType::Double || id == QMetaType::Float;
}

bool classIs(const QObject *object, const QString &typeName)
{
    for (const QMetaObject *m = object->metaObject(); m; m = m->superClass()) {
        const QLatin1String name(m->className());
        const qsizetype colon = name.lastIndexOf(QLatin1Char(':'));
        if ((colon < 0 ? name : name.sliced(colon + 1)) == typeName)
            return true;
    }
    return false;
}

// The value a caller passed, as the C++ type the member takes; nullopt when it does not convert.
std::optional<QVariant> convert(const QVariant &v, const Parameter &p, QMetaType cpp, QString &why)
{
    const int id = v.metaType().id();
    switch (p.type) {
    case Type::Void:
        break;
    case Type::Boolean:
        if (id == QMetaType::Bool)
            return v;
        if (isNumber(id))
            return QVariant(v.toDouble() != 0);
        break;
    case Type::Int16:
    case Type::Int32: {
        if (!isNumber(id))
            break;
        const double d = v.toDouble();
        const double low = p.type == Type::Int16 ? -32768.0 : -2147483648.0;
        const double high = p.type == Type::Int16 ? 32767.0 : 2147483647.0;
        if (d != qint64(d) || d < low || d > high) {
            why = QStringLiteral("%1 does not fit %2").arg(v.toString(), typeText(p));
            return std::nullopt;
        }
        if (p.type == Type::Int16)
            return QVariant::fromValue(qint16(d));
        return QVariant::fromValue(qint32(d));
    }
    case Type::Double:
        if (isNumber(id))
            return QVariant(v.toDouble());
        break;
    case Type::Text:
        if (id == QMetaType::QString)
            return v;
        break;
    case Type::Variant:
        return v;
    case Type::Object: {
        // Nothing is a valid object argument; a borrowed pointer only where the member borrows.
        QObject *object = nullptr;
        ObjectPtr shared;
        if (v.metaType() == QMetaType::fromType<ObjectPtr>()) {
            shared = v.value<ObjectPtr>();
            object = shared.data();
        } else if (isObjectPointer(v.metaType()) && isObjectPointer(cpp)) {
            object = v.value<QObject *>();
        } else if (v.isValid()) {
            break;
        }
        if (object && !p.typeName.isEmpty() && !classIs(object, p.typeName)) {
            why =
                QStringLiteral("a %1 is no %2").arg(QString::fromLatin1(object->metaObject()->className()), p.typeName);
            return std::nullopt;
        }
        if (cpp == QMetaType::fromType<ObjectPtr>())
            return QVariant::fromValue(shared);
        QVariant raw(cpp);
        *static_cast<QObject **>(raw.data()) = object;
        return raw;
    }
    case Type::Collection:
        if (!v.isValid())
            return QVariant::fromValue(CollectionPtr());
        if (v.metaType() == QMetaType::fromType<CollectionPtr>())
            return v;
        break;
    }
    why = QStringLiteral("%1 is not %2")
              .arg(v.isValid() ? QString::fromLatin1(v.typeName()) : QStringLiteral("nothing"), typeText(p));
    return std::nullopt;
}

// Where metacall finds a value of this type: in the variant, or the variant itself for QVariant. Only
// a by-reference argument is written to, so only its variant needs a value of its own.
void *slot(QVariant &storage, QMetaType type, bool written)
{
    if (type.id() == QMetaType::QVariant)
        return &storage;
    return written ? storage.data() : const_cast<void *>(std::as_const(storage).constData());
}

// The call itself, once argv points at every argument: argv[0] is left for the result.
QVariant perform(QObject *object, const Entry &entry, const Member &m, const Binding &b, void **argv)
{
    switch (m.kind) {
    case CallKind::Method: {
        // Plain results come back on the stack; the others in a variant of their own type.
        const auto plain = [&](auto value) {
            argv[0] = &value;
            QMetaObject::metacall(object, QMetaObject::InvokeMetaMethod, b.methodIndex, argv);
            if constexpr (std::is_same_v<decltype(value), qint16>)
                return QVariant::fromValue(value);
            else
                return QVariant(value); // the variant's own constructor: no look-up of the type's operations
        };
        switch (m.result.type) {
        case Type::Boolean:
            return plain(false);
        case Type::Int16:
            return plain(qint16(0));
        case Type::Int32:
            return plain(qint32(0));
        case Type::Double:
            return plain(0.0);
        default:
            break;
        }
        QVariant result;
        if (m.result.type != Type::Void && m.result.type != Type::Variant)
            result = QVariant(b.resultType);
        argv[0] = m.result.type != Type::Void ? slot(result, b.resultType, true) : nullptr;
        QMetaObject::metacall(object, QMetaObject::InvokeMetaMethod, b.methodIndex, argv);
        return result;
    }
    case CallKind::PropertyGet:
        return entry.meta->property(b.propertyIndex).read(object);
    case CallKind::PropertyPut: {
        const QMetaType type = b.argumentTypes.front();
        // argv[1] is where slot() found the value: the variant itself for a QVariant property.
        const QVariant value =
            type.id() == QMetaType::QVariant ? *static_cast<const QVariant *>(argv[1]) : QVariant(type, argv[1]);
        entry.meta->property(b.propertyIndex).write(object, value);
        return {};
    }
    }
    return {};
}

Q_DECL_COLD_FUNCTION Error notImplemented(const Entry &entry, const Member &m, const Binding &b)
{
    return dispatchError(kDispMemberNotFound, entry.table.className,
                         QStringLiteral("%1 %2 is not implemented (%3)").arg(kindText(m.kind), m.name, b.problem));
}

Q_DECL_COLD_FUNCTION Error badCount(const Entry &entry, const Member &m, qsizetype given)
{
    return dispatchError(
        kDispBadParamCount, entry.table.className,
        QStringLiteral("%1 takes %2 argument(s), not %3").arg(m.name).arg(m.arguments.size()).arg(given));
}

// A call with an argument to convert first. Every argument converts before any is touched; then
// by-reference ones take the caller's place, so that the member writes the caller's own value.
QVariant performConverted(QObject *object, const Entry &entry, const Member &m, const Binding &b, QVariant *values,
                          qsizetype count)
{
    QVarLengthArray<QVariant, 4> byValue(count);
    QVarLengthArray<bool, 4> inPlace(count);
    for (qsizetype i = 0; i < count; ++i) {
        const QMetaType cpp = b.argumentTypes[std::size_t(i)];
        inPlace[i] = b.usedInPlace[std::size_t(i)] && values[i].metaType() == cpp;
        if (inPlace[i])
            continue;
        QString why;
        const Parameter &p = m.arguments.at(i);
        std::optional<QVariant> converted = convert(values[i], p, cpp, why);
        if (!converted)
            throw dispatchError(kDispTypeMismatch, entry.table.className,
                                QStringLiteral("argument %1 (%2) of %3: %4").arg(i + 1).arg(p.name, m.name, why));
        byValue[i] = std::move(*converted);
    }
    QVarLengthArray<void *, 5> argv(count + 1);
    for (qsizetype i = 0; i < count; ++i) {
        const bool byRef = b.byRef[std::size_t(i)];
        QVariant *storage = &values[i];
        if (!inPlace[i]) {
            storage = &byValue[i];
            if (byRef) {
                values[i] = std::move(byValue[i]);
                storage = &values[i];
            }
        }
        argv[i + 1] = slot(*storage, b.argumentTypes[std::size_t(i)], byRef);
    }
    return perform(object, entry, m, b, argv.data());
}

QVariant invoke(QObject *object, const Entry &entry, int index, QVariantList &args)
{
    const Member &m = entry.table.members.at(index);
    const Binding &b = entry.bindings[std::size_t(index)];
    if (!b.problem.isEmpty())
        throw notImplemented(entry, m, b);
    const qsizetype count = args.size();
    if (count != m.arguments.size())
        throw badCount(entry, m, count);
    QVariant *values = count ? args.data() : nullptr; // the caller's own, written by by-reference members
    // The usual call: every argument already of the member's type, used where it lies.
    QVarLengthArray<void *, 5> argv(count + 1);
    for (qsizetype i = 0; i < count; ++i) {
        const QMetaType cpp = b.argumentTypes[std::size_t(i)];
        if (!b.usedInPlace[std::size_t(i)] || values[i].metaType() != cpp)
            return performConverted(object, entry, m, b, values, count);
        argv[i + 1] = slot(values[i], cpp, b.byRef[std::size_t(i)]);
    }
    return perform(object, entry, m, b, argv.data());
}

QString noMember(const Entry &entry, CallKind kind, const QString &what)
{
    return QStringLiteral("%1 has no %2 %3").arg(entry.table.className, kindNoun(kind), what);
}

} // namespace

QVariant call(QObject *object, const QString &member, QVariantList &args, CallKind kind)
{
    const Entry *entry = requireEntry(object);
    const auto &names = entry->byName[kindIndex(kind)];
    const auto it = names.constFind(fold(member));
    if (it == names.cend())
        throw dispatchError(kDispMemberNotFound, entry->table.className,
                            noMember(*entry, kind, QLatin1Char('"') + member + QLatin1Char('"')));
    return invoke(object, *entry, *it, args);
}

QVariant call(QObject *object, qint32 dispId, QVariantList &args, CallKind kind)
{
    const Entry *entry = requireEntry(object);
    const int index = entry->findId(kind, dispId);
    if (index < 0)
        throw dispatchError(
            kDispMemberNotFound, entry->table.className,
            noMember(*entry, kind,
                     QStringLiteral("with dispatch id 0x%1").arg(quint32(dispId), 8, 16, QLatin1Char('0'))));
    return invoke(object, *entry, index, args);
}
} // namespace veltrane::automation
