#pragma once

#include "host/objects/set_history.h"

#include <QAbstractTableModel>
#include <QList>

namespace veltrane::app {

// The store's overview of its sets as a table: one row per set, hidden ones marked, deleted ones when
// asked for. Display texts are made when a cell is shown; sorting reads SortRole (names without regard
// to letter case, times and counts as values).
class SetListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Name, Project, State, LastChanged, ChangedBy, LastAction, Revisions, ColumnCount };
    static constexpr int SortRole = Qt::UserRole;

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

    // "read-only, hidden", "deleted", or empty for an ordinary set.
    static QString stateText(const host::SetOverview &set);

private:
    QList<host::SetOverview> m_sets;
};

} // namespace veltrane::app
