#include "veltrane/contracts/automation.h"

#include "veltrane/contracts/keyed_collection.h"

#include <QHash>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QReadWriteLock>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

namespace veltrane::automation {

namespace {

constexpr int kKinds = 3;

int kindIndex(CallKind kind)
{
    return int(kind);
}

// Member names are plain ASCII almost always; folding them here spares the Unicode path on every
// call by name.
QString fold(const QString &name)
{
    bool upper = false;
    for (const QChar c : name) {
        if (c.unicode() >= 0x80)
            return name.toCaseFolded();
        upper |= c.unicode() >= 'A' && c.unicode() <= 'Z';
    }
    return upper ? name.toLower() : name;
}

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

Error dispatchError(ComponentError number, const QString &className, const QString &detail)
{
    return Error(number, className, componentErrorText(number) + QLatin1String(": ") + detail);
}

// The C++ type moc recorded for a parameter; by-reference parameters are recorded by name only.
void ensureTypeNames()
{
    static const bool registered = [] {
        qRegisterMetaType<ObjectPtr>("veltrane::ObjectPtr");
        qRegisterMetaType<ObjectPtr>("ObjectPtr");
        qRegisterMetaType<CollectionPtr>("veltrane::CollectionPtr");
        qRegisterMetaType<CollectionPtr>("CollectionPtr");
        return true;
    }();
    Q_UNUSED(registered);
}

struct CppType
{
    QMetaType type;
    bool byRef = false;
    QByteArray name;
};

CppType parameterType(const QMetaMethod &method, int index)
{
    CppType t;
    t.name = method.parameterTypeName(index);
    t.byRef = t.name.endsWith('&');
    t.type = method.parameterMetaType(index);
    if (!t.type.isValid()) {
        ensureTypeNames();
        t.type = QMetaType::fromName(t.byRef ? t.name.chopped(1) : t.name);
    }
    return t;
}

bool isObjectPointer(QMetaType t)
{
    return t.flags().testFlag(QMetaType::PointerToQObject);
}

// Whether a C++ type carries a type of the table.
bool carries(QMetaType cpp, Type type)
{
    switch (type) {
    case Type::Void:
        return !cpp.isValid() || cpp.id() == QMetaType::Void;
    case Type::Boolean:
        return cpp.id() == QMetaType::Bool;
    case Type::Int16:
        return cpp.id() == QMetaType::Short;
    case Type::Int32:
        return cpp.id() == QMetaType::Int;
    case Type::Double:
        return cpp.id() == QMetaType::Double;
    case Type::Text:
        return cpp.id() == QMetaType::QString;
    case Type::Variant:
        return cpp.id() == QMetaType::QVariant;
    case Type::Object:
        return cpp == QMetaType::fromType<ObjectPtr>() || isObjectPointer(cpp);
    case Type::Collection:
        return cpp == QMetaType::fromType<CollectionPtr>();
    }
    return false;
}

// One member of the table resolved against the class's meta-object.
struct Binding
{
    int methodIndex = -1;
    int propertyIndex = -1;
    std::vector<QMetaType> argumentTypes;
    // Per argument, whether a caller's value of the member's very type is used where it lies (not for
    // objects and variants, which are checked or taken as they are), and whether it is by reference.
    std::vector<char> usedInPlace, byRef;
    QMetaType resultType;
    QString problem; // why the class cannot answer the member; empty when it can
};

Binding bindMethod(const QMetaObject *meta, const Member &m)
{
    Binding b;
    QMetaMethod found;
    for (int i = meta->methodCount() - 1; i >= 0 && !found.isValid(); --i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Signal && method.access() == QMetaMethod::Public &&
            method.parameterCount() == m.arguments.size() && QLatin1String(method.name()) == m.name)
            found = method;
    }
    if (!found.isValid()) {
        b.problem =
            QStringLiteral("no public Q_INVOKABLE %1 taking %2 argument(s)").arg(m.name).arg(m.arguments.size());
        return b;
    }
    for (int i = 0; i < m.arguments.size(); ++i) {
        const Parameter &p = m.arguments.at(i);
        const CppType t = parameterType(found, i);
        if (!carries(t.type, p.type) || t.byRef != p.byRef) {
            b.problem = QStringLiteral("argument %1 (%2) is %3%4, but %5 takes %6")
                            .arg(i + 1)
                            .arg(p.name, typeText(p), p.byRef ? QStringLiteral(" by reference") : QString(),
                                 QString::fromLatin1(found.methodSignature()), QString::fromLatin1(t.name));
            return b;
        }
        b.argumentTypes.push_back(t.type);
    }
    b.resultType = found.returnMetaType();
    if (!carries(b.resultType, m.result.type)) {
        b.problem = QStringLiteral("the result is %1, but %2 answers %3")
                        .arg(typeText(m.result), QString::fromLatin1(found.methodSignature()),
                             QString::fromLatin1(b.resultType.name()));
        return b;
    }
    b.methodIndex = found.methodIndex();
    for (const Parameter &p : m.arguments) {
        b.usedInPlace.push_back(p.type != Type::Object && p.type != Type::Variant);
        b.byRef.push_back(p.byRef);
    }
    return b;
}

Binding bindProperty(const QMetaObject *meta, const Member &m)
{
    Binding b;
    const int index = meta->indexOfProperty(m.name.toLatin1().constData());
    const Parameter &value = m.kind == CallKind::PropertyGet ? m.result : m.arguments.value(0);
    const int expectedArguments = m.kind == CallKind::PropertyGet ? 0 : 1;
    if (index < 0) {
        b.problem = QStringLiteral("no Q_PROPERTY %1").arg(m.name);
        return b;
    }
    const QMetaProperty property = meta->property(index);
    if (m.arguments.size() != expectedArguments || (m.kind == CallKind::PropertyPut && m.result.type != Type::Void)) {
        b.problem = QStringLiteral("a %1 takes %2 argument(s) and answers %3")
                        .arg(kindText(m.kind))
                        .arg(expectedArguments)
                        .arg(m.kind == CallKind::PropertyGet ? QStringLiteral("the value") : QStringLiteral("nothing"));
        return b;
    }
    if (m.kind == CallKind::PropertyGet ? !property.isReadable() : !property.isWritable()) {
        b.problem = QStringLiteral("Q_PROPERTY %1 has no %2")
                        .arg(m.name, m.kind == CallKind::PropertyGet ? QLatin1String("READ") : QLatin1String("WRITE"));
        return b;
    }
    if (!carries(property.metaType(), value.type) || value.byRef) {
        b.problem = QStringLiteral("the value is %1, but Q_PROPERTY %2 is %3")
                        .arg(typeText(value), m.name, QString::fromLatin1(property.typeName()));
        return b;
    }
    b.propertyIndex = index;
    if (m.kind == CallKind::PropertyPut) {
        b.argumentTypes.push_back(property.metaType());
        b.usedInPlace.push_back(value.type != Type::Object && value.type != Type::Variant);
        b.byRef.push_back(false);
    } else
        b.resultType = property.metaType();
    return b;
}

// A registered table with its members resolved and indexed.
struct Entry
{
    const QMetaObject *meta = nullptr;
    DispatchTable table;
    std::vector<Binding> bindings;
    std::array<QHash<QString, int>, kKinds> byName;
    // (dispatch id, member) sorted by id: a class has tens of members, which a binary search over one
    // small array finds faster than a hash table does.
    std::array<std::vector<std::pair<qint32, int>>, kKinds> byId;

    // The member of this kind with this id, -1 when there is none.
    int findId(CallKind kind, qint32 dispId) const
    {
        const auto &ids = byId[kindIndex(kind)];
        const auto it = std::lower_bound(ids.begin(), ids.end(), std::pair<qint32, int>(dispId, -1));
        return it != ids.end() && it->first == dispId ? it->second : -1;
    }

    Entry(const QMetaObject *m, DispatchTable t)
        : meta(m)
        , table(std::move(t))
    {
        bindings.reserve(table.members.size());
        for (int i = 0; i < table.members.size(); ++i) {
            const Member &member = table.members.at(i);
            bindings.push_back(member.kind == CallKind::Method ? bindMethod(meta, member) : bindProperty(meta, member));
            byName[kindIndex(member.kind)].insert(fold(member.name), i);
            byId[kindIndex(member.kind)].emplace_back(member.dispId, i);
        }
        for (auto &ids : byId)
            std::sort(ids.begin(), ids.end());
    }
};

using EntryPtr = std::shared_ptr<const Entry>;

struct Registry
{
    QReadWriteLock lock;
    QHash<const QMetaObject *, DispatchTable> tables;
    // Per concrete class: the entry that answers for it, or null when none does.
    QHash<const QMetaObject *, EntryPtr> resolved;
    // Every entry ever made, so that a table handed out stays valid after its class registers anew.
    std::vector<EntryPtr> kept;
};

Registry &registry()
{
    // Never destroyed: objects may still be called while other libraries' statics go away.
    static Registry *r = new Registry;
    return *r;
}

EntryPtr entryFor(const QMetaObject *meta)
{
    Registry &r = registry();
    {
        QReadLocker read(&r.lock);
        if (auto it = r.resolved.constFind(meta); it != r.resolved.cend())
            return *it;
    }
    QWriteLocker write(&r.lock);
    if (auto it = r.resolved.constFind(meta); it != r.resolved.cend())
        return *it;
    EntryPtr entry;
    for (const QMetaObject *m = meta; m && !entry; m = m->superClass()) {
        if (auto own = r.resolved.constFind(m); own != r.resolved.cend() && *own)
            entry = *own;
        else if (auto table = r.tables.constFind(m); table != r.tables.cend()) {
            entry = r.resolved[m] = std::make_shared<const Entry>(m, *table);
            r.kept.push_back(entry);
        }
    }
    r.resolved.insert(meta, entry);
    return entry;
}

// Bumped by every registration, so that the per-thread memo below notices new tables.
std::atomic<quint64> g_generation{1};

// The entry of the class called last on this thread. Entries are kept for the life of the process,
// so the memo may hold a plain pointer; a call then costs no lock and no reference count.
struct LastEntry
{
    quint64 generation = 0;
    const QMetaObject *meta = nullptr;
    const Entry *entry = nullptr;
};
thread_local LastEntry t_last;

const Entry *requireEntry(QObject *object)
{
    if (!object)
        throw Error::objectNotSet(QStringLiteral("Automation"), QStringLiteral("no object to call"));
    const QMetaObject *meta = object->metaObject();
    const quint64 generation = g_generation.load(std::memory_order_acquire);
    if (t_last.meta == meta && t_last.generation == generation && t_last.entry)
        return t_last.entry;
    const EntryPtr entry = entryFor(meta);
    if (!entry)
        throw dispatchError(kDispMemberNotFound, QString::fromLatin1(object->metaObject()->className()),
                            QStringLiteral("the class has no dispatch table"));
    t_last = LastEntry{generation, meta, entry.get()};
    return entry.get();
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

void registerDispatchTable(const QMetaObject *meta, DispatchTable table)
{
    Registry &r = registry();
    QWriteLocker write(&r.lock);
    if (table.className.isEmpty())
        table.className = QString::fromLatin1(meta->className());
    r.tables.insert(meta, std::move(table));
    r.resolved.clear();
    g_generation.fetch_add(1, std::memory_order_acq_rel);
}

const DispatchTable *dispatchTable(const QMetaObject *meta)
{
    const EntryPtr entry = entryFor(meta);
    return entry ? &entry->table : nullptr;
}

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

QStringList disagreements(const QMetaObject *meta)
{
    QStringList out;
    const EntryPtr entry = entryFor(meta);
    if (!entry)
        return {QStringLiteral("%1 has no dispatch table").arg(QString::fromLatin1(meta->className()))};
    QHash<QString, int> listed; // name -> kinds listed, as bits
    for (int i = 0; i < entry->table.members.size(); ++i) {
        const Member &m = entry->table.members.at(i);
        listed[m.name] |= 1 << kindIndex(m.kind);
        if (!entry->bindings.at(std::size_t(i)).problem.isEmpty())
            out << QStringLiteral("%1 %2: %3")
                       .arg(kindText(m.kind), m.name, entry->bindings.at(std::size_t(i)).problem);
    }
    // The class's own public surface and that of its bases up to Qt's classes.
    for (const QMetaObject *m = meta; m && m->className()[0] != 'Q'; m = m->superClass()) {
        for (int i = m->methodOffset(); i < m->methodCount(); ++i) {
            const QMetaMethod method = m->method(i);
            if ((method.methodType() == QMetaMethod::Method || method.methodType() == QMetaMethod::Slot) &&
                method.access() == QMetaMethod::Public && !(listed.value(QString::fromLatin1(method.name())) & 1))
                out << QStringLiteral("Q_INVOKABLE %1 is not in the table")
                           .arg(QString::fromLatin1(method.methodSignature()));
        }
        for (int i = m->propertyOffset(); i < m->propertyCount(); ++i) {
            const QMetaProperty property = m->property(i);
            const int kinds = listed.value(QString::fromLatin1(property.name()));
            if (!property.isScriptable())
                continue;
            if (property.isReadable() && !(kinds & (1 << kindIndex(CallKind::PropertyGet))))
                out << QStringLiteral("Q_PROPERTY %1 (READ) is not in the table")
                           .arg(QString::fromLatin1(property.name()));
            if (property.isWritable() && !(kinds & (1 << kindIndex(CallKind::PropertyPut))))
                out << QStringLiteral("Q_PROPERTY %1 (WRITE) is not in the table")
                           .arg(QString::fromLatin1(property.name()));
        }
    }
    return out;
}

QString kindText(CallKind kind)
{
    switch (kind) {
    case CallKind::Method:
        return QStringLiteral("method");
    case CallKind::PropertyGet:
        return QStringLiteral("property get");
    case CallKind::PropertyPut:
        return QStringLiteral("property put");
    }
    return {};
}

QString typeText(const Parameter &parameter)
{
    switch (parameter.type) {
    case Type::Void:
        return QStringLiteral("none");
    case Type::Boolean:
        return QStringLiteral("Boolean");
    case Type::Int16:
        return QStringLiteral("16-bit integer");
    case Type::Int32:
        return QStringLiteral("32-bit integer");
    case Type::Double:
        return QStringLiteral("double");
    case Type::Text:
        return QStringLiteral("text");
    case Type::Variant:
        return QStringLiteral("any value");
    case Type::Object:
        return parameter.typeName.isEmpty() ? QStringLiteral("object") : parameter.typeName;
    case Type::Collection:
        return parameter.typeName.isEmpty() ? QStringLiteral("collection") : parameter.typeName;
    }
    return {};
}

} // namespace veltrane::automation
