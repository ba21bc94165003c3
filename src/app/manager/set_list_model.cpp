#include "app/manager/set_list_model.h"

#include "veltrane/contracts/display_formats.h"

#include <QFont>

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
    case SortRole:
        switch (index.column()) {
        case Name:
            return s.name.toCaseFolded();
        case Project:
            return s.projectName.toCaseFolded();
        case LastChanged:
            return s.lastChanged;
        case Revisions:
            return s.revisions;
        default:
            return data(index, Qt::DisplayRole);
        }
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
