#include "veltrane/contracts/type_info.h"

#include <QJsonArray>
#include <QTextStream>

namespace veltrane::typelib {

using automation::CallKind;
using automation::Member;
using automation::Parameter;
using automation::Type;

namespace {

QString guid(const QUuid &id)
{
    return id.toString(QUuid::WithBraces).toUpper();
}

QString hex(quint32 n)
{
    return QStringLiteral("0x%1").arg(n, 8, 16, QLatin1Char('0'));
}

QString signature(const Member &m)
{
    QStringList arguments;
    for (const Parameter &p : m.arguments)
        arguments << (p.name.isEmpty() ? QString() : p.name + QLatin1String(": ")) + automation::typeText(p) +
                         (p.byRef ? QLatin1String(", by reference") : QLatin1String(""));
    QString text = m.name + QLatin1Char('(') + arguments.join(QLatin1String("; ")) + QLatin1Char(')');
    if (m.result.type != Type::Void)
        text += QLatin1String(": ") + automation::typeText(m.result);
    return text;
}

// The names the registry spells kinds and types with; a name's position is its value.
const char *const kTypeNames[] = {"void", "boolean", "int16",  "int32",     "double",
                                  "text", "variant", "object", "collection"};
const char *const kCallNames[] = {"method", "get", "put"};
const char *const kClassKindNames[] = {"object", "control"};

template <typename E, std::size_t N> QString nameOf(E value, const char *const (&names)[N])
{
    // A value added to its enum without a name here is written as its number, not read past the names.
    const auto at = std::size_t(value);
    return at < N ? QString(QLatin1String(names[at])) : QString::number(at);
}

template <typename E, std::size_t N> std::optional<E> valueOf(const QJsonValue &text, const char *const (&names)[N])
{
    for (std::size_t i = 0; i < N; ++i)
        if (text.toString() == QLatin1String(names[i]))
            return E(i);
    return std::nullopt;
}

QJsonObject toJson(const Parameter &p)
{
    QJsonObject o{{"type", nameOf(p.type, kTypeNames)}};
    if (!p.name.isEmpty())
        o.insert(QStringLiteral("name"), p.name);
    if (!p.typeName.isEmpty())
        o.insert(QStringLiteral("typeName"), p.typeName);
    if (p.byRef)
        o.insert(QStringLiteral("byRef"), true);
    return o;
}

std::optional<Parameter> parameterFrom(const QJsonValue &value)
{
    const QJsonObject o = value.toObject();
    const auto type = valueOf<Type>(o.value(QStringLiteral("type")), kTypeNames);
    if (!type)
        return std::nullopt;
    return Parameter{o.value(QStringLiteral("name")).toString(), *type, o.value(QStringLiteral("typeName")).toString(),
                     o.value(QStringLiteral("byRef")).toBool()};
}

// "0x60030001" and the like.
quint32 hexValue(const QJsonValue &value, bool *ok)
{
    QString text = value.toString();
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text.remove(0, 2);
    return text.toUInt(ok, 16);
}

QStringList stringsFrom(const QJsonValue &value)
{
    QStringList out;
    for (const QJsonValue &v : value.toArray())
        out << v.toString();
    return out;
}

} // namespace

Interface dispatchInterface(const QString &library, const QString &name, const char *iid, QList<Member> members)
{
    for (Member &m : members)
        m.interfaceName = name;
    return Interface{name, QUuid(QLatin1String(iid)), library, std::move(members)};
}

const Interface *TypeLibrary::interface(const QString &name) const
{
    for (const Interface &i : interfaces)
        if (i.name == name)
            return &i;
    return nullptr;
}

const CoClass *TypeLibrary::coClass(const QString &name) const
{
    for (const CoClass &c : classes)
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

automation::DispatchTable TypeLibrary::dispatchTable(const CoClass &coClass) const
{
    automation::DispatchTable table{coClass.name, {}};
    for (const QString &name : QStringList{coClass.defaultInterface} + coClass.furtherInterfaces)
        if (const Interface *i = interface(name))
            table.members += i->members;
    return table;
}

QString describe(const TypeLibrary &library)
{
    QString text;
    QTextStream out(&text);
    const auto iidOf = [&library](const QString &name) {
        const Interface *i = library.interface(name);
        return i ? guid(i->iid) : QStringLiteral("(not described)");
    };
    out << "Type library " << library.name << ' ' << guid(library.libId) << ", version " << library.version()
        << ", locale " << QStringLiteral("0x%1").arg(library.lcid, 3, 16, QLatin1Char('0')) << '\n';
    out << "References:\n";
    for (const Reference &r : library.references)
        out << "  " << r.name << ": " << r.provides << '\n';

    out << "\nClasses:\n";
    for (const CoClass &c : library.classes) {
        out << "  " << c.name << " (" << (c.kind == ClassKind::Control ? "control" : "creatable object") << ") "
            << guid(c.clsid) << ", " << library.progId(c) << '\n';
        out << "    default interface: " << c.defaultInterface << ' ' << iidOf(c.defaultInterface) << '\n';
        for (const QString &f : c.furtherInterfaces)
            out << "    further interface: " << f << ' ' << iidOf(f) << '\n';
        if (!c.eventInterface.isEmpty())
            out << "    event interface:   " << c.eventInterface << ' ' << iidOf(c.eventInterface) << " (no events)\n";
    }

    out << "\nInterfaces:\n";
    for (const Interface &i : library.interfaces) {
        out << "  " << i.name << ' ' << guid(i.iid);
        if (i.library != library.name)
            out << " (" << i.library << ')';
        out << '\n';
        if (i.members.isEmpty())
            out << "    (no members)\n";
        for (const Member &m : i.members)
            out << "    " << hex(quint32(m.dispId)) << "  " << qSetFieldWidth(13) << Qt::left
                << automation::kindText(m.kind) << qSetFieldWidth(0) << signature(m) << '\n';
    }
    return text;
}

QJsonObject toJson(const TypeLibrary &library)
{
    QJsonArray references;
    for (const Reference &r : library.references)
        references.append(QJsonObject{{"name", r.name}, {"provides", r.provides}});
    QJsonArray interfaces;
    for (const Interface &i : library.interfaces) {
        QJsonArray members;
        for (const Member &m : i.members) {
            QJsonArray arguments;
            for (const Parameter &p : m.arguments)
                arguments.append(toJson(p));
            members.append(QJsonObject{{"name", m.name},
                                       {"kind", nameOf(m.kind, kCallNames)},
                                       {"dispId", hex(quint32(m.dispId))},
                                       {"arguments", arguments},
                                       {"result", toJson(m.result)}});
        }
        interfaces.append(
            QJsonObject{{"name", i.name}, {"iid", guid(i.iid)}, {"library", i.library}, {"members", members}});
    }
    QJsonArray classes;
    for (const CoClass &c : library.classes)
        classes.append(QJsonObject{{"name", c.name},
                                   {"kind", nameOf(c.kind, kClassKindNames)},
                                   {"clsid", guid(c.clsid)},
                                   {"progId", library.progId(c)},
                                   {"defaultInterface", c.defaultInterface},
                                   {"furtherInterfaces", QJsonArray::fromStringList(c.furtherInterfaces)},
                                   {"eventInterface", c.eventInterface}});
    return {{"name", library.name},
            {"libId", guid(library.libId)},
            {"version", library.version()},
            {"lcid", QStringLiteral("0x%1").arg(library.lcid, 0, 16)},
            {"references", references},
            {"interfaces", interfaces},
            {"classes", classes}};
}

std::optional<TypeLibrary> typeLibraryFrom(const QJsonObject &o)
{
    TypeLibrary lib;
    lib.name = o.value(QStringLiteral("name")).toString();
    lib.libId = QUuid(o.value(QStringLiteral("libId")).toString());
    const QStringList version = o.value(QStringLiteral("version")).toString().split(QLatin1Char('.'));
    bool majorOk = false, minorOk = false, lcidOk = false;
    lib.majorVersion = quint16(version.value(0).toUInt(&majorOk));
    lib.minorVersion = quint16(version.value(1).toUInt(&minorOk));
    lib.lcid = hexValue(o.value(QStringLiteral("lcid")), &lcidOk);
    if (lib.name.isEmpty() || lib.libId.isNull() || version.size() != 2 || !majorOk || !minorOk || !lcidOk)
        return std::nullopt;
    for (const QJsonValue &v : o.value(QStringLiteral("references")).toArray())
        lib.references.append({v[QStringLiteral("name")].toString(), v[QStringLiteral("provides")].toString()});
    for (const QJsonValue &v : o.value(QStringLiteral("interfaces")).toArray()) {
        Interface i{v[QStringLiteral("name")].toString(),
                    QUuid(v[QStringLiteral("iid")].toString()),
                    v[QStringLiteral("library")].toString(),
                    {}};
        for (const QJsonValue &m : v[QStringLiteral("members")].toArray()) {
            const auto kind = valueOf<CallKind>(m[QStringLiteral("kind")], kCallNames);
            const auto result = parameterFrom(m[QStringLiteral("result")]);
            bool idOk = false;
            const qint32 dispId = qint32(hexValue(m[QStringLiteral("dispId")], &idOk));
            if (!kind || !result || !idOk)
                return std::nullopt;
            Member member{m[QStringLiteral("name")].toString(), *kind, dispId, {}, *result, i.name};
            for (const QJsonValue &a : m[QStringLiteral("arguments")].toArray()) {
                const auto argument = parameterFrom(a);
                if (!argument)
                    return std::nullopt;
                member.arguments.append(*argument);
            }
            i.members.append(member);
        }
        lib.interfaces.append(i);
    }
    for (const QJsonValue &v : o.value(QStringLiteral("classes")).toArray()) {
        const auto kind = valueOf<ClassKind>(v[QStringLiteral("kind")], kClassKindNames);
        if (!kind)
            return std::nullopt;
        lib.classes.append({v[QStringLiteral("name")].toString(), *kind, QUuid(v[QStringLiteral("clsid")].toString()),
                            v[QStringLiteral("defaultInterface")].toString(),
                            stringsFrom(v[QStringLiteral("furtherInterfaces")]),
                            v[QStringLiteral("eventInterface")].toString()});
    }
    return lib;
}

} // namespace veltrane::typelib
