#include "app/commands.h"

#include "host/framework/host_utilities.h"
#include "host/framework/service_window_dialog.h"
#include "host/objects/json_exchange.h"
#include "platform/forms/tab_control.h"
#include "veltrane/common/formats.h"
#include "veltrane/contracts/component_registry.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/stored_rules.h"
#include "veltrane/contracts/vocabulary.h"
#include "veltrane/select_page/parameter_summary.h"
#include "veltrane/service/type_library.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <algorithm>

namespace veltrane::app {

namespace {

const QString kSource = QStringLiteral("veltrane");

AnalysisParameterPtr findSet(const QString &name)
{
    const CollectionPtr sets =
        ObjectManager().LoadCollection(queries::kAnalysisParameters, QString(), QString(), fields::kName, false, true);
    if (!sets->Contains(name))
        throw Error(kApplicationError, kSource, QStringLiteral("No parameter set is named \"%1\".").arg(name));
    return sets->Object<AnalysisParameter>(name);
}

} // namespace

void listSets(CommandIO io)
{
    const CollectionPtr sets = ObjectManager().LoadCollection(queries::kAnalysisParametersNotHidden, QString(),
                                                              QString(), QString(), false, true);
    // Names are shown escaped where they hold what a terminal would act on (a line break, an escape
    // sequence), so one line is always one set.
    for (const auto &set : sets->objects<AnalysisParameter>())
        io.out << printable(set->Name()) << '\n';
}

void showSet(CommandIO io, const QString &name)
{
    const AnalysisParameterPtr set = findSet(name);
    // Values the editor would refuse (an old store, another program) are named, set and field.
    if (const FragAnalysisParamPtr settings = set->FragAnalysisParam())
        for (const RuleBreak &b : ruleBreaks(*settings))
            io.err << "veltrane: the parameter set \"" << printable(set->Name())
                   << "\" holds a value out of rule: " << printable(b.text()) << '\n';
    const ParameterSummary s = summarizeParameterSet(*set);
    io.out << "Name: " << printable(set->Name()) << '\n';
    io.out << "Project: " << printable(s.project) << '\n';
    io.out << "Date Modified: " << s.dateModified << '\n';
    io.out << "Size Standard: " << printable(s.standard) << '\n';
    io.out << "Model: " << s.model << '\n';
    io.out << "Dye Mobility Calibration: " << printable(s.calibration) << '\n';
    io.out << "Locus Tags:";
    if (s.tags.isEmpty())
        io.out << " (none)";
    io.out << '\n';
    for (const auto &tag : s.tags)
        io.out << "  " << printable(tag.name) << '\t' << tag.dateModified << '\n';
}

void exportSets(CommandIO io, host::SqlStore &store, const QStringList &names, const QString &file,
                const host::OutputRules &rules)
{
    if (file.isEmpty() || file == QLatin1String("-")) {
        io.out << QString::fromUtf8(host::exportStore(store, names).toJson(QJsonDocument::Indented));
        return;
    }
    host::exportStoreToFile(store, file, names, host::ExportScope::ReferencedObjects, rules);
    io.err << "Exported to " << printable(file) << '\n';
}

void importSets(CommandIO io, host::SqlStore &store, const QString &file, const host::ImportOptions &options)
{
    const host::ImportReport report = host::importStoreFromFile(store, file, options);
    for (const QString &name : report.sets)
        io.out << (report.replaced.contains(name) ? "replaced: " : "imported: ") << printable(name) << '\n';
    for (const QString &note : report.notes)
        io.err << "note: " << printable(note) << '\n';
}

namespace {

// The options a flow is started with from the library's own launchers, so a screenshot shows the
// window as users see it.
ServiceOptions optionsOf(const QString &flow, bool newSet)
{
    if (sameText(flow, flows::kSelectAnalysisParameters))
        return flow_options::kSelectAnalysisParameters;
    if (sameText(flow, flows::kEditAnalysisParameters))
        return newSet ? flow_options::kEditNewSet : flow_options::kEditExistingSet;
    if (sameText(flow, flows::kSaveAnalysisParameterAs))
        return flow_options::kSaveAnalysisParameterAs;
    if (sameText(flow, flows::kSNPLocusTagEditor))
        return flow_options::kSNPLocusTagEditor;
    return ServiceOptions{};
}

// Brings the tab named by its number (from 1) or caption (without the access key's "&") to the
// front of the first tab control of the page.
void showTab(QWidget *page, const QString &tab)
{
    auto *tabs = page ? page->findChild<TabControl *>() : nullptr;
    if (!tabs)
        throw Error(kApplicationError, kSource, QStringLiteral("The first page of the flow has no tabs."));
    bool isNumber = false;
    const int number = tab.toInt(&isNumber);
    for (int i = 0; i < tabs->Tabs(); ++i) {
        QString caption = tabs->TabCaption(i);
        caption.remove(QLatin1Char('&'));
        if ((isNumber && number == i + 1) || sameText(caption, tab.trimmed())) {
            tabs->setTab(i);
            return;
        }
    }
    throw Error(kApplicationError, kSource, QStringLiteral("The page has no tab \"%1\".").arg(tab));
}

// How many reports the command has shown (recorded) so far.
qsizetype shownReports()
{
    const auto capture = host::HostUtilities::capture();
    if (!capture)
        return 0;
    return std::count_if(capture->reports.cbegin(), capture->reports.cend(),
                         [](const auto &report) { return report.display; });
}

} // namespace

void screenshot(CommandIO io, const QString &flow, const QString &file, const ScreenshotOptions &options,
                const host::OutputRules &rules)
{
    if (QFileInfo(file).suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) != 0)
        throw Error(kApplicationError, kSource, QStringLiteral("The screenshot file must end in .png: %1").arg(file));

    CollectionPtr context = newCollection();
    if (options.newSet) {
        // As the selection page's New does: the default set as template of a new set.
        context->Add(QStringLiteral("1"), keys::kIsNew);
        context->Add(toVariant(findSet(stored::kDefaultParameterSet)), keys::kAnalysisParameter);
    } else if (!options.setName.isEmpty()) {
        context->Add(toVariant(findSet(options.setName)), keys::kAnalysisParameter);
    }
    if (sameText(flow, flows::kSaveAnalysisParameterAs)) // as the editor's Save As starts it
        context->Add(toVariant(ObjectManager().NewObject(types::kAnalysisParameter)), keys::kSaveParamAs);
    if (sameText(flow, flows::kSNPLocusTagEditor)) // as the SNP selector's New Locus starts it
        context->Add(toVariant(ObjectManager().NewObject(types::kSNPLocusTag)), keys::kSNPLocusTag);

    const qsizetype reportsBefore = shownReports();
    QString failure;
    QByteArray png;
    host::ServiceWindowDialog::whenShown([&](host::ServiceWindowDialog &window) {
        // Captured once the window has painted itself, i.e. laid out as a user would first see it,
        // and no sooner; then the flow is left.
        const auto capture = [&window, &png, &failure, &options] {
            try {
                if (!options.tab.isEmpty()) {
                    showTab(window.currentPage(), options.tab);
                    QCoreApplication::sendPostedEvents(); // lay the tab out before it is drawn
                }
                const QImage image = window.grab().toImage();
                QBuffer buffer(&png);
                if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
                    failure = QStringLiteral("Could not draw the window.");
            } catch (const Error &e) {
                failure = e.description();
            }
            window.ExecuteCommand(kCommandCancel);
        };
        if (window.hasPainted())
            capture();
        else
            QObject::connect(&window, &host::ServiceWindowDialog::firstPainted, &window, capture, Qt::QueuedConnection);
    });
    try {
        App().RunService(flow, context, nullptr, optionsOf(flow, options.newSet));
    } catch (...) {
        host::ServiceWindowDialog::clearWhenShown();
        throw;
    }
    if (!failure.isEmpty())
        throw Error(kApplicationError, kSource, failure);
    // A window whose flow reported an error shows something other than what was asked for; the report
    // ends the command instead.
    if (shownReports() > reportsBefore)
        return;
    if (png.isEmpty())
        throw Error(kApplicationError, kSource, QStringLiteral("The flow %1 showed no window.").arg(flow));
    host::writeOutputFile(file, png, rules, kSource);
    io.err << "Wrote " << printable(file) << '\n';
}

void printTypeLibrary(CommandIO io, bool fromRegistry)
{
    if (!fromRegistry) {
        io.out << typelib::describe(typelib::typeLibrary());
        return;
    }
    const QList<components::RegisteredTypeLibrary> registered = components::registeredTypeLibraries();
    if (registered.isEmpty())
        io.err << "No type library is registered in " << components::searchFolders().join(QStringLiteral(", ")) << '\n';
    bool first = true;
    for (const components::RegisteredTypeLibrary &r : registered) {
        if (!first)
            io.out << '\n';
        first = false;
        if (r.types)
            io.out << typelib::describe(*r.types);
        else
            io.out << "Type library " << r.entry.name << ' ' << components::guidText(r.entry.libId) << ", version "
                   << r.entry.version << " (no types registered)\n";
        io.out << "Library: " << r.entry.library << '\n';
    }
}

} // namespace veltrane::app
