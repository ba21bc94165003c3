#include "platform/grid/grid_control.h"

#include "platform/forms/popup_menu.h"
#include "platform/grid/grid_model.h"

// The user's input on the grid: clicks and double clicks on cells and headers, keys, focus.

#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <optional>

namespace veltrane {

// ---- mouse ------------------------------------------------------------------------------------

void GridControl::mousePressEvent(QMouseEvent *event)
{
    emit activated();
    const QModelIndex index = indexAt(event->position().toPoint());
    const qint32 row = index.isValid() ? index.row() + 1 : -1;
    const qint32 col = index.isValid() ? index.column() + 1 : -1;
    m_releaseAfterDoubleClick = false;
    if (event->button() == Qt::LeftButton) {
        m_pressRow = row;
        m_pressCol = col;
        if (index.isValid()) {
            if (!m_static)
                setCurrentCell(row, col);
            pressOnRow(row, event->modifiers());
        }
    } else if (event->button() == Qt::RightButton) {
        m_rightPressRow = row;
        m_rightPressCol = col;
    }
    event->accept();
}

void GridControl::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        QTableView::mouseMoveEvent(event);
        return;
    }
    // Dragging with the left button extends the selection from the pressed row.
    if (m_pressRow < 1 || !userMaySelect())
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid() || index.row() + 1 == currentRow())
        return;
    setCurrentCell(index.row() + 1, currentColumn());
    extendTo(index.row() + 1, event->modifiers() & Qt::ControlModifier);
}

void GridControl::mouseReleaseEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    const qint32 row = index.isValid() ? index.row() + 1 : -1;
    const qint32 col = index.isValid() ? index.column() + 1 : -1;
    if (event->button() == Qt::LeftButton) {
        const bool sameCell = index.isValid() && row == m_pressRow && col == m_pressCol;
        const bool afterDoubleClick = m_releaseAfterDoubleClick;
        m_pressRow = m_pressCol = -1;
        m_releaseAfterDoubleClick = false;
        if (sameCell) {
            // Each click of a double click ticks or unticks a box, as check boxes elsewhere do.
            if (m_model->isCheckBox(row, col) && userMayToggle())
                toggleCheckBox(row, col);
            if (!afterDoubleClick)
                emit cellClicked(row, col);
        }
    } else if (event->button() == Qt::RightButton) {
        const bool sameCell = index.isValid() && row == m_rightPressRow && col == m_rightPressCol;
        m_rightPressRow = m_rightPressCol = -1;
        if (sameCell)
            emit rightClicked(row, col);
    }
    event->accept();
}

void GridControl::mouseDoubleClickEvent(QMouseEvent *event)
{
    emit activated();
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid()) {
        event->accept();
        return;
    }
    const qint32 row = index.row() + 1;
    const qint32 col = index.column() + 1;
    if (event->button() == Qt::LeftButton) {
        m_pressRow = row;
        m_pressCol = col;
        m_releaseAfterDoubleClick = true;
        emitDoubleClick(row, col);
    } else if (event->button() == Qt::RightButton) {
        m_rightPressRow = row;
        m_rightPressCol = col;
    }
    event->accept();
}

void GridControl::emitDoubleClick(qint32 row, qint32 col)
{
    ReturnHolder handled;
    emit cellDoubleClicked(row, col, &handled);
    // The handler may have taken or sorted rows (the press is then forgotten): only a cell that is
    // still the one double-clicked opens an editor.
    if (handled.Value() != 0 || row < 1 || col < 1 || m_pressRow != row || m_pressCol != col)
        return;
    if (!m_model->isCheckBox(row, col))
        QTableView::edit(m_model->index(row - 1, col - 1));
}

void GridControl::clickCell(qint32 row, qint32 col)
{
    if (row < 0 || row > rowCount() || col < 0 || col > columnCount() || (row == 0 && col == 0))
        return;
    emit activated();
    if (row >= 1) {
        if (!m_static)
            setCurrentCell(row, col >= 1 ? col : std::max(currentColumn(), 1));
        pressOnRow(row, Qt::NoModifier);
        if (m_model->isCheckBox(row, col) && userMayToggle())
            toggleCheckBox(row, col);
    }
    emit cellClicked(row, col);
}

void GridControl::keyboardContextMenu()
{
    const qint32 row = currentRow();
    const qint32 col = std::max(currentColumn(), 1);
    if (columnCount() < 1)
        return;
    const CellPoint at = cellPoint(row, col);
    const QPoint global = at.widget ? at.widget->mapToGlobal(at.pos) : mapToGlobal(rect().center());
    const PopupMenu::KeyboardAnchor anchor(global);
    emit rightClicked(row, col);
}

void GridControl::toggleCheckBox(qint32 row, qint32 col)
{
    setCellText(row, col, GridModel::isTicked(cellText(row, col)) ? QStringLiteral("0") : QStringLiteral("1"));
    emit clickedButtonRowCol(row, col);
}

bool GridControl::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == horizontalHeader()->viewport())
        return headerEvent(true, event);
    if (watched == verticalHeader()->viewport())
        return headerEvent(false, event);
    return QTableView::eventFilter(watched, event);
}

bool GridControl::headerEvent(bool horizontal, QEvent *event)
{
    // Clicks and double clicks (left button) arrive through the header's own signals; this adds
    // what the header does not report: activation, right clicks and row selection by row header.
    QHeaderView *header = horizontal ? horizontalHeader() : verticalHeader();
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        emit activated();
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const int section = header->logicalIndexAt(mouse->position().toPoint());
        if (mouse->button() == Qt::RightButton) {
            m_headerRightPress = section;
        } else if (!horizontal && mouse->button() == Qt::LeftButton && section >= 0 &&
                   event->type() == QEvent::MouseButtonPress) {
            setCurrentCell(section + 1, std::max(currentColumn(), 1));
            pressOnRow(section + 1, mouse->modifiers());
        }
        return false;
    }
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::RightButton)
            return false;
        const int section = header->logicalIndexAt(mouse->position().toPoint());
        const bool same = section >= 0 && section == m_headerRightPress;
        m_headerRightPress = -1;
        if (same)
            emit rightClicked(horizontal ? 0 : section + 1, horizontal ? section + 1 : 0);
        return false;
    }
    default:
        return false;
    }
}

// ---- keys and focus ----------------------------------------------------------------------------

void GridControl::keyPressEvent(QKeyEvent *event)
{
    // The handler runs first: a page that makes the grid read-only on key down thereby keeps the
    // key from changing a check box.
    emit gridKeyDown(event->key());

    const qint32 row = currentRow();
    const qint32 col = currentColumn();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool plain = !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    const auto cursorActionOf = [](int key) -> std::optional<CursorAction> {
        switch (key) {
        case Qt::Key_Up:
            return MoveUp;
        case Qt::Key_Down:
            return MoveDown;
        case Qt::Key_Left:
            return MoveLeft;
        case Qt::Key_Right:
            return MoveRight;
        case Qt::Key_Home:
            return MoveHome;
        case Qt::Key_End:
            return MoveEnd;
        case Qt::Key_PageUp:
            return MovePageUp;
        case Qt::Key_PageDown:
            return MovePageDown;
        default:
            return std::nullopt;
        }
    };

    if ((event->key() == Qt::Key_Space || event->key() == Qt::Key_Select) && plain && m_model->isCheckBox(row, col)) {
        if (userMayToggle())
            toggleCheckBox(row, col);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Space && modifiers.testFlag(Qt::ControlModifier) && row > 0) {
        pressOnRow(row, Qt::ControlModifier);
        event->accept();
        return;
    }
    // The keyboard's ways to what the mouse reaches: the context menu (menu key or Shift+F10), and
    // a click on the current column's header (Ctrl+Enter), by which the grids sort.
    if (event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        keyboardContextMenu();
        event->accept();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && modifiers.testFlag(Qt::ControlModifier) &&
        state() != EditingState) {
        if (headerRowVisible() && columnCount() > 0)
            emit cellClicked(0, std::max(col, 1));
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        if (userMaySelect() && m_multiSelect)
            selectAll();
        event->accept();
        return;
    }
    if (const auto action = cursorActionOf(event->key()); action && state() != EditingState) {
        const QModelIndex next = moveCursor(*action, modifiers);
        if (next.isValid() && !m_static) {
            setCurrentCell(next.row() + 1, next.column() + 1);
            // The selection follows the keyboard: Shift extends it, Ctrl only moves the cell.
            if (next.row() + 1 != row) {
                if (modifiers.testFlag(Qt::ShiftModifier))
                    extendTo(next.row() + 1, Qt::NoModifier);
                else if (!modifiers.testFlag(Qt::ControlModifier))
                    pressOnRow(next.row() + 1, Qt::NoModifier);
            }
        }
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void GridControl::keyReleaseEvent(QKeyEvent *event)
{
    QTableView::keyReleaseEvent(event);
    emit gridKeyUp(event->key());
}

void GridControl::keyboardSearch(const QString &)
{
    // Typing does not jump to rows: keys either edit the current cell or do nothing, so the current
    // row never changes behind a page's back.
}

void GridControl::focusInEvent(QFocusEvent *event)
{
    QTableView::focusInEvent(event);
    emit activatedBy(int(event->reason()));
}

bool GridControl::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    const bool wasEditing = state() == EditingState;
    const bool result = QTableView::edit(index, trigger, event);
    if (result && !wasEditing && state() == EditingState)
        emit activatedAt(index.row() + 1, index.column() + 1);
    return result;
}

} // namespace veltrane
