#include "platform/grid/grid_accessible.h"

#include "platform/grid/grid_control.h"
#include "platform/grid/grid_model.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QPointer>
#include <QScrollBar>
#include <QWindow>
#include <algorithm>

namespace veltrane {

namespace {

// Row and column changes announce at most this many rows each: enough for a screen reader to follow
// a move, and no flood of events when ten thousand rows change at once.
constexpr qint32 kAnnouncedRows = 32;

QString stripAccessKey(QString text)
{
    // "&&" is a literal ampersand, a single "&" marks the access key.
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text.at(i) == QLatin1Char('&'))
            text.remove(i, 1);
    return text;
}

} // namespace

class GridAccessible;

// One cell in grid coordinates: row 0 is the header row, column 0 the header column. A cell stands
// for a position, not for the row that happens to be there: after rows move it tells the texts of
// the row now in its place, which is why the table says it manages its descendants.
class GridCellAccessible final : public QAccessibleInterface,
                                 public QAccessibleTableCellInterface,
                                 public QAccessibleActionInterface
{
public:
    GridCellAccessible(GridControl *grid, qint32 row, qint32 col)
        : m_grid(grid)
        , m_row(row)
        , m_col(col)
    {}

    qint32 gridRow() const { return m_row; }
    qint32 gridCol() const { return m_col; }

    // Valid as long as the grid lives, so that a cell whose row was just removed can still be
    // announced as gone; what it tells is empty once it is outside the grid.
    bool isValid() const override { return !m_grid.isNull(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_grid ? m_grid->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_grid); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    QAccessible::Role role() const override
    {
        if (m_row == 0)
            return QAccessible::ColumnHeader;
        if (m_col == 0)
            return QAccessible::RowHeader;
        return QAccessible::Cell;
    }

    QString text(QAccessible::Text t) const override
    {
        if (!inside())
            return {};
        GridModel *model = modelOf();
        switch (t) {
        case QAccessible::Name:
            // What the grid draws: a check-box cell shows its box, named by its column's title.
            if (isCheckBox())
                return model->text(0, m_col);
            return model->text(m_row, m_col);
        case QAccessible::Value:
            return isCheckBox() ? QString() : model->text(m_row, m_col);
        default:
            return {};
        }
    }

    void setText(QAccessible::Text t, const QString &text) override
    {
        // Typing into a cell by assistive technology goes the user's way: only into a cell the user
        // could edit, and reported as the user's edit.
        if (t != QAccessible::Value || !inside() || m_row < 1 || m_col < 1 ||
            !m_grid->m_model->flags(index()).testFlag(Qt::ItemIsEditable))
            return;
        m_grid->m_model->setData(index(), text, Qt::EditRole);
    }

    QRect rect() const override
    {
        if (!inside())
            return {};
        QHeaderView *columns = m_grid->horizontalHeader();
        QHeaderView *rows = m_grid->verticalHeader();
        const QWidget *viewport = m_grid->viewport();
        if (m_row == 0 && m_col == 0) {
            if (!m_grid->headerRowVisible() || !m_grid->headerColumnVisible())
                return {};
            return QRect(rows->mapToGlobal(QPoint(0, -columns->height())), QSize(rows->width(), columns->height()));
        }
        if (m_row == 0) {
            const QRect r(columns->sectionViewportPosition(m_col - 1), 0, columns->sectionSize(m_col - 1),
                          columns->height());
            return QRect(columns->viewport()->mapToGlobal(r.topLeft()), r.size());
        }
        if (m_col == 0) {
            const QRect r(0, rows->sectionViewportPosition(m_row - 1), rows->width(), rows->sectionSize(m_row - 1));
            return QRect(rows->viewport()->mapToGlobal(r.topLeft()), r.size());
        }
        const QRect r = m_grid->visualRect(index());
        return QRect(viewport->mapToGlobal(r.topLeft()), r.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!inside()) {
            s.invalid = true;
            return s;
        }
        if (!m_grid->isVisible() || (m_row == 0 && !m_grid->headerRowVisible()) ||
            (m_col == 0 && !m_grid->headerColumnVisible())) {
            s.invisible = true;
            return s;
        }
        const QRect r = rect();
        const QRect view(m_grid->viewport()->mapToGlobal(QPoint(0, 0)), m_grid->viewport()->size());
        if (m_row >= 1 && m_col >= 1 && !view.intersects(r))
            s.offscreen = true;
        if (!m_grid->isEnabled())
            s.disabled = true;
        if (m_row < 1 || m_col < 1)
            return s;
        // The grid paints selection and the current cell only where the user may work with them.
        s.focusable = m_grid->focusPolicy() != Qt::NoFocus && !m_grid->staticLook();
        s.focused =
            s.focusable && m_grid->hasFocus() && m_grid->currentRow() == m_row && m_grid->currentColumn() == m_col;
        s.selectable = m_grid->userMaySelect();
        s.selected = !m_grid->staticLook() && m_grid->isRowSelected(m_row);
        s.multiSelectable = s.selectable && m_grid->multiSelect();
        if (isCheckBox()) {
            s.checkable = true;
            s.checked = GridModel::isTicked(modelOf()->text(m_row, m_col));
            s.readOnly = !m_grid->userMayToggle();
        } else {
            s.editable = m_grid->m_model->flags(index()).testFlag(Qt::ItemIsEditable);
            s.readOnly = !s.editable;
        }
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface *>(this);
        if (t == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface *>(this);
        return nullptr;
    }

    // ---- the cell's place in the table (data cells from 0; headers outside it) --------------------
    bool isSelected() const override { return state().selected; }
    QList<QAccessibleInterface *> columnHeaderCells() const override;
    QList<QAccessibleInterface *> rowHeaderCells() const override;
    int columnIndex() const override { return m_col - 1; }
    int rowIndex() const override { return m_row - 1; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface *table() const override { return parent(); }

    // ---- what a user can do with it ---------------------------------------------------------------
    QStringList actionNames() const override
    {
        if (!inside() || !m_grid->isEnabled() || (m_row == 0 && m_col == 0))
            return {};
        if (isCheckBox())
            return m_grid->userMayToggle() ? QStringList{toggleAction()} : QStringList{};
        return {pressAction()};
    }

    void doAction(const QString &actionName) override
    {
        if (actionNames().contains(actionName))
            m_grid->clickCell(m_row, m_col);
    }

    QStringList keyBindingsForAction(const QString &actionName) const override
    {
        if (actionName == toggleAction())
            return {QStringLiteral("Space")};
        return {};
    }

private:
    bool inside() const
    {
        return m_grid && m_row >= 0 && m_row <= m_grid->rowCount() && m_col >= 0 && m_col <= m_grid->columnCount();
    }
    GridModel *modelOf() const { return m_grid->m_model; }
    QModelIndex index() const { return m_grid->m_model->index(m_row - 1, m_col - 1); }
    bool isCheckBox() const { return m_row >= 1 && m_grid->m_model->isCheckBox(m_row, m_col); }

    QPointer<GridControl> m_grid;
    qint32 m_row;
    qint32 m_col;
};

// The grid as a table. Cells are made as a client asks for them and kept, by position, until they
// fall outside the grid.
class GridAccessible final : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit GridAccessible(GridControl *grid)
        : QAccessibleWidget(grid, QAccessible::Table)
        , m_announced(grid->selectedRows())
    {
        grid->m_accessibleMade = true;
        // Rows and columns that go: their cells are announced as gone while they can still name
        // their table. Whatever moved the rows, their selection went with them.
        GridModel *model = grid->m_model;
        const auto leaving = [this](int first, int last, bool rows) {
            forgetCellsPast(rows ? rowCount() - (last - first + 1) : rowCount(),
                            rows ? columnCount() : columnCount() - (last - first + 1));
        };
        const auto resync = [this] { m_announced = this->grid()->selectedRows(); };
        m_connections = {
            QObject::connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, grid,
                             [leaving](const QModelIndex &, int first, int last) { leaving(first, last, true); }),
            QObject::connect(model, &QAbstractItemModel::columnsAboutToBeRemoved, grid,
                             [leaving](const QModelIndex &, int first, int last) { leaving(first, last, false); }),
            QObject::connect(model, &QAbstractItemModel::modelAboutToBeReset, grid, [this] { forgetCellsPast(0, 0); }),
            QObject::connect(model, &QAbstractItemModel::rowsRemoved, grid, resync),
            QObject::connect(model, &QAbstractItemModel::rowsInserted, grid, resync),
            QObject::connect(model, &QAbstractItemModel::modelReset, grid, resync),
            QObject::connect(model, &QAbstractItemModel::layoutChanged, grid, resync),
        };
    }

    ~GridAccessible() override
    {
        for (const QMetaObject::Connection &connection : std::as_const(m_connections))
            QObject::disconnect(connection);
        for (QAccessible::Id id : std::as_const(m_cells))
            QAccessible::deleteAccessibleInterface(id);
    }

    GridControl *grid() const { return static_cast<GridControl *>(widget()); }

    // The grid's table once assistive technology has asked for it; before that nobody listens, and
    // nothing is computed.
    static GridAccessible *of(GridControl *grid)
    {
        if (!grid->m_accessibleMade)
            return nullptr;
        return dynamic_cast<GridAccessible *>(QAccessible::queryAccessibleInterface(grid));
    }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.multiSelectable = grid()->userMaySelect() && grid()->multiSelect();
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        QString text = QAccessibleWidget::text(t);
        if (t == QAccessible::Name)
            return stripAccessKey(text);
        return text;
    }

    int childCount() const override { return (grid()->rowCount() + 1) * (grid()->columnCount() + 1); }

    QAccessibleInterface *child(int index) const override
    {
        const qint32 stride = grid()->columnCount() + 1;
        if (index < 0 || index >= childCount())
            return nullptr;
        return cell(index / stride, index % stride);
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const auto *c = dynamic_cast<const GridCellAccessible *>(child);
        if (!c || c->table() != this || c->gridRow() > grid()->rowCount() || c->gridCol() > grid()->columnCount())
            return -1;
        return c->gridRow() * (grid()->columnCount() + 1) + c->gridCol();
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QPoint global(x, y);
        GridControl *g = grid();
        const QPoint inView = g->viewport()->mapFromGlobal(global);
        if (g->viewport()->rect().contains(inView)) {
            const QModelIndex i = g->indexAt(inView);
            return i.isValid() ? cell(i.row() + 1, i.column() + 1) : nullptr;
        }
        QHeaderView *columns = g->horizontalHeader();
        const QPoint inColumns = columns->viewport()->mapFromGlobal(global);
        if (columns->isVisible() && columns->viewport()->rect().contains(inColumns)) {
            const int section = columns->logicalIndexAt(inColumns);
            return section >= 0 ? cell(0, section + 1) : nullptr;
        }
        QHeaderView *rows = g->verticalHeader();
        const QPoint inRows = rows->viewport()->mapFromGlobal(global);
        if (rows->isVisible() && rows->viewport()->rect().contains(inRows)) {
            const int section = rows->logicalIndexAt(inRows);
            return section >= 0 ? cell(section + 1, 0) : nullptr;
        }
        return nullptr;
    }

    // ---- the table: data cells numbered from 0 ------------------------------------------------------
    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override
    {
        if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
            return nullptr;
        return cell(row + 1, column + 1);
    }
    int selectedCellCount() const override { return selectedRowCount() * columnCount(); }
    QList<QAccessibleInterface *> selectedCells() const override
    {
        QList<QAccessibleInterface *> cells;
        for (int row : selectedRows())
            for (int column = 0; column < columnCount(); ++column)
                cells.append(cellAt(row, column));
        return cells;
    }
    QString columnDescription(int column) const override { return grid()->cellText(0, column + 1); }
    QString rowDescription(int row) const override { return grid()->cellText(row + 1, 0); }
    int columnCount() const override { return grid()->columnCount(); }
    int rowCount() const override { return grid()->rowCount(); }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return grid()->staticLook() ? 0 : grid()->selectedRowCount(); }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override
    {
        QList<int> rows;
        if (grid()->staticLook())
            return rows;
        for (qint32 row : grid()->selectedRows())
            rows.append(row - 1);
        return rows;
    }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override { return !grid()->staticLook() && grid()->isRowSelected(row + 1); }

    // Selecting through assistive technology is the user's selecting: only where the user may, and
    // one row at a time in a grid that takes one.
    bool selectRow(int row) override
    {
        GridControl *g = grid();
        if (!g->userMaySelect() || row < 0 || row >= rowCount())
            return false;
        if (g->multiSelect())
            g->selectRows(row + 1, row + 1, true);
        else
            g->selectOnly(row + 1, row + 1);
        return true;
    }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override
    {
        GridControl *g = grid();
        if (!g->userMaySelect() || row < 0 || row >= rowCount())
            return false;
        g->selectRows(row + 1, row + 1, false);
        return true;
    }
    bool unselectColumn(int) override { return false; }

    // The grid follows its model itself (above), also while no platform bridge is active.
    void modelChange(QAccessibleTableModelChangeEvent *) override {}

    // Announces rows that arrived in the grid (moved here from another grid) by their first cells.
    void announceArrival(qint32 first, qint32 count)
    {
        for (qint32 row = first; row < first + std::min(count, kAnnouncedRows) && columnCount() > 0; ++row) {
            QAccessibleEvent created(cell(row, 1), QAccessible::ObjectCreated);
            QAccessible::updateAccessibility(&created);
        }
    }

    // Announces each row whose selection changed on its first cell (a bounded number of them), and
    // that the selection within the table changed.
    void announceSelection()
    {
        const QList<qint32> now = grid()->selectedRows();
        QList<qint32> added;
        QList<qint32> removed;
        std::set_difference(now.begin(), now.end(), m_announced.begin(), m_announced.end(), std::back_inserter(added));
        std::set_difference(m_announced.begin(), m_announced.end(), now.begin(), now.end(),
                            std::back_inserter(removed));
        m_announced = now;
        if (columnCount() > 0 && !grid()->staticLook()) {
            const auto announce = [this](const QList<qint32> &rows, QAccessible::Event type) {
                for (qsizetype i = 0; i < std::min<qsizetype>(rows.size(), kAnnouncedRows); ++i) {
                    QAccessibleEvent event(cell(rows.at(i), 1), type);
                    QAccessible::updateAccessibility(&event);
                }
            };
            announce(added, QAccessible::SelectionAdd);
            announce(removed, QAccessible::SelectionRemove);
        }
        QAccessibleEvent within(grid(), QAccessible::SelectionWithin);
        QAccessible::updateAccessibility(&within);
    }

    QAccessibleInterface *cell(qint32 row, qint32 col) const
    {
        const quint64 key = (quint64(quint32(row)) << 32) | quint32(col);
        if (const auto found = m_cells.constFind(key); found != m_cells.cend())
            return QAccessible::accessibleInterface(*found);
        auto *made = new GridCellAccessible(grid(), row, col);
        m_cells.insert(key, QAccessible::registerAccessibleInterface(made));
        return made;
    }

private:
    // Cells past rows x cols (data rows and columns; headers count as row and column 0).
    void forgetCellsPast(qint32 rows, qint32 cols)
    {
        for (auto it = m_cells.begin(); it != m_cells.end();) {
            const qint32 row = qint32(it.key() >> 32);
            const qint32 col = qint32(it.key() & 0xFFFFFFFFu);
            if (row <= rows && col <= cols) {
                ++it;
                continue;
            }
            const QAccessible::Id id = it.value();
            it = m_cells.erase(it);
            QAccessibleEvent gone(QAccessible::accessibleInterface(id), QAccessible::ObjectDestroyed);
            QAccessible::updateAccessibility(&gone);
            QAccessible::deleteAccessibleInterface(id);
        }
    }

    mutable QHash<quint64, QAccessible::Id> m_cells;
    QList<qint32> m_announced; // the selected rows assistive technology last heard of
    QList<QMetaObject::Connection> m_connections;
};

QList<QAccessibleInterface *> GridCellAccessible::columnHeaderCells() const
{
    if (!m_grid || m_row < 1 || !m_grid->headerRowVisible())
        return {};
    return {static_cast<GridAccessible *>(parent())->cell(0, m_col)};
}

QList<QAccessibleInterface *> GridCellAccessible::rowHeaderCells() const
{
    if (!m_grid || m_col < 1 || !m_grid->headerColumnVisible())
        return {};
    return {static_cast<GridAccessible *>(parent())->cell(m_row, 0)};
}

QAccessibleInterface *gridAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String(GridControl::staticMetaObject.className()))
        if (auto *grid = qobject_cast<GridControl *>(object))
            return new GridAccessible(grid);
    return nullptr;
}

void announceGridSelection(GridControl *grid)
{
    if (GridAccessible *table = GridAccessible::of(grid))
        table->announceSelection();
}

void announceGridRowsArrived(GridControl *grid, qint32 first, qint32 count)
{
    if (GridAccessible *table = GridAccessible::of(grid))
        table->announceArrival(first, count);
}

} // namespace veltrane
