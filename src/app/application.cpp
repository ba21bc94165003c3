#include "app/application.h"

#include "app/commands.h"
#include "app/host_setup.h"
#include "host/framework/flow_registry.h"
#include "host/framework/host_utilities.h"
#include "veltrane/common/formats.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/stored_rules.h"
#include "veltrane/contracts/vocabulary.h"
#include "veltrane/service/service.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLoggingCategory>
#include <QTextStream>
#include <cstdio>

namespace veltrane::app {

namespace {

const char *const kCommandsText = R"(Commands:
  (none)                           open the parameter set selection window
  list                             the parameter sets users see, one per line
  show NAME                        the summary of one parameter set
  export [NAME...] [-o FILE [--replace]]
                                   the named sets (all when none) as JSON, to FILE or standard output
  import FILE [--replace] [--keep-attributes]
                                   read sets from a JSON file made by export
  screenshot FLOW FILE.png [--set NAME | --new] [--tab TAB] [--replace]
                                   render the first page of a flow into a PNG file (no display needed);
                                   EditAnalysisParameters shows the set NAME, or a new set with --new
  typelib                          the library's public classes, interfaces, members and dispatch ids
)";

enum ExitCode { kOk = 0, kFailed = 1, kBadUsage = 2 };

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int usageError(QTextStream &err, const QString &message)
{
    err << "veltrane: " << message << "\nRun 'veltrane --help' for the commands.\n";
    return kBadUsage;
}

} // namespace

int run(int argc, char *argv[])
{
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCoreApplication::setApplicationName(QStringLiteral("veltrane"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.1"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Fragment analysis parameter sets: select, create, edit, save."));
    const QCommandLineOption help(QStringList{"h", "help"}, QStringLiteral("Show this help."));
    const QCommandLineOption db(QStringLiteral("db"),
                                QStringLiteral("The store: a SQLite file path or a postgresql:// URL (default: %1).")
                                    .arg(defaultStoreLocation()),
                                QStringLiteral("location"));
    const QCommandLineOption noSeed(QStringLiteral("no-seed"),
                                    QStringLiteral("Create a new store without the default data."));
    const QCommandLineOption output(QStringList{"o", "output"}, QStringLiteral("export: write to this file."),
                                    QStringLiteral("file"));
    const QCommandLineOption replace(QStringLiteral("replace"),
                                     QStringLiteral("import: write over stored sets of the same names. export, "
                                                    "screenshot: write over a file that holds a database."));
    const QCommandLineOption keepAttributes(
        QStringLiteral("keep-attributes"),
        QStringLiteral("import: give the sets the read-only and hidden flags the file says (restoring a store)."));
    const QCommandLineOption set(QStringLiteral("set"),
                                 QStringLiteral("screenshot EditAnalysisParameters: show this parameter set."),
                                 QStringLiteral("name"));
    const QCommandLineOption newSet(QStringLiteral("new"),
                                    QStringLiteral("screenshot EditAnalysisParameters: a new set made from the "
                                                   "default set, as New makes it."));
    const QCommandLineOption tab(QStringLiteral("tab"),
                                 QStringLiteral("screenshot: show this tab (its number from 1, or its caption)."),
                                 QStringLiteral("tab"));
    parser.addOptions({help, db, noSeed, output, replace, keepAttributes, set, newSet, tab});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("See the commands below."),
                                 QStringLiteral("[command [arguments]]"));

    if (!parser.parse(arguments))
        return usageError(err, parser.errorText());
    if (parser.isSet(help)) {
        // The options are read before the application object exists, so the parser cannot know the
        // program's name yet.
        out << parser.helpText().replace(QLatin1String("<executable_name>"), QCoreApplication::applicationName())
            << '\n'
            << kCommandsText;
        return kOk;
    }

    const QStringList positional = parser.positionalArguments();
    const QString command = positional.value(0);
    const QStringList args = positional.mid(1);
    static const QStringList known{"list", "show", "export", "import", "screenshot", "typelib"};
    if (!command.isEmpty() && !known.contains(command))
        return usageError(err, QStringLiteral("unknown command \"%1\"").arg(command));
    if (command == QLatin1String("show") && args.size() != 1)
        return usageError(err, QStringLiteral("show takes one parameter set name"));
    if (command == QLatin1String("import") && args.size() != 1)
        return usageError(err, QStringLiteral("import takes one file"));
    if (command == QLatin1String("list") && !args.isEmpty())
        return usageError(err, QStringLiteral("list takes no arguments"));
    if (command == QLatin1String("screenshot") && args.size() != 2)
        return usageError(err, QStringLiteral("screenshot takes a flow name and a .png file"));
    // An option that does not apply to the command is a mistake to point out, not one to ignore.
    const std::pair<const QCommandLineOption *, QStringList> commandOptions[] = {
        {&output, {"export"}},         {&replace, {"import", "export", "screenshot"}},
        {&keepAttributes, {"import"}}, {&set, {"screenshot"}},
        {&newSet, {"screenshot"}},     {&tab, {"screenshot"}}};
    for (const auto &[option, owners] : commandOptions)
        if (parser.isSet(*option) && !owners.contains(command))
            return usageError(err, QStringLiteral("--%1 applies to %2 only")
                                       .arg(option->names().constLast(), owners.join(QStringLiteral(", "))));
    if (command == QLatin1String("export") && parser.isSet(replace) && !parser.isSet(output))
        return usageError(err, QStringLiteral("--replace applies to export with --output only"));
    if (command == QLatin1String("screenshot")) {
        // Only the editor is handed a set; it needs one, from the store or new.
        const bool editor = sameText(args.at(0), flows::kEditAnalysisParameters);
        if (parser.isSet(set) && parser.isSet(newSet))
            return usageError(err, QStringLiteral("--set and --new cannot be given together"));
        if (!editor && (parser.isSet(set) || parser.isSet(newSet)))
            return usageError(err, QStringLiteral("--%1 applies to screenshot %2 only")
                                       .arg(parser.isSet(set) ? QStringLiteral("set") : QStringLiteral("new"),
                                            flows::kEditAnalysisParameters));
        if (editor && !parser.isSet(set) && !parser.isSet(newSet))
            return usageError(err, QStringLiteral("screenshot %1 needs the set to show: --set NAME, or --new")
                                       .arg(flows::kEditAnalysisParameters));
    }
    if (command == QLatin1String("typelib")) // needs neither a store nor a display
        return args.isEmpty() ? (printTypeLibrary(CommandIO{out, err}), kOk)
                              : usageError(err, QStringLiteral("typelib takes no arguments"));

    if (command.isEmpty()) {
        if (!hasDisplay()) {
            err << "veltrane: no display to open the window on. Start it on a virtual display "
                   "(xvfb-run -a veltrane) or use the commands (veltrane --help).\n";
            return kFailed;
        }
    } else {
        // Commands run without a display; their reports go to the exit status and standard error.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QLoggingCategory::setFilterRules(QStringLiteral("veltrane.*.warning=false"));
    }

    QApplication application(argc, argv);
    // Commands have no one to show a message box to: reports a page would show are collected and
    // end the command with a failure instead.
    std::shared_ptr<host::HostUtilities::Capture> unattended;
    if (!command.isEmpty()) {
        unattended = std::make_shared<host::HostUtilities::Capture>();
        host::HostUtilities::setCapture(unattended);
    }
    // The helpers and the store hold connections and widgets: release them while the application
    // object still exists, not when the thread's storage is torn down after main().
    struct ReleaseHost
    {
        ~ReleaseHost()
        {
            installHostFactories({});
            resetThreadHelpers();
            host::FlowRegistry::instance().clear();
            host::HostUtilities::setCapture(nullptr);
        }
    } releaseHost;
    try {
        const QString location = parser.isSet(db) ? parser.value(db) : defaultStoreLocation();
        host::StoreOptions options;
        options.seed = !parser.isSet(noSeed);
        std::shared_ptr<host::SqlStore> store = openAndInstall(location, options);
        if (store->createdOnOpen())
            err << "Created a new store at " << printable(store->location()) << '\n';
        if (store->isReadOnly())
            err << "Opened the store at " << printable(store->location())
                << " for reading only: you cannot write to it or to its folder, so nothing can be saved.\n";
        CommandIO io{out, err};
        const host::OutputRules outputRules{store.get(), parser.isSet(replace),
                                            QStringLiteral("give --replace to write over it")};
        if (command.isEmpty()) {
            Service service;
            service.SelectAnalysisParameters();
        } else if (command == QLatin1String("list")) {
            listSets(io);
        } else if (command == QLatin1String("show")) {
            showSet(io, args.first());
        } else if (command == QLatin1String("export")) {
            exportSets(io, *store, args, parser.value(output), outputRules);
        } else if (command == QLatin1String("import")) {
            host::ImportOptions options;
            options.replaceExisting = parser.isSet(replace);
            options.keepAttributes = parser.isSet(keepAttributes);
            importSets(io, *store, args.first(), options);
        } else if (command == QLatin1String("screenshot")) {
            screenshot(io, args.at(0), args.at(1),
                       ScreenshotOptions{parser.value(set), parser.isSet(newSet), parser.value(tab)}, outputRules);
        }
    } catch (const Error &e) {
        out.flush();
        err << "veltrane: " << printable(e.description());
        if (!e.source().isEmpty() && e.source() != QLatin1String("veltrane"))
            err << " (" << e.source() << ')';
        err << '\n';
        return kFailed;
    }
    if (unattended) {
        bool failed = false;
        for (const auto &report : unattended->reports) {
            if (!report.display)
                continue;
            err << "veltrane: " << printable(report.error.description()) << " (" << report.className << '.'
                << report.procedureName << ")\n";
            failed = true;
        }
        if (failed)
            return kFailed;
    }
    return kOk;
}

} // namespace veltrane::app
