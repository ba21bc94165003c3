// The SNP locus tag selector at a lab's size, BM_X/1: 10,000 stored SNP tags and a set that uses
// 1,000 of them; and at ten times that, BM_X/10: 100,000 stored tags, 10,000 in the set.
// Each BM_X runs beside its floor BM_X_Floor; the program prints X / floor for each pair at the end.
//   Initialize   the store's reads and both grids filled, split and sorted by name; floor: the same
//                reads through the business-object manager (the stored tags the selector keeps), the
//                same cells in two bare table models shown in stock views
//   AddAll       ">>" and "<<" in turn (every row moves each time); floor: the bare models moving rows
//   AddSelected  ">" with every ninth available row selected (1,000 or 10,000 rows); floor: the bare
//                models moving those rows
//   Sort         "Sort Ascending" and "Sort Descending" in turn on the available rows by six keys;
//                floor: std::stable_sort of the same rows with the same comparisons
//   Save         Save into a new settings object and commit it; floor: one bare SQL transaction
//                writing the same set rows and links, and the set's revision
// Usage: bench_snp_selector [--benchmark_repetitions=N]

#include "app/host_setup.h"
#include "host/objects/json_exchange.h"
#include "platform/forms/command_button.h"
#include "platform/forms/popup_menu.h"
#include "platform/grid/grid_control.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/snp_selector/snp_locus_tag_selector.h"

#include "support/floor_connection.h"
#include "support/floor_revision.h"
#include "support/ratio_reporter.h"
#include "support/widget_main.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

#include <array>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

using namespace veltrane;

namespace {

// At scale 1; scale 10 has ten times as many of each.
constexpr int kTags = 10000;
constexpr int kInSet = 1000;
constexpr int kCols = 6;
const QString kSetName = QStringLiteral("Genealogy panel");

QTemporaryDir g_dir;
std::shared_ptr<host::SqlStore> g_store;
int g_scale = 0; // of the store the pages use

QString storeFile(int scale)
{
    return g_dir.filePath(QStringLiteral("bench-x%1.sqlite").arg(scale));
}

// Makes the store of a scale the one the pages use.
void use(int scale)
{
    if (scale == g_scale)
        return;
    installHostFactories({});
    resetThreadHelpers();
    g_store.reset();
    g_store = app::openAndInstall(storeFile(scale), host::StoreOptions{.seed = false});
    g_scale = scale;
}

// Tag-like rows: rs numbers, a position-like number, a chromosome, an allele pair, two words.
QJsonDocument benchData(int scale)
{
    const char *alleles[] = {"A/G", "C/T", "A/C", "G/T"};
    const char *words[] = {"coding", "intron", "promoter", "utr", "splice", "intergenic"};
    QJsonArray tags;
    for (int i = 0; i < kTags * scale; ++i)
        tags.append(QJsonObject{{"name", QStringLiteral("rs%1").arg(1000000 + (i * 7919) % 9000000)},
                                {"tagNumber", 40 + (i % 997) * 0.25},
                                {"texts", QJsonArray{QStringLiteral("Chr %1").arg(1 + i % 22), alleles[i % 4],
                                                     words[i % 6], QString::fromLatin1(words[(i / 6) % 6]).toUpper()}},
                                {"dateModified", "2024-01-15T09:30:00Z"}});
    return QJsonDocument(QJsonObject{
        {"format", host::kExchangeFormatName}, {"version", host::kExchangeFormatVersion}, {"snpLocusTags", tags}});
}

void setUp()
{
    for (int scale : {1, 10}) {
        use(scale);
        host::importStore(*g_store, benchData(scale), QStringLiteral("bench data"));
        const CollectionPtr tags = ObjectManager().LoadCollection(queries::kSNPLocusTags, {}, {}, fields::kName);
        auto set = FragAnalysisParamPtr::create();
        set->setName(kSetName);
        set->setProjectName(QStringLiteral("Default"));
        set->setTypeCode(limits::kFragAnalysisTypeCode);
        set->setIdentifyAlleles(0, false);
        for (int i = 0; i < kInSet * scale; ++i) // every tenth tag by name: the two grids interleave
            set->SNPLocusTagsOf(0)->Add(tags->Object<SNPLocusTag>(10 * i + 5)->TagData());
        set->Commit();
    }
}

AnalysisParameterPtr loadedSet()
{
    const CollectionPtr sets =
        ObjectManager().LoadCollection(queries::kAnalysisParameters, {}, {}, fields::kName, false, true);
    AnalysisParameterPtr set = sets->Object<AnalysisParameter>(kSetName);
    set->FragAnalysisParam(); // the editor has read the settings before it hands the set over
    return set;
}

// The selector at a scale, shown and initialised with the bench set.
struct ShownSelector
{
    explicit ShownSelector(int scale)
        : set((use(scale), loadedSet()))
    {
        selector.resize(1000, 600);
        selector.show();
        QCoreApplication::processEvents();
        selector.Initialize(set);
        QCoreApplication::processEvents();
    }
    GridControl *grid(const char *name) { return selector.findChild<GridControl *>(QLatin1String(name)); }
    CommandButton *button(const char *name) { return selector.findChild<CommandButton *>(QLatin1String(name)); }

    AnalysisParameterPtr set;
    SNPLocusTagSelector selector;
};

// ---- the floors' tables ------------------------------------------------------------------------

using Row = std::array<QString, kCols>;

// A bare model over one row-major vector of texts with a header row, shown in a stock QTableView.
class BareTable : public QAbstractTableModel
{
public:
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(cells.size() / kCols);
    }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : kCols; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        return cells[size_t(index.row()) * kCols + size_t(index.column())];
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section >= header.size())
            return {};
        return header.at(section);
    }
    void reset(std::vector<QString> &&rows)
    {
        beginResetModel();
        cells = std::move(rows);
        endResetModel();
    }
    void appendFrom(std::vector<QString> &&rows)
    {
        if (rows.empty())
            return;
        const int at = rowCount();
        beginInsertRows({}, at, at + int(rows.size() / kCols) - 1);
        if (cells.empty())
            cells = std::move(rows);
        else
            cells.insert(cells.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
        endInsertRows();
    }
    std::vector<QString> takeAll()
    {
        beginRemoveRows({}, 0, rowCount() - 1);
        std::vector<QString> out = std::move(cells);
        cells.clear();
        endRemoveRows();
        return out;
    }
    // Takes the flagged rows out (one reset of this view), in their order.
    std::vector<QString> takeFlagged(const std::vector<char> &flagged)
    {
        std::vector<QString> taken;
        beginResetModel();
        size_t kept = 0;
        for (size_t r = 0; r < flagged.size(); ++r) {
            auto first = cells.begin() + qsizetype(r * kCols);
            if (flagged[r])
                taken.insert(taken.end(), std::make_move_iterator(first), std::make_move_iterator(first + kCols));
            else
                std::move(first, first + kCols, cells.begin() + qsizetype(kept++ * kCols));
        }
        cells.resize(kept * kCols);
        endResetModel();
        return taken;
    }

    QStringList header;
    std::vector<QString> cells;
};

struct ShownTable
{
    ShownTable()
    {
        view.setModel(&table);
        view.resize(480, 600);
        view.show();
        QCoreApplication::processEvents();
    }
    BareTable table;
    QTableView view;
};

QSqlDatabase raw()
{
    return bench::floorConnection(storeFile(g_scale));
}

void exec(QSqlQuery &q)
{
    bench::execOrDie(q);
}

QString numberText(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 7);
}

// ---- Initialize ----------------------------------------------------------------------------------

void BM_Initialize(benchmark::State &state)
{
    ShownSelector shown(int(state.range(0)));
    for (auto _ : state) {
        shown.selector.Initialize(shown.set);
        QCoreApplication::processEvents();
    }
    state.counters["selected"] = shown.selector.NumberOfSelectedLocusTags();
}

// The same reads through the business-object manager (the selector keeps the stored tags it reads,
// as business objects, for what the user does next), the same cells in two bare table models.
void BM_Initialize_Floor(benchmark::State &state)
{
    use(int(state.range(0)));
    const AnalysisParameterPtr set = loadedSet();
    std::array<ShownTable, 2> shown;
    CollectionPtr kept; // the stored tags, kept from one Initialize to the next as the selector keeps them
    for (auto _ : state) {
        BusinessObjectManager &objects = ObjectManager();
        for (ShownTable &t : shown) {
            const auto layout = qSharedPointerObjectCast<GridType>(objects.LoadObject(
                types::kGridType, fields::kGridTypeID, QString::number(layouts::kSNPLocusTags), false, true));
            t.table.header.clear();
            for (const GridType::Column &column : layout->columns())
                t.table.header << column.title;
        }
        kept = objects.LoadCollection(queries::kSNPLocusTags, {}, {}, fields::kName, false, true);
        QSet<qint32> inSet;
        for (const QVariant &item : *set->FragAnalysisParam()->SNPLocusTagsOf(0))
            inSet.insert(objectFrom<SNPLocusTagSettings>(item)->ID());
        // The store lists the tags by name, the order the tables show them in.
        std::array<std::vector<QString>, 2> cells;
        for (const QVariant &item : *kept) {
            const SNPLocusTagSettingsPtr tag = objectFrom<SNPLocusTag>(item)->TagData();
            std::vector<QString> &target = cells[inSet.contains(tag->ID()) ? 1 : 0];
            target.push_back(tag->Name());
            target.push_back(numberText(double(tag->TagNumber())));
            for (qint32 t = 1; t <= 4; ++t)
                target.push_back(tag->TagText(t));
        }
        shown[0].table.reset(std::move(cells[0]));
        shown[1].table.reset(std::move(cells[1]));
        QCoreApplication::processEvents();
    }
}

// ---- moving all rows -----------------------------------------------------------------------------

void BM_AddAll(benchmark::State &state)
{
    ShownSelector shown(int(state.range(0)));
    bool toRight = true;
    for (auto _ : state) {
        shown.button(toRight ? "cmdAddAll" : "cmdRemoveAll")->click();
        QCoreApplication::processEvents();
        toRight = !toRight;
    }
}

void BM_AddAll_Floor(benchmark::State &state)
{
    ShownSelector shown(int(state.range(0))); // only for the same rows
    std::array<ShownTable, 2> tables;
    const auto copyOf = [](GridControl *grid) {
        std::vector<QString> cells;
        for (qint32 r = 1; r <= grid->rowCount(); ++r)
            for (qint32 c = 1; c <= kCols; ++c)
                cells.push_back(grid->cellText(r, c));
        return cells;
    };
    tables[0].table.reset(copyOf(shown.grid("gridAvailable")));
    tables[1].table.reset(copyOf(shown.grid("gridSelected")));
    bool toRight = true;
    for (auto _ : state) {
        if (toRight)
            tables[1].table.appendFrom(tables[0].table.takeAll());
        else
            tables[0].table.appendFrom(tables[1].table.takeAll());
        QCoreApplication::processEvents();
        toRight = !toRight;
    }
}

// ---- moving the selected rows ----------------------------------------------------------------------

// Every ninth of the available rows: 1,000 rows at scale 1, 10,000 at scale 10.
QList<qint32> everyNinthRow(int scale)
{
    QList<qint32> rows;
    for (qint32 r = 1; r <= (kTags - kInSet) * scale; r += 9)
        rows.append(r);
    return rows;
}

void BM_AddSelected(benchmark::State &state)
{
    const int scale = int(state.range(0));
    ShownSelector shown(scale);
    GridControl *available = shown.grid("gridAvailable");
    GridControl *selected = shown.grid("gridSelected");
    const QList<qint32> rows = everyNinthRow(scale);
    QList<qint32> movedIn; // where the moved rows land: the bottom of gridSelected
    for (qint32 r = kInSet * scale + 1; r <= kInSet * scale + rows.size(); ++r)
        movedIn.append(r);
    available->setCurrentCell(1, 1); // a current row: the user's click on the first of the rows
    available->setSelectedRows(rows);
    for (auto _ : state) {
        shown.button("cmdAddSingle")->click();
        QCoreApplication::processEvents();
        state.PauseTiming();
        available->appendRows(selected->takeRows(movedIn));
        available->setSelectedRows(rows);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_AddSelected_Floor(benchmark::State &state)
{
    const int scale = int(state.range(0));
    ShownSelector shown(scale);
    std::vector<QString> left, right;
    for (GridControl *grid : {shown.grid("gridAvailable"), shown.grid("gridSelected")})
        for (qint32 r = 1; r <= grid->rowCount(); ++r)
            for (qint32 c = 1; c <= kCols; ++c)
                (grid == shown.grid("gridAvailable") ? left : right).push_back(grid->cellText(r, c));
    std::vector<char> flagged(left.size() / kCols, 0);
    const QList<qint32> rows = everyNinthRow(scale);
    for (qint32 r : rows)
        flagged[size_t(r - 1)] = 1;
    std::array<ShownTable, 2> tables;
    tables[0].table.reset(std::move(left));
    tables[1].table.reset(std::move(right));
    std::vector<char> movedIn(size_t(kInSet * scale + rows.size()), 0);
    std::fill(movedIn.begin() + kInSet * scale, movedIn.end(), 1);
    for (auto _ : state) {
        tables[1].table.appendFrom(tables[0].table.takeFlagged(flagged));
        QCoreApplication::processEvents();
        state.PauseTiming();
        tables[0].table.appendFrom(tables[1].table.takeFlagged(movedIn));
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

// ---- sorting by six keys --------------------------------------------------------------------------

void BM_Sort(benchmark::State &state)
{
    ShownSelector shown(int(state.range(0)));
    auto *menu = shown.selector.findChild<PopupMenu *>(QStringLiteral("mnuSNPLocusColumn"));
    bool ascending = false; // the grid starts ascending by name
    for (auto _ : state) {
        menu->item(ascending ? QStringLiteral("mnuAscending") : QStringLiteral("mnuDescending"))->Trigger();
        QCoreApplication::processEvents();
        ascending = !ascending;
    }
}

// A bare model over a vector of rows, sorted in place and shown in a stock view.
class RowTable : public QAbstractTableModel
{
public:
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(rows.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : kCols; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        return rows[size_t(index.row())][size_t(index.column())];
    }
    void sort(Qt::CaseSensitivity cs, bool ascending)
    {
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        std::stable_sort(rows.begin(), rows.end(), [&](const Row &a, const Row &b) {
            for (int c = 0; c < kCols; ++c)
                if (const int d = QString::compare(a[size_t(c)], b[size_t(c)], cs); d != 0)
                    return ascending ? d < 0 : d > 0;
            return false;
        });
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }
    std::vector<Row> rows;
};

void BM_Sort_Floor(benchmark::State &state)
{
    RowTable table;
    {
        ShownSelector shown(int(state.range(0)));
        GridControl *grid = shown.grid("gridAvailable");
        table.rows.resize(size_t(grid->rowCount()));
        for (qint32 r = 1; r <= grid->rowCount(); ++r)
            for (qint32 c = 1; c <= kCols; ++c)
                table.rows[size_t(r - 1)][size_t(c - 1)] = grid->cellText(r, c);
    }
    QTableView view;
    view.setModel(&table);
    view.resize(480, 600);
    view.show();
    QCoreApplication::processEvents();
    bool ascending = false;
    for (auto _ : state) {
        table.sort(ascending ? Qt::CaseInsensitive : Qt::CaseSensitive, ascending);
        QCoreApplication::processEvents();
        ascending = !ascending;
    }
}

// ---- Save and commit -------------------------------------------------------------------------------

void BM_Save(benchmark::State &state)
{
    ShownSelector shown(int(state.range(0)));
    static int serial = 0;
    bench::settle(raw());
    for (auto _ : state) {
        auto settings = FragAnalysisParamPtr::create();
        settings->setName(QStringLiteral("Saved %1").arg(++serial));
        settings->setProjectName(QStringLiteral("Default"));
        settings->setTypeCode(limits::kFragAnalysisTypeCode);
        settings->setIdentifyAlleles(0, false);
        shown.selector.Save(settings);
        settings->Commit();
    }
    bench::settle(raw(), QStringLiteral("Saved "));
}

void BM_Save_Floor(benchmark::State &state)
{
    ShownSelector shown(int(state.range(0)));
    QList<qint32> ids;
    QList<SNPLocusTagSettingsPtr> tags;
    const CollectionPtr selected = shown.selector.SelectedLocusTags();
    for (const QVariant &item : *selected) {
        tags << objectFrom<SNPLocusTag>(item)->TagData();
        ids << tags.last()->ID();
    }
    // The links go in multi-row statements, as the store writes them.
    bench::RowInserter links(raw(),
                             QStringLiteral("INSERT INTO set_snp_tags (set_id, entry_index, position, tag_id) VALUES "),
                             QStringLiteral("(?, 0, ?, ?)"), 3);
    bench::FloorRevisions revisions(raw());
    const auto tagsPart = [&] {
        QJsonArray snp;
        for (const SNPLocusTagSettingsPtr &tag : std::as_const(tags))
            snp.append(bench::floorTag(*tag));
        return QJsonObject{
            {QStringLiteral("entries"), QJsonArray{QJsonObject{{QStringLiteral("snpLocusTags"), snp},
                                                               {QStringLiteral("strLocusTags"), QJsonArray()}}}}};
    };
    // The values of what the case saves, for its settings part: a set of the project with one entry and
    // no definitions.
    FragAnalysisParam written;
    written.setProjectName(QStringLiteral("Default"));
    written.setTypeCode(limits::kFragAnalysisTypeCode);
    written.setIdentifyAlleles(0, false);
    const QString summary =
        QStringLiteral("new set: size standard %1, 0 STR and %2 SNP locus tags").arg(stored::kNone).arg(ids.size());
    static int serial = 0;
    bench::settle(raw());
    for (auto _ : state) {
        QSqlDatabase db = raw();
        QSqlQuery begin(db);
        begin.exec(QStringLiteral("BEGIN IMMEDIATE"));
        QSqlQuery set(db);
        set.prepare(QStringLiteral("INSERT INTO parameter_sets (id, name, name_key, version, project_id, project_name, "
                                   "type_code, date_created, date_modified) VALUES (?, ?, ?, 1, '', 'Default', 1011, "
                                   "?, ?) RETURNING id"));
        const QString name = QStringLiteral("Floor %1").arg(++serial);
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        set.addBindValue(revisions.nextSetId());
        set.addBindValue(name);
        set.addBindValue(name.toCaseFolded());
        set.addBindValue(now);
        set.addBindValue(now);
        exec(set);
        set.next();
        const qint32 id = set.value(0).toInt();
        set.finish();
        QSqlQuery entry(db);
        entry.prepare(QStringLiteral("INSERT INTO set_entries (set_id, entry_index) VALUES (?, 0)"));
        entry.addBindValue(id);
        exec(entry);
        QList<QVariant> rows;
        for (int t = 0; t < ids.size(); ++t)
            rows << id << t << ids[t];
        links.insert(rows);
        written.setDateModified(now);
        revisions.record({.setId = id,
                          .name = name,
                          .projectName = written.ProjectName(),
                          .settings = bench::floorSettings(written),
                          .snpTags = ids,
                          .tags = tagsPart,
                          .newSetSummary = summary});
        QSqlQuery commit(db);
        if (!commit.exec(QStringLiteral("COMMIT")))
            qFatal("COMMIT: %s", qPrintable(commit.lastError().text()));
    }
    bench::settle(raw(), QStringLiteral("Floor "));
}

VELTRANE_BENCHMARK_PAIR(BM_Initialize, ->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond));
VELTRANE_BENCHMARK_PAIR(BM_AddAll, ->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond));
VELTRANE_BENCHMARK_PAIR(BM_AddSelected, ->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond));
VELTRANE_BENCHMARK_PAIR(BM_Sort, ->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond));
VELTRANE_BENCHMARK_PAIR(BM_Save, ->Arg(1)->Unit(benchmark::kMillisecond));

} // namespace

int main(int argc, char **argv)
{
    return veltrane::bench::widgetBenchmarkMain(argc, argv, veltrane::bench::RatioReporter::Clock::Cpu, setUp, [] {
        installHostFactories({});
        resetThreadHelpers();
        g_store.reset();
    });
}
