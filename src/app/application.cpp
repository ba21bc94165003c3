#include "app/application.h"

#include "app/admin_commands.h"
#include "app/commands.h"
#include "app/history_commands.h"
#include "app/host_setup.h"
#include "app/import_window.h"
#include "app/manager/manager_window.h"
#include "app/manager/window_drawing.h"
#include "host/framework/flow_registry.h"
#include "host/framework/host_utilities.h"
#include "platform/forms/colors.h"
#include "veltrane/common/formats.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/stored_rules.h"
#include "veltrane/contracts/vocabulary.h"
#include "veltrane/service/service.h"

#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLoggingCategory>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryFile>
#include <QTextStream>
#include <cstdio>

namespace veltrane::app {

namespace {

const char *const kCommandsText = R"(Commands:
  (none)                           open the window that manages the store's parameter sets
  select                           open the parameter set selection window, as a host shows it
  FILE.json                        offer to import the parameter sets in FILE, then open the window
                                   (what opening a .veltrane.json file from the desktop does)
  list                             the parameter sets users see, one per line
  show NAME                        the summary of one parameter set
  export [NAME...] [-o FILE [--replace]]
                                   the named sets (all when none) as JSON, to FILE or standard output
  import FILE [--replace] [--keep-attributes] [--reason TEXT]
                                   read sets from a JSON file made by export
  screenshot FLOW FILE.png [--set NAME | --new] [--tab TAB] [--palette NAME] [--scale FACTOR] [--replace]
                                   render the first page of a flow into a PNG file (no display needed);
                                   EditAnalysisParameters shows the set NAME, or a new set with --new
  screenshot WINDOW FILE.png [--set NAME [--set NAME]] [--palette NAME] [--scale FACTOR] [--replace]
                                   render one of the application's windows: Manager (NAME chosen),
                                   History (of NAME), Compare (two sets, or NAME with its revision before)
  typelib [--registry]             the library's public classes, interfaces, members and dispatch ids;
                                   with --registry, those of every type library the component registry
                                   holds, read from the registry without loading any library

History and life cycle (each change is kept as a revision: who, when, why, and the whole set):
  history NAME [--json]            the revisions of a set, newest first: number, time, who, action,
                                   what changed, and the reason given
  show NAME --revision N [--json]  the whole set as revision N left it (--json alone: the latest)
  diff NAME NAME [--all] [--json]  two sets field by field, in the editor's terms
  diff NAME --revision N [--against M] [--all] [--json]
                                   revision N of a set against M (or against the set as it is now)
  restore NAME --revision N        make the set what revision N held (a new revision)
  rename NAME NEW                  give a set another name
  delete NAME                      remove a set from the store; its history stays
  undelete NAME [--as NEW]         bring a deleted set back, under its name or NEW
  deleted                          the deleted sets, most recent first
  lock NAME                        make a set read-only
  unlock NAME                      make a read-only set writable again
  hide NAME                        leave a set out of the lists users pick from
  unhide NAME                      list a hidden set again
Shared stores on PostgreSQL (see the administrator's guide):
  admin setup                      create the roles reader, analyst and administrator and let the
                                   server enforce them (run once by the store's owner)
  admin grant LOGIN ROLE           make the login a reader, analyst or administrator of the store
  admin revoke LOGIN ROLE          take the role away
  admin roles                      who holds which role
Each change takes --reason TEXT, kept with its revision. A deleted set is found by its last name;
where several deleted sets had it, --id N names the one meant (its number, as deleted shows it). A
refused change leaves the store as it was and exits with status 1; a mistaken command, with 2.
)";

enum ExitCode { kOk = 0, kFailed = 1, kBadUsage = 2 };

// The flows a screenshot can show, as the help lists them.
QString flowsText()
{
    return QStringLiteral("Flows (for screenshot): %1\nWindows (for screenshot): %2\n")
        .arg(QStringList{flows::kSelectAnalysisParameters, flows::kEditAnalysisParameters,
                         flows::kSaveAnalysisParameterAs, flows::kSNPLocusTagEditor}
                 .join(QStringLiteral(", ")),
             QStringList{kManagerWindow, kHistoryWindow, kCompareWindow}.join(QStringLiteral(", ")));
}

bool isApplicationWindow(const QString &name)
{
    return sameText(name, kManagerWindow) || sameText(name, kHistoryWindow) || sameText(name, kCompareWindow);
}

// The palettes --palette offers; "desktop" leaves the colours to the desktop.
const QStringList kPalettes{QStringLiteral("desktop"), QStringLiteral("light"), QStringLiteral("dark")};
// Screenshots are drawn at 50% to 400%.
constexpr double kMinScale = 0.5;
constexpr double kMaxScale = 4;

// A first argument that is no command but names a file ends in .json or holds a folder: the desktop
// passes the exchange file the user opened.
bool isExchangeFile(const QString &argument)
{
    return argument.endsWith(QLatin1String(".json"), Qt::CaseInsensitive) || argument.contains(QLatin1Char('/'));
}

// The offscreen platform with one screen of 8192 x 8192 pixels (the description is written to file):
// Qt keeps a window within two thirds of its screen, and the platform's usual screen, 800 x 600, is a
// mere 200 x 150 at 400%. Windows are laid out as on any screen; only the limit goes.
QByteArray largeOffscreenScreen(QTemporaryFile &description)
{
    if (!description.open())
        return "offscreen";
    description.write(R"({"screens": [{"name": "screenshot", "x": 0, "y": 0, "width": 8192, "height": 8192,)"
                      R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    description.flush();
    // The platform says, for every window it shows this way, that it cannot pass size hints on: no
    // window manager asks for them here.
    static const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &message) {
            if (message != QLatin1String("This plugin does not support propagateSizeHints()"))
                previous(type, context, message);
        });
    return "offscreen:configfile=" + QFile::encodeName(description.fileName());
}

void applyPalette(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String("desktop"))
        return;
    // Both are Fusion's: the light one as the style makes it, the dark one in dark colours.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(name == QLatin1String("dark") ? colors::darkPalette()
                                                           : QApplication::style()->standardPalette());
}

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
    QCoreApplication::setApplicationVersion(QStringLiteral(VELTRANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Fragment analysis parameter sets: select, create, edit, save."));
    const QCommandLineOption help(QStringList{"h", "help"}, QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringList{"v", "version"}, QStringLiteral("Show the program's version."));
    // The default store is shown as the user knows the place: under "~".
    QString defaultStore = defaultStoreLocation();
    if (const QString home = QDir::homePath(); defaultStore.startsWith(home + QLatin1Char('/')))
        defaultStore.replace(0, home.size(), QStringLiteral("~"));
    const QCommandLineOption db(
        QStringLiteral("db"),
        QStringLiteral("The store: a SQLite file path or a postgresql:// URL (default: %1).").arg(defaultStore),
        QStringLiteral("location"));
    const QCommandLineOption noSeed(QStringLiteral("no-seed"),
                                    QStringLiteral("Create a new store without the default data."));
    const QCommandLineOption output(QStringList{"o", "output"}, QStringLiteral("export: write to this file."),
                                    QStringLiteral("file"));
    const QCommandLineOption replace(QStringLiteral("replace"),
                                     QStringLiteral("import, export, screenshot: write over what is there (import: "
                                                    "stored sets of the same names, export and screenshot: a file "
                                                    "that holds a database)."));
    const QCommandLineOption keepAttributes(
        QStringLiteral("keep-attributes"),
        QStringLiteral("import: give the sets the read-only and hidden flags the file says (restoring a store)."));
    const QCommandLineOption set(
        QStringLiteral("set"),
        QStringLiteral("screenshot: show this parameter set in EditAnalysisParameters, choose it in Manager, show its "
                       "History; Compare takes two (--set A --set B) or one and its revision before."),
        QStringLiteral("name"));
    const QCommandLineOption newSet(QStringLiteral("new"),
                                    QStringLiteral("screenshot: show EditAnalysisParameters with a new set made from "
                                                   "the default set, as New makes it."));
    const QCommandLineOption tab(QStringLiteral("tab"),
                                 QStringLiteral("screenshot: show this tab (its number from 1, or its caption)."),
                                 QStringLiteral("tab"));
    const QCommandLineOption palette(
        QStringLiteral("palette"),
        QStringLiteral("The window's colours: %1 (default: the desktop's).").arg(kPalettes.join(QStringLiteral(", "))),
        QStringLiteral("name"));
    const QCommandLineOption scale(
        QStringLiteral("scale"),
        QStringLiteral("screenshot: draw at this scale, from %1 to %2 (2 for 200%).").arg(kMinScale).arg(kMaxScale),
        QStringLiteral("factor"));
    const QCommandLineOption registry(QStringLiteral("registry"),
                                      QStringLiteral("typelib: the type libraries of the component registry."));
    const QCommandLineOption revision(QStringLiteral("revision"),
                                      QStringLiteral("show, diff, restore: this revision of the set."),
                                      QStringLiteral("number"));
    const QCommandLineOption against(QStringLiteral("against"),
                                     QStringLiteral("diff: compare with this revision rather than the set now."),
                                     QStringLiteral("number"));
    const QCommandLineOption setNumber(QStringLiteral("id"),
                                       QStringLiteral("history, show, undelete: the set with this number."),
                                       QStringLiteral("number"));
    const QCommandLineOption reason(
        QStringLiteral("reason"),
        QStringLiteral("restore, rename, delete, undelete, lock, unlock, hide, unhide, import: why, kept with the "
                       "revision."),
        QStringLiteral("text"));
    const QCommandLineOption as(QStringLiteral("as"), QStringLiteral("undelete: under this name."),
                                QStringLiteral("name"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("history, diff, show: write JSON."));
    const QCommandLineOption all(QStringLiteral("all"), QStringLiteral("diff: every field, not only the differences."));
    parser.addOptions({help,    version, db,       noSeed,   output,  replace,   keepAttributes, set, newSet, tab,
                       palette, scale,   registry, revision, against, setNumber, reason,         as,  json,   all});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("See the commands below."),
                                 QStringLiteral("[command [arguments]]"));

    if (!parser.parse(arguments))
        return usageError(err, parser.errorText());
    if (parser.isSet(help)) {
        // The options are read before the application object exists, so the parser cannot know the
        // program's name yet.
        out << parser.helpText().replace(QLatin1String("<executable_name>"), QCoreApplication::applicationName())
            << '\n'
            << kCommandsText << '\n'
            << flowsText();
        return kOk;
    }
    if (parser.isSet(version)) {
        out << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion() << '\n';
        return kOk;
    }

    const QStringList positional = parser.positionalArguments();
    QString command = positional.value(0);
    QStringList args = positional.mid(1);
    static const QStringList known{"list",   "show",    "export",  "import", "screenshot", "typelib",  "history",
                                   "diff",   "deleted", "restore", "rename", "delete",     "undelete", "lock",
                                   "unlock", "hide",    "unhide",  "select", "admin"};
    QString fileToOpen;
    QTemporaryFile screens(QDir::tempPath() + QStringLiteral("/veltrane-screens-XXXXXX.json"));
    if (!command.isEmpty() && !known.contains(command)) {
        if (!isExchangeFile(command))
            return usageError(err, QStringLiteral("unknown command \"%1\"").arg(command));
        if (!args.isEmpty())
            return usageError(err, QStringLiteral("open one file at a time"));
        fileToOpen = command;
        command.clear();
    }
    // Numbers of revisions and sets count from 1.
    HistoryOptions history;
    for (const auto &[option, target] : {std::pair{&revision, &history.revision}, std::pair{&against, &history.against},
                                         std::pair{&setNumber, &history.setNumber}}) {
        if (!parser.isSet(*option))
            continue;
        bool ok = false;
        const int n = parser.value(*option).toInt(&ok);
        if (!ok || n < 1)
            return usageError(err, QStringLiteral("--%1 takes a number from 1 up, not \"%2\"")
                                       .arg(option->names().constFirst(), parser.value(*option)));
        *target = n;
    }
    history.reason = parser.value(reason);
    history.newName = parser.value(as);
    history.json = parser.isSet(json);
    history.all = parser.isSet(all);
    const bool historyCommand = isHistoryCommand(command, history);
    if (historyCommand) {
        if (const QString problem = historyUsageError(command, args, history); !problem.isEmpty())
            return usageError(err, problem);
    } else if (command == QLatin1String("show") && args.size() != 1) {
        return usageError(err, QStringLiteral("show takes one parameter set name"));
    }
    if (command == QLatin1String("admin"))
        if (const QString problem = adminUsageError(args); !problem.isEmpty())
            return usageError(err, problem);
    if (command == QLatin1String("import") && args.size() != 1)
        return usageError(err, QStringLiteral("import takes one file"));
    if (command == QLatin1String("list") && !args.isEmpty())
        return usageError(err, QStringLiteral("list takes no arguments"));
    if (command == QLatin1String("select") && !args.isEmpty())
        return usageError(err, QStringLiteral("select takes no arguments"));
    if (command == QLatin1String("screenshot") && args.size() != 2)
        return usageError(err, QStringLiteral("screenshot takes a flow name and a .png file"));
    // An option that does not apply to the command is a mistake to point out, not one to ignore.
    const std::pair<const QCommandLineOption *, QStringList> commandOptions[] = {
        {&output, {"export"}},
        {&replace, {"import", "export", "screenshot"}},
        {&keepAttributes, {"import"}},
        {&set, {"screenshot"}},
        {&newSet, {"screenshot"}},
        {&tab, {"screenshot"}},
        {&scale, {"screenshot"}},
        {&registry, {"typelib"}},
        {&revision, {"show", "diff", "restore"}},
        {&against, {"diff"}},
        {&setNumber, {"history", "show", "undelete"}},
        {&reason, {"restore", "rename", "delete", "undelete", "lock", "unlock", "hide", "unhide", "import"}},
        {&as, {"undelete"}},
        {&json, {"history", "diff", "show"}},
        {&all, {"diff"}}};
    for (const auto &[option, owners] : commandOptions)
        if (parser.isSet(*option) && !owners.contains(command))
            return usageError(err, QStringLiteral("--%1 applies to %2 only")
                                       .arg(option->names().constLast(), owners.join(QStringLiteral(", "))));
    if (command == QLatin1String("export") && parser.isSet(replace) && !parser.isSet(output))
        return usageError(err, QStringLiteral("--replace applies to export with --output only"));
    const bool windowShot = command == QLatin1String("screenshot") && isApplicationWindow(args.at(0));
    if (windowShot) {
        if (parser.isSet(newSet) || parser.isSet(tab))
            return usageError(err, QStringLiteral("--%1 applies to screenshots of flows only")
                                       .arg(parser.isSet(newSet) ? QStringLiteral("new") : QStringLiteral("tab")));
        const qsizetype most = sameText(args.at(0), kCompareWindow) ? 2 : 1;
        if (parser.values(set).size() > most)
            return usageError(err, QStringLiteral("screenshot %1 takes --set at most %2")
                                       .arg(args.at(0), most == 1 ? QStringLiteral("once") : QStringLiteral("twice")));
    } else if (command == QLatin1String("screenshot")) {
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
    if (parser.isSet(palette) && !kPalettes.contains(parser.value(palette)))
        return usageError(err, QStringLiteral("--palette takes one of: %1").arg(kPalettes.join(QStringLiteral(", "))));
    if (parser.isSet(scale)) {
        bool isNumber = false;
        const double factor = parser.value(scale).toDouble(&isNumber);
        if (!isNumber || factor < kMinScale || factor > kMaxScale)
            return usageError(err,
                              QStringLiteral("--scale takes a number from %1 to %2").arg(kMinScale).arg(kMaxScale));
        // Read by the application object as it starts.
        qputenv("QT_SCALE_FACTOR", parser.value(scale).toLatin1());
    }
    if (command == QLatin1String("typelib")) // needs neither a store nor a display
        return args.isEmpty() ? (printTypeLibrary(CommandIO{out, err}, parser.isSet(registry)), kOk)
                              : usageError(err, QStringLiteral("typelib takes no arguments"));

    const bool windowed = command.isEmpty() || command == QLatin1String("select");
    if (windowed) {
        if (!hasDisplay()) {
            err << "veltrane: no display to open the window on. Start it on a virtual display "
                   "(xvfb-run -a veltrane) or use the commands (veltrane --help).\n";
            return kFailed;
        }
    } else {
        // Commands run without a display; their reports go to the exit status and standard error.
        // A screenshot is drawn on a screen large enough for every window at every scale.
        const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
        if (command == QLatin1String("screenshot") && (platform.isEmpty() || platform == "offscreen"))
            qputenv("QT_QPA_PLATFORM", largeOffscreenScreen(screens));
        else if (platform.isEmpty())
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QLoggingCategory::setFilterRules(QStringLiteral("veltrane.*.warning=false"));
    }

    QApplication application(argc, argv);
    applyPalette(parser.value(palette));
    // Commands have no one to show a message box to: reports a page would show are collected and
    // end the command with a failure instead.
    std::shared_ptr<host::HostUtilities::Capture> unattended;
    if (!windowed) {
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
            if (!fileToOpen.isEmpty()) {
                // Whatever the user decides, the manager window follows, with what the store holds now.
                ImportWindow window(*store, QFileInfo(fileToOpen).absoluteFilePath());
                window.exec();
            }
            ManagerWindow manager(*store);
            manager.show();
            // Without a window manager (a virtual display) nobody else gives the window the keyboard.
            manager.activateWindow();
            QApplication::exec();
        } else if (command == QLatin1String("select")) {
            Service service;
            service.SelectAnalysisParameters();
        } else if (windowShot) {
            const QImage image = drawWindow(*store, args.at(0), parser.values(set));
            QByteArray png;
            QBuffer buffer(&png);
            if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
                throw Error(kApplicationError, QStringLiteral("veltrane"),
                            QStringLiteral("Could not draw the window."));
            host::writeOutputFile(args.at(1), png, outputRules, QStringLiteral("veltrane"));
            err << "Wrote " << printable(args.at(1)) << '\n';
        } else if (command == QLatin1String("list")) {
            listSets(io);
        } else if (command == QLatin1String("admin")) {
            runAdminCommand(io, *store, args);
        } else if (historyCommand) {
            runHistoryCommand(io, *store, command, args, history);
        } else if (command == QLatin1String("show")) {
            showSet(io, args.first());
        } else if (command == QLatin1String("export")) {
            exportSets(io, *store, args, parser.value(output), outputRules);
        } else if (command == QLatin1String("import")) {
            host::ImportOptions options;
            options.replaceExisting = parser.isSet(replace);
            options.keepAttributes = parser.isSet(keepAttributes);
            options.reason = history.reason;
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
