#pragma once

#include "platform/grid/grid_rows.h"
#include "platform/grid/return_holder.h"
#include "platform/grid/sort_key.h"

#include <QList>
#include <QPointer>
#include <QTableView>
#include <vector>

namespace veltrane {

class GridModel;

// The grid control: a table of texts with a header row (row 0) and a header column (column 0),
// whole-row selection, check-box columns, multi-key row sorting and row transfer between grids.
// Data rows are numbered from 1 and data columns from 1 everywhere in its API and its
// notifications; row and column travel as doubles in the notifications.
//
// The header column is hidden until a page writes a text into it (or shows it explicitly).
class GridControl : public QTableView
{
    Q_OBJECT
    Q_PROPERTY(qint32 Rows READ rowCount WRITE setRowCount)
    Q_PROPERTY(qint32 Cols READ columnCount WRITE setColumnCount)
    Q_PROPERTY(bool ReadOnly READ readOnly WRITE setReadOnly)
    Q_PROPERTY(bool Redraw READ redraw WRITE setRedraw)
    Q_PROPERTY(quint32 BackColor READ backColor WRITE setBackColor)
    Q_PROPERTY(quint32 ForeColor READ textColor WRITE setTextColor)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(bool Visible READ visibleFlag WRITE setVisible)
    Q_PROPERTY(qint32 SelectedRowCount READ selectedRowCount)
    Q_PROPERTY(qint32 CurrentRow READ currentRow)
    Q_PROPERTY(qint32 CurrentCol READ currentColumn)

public:
    // Where a cell can be clicked: the widget that shows it (the cell area or one of the headers)
    // and the cell's centre in that widget's coordinates.
    struct CellPoint
    {
        QWidget *widget = nullptr;
        QPoint pos;
    };

    explicit GridControl(QWidget *parent = nullptr);
    ~GridControl() override;

    // ---- size and texts -------------------------------------------------------------------
    qint32 rowCount() const; // data rows
    // A larger count appends empty rows; 0 empties the grid.
    void setRowCount(qint32 rows);
    qint32 columnCount() const; // data columns
    void setColumnCount(qint32 columns);

    // Row 0 is the header row, column 0 the header column. Reading outside the grid answers an
    // empty text; writing outside it changes nothing (and is logged).
    Q_INVOKABLE QString cellText(qint32 row, qint32 col) const;
    Q_INVOKABLE void setCellText(qint32 row, qint32 col, const QString &text);

    // ---- what the user may change -----------------------------------------------------------
    // While read-only the user changes no cell, check boxes included.
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    // Whether the user may type into cells (check boxes are not affected). On by default.
    bool cellsEditable() const { return m_cellsEditable; }
    void setCellsEditable(bool editable);
    // A fixed display: no typing into cells, no selection by the user, no focus rectangle, and the
    // button-face background (the previous background returns when it ends). Check boxes still
    // follow the read-only state alone.
    bool staticLook() const { return m_static; }
    void setStaticLook(bool on);
    // Whether a cell editor is open.
    bool isEditing() const { return state() == EditingState; }

    // ---- painting ---------------------------------------------------------------------------
    // With redraw off the grid paints nothing; cell changes are announced in one go when it is
    // switched on again.
    bool redraw() const { return m_redraw; }
    void setRedraw(bool on);
    // While locked, cell changes are collected instead of announced one by one. Answers the
    // previous lock state.
    bool lockUpdates(bool lock);
    bool updatesLocked() const { return m_locked; }
    // Repaints every cell and both headers.
    void repaintGrid();

    // ---- columns and geometry ----------------------------------------------------------------
    void setColumnAlignment(qint32 col, Qt::Alignment alignment);
    // Stored alignment codes: 0 left, 1 centre, 2 right.
    void setColumnAlignmentCode(qint32 col, qint32 code);
    Qt::Alignment columnAlignment(qint32 col) const;
    // A check-box column shows a box per cell: text "1" ticked, "0" (or empty) not ticked.
    void setColumnCheckBox(qint32 col, bool on);
    bool columnCheckBox(qint32 col) const;
    void setColumnWidthTwips(qint32 col, qint32 twips); // column 0 is the header column
    qint32 columnWidthTwips(qint32 col) const;
    void setHeaderRowVisible(bool visible);
    bool headerRowVisible() const;
    void setHeaderColumnVisible(bool visible);
    bool headerColumnVisible() const;
    // The height the page gives the grid: its height as laid out, and the least it shrinks to; a
    // layout with room to spare may make it taller.
    void setHeightTwips(qint32 twips);
    QSize sizeHint() const override;
    qint32 headerRowHeightTwips() const;
    qint32 dataRowHeightTwips() const;
    // Scrolls the cell into view and answers where to click it.
    CellPoint cellPoint(qint32 row, qint32 col);

    // ---- colours (32-bit colour values; system colours follow the palette) ------------------
    quint32 backColor() const { return m_backColor; }
    void setBackColor(quint32 color);
    quint32 textColor() const { return m_textColor; }
    void setTextColor(quint32 color);

    // ---- sorting ------------------------------------------------------------------------------
    // Stable sort of the data rows by the keys in order; selection and current cell follow their
    // rows. Cells compare as: empty cells first, then numbers by value (the user's number format
    // or the C format), then texts (Unicode case folding when case does not count, UTF-16 order
    // when it does); a descending key reverses all of that. Keys outside the grid are skipped.
    void sortRows(const QList<SortKey> &keys);
    // The column by which the rows are known to be ordered (0 when unknown) and its direction;
    // appending rows or changing a cell of that column forgets it.
    qint32 sortColumn() const { return m_sortColumn; }
    bool sortDescending() const { return m_sortDescending; }

    // ---- selection (whole rows) -------------------------------------------------------------
    // Off: the user's clicks and keys select nothing (calls still do).
    void setSelectionEnabled(bool enabled) { m_selectionEnabled = enabled; }
    bool selectionEnabled() const { return m_selectionEnabled; }
    // Off: one selected row at most through the mouse and keys (Ctrl and Shift act as plain).
    void setMultiSelect(bool on) { m_multiSelect = on; }
    bool multiSelect() const { return m_multiSelect; }
    void selectRows(qint32 first, qint32 last, bool select);
    // Selects exactly rows first..last (everything else is deselected).
    void selectOnly(qint32 first, qint32 last);
    // Selects exactly the given rows.
    void setSelectedRows(const QList<qint32> &rows);
    void clearSelection(); // deselects the whole table
    bool isRowSelected(qint32 row) const;
    QList<qint32> selectedRows() const; // ascending
    qint32 selectedRowCount() const;
    void selectAll() override;

    // ---- current cell -------------------------------------------------------------------------
    qint32 currentRow() const; // 0 when there is none
    qint32 currentColumn() const;
    // A row outside the data rows leaves no current cell.
    void setCurrentCell(qint32 row, qint32 col);

    // ---- row transfer -------------------------------------------------------------------------
    // Takes the given rows (any order, duplicates and rows outside the grid ignored) with all their
    // cells, in ascending row order. When the current row is taken no row stays current.
    GridRows takeRows(const QList<qint32> &rows);
    GridRows takeAllRows();
    // Inserts rows before row `before` (rowCount() + 1 appends); they arrive unselected.
    void insertRows(qint32 before, GridRows rows);
    void appendRows(GridRows rows) { insertRows(rowCount() + 1, std::move(rows)); }

signals:
    // Left-button click on a cell, a header row cell (row 0) or a header column cell (column 0).
    void cellClicked(double row, double col);
    // A handler that sets handled->Value to 1 keeps the grid from opening a cell editor.
    void cellDoubleClicked(double row, double col, veltrane::ReturnHolder *handled);
    void rightClicked(double row, double col);
    // The current cell changed through the user or setCurrentCell (not through rows being
    // sorted, taken, inserted or cut off); (0, 0) when no cell is current any more.
    void currentCellMoved(double row, double col);
    void selectionChanged();
    // The user ticked or unticked a check-box cell (the cell already holds its new text).
    void clickedButtonRowCol(double row, double col);
    // Raised before the grid acts on the key, so a handler can still change what the key does.
    void gridKeyDown(int key);
    void gridKeyUp(int key);
    // The user starts working in the grid: any mouse press on it (cells, headers, empty area).
    void activated();
    // The user opened a cell editor (typing, F2, double click).
    void activatedAt(double row, double col);
    // The grid received the keyboard focus; reason is a Qt::FocusReason.
    void activatedBy(int reason);
    // The user changed a cell's text through an editor.
    void cellEdited(double row, double col);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

public:
    void keyboardSearch(const QString &search) override;

private:
    class Delegate;
    friend class Delegate;
    // Assistive technology reads the grid and acts on it as the user does.
    friend class GridAccessible;
    friend class GridCellAccessible;
    // Marks changes of the current cell that come from rows moving, not from the user.
    class QuietCurrent;

    bool visibleFlag() const { return !isHidden(); }
    bool userMaySelect() const;
    bool userMayToggle() const;
    void updateEditing();
    void updateQuiet();
    void applyColors();
    void fitRowHeight();
    void forgetSortOrder() { setSortState(0, false); }
    void setSortState(qint32 column, bool descending);
    void assertSortIndicator();
    void announceSelection();
    void pressOnRow(qint32 row, Qt::KeyboardModifiers modifiers);
    void extendTo(qint32 row, Qt::KeyboardModifiers modifiers);
    void toggleCheckBox(qint32 row, qint32 col);
    // A left click on the cell, header row and header column included, as the mouse makes it.
    void clickCell(qint32 row, qint32 col);
    // The context menu asked for from the keyboard: the current cell's, or the current column's
    // header's when no row is current.
    void keyboardContextMenu();
    void emitDoubleClick(qint32 row, qint32 col);
    bool headerEvent(bool horizontal, QEvent *event);
    void applyColumnWidth(qint32 col);
    Q_DECL_COLD_FUNCTION void warnOutside(qint32 row, qint32 col) const;
    void keyOrHeaderWritten(qint32 col, const QString &text);
    void setCurrentQuietly(qint32 row, qint32 col);

    GridModel *m_model = nullptr;
    Delegate *m_delegate = nullptr;
    QPointer<QWidget> m_editor;

    bool m_readOnly = false;
    bool m_cellsEditable = true;
    bool m_static = false;
    bool m_redraw = true;
    bool m_locked = false;
    bool m_selectionEnabled = true;
    bool m_multiSelect = true;
    quint32 m_backColor;
    quint32 m_textColor;
    quint32 m_backColorBeforeStatic;
    std::vector<qint32> m_widthTwips; // per column, header column first; -1 where never set
    qint32 m_sortColumn = 0;
    qint32 m_heightTwips = -1;
    bool m_sortDescending = false;

    int m_quietCurrent = 0; // > 0 while the current cell moves with the rows
    qint32 m_anchorRow = 0; // where Shift-selection starts
    qint32 m_pressRow = -1; // cell of the last left press in the cell area (-1: none)
    qint32 m_pressCol = -1;
    qint32 m_rightPressRow = -1;
    qint32 m_rightPressCol = -1;
    bool m_releaseAfterDoubleClick = false;
    qint32 m_headerRightPress = -1; // section of a right press on a header
    bool m_accessibleMade = false;  // assistive technology asked for the grid's table
};

} // namespace veltrane
