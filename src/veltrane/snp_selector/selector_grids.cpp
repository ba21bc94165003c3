#include "veltrane/snp_selector/selector_grids.h"

#include "platform/forms/command_button.h"
#include "platform/forms/mouse_pointer.h"
#include "platform/forms/popup_menu.h"
#include "platform/grid/grid_control.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/snp_selector/snp_locus_tag_selector.h"

#include <cmath>

namespace veltrane {

namespace {

constexpr qint32 kSortColumns = 6;

} // namespace

void SelectorGrids::connectGrids()
{
    for (SelectorSide *side : {&s.m_available, &s.m_selected}) {
        // Each notification runs as a user action of its own: a failure is shown and ends it.
        const auto wire = [this, side](auto signal, const char *event, auto handler) {
            QObject::connect(side->grid, signal, &s, [this, side, event, handler](auto... args) {
                s.userAction(side->procedure(event), [&] { handler(*side, args...); });
            });
        };
        wire(&GridControl::cellClicked, "Click",
             [this](SelectorSide &at, double row, double col) { Click(at, row, col); });
        wire(&GridControl::cellDoubleClicked, "DblClick",
             [this](SelectorSide &at, double row, double, ReturnHolder *handled) { DblClick(at, row, handled); });
        wire(&GridControl::rightClicked, "RightClick",
             [this](SelectorSide &at, double row, double) { RightClick(at, row); });
        wire(&GridControl::currentCellMoved, "CurrentCellMoved",
             [this](SelectorSide &at, double row, double) { CurrentCellMoved(at, row); });
        wire(&GridControl::selectionChanged, "SelectionChanged", [this](SelectorSide &at) { SelectionChanged(at); });
        // Starting to work in a grid clears the other one. The press that starts it counts only
        // while the selector is enabled; opening a cell editor and taking the focus always do.
        wire(&GridControl::activated, "Activate", [this](SelectorSide &at) {
            if (s.m_bEnabled)
                Activate(at);
        });
        wire(&GridControl::activatedAt, "ActivateAt", [this](SelectorSide &at, double, double) { Activate(at); });
        wire(&GridControl::activatedBy, "ActivateBy", [this](SelectorSide &at, int) { Activate(at); });
    }
    QObject::connect(s.mnuSNPLocusColumn->item(QStringLiteral("mnuAscending")), &MenuItem::Click, &s,
                     [this] { s.userAction("mnuAscending_Click", [this] { mnuAscending_Click(); }); });
    QObject::connect(s.mnuSNPLocusColumn->item(QStringLiteral("mnuDescending")), &MenuItem::Click, &s,
                     [this] { s.userAction("mnuDescending_Click", [this] { mnuDescending_Click(); }); });
}

void SelectorGrids::Activate(SelectorSide &side)
{
    UnHighlightRows(side.other->grid);
    side.other->row = 0;
    s.m_commands.ShowButtons();
}

void SelectorGrids::Click(SelectorSide &side, double row, double col)
{
    if (!s.m_bEnabled)
        return;
    UnHighlightRows(side.other->grid);
    side.other->row = 0;
    if (row <= 0) {
        // A header: sort by that column (again: the other way round), and no row is current.
        const QString header = side.grid->cellText(0, qint32(std::lround(col)));
        Grids().SortByColumn(side.grid, side.layout, header, true);
        side.row = 0;
        s.m_dLastRow = 0;
    } else {
        side.row = row;
        s.m_dLastRow = row;
    }
    s.m_commands.ShowButtons();
}

void SelectorGrids::DblClick(SelectorSide &side, double row, ReturnHolder *handled)
{
    if (handled)
        handled->setValue(1);
    // The move itself ignores the header row and a disabled selector.
    s.m_commands.MoveTagAtRow(side, qint32(std::lround(row)));
}

void SelectorGrids::RightClick(SelectorSide &side, double row)
{
    if (!s.m_bEnabled)
        return;
    s.m_oActiveGrid = &side;
    UnHighlightRows(side.other->grid);
    side.other->row = 0;
    // A right click on a row selects it unless it is already part of the selection, which it then
    // leaves as it is, so the menu acts on every selected row.
    if (row > 0 && !Grids().IsRowSelected(side.grid, row)) {
        Grids().SelectRow(side.grid, qint32(std::lround(row)));
        side.row = row;
        s.m_dLastRow = row;
        side.editItem->setEnabled(true);
        s.cmdEditSNPLocus->setEnabled(true);
    }
    if (row == 0) {
        UnHighlightRows(side.grid);
        side.row = 0;
        s.m_dLastRow = 0;
    }
    s.m_commands.ShowButtons();
    (row <= 0 ? s.mnuSNPLocusColumn : side.menu)->popup();
}

void SelectorGrids::CurrentCellMoved(SelectorSide &side, double row)
{
    if (!s.m_bEnabled)
        return;
    s.m_oActiveGrid = &side;
    side.row = row;
    s.m_commands.ShowButtons();
}

void SelectorGrids::SelectionChanged(SelectorSide &side)
{
    // Edit is offered for exactly one selected tag; an emptied selection leaves it as it was.
    const qint32 count = Grids().SelectedRowCount(side.grid);
    if (count == 1) {
        s.cmdEditSNPLocus->setEnabled(true);
        side.editItem->setEnabled(true);
    } else if (count >= 2) {
        s.cmdEditSNPLocus->setEnabled(false);
        side.editItem->setEnabled(false);
    }
}

void SelectorGrids::mnuAscending_Click()
{
    GridSort(s.m_oActiveGrid->grid, false, false);
}

void SelectorGrids::mnuDescending_Click()
{
    GridSort(s.m_oActiveGrid->grid, true, true);
}

void SelectorGrids::GridSort(GridControl *grid, bool descending, bool caseSensitive)
{
    trap(Ending::Propagate, "SNPLocusTagSelector", "GridSort", [&] {
        const HourglassPointer hourglass;
        QList<SortKey> keys;
        for (qint32 column = 1; column <= kSortColumns; ++column)
            keys.append(SortKey{column, descending, caseSensitive});
        grid->sortRows(keys);
    });
}

void SelectorGrids::UnHighlightRows(GridControl *grid)
{
    trap(Ending::Propagate, "SNPLocusTagSelector", "UnHighlightRows", [&] {
        grid->clearSelection();
        // Whatever switched the user's selecting off, it is on again.
        grid->setSelectionEnabled(true);
    });
}

} // namespace veltrane
