#include "veltrane/contracts/dispatch_entry.h"
#include "veltrane/contracts/keyed_collection.h"

#include <QMetaMethod>
#include <QMetaProperty>

// Resolving a dispatch table against its class: which Q_INVOKABLE or Q_PROPERTY answers each member,
// with which C++ types, and where the two disagree.

namespace veltrane::automation {

namespace {

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

} // namespace

Entry::Entry(const QMetaObject *m, DispatchTable t)
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
