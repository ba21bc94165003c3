// Store speed at the sizes a lab reaches: 1,000 parameter sets, 10,000 SNP locus tags, a set that
// lists 1,000 SNP tags. Each BM_X runs beside its floor BM_X_Floor, the same rows read or written
// with bare QSqlQuery on a connection of its own; the program prints X / floor for each pair.
// Usage: bench_store [--benchmark_repetitions=N] [postgresql://...]  (default: a SQLite file)

#include "host/objects/json_exchange.h"
#include "host/objects/sql_object_manager.h"
#include "host/objects/sql_store.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>
#include "support/ratio_reporter.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>

using namespace veltrane;
using namespace veltrane::host;

namespace {

constexpr int kSets = 1000;
constexpr int kSnpTags = 10000;
constexpr int kTagsInBigSet = 1000;

QString g_location; // the store under test
QString g_orderBy;

// The bench data, written in one import: sets shaped like real ones (a size standard with selected
// peaks, fifteen STR and four SNP tags each).
QJsonDocument benchData()
{
    QJsonArray fragments;
    for (float size : {35, 50, 75, 100, 139, 150, 160, 200, 250, 300, 340, 350, 400, 450, 490, 500})
        fragments.append(size);
    QJsonArray strTags, snpTags, sets;
    for (int i = 0; i < 30; ++i)
        strTags.append(QJsonObject{{"name", QStringLiteral("STR-%1").arg(i, 2, 10, QLatin1Char('0'))},
                                   {"dye", i % 4},
                                   {"minSize", 100 + i},
                                   {"maxSize", 150 + i},
                                   {"dateModified", "2024-01-15T09:30:00Z"}});
    for (int i = 0; i < kSnpTags; ++i)
        snpTags.append(
            QJsonObject{{"name", QStringLiteral("rs%1").arg(1000000 + i * 7)},
                        {"tagNumber", 40 + (i % 400) * 0.5},
                        {"texts", QJsonArray{QStringLiteral("Chr %1").arg(1 + i % 22), "A/G", "Identity", ""}},
                        {"dateModified", "2024-01-15T09:30:00Z"}});
    for (int s = 0; s < kSets; ++s) {
        QJsonArray str, snp, peaks;
        for (int t = 0; t < 15; ++t)
            str.append(strTags.at((s + t) % strTags.size())[QStringLiteral("name")]);
        for (int t = 0; t < 4; ++t)
            snp.append(snpTags.at((s * 4 + t) % kSnpTags)[QStringLiteral("name")]);
        for (int p = 0; p < 16; ++p)
            if (p != 8 && p != 10)
                peaks.append(p);
        QJsonArray rows;
        for (int r = 0; r < 4; ++r)
            rows.append(QJsonObject{{"sizeTime", 100 * (r + 1)}, {"window", 5}, {"amount", 1e-9}, {"unit", 0}});
        const QJsonObject entry{{"identifyAlleles", true},
                                {"relativePeakHeightThreshold", 10},
                                {"confidenceLevel", 95},
                                {"calibration", QJsonObject{{"name", ""},
                                                            {"kind", 1},
                                                            {"modelIndex", 2},
                                                            {"migrationVariable", 1},
                                                            {"enumTypeId", 0},
                                                            {"selectedPeaks", peaks},
                                                            {"sizeStandard", "Bench Ladder"}}},
                                {"strLocusTags", str},
                                {"snpLocusTags", snp}};
        sets.append(QJsonObject{{"name", QStringLiteral("Set %1").arg(s, 4, 10, QLatin1Char('0'))},
                                {"project", "Bench"},
                                {"projectId", ""},
                                {"projectName", "Bench"},
                                {"typeCode", 1011},
                                {"attributes", 0},
                                {"dateCreated", "2024-01-15T09:30:00Z"},
                                {"dateModified", "2024-02-01T12:00:00Z"},
                                {"slopeThreshold", 10},
                                {"snpAnalysis", false},
                                {"sizeStandard", "Bench Ladder"},
                                {"mobilityCalibration", "Bench Mobility"},
                                {"mobilityReference", "Bench Reference"},
                                {"useCalculatedDyeSpectra", false},
                                {"dyeSpectra", QJsonArray{true, true, true, true}},
                                {"idStandardBySize", 1},
                                {"quantityByHeight", 1},
                                {"quantitation", rows},
                                {"entries", QJsonArray{entry}}});
    }
    QJsonArray coefficients;
    for (int r = 0; r < 4; ++r)
        coefficients.append(QJsonArray{1.0, 0.01 * r, -0.0001 * r, 0.0});
    return QJsonDocument(QJsonObject{
        {"format", kExchangeFormatName},
        {"version", kExchangeFormatVersion},
        {"projects", QJsonArray{QJsonObject{{"name", "Bench"}}}},
        {"sizeStandards", QJsonArray{QJsonObject{{"name", "Bench Ladder"},
                                                 {"attributes", 0},
                                                 {"dyeIndex", 3},
                                                 {"fitCoefficient", 0.9996},
                                                 {"fragments", fragments}}}},
        {"mobilityCalibrations", QJsonArray{QJsonObject{{"name", "Bench Mobility"}, {"coefficients", coefficients}}}},
        {"mobilityReferences", QJsonArray{QJsonObject{{"name", "Bench Reference"}, {"enumTypeId", 1}}}},
        {"strLocusTags", strTags},
        {"snpLocusTags", snpTags},
        {"sets", sets}});
}

SqlStorePtr &store()
{
    static SqlStorePtr s = [] {
        SqlStorePtr opened = SqlStore::open(g_location, StoreOptions{false});
        if (opened->parameterSets(true).size() < kSets)
            importStore(*opened, benchData(), QStringLiteral("bench data"));
        return opened;
    }();
    return s;
}

// The floor's own connection, configured as the store configures its connections.
QSqlDatabase raw()
{
    static const QString name = [] {
        const QString n = QStringLiteral("bench-raw");
        QSqlDatabase db;
        if (g_location.startsWith(QLatin1String("postgresql://"))) {
            const QUrl url(g_location);
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), n);
            db.setHostName(url.host());
            db.setPort(url.port(5432));
            db.setUserName(url.userName());
            db.setPassword(url.password());
            db.setDatabaseName(url.path().mid(1));
            g_orderBy = QStringLiteral(" ORDER BY name_key COLLATE \"C\", id");
        } else {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), n);
            db.setDatabaseName(g_location);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
            g_orderBy = QStringLiteral(" ORDER BY name_key, id");
        }
        if (!db.open())
            qFatal("floor connection: %s", qPrintable(db.lastError().text()));
        QSqlQuery q(db);
        const QString schema = QUrlQuery(QUrl(g_location)).queryItemValue(QStringLiteral("schema"));
        if (!schema.isEmpty())
            q.exec(QStringLiteral("SET search_path TO \"%1\"").arg(schema));
        if (db.driverName() == QLatin1String("QSQLITE")) {
            q.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
            q.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
            q.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        }
        return n;
    }();
    return QSqlDatabase::database(name);
}

void exec(QSqlQuery &q)
{
    if (!q.exec())
        qFatal("%s: %s", qPrintable(q.lastQuery()), qPrintable(q.lastError().text()));
}

// ---- the list of sets on the selection page ----------------------------------------------------

void BM_LoadSetList(benchmark::State &state)
{
    SqlObjectManager manager(store());
    for (auto _ : state) {
        const CollectionPtr sets =
            manager.LoadCollection(queries::kAnalysisParametersNotHidden, {}, {}, QStringLiteral("Name"));
        if (sets->Count() < kSets)
            state.SkipWithError("too few sets");
        benchmark::DoNotOptimize(sets);
    }
    state.SetItemsProcessed(state.iterations() * kSets);
}

void BM_LoadSetList_Floor(benchmark::State &state)
{
    store();
    for (auto _ : state) {
        QSqlQuery q(raw());
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT id, name, project_id FROM parameter_sets WHERE (attributes & 4) = 0") +
                  g_orderBy);
        exec(q);
        qint64 sum = 0;
        while (q.next()) {
            sum += q.value(0).toInt();
            benchmark::DoNotOptimize(q.value(1).toString());
            sum += q.value(2).toInt();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kSets);
}

// ---- the settings of the one set the user selects ----------------------------------------------

void BM_ReadSelectedSettings(benchmark::State &state)
{
    const qint32 id = store()->parameterSets(false).at(kSets / 2)->ID();
    for (auto _ : state)
        benchmark::DoNotOptimize(store()->settingsOf(id));
}

void BM_ReadSelectedSettings_Floor(benchmark::State &state)
{
    const qint32 id = store()->parameterSets(false).at(kSets / 2)->ID();
    const QStringList queries{
        QStringLiteral("SELECT * FROM parameter_sets WHERE id = ?"),
        QStringLiteral("SELECT * FROM set_entries WHERE set_id = ? ORDER BY entry_index"),
        QStringLiteral(
            "SELECT entry_index, peak FROM entry_selected_peaks WHERE set_id = ? ORDER BY entry_index, position"),
        QStringLiteral("SELECT t.* FROM set_str_tags l JOIN str_locus_tags t ON t.id = l.tag_id WHERE l.set_id = ? "
                       "ORDER BY l.entry_index, l.position"),
        QStringLiteral("SELECT t.* FROM set_snp_tags l JOIN snp_locus_tags t ON t.id = l.tag_id WHERE l.set_id = ? "
                       "ORDER BY l.entry_index, l.position"),
        QStringLiteral(
            "SELECT s.* FROM size_standards s JOIN parameter_sets p ON p.size_standard_id = s.id WHERE p.id = ?"),
        QStringLiteral("SELECT f.size FROM size_standard_fragments f JOIN parameter_sets p ON p.size_standard_id = "
                       "f.size_standard_id WHERE p.id = ? ORDER BY f.position"),
        QStringLiteral("SELECT c.* FROM mobility_calibrations c JOIN parameter_sets p ON p.mobility_calibration_id = "
                       "c.id WHERE p.id = ?"),
        QStringLiteral("SELECT r.* FROM mobility_references r JOIN parameter_sets p ON p.mobility_reference_id = r.id "
                       "WHERE p.id = ?"),
    };
    for (auto _ : state) {
        for (const QString &sql : queries) {
            QSqlQuery q(raw());
            q.setForwardOnly(true);
            q.prepare(sql);
            q.addBindValue(id);
            exec(q);
            const int columns = q.record().count();
            while (q.next())
                for (int c = 0; c < columns; ++c)
                    benchmark::DoNotOptimize(q.value(c));
        }
    }
}

// ---- the SNP selector's list of every stored tag -------------------------------------------------

void BM_LoadSnpTags(benchmark::State &state)
{
    SqlObjectManager manager(store());
    for (auto _ : state) {
        const CollectionPtr tags = manager.LoadCollection(queries::kSNPLocusTags, {}, {}, QStringLiteral("Name"));
        if (tags->Count() < kSnpTags)
            state.SkipWithError("too few tags");
        benchmark::DoNotOptimize(tags);
    }
    state.SetItemsProcessed(state.iterations() * kSnpTags);
}

void BM_LoadSnpTags_Floor(benchmark::State &state)
{
    store();
    for (auto _ : state) {
        QSqlQuery q(raw());
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT id, name, tag_number, text1, text2, text3, text4, date_modified "
                                 "FROM snp_locus_tags") +
                  g_orderBy);
        exec(q);
        while (q.next()) {
            benchmark::DoNotOptimize(q.value(0).toInt());
            benchmark::DoNotOptimize(q.value(1).toString());
            benchmark::DoNotOptimize(q.value(2).toDouble());
            for (int c = 3; c < 7; ++c)
                benchmark::DoNotOptimize(q.value(c).toString());
            benchmark::DoNotOptimize(q.value(7).toLongLong());
        }
    }
    state.SetItemsProcessed(state.iterations() * kSnpTags);
}

// ---- saving a set that lists 1,000 SNP tags -------------------------------------------------------

void BM_CommitSetWith1000SnpTags(benchmark::State &state)
{
    // What the editor hands over: a complete new settings object whose tags came from the selector.
    const auto listed = store()->parameterSets(false).first()->FragAnalysisParam();
    FragAnalysisParam set;
    set.setProjectID(listed->ProjectID());
    set.setProjectName(listed->ProjectName());
    set.setTypeCode(1011);
    set.setSizeStandard(listed->SizeStandard());
    set.setDyeMobilityCalibration(listed->DyeMobilityCalibration());
    set.setStandardMobilityReference(listed->StandardMobilityReference());
    set.setSizeCalibration(0, listed->SizeCalibration(0));
    set.setIdentifyAlleles(0, true);
    const auto tags = store()->snpLocusTags();
    for (int i = 0; i < kTagsInBigSet; ++i)
        set.SNPLocusTagsOf(0)->Add(tags.at(i * (kSnpTags / kTagsInBigSet))->TagData());
    static int serial = 0;
    for (auto _ : state) {
        set.setName(QStringLiteral("Big %1").arg(++serial));
        store()->commit(set);
    }
    state.SetItemsProcessed(state.iterations() * kTagsInBigSet);
}

void BM_CommitSetWith1000SnpTags_Floor(benchmark::State &state)
{
    const auto listed = store()->parameterSets(false).first()->FragAnalysisParam();
    const qint32 standard = listed->SizeStandard()->ID();
    const auto tags = store()->snpLocusTags();
    QList<qint32> tagIds;
    for (int i = 0; i < kTagsInBigSet; ++i)
        tagIds << tags.at(i * (kSnpTags / kTagsInBigSet))->ID();
    const QList<qint16> peaks = listed->SizeCalibration(0)->SelectedPeaks();
    const bool sqlite = raw().driverName() == QLatin1String("QSQLITE");
    static int serial = 0;
    for (auto _ : state) {
        QSqlDatabase db = raw();
        QSqlQuery begin(db);
        begin.exec(sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
        QSqlQuery set(db);
        set.prepare(QStringLiteral("INSERT INTO parameter_sets (name, name_key, version, project_id, project_name, "
                                   "type_code, date_created, date_modified, size_standard_id, mobility_calibration_id, "
                                   "mobility_reference_id) VALUES (?, ?, 1, ?, ?, 1011, 0, 0, ?, ?, ?) RETURNING id"));
        const QString name = QStringLiteral("Floor %1").arg(++serial);
        set.addBindValue(name);
        set.addBindValue(name.toCaseFolded());
        set.addBindValue(listed->ProjectID());
        set.addBindValue(listed->ProjectName());
        set.addBindValue(standard);
        set.addBindValue(listed->DyeMobilityCalibration()->ID());
        set.addBindValue(listed->StandardMobilityReference()->ID());
        exec(set);
        set.next();
        const qint32 id = set.value(0).toInt();
        set.finish();
        QSqlQuery entry(db);
        entry.prepare(QStringLiteral("INSERT INTO set_entries (set_id, entry_index, identify_alleles, has_calibration, "
                                     "model_index, migration_variable, calibration_size_standard_id) "
                                     "VALUES (?, 0, 1, 1, 2, 1, ?)"));
        entry.addBindValue(id);
        entry.addBindValue(standard);
        exec(entry);
        QSqlQuery peak(db);
        peak.prepare(QStringLiteral("INSERT INTO entry_selected_peaks (set_id, entry_index, position, peak) "
                                    "VALUES (?, 0, ?, ?)"));
        for (int p = 0; p < peaks.size(); ++p) {
            peak.bindValue(0, id);
            peak.bindValue(1, p);
            peak.bindValue(2, int(peaks[p]));
            exec(peak);
        }
        QSqlQuery link(db);
        link.prepare(
            QStringLiteral("INSERT INTO set_snp_tags (set_id, entry_index, position, tag_id) VALUES (?, 0, ?, ?)"));
        for (int t = 0; t < tagIds.size(); ++t) {
            link.bindValue(0, id);
            link.bindValue(1, t);
            link.bindValue(2, tagIds[t]);
            exec(link);
        }
        QSqlQuery commit(db);
        if (!commit.exec(QStringLiteral("COMMIT")))
            qFatal("COMMIT: %s", qPrintable(commit.lastError().text()));
    }
    state.SetItemsProcessed(state.iterations() * kTagsInBigSet);
}

VELTRANE_BENCHMARK_PAIR(BM_LoadSetList, ->Unit(benchmark::kMillisecond)->UseRealTime());
VELTRANE_BENCHMARK_PAIR(BM_ReadSelectedSettings, ->Unit(benchmark::kMicrosecond)->UseRealTime());
VELTRANE_BENCHMARK_PAIR(BM_LoadSnpTags, ->Unit(benchmark::kMillisecond)->UseRealTime());
VELTRANE_BENCHMARK_PAIR(BM_CommitSetWith1000SnpTags, ->Unit(benchmark::kMillisecond)->UseRealTime());

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    g_location = argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath(QStringLiteral("bench.sqlite"));
    if (argc > 2 || (argc == 2 && !g_location.startsWith(QLatin1String("postgresql://")))) {
        std::fprintf(stderr, "usage: bench_store [benchmark options] [postgresql://user@host:port/db]\n");
        return 1;
    }
    store();
    raw();
    const int status = veltrane::bench::runWithRatios(veltrane::bench::RatioReporter::Clock::Real);
    store().reset();
    return status;
}
