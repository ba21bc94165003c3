// Saving a big parameter set from the editor: a set that uses 1,000 STR and 10,000 SNP locus tags,
// open in the real editor window, saved as OK saves it (the page's Save: a new settings object from
// the controls, both selectors' Save, Commit over the stored set). Its floor writes the same rows in
// one plain SQL transaction on a connection of its own with the same driver, its values taken from the
// set's objects at each save as the store's are: the set's row, its entry and peaks, 11,000 tag links
// (three values a row, the entry's index written in the statement), the old children deleted first,
// and the set's revision (its settings part; the tags part is the revision before's, the same tags
// being listed). The program prints case / floor.
// Usage: bench_editor_save [--benchmark_repetitions=N] [postgresql://...]  (default: a SQLite file)

#include "app/host_setup.h"
#include "host/framework/service_window_dialog.h"
#include "host/objects/json_exchange.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"

#include "support/floor_connection.h"
#include "support/floor_revision.h"
#include "support/ratio_reporter.h"

#include <QApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>

#include <benchmark/benchmark.h>
#include <cstdio>

using namespace veltrane;

namespace {

constexpr int kStrTags = 1000;
constexpr int kSnpTags = 10000;
const QString kSetName = QStringLiteral("Lab panel");
const QString kFloorName = QStringLiteral("Lab panel (floor)");

QString g_location;
std::shared_ptr<host::SqlStore> g_store;

QJsonDocument benchTags()
{
    QJsonArray str, snp;
    for (int i = 0; i < kStrTags; ++i)
        str.append(QJsonObject{{"name", QStringLiteral("STR-%1").arg(i, 4, 10, QLatin1Char('0'))},
                               {"dye", i % 4},
                               {"minSize", 80 + i % 300},
                               {"maxSize", 120 + i % 300},
                               {"dateModified", "2024-01-15T09:30:00Z"}});
    for (int i = 0; i < kSnpTags; ++i)
        snp.append(QJsonObject{{"name", QStringLiteral("rs%1").arg(2000000 + i * 13)},
                               {"tagNumber", 40 + (i % 400) * 0.5},
                               {"texts", QJsonArray{QStringLiteral("Chr %1").arg(1 + i % 22), "A/G", "Identity", ""}},
                               {"dateModified", "2024-01-15T09:30:00Z"}});
    return QJsonDocument(QJsonObject{{"format", host::kExchangeFormatName},
                                     {"version", host::kExchangeFormatVersion},
                                     {"strLocusTags", str},
                                     {"snpLocusTags", snp}});
}

// The default set's settings under a new, writable name, using every bench tag.
void storeBigSet(const QString &name)
{
    const CollectionPtr sets =
        ObjectManager().LoadCollection(queries::kAnalysisParameters, {}, {}, fields::kName, false, true);
    const FragAnalysisParamPtr settings =
        sets->Object<AnalysisParameter>(stored::kDefaultParameterSet)->FragAnalysisParam();
    settings->setName(name);
    settings->setAttributes(0);
    settings->STRLocusTagsOf(0)->Clear();
    settings->SNPLocusTagsOf(0)->Clear();
    for (const auto &tag :
         ObjectManager().LoadCollection(queries::kSTRLocusTags, {}, {}, fields::kName)->objects<STRLocusTag>())
        if (tag->Name().startsWith(QLatin1String("STR-")))
            settings->STRLocusTagsOf(0)->Add(tag);
    for (const auto &tag :
         ObjectManager().LoadCollection(queries::kSNPLocusTags, {}, {}, fields::kName)->objects<SNPLocusTag>())
        if (tag->Name().startsWith(QLatin1String("rs2")))
            settings->SNPLocusTagsOf(0)->Add(tag->TagData());
    settings->Commit();
}

void setUp()
{
    g_store = app::openAndInstall(g_location, host::StoreOptions{.seed = true});
    host::importStore(*g_store, benchTags(), QStringLiteral("bench data"));
    storeBigSet(kSetName);
    storeBigSet(kFloorName);
}

QSqlDatabase raw()
{
    return bench::floorConnection(g_location);
}

QSqlQuery prepared(const QString &sql)
{
    QSqlQuery q(raw());
    if (!q.prepare(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return q;
}

void BM_EditorSave(benchmark::State &state)
{
    CollectionPtr context = newCollection();
    const CollectionPtr sets =
        ObjectManager().LoadCollection(queries::kAnalysisParameters, {}, {}, fields::kName, false, true);
    context->Add(toVariant(sets->Object<AnalysisParameter>(kSetName)), keys::kAnalysisParameter);
    bool ran = false;
    host::ServiceWindowDialog::whenShown([&](host::ServiceWindowDialog &window) {
        PageBase *page = dynamic_cast<IPageAccess *>(window.currentPage())->Page();
        try {
            for (auto _ : state)
                page->raiseSave(); // what OK does once the page is valid
        } catch (const Error &e) {
            state.SkipWithError(qPrintable(e.description()));
        }
        ran = true;
        window.ExecuteCommand(kCommandCancel);
    });
    App().RunService(flows::kEditAnalysisParameters, context, nullptr, flow_options::kEditExistingSet);
    if (!ran)
        state.SkipWithError("the editor window did not open");
    state.SetItemsProcessed(state.iterations() * (kStrTags + kSnpTags));
}

void BM_EditorSave_Floor(benchmark::State &state)
{
    const AnalysisParameterPtr set = g_store->parameterSet(0, kFloorName);
    const FragAnalysisParamPtr settings = set->FragAnalysisParam();
    const qint32 id = set->ID();
    const bool sqlite = raw().driverName() == QLatin1String("QSQLITE");

    QSqlQuery row = prepared(QStringLiteral(
        "UPDATE parameter_sets SET version = version + 1, date_modified = ?, slope_threshold = ?, project_name = ?, "
        "size_standard_id = ?, mobility_calibration_id = ?, mobility_reference_id = ? WHERE id = ?"));
    QList<QSqlQuery> deletes;
    for (const char *child : {"set_snp_tags", "set_str_tags", "entry_selected_peaks", "set_entries"})
        deletes << prepared(QStringLiteral("DELETE FROM %1 WHERE set_id = ?").arg(QLatin1String(child)));
    QSqlQuery entry = prepared(
        QStringLiteral("INSERT INTO set_entries (set_id, entry_index, identify_alleles, has_calibration, model_index, "
                       "migration_variable, calibration_size_standard_id) VALUES (?, 0, 1, 1, 2, 1, ?)"));
    const QString childRow = QStringLiteral("(?, 0, ?, ?)");
    bench::RowInserter peak(
        raw(), QStringLiteral("INSERT INTO entry_selected_peaks (set_id, entry_index, position, peak) VALUES "),
        childRow, 3);
    bench::RowInserter strLink(
        raw(), QStringLiteral("INSERT INTO set_str_tags (set_id, entry_index, position, tag_id) VALUES "), childRow, 3);
    bench::RowInserter snpLink(
        raw(), QStringLiteral("INSERT INTO set_snp_tags (set_id, entry_index, position, tag_id) VALUES "), childRow, 3);
    // The rows of each child table, bound in one list: the set, the position, the value.
    const auto rowsOf = [id](const auto &values) {
        QList<QVariant> rows;
        for (qsizetype i = 0; i < values.size(); ++i)
            rows << id << qint32(i) << qint32(values[i]);
        return rows;
    };
    bench::FloorRevisions revisions(raw());
    const auto tagsPart = [&settings] {
        QJsonArray str, snp;
        for (const auto &tag : settings->STRLocusTagsOf(0)->objects<STRLocusTag>())
            str.append(bench::floorTag(*tag));
        for (const auto &tag : settings->SNPLocusTagsOf(0)->objects<SNPLocusTagSettings>())
            snp.append(bench::floorTag(*tag));
        return QJsonObject{{QStringLiteral("entries"), QJsonArray{QJsonObject{{QStringLiteral("snpLocusTags"), snp},
                                                                              {QStringLiteral("strLocusTags"), str}}}}};
    };
    for (auto _ : state) {
        // What a save writes comes from the set as it is now, every time.
        QList<qint32> strIds, snpIds;
        for (const auto &tag : settings->STRLocusTagsOf(0)->objects<STRLocusTag>())
            strIds << tag->ID();
        for (const auto &tag : settings->SNPLocusTagsOf(0)->objects<SNPLocusTagSettings>())
            snpIds << tag->ID();
        const QList<qint16> peaks = settings->SizeCalibration(0)->SelectedPeaks();
        QSqlQuery begin(raw());
        begin.exec(sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        row.bindValue(0, now);
        row.bindValue(1, double(settings->SlopeThreshold()));
        row.bindValue(2, settings->ProjectName());
        row.bindValue(3, settings->SizeStandard()->ID());
        row.bindValue(4, settings->DyeMobilityCalibration()->ID());
        row.bindValue(5, settings->StandardMobilityReference()->ID());
        row.bindValue(6, id);
        bench::execOrDie(row);
        for (QSqlQuery &d : deletes) {
            d.bindValue(0, id);
            bench::execOrDie(d);
        }
        entry.bindValue(0, id);
        entry.bindValue(1, settings->SizeStandard()->ID());
        bench::execOrDie(entry);
        peak.insert(rowsOf(peaks));
        strLink.insert(rowsOf(strIds));
        snpLink.insert(rowsOf(snpIds));
        settings->setDateModified(now);
        revisions.record({.setId = id,
                          .name = kFloorName,
                          .projectName = settings->ProjectName(),
                          .settings = bench::floorSettings(*settings),
                          .strTags = strIds,
                          .snpTags = snpIds,
                          .tags = tagsPart});
        QSqlQuery commit(raw());
        if (!commit.exec(QStringLiteral("COMMIT")))
            qFatal("COMMIT: %s", qPrintable(commit.lastError().text()));
    }
    state.SetItemsProcessed(state.iterations() * (kStrTags + kSnpTags));
}

VELTRANE_BENCHMARK_PAIR(BM_EditorSave, ->Unit(benchmark::kMillisecond)->UseRealTime());

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    veltrane::bench::initialize(argc, argv, true);
    QTemporaryDir dir;
    g_location = argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath(QStringLiteral("bench.sqlite"));
    if (argc > 2 || (argc == 2 && !g_location.startsWith(QLatin1String("postgresql://")))) {
        std::fprintf(stderr, "usage: bench_editor_save [benchmark options] [postgresql://user@host:port/db]\n");
        return 1;
    }
    setUp();
    raw();
    const int status = veltrane::bench::runWithRatios(veltrane::bench::RatioReporter::Clock::Real);
    installHostFactories({});
    resetThreadHelpers();
    g_store.reset();
    return status;
}
