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

    virtual void InitGrid(GridControl *grid, bool flag, qint32 option = 0) = 0;
    // Lays the grid out after a stored GridType: columns, titles, widths, alignment.
    virtual void ApplyGridType(GridControl *grid, const GridTypePtr &layout, bool flag1, bool flag2, bool flag3) = 0;
    // Lays the grid out after the stored layout a Grid layout object names.
    virtual void ApplyLayout(GridControl *grid, const GridPtr &layout, qint32 &value1, qint32 &value2, qint32 &value3,
                             qint32 &value4) = 0;
    // Orders the data rows by the column whose header text is given.
    virtual void SortByColumn(GridControl *grid, const GridPtr &layout, const QString &headerText, bool flag) = 0;

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
