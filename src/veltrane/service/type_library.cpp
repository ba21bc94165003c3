#include "veltrane/service/type_library.h"

#include "veltrane/contracts/vocabulary.h"

#include <QTextStream>

namespace veltrane::typelib {

using automation::CallKind;
using automation::Member;
using automation::Parameter;
using automation::Type;

namespace {

// The table is built while the library loads (its classes register their dispatch tables then), so
// it uses no namespace-scope strings of its own, whose construction might come later.
QString libraryName()
{
    return QStringLiteral("Veltrane");
}

QString pageFramework()
{
    return QStringLiteral("PageFramework");
}

QUuid id(const char *text)
{
    return QUuid(QLatin1String(text));
}

Parameter value(Type type, const QString &typeName = {})
{
    return Parameter{{}, type, typeName, false};
}

Parameter byRef(const QString &name, Type type, const QString &typeName = {})
{
    return Parameter{name, type, typeName, true};
}

Member method(const QString &name, qint32 dispId, QList<Parameter> arguments = {}, Parameter result = {})
{
    return Member{name, CallKind::Method, dispId, std::move(arguments), std::move(result), {}};
}

Member get(const QString &name, qint32 dispId, Parameter result)
{
    return Member{name, CallKind::PropertyGet, dispId, {}, std::move(result), {}};
}

Member put(const QString &name, qint32 dispId, Parameter argument)
{
    return Member{name, CallKind::PropertyPut, dispId, {std::move(argument)}, {}, {}};
}

Interface interface(const QString &name, const char *iid, QList<Member> members = {},
                    const QString &library = libraryName())
{
    for (Member &m : members)
        m.interfaceName = name;
    return Interface{name, id(iid), library, std::move(members)};
}

TypeLibrary build()
{
    const QString analysisParameter = types::kAnalysisParameter;
    const QString fragAnalysisParam = types::kFragAnalysisParam;

    TypeLibrary lib;
    lib.name = libraryName();
    lib.libId = id("{E30E1D33-CA34-4922-A44D-981536F3597C}");
    lib.majorVersion = 1;
    lib.minorVersion = 1;
    lib.lcid = 0x409;
    lib.references = {
        {QStringLiteral("stdole"), QStringLiteral("OLE Automation: the standard types")},
        {QStringLiteral("Collections"), QStringLiteral("the keyed Collection")},
        {pageFramework(), QStringLiteral("IServiceAccess, IPageAccess, ServiceBase, PageBase")},
        {QStringLiteral("BusinessObjects"), QStringLiteral("AnalysisParameter")},
        {QStringLiteral("BusinessObjectManager"), QStringLiteral("the keyed collections LoadCollection answers")},
        {QStringLiteral("FragmentAnalysisObjects"), QStringLiteral("FragAnalysisParam")},
    };

    lib.interfaces = {
        interface(
            QStringLiteral("_Service"), "{4D07FF62-3DBE-4F0C-918A-CE501C05C109}",
            {
                method(QStringLiteral("SelectAnalysisParameters"), 0x60030001),
                method(QStringLiteral("NewAnalysisParameter"), 0x60030002, {}, value(Type::Object, analysisParameter)),
            }),
        interface(
            QStringLiteral("_AnalysisParamPage"), "{BC2D004A-FB93-48E9-B08A-B94EFCD971A3}",
            {
                method(QStringLiteral("Initialize"), 0x60030007),
                method(QStringLiteral("GetPower"), 0x60030013, {byRef(QStringLiteral("sString"), Type::Text)},
                       value(Type::Int32)),
                method(QStringLiteral("FormatNotation"), 0x60030014,
                       {byRef(QStringLiteral("Index"), Type::Int16), byRef(QStringLiteral("sString"), Type::Text)},
                       value(Type::Text)),
                get(QStringLiteral("AnalysisParameter"), 0x68030000, value(Type::Object, analysisParameter)),
                method(QStringLiteral("RefreshView"), 0x60030057),
            }),
        interface(QStringLiteral("_SaveAsParamPage"), "{1632727C-EAB0-456A-9510-A7A116917933}"),
        interface(
            QStringLiteral("_SelectParamPage"), "{3FBBF188-0210-4C7F-B1C6-66AEE45A09B9}",
            {
                get(QStringLiteral("SelectedParameter"), 0x68030001, value(Type::Object, analysisParameter)),
                method(QStringLiteral("RefreshView"), 0x60030002, {byRef(QStringLiteral("sParamName"), Type::Text)}),
            }),
        interface(QStringLiteral("_SNPLocusTagSelector"), "{C6C4AA3B-563D-4B47-8121-143DAA62E3D3}",
                  {
                      get(QStringLiteral("AllLocusTags"), 0x68030001,
                          value(Type::Collection, QStringLiteral("BusinessObjectManager.Collection"))),
                      get(QStringLiteral("NumberOfSelectedLocusTags"), 0x68030005, value(Type::Int32)),
                      get(QStringLiteral("SelectedLocusTags"), 0x68030000,
                          value(Type::Collection, QStringLiteral("Collection"))),
                      method(QStringLiteral("Initialize"), snp_selector::kInitialize,
                             {byRef(QStringLiteral("oAnalysisParameter"), Type::Object, analysisParameter)}),
                      method(QStringLiteral("Save"), snp_selector::kSave,
                             {byRef(QStringLiteral("oFragAnalysisParam"), Type::Object, fragAnalysisParam)}),
                      put(QStringLiteral("Enabled"), 0x68030004,
                          Parameter{QStringLiteral("bValue"), Type::Boolean, {}, false}),
                      get(QStringLiteral("Enabled"), 0x68030004, value(Type::Boolean)),
                  }),
        interface(QStringLiteral("__AnalysisParamPage"), "{1F853CF3-EBDB-4F75-AF94-8FA6F06FE313}"),
        interface(QStringLiteral("__SaveAsParamPage"), "{3FAF077E-535A-40FC-B5EB-8DB1005B5C8F}"),
        interface(QStringLiteral("__SelectParamPage"), "{E287B90E-DAF7-4495-B903-E2474D9E6FB5}"),
        interface(QStringLiteral("__SNPLocusTagSelector"), "{429B19B8-63A0-4649-8248-3B7E48785792}"),
        // The page framework's interfaces, as the library's classes implement them. Their dispatch ids
        // are the framework's, clear of those of the library's own interfaces.
        interface(QStringLiteral("IServiceAccess"), "{816A3CA4-C3FF-488B-89CF-68F81834D5DD}",
                  {get(QStringLiteral("Service"), 0x60020000, value(Type::Object, QStringLiteral("ServiceBase")))},
                  pageFramework()),
        interface(QStringLiteral("IPageAccess"), "{93587343-9FFF-4F30-8780-CA783AAC6675}",
                  {get(QStringLiteral("Page"), 0x60020000, value(Type::Object, QStringLiteral("PageBase")))},
                  pageFramework()),
    };

    const QString pageAccess = QStringLiteral("IPageAccess");
    lib.classes = {
        {QStringLiteral("Service"),
         ClassKind::CreatableObject,
         id("{C8FE094E-FDC7-4B52-AE2E-CF582DB72750}"),
         QStringLiteral("_Service"),
         {QStringLiteral("IServiceAccess")},
         {}},
        {pages::kAnalysisParamPage,
         ClassKind::Control,
         id("{33740BFA-3592-4467-A13C-B9450FD5B63D}"),
         QStringLiteral("_AnalysisParamPage"),
         {pageAccess},
         QStringLiteral("__AnalysisParamPage")},
        {pages::kSaveAsParamPage,
         ClassKind::Control,
         id("{FEA3E9AA-F000-46AA-917F-97C4D2555AAE}"),
         QStringLiteral("_SaveAsParamPage"),
         {pageAccess},
         QStringLiteral("__SaveAsParamPage")},
        {pages::kSelectParamPage,
         ClassKind::Control,
         id("{8DA3BA8E-8719-4795-8B35-589F90606E4D}"),
         QStringLiteral("_SelectParamPage"),
         {pageAccess},
         QStringLiteral("__SelectParamPage")},
        // A control placed on a page, not a page: no IPageAccess.
        {QStringLiteral("SNPLocusTagSelector"),
         ClassKind::Control,
         id("{40923E03-0DFC-4C62-A4D0-2C0339A4FDE7}"),
         QStringLiteral("_SNPLocusTagSelector"),
         {},
         QStringLiteral("__SNPLocusTagSelector")},
    };
    return lib;
}

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

} // namespace

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

QList<const Interface *> TypeLibrary::ownInterfaces() const
{
    QList<const Interface *> out;
    for (const Interface &i : interfaces)
        if (i.library == name)
            out << &i;
    return out;
}

const TypeLibrary &typeLibrary()
{
    static const TypeLibrary library = build();
    return library;
}

QString describe(const TypeLibrary &library)
{
    QString text;
    QTextStream out(&text);
    out << "Type library " << library.name << ' ' << guid(library.libId) << ", version " << library.version()
        << ", locale " << QStringLiteral("0x%1").arg(library.lcid, 3, 16, QLatin1Char('0')) << '\n';
    out << "References:\n";
    for (const Reference &r : library.references)
        out << "  " << r.name << ": " << r.provides << '\n';

    out << "\nClasses:\n";
    for (const CoClass &c : library.classes) {
        out << "  " << c.name << " (" << (c.kind == ClassKind::Control ? "control" : "creatable object") << ") "
            << guid(c.clsid) << ", " << library.name << '.' << c.name << '\n';
        out << "    default interface: " << c.defaultInterface << ' '
            << guid(library.interface(c.defaultInterface)->iid) << '\n';
        for (const QString &f : c.furtherInterfaces)
            out << "    further interface: " << f << ' ' << guid(library.interface(f)->iid) << '\n';
        if (!c.eventInterface.isEmpty())
            out << "    event interface:   " << c.eventInterface << ' '
                << guid(library.interface(c.eventInterface)->iid) << " (no events)\n";
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

} // namespace veltrane::typelib
