#include "app/manager/set_list_model.h"

#include "veltrane/contracts/display_formats.h"

#include <QFont>
#include <algorithm>
#include <numeric>

namespace veltrane::app {

SetListModel::SetListModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

void SetListModel::reload(host::SqlStore &store, bool includeDeleted)
{
    setSets(host::setOverview(store, includeDeleted));
}

void SetListModel::setSets(QList<host::SetOverview> sets)
{
    beginResetModel();
    m_sets = std::move(sets);
    // The store lists the sets by name already: only another order costs a sort.
    if (!isSorted())
        reorder(sortedRows());
    endResetModel();
}

int SetListModel::rowOfName(const QString &name) const
{
    for (int row = 0; row < m_sets.size(); ++row)
        if (!m_sets.at(row).deleted && m_sets.at(row).name.compare(name, Qt::CaseInsensitive) == 0)
            return row;
    return -1;
}

int SetListModel::rowOfId(qint32 setId) const
{
    for (int row = 0; row < m_sets.size(); ++row)
        if (m_sets.at(row).setId == setId)
            return row;
    return -1;
}

int SetListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_sets.size());
}

int SetListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString SetListModel::stateText(const host::SetOverview &set)
{
    if (set.deleted)
        return tr("deleted");
    QStringList state;
    if (set.readOnly())
        state << tr("read-only");
    if (set.hidden())
        state << tr("hidden");
    return state.join(QStringLiteral(", "));
}

QVariant SetListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_sets.size())
        return {};
    const host::SetOverview &s = m_sets.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Name:
            return s.name;
        case Project:
            return s.projectName;
        case State:
            return stateText(s);
        case LastChanged:
            return s.lastChanged.isValid() ? generalDate(s.lastChanged.toLocalTime()) : QString();
        case ChangedBy:
            return s.lastChangedBy;
        case LastAction:
            return host::actionName(s.lastAction);
        case Revisions:
            return s.revisions;
        }
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == Revisions)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case Qt::FontRole:
        // A deleted set is no longer stored: shown in italics, as something that was.
        if (s.deleted) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        break;
    default:
        break;
    }
    return {};
}

bool SetListModel::less(int a, int b) const
{
    const host::SetOverview &x = m_sets.at(a);
    const host::SetOverview &y = m_sets.at(b);
    const auto byName = [&] { return x.name.compare(y.name, Qt::CaseInsensitive) < 0; };
    const auto by = [&](const auto &u, const auto &v) { return u != v ? u < v : byName(); };
    switch (m_sortColumn) {
    case Project: {
        const int c = x.projectName.compare(y.projectName, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : byName();
    }
    case State:
        return by(stateText(x), stateText(y));
    case LastChanged:
        return by(x.lastChanged, y.lastChanged);
    case ChangedBy:
        return by(x.lastChangedBy, y.lastChangedBy);
    case LastAction:
        return by(host::actionName(x.lastAction), host::actionName(y.lastAction));
    case Revisions:
        return by(x.revisions, y.revisions);
    default:
        return byName();
    }
}

bool SetListModel::isSorted() const
{
    for (int row = 1; row < m_sets.size(); ++row)
        if (m_sortOrder == Qt::AscendingOrder ? less(row, row - 1) : less(row - 1, row))
            return false;
    return true;
}

QList<int> SetListModel::sortedRows() const
{
    QList<int> rows(m_sets.size());
    std::iota(rows.begin(), rows.end(), 0);
    if (m_sortOrder == Qt::AscendingOrder)
        std::stable_sort(rows.begin(), rows.end(), [this](int a, int b) { return less(a, b); });
    else
        std::stable_sort(rows.begin(), rows.end(), [this](int a, int b) { return less(b, a); });
    return rows;
}

void SetListModel::reorder(const QList<int> &rows)
{
    QList<host::SetOverview> sets;
    sets.reserve(rows.size());
    for (const int row : rows)
        sets.append(std::move(m_sets[row]));
    m_sets = std::move(sets);
}

void SetListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_sortColumn = column;
    m_sortOrder = order;
    const QList<int> rows = sortedRows();
    QList<int> newRow(rows.size());
    for (int i = 0; i < rows.size(); ++i)
        newRow[rows.at(i)] = i;
    reorder(rows);
    // The chosen sets stay chosen, wherever they went.
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    for (const QModelIndex &index : from)
        to.append(index.isValid() ? this->index(newRow.at(index.row()), index.column()) : QModelIndex());
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void SetFilterModel::sort(int column, Qt::SortOrder order)
{
    if (sourceModel())
        sourceModel()->sort(column, order);
}

QVariant SetListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Name:
        return tr("Name");
    case Project:
        return tr("Project");
    case State:
        return tr("State");
    case LastChanged:
        return tr("Last Changed");
    case ChangedBy:
        return tr("Changed By");
    case LastAction:
        return tr("Last Action");
    case Revisions:
        return tr("Revisions");
    }
    return {};
}

} // namespace veltrane::app
