// Grid speed at the size of the SNP selector's largest lists: 10,000 rows of 6 columns.
// Each BM_X runs beside its floor BM_X_Floor; the program prints X / floor for each pair at the end.

#include "host/grid_utilities/host_grid_utilities.h"
#include "platform/grid/grid_control.h"

#include "support/ratio_reporter.h"
#include "support/widget_main.h"
#include <QAbstractTableModel>
#include <QApplication>
#include <QHash>
#include <QSet>
#include <QTableView>
#include <algorithm>
#include <array>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <numeric>
#include <random>

using namespace veltrane;

namespace {

constexpr int kRows = 10000;
constexpr int kCols = 6;
constexpr int kSelected = 1000;

using Row = std::array<QString, kCols>;

// Tag-like rows: a name shared by about ten rows (so the later sort keys matter), a decimal
// number, a chromosome, an allele pair and two words. Fixed seed: every run sorts the same rows.
const std::vector<Row> &rows()
{
    static const std::vector<Row> data = [] {
        std::mt19937 rng(20240611);
        const char *alleles[] = {"A/G", "C/T", "A/C", "G/T", "A/T", "C/G"};
        const char *words[] = {"coding", "intron", "promoter", "utr", "splice", "intergenic", "exon", "enhancer"};
        std::vector<Row> out(kRows);
        for (Row &row : out) {
            row[0] = QStringLiteral("rs%1").arg(100000 + (rng() % (kRows / 10)) * 7919);
            row[1] = QString::number(double(rng() % 100000) / 100.0, 'f', 2);
            row[2] = QStringLiteral("chr%1").arg(1 + rng() % 22);
            row[3] = QLatin1String(alleles[rng() % 6]);
            row[4] = QLatin1String(words[rng() % 8]);
            row[5] = QString::fromLatin1(words[rng() % 8]).toUpper();
        }
        return out;
    }();
    return data;
}

void fill(GridControl &grid, int count = kRows)
{
    grid.lockUpdates(true);
    grid.setRedraw(false);
    grid.setRowCount(count);
    const std::vector<Row> &data = rows();
    for (int r = 0; r < count; ++r)
        for (int c = 0; c < kCols; ++c)
            grid.setCellText(r + 1, c + 1, data[size_t(r)][size_t(c)]);
    grid.lockUpdates(false);
    grid.setRedraw(true);
}

std::unique_ptr<GridControl> shownGrid()
{
    auto grid = std::make_unique<GridControl>();
    grid->setColumnCount(kCols);
    grid->resize(800, 600);
    grid->show();
    QCoreApplication::processEvents();
    return grid;
}

// The floors' table: a bare model over one row-major vector of texts, shown in a stock QTableView.
// It does the data work of each operation plus the bookkeeping any table widget's view and headers
// do; what the grid adds beyond it (row flags, current cell, sort state) is its own.
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

    void clear()
    {
        beginResetModel();
        cells.clear();
        endResetModel();
    }
    // Copies the first count rows in and announces them once, as a locked grid does.
    void fill(int count)
    {
        beginResetModel();
        cells.resize(size_t(count) * kCols);
        const std::vector<Row> &data = rows();
        for (int r = 0; r < count; ++r)
            std::copy(data[size_t(r)].begin(), data[size_t(r)].end(), cells.begin() + qsizetype(r) * kCols);
        endResetModel();
    }
    void appendRow(const Row &row)
    {
        const int at = rowCount();
        beginInsertRows({}, at, at);
        cells.insert(cells.end(), row.begin(), row.end());
        endInsertRows();
    }
    // An empty target simply takes the source's storage; otherwise the texts move to its end.
    void moveAllTo(BareTable &other)
    {
        const int n = rowCount();
        const int at = other.rowCount();
        beginRemoveRows({}, 0, n - 1);
        std::vector<QString> moving = std::move(cells);
        cells.clear();
        endRemoveRows();
        other.beginInsertRows({}, at, at + n - 1);
        if (other.cells.empty())
            other.cells = std::move(moving);
        else
            other.cells.insert(other.cells.end(), std::make_move_iterator(moving.begin()),
                               std::make_move_iterator(moving.end()));
        other.endInsertRows();
    }
    void moveLastTo(int count, BareTable &other)
    {
        const int n = rowCount();
        beginRemoveRows({}, n - count, n - 1);
        other.beginInsertRows({}, other.rowCount(), other.rowCount() + count - 1);
        other.cells.insert(other.cells.end(), std::make_move_iterator(cells.end() - qsizetype(count) * kCols),
                           std::make_move_iterator(cells.end()));
        other.endInsertRows();
        cells.resize(cells.size() - size_t(count) * kCols);
        endRemoveRows();
    }
    std::vector<QString> cells;
};

// A bare table shown in a stock view of the same size as the grids.
struct ShownTable
{
    ShownTable()
    {
        view.setModel(&table);
        view.resize(800, 600);
        view.show();
        QCoreApplication::processEvents();
    }
    BareTable table;
    QTableView view;
};

// ---- fill -----------------------------------------------------------------------------------

void BM_Fill(benchmark::State &state)
{
    auto grid = shownGrid();
    for (auto _ : state) {
        state.PauseTiming();
        grid->setRowCount(0);
        state.ResumeTiming();
        fill(*grid);
    }
}

void BM_Fill_Floor(benchmark::State &state)
{
    ShownTable shown;
    for (auto _ : state) {
        state.PauseTiming();
        shown.table.clear();
        state.ResumeTiming();
        shown.table.fill(kRows);
    }
}

// Row by row, as a list is filled when each row is appended before its cells are written.
void BM_FillByAppend(benchmark::State &state)
{
    auto grid = shownGrid();
    for (auto _ : state) {
        state.PauseTiming();
        grid->setRowCount(0);
        state.ResumeTiming();
        grid->lockUpdates(true);
        grid->setRedraw(false);
        const std::vector<Row> &data = rows();
        for (int r = 0; r < kRows; ++r) {
            grid->setRowCount(r + 1);
            for (int c = 0; c < kCols; ++c)
                grid->setCellText(r + 1, c + 1, data[size_t(r)][size_t(c)]);
        }
        grid->lockUpdates(false);
        grid->setRedraw(true);
    }
}

void BM_FillByAppend_Floor(benchmark::State &state)
{
    ShownTable shown;
    for (auto _ : state) {
        state.PauseTiming();
        shown.table.clear();
        state.ResumeTiming();
        const std::vector<Row> &data = rows();
        for (int r = 0; r < kRows; ++r)
            shown.table.appendRow(data[size_t(r)]);
    }
}

// ---- sort by six keys -------------------------------------------------------------------------

void BM_SortSixKeys(benchmark::State &state)
{
    auto grid = shownGrid();
    fill(*grid);
    const GridRows shuffled = grid->takeAllRows();
    const QList<SortKey> keys{{1, false, false}, {2, false, false}, {3, false, false},
                              {4, false, false}, {5, false, false}, {6, false, false}};
    for (auto _ : state) {
        state.PauseTiming();
        grid->takeAllRows();
        grid->appendRows(shuffled);
        state.ResumeTiming();
        grid->sortRows(keys);
    }
}

void BM_SortSixKeys_Floor(benchmark::State &state)
{
    std::vector<Row> data;
    for (auto _ : state) {
        state.PauseTiming();
        data = rows();
        state.ResumeTiming();
        std::stable_sort(data.begin(), data.end(), [](const Row &a, const Row &b) {
            for (int c = 0; c < kCols; ++c)
                if (const int d = QString::compare(a[size_t(c)], b[size_t(c)], Qt::CaseInsensitive); d != 0)
                    return d < 0;
            return false;
        });
        benchmark::DoNotOptimize(data.data());
    }
}

// ---- move all rows ------------------------------------------------------------------------------

// Into an empty grid ("Add All" on a set without tags): the rows go back and forth between two
// grids, so every iteration moves 10,000 rows into an empty target.
void BM_MoveAllRows(benchmark::State &state)
{
    auto left = shownGrid();
    auto right = shownGrid();
    fill(*left);
    host::HostGridUtilities utilities;
    bool toRight = true;
    for (auto _ : state) {
        if (toRight)
            utilities.MoveAllRows(left.get(), right.get());
        else
            utilities.MoveAllRows(right.get(), left.get());
        toRight = !toRight;
    }
}

void BM_MoveAllRows_Floor(benchmark::State &state)
{
    ShownTable left;
    ShownTable right;
    left.table.fill(kRows);
    bool toRight = true;
    for (auto _ : state) {
        if (toRight)
            left.table.moveAllTo(right.table);
        else
            right.table.moveAllTo(left.table);
        toRight = !toRight;
    }
}

// Onto a grid that already lists 1,000 rows: every cell has to move.
constexpr int kResident = 1000;

void BM_MoveAllRowsOntoRows(benchmark::State &state)
{
    auto source = shownGrid();
    auto target = shownGrid();
    fill(*source);
    fill(*target, kResident);
    host::HostGridUtilities utilities;
    QList<qint32> back;
    for (qint32 r = kResident + 1; r <= kResident + kRows; ++r)
        back.append(r);
    for (auto _ : state) {
        utilities.MoveAllRows(source.get(), target.get());
        state.PauseTiming();
        source->appendRows(target->takeRows(back));
        state.ResumeTiming();
    }
}

void BM_MoveAllRowsOntoRows_Floor(benchmark::State &state)
{
    ShownTable source;
    ShownTable target;
    source.table.fill(kRows);
    target.table.fill(kResident);
    for (auto _ : state) {
        source.table.moveAllTo(target.table);
        state.PauseTiming();
        target.table.moveLastTo(kRows, source.table);
        state.ResumeTiming();
    }
}

// ---- select 1,000 rows by key -----------------------------------------------------------------

// Names shared by about ten rows each, taken until they cover 1,000 rows: what GetSelectedKeys
// remembers when 1,000 rows are selected.
CollectionPtr thousandKeys()
{
    QHash<QString, int> rowsPerName;
    for (const Row &row : rows())
        ++rowsPerName[row[0]];
    CollectionPtr keys = newCollection();
    int covered = 0;
    for (int r = 0; r < kRows && covered < kSelected; r += 7) {
        const QString &name = rows()[size_t(r)][0];
        if (!keys->Contains(name)) {
            keys->Add(1, name);
            covered += rowsPerName.value(name);
        }
    }
    return keys;
}

void BM_SelectByKey(benchmark::State &state)
{
    auto grid = shownGrid();
    fill(*grid);
    host::HostGridUtilities utilities;
    const CollectionPtr keys = thousandKeys();
    for (auto _ : state) {
        state.PauseTiming();
        grid->clearSelection();
        state.ResumeTiming();
        utilities.SelectRowsByKey(grid.get(), keys);
    }
    state.counters["selected"] = grid->selectedRowCount();
    state.counters["keys"] = keys->Count();
}

// The look-up itself: the same keys folded into a set, every row's key text folded and looked up,
// one flag per row set. What remains for the grid is marking its rows and telling its view once.
void BM_SelectByKey_Floor(benchmark::State &state)
{
    const CollectionPtr keys = thousandKeys();
    std::vector<char> selected(kRows);
    for (auto _ : state) {
        std::fill(selected.begin(), selected.end(), 0);
        QSet<QString> folded;
        for (qint32 i = 1; i <= keys->Count(); ++i)
            folded.insert(keys->KeyAt(i).toCaseFolded());
        for (int r = 0; r < kRows; ++r)
            selected[size_t(r)] = folded.contains(rows()[size_t(r)][0].toCaseFolded()) ? 1 : 0;
        benchmark::DoNotOptimize(selected.data());
    }
}

VELTRANE_BENCHMARK_PAIR(BM_Fill, ->Unit(benchmark::kMillisecond));
VELTRANE_BENCHMARK_PAIR(BM_FillByAppend, ->Unit(benchmark::kMillisecond));
VELTRANE_BENCHMARK_PAIR(BM_SortSixKeys, ->Unit(benchmark::kMillisecond));
VELTRANE_BENCHMARK_PAIR(BM_MoveAllRows, ->Unit(benchmark::kMillisecond));
VELTRANE_BENCHMARK_PAIR(BM_MoveAllRowsOntoRows, ->Unit(benchmark::kMillisecond));
VELTRANE_BENCHMARK_PAIR(BM_SelectByKey, ->Unit(benchmark::kMillisecond));

} // namespace

int main(int argc, char **argv)
{
    return veltrane::bench::widgetBenchmarkMain(argc, argv, veltrane::bench::RatioReporter::Clock::Cpu);
}
