#include "app/commands.h"

#include "host/framework/service_window_dialog.h"
#include "host/objects/json_exchange.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"
#include "veltrane/select_page/parameter_summary.h"
#include "veltrane/service/type_library.h"

#include <QFileInfo>
#include <QImage>

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
    for (const auto &set : sets->objects<AnalysisParameter>())
        io.out << set->Name() << '\n';
}

void showSet(CommandIO io, const QString &name)
{
    const AnalysisParameterPtr set = findSet(name);
    const ParameterSummary s = summarizeParameterSet(*set);
    io.out << "Name: " << set->Name() << '\n';
    io.out << "Project: " << s.project << '\n';
    io.out << "Date Modified: " << s.dateModified << '\n';
    io.out << "Size Standard: " << s.standard << '\n';
    io.out << "Model: " << s.model << '\n';
    io.out << "Dye Mobility Calibration: " << s.calibration << '\n';
    io.out << "Locus Tags:";
    if (s.tags.isEmpty())
        io.out << " (none)";
    io.out << '\n';
    for (const auto &tag : s.tags)
        io.out << "  " << tag.name << '\t' << tag.dateModified << '\n';
}

void exportSets(CommandIO io, host::SqlStore &store, const QStringList &names, const QString &file)
{
    if (file.isEmpty() || file == QLatin1String("-")) {
        io.out << QString::fromUtf8(host::exportStore(store, names).toJson(QJsonDocument::Indented));
        return;
    }
    host::exportStoreToFile(store, file, names);
    io.err << "Exported to " << file << '\n';
}

void importSets(CommandIO io, host::SqlStore &store, const QString &file, bool replace)
{
    host::ImportOptions options;
    options.replaceExisting = replace;
    const host::ImportReport report = host::importStoreFromFile(store, file, options);
    for (const QString &name : report.sets)
        io.out << (report.replaced.contains(name) ? "replaced: " : "imported: ") << name << '\n';
    for (const QString &note : report.notes)
        io.err << "note: " << note << '\n';
}

void screenshot(CommandIO io, const QString &flow, const QString &file, const QString &setName)
{
    if (QFileInfo(file).suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) != 0)
        throw Error(kApplicationError, kSource, QStringLiteral("The screenshot file must end in .png: %1").arg(file));

    CollectionPtr context = newCollection();
    if (!setName.isEmpty())
        context->Add(toVariant(findSet(setName)), keys::kAnalysisParameter);

    QString failure;
    host::ServiceWindowDialog::whenShown([&](host::ServiceWindowDialog &window) {
        // Captured once the window has painted itself, i.e. laid out as a user would first see it,
        // and no sooner; then the flow is left.
        const auto capture = [&window, &file, &failure] {
            const QImage image = window.grab().toImage();
            if (image.isNull() || !image.save(file, "PNG"))
                failure = QStringLiteral("Could not write the screenshot to %1.").arg(file);
            window.ExecuteCommand(kCommandCancel);
        };
        if (window.hasPainted())
            capture();
        else
            QObject::connect(&window, &host::ServiceWindowDialog::firstPainted, &window, capture,
                             Qt::QueuedConnection);
    });
    try {
        App().RunService(flow, context, nullptr, ServiceOptions{});
    } catch (...) {
        host::ServiceWindowDialog::clearWhenShown();
        throw;
    }
    if (!failure.isEmpty())
        throw Error(kApplicationError, kSource, failure);
    io.err << "Wrote " << file << '\n';
}

void printTypeLibrary(CommandIO io)
{
    io.out << typelib::describe(typelib::typeLibrary());
}

} // namespace veltrane::app
