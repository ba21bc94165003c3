#pragma once

#include "host/objects/set_history.h"

#include <QAbstractTableModel>
#include <QList>
#include <QSortFilterProxyModel>

namespace veltrane::app {

// The store's overview of its sets as a table: one row per set, hidden ones marked, deleted ones when
// asked for. Display texts are made when a cell is shown. The model sorts itself (names without regard
// to letter case, times and counts as values) and keeps its order when it reads the store again; the
// store lists the sets by name, so the usual order costs one pass. A proxy comparing cell values would
// take longer than the store's query for 10,000 sets.
class SetListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Name, Project, State, LastChanged, ChangedBy, LastAction, Revisions, ColumnCount };

    explicit SetListModel(QObject *parent = nullptr);

    // Reads the overview again (one query); the rows are replaced at once.
    void reload(host::SqlStore &store, bool includeDeleted);
    void setSets(QList<host::SetOverview> sets);

    const host::SetOverview &set(int row) const { return m_sets.at(row); }
    const QList<host::SetOverview> &sets() const { return m_sets; }
    // The row of a stored set by name (letter case aside), or of a set by number; -1 when none.
    int rowOfName(const QString &name) const;
    int rowOfId(qint32 setId) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // "read-only, hidden", "deleted", or empty for an ordinary set.
    static QString stateText(const host::SetOverview &set);

private:
    bool less(int a, int b) const;
    bool isSorted() const;
    // The rows in the order of the sort column, as old row numbers.
    QList<int> sortedRows() const;
    void reorder(const QList<int> &rows);

    int m_sortColumn = Name;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QList<host::SetOverview> m_sets;
};

// Filters the sets by name and leaves their order to the list's own sort.
class SetFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
};

} // namespace veltrane::app
