// Store speed at the sizes a lab reaches: 1,000 parameter sets, 2,000 size standards, 10,000 SNP
// locus tags, a set that lists 1,000 SNP tags; the lists also at ten times that (BM_X/10 against
// BM_X/1, in a second store). Each BM_X runs beside its floor BM_X_Floor: the same result got the
// plainest cheap way, with bare QSqlQuery on a connection of its own (statements prepared once, only
// the columns needed, values converted by hand); the program prints X / floor for each pair.
// Usage: bench_store [--benchmark_repetitions=N] [postgresql://...]  (default: a SQLite file; on
// PostgreSQL the stores of scale 10 go to a schema of their own, the URL's schema with "_x10")

#include "host/objects/json_exchange.h"
#include "host/objects/sql_object_manager.h"
#include "host/objects/sql_store.h"

#include "lab_data/lab_exchange.h"
#include "support/floor_connection.h"
#include "support/floor_revision.h"
#include "support/ratio_reporter.h"
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>

using namespace veltrane;
using namespace veltrane::host;

namespace {

// At scale 1; a store of scale 10 holds ten times as many sets, size standards and SNP tags.
constexpr int kSets = 1000;
constexpr int kSizeStandards = 2000;
constexpr int kSnpTags = 10000;
constexpr int kTagsInBigSet = 1000;

QString g_location; // the store of scale 1
QString g_orderBy;

QString locationAt(int scale)
{
    if (scale == 1)
        return g_location;
    const QString suffix = QStringLiteral("_x%1").arg(scale);
    if (!g_location.startsWith(QLatin1String("postgresql://")))
        return g_location.chopped(int(QStringLiteral(".sqlite").size())) + suffix + QStringLiteral(".sqlite");
    QUrl url(g_location);
    QUrlQuery query(url);
    const QString schema = query.queryItemValue(QStringLiteral("schema"));
    query.removeQueryItem(QStringLiteral("schema"));
    query.addQueryItem(QStringLiteral("schema"), (schema.isEmpty() ? QStringLiteral("bench") : schema) + suffix);
    url.setQuery(query);
    return url.toString();
}

// The bench data, written in one import: sets shaped like real ones.
QJsonDocument benchData(int scale)
{
    return veltrane::testing::labExchange(kSets * scale, kSnpTags * scale, QStringLiteral("Bench"),
                                          kSizeStandards * scale);
}

std::map<int, SqlStorePtr> &stores()
{
    static std::map<int, SqlStorePtr> byScale;
    return byScale;
}

// The store of a scale, made on first use.
SqlStorePtr &store(int scale = 1)
{
    SqlStorePtr &s = stores()[scale];
    if (!s) {
        s = SqlStore::open(locationAt(scale), StoreOptions{false});
        if (s->parameterSets(true).size() < kSets * scale)
            importStore(*s, benchData(scale), QStringLiteral("bench data"));
    }
    return s;
}

// The floor's own connection, configured as the store configures its connections.
QSqlDatabase raw(int scale = 1)
{
    static const bool ordered = [] {
        g_orderBy = g_location.startsWith(QLatin1String("postgresql://"))
                        ? QStringLiteral(" ORDER BY name_key COLLATE \"C\", id")
                        : QStringLiteral(" ORDER BY name_key, id");
        return true;
    }();
    (void)ordered;
    return veltrane::bench::floorConnection(locationAt(scale));
}

void exec(QSqlQuery &q)
{
    veltrane::bench::execOrDie(q);
}

// A write case leaves the database as it found it, and starts with the log of earlier writes folded
// into the database, so that neither case of a pair pays for what the other wrote.
void settle(const QString &writtenNamePrefix = {})
{
    veltrane::bench::settle(raw(), writtenNamePrefix);
}

// ---- the list of sets on the selection page ----------------------------------------------------

void BM_LoadSetList(benchmark::State &state)
{
    const int scale = int(state.range(0));
    SqlObjectManager manager(store(scale));
    for (auto _ : state) {
        const CollectionPtr sets =
            manager.LoadCollection(queries::kAnalysisParametersNotHidden, {}, {}, QStringLiteral("Name"));
        if (sets->Count() < kSets * scale)
            state.SkipWithError("too few sets");
        benchmark::DoNotOptimize(sets);
    }
    state.SetItemsProcessed(state.iterations() * kSets * scale);
}

// The same collection: one object per listed set, keyed by name, its settings left to be read later.
void BM_LoadSetList_Floor(benchmark::State &state)
{
    const int scale = int(state.range(0));
    const StorePtr bound = store(scale);
    QSqlQuery q(raw(scale));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT id, name, project_id FROM parameter_sets WHERE (attributes & 4) = 0") + g_orderBy);
    for (auto _ : state) {
        exec(q);
        const CollectionPtr sets = newCollection();
        sets->reserve(kSets * scale);
        while (q.next()) {
            auto set = AnalysisParameterPtr::create();
            set->setID(q.value(0).toInt());
            set->setName(q.value(1).toString());
            set->setProjectID(q.value(2).toInt());
            set->setStore(bound);
            set->deferSettings();
            sets->Add(set, set->Name());
        }
        q.finish();
        benchmark::DoNotOptimize(sets);
    }
    state.SetItemsProcessed(state.iterations() * kSets * scale);
}

// ---- the settings of the one set the user selects ----------------------------------------------

void BM_ReadSelectedSettings(benchmark::State &state)
{
    const qint32 id = store()->parameterSets(false).at(kSets / 2)->ID();
    for (auto _ : state)
        benchmark::DoNotOptimize(store()->settingsOf(id));
}

// The same settings object, filled from six statements prepared once: the set's row with its size
// standard, calibration and reference joined in, the standard's fragments, the entries, their peaks and
// the two tag lists. Like the store, it reads them in one read transaction, so that they belong together
// even while others write.
void BM_ReadSelectedSettings_Floor(benchmark::State &state)
{
    const qint32 id = store()->parameterSets(false).at(kSets / 2)->ID();
    auto prepared = [](const QString &sql) {
        auto q = std::make_unique<QSqlQuery>(raw());
        q->setForwardOnly(true);
        if (!q->prepare(sql))
            qFatal("%s: %s", qPrintable(sql), qPrintable(q->lastError().text()));
        return q;
    };
    QString coefficients;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            coefficients += QStringLiteral(", c.c%1%2").arg(r).arg(c);
    const auto head =
        prepared(QStringLiteral(
                     "SELECT p.name, p.project_id, p.project_name, p.type_code, p.attributes, p.date_created, "
                     "p.date_modified, p.slope_threshold, p.snp_analysis, p.use_calculated_dye_spectra, "
                     "p.id_standard_by_size, p.quantity_by_height, p.dye_spectra_0, p.dye_spectra_1, "
                     "p.dye_spectra_2, p.dye_spectra_3, p.quant_size_time_0, p.quant_size_time_1, "
                     "p.quant_size_time_2, p.quant_size_time_3, p.quant_window_0, p.quant_window_1, p.quant_window_2, "
                     "p.quant_window_3, p.quant_amount_0, p.quant_amount_1, p.quant_amount_2, p.quant_amount_3, "
                     "p.quant_unit_0, p.quant_unit_1, p.quant_unit_2, p.quant_unit_3, "
                     "s.id, s.name, s.attributes, s.dye_index, s.fit_coefficient, c.id, c.name%1, "
                     "r.id, r.name, r.enum_type_id FROM parameter_sets p "
                     "LEFT JOIN size_standards s ON s.id = p.size_standard_id "
                     "LEFT JOIN mobility_calibrations c ON c.id = p.mobility_calibration_id "
                     "LEFT JOIN mobility_references r ON r.id = p.mobility_reference_id WHERE p.id = ?")
                     .arg(coefficients));
    const auto fragments = prepared(
        QStringLiteral("SELECT size FROM size_standard_fragments WHERE size_standard_id = ? ORDER BY position"));
    const auto entries = prepared(QStringLiteral(
        "SELECT entry_index, identify_alleles, relative_peak_height_threshold, confidence_level, has_calibration, "
        "calibration_name, calibration_kind, model_index, migration_variable, enum_type_id, "
        "calibration_size_standard_id FROM set_entries WHERE set_id = ? ORDER BY entry_index"));
    const auto peaks = prepared(QStringLiteral(
        "SELECT entry_index, peak FROM entry_selected_peaks WHERE set_id = ? ORDER BY entry_index, position"));
    const auto str = prepared(QStringLiteral(
        "SELECT l.entry_index, t.id, t.name, t.dye, t.min_size, t.max_size, t.date_modified FROM set_str_tags l "
        "JOIN str_locus_tags t ON t.id = l.tag_id WHERE l.set_id = ? ORDER BY l.entry_index, l.position"));
    const auto snp = prepared(QStringLiteral(
        "SELECT l.entry_index, t.id, t.name, t.tag_number, t.text1, t.text2, t.text3, t.text4, t.date_modified "
        "FROM set_snp_tags l JOIN snp_locus_tags t ON t.id = l.tag_id WHERE l.set_id = ? "
        "ORDER BY l.entry_index, l.position"));
    const bool sqlite = raw().driverName() == QLatin1String("QSQLITE");
    const QString beginRead =
        sqlite ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY");
    QSqlQuery transaction(raw());
    for (auto _ : state) {
        transaction.exec(beginRead);
        auto s = FragAnalysisParamPtr::create();
        QSqlQuery &h = *head;
        h.bindValue(0, id);
        exec(h);
        h.next();
        s->setID(id);
        s->setName(h.value(0).toString());
        s->setProjectID(h.value(1).toString());
        s->setProjectName(h.value(2).toString());
        s->setTypeCode(h.value(3).toInt());
        s->setAttributes(h.value(4).toInt());
        s->setDateCreated(h.value(5).toLongLong());
        s->setDateModified(h.value(6).toLongLong());
        s->setSlopeThreshold(float(h.value(7).toDouble()));
        s->setSNPAnalysis(h.value(8).toInt() != 0);
        s->setUseCalculatedDyeSpectra(h.value(9).toInt() != 0);
        s->setIDStandardBySize(h.value(10).toInt());
        s->setQuantityByHeight(h.value(11).toInt());
        for (int i = 0; i < 4; ++i) {
            s->setDyeSpectra(i, h.value(12 + i).toInt() != 0);
            s->setQuantSizeTime(i, float(h.value(16 + i).toDouble()));
            s->setQuantWindow(i, float(h.value(20 + i).toDouble()));
            s->setQuantAmount(i, float(h.value(24 + i).toDouble()));
            s->setQuantUnit(i, h.value(28 + i).toInt());
        }
        SizeStandardSettingsPtr standard;
        if (!h.isNull(32)) {
            standard = SizeStandardSettingsPtr::create();
            standard->setID(h.value(32).toInt());
            standard->setName(h.value(33).toString());
            standard->setAttributes(h.value(34).toInt());
            standard->setDyeIndex(qint16(h.value(35).toInt()));
            standard->setFitCoefficient(float(h.value(36).toDouble()));
            s->setSizeStandard(standard);
        }
        if (!h.isNull(37)) {
            auto calibration = MobilityCalibrationSettingsPtr::create();
            calibration->setID(h.value(37).toInt());
            calibration->setName(h.value(38).toString());
            for (int i = 0; i < 16; ++i)
                calibration->setCoefficient(qint16(i / 4), qint16(i % 4), float(h.value(39 + i).toDouble()));
            s->setDyeMobilityCalibration(calibration);
        }
        if (!h.isNull(55)) {
            auto reference = SizeCalibrationPtr::create();
            reference->setKind(SizeCalibration::kMobilityReference);
            reference->setID(h.value(55).toInt());
            reference->setName(h.value(56).toString());
            reference->setEnumTypeID(h.value(57).toInt());
            s->setStandardMobilityReference(reference);
        }
        h.finish();
        if (standard) {
            fragments->bindValue(0, standard->ID());
            exec(*fragments);
            QList<float> sizes;
            while (fragments->next())
                sizes.append(float(fragments->value(0).toDouble()));
            standard->setFragmentSizes(sizes);
            fragments->finish();
        }
        entries->bindValue(0, id);
        exec(*entries);
        while (entries->next()) {
            const int e = entries->value(0).toInt();
            s->setIdentifyAlleles(e, entries->value(1).toInt() != 0);
            s->setRelativePeakHeightThreshold(e, float(entries->value(2).toDouble()));
            s->setConfidenceLevel(e, float(entries->value(3).toDouble()));
            if (entries->value(4).toInt() != 0) {
                auto c = SizeCalibrationPtr::create();
                c->setName(entries->value(5).toString());
                c->setKind(entries->value(6).toInt());
                c->setModelIndex(entries->value(7).toInt());
                c->setMigrationVariable(entries->value(8).toInt());
                c->setEnumTypeID(entries->value(9).toInt());
                if (standard && entries->value(10).toInt() == standard->ID())
                    c->setSizeStandard(standard);
                s->setSizeCalibration(e, c);
            }
        }
        entries->finish();
        peaks->bindValue(0, id);
        exec(*peaks);
        QHash<int, QList<qint16>> selected;
        while (peaks->next())
            selected[peaks->value(0).toInt()].append(qint16(peaks->value(1).toInt()));
        for (auto it = selected.cbegin(); it != selected.cend(); ++it)
            s->SizeCalibration(it.key())->setSelectedPeaks(it.value());
        peaks->finish();
        str->bindValue(0, id);
        exec(*str);
        while (str->next()) {
            auto tag = STRLocusTagPtr::create();
            tag->setID(str->value(1).toInt());
            tag->setName(str->value(2).toString());
            tag->setDye(qint16(str->value(3).toInt()));
            tag->setMinSize(float(str->value(4).toDouble()));
            tag->setMaxSize(float(str->value(5).toDouble()));
            tag->setDateModified(str->value(6).toLongLong());
            s->STRLocusTagsOf(str->value(0).toInt())->Add(tag);
        }
        str->finish();
        snp->bindValue(0, id);
        exec(*snp);
        while (snp->next()) {
            auto tag = SNPLocusTagSettingsPtr::create();
            tag->setID(snp->value(1).toInt());
            tag->setName(snp->value(2).toString());
            tag->setTagNumber(float(snp->value(3).toDouble()));
            for (int t = 0; t < 4; ++t)
                tag->setTagText(t + 1, snp->value(4 + t).toString());
            tag->setDateModified(snp->value(8).toLongLong());
            s->SNPLocusTagsOf(snp->value(0).toInt())->Add(tag);
        }
        snp->finish();
        transaction.exec(QStringLiteral("COMMIT"));
        benchmark::DoNotOptimize(s);
    }
}

// ---- the SNP selector's list of every stored tag -------------------------------------------------

void BM_LoadSnpTags(benchmark::State &state)
{
    const int scale = int(state.range(0));
    SqlObjectManager manager(store(scale));
    for (auto _ : state) {
        const CollectionPtr tags = manager.LoadCollection(queries::kSNPLocusTags, {}, {}, QStringLiteral("Name"));
        if (tags->Count() < kSnpTags * scale)
            state.SkipWithError("too few tags");
        benchmark::DoNotOptimize(tags);
    }
    state.SetItemsProcessed(state.iterations() * kSnpTags * scale);
}

// The same collection: each tag an object with its settings object, keyed by name.
void BM_LoadSnpTags_Floor(benchmark::State &state)
{
    const int scale = int(state.range(0));
    const StorePtr bound = store(scale);
    QSqlQuery q(raw(scale));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT id, name, tag_number, text1, text2, text3, text4, date_modified "
                             "FROM snp_locus_tags") +
              g_orderBy);
    for (auto _ : state) {
        exec(q);
        const CollectionPtr tags = newCollection();
        tags->reserve(kSnpTags * scale);
        while (q.next()) {
            auto data = SNPLocusTagSettingsPtr::create();
            data->setID(q.value(0).toInt());
            data->setName(q.value(1).toString());
            data->setTagNumber(float(q.value(2).toDouble()));
            data->setTagText1(q.value(3).toString());
            data->setTagText2(q.value(4).toString());
            data->setTagText3(q.value(5).toString());
            data->setTagText4(q.value(6).toString());
            data->setDateModified(q.value(7).toLongLong());
            auto tag = SNPLocusTagPtr::create();
            tag->setID(data->ID());
            tag->setTagData(data);
            tag->setStore(bound);
            tags->Add(tag, data->Name());
        }
        q.finish();
        benchmark::DoNotOptimize(tags);
    }
    state.SetItemsProcessed(state.iterations() * kSnpTags * scale);
}

// ---- the editor's list of size standards ---------------------------------------------------------

void BM_LoadSizeStandards(benchmark::State &state)
{
    const int scale = int(state.range(0));
    SqlObjectManager manager(store(scale));
    for (auto _ : state) {
        const CollectionPtr standards = manager.LoadCollection(queries::kSizeStandards, {}, {}, QStringLiteral("Name"));
        if (standards->Count() < kSizeStandards * scale)
            state.SkipWithError("too few size standards");
        benchmark::DoNotOptimize(standards);
    }
    state.SetItemsProcessed(state.iterations() * kSizeStandards * scale);
}

// The same collection: each standard an object with its definition and its fragment sizes, keyed by
// name; the definitions in one statement, all fragments in a second, in the order of their standards.
void BM_LoadSizeStandards_Floor(benchmark::State &state)
{
    const int scale = int(state.range(0));
    const StorePtr bound = store(scale);
    QSqlQuery q(raw(scale)), f(raw(scale));
    q.setForwardOnly(true);
    f.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT id, name, attributes, dye_index, fit_coefficient FROM size_standards") +
              g_orderBy);
    f.prepare(QStringLiteral("SELECT size_standard_id, size FROM size_standard_fragments "
                             "ORDER BY size_standard_id, position"));
    for (auto _ : state) {
        exec(q);
        const CollectionPtr standards = newCollection();
        standards->reserve(kSizeStandards * scale);
        QHash<qint32, SizeStandardSettingsPtr> byId;
        byId.reserve(kSizeStandards * scale);
        while (q.next()) {
            auto data = SizeStandardSettingsPtr::create();
            data->setID(q.value(0).toInt());
            data->setName(q.value(1).toString());
            data->setAttributes(q.value(2).toInt());
            data->setDyeIndex(qint16(q.value(3).toInt()));
            data->setFitCoefficient(float(q.value(4).toDouble()));
            auto standard = SizeStandardPtr::create();
            standard->setID(data->ID());
            standard->setName(data->Name());
            standard->setStore(bound);
            standard->setData(data);
            byId.insert(data->ID(), data);
            standards->Add(standard, data->Name());
        }
        q.finish();
        exec(f);
        qint32 owner = 0;
        QList<float> sizes;
        const auto flush = [&] {
            if (const SizeStandardSettingsPtr data = byId.value(owner))
                data->setFragmentSizes(sizes);
            sizes.clear();
        };
        while (f.next()) {
            if (const qint32 id = f.value(0).toInt(); id != owner) {
                flush();
                owner = id;
            }
            sizes.append(float(f.value(1).toDouble()));
        }
        flush();
        f.finish();
        benchmark::DoNotOptimize(standards);
    }
    state.SetItemsProcessed(state.iterations() * kSizeStandards * scale);
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
    settle();
    for (auto _ : state) {
        set.setName(QStringLiteral("Big %1").arg(++serial));
        store()->commit(set);
    }
    settle(QStringLiteral("Big "));
    state.SetItemsProcessed(state.iterations() * kTagsInBigSet);
}

// The same rows in one transaction: the set, its entry, and the peaks and the tag links each in one
// multi-row statement, all prepared once; and the set's revision, as plainly (bench::FloorRevisions).
void BM_CommitSetWith1000SnpTags_Floor(benchmark::State &state)
{
    const auto listed = store()->parameterSets(false).first()->FragAnalysisParam();
    const qint32 standard = listed->SizeStandard()->ID();
    const auto tags = store()->snpLocusTags();
    QList<qint32> tagIds;
    for (int i = 0; i < kTagsInBigSet; ++i)
        tagIds << tags.at(i * (kSnpTags / kTagsInBigSet))->ID();
    const QList<qint16> peaks = listed->SizeCalibration(0)->SelectedPeaks();
    QSqlDatabase db = raw();
    const bool sqlite = db.driverName() == QLatin1String("QSQLITE");
    auto rows = [](const char *head, qsizetype n, const char *row) {
        QString sql = QString::fromLatin1(head);
        for (qsizetype i = 0; i < n; ++i)
            sql += (i ? QStringLiteral(", ") : QString()) + QLatin1String(row);
        return sql;
    };
    QSqlQuery set(db), entry(db), peak(db), link(db);
    set.prepare(QStringLiteral("INSERT INTO parameter_sets (id, name, name_key, version, project_id, project_name, "
                               "type_code, date_created, date_modified, size_standard_id, mobility_calibration_id, "
                               "mobility_reference_id) VALUES (%1, ?, ?, 1, ?, ?, 1011, 0, 0, ?, ?, ?) RETURNING id")
                    .arg(sqlite ? QStringLiteral("?") : QStringLiteral("DEFAULT")));
    bench::FloorRevisions revisions(db);
    entry.prepare(QStringLiteral("INSERT INTO set_entries (set_id, entry_index, identify_alleles, has_calibration, "
                                 "model_index, migration_variable, calibration_size_standard_id) "
                                 "VALUES (?, 0, 1, 1, 2, 1, ?)"));
    peak.prepare(rows("INSERT INTO entry_selected_peaks (set_id, entry_index, position, peak) VALUES ", peaks.size(),
                      "(?, 0, ?, ?)"));
    link.prepare(rows("INSERT INTO set_snp_tags (set_id, entry_index, position, tag_id) VALUES ", tagIds.size(),
                      "(?, 0, ?, ?)"));
    const auto tagsPart = [&] {
        QJsonArray snp;
        for (int i = 0; i < kTagsInBigSet; ++i)
            snp.append(bench::floorTag(*tags.at(i * (kSnpTags / kTagsInBigSet))->TagData()));
        return QJsonObject{
            {QStringLiteral("entries"), QJsonArray{QJsonObject{{QStringLiteral("snpLocusTags"), snp},
                                                               {QStringLiteral("strLocusTags"), QJsonArray()}}}}};
    };
    const QString summary = QStringLiteral("new set: size standard %1, 0 STR and %2 SNP locus tags")
                                .arg(listed->SizeStandard()->Name())
                                .arg(kTagsInBigSet);
    static int serial = 0;
    settle();
    for (auto _ : state) {
        QSqlQuery begin(db);
        begin.exec(sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
        const QString name = QStringLiteral("Floor %1").arg(++serial);
        if (sqlite)
            set.addBindValue(revisions.nextSetId());
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
        entry.addBindValue(id);
        entry.addBindValue(standard);
        exec(entry);
        for (int p = 0; p < peaks.size(); ++p) {
            peak.bindValue(3 * p, id);
            peak.bindValue(3 * p + 1, p);
            peak.bindValue(3 * p + 2, int(peaks[p]));
        }
        exec(peak);
        for (int t = 0; t < tagIds.size(); ++t) {
            link.bindValue(3 * t, id);
            link.bindValue(3 * t + 1, t);
            link.bindValue(3 * t + 2, tagIds[t]);
        }
        exec(link);
        revisions.record({.setId = id,
                          .name = name,
                          .projectName = listed->ProjectName(),
                          .settings = bench::floorSettings(*listed),
                          .snpTags = tagIds,
                          .tags = tagsPart,
                          .newSetSummary = summary});
        QSqlQuery commit(db);
        if (!commit.exec(QStringLiteral("COMMIT")))
            qFatal("COMMIT: %s", qPrintable(commit.lastError().text()));
    }
    set.finish();
    settle(QStringLiteral("Floor "));
    state.SetItemsProcessed(state.iterations() * kTagsInBigSet);
}

// ---- importing a file of 300 sets that refer to stored definitions ---------------------------------

constexpr int kImportedSets = 300;

// 300 sets exported from the store under new names: with the 1,200-odd definitions and tags they
// refer to, which the store has already (so an import reuses them). Indented as an export writes it,
// or compact as other programs may (the most values for its size).
const QByteArray &importFile(QJsonDocument::JsonFormat layout = QJsonDocument::Indented)
{
    static const QJsonDocument document = [] {
        QStringList names;
        const auto sets = store()->parameterSets(false);
        for (int i = 0; i < kImportedSets; ++i)
            names << sets.at(i)->Name();
        QJsonObject file = exportStore(*store(), names).object();
        QJsonArray list = file.value(QStringLiteral("sets")).toArray();
        for (qsizetype i = 0; i < list.size(); ++i) {
            QJsonObject set = list.at(i).toObject();
            set[QStringLiteral("name")] = QStringLiteral("Imported %1").arg(i, 4, 10, QLatin1Char('0'));
            list[i] = set;
        }
        file[QStringLiteral("sets")] = list;
        return QJsonDocument(file);
    }();
    static const QByteArray indented = document.toJson(QJsonDocument::Indented);
    static const QByteArray compact = document.toJson(QJsonDocument::Compact);
    return layout == QJsonDocument::Indented ? indented : compact;
}

void importSets(benchmark::State &state, QJsonDocument::JsonFormat layout)
{
    const QByteArray &bytes = importFile(layout);
    // Statements are prepared once per connection: the case and its floor are measured warm.
    importStore(*store(), bytes, QStringLiteral("bench.json"));
    settle(QStringLiteral("Imported "));
    for (auto _ : state) {
        const ImportReport report = importStore(*store(), bytes, QStringLiteral("bench.json"));
        if (report.sets.size() != kImportedSets)
            state.SkipWithError("not every set was imported");
        state.PauseTiming();
        settle(QStringLiteral("Imported "));
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kImportedSets);
}

void BM_ImportSets(benchmark::State &state)
{
    importSets(state, QJsonDocument::Indented);
}

void BM_ImportCompactSets(benchmark::State &state)
{
    importSets(state, QJsonDocument::Compact);
}

// The same rows from the same file in one transaction: the document parsed, the names it refers to
// looked up in one statement per kind, and each table's rows inserted with multi-row statements of at
// most 256 rows, all prepared once. Each set's revision too, as plainly: its snapshot's two parts cut
// from the file's own objects (the set without its name and flags, the definitions it names; the tags
// of its lists), written compact, hashed and compressed, the parts no revision holds yet stored.
void importSetsFloor(benchmark::State &state, QJsonDocument::JsonFormat layout)
{
    const QByteArray &bytes = importFile(layout);
    QSqlDatabase db = raw();
    const bool sqlite = db.driverName() == QLatin1String("QSQLITE");
    std::map<QString, std::unique_ptr<QSqlQuery>> prepared;
    auto statement = [&](const QString &sql) -> QSqlQuery & {
        std::unique_ptr<QSqlQuery> &q = prepared[sql];
        if (!q) {
            q = std::make_unique<QSqlQuery>(db);
            q->setForwardOnly(true);
            if (!q->prepare(sql))
                qFatal("%s: %s", qPrintable(sql), qPrintable(q->lastError().text()));
        }
        return *q;
    };
    // Inserts rows of width values each, 256 rows to a statement at most; answers what the statements
    // return.
    auto insertRows = [&](const QString &head, int width, const QList<QVariant> &values, const QString &tail) {
        QList<QVariant> returned;
        const qsizetype rows = values.size() / width;
        for (qsizetype at = 0; at < rows; at += 256) {
            const qsizetype n = std::min<qsizetype>(256, rows - at);
            QString sql = head;
            QString row = QStringLiteral("(");
            for (int c = 0; c < width; ++c)
                row += c ? QStringLiteral(", ?") : QStringLiteral("?");
            row += QLatin1Char(')');
            for (qsizetype r = 0; r < n; ++r)
                sql += (r ? QStringLiteral(", ") : QString()) + row;
            QSqlQuery &q = statement(sql + tail);
            for (qsizetype i = 0; i < n * width; ++i)
                q.bindValue(int(i), values.at(at * width + i));
            exec(q);
            while (q.next())
                returned << q.value(0);
            q.finish();
        }
        return returned;
    };
    auto ids = [&](const char *table, const QSet<QString> &names) {
        QHash<QString, int> out;
        QStringList keys(names.cbegin(), names.cend());
        for (qsizetype at = 0; at < keys.size(); at += 256) {
            const qsizetype n = std::min<qsizetype>(256, keys.size() - at);
            QString marks;
            for (qsizetype i = 0; i < n; ++i)
                marks += i ? QStringLiteral(", ?") : QStringLiteral("?");
            QSqlQuery &q = statement(
                QStringLiteral("SELECT id, name_key FROM %1 WHERE name_key IN (%2)").arg(QLatin1String(table), marks));
            for (qsizetype i = 0; i < n; ++i)
                q.bindValue(int(i), keys.at(at + i));
            exec(q);
            while (q.next())
                out.insert(q.value(1).toString(), q.value(0).toInt());
            q.finish();
        }
        return out;
    };
    const auto importOnce = [&] {
        const QJsonArray sets = QJsonDocument::fromJson(bytes).object().value(QStringLiteral("sets")).toArray();
        QSqlQuery transaction(db);
        transaction.exec(sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
        QSet<QString> standards, calibrations, references, projects, str, snp;
        for (const QJsonValue &v : sets) {
            const QJsonObject set = v.toObject();
            standards << set[QStringLiteral("sizeStandard")].toString().toCaseFolded();
            calibrations << set[QStringLiteral("mobilityCalibration")].toString().toCaseFolded();
            references << set[QStringLiteral("mobilityReference")].toString().toCaseFolded();
            projects << set[QStringLiteral("project")].toString().toCaseFolded();
            for (const QJsonValue &e : set[QStringLiteral("entries")].toArray()) {
                for (const QJsonValue &t : e[QStringLiteral("strLocusTags")].toArray())
                    str << t.toString().toCaseFolded();
                for (const QJsonValue &t : e[QStringLiteral("snpLocusTags")].toArray())
                    snp << t.toString().toCaseFolded();
            }
        }
        const auto standardIds = ids("size_standards", standards),
                   calibrationIds = ids("mobility_calibrations", calibrations),
                   referenceIds = ids("mobility_references", references), projectIds = ids("projects", projects),
                   strIds = ids("str_locus_tags", str), snpIds = ids("snp_locus_tags", snp);
        // SQLite would give a new set the number of a deleted one, whose revisions keep it: the next
        // numbers past every set and every revision, as the store takes them.
        int lastNumber = 0;
        if (sqlite) {
            QSqlQuery &last = statement(QStringLiteral("SELECT MAX(m) FROM (SELECT MAX(id) AS m FROM parameter_sets "
                                                       "UNION ALL SELECT MAX(set_id) FROM set_revisions) numbers"));
            exec(last);
            lastNumber = last.next() ? last.value(0).toInt() : 0;
            last.finish();
        }
        QList<QVariant> setRows;
        for (const QJsonValue &v : sets) {
            const QJsonObject set = v.toObject();
            const QString name = set[QStringLiteral("name")].toString();
            if (sqlite)
                setRows << ++lastNumber;
            setRows
                << name << name.toCaseFolded() << 1
                << QString::number(projectIds.value(set[QStringLiteral("project")].toString().toCaseFolded()))
                << set[QStringLiteral("projectName")].toString() << set[QStringLiteral("typeCode")].toInt()
                << set[QStringLiteral("attributes")].toInt()
                << QDateTime::fromString(set[QStringLiteral("dateCreated")].toString(), Qt::ISODate).toSecsSinceEpoch()
                << QDateTime::fromString(set[QStringLiteral("dateModified")].toString(), Qt::ISODate).toSecsSinceEpoch()
                << set[QStringLiteral("slopeThreshold")].toDouble() << int(set[QStringLiteral("snpAnalysis")].toBool())
                << standardIds.value(set[QStringLiteral("sizeStandard")].toString().toCaseFolded())
                << calibrationIds.value(set[QStringLiteral("mobilityCalibration")].toString().toCaseFolded())
                << referenceIds.value(set[QStringLiteral("mobilityReference")].toString().toCaseFolded())
                << int(set[QStringLiteral("useCalculatedDyeSpectra")].toBool())
                << set[QStringLiteral("idStandardBySize")].toInt() << set[QStringLiteral("quantityByHeight")].toInt();
            const QJsonArray spectra = set[QStringLiteral("dyeSpectra")].toArray();
            const QJsonArray rows = set[QStringLiteral("quantitation")].toArray();
            for (int r = 0; r < 4; ++r) {
                const QJsonObject row = rows.at(r).toObject();
                setRows << int(spectra.at(r).toBool()) << row[QStringLiteral("sizeTime")].toDouble()
                        << row[QStringLiteral("window")].toDouble() << row[QStringLiteral("amount")].toDouble()
                        << row[QStringLiteral("unit")].toInt();
            }
        }
        QString rowColumns;
        for (int r = 0; r < 4; ++r)
            rowColumns += QStringLiteral(", dye_spectra_%1, quant_size_time_%1, quant_window_%1, quant_amount_%1, "
                                         "quant_unit_%1")
                              .arg(r);
        const QList<QVariant> setIds = insertRows(
            QStringLiteral("INSERT INTO parameter_sets (%1name, name_key, version, project_id, project_name, "
                           "type_code, attributes, date_created, date_modified, slope_threshold, snp_analysis, "
                           "size_standard_id, mobility_calibration_id, mobility_reference_id, "
                           "use_calculated_dye_spectra, id_standard_by_size, quantity_by_height%2) VALUES ")
                .arg(sqlite ? QStringLiteral("id, ") : QString(), rowColumns),
            sqlite ? 38 : 37, setRows, QStringLiteral(" RETURNING id"));
        QList<QVariant> entryRows, peakRows, strRows, snpRows;
        for (qsizetype i = 0; i < sets.size(); ++i) {
            const QJsonArray entries = sets.at(i)[QStringLiteral("entries")].toArray();
            for (int e = 0; e < entries.size(); ++e) {
                const QJsonObject entry = entries.at(e).toObject();
                const QJsonObject c = entry[QStringLiteral("calibration")].toObject();
                entryRows << setIds[i] << e << int(entry[QStringLiteral("identifyAlleles")].toBool())
                          << entry[QStringLiteral("relativePeakHeightThreshold")].toDouble()
                          << entry[QStringLiteral("confidenceLevel")].toDouble() << int(!c.isEmpty())
                          << c[QStringLiteral("name")].toString() << c[QStringLiteral("kind")].toInt()
                          << c[QStringLiteral("modelIndex")].toInt() << c[QStringLiteral("migrationVariable")].toInt()
                          << c[QStringLiteral("enumTypeId")].toInt()
                          << standardIds.value(c[QStringLiteral("sizeStandard")].toString().toCaseFolded());
                const QJsonArray peaks = c[QStringLiteral("selectedPeaks")].toArray();
                for (int p = 0; p < peaks.size(); ++p)
                    peakRows << setIds[i] << e << p << peaks.at(p).toInt();
                const QJsonArray strTags = entry[QStringLiteral("strLocusTags")].toArray();
                for (int t = 0; t < strTags.size(); ++t)
                    strRows << setIds[i] << e << t << strIds.value(strTags.at(t).toString().toCaseFolded());
                const QJsonArray snpTags = entry[QStringLiteral("snpLocusTags")].toArray();
                for (int t = 0; t < snpTags.size(); ++t)
                    snpRows << setIds[i] << e << t << snpIds.value(snpTags.at(t).toString().toCaseFolded());
            }
        }
        insertRows(
            QStringLiteral("INSERT INTO set_entries (set_id, entry_index, identify_alleles, "
                           "relative_peak_height_threshold, confidence_level, has_calibration, calibration_name, "
                           "calibration_kind, model_index, migration_variable, enum_type_id, "
                           "calibration_size_standard_id) VALUES "),
            12, entryRows, {});
        insertRows(QStringLiteral("INSERT INTO entry_selected_peaks (set_id, entry_index, position, peak) VALUES "), 4,
                   peakRows, {});
        insertRows(QStringLiteral("INSERT INTO set_str_tags (set_id, entry_index, position, tag_id) VALUES "), 4,
                   strRows, {});
        insertRows(QStringLiteral("INSERT INTO set_snp_tags (set_id, entry_index, position, tag_id) VALUES "), 4,
                   snpRows, {});

        // The revisions.
        const QJsonObject file = QJsonDocument::fromJson(bytes).object();
        const auto byName = [&file](const char *list) {
            QHash<QString, QJsonObject> out;
            for (const QJsonValue &v : file.value(QLatin1String(list)).toArray())
                out.insert(v[QStringLiteral("name")].toString(), v.toObject());
            return out;
        };
        const auto fileStandards = byName("sizeStandards"), fileCalibrations = byName("mobilityCalibrations"),
                   fileReferences = byName("mobilityReferences"), fileStr = byName("strLocusTags"),
                   fileSnp = byName("snpLocusTags");
        QHash<QByteArray, QByteArray> parts; // hash to text
        QList<QVariant> revisionRows;
        const auto part = [&parts](const QJsonObject &object) {
            const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Compact);
            const QByteArray hash = QCryptographicHash::hash(text, QCryptographicHash::Blake2b_256);
            parts.insert(hash, text);
            return hash;
        };
        for (qsizetype i = 0; i < sets.size(); ++i) {
            QJsonObject set = sets.at(i).toObject();
            const QString name = set.take(QStringLiteral("name")).toString();
            const int attributes = set.take(QStringLiteral("attributes")).toInt();
            QJsonArray entries = set[QStringLiteral("entries")].toArray(), tagEntries, standards;
            QCryptographicHash links(QCryptographicHash::Blake2b_256);
            for (qsizetype e = 0; e < entries.size(); ++e) {
                QJsonObject entry = entries.at(e).toObject();
                QJsonArray strTags, snpTags;
                for (const QJsonValue &t : entry.take(QStringLiteral("strLocusTags")).toArray()) {
                    strTags.append(fileStr.value(t.toString()));
                    links.addData(QByteArray::number(strIds.value(t.toString().toCaseFolded())));
                }
                for (const QJsonValue &t : entry.take(QStringLiteral("snpLocusTags")).toArray()) {
                    snpTags.append(fileSnp.value(t.toString()));
                    links.addData(QByteArray::number(snpIds.value(t.toString().toCaseFolded())));
                }
                tagEntries.append(
                    QJsonObject{{QStringLiteral("snpLocusTags"), snpTags}, {QStringLiteral("strLocusTags"), strTags}});
                entries[e] = entry;
            }
            set[QStringLiteral("entries")] = entries;
            standards.append(fileStandards.value(set[QStringLiteral("sizeStandard")].toString()));
            const QByteArray settings = part(
                QJsonObject{{QStringLiteral("set"), set},
                            {QStringLiteral("sizeStandards"), standards},
                            {QStringLiteral("mobilityCalibrations"),
                             QJsonArray{fileCalibrations.value(set[QStringLiteral("mobilityCalibration")].toString())}},
                            {QStringLiteral("mobilityReferences"),
                             QJsonArray{fileReferences.value(set[QStringLiteral("mobilityReference")].toString())}}});
            const QByteArray tags = part(QJsonObject{{QStringLiteral("entries"), tagEntries}});
            revisionRows << setIds[i] << 1 << name << set[QStringLiteral("projectName")].toString() << attributes
                         << QDateTime::currentSecsSinceEpoch() << QStringLiteral("floor") << QStringLiteral("imported")
                         << QString(QLatin1String("")) << QStringLiteral("new set") << settings << tags
                         << links.result();
        }
        QList<QVariant> hashes, partRows;
        for (auto it = parts.cbegin(); it != parts.cend(); ++it)
            hashes << it.key();
        QSet<QByteArray> stored;
        for (qsizetype at = 0; at < hashes.size(); at += 256) {
            const qsizetype n = std::min<qsizetype>(256, hashes.size() - at);
            QString marks;
            for (qsizetype k = 0; k < n; ++k)
                marks += k ? QStringLiteral(", ?") : QStringLiteral("?");
            QSqlQuery &q = statement(QStringLiteral("SELECT hash FROM revision_parts WHERE hash IN (%1)").arg(marks));
            for (qsizetype k = 0; k < n; ++k)
                q.bindValue(int(k), hashes.at(at + k));
            exec(q);
            while (q.next())
                stored.insert(q.value(0).toByteArray());
            q.finish();
        }
        for (auto it = parts.cbegin(); it != parts.cend(); ++it)
            if (!stored.contains(it.key()))
                partRows << it.key() << 1 << int(it.value().size()) << qCompress(it.value());
        insertRows(QStringLiteral("INSERT INTO revision_parts (hash, encoding, size, data) VALUES "), 4, partRows,
                   QStringLiteral(" ON CONFLICT (hash) DO NOTHING"));
        insertRows(QStringLiteral("INSERT INTO set_revisions (set_id, revision, name, project_name, attributes, "
                                  "changed_at, changed_by, action, reason, summary, settings_part, tags_part, "
                                  "tag_links) VALUES "),
                   13, revisionRows, {});
        if (!transaction.exec(QStringLiteral("COMMIT")))
            qFatal("COMMIT: %s", qPrintable(transaction.lastError().text()));
    };
    importOnce();
    settle(QStringLiteral("Imported "));
    for (auto _ : state) {
        importOnce();
        state.PauseTiming();
        settle(QStringLiteral("Imported "));
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kImportedSets);
}

void BM_ImportSets_Floor(benchmark::State &state)
{
    importSetsFloor(state, QJsonDocument::Indented);
}

void BM_ImportCompactSets_Floor(benchmark::State &state)
{
    importSetsFloor(state, QJsonDocument::Compact);
}

VELTRANE_BENCHMARK_PAIR(BM_LoadSetList, ->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime());
VELTRANE_BENCHMARK_PAIR(BM_ReadSelectedSettings, ->Unit(benchmark::kMicrosecond)->UseRealTime());
VELTRANE_BENCHMARK_PAIR(BM_LoadSnpTags, ->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime());
VELTRANE_BENCHMARK_PAIR(BM_LoadSizeStandards, ->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime());
VELTRANE_BENCHMARK_PAIR(BM_CommitSetWith1000SnpTags, ->Unit(benchmark::kMillisecond)->UseRealTime());
VELTRANE_BENCHMARK_PAIR(BM_ImportSets, ->Unit(benchmark::kMillisecond)->UseRealTime());
VELTRANE_BENCHMARK_PAIR(BM_ImportCompactSets, ->Unit(benchmark::kMillisecond)->UseRealTime());

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    veltrane::bench::initialize(argc, argv, true);
    QTemporaryDir dir;
    g_location = argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath(QStringLiteral("bench.sqlite"));
    if (argc > 2 || (argc == 2 && !g_location.startsWith(QLatin1String("postgresql://")))) {
        std::fprintf(stderr, "usage: bench_store [benchmark options] [postgresql://user@host:port/db]\n");
        return 1;
    }
    store();
    raw();
    const int status = veltrane::bench::runWithRatios(veltrane::bench::RatioReporter::Clock::Real);
    stores().clear();
    return status;
}
