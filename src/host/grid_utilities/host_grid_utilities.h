#pragma once

#include "veltrane/contracts/grid_utilities.h"

#include <memory>

namespace veltrane::host {

// The grid helper on top of GridControl and the stored grid layouts.
//
// Rows move to the bottom of the target grid, in the order they had in the source, unselected.
// Sorting by a header compares cells as GridControl::sortRows does (empty cells, then numbers by
// value, then texts without regard to case; rows with equal keys keep their order).
class HostGridUtilities final : public GridUtilities
{
public:
    // multiSelect: the user may select several rows (Ctrl/Shift).
    void InitGrid(GridControl *grid, bool multiSelect, qint32 initialRows = 0) override;
    // Without keepRows the grid is emptied, since rows laid out for other columns mean nothing in
    // these.
    void ApplyGridType(GridControl *grid, const GridTypePtr &layout, bool showHeaderRow, bool showHeaderColumn,
                       bool keepRows) override;
    void ApplyLayout(GridControl *grid, const GridPtr &layout, qint32 &columnCount, qint32 &widthTwips,
                     qint32 &headerHeightTwips, qint32 &rowHeightTwips) override;
    // Ascending by the first column with that header text (letter case and surrounding spaces do
    // not count). With toggle set, sorting again by the column the rows are known to be ordered by
    // reverses the direction, so repeated header clicks toggle.
    void SortByColumn(GridControl *grid, const GridPtr &layout, const QString &headerText, bool toggle) override;

    bool IsRowSelected(GridControl *grid, double row) override;
    // Selects that row alone and makes it current; a row outside the grid changes nothing.
    void SelectRow(GridControl *grid, qint32 row) override;
    qint32 SelectedRowCount(GridControl *grid) override;
    // The texts of the column in the selected rows, each once, as the keys of the collection; each
    // item holds the number of the column the text came from.
    CollectionPtr GetSelectedKeys(GridControl *grid, qint32 column) override;
    // Selects exactly the rows whose text in the remembered column is one of the keys (letter case
    // does not count). Items whose value is no column number look in column 1.
    void SelectRowsByKey(GridControl *grid, const CollectionPtr &keys) override;

    // Answers the row now at the position of the first moved row (the new last row when the moved
    // rows were at the bottom, 0 when the source is empty) and makes it current and selected, so
    // the next move takes the next row. With nothing selected nothing moves and the current row is
    // answered.
    qint32 MoveSelectedRows(GridControl *source, GridControl *target) override;
    // A row outside the source moves nothing.
    void MoveRow(GridControl *source, GridControl *target, qint32 row) override;
    void MoveAllRows(GridControl *source, GridControl *target) override;
};

std::shared_ptr<GridUtilities> makeGridUtilities();

} // namespace veltrane::host
