#pragma once

// What the library publishes, written out here by hand: the type library's identity, every class
// with its identifiers and interfaces, every member with its dispatch id. Hosts compiled against
// these values must keep working, so a test compares the code's type library (and the one the
// registry holds) with this table, not with the code's own constants.

#include "veltrane/contracts/type_info.h"

#include <QSet>
#include <QStringList>

namespace veltrane::test::published {

inline constexpr const char *kLibraryName = "Veltrane";
inline constexpr const char *kLibraryId = "{E30E1D33-CA34-4922-A44D-981536F3597C}";
inline constexpr const char *kVersion = "1.1";
inline constexpr quint32 kLocale = 0x409;

struct ClassRow
{
    const char *name;
    bool control;
    const char *clsid;
    const char *defaultInterface;
    const char *defaultIid;
    const char *further; // "" for none
    const char *furtherIid;
    const char *events; // "" for none
    const char *eventsIid;
};

inline constexpr ClassRow kClasses[] = {
    {"Service", false, "{C8FE094E-FDC7-4B52-AE2E-CF582DB72750}", "_Service", "{4D07FF62-3DBE-4F0C-918A-CE501C05C109}",
     "IServiceAccess", "{816A3CA4-C3FF-488B-89CF-68F81834D5DD}", "", ""},
    {"AnalysisParamPage", true, "{33740BFA-3592-4467-A13C-B9450FD5B63D}", "_AnalysisParamPage",
     "{BC2D004A-FB93-48E9-B08A-B94EFCD971A3}", "IPageAccess", "{93587343-9FFF-4F30-8780-CA783AAC6675}",
     "__AnalysisParamPage", "{1F853CF3-EBDB-4F75-AF94-8FA6F06FE313}"},
    {"SaveAsParamPage", true, "{FEA3E9AA-F000-46AA-917F-97C4D2555AAE}", "_SaveAsParamPage",
     "{1632727C-EAB0-456A-9510-A7A116917933}", "IPageAccess", "{93587343-9FFF-4F30-8780-CA783AAC6675}",
     "__SaveAsParamPage", "{3FAF077E-535A-40FC-B5EB-8DB1005B5C8F}"},
    {"SelectParamPage", true, "{8DA3BA8E-8719-4795-8B35-589F90606E4D}", "_SelectParamPage",
     "{3FBBF188-0210-4C7F-B1C6-66AEE45A09B9}", "IPageAccess", "{93587343-9FFF-4F30-8780-CA783AAC6675}",
     "__SelectParamPage", "{E287B90E-DAF7-4495-B903-E2474D9E6FB5}"},
    {"SNPLocusTagSelector", true, "{40923E03-0DFC-4C62-A4D0-2C0339A4FDE7}", "_SNPLocusTagSelector",
     "{C6C4AA3B-563D-4B47-8121-143DAA62E3D3}", "", "", "__SNPLocusTagSelector",
     "{429B19B8-63A0-4649-8248-3B7E48785792}"},
};

struct MemberRow
{
    const char *interface;
    const char *member;
    const char *kind; // "method", "property get", "property put"
    quint32 dispId;
};

inline constexpr MemberRow kMembers[] = {
    {"_Service", "SelectAnalysisParameters", "method", 0x60030001},
    {"_Service", "NewAnalysisParameter", "method", 0x60030002},
    {"_AnalysisParamPage", "Initialize", "method", 0x60030007},
    {"_AnalysisParamPage", "GetPower", "method", 0x60030013},
    {"_AnalysisParamPage", "FormatNotation", "method", 0x60030014},
    {"_AnalysisParamPage", "AnalysisParameter", "property get", 0x68030000},
    {"_AnalysisParamPage", "RefreshView", "method", 0x60030057},
    {"_SelectParamPage", "SelectedParameter", "property get", 0x68030001},
    {"_SelectParamPage", "RefreshView", "method", 0x60030002},
    {"_SNPLocusTagSelector", "AllLocusTags", "property get", 0x68030001},
    {"_SNPLocusTagSelector", "NumberOfSelectedLocusTags", "property get", 0x68030005},
    {"_SNPLocusTagSelector", "SelectedLocusTags", "property get", 0x68030000},
    {"_SNPLocusTagSelector", "Initialize", "method", 0x60030002},
    {"_SNPLocusTagSelector", "Save", "method", 0x60030003},
    {"_SNPLocusTagSelector", "Enabled", "property put", 0x68030004},
    {"_SNPLocusTagSelector", "Enabled", "property get", 0x68030004},
    {"IServiceAccess", "Service", "property get", 0x60020000},
    {"IPageAccess", "Page", "property get", 0x60020000},
};

// Where a type library differs from the table, one line each; empty when it publishes exactly it.
inline QStringList differences(const typelib::TypeLibrary &lib)
{
    QStringList out;
    const auto expect = [&out](const QString &what, const QString &is, const QString &published) {
        if (is != published)
            out << QStringLiteral("%1 is %2, published %3").arg(what, is, published);
    };
    const auto iidOf = [&lib](const QString &name) {
        const typelib::Interface *i = lib.interface(name);
        return i ? i->iid.toString(QUuid::WithBraces).toUpper() : QString();
    };
    expect(QStringLiteral("the name"), lib.name, QLatin1String(kLibraryName));
    expect(QStringLiteral("the library id"), lib.libId.toString(QUuid::WithBraces).toUpper(),
           QLatin1String(kLibraryId));
    expect(QStringLiteral("the version"), lib.version(), QLatin1String(kVersion));
    expect(QStringLiteral("the locale"), QString::number(lib.lcid, 16), QString::number(kLocale, 16));

    QStringList classes;
    for (const ClassRow &row : kClasses) {
        const QString name = QLatin1String(row.name);
        classes << name;
        const typelib::CoClass *c = lib.coClass(name);
        if (!c) {
            out << name + QStringLiteral(" is missing");
            continue;
        }
        expect(name + QStringLiteral(" control"), QString::number(c->kind == typelib::ClassKind::Control),
               QString::number(row.control));
        expect(name + QStringLiteral(" CLSID"), c->clsid.toString(QUuid::WithBraces).toUpper(),
               QLatin1String(row.clsid));
        expect(name + QStringLiteral(" default interface"), c->defaultInterface + iidOf(c->defaultInterface),
               QLatin1String(row.defaultInterface) + QLatin1String(row.defaultIid));
        const QStringList further =
            QLatin1String(row.further).isEmpty() ? QStringList() : QStringList{QLatin1String(row.further)};
        expect(name + QStringLiteral(" further interfaces"), c->furtherInterfaces.join(u' '), further.join(u' '));
        for (const QString &f : c->furtherInterfaces)
            expect(f + QStringLiteral(" IID"), iidOf(f), QLatin1String(row.furtherIid));
        expect(name + QStringLiteral(" event interface"), c->eventInterface + iidOf(c->eventInterface),
               QLatin1String(row.events) + QLatin1String(row.eventsIid));
    }
    for (const typelib::CoClass &c : lib.classes)
        if (!classes.contains(c.name))
            out << c.name + QStringLiteral(" is not published");

    QSet<QString> published, described;
    for (const MemberRow &m : kMembers)
        published << QStringLiteral("%1.%2 %3 0x%4")
                         .arg(QLatin1String(m.interface), QLatin1String(m.member), QLatin1String(m.kind))
                         .arg(m.dispId, 8, 16, QLatin1Char('0'));
    for (const typelib::Interface &i : lib.interfaces)
        for (const automation::Member &m : i.members)
            described << QStringLiteral("%1.%2 %3 0x%4")
                             .arg(i.name, m.name, automation::kindText(m.kind))
                             .arg(quint32(m.dispId), 8, 16, QLatin1Char('0'));
    for (const QString &m : published - described)
        out << m + QStringLiteral(" is missing");
    for (const QString &m : described - published)
        out << m + QStringLiteral(" is not published");
    out.sort();
    return out;
}

} // namespace veltrane::test::published
