// veltrane-register [--unregister] [--user|--system] LIBRARY
// Loads a component library and has it write (or remove) its entries in the component registry.

#include "host/registry/component_host.h"
#include "veltrane/contracts/component_registry.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

using namespace veltrane;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("veltrane-register"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELTRANE_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Registers a component library's classes in the component registry."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption unregister(QStringList{"u", "unregister"},
                                        QStringLiteral("Remove the library's entries."));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("The user's registry (default unless root)."));
    const QCommandLineOption system(QStringLiteral("system"),
                                    QStringLiteral("The system's registry (default for root)."));
    parser.addOptions({unregister, user, system});
    parser.addPositionalArgument(QStringLiteral("LIBRARY"), QStringLiteral("The component library (.so)."));
    parser.process(app);

    const QStringList libraries = parser.positionalArguments();
    if (libraries.size() != 1 || (parser.isSet(user) && parser.isSet(system))) {
        err << "veltrane-register: give one LIBRARY and at most one of --user and --system\n";
        return 2;
    }
    // The library reads the scope when it writes its entries.
    if (parser.isSet(user) || parser.isSet(system))
        qputenv("VELTRANE_REGISTRY_SCOPE", parser.isSet(system) ? "system" : "user");
    const components::Scope scope = components::defaultScope();
    const QString where = components::registryFolder(scope);

    try {
        const host::ComponentLibrary &lib = host::loadComponentLibrary(libraries.first());
        const bool removing = parser.isSet(unregister);
        const VtResult status = removing ? lib.unregisterServer() : lib.registerServer();
        if (status != VT_S_OK)
            throw host::componentError(status, lib.path,
                                       removing ? QStringLiteral("DllUnregisterServer")
                                                : QStringLiteral("DllRegisterServer"));
        out << (removing ? "Unregistered " : "Registered ") << lib.path << (removing ? " from " : " in ") << where
            << '\n';
    } catch (const Error &e) {
        err << "veltrane-register: " << e.description() << " (0x" << QString::number(quint32(e.number()), 16) << ")\n";
        return 1;
    }
    return 0;
}
