#include "host/grid_utilities/host_grid_utilities.h"

#include "platform/grid/grid_control.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace veltrane::host {

namespace {

const QString kSource = QStringLiteral("GridUtilities");

GridControl &need(GridControl *grid)
{
    if (!grid)
        throw Error::objectNotSet(kSource, QStringLiteral("No grid was given."));
    return *grid;
}

qint32 rowNumber(double row)
{
    if (!std::isfinite(row) || row < 0 || row > double(std::numeric_limits<qint32>::max()))
        return -1;
    return qint32(std::lround(row));
}

} // namespace

void HostGridUtilities::InitGrid(GridControl *grid, bool multiSelect, qint32 initialRows)
{
    GridControl &g = need(grid);
    g.setReadOnly(false);
    g.setSelectionEnabled(true);
    g.setMultiSelect(multiSelect);
    g.setRowCount(0);
    g.setRowCount(std::max(initialRows, 0));
    g.setCurrentCell(0, 0);
}

void HostGridUtilities::ApplyGridType(GridControl *grid, const GridTypePtr &layout, bool showHeaderRow,
                                      bool showHeaderColumn, bool keepRows)
{
    GridControl &g = need(grid);
    if (!layout)
        throw Error::objectNotSet(kSource, QStringLiteral("No grid layout was given."));
    const bool redraw = g.redraw();
    g.setRedraw(false);
    if (!keepRows)
        g.setRowCount(0);
    const qint32 columns = layout->ColumnCount();
    g.setColumnCount(columns);
    for (qint32 c = 1; c <= columns; ++c) {
        g.setCellText(0, c, layout->ColumnTitle(c));
        g.setColumnWidthTwips(c, layout->ColumnWidth(c));
        g.setColumnAlignmentCode(c, layout->ColumnAlignment(c));
        g.setColumnCheckBox(c, false);
    }
    g.setHeaderRowVisible(showHeaderRow);
    g.setHeaderColumnVisible(showHeaderColumn);
    g.setRedraw(redraw);
}

void HostGridUtilities::ApplyLayout(GridControl *grid, const GridPtr &layout, qint32 &columnCount, qint32 &widthTwips,
                                    qint32 &headerHeightTwips, qint32 &rowHeightTwips)
{
    GridControl &g = need(grid);
    if (!layout)
        throw Error::objectNotSet(kSource, QStringLiteral("No grid layout object was given."));
    const qint32 number = layout->LayoutNumber();
    const GridTypePtr type = qSharedPointerObjectCast<GridType>(
        ObjectManager().LoadObject(types::kGridType, fields::kGridTypeID, QString::number(number), false, true));
    if (!type)
        throw Error(kApplicationError, kSource, QStringLiteral("Grid layout %1 is not stored.").arg(number));
    ApplyGridType(&g, type, true, false, false);
    qint32 width = 0;
    for (const GridType::Column &column : type->columns())
        width += column.widthTwips;
    columnCount = type->ColumnCount();
    widthTwips = width;
    headerHeightTwips = g.headerRowHeightTwips();
    rowHeightTwips = g.dataRowHeightTwips();
}

void HostGridUtilities::SortByColumn(GridControl *grid, const GridPtr &, const QString &headerText, bool toggle)
{
    // The header texts on the grid are what the user clicked, so they decide the column; the layout
    // object only names the layout the grid wears.
    GridControl &g = need(grid);
    const QString wanted = headerText.trimmed();
    qint32 column = 0;
    for (qint32 c = 1; c <= g.columnCount() && column == 0; ++c)
        if (QString::compare(g.cellText(0, c).trimmed(), wanted, Qt::CaseInsensitive) == 0)
            column = c;
    if (column == 0)
        throw Error::invalidProcedureCall(kSource,
                                          QStringLiteral("The grid has no column titled \"%1\".").arg(headerText));
    const bool descending = toggle && g.sortColumn() == column && !g.sortDescending();
    g.sortRows({SortKey{column, descending, false}});
}

bool HostGridUtilities::IsRowSelected(GridControl *grid, double row)
{
    return need(grid).isRowSelected(rowNumber(row));
}

void HostGridUtilities::SelectRow(GridControl *grid, qint32 row)
{
    GridControl &g = need(grid);
    if (row < 1 || row > g.rowCount())
        return;
    g.setCurrentCell(row, std::max(g.currentColumn(), 1));
    g.selectOnly(row, row);
}

qint32 HostGridUtilities::SelectedRowCount(GridControl *grid)
{
    return need(grid).selectedRowCount();
}

CollectionPtr HostGridUtilities::GetSelectedKeys(GridControl *grid, qint32 column)
{
    GridControl &g = need(grid);
    if (column < 0 || column > g.columnCount())
        throw Error::subscriptOutOfRange(kSource);
    CollectionPtr keys = newCollection();
    bool emptyKept = false;
    for (qint32 row : g.selectedRows()) {
        const QString text = g.cellText(row, column);
        if (text.isEmpty()) {
            // A collection keeps no empty key, so an empty text is remembered as an item without one.
            if (!emptyKept)
                keys->Add(column);
            emptyKept = true;
        } else if (!keys->Contains(text)) {
            keys->Add(column, text);
        }
    }
    return keys;
}

void HostGridUtilities::SelectRowsByKey(GridControl *grid, const CollectionPtr &keys)
{
    GridControl &g = need(grid);
    if (!keys)
        throw Error::objectNotSet(kSource, QStringLiteral("No keys were given."));
    struct Wanted
    {
        QSet<QString> folded;
        bool empty = false;
    };
    QHash<qint32, Wanted> byColumn;
    for (qint32 i = 1; i <= keys->Count(); ++i) {
        bool isNumber = false;
        qint32 column = keys->Item(i).toInt(&isNumber);
        if (!isNumber || column < 0 || column > g.columnCount())
            column = 1;
        const QString key = keys->KeyAt(i);
        Wanted &wanted = byColumn[column];
        if (key.isEmpty())
            wanted.empty = true;
        else
            wanted.folded.insert(key.toCaseFolded());
    }
    // A flat list: the scan below visits it for each of possibly thousands of rows.
    std::vector<std::pair<qint32, Wanted>> columns(byColumn.keyValueBegin(), byColumn.keyValueEnd());
    QList<qint32> rows;
    const qint32 rowCount = g.rowCount();
    for (qint32 row = 1; row <= rowCount; ++row) {
        for (const auto &[column, wanted] : columns) {
            const QString text = g.cellText(row, column);
            if (text.isEmpty() ? wanted.empty : wanted.folded.contains(text.toCaseFolded())) {
                rows.append(row);
                break;
            }
        }
    }
    g.setSelectedRows(rows);
}

qint32 HostGridUtilities::MoveSelectedRows(GridControl *source, GridControl *target)
{
    GridControl &from = need(source);
    GridControl &to = need(target);
    const QList<qint32> rows = from.selectedRows();
    if (rows.isEmpty())
        return from.currentRow();
    const qint32 column = std::max(from.currentColumn(), 1);
    to.appendRows(from.takeRows(rows));
    const qint32 next = std::min(rows.first(), from.rowCount());
    if (next > 0) {
        from.setCurrentCell(next, column);
        from.selectOnly(next, next);
    }
    return next;
}

void HostGridUtilities::MoveRow(GridControl *source, GridControl *target, qint32 row)
{
    GridControl &from = need(source);
    GridControl &to = need(target);
    if (row < 1 || row > from.rowCount())
        return;
    to.appendRows(from.takeRows({row}));
}

void HostGridUtilities::MoveAllRows(GridControl *source, GridControl *target)
{
    GridControl &from = need(source);
    need(target).appendRows(from.takeAllRows());
}

std::shared_ptr<GridUtilities> makeGridUtilities()
{
    return std::make_shared<HostGridUtilities>();
}

} // namespace veltrane::host
