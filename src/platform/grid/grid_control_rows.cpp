#include "platform/grid/grid_accessible.h"
#include "platform/grid/grid_control.h"
#include "platform/grid/grid_model.h"
#include "platform/grid/grid_quiet_current.h"

// The grid's rows as a whole: sorting, the selection, the current cell, and rows taken out and put in.

#include <QHeaderView>
#include <QSignalBlocker>
#include <algorithm>

namespace veltrane {

// ---- sorting ----------------------------------------------------------------------------------

void GridControl::sortRows(const QList<SortKey> &keys)
{
    const auto first = std::find_if(keys.begin(), keys.end(),
                                    [&](const SortKey &k) { return k.column >= 1 && k.column <= columnCount(); });
    if (first == keys.end())
        return;
    {
        QuietCurrent quiet(this);
        m_model->sortRows(keys);
    }
    setSortState(first->column, first->descending);
}

void GridControl::setSortState(qint32 column, bool descending)
{
    m_sortColumn = column;
    m_sortDescending = descending;
    QHeaderView *h = horizontalHeader();
    h->setSortIndicatorShown(column > 0);
    if (column > 0) {
        const QSignalBlocker block(h);
        h->setSortIndicator(column - 1, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    }
    h->viewport()->update();
}

void GridControl::assertSortIndicator()
{
    // The header flips its arrow on clicks by itself; the arrow shows the rows' real order only.
    QHeaderView *h = horizontalHeader();
    const Qt::SortOrder order = m_sortDescending ? Qt::DescendingOrder : Qt::AscendingOrder;
    if (m_sortColumn > 0 && (h->sortIndicatorSection() != m_sortColumn - 1 || h->sortIndicatorOrder() != order)) {
        const QSignalBlocker block(h);
        h->setSortIndicator(m_sortColumn - 1, order);
    }
}

// ---- selection ---------------------------------------------------------------------------------

void GridControl::announceSelection()
{
    viewport()->update();
    announceGridSelection(this);
    emit selectionChanged();
}

void GridControl::selectRows(qint32 first, qint32 last, bool select)
{
    if (m_model->setSelected(first, last, select))
        announceSelection();
}

void GridControl::selectOnly(qint32 first, qint32 last)
{
    if (m_model->selectOnly(first, last))
        announceSelection();
}

void GridControl::setSelectedRows(const QList<qint32> &rows)
{
    std::vector<char> flags(size_t(rowCount()), 0);
    for (qint32 row : rows)
        if (row >= 1 && row <= rowCount())
            flags[size_t(row - 1)] = 1;
    if (m_model->setSelectedRows(flags))
        announceSelection();
}

void GridControl::clearSelection()
{
    selectRows(1, rowCount(), false);
}

bool GridControl::isRowSelected(qint32 row) const
{
    return m_model->isSelected(row);
}

QList<qint32> GridControl::selectedRows() const
{
    return m_model->selectedRows();
}

qint32 GridControl::selectedRowCount() const
{
    return m_model->selectedCount();
}

void GridControl::selectAll()
{
    selectOnly(1, rowCount());
}

void GridControl::pressOnRow(qint32 row, Qt::KeyboardModifiers modifiers)
{
    if (!userMaySelect() || row < 1 || row > rowCount())
        return;
    const bool shift = m_multiSelect && modifiers.testFlag(Qt::ShiftModifier);
    const bool ctrl = m_multiSelect && modifiers.testFlag(Qt::ControlModifier);
    bool changed = false;
    if (shift) {
        const qint32 anchor = (m_anchorRow >= 1 && m_anchorRow <= rowCount()) ? m_anchorRow : row;
        const qint32 lo = std::min(anchor, row);
        const qint32 hi = std::max(anchor, row);
        changed = ctrl ? m_model->setSelected(lo, hi, true) : m_model->selectOnly(lo, hi);
        m_anchorRow = anchor;
    } else if (ctrl) {
        changed = m_model->setSelected(row, row, !m_model->isSelected(row));
        m_anchorRow = row;
    } else {
        changed = m_model->selectOnly(row, row);
        m_anchorRow = row;
    }
    if (changed)
        announceSelection();
}

void GridControl::extendTo(qint32 row, Qt::KeyboardModifiers modifiers)
{
    pressOnRow(row, m_multiSelect ? (modifiers | Qt::ShiftModifier) : Qt::NoModifier);
}

// ---- current cell ------------------------------------------------------------------------------

qint32 GridControl::currentRow() const
{
    const QModelIndex index = currentIndex();
    return index.isValid() ? index.row() + 1 : 0;
}

qint32 GridControl::currentColumn() const
{
    const QModelIndex index = currentIndex();
    return index.isValid() ? index.column() + 1 : 0;
}

void GridControl::setCurrentCell(qint32 row, qint32 col)
{
    QModelIndex index;
    if (row >= 1 && row <= rowCount() && columnCount() > 0)
        index = m_model->index(row - 1, std::clamp(col, 1, columnCount()) - 1);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    if (index.isValid())
        scrollTo(index);
}

void GridControl::setCurrentQuietly(qint32 row, qint32 col)
{
    QuietCurrent quiet(this);
    QModelIndex index;
    if (row >= 1 && row <= rowCount() && columnCount() > 0)
        index = m_model->index(row - 1, std::clamp(col, 1, columnCount()) - 1);
    if (index != currentIndex())
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

void GridControl::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_quietCurrent == 0)
        emit currentCellMoved(current.isValid() ? current.row() + 1 : 0, current.isValid() ? current.column() + 1 : 0);
}

// ---- row transfer ------------------------------------------------------------------------------

GridRows GridControl::takeRows(const QList<qint32> &rows)
{
    std::vector<qint32> wanted;
    wanted.reserve(size_t(rows.size()));
    for (qint32 row : rows)
        if (row >= 1 && row <= rowCount())
            wanted.push_back(row);
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    if (wanted.empty())
        return {};

    const qint32 current = currentRow();
    const qint32 currentCol = currentColumn();
    qint32 currentAfter = 0;
    if (current > 0 && !std::binary_search(wanted.begin(), wanted.end(), current))
        currentAfter = current - qint32(std::lower_bound(wanted.begin(), wanted.end(), current) - wanted.begin());
    const qint32 selectedBefore = m_model->selectedCount();
    GridRows block;
    {
        QuietCurrent quiet(this);
        block = m_model->takeRows(wanted);
        setCurrentQuietly(currentAfter, currentCol);
    }
    m_anchorRow = currentAfter;
    if (m_model->selectedCount() != selectedBefore)
        announceSelection();
    return block;
}

GridRows GridControl::takeAllRows()
{
    const bool hadSelection = m_model->selectedCount() > 0;
    GridRows block;
    {
        QuietCurrent quiet(this);
        block = m_model->takeAllRows();
        setCurrentQuietly(0, 0);
    }
    m_anchorRow = 0;
    if (hadSelection)
        announceSelection();
    return block;
}

void GridControl::insertRows(qint32 before, GridRows rows)
{
    if (rows.isEmpty())
        return;
    const qint32 count = rows.count();
    before = std::clamp(before, 1, rowCount() + 1);
    {
        QuietCurrent quiet(this);
        m_model->insertRows(before, std::move(rows));
    }
    forgetSortOrder();
    announceGridRowsArrived(this, before, count);
}

} // namespace veltrane
