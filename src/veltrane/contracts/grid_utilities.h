#pragma once

#include "veltrane/contracts/business_objects.h"
#include "veltrane/contracts/keyed_collection.h"

namespace veltrane {

class GridControl;

// The grid helper: initialises grids, lays them out from stored layouts, counts, selects, moves
// and sorts rows. Row numbers are 1-based data rows; row 0 is the header row.
class GridUtilities
{
public:
    virtual ~GridUtilities() = default;

    // Prepares a grid: editable, selection on (several rows at once when multiSelect), no current
    // cell, and that many empty data rows.
    virtual void InitGrid(GridControl *grid, bool multiSelect, qint32 initialRows = 0) = 0;
    // Lays the grid out after a stored GridType: columns, titles, widths, alignment; shows the header
    // row and header column as asked; empties the grid unless keepRows.
    virtual void ApplyGridType(GridControl *grid, const GridTypePtr &layout, bool showHeaderRow, bool showHeaderColumn,
                               bool keepRows) = 0;
    // Lays the grid out after the stored layout a Grid layout object names (header row shown, rows
    // dropped) and answers what it laid out: columns, their total width and the two row heights.
    virtual void ApplyLayout(GridControl *grid, const GridPtr &layout, qint32 &columnCount, qint32 &widthTwips,
                             qint32 &headerHeightTwips, qint32 &rowHeightTwips) = 0;
    // Orders the data rows by the column whose header text is given; with toggle, a second sort by
    // the same column reverses the order.
    virtual void SortByColumn(GridControl *grid, const GridPtr &layout, const QString &headerText, bool toggle) = 0;

    virtual bool IsRowSelected(GridControl *grid, double row) = 0;
    virtual void SelectRow(GridControl *grid, qint32 row) = 0;
    virtual qint32 SelectedRowCount(GridControl *grid) = 0;
    // The selected rows, remembered by the text of the given column.
    virtual CollectionPtr GetSelectedKeys(GridControl *grid, qint32 column) = 0;
    // Selects again the rows whose key column holds one of the remembered texts, wherever they are.
    virtual void SelectRowsByKey(GridControl *grid, const CollectionPtr &keys) = 0;

    // Moves every selected row with all its cells to the target; answers the source row that should
    // become current afterwards (0 or less for none).
    virtual qint32 MoveSelectedRows(GridControl *source, GridControl *target) = 0;
    virtual void MoveRow(GridControl *source, GridControl *target, qint32 row) = 0;
    virtual void MoveAllRows(GridControl *source, GridControl *target) = 0;
};

} // namespace veltrane
