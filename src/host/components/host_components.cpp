// The host's component library: the classes a program that does not link the library creates
// through the component registry to host it ("VeltraneHost.Session", and the STR locus tag selector
// the editor places on its STR tab), and the four entry points.

#include "host/components/session.h"
#include "host/str_selector/str_locus_tag_selector.h"
#include "veltrane/contracts/component_server.h"
#include "veltrane/contracts/type_info.h"

namespace veltrane::host {

namespace {

using automation::Type;
using namespace typelib;

QString libraryName()
{
    return QStringLiteral("VeltraneHost");
}

TypeLibrary build()
{
    const QString name = libraryName();
    TypeLibrary lib;
    lib.name = name;
    lib.libId = QUuid(QLatin1String("{EC79552C-248A-4194-9830-B3CECFF84461}"));
    lib.majorVersion = 1;
    lib.minorVersion = 0;
    lib.lcid = 0x409;
    lib.references = {{QStringLiteral("stdole"), QStringLiteral("OLE Automation: the standard types")},
                      {QStringLiteral("Veltrane"), QStringLiteral("AnalysisParameter, FragAnalysisParam")}};
    const auto text = [](const char *argument) {
        return automation::Parameter{QLatin1String(argument), Type::Text, {}, false};
    };
    QList<automation::Member> str = STRLocusTagSelector::members();
    lib.interfaces = {
        dispatchInterface(name, QStringLiteral("_Session"), "{1F014CB0-8C82-4F6D-A4A5-0AD614F17A35}",
                          {method(QStringLiteral("Open"), 0x60030001, {text("sLocation")}),
                           method(QStringLiteral("Close"), 0x60030002),
                           put(QStringLiteral("Unattended"), 0x68030001,
                               automation::Parameter{QStringLiteral("bValue"), Type::Boolean, {}, false}),
                           get(QStringLiteral("Unattended"), 0x68030001, value(Type::Boolean)),
                           get(QStringLiteral("ReportCount"), 0x68030002, value(Type::Int32)),
                           get(QStringLiteral("LastReport"), 0x68030003, value(Type::Text)),
                           put(QStringLiteral("OnWindowShown"), 0x68030004,
                               automation::Parameter{QStringLiteral("oHandler"), Type::Object, {}, false}),
                           get(QStringLiteral("OnWindowShown"), 0x68030004, value(Type::Object))}),
        dispatchInterface(name, QStringLiteral("_Window"), "{42EDD33D-9F63-449B-9DD6-57C1E6B20455}",
                          {get(QStringLiteral("Title"), 0x68030000, value(Type::Text)),
                           get(QStringLiteral("PageClass"), 0x68030001, value(Type::Text)),
                           get(QStringLiteral("WasCancelled"), 0x68030002, value(Type::Boolean)),
                           get(QStringLiteral("Finished"), 0x68030003, value(Type::Boolean)),
                           method(QStringLiteral("Control"), 0x60030001, {text("sName")}, value(Type::Object)),
                           method(QStringLiteral("ExecuteCommand"), 0x60030002,
                                  {automation::Parameter{QStringLiteral("eCommand"), Type::Int32, {}, false}})}),
        dispatchInterface(name, QStringLiteral("_STRLocusTagSelector"), "{DEF66C27-CEE1-4A5C-82EC-AE47E3A66B54}", str),
    };
    lib.classes = {
        {QStringLiteral("Session"),
         ClassKind::CreatableObject,
         QUuid(QLatin1String("{80C983AE-297E-44F4-9234-F7932862A966}")),
         QStringLiteral("_Session"),
         {},
         {}},
        {QStringLiteral("STRLocusTagSelector"),
         ClassKind::Control,
         QUuid(QLatin1String("{EF8D32F2-65FA-4C35-9F15-A33D4D929F26}")),
         QStringLiteral("_STRLocusTagSelector"),
         {},
         {}},
    };
    return lib;
}

const TypeLibrary &hostTypeLibrary()
{
    static const TypeLibrary library = build();
    return library;
}

// The classes answer late-bound from the moment the library is loaded.
void registerDispatchTables()
{
    const TypeLibrary &lib = hostTypeLibrary();
    const auto tableOf = [&lib](const QString &interfaceName) {
        return automation::DispatchTable{interfaceName.mid(1), lib.interface(interfaceName)->members};
    };
    automation::registerDispatchTable(&Session::staticMetaObject, tableOf(QStringLiteral("_Session")));
    automation::registerDispatchTable(&WindowAutomation::staticMetaObject, tableOf(QStringLiteral("_Window")));
    automation::registerDispatchTable(&STRLocusTagSelector::staticMetaObject,
                                      tableOf(QStringLiteral("_STRLocusTagSelector")));
}
Q_CONSTRUCTOR_FUNCTION(registerDispatchTables)

void anchor() {}

components::ComponentServer &server()
{
    static components::ComponentServer instance(
        hostTypeLibrary(),
        {{QStringLiteral("Session"), [] { return static_cast<QObject *>(new Session); }},
         {QStringLiteral("STRLocusTagSelector"), [] { return static_cast<QObject *>(new STRLocusTagSelector); }}},
        &anchor);
    return instance;
}

} // namespace

} // namespace veltrane::host

using veltrane::host::server;

VELTRANE_COMPONENT_ENTRY_POINTS(server())
