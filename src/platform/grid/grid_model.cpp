#include "platform/grid/grid_model.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

namespace veltrane {

QString GridRows::text(qint32 row, qint32 col) const
{
    if (row < 1 || row > count() || col < 0 || col >= m_stride)
        return {};
    return m_cells[size_t(row - 1) * size_t(m_stride) + size_t(col)];
}

namespace {

// Removing rows run by run costs every attached view a pass over its rows per run; past this many
// runs one reset is cheaper than the separate removals.
constexpr size_t kResetAboveRuns = 32;

const QString &emptyText()
{
    static const QString empty;
    return empty;
}

// How a cell takes part in a sort: empty cells first, then numbers by value, then texts.
struct SortCell
{
    enum Kind : quint8 { Empty, Number, Text };
    Kind kind = Empty;
    double number = 0;
};

// A cell is a number when it is, apart from surrounding spaces, an optional sign, digits with at
// most one decimal sign ('.' or the user's) and an optional exponent. Group separators make it a
// text, so "1,234" sorts as a number only where the comma is the decimal sign.
bool parseNumber(QStringView s, QChar userDecimal, double &value)
{
    char buffer[64];
    const qsizetype n = s.size();
    if (n >= qsizetype(sizeof buffer))
        return false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i].unicode();
        if ((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'e' || c == u'E')
            buffer[i] = char(c);
        else if (c == u'.' || c == userDecimal.unicode())
            buffer[i] = '.';
        else
            return false;
    }
    const char *first = buffer;
    if (n > 1 && *first == '+')
        ++first; // from_chars takes no plus sign
    const auto [end, error] = std::from_chars(first, buffer + n, value);
    return error == std::errc() && end == buffer + n && std::isfinite(value);
}

SortCell sortCellOf(const QString &text, QChar userDecimal)
{
    QStringView s(text);
    if (!s.isEmpty() && (s.front().isSpace() || s.back().isSpace()))
        s = s.trimmed();
    if (s.isEmpty())
        return {SortCell::Empty, 0};
    double value = 0;
    if (parseNumber(s, userDecimal, value))
        return {SortCell::Number, value};
    return {SortCell::Text, 0};
}

} // namespace

GridModel::GridModel(QObject *parent)
    : QAbstractTableModel(parent)
    , m_header(1)
    , m_styles(1)
{}

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_stride - 1;
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const qint32 row = index.row() + 1;
    const qint32 col = index.column() + 1;
    const bool checkBox = m_styles[size_t(col)].checkBox;
    switch (role) {
    case Qt::DisplayRole:
        return checkBox ? QVariant() : QVariant(text(row, col));
    case Qt::EditRole:
        return text(row, col);
    case Qt::CheckStateRole:
        if (!checkBox)
            return {};
        return isTicked(text(row, col)) ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(m_styles[size_t(col)].alignment | Qt::AlignVCenter);
    default:
        return {};
    }
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !m_editable)
        return false;
    const qint32 row = index.row() + 1;
    const qint32 col = index.column() + 1;
    if (m_styles[size_t(col)].checkBox)
        return false;
    setText(row, col, value.toString());
    emit cellEdited(row, col);
    return true;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0)
        return {};
    if (orientation == Qt::Horizontal)
        return text(0, section + 1);
    return text(section + 1, 0);
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_editable && !m_styles[size_t(index.column() + 1)].checkBox)
        f |= Qt::ItemIsEditable;
    return f;
}

const QString &GridModel::text(qint32 row, qint32 col) const
{
    if (col < 0 || col >= m_stride || row < 0 || row > m_rows)
        return emptyText();
    if (row == 0)
        return m_header[size_t(col)];
    return m_cells[at(row, col)];
}

bool GridModel::setHeaderText(qint32 row, qint32 col, const QString &text)
{
    if (col < 0 || col >= m_stride || row < 0 || row > m_rows)
        return false;
    QString &cell = row == 0 ? m_header[size_t(col)] : m_cells[at(row, col)];
    if (cell == text && cell.isNull() == text.isNull())
        return true;
    cell = text;
    announce(row, col);
    return true;
}

void GridModel::announce(qint32 row, qint32 col)
{
    if (m_quiet) {
        m_dirty |= row == 0 ? DirtyHeaderRow : (col == 0 ? DirtyHeaderColumn : DirtyCells);
        return;
    }
    if (row == 0) {
        if (col > 0)
            emit headerDataChanged(Qt::Horizontal, col - 1, col - 1);
    } else if (col == 0) {
        emit headerDataChanged(Qt::Vertical, row - 1, row - 1);
    } else {
        const QModelIndex i = index(row - 1, col - 1);
        emit dataChanged(i, i);
    }
}

void GridModel::setRowTotal(qint32 rows)
{
    rows = std::max(rows, 0);
    if (rows == m_rows)
        return;
    if (rows > m_rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_cells.resize(size_t(rows) * size_t(m_stride));
        m_selected.resize(size_t(rows), 0);
        m_rows = rows;
        endInsertRows();
        return;
    }
    beginRemoveRows({}, rows, m_rows - 1);
    m_selectedCount -= qint32(std::count(m_selected.begin() + rows, m_selected.end(), 1));
    m_cells.resize(size_t(rows) * size_t(m_stride));
    m_selected.resize(size_t(rows));
    m_rows = rows;
    endRemoveRows();
}

void GridModel::setColumnTotal(qint32 columns)
{
    columns = std::max(columns, 0);
    const qint32 stride = columns + 1;
    if (stride == m_stride)
        return;
    const qint32 kept = std::min(stride, m_stride);
    if (stride > m_stride)
        beginInsertColumns({}, m_stride - 1, columns - 1);
    else
        beginRemoveColumns({}, columns, m_stride - 2);
    std::vector<QString> cells(size_t(m_rows) * size_t(stride));
    for (qint32 r = 0; r < m_rows; ++r)
        std::move(m_cells.begin() + qsizetype(r) * m_stride, m_cells.begin() + qsizetype(r) * m_stride + kept,
                  cells.begin() + qsizetype(r) * stride);
    m_cells = std::move(cells);
    m_header.resize(size_t(stride));
    m_styles.resize(size_t(stride));
    m_stride = stride;
    if (stride > kept)
        endInsertColumns();
    else
        endRemoveColumns();
}

GridModel::ColumnStyle GridModel::columnStyle(qint32 col) const
{
    if (col < 0 || col >= m_stride)
        return {};
    return m_styles[size_t(col)];
}

void GridModel::setColumnStyle(qint32 col, const ColumnStyle &style)
{
    if (col < 0 || col >= m_stride)
        return;
    m_styles[size_t(col)] = style;
    if (col > 0 && m_rows > 0 && !m_quiet)
        emit dataChanged(index(0, col - 1), index(m_rows - 1, col - 1));
    else if (m_quiet)
        m_dirty |= DirtyCells;
}

bool GridModel::isCheckBox(qint32 row, qint32 col) const
{
    return row >= 1 && row <= m_rows && col >= 1 && col < m_stride && m_styles[size_t(col)].checkBox;
}

QList<qint32> GridModel::selectedRows() const
{
    QList<qint32> rows;
    rows.reserve(m_selectedCount);
    for (qint32 r = 0; r < m_rows && rows.size() < m_selectedCount; ++r)
        if (m_selected[size_t(r)])
            rows.append(r + 1);
    return rows;
}

bool GridModel::setSelected(qint32 first, qint32 last, bool select)
{
    first = std::max(first, 1);
    last = std::min(last, m_rows);
    bool changed = false;
    for (qint32 r = first; r <= last; ++r) {
        char &flag = m_selected[size_t(r - 1)];
        if (bool(flag) != select) {
            flag = select ? 1 : 0;
            m_selectedCount += select ? 1 : -1;
            changed = true;
        }
    }
    return changed;
}

bool GridModel::selectOnly(qint32 first, qint32 last)
{
    first = std::max(first, 1);
    last = std::min(last, m_rows);
    bool changed = false;
    qint32 count = 0;
    for (qint32 r = 1; r <= m_rows; ++r) {
        const char want = (r >= first && r <= last) ? 1 : 0;
        char &flag = m_selected[size_t(r - 1)];
        if (flag != want) {
            flag = want;
            changed = true;
        }
        count += want;
    }
    m_selectedCount = count;
    return changed;
}

bool GridModel::setSelectedRows(const std::vector<char> &flags)
{
    bool changed = false;
    qint32 count = 0;
    for (qint32 r = 0; r < m_rows; ++r) {
        const char want = (size_t(r) < flags.size() && flags[size_t(r)]) ? 1 : 0;
        if (m_selected[size_t(r)] != want) {
            m_selected[size_t(r)] = want;
            changed = true;
        }
        count += want;
    }
    m_selectedCount = count;
    return changed;
}

void GridModel::setQuiet(bool quiet)
{
    m_quiet = quiet;
    if (!quiet && m_dirty)
        announceDirty(m_dirty);
}

void GridModel::refreshAll()
{
    announceDirty(DirtyAll);
}

void GridModel::announceDirty(quint8 parts)
{
    m_dirty = 0;
    const qint32 cols = columns();
    if ((parts & DirtyCells) && m_rows > 0 && cols > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, cols - 1));
    if ((parts & DirtyHeaderRow) && cols > 0)
        emit headerDataChanged(Qt::Horizontal, 0, cols - 1);
    if ((parts & DirtyHeaderColumn) && m_rows > 0)
        emit headerDataChanged(Qt::Vertical, 0, m_rows - 1);
}

bool GridModel::sortRows(const QList<SortKey> &keys)
{
    struct PreparedKey
    {
        qint32 column;
        bool descending;
        Qt::CaseSensitivity cs;
        std::vector<SortCell> cells;
    };
    std::vector<PreparedKey> prepared;
    const QString decimal = QLocale::system().decimalPoint();
    const QChar userDecimal = decimal.size() == 1 ? decimal.front() : QChar(u'.');
    for (const SortKey &key : keys) {
        if (key.column < 1 || key.column > columns())
            continue;
        PreparedKey p{key.column, key.descending, key.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive, {}};
        // Classifying each cell once keeps number parsing out of the n log n comparisons.
        p.cells.reserve(size_t(m_rows));
        for (qint32 r = 1; r <= m_rows; ++r)
            p.cells.push_back(sortCellOf(m_cells[at(r, key.column)], userDecimal));
        prepared.push_back(std::move(p));
    }
    if (prepared.empty() || m_rows < 2)
        return false;

    std::vector<qint32> order(static_cast<size_t>(m_rows)); // 0-based old row at each new position
    std::iota(order.begin(), order.end(), 0);
    const auto compare = [&](const PreparedKey &k, qint32 a, qint32 b) -> int {
        const SortCell &ca = k.cells[size_t(a)];
        const SortCell &cb = k.cells[size_t(b)];
        if (ca.kind != cb.kind)
            return ca.kind < cb.kind ? -1 : 1;
        if (ca.kind == SortCell::Number)
            return ca.number < cb.number ? -1 : (cb.number < ca.number ? 1 : 0);
        if (ca.kind == SortCell::Empty)
            return 0;
        return QString::compare(m_cells[at(a + 1, k.column)], m_cells[at(b + 1, k.column)], k.cs);
    };
    const auto before = [&](qint32 a, qint32 b) {
        for (const PreparedKey &k : prepared) {
            const int c = compare(k, a, b);
            if (c != 0)
                return k.descending ? c > 0 : c < 0;
        }
        return false;
    };
    // Rows often arrive in order already (a list read sorted by name, sorted again by name): one
    // pass tells, and a stable sort of ordered rows would move none of them.
    if (std::is_sorted(order.begin(), order.end(), before))
        return false;
    std::stable_sort(order.begin(), order.end(), before);
    bool moved = false;
    for (qint32 i = 0; i < m_rows && !moved; ++i)
        moved = order[size_t(i)] != i;
    if (!moved)
        return false;

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Rows move in place, cycle by cycle, through one spare row: no second copy of the cells.
    std::vector<char> placed(size_t(m_rows), 0);
    std::vector<QString> spare(static_cast<size_t>(m_stride));
    const auto rowStart = [&](qint32 row0) { return m_cells.begin() + qsizetype(row0) * m_stride; };
    for (qint32 i = 0; i < m_rows; ++i) {
        if (placed[size_t(i)])
            continue;
        if (order[size_t(i)] == i) {
            placed[size_t(i)] = 1;
            continue;
        }
        std::move(rowStart(i), rowStart(i + 1), spare.begin());
        const char spareSelected = m_selected[size_t(i)];
        qint32 j = i;
        for (;;) {
            const qint32 from = order[size_t(j)];
            placed[size_t(j)] = 1;
            if (from == i) {
                std::move(spare.begin(), spare.end(), rowStart(j));
                m_selected[size_t(j)] = spareSelected;
                break;
            }
            std::move(rowStart(from), rowStart(from + 1), rowStart(j));
            m_selected[size_t(j)] = m_selected[size_t(from)];
            j = from;
        }
    }
    std::vector<qint32> newPosition(static_cast<size_t>(m_rows));
    for (qint32 i = 0; i < m_rows; ++i)
        newPosition[size_t(order[size_t(i)])] = i;
    const QModelIndexList persistent = persistentIndexList();
    QModelIndexList moves;
    moves.reserve(persistent.size());
    for (const QModelIndex &i : persistent)
        moves.append(index(newPosition[size_t(i.row())], i.column()));
    changePersistentIndexList(persistent, moves);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    return true;
}

GridRows GridModel::takeRows(const std::vector<qint32> &rows)
{
    std::vector<QString> taken;
    taken.reserve(rows.size() * size_t(m_stride));
    struct Run
    {
        qint32 first;
        qint32 last;
    };
    std::vector<Run> runs;
    qint32 previous = 0;
    for (qint32 r : rows) {
        if (r < 1 || r > m_rows || r <= previous)
            continue; // outside the grid, or not ascending: such a row is not taken twice
        std::move(m_cells.begin() + qsizetype(r - 1) * m_stride, m_cells.begin() + qsizetype(r) * m_stride,
                  std::back_inserter(taken));
        if (!runs.empty() && runs.back().last == r - 1)
            runs.back().last = r;
        else
            runs.push_back({r, r});
        previous = r;
    }
    if (runs.empty())
        return GridRows(m_stride, {});

    if (runs.size() > kResetAboveRuns) {
        beginResetModel();
        std::vector<char> take(size_t(m_rows), 0);
        for (const Run &run : runs)
            std::fill(take.begin() + run.first - 1, take.begin() + run.last, 1);
        qint32 kept = 0;
        qint32 selectedKept = 0;
        for (qint32 r = 0; r < m_rows; ++r) {
            if (take[size_t(r)])
                continue;
            if (kept != r)
                std::move(m_cells.begin() + qsizetype(r) * m_stride, m_cells.begin() + qsizetype(r + 1) * m_stride,
                          m_cells.begin() + qsizetype(kept) * m_stride);
            m_selected[size_t(kept)] = m_selected[size_t(r)];
            selectedKept += m_selected[size_t(kept)];
            ++kept;
        }
        m_rows = kept;
        m_cells.resize(size_t(kept) * size_t(m_stride));
        m_selected.resize(size_t(kept));
        m_selectedCount = selectedKept;
        endResetModel();
    } else {
        for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
            beginRemoveRows({}, run->first - 1, run->last - 1);
            m_selectedCount -=
                qint32(std::count(m_selected.begin() + run->first - 1, m_selected.begin() + run->last, 1));
            m_cells.erase(m_cells.begin() + qsizetype(run->first - 1) * m_stride,
                          m_cells.begin() + qsizetype(run->last) * m_stride);
            m_selected.erase(m_selected.begin() + run->first - 1, m_selected.begin() + run->last);
            m_rows -= run->last - run->first + 1;
            endRemoveRows();
        }
    }
    return GridRows(m_stride, std::move(taken));
}

GridRows GridModel::takeAllRows()
{
    if (m_rows == 0)
        return GridRows(m_stride, {});
    beginRemoveRows({}, 0, m_rows - 1);
    GridRows block(m_stride, std::move(m_cells));
    m_cells.clear();
    m_selected.clear();
    m_selectedCount = 0;
    m_rows = 0;
    endRemoveRows();
    return block;
}

void GridModel::insertRows(qint32 before, GridRows &&block)
{
    const qint32 count = block.count();
    if (count == 0)
        return;
    before = std::clamp(before, 1, m_rows + 1);
    std::vector<QString> incoming;
    if (block.m_stride == m_stride) {
        incoming = std::move(block.m_cells);
    } else {
        // Rows from a grid with other columns keep the cells both grids have.
        incoming.resize(size_t(count) * size_t(m_stride));
        const qint32 kept = std::min(block.m_stride, m_stride);
        for (qint32 r = 0; r < count; ++r)
            std::move(block.m_cells.begin() + qsizetype(r) * block.m_stride,
                      block.m_cells.begin() + qsizetype(r) * block.m_stride + kept,
                      incoming.begin() + qsizetype(r) * m_stride);
    }
    block = GridRows();
    beginInsertRows({}, before - 1, before - 1 + count - 1);
    if (m_rows == 0)
        m_cells = std::move(incoming); // an empty grid adopts the block's storage: no cell moves at all
    else
        m_cells.insert(m_cells.begin() + qsizetype(before - 1) * m_stride, std::make_move_iterator(incoming.begin()),
                       std::make_move_iterator(incoming.end()));
    m_selected.insert(m_selected.begin() + (before - 1), size_t(count), 0);
    m_rows += count;
    endInsertRows();
}

} // namespace veltrane
