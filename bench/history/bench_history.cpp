// What the history costs at the sizes a lab reaches: a save of a set listing 1,000 SNP tags with its
// revision, the history of a set with 1,000 revisions, the overview of 10,000 sets, and a comparison of
// two sets of 10,000 SNP tags. Each BM_X runs beside its floor BM_X_Floor:
// - the saves: the store's own save without the revision (the same transaction, the same rows), so
//   the ratio is what the revision adds;
// - the history and the overview: the same rows by a bare query on a connection of its own, into
//   plain structures;
// - the manager window's list: the overview read into the window's table model, sorted by name and
//   filtered as the window shows it, against the same floor as the overview;
// - the comparison: the two sets' tag names sorted and merged, as the plainest diff of two lists does.
// Before the cases it prints how many bytes a revision takes: of a typical set (60 STR, 200 SNP tags)
// and of one listing 10,000 tags, when the set is created, saved with one field changed, saved with one
// tag more, and locked.
// Usage: bench_history [benchmark options] [STORE]
//   STORE: a SQLite file (kept, so a second run skips the import of the bench data) or
//   postgresql://...?schema=NAME; by default a SQLite file in a temporary folder.

#include "app/manager/set_list_model.h"
#include "host/compare/set_comparison.h"
#include "host/objects/json_exchange.h"
#include "host/objects/set_history.h"
#include "host/objects/snapshot.h"
#include "host/objects/sql_store.h"
#include "host/objects/store_io.h"

#include "lab_data/lab_exchange.h"
#include "support/floor_connection.h"
#include "support/ratio_reporter.h"
#include <QCoreApplication>
#include <QDateTime>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <functional>

using namespace veltrane;
using namespace veltrane::host;

namespace {

constexpr int kSets = 10000;
constexpr int kSnpTags = 10000;
constexpr int kTagsInBigSet = 1000;
constexpr int kRevisions = 1000;

QString g_location;

bool postgres()
{
    return g_location.startsWith(QLatin1String("postgresql://"));
}

SqlStorePtr &store()
{
    static SqlStorePtr s = [] {
        SqlStorePtr opened = SqlStore::open(g_location);
        if (opened->parameterSets(true).size() < kSets)
            importStore(*opened, veltrane::testing::labExchange(kSets, kSnpTags, QStringLiteral("Bench")),
                        QStringLiteral("bench data"));
        return opened;
    }();
    return s;
}

QSqlDatabase raw()
{
    return veltrane::bench::floorConnection(g_location);
}

void settle(const QString &writtenNamePrefix = {})
{
    veltrane::bench::settle(raw(), writtenNamePrefix);
}

// A set as the editor hands it to the store: complete new settings listing count SNP tags (and the STR
// tags of a stored set), its definitions taken from a stored set.
FragAnalysisParamPtr editedSet(int snpCount, int strCount = 15)
{
    const auto listed = store()->parameterSet(0, QStringLiteral("Set 00001"))->FragAnalysisParam();
    auto set = FragAnalysisParamPtr::create();
    set->setProjectID(listed->ProjectID());
    set->setProjectName(listed->ProjectName());
    set->setTypeCode(1011);
    set->setSlopeThreshold(10);
    set->setSizeStandard(listed->SizeStandard());
    set->setDyeMobilityCalibration(listed->DyeMobilityCalibration());
    set->setStandardMobilityReference(listed->StandardMobilityReference());
    set->setSizeCalibration(0, listed->SizeCalibration(0));
    set->setIdentifyAlleles(0, true);
    set->setConfidenceLevel(0, 95);
    const auto snp = store()->snpLocusTags();
    for (int i = 0; i < snpCount; ++i)
        set->SNPLocusTagsOf(0)->Add(snp.at(i * (kSnpTags / snpCount))->TagData());
    const auto str = store()->strLocusTags();
    for (int i = 0; i < strCount && i < str.size(); ++i)
        set->STRLocusTagsOf(0)->Add(str.at(i));
    return set;
}

// ---- saving a set that lists 1,000 SNP tags ---------------------------------------------------------

// As the editor's Save over a stored set: each save changes a field, so each revision is new and is
// summed up against the one before.
void BM_SaveOverSetWith1000SnpTags(benchmark::State &state)
{
    const FragAnalysisParamPtr set = editedSet(kTagsInBigSet);
    // Each run a set of its own: the one before was deleted behind this session's back.
    static int serial = 0;
    set->setName(QStringLiteral("Big over %1").arg(++serial));
    store()->commit(*set);
    settle();
    float slope = 10;
    for (auto _ : state) {
        set->setSlopeThreshold(slope = slope >= 999 ? 10 : slope + 1);
        store()->commit(*set);
    }
    settle(QStringLiteral("Big over"));
    state.SetItemsProcessed(state.iterations() * kTagsInBigSet);
}

// The store's own save of the same set without its revision: the stored row found and held, the stamp,
// the rows written, in one transaction.
void saveWithoutHistory(FragAnalysisParam &set)
{
    io::Context ctx = store()->context();
    Transaction transaction(store()->pool(), Transaction::Write);
    const std::optional<io::StoredSet> stored = io::findSet(ctx, set.Name(), true);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const io::SetStamp stamp{stored ? stored->attributes : 0, stored ? stored->dateCreated : now, now};
    io::ReferenceResolver resolver(ctx);
    QList<io::SetToWrite> one{io::SetToWrite{&set, stored, stamp, {}, {}}};
    QList<snapshot::References> resolved;
    io::writeSetRows(ctx, one, resolver, resolved);
    transaction.commit();
}

void BM_SaveOverSetWith1000SnpTags_Floor(benchmark::State &state)
{
    const FragAnalysisParamPtr set = editedSet(kTagsInBigSet);
    static int serial = 0;
    set->setName(QStringLiteral("Big floor %1").arg(++serial));
    saveWithoutHistory(*set);
    settle();
    float slope = 10;
    for (auto _ : state) {
        set->setSlopeThreshold(slope = slope >= 999 ? 10 : slope + 1);
        saveWithoutHistory(*set);
    }
    settle(QStringLiteral("Big floor"));
    state.SetItemsProcessed(state.iterations() * kTagsInBigSet);
}

// Saves the set under a new name each time, with the store's commit or without the revision; with a
// new tag list each time when asked (one tag swapped for another), so that its part is new too.
void saveUnderNewNames(benchmark::State &state, const QString &prefix, bool newTagList,
                       const std::function<void(FragAnalysisParam &)> &save)
{
    const FragAnalysisParamPtr set = editedSet(kTagsInBigSet);
    const auto tags = store()->snpLocusTags();
    int serial = 0;
    settle();
    for (auto _ : state) {
        ++serial;
        set->setName(QStringLiteral("%1 %2 %3").arg(prefix).arg(QDateTime::currentMSecsSinceEpoch()).arg(serial));
        if (newTagList) {
            set->SNPLocusTagsOf(0)->Remove(1);
            set->SNPLocusTagsOf(0)->Add(tags.at((serial * 7919) % kSnpTags)->TagData());
        }
        save(*set);
    }
    settle(prefix);
    state.SetItemsProcessed(state.iterations() * kTagsInBigSet);
}

void commit(FragAnalysisParam &set)
{
    store()->commit(set);
}

// Save As: a new set each time, listing the tags of a stored set, whose part its first revision shares.
void BM_SaveNewSetWith1000SnpTags(benchmark::State &state)
{
    saveUnderNewNames(state, QStringLiteral("Big new"), false, commit);
}

void BM_SaveNewSetWith1000SnpTags_Floor(benchmark::State &state)
{
    saveUnderNewNames(state, QStringLiteral("Big fresh"), false, saveWithoutHistory);
}

// A set under a new name listing tags no stored set lists: its revision stores the tag list's part.
void BM_SaveNewTagListWith1000SnpTags(benchmark::State &state)
{
    saveUnderNewNames(state, QStringLiteral("Big list"), true, commit);
}

void BM_SaveNewTagListWith1000SnpTags_Floor(benchmark::State &state)
{
    saveUnderNewNames(state, QStringLiteral("Big floor list"), true, saveWithoutHistory);
}

// ---- the history of a set with 1,000 revisions ----------------------------------------------------

qint32 setWithManyRevisions()
{
    static const qint32 id = [] {
        const QString name = QStringLiteral("Long history");
        if (!store()->parameterSet(0, name)) {
            const FragAnalysisParamPtr set = editedSet(200, 60);
            set->setName(name);
            store()->commit(*set);
            for (int i = 1; i < kRevisions; ++i)
                i % 2 ? lockSet(*store(), name, QStringLiteral("review %1").arg(i))
                      : unlockSet(*store(), name, QStringLiteral("review %1").arg(i));
        }
        return setIdByName(*store(), name);
    }();
    return id;
}

void BM_History1000(benchmark::State &state)
{
    const qint32 id = setWithManyRevisions();
    for (auto _ : state) {
        const QList<Revision> revisions = setHistory(*store(), id);
        if (revisions.size() < kRevisions)
            state.SkipWithError("too few revisions");
        benchmark::DoNotOptimize(revisions);
    }
    state.SetItemsProcessed(state.iterations() * kRevisions);
}

struct PlainRevision
{
    int set, number, attributes;
    QString name, project, who, action, reason, summary;
    qint64 time;
};

void BM_History1000_Floor(benchmark::State &state)
{
    const qint32 id = setWithManyRevisions();
    QSqlQuery q(raw());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT set_id, revision, name, project_name, attributes, changed_at, changed_by, "
                             "action, reason, summary FROM set_revisions WHERE set_id = ? ORDER BY revision DESC"));
    for (auto _ : state) {
        q.addBindValue(id);
        veltrane::bench::execOrDie(q);
        QList<PlainRevision> revisions;
        while (q.next())
            revisions.append(PlainRevision{q.value(0).toInt(), q.value(1).toInt(), q.value(4).toInt(),
                                           q.value(2).toString(), q.value(3).toString(), q.value(6).toString(),
                                           q.value(7).toString(), q.value(8).toString(), q.value(9).toString(),
                                           q.value(5).toLongLong()});
        q.finish();
        benchmark::DoNotOptimize(revisions);
    }
    state.SetItemsProcessed(state.iterations() * kRevisions);
}

// ---- the overview of 10,000 sets -------------------------------------------------------------------

void BM_Overview10000(benchmark::State &state)
{
    for (auto _ : state) {
        const QList<SetOverview> sets = setOverview(*store());
        if (sets.size() < kSets)
            state.SkipWithError("too few sets");
        benchmark::DoNotOptimize(sets);
    }
    state.SetItemsProcessed(state.iterations() * kSets);
}

struct PlainOverview
{
    int id, attributes, version, revisions;
    QString name, project, who, action;
    qint64 time;
};

void BM_Overview10000_Floor(benchmark::State &state)
{
    QSqlQuery q(raw());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT p.id, p.name, p.project_name, p.attributes, p.version, r.revision, r.changed_at, "
                             "r.changed_by, r.action FROM parameter_sets p LEFT JOIN set_revisions r ON r.set_id = "
                             "p.id AND r.revision = (SELECT MAX(x.revision) FROM set_revisions x WHERE x.set_id = "
                             "p.id) ORDER BY p.name_key%1, p.id")
                  .arg(postgres() ? QStringLiteral(" COLLATE \"C\"") : QString()));
    for (auto _ : state) {
        veltrane::bench::execOrDie(q);
        QList<PlainOverview> sets;
        while (q.next())
            sets.append(PlainOverview{q.value(0).toInt(), q.value(3).toInt(), q.value(4).toInt(), q.value(5).toInt(),
                                      q.value(1).toString(), q.value(2).toString(), q.value(7).toString(),
                                      q.value(8).toString(), q.value(6).toLongLong()});
        q.finish();
        benchmark::DoNotOptimize(sets);
    }
    state.SetItemsProcessed(state.iterations() * kSets);
}

// ---- comparing two sets of 10,000 SNP tags ---------------------------------------------------------

// Two sets listing 10,000 tags each, in the order a user picked them: the second lacks 100 of the
// first's and lists 100 others.
std::pair<FragAnalysisParamPtr, FragAnalysisParamPtr> twoLargeSets()
{
    static const auto sets = [] {
        QList<SNPLocusTagSettingsPtr> tags;
        for (const SNPLocusTagPtr &tag : store()->snpLocusTags())
            tags.append(tag->TagData());
        for (int i = 0; i < 100; ++i) {
            auto extra = SNPLocusTagSettingsPtr::create();
            extra->setName(QStringLiteral("rsExtra%1").arg(i));
            tags.append(extra);
        }
        QRandomGenerator random(20240501);
        std::shuffle(tags.begin(), tags.end() - 100, random);
        auto a = FragAnalysisParamPtr::create(), b = FragAnalysisParamPtr::create();
        a->setIdentifyAlleles(0, false); // entry 0, which lists the tags
        b->setIdentifyAlleles(0, false);
        for (int i = 0; i < kSnpTags; ++i) {
            a->SNPLocusTagsOf(0)->Add(tags.at(i));
            b->SNPLocusTagsOf(0)->Add(tags.at(i + 100));
        }
        return std::pair{a, b};
    }();
    return sets;
}

void BM_Compare10000SnpTags(benchmark::State &state)
{
    const auto [a, b] = twoLargeSets();
    for (auto _ : state) {
        const SetComparison c = compareSets(*a, *b);
        if (c.changedCount() != 200)
            state.SkipWithError("not the 200 differences");
        benchmark::DoNotOptimize(c);
    }
    state.SetItemsProcessed(state.iterations() * kSnpTags * 2);
}

QStringList namesOf(const FragAnalysisParam &s)
{
    QStringList names;
    names.reserve(kSnpTags);
    for (const QVariant &item : *s.SNPLocusTagsOf(0))
        names.append(objectFrom<BusinessObject>(item)->Name());
    return names;
}

void BM_Compare10000SnpTags_Floor(benchmark::State &state)
{
    const auto [a, b] = twoLargeSets();
    for (auto _ : state) {
        QStringList left = namesOf(*a), right = namesOf(*b);
        std::sort(left.begin(), left.end());
        std::sort(right.begin(), right.end());
        QStringList added, removed;
        qsizetype l = 0, r = 0;
        while (l < left.size() || r < right.size()) {
            if (r >= right.size() || (l < left.size() && left[l] < right[r]))
                removed << left[l++];
            else if (l >= left.size() || right[r] < left[l])
                added << right[r++];
            else
                ++l, ++r;
        }
        if (added.size() + removed.size() != 200)
            state.SkipWithError("not the 200 differences");
        benchmark::DoNotOptimize(added);
    }
    state.SetItemsProcessed(state.iterations() * kSnpTags * 2);
}

// ---- how many bytes a revision takes ---------------------------------------------------------------

// ---- the manager window's list of 10,000 sets ----------------------------------------------------

void BM_ManagerList10000(benchmark::State &state)
{
    // As the window holds it: sorted by name, filtered by what Find holds (nothing).
    veltrane::app::SetListModel model;
    veltrane::app::SetFilterModel shown;
    shown.setSourceModel(&model);
    shown.sort(veltrane::app::SetListModel::Name);
    for (auto _ : state) {
        model.reload(*store(), false);
        if (shown.rowCount() < kSets)
            state.SkipWithError("too few sets");
    }
    state.SetItemsProcessed(state.iterations() * kSets);
}

void BM_ManagerList10000_Floor(benchmark::State &state)
{
    BM_Overview10000_Floor(state);
}

// The bytes the history holds now: the stored parts, and the revision rows.
std::pair<qint64, qint64> historyBytes()
{
    QSqlQuery q(raw());
    const QString parts = postgres() ? QStringLiteral("SELECT COALESCE(SUM(pg_column_size(data) + "
                                                      "pg_column_size(hash)), 0) FROM revision_parts")
                                     : QStringLiteral("SELECT COALESCE(SUM(length(data) + length(hash) + 8), 0) "
                                                      "FROM revision_parts");
    const QString rows =
        postgres() ? QStringLiteral("SELECT COALESCE(SUM(pg_column_size(r.*)), 0) FROM set_revisions r")
                   : QStringLiteral("SELECT COALESCE(SUM(length(name) + length(project_name) + length(changed_by) + "
                                    "length(action) + length(reason) + length(summary) + length(settings_part) + "
                                    "length(tags_part) + 4 * 8), 0) FROM set_revisions");
    qint64 p = 0, r = 0;
    if (q.exec(parts) && q.next())
        p = q.value(0).toLongLong();
    if (q.exec(rows) && q.next())
        r = q.value(0).toLongLong();
    return {p, r};
}

void printRevisionSizes()
{
    std::printf("Bytes a revision adds to the store (%s): parts + row\n", postgres() ? "PostgreSQL" : "SQLite");
    std::printf("%-34s %12s %12s %12s %12s\n", "set", "created", "field saved", "tag added", "locked");
    const struct
    {
        const char *label;
        int snp, str;
        float slope; // sets of their own values, which share no part with each other
    } shapes[] = {{"typical (60 STR, 200 SNP tags)", 200, 60, 20}, {"large (10,000 SNP tags)", kSnpTags, 0, 30}};
    static int serial = 0;
    for (const auto &shape : shapes) {
        const FragAnalysisParamPtr set = editedSet(shape.snp, shape.str);
        set->setName(QStringLiteral("Sized %1 %2").arg(QDateTime::currentMSecsSinceEpoch()).arg(++serial));
        set->setSlopeThreshold(shape.slope);
        QStringList cells;
        const auto measure = [&](const std::function<void()> &change) {
            const auto before = historyBytes();
            change();
            const auto after = historyBytes();
            cells << QStringLiteral("%1 + %2").arg(after.first - before.first).arg(after.second - before.second);
        };
        measure([&] { store()->commit(*set); });
        measure([&] {
            set->setSlopeThreshold(shape.slope + 1);
            store()->commit(*set);
        });
        measure([&] {
            set->STRLocusTagsOf(0)->Add(store()->strLocusTags().last());
            store()->commit(*set);
        });
        measure([&] { lockSet(*store(), set->Name()); });
        std::printf("%-34s %12s %12s %12s %12s\n", shape.label, qPrintable(cells[0]), qPrintable(cells[1]),
                    qPrintable(cells[2]), qPrintable(cells[3]));
    }
    std::printf("\n");
    std::fflush(stdout);
}

VELTRANE_BENCHMARK_PAIR(BM_SaveOverSetWith1000SnpTags, ->Unit(benchmark::kMillisecond)->UseRealTime());
VELTRANE_BENCHMARK_PAIR(BM_SaveNewSetWith1000SnpTags, ->Unit(benchmark::kMillisecond)->UseRealTime());
VELTRANE_BENCHMARK_PAIR(BM_SaveNewTagListWith1000SnpTags, ->Unit(benchmark::kMillisecond)->UseRealTime());
VELTRANE_BENCHMARK_PAIR(BM_History1000, ->Unit(benchmark::kMillisecond)->UseRealTime());
VELTRANE_BENCHMARK_PAIR(BM_Overview10000, ->Unit(benchmark::kMillisecond)->UseRealTime());
VELTRANE_BENCHMARK_PAIR(BM_ManagerList10000, ->Unit(benchmark::kMillisecond)->UseRealTime());
VELTRANE_BENCHMARK_PAIR(BM_Compare10000SnpTags, ->Unit(benchmark::kMillisecond)->UseRealTime());

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool understood = veltrane::bench::initialize(argc, argv, true);
    QTemporaryDir dir;
    g_location = argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath(QStringLiteral("bench.sqlite"));
    if (!understood || argc > 2 || (argc == 2 && g_location.startsWith(QLatin1String("--")))) {
        std::fprintf(stderr, "usage: bench_history [benchmark options] [FILE.sqlite | postgresql://...]\n");
        return 1;
    }
    store();
    raw();
    printRevisionSizes();
    setWithManyRevisions();
    const int status = veltrane::bench::runWithRatios(veltrane::bench::RatioReporter::Clock::Real);
    store().reset();
    return status;
}
