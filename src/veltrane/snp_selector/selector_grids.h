#pragma once

#include <QtGlobal>

namespace veltrane {

class GridControl;
class ReturnHolder;
class SNPLocusTagSelector;
struct SelectorSide;

// How the selector's grids react to the user: which row is current, how turning to one grid clears
// the other, the right-click menus, and sorting by a header click or by the column menu.
//
// Clicks, right clicks, current-cell moves and the plain activation act only while the selector is
// enabled; double clicks, selection changes and the two other activations always run (the move a
// double click asks for checks the state itself).
class SelectorGrids
{
public:
    explicit SelectorGrids(SNPLocusTagSelector &selector)
        : s(selector)
    {}

    // Wires both grids' notifications and the two sort entries.
    void connectGrids();

    // Sorts every data row by columns 1 to 6 in turn, all in one direction, with the hourglass shown.
    void GridSort(GridControl *grid, bool descending, bool caseSensitive);
    // Deselects the whole grid and leaves the user free to select again.
    void UnHighlightRows(GridControl *grid);

private:
    void Activate(SelectorSide &side);
    void Click(SelectorSide &side, double row, double col);
    void DblClick(SelectorSide &side, double row, ReturnHolder *handled);
    void RightClick(SelectorSide &side, double row);
    void CurrentCellMoved(SelectorSide &side, double row);
    void SelectionChanged(SelectorSide &side);
    void mnuAscending_Click();
    void mnuDescending_Click();

    SNPLocusTagSelector &s;
};

} // namespace veltrane
