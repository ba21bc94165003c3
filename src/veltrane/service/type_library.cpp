#include "veltrane/service/type_library.h"

#include "veltrane/contracts/vocabulary.h"

namespace veltrane::typelib {

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

Interface interface(const QString &name, const char *iid, QList<Member> members = {},
                    const QString &library = libraryName())
{
    return dispatchInterface(library, name, iid, std::move(members));
}

TypeLibrary build()
{
    const QString analysisParameter = types::kAnalysisParameter;
    const QString fragAnalysisParam = types::kFragAnalysisParam;

    TypeLibrary lib;
    lib.name = libraryName();
    lib.libId = QUuid(QLatin1String("{E30E1D33-CA34-4922-A44D-981536F3597C}"));
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
         QUuid(QLatin1String("{C8FE094E-FDC7-4B52-AE2E-CF582DB72750}")),
         QStringLiteral("_Service"),
         {QStringLiteral("IServiceAccess")},
         {}},
        {pages::kAnalysisParamPage,
         ClassKind::Control,
         QUuid(QLatin1String("{33740BFA-3592-4467-A13C-B9450FD5B63D}")),
         QStringLiteral("_AnalysisParamPage"),
         {pageAccess},
         QStringLiteral("__AnalysisParamPage")},
        {pages::kSaveAsParamPage,
         ClassKind::Control,
         QUuid(QLatin1String("{FEA3E9AA-F000-46AA-917F-97C4D2555AAE}")),
         QStringLiteral("_SaveAsParamPage"),
         {pageAccess},
         QStringLiteral("__SaveAsParamPage")},
        {pages::kSelectParamPage,
         ClassKind::Control,
         QUuid(QLatin1String("{8DA3BA8E-8719-4795-8B35-589F90606E4D}")),
         QStringLiteral("_SelectParamPage"),
         {pageAccess},
         QStringLiteral("__SelectParamPage")},
        // A control placed on a page, not a page: no IPageAccess.
        {QStringLiteral("SNPLocusTagSelector"),
         ClassKind::Control,
         QUuid(QLatin1String("{40923E03-0DFC-4C62-A4D0-2C0339A4FDE7}")),
         QStringLiteral("_SNPLocusTagSelector"),
         {},
         QStringLiteral("__SNPLocusTagSelector")},
    };
    return lib;
}

} // namespace

const TypeLibrary &typeLibrary()
{
    static const TypeLibrary library = build();
    return library;
}

} // namespace veltrane::typelib
