#include "platform/grid/grid_control.h"

#include "platform/forms/colors.h"
#include "platform/forms/twips.h"
#include "platform/grid/grid_accessible.h"
#include "platform/grid/grid_model.h"
#include "platform/grid/grid_quiet_current.h"

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

namespace veltrane {

Q_LOGGING_CATEGORY(lcGrid, "veltrane.grid")

// ---- painting ---------------------------------------------------------------------------------

// Paints the grid's own row selection (a flag of the row, not Qt's selection model), check-box
// cells as a box placed by the column's alignment, and no focus rectangle on a static grid.
// Mouse and key input on cells is the grid's business, so the delegate handles no editor events.
class GridControl::Delegate final : public QStyledItemDelegate
{
public:
    explicit Delegate(GridControl *grid)
        : QStyledItemDelegate(grid)
        , m_grid(grid)
    {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const GridModel::ColumnStyle style = m_grid->m_model->columnStyle(index.column() + 1);
        if (!style.checkBox)
            return;
        QStyleOptionViewItem box = option;
        initStyleOption(&box, index);
        const QWidget *widget = option.widget;
        QStyle *qs = widget ? widget->style() : QApplication::style();
        const QSize size(qs->pixelMetric(QStyle::PM_IndicatorWidth, &box, widget),
                         qs->pixelMetric(QStyle::PM_IndicatorHeight, &box, widget));
        box.rect = QStyle::alignedRect(box.direction, (style.alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter,
                                       size, option.rect);
        const bool ticked = GridModel::isTicked(m_grid->m_model->text(index.row() + 1, index.column() + 1));
        box.state = (box.state & ~(QStyle::State_On | QStyle::State_Off | QStyle::State_NoChange)) |
                    (ticked ? QStyle::State_On : QStyle::State_Off);
        if (!m_grid->userMayToggle())
            box.state &= ~QStyle::State_Enabled;
        qs->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, widget);
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        m_grid->m_editor = editor;
        return editor;
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (m_grid->m_model->isSelected(index.row() + 1) && !m_grid->m_static)
            option->state |= QStyle::State_Selected;
        else
            option->state &= ~QStyle::State_Selected;
        if (m_grid->m_static)
            option->state &= ~QStyle::State_HasFocus;
        if (m_grid->m_model->columnStyle(index.column() + 1).checkBox) {
            option->features &= ~QStyleOptionViewItem::HasCheckIndicator;
            option->text.clear();
        }
    }

    bool editorEvent(QEvent *, QAbstractItemModel *, const QStyleOptionViewItem &, const QModelIndex &) override
    {
        return false;
    }

private:
    GridControl *m_grid;
};

// ---- construction ------------------------------------------------------------------------------

GridControl::GridControl(QWidget *parent)
    : QTableView(parent)
    , m_backColor(colors::kWindowBackground)
    , m_textColor(colors::kWindowText)
    , m_backColorBeforeStatic(colors::kWindowBackground)
    , m_widthTwips(1, -1)
{
    static const bool accessible = [] {
        QAccessible::installFactory(gridAccessibleFactory);
        return true;
    }();
    Q_UNUSED(accessible);
    m_model = new GridModel(this);
    setModel(m_model);
    m_delegate = new Delegate(this);
    setItemDelegate(m_delegate);

    // Qt's selection model stays empty: the selection is a flag of each row in the model, which
    // keeps it attached to its row through sorts and moves at no cost.
    setSelectionMode(QAbstractItemView::NoSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed); // uniform rows keep 10,000 rows cheap
    fitRowHeight();
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setHighlightSections(false);
    horizontalHeader()->viewport()->installEventFilter(this);
    verticalHeader()->viewport()->installEventFilter(this);

    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { emit cellClicked(0, section + 1); });
    connect(horizontalHeader(), &QHeaderView::sectionDoubleClicked, this, [this](int section) {
        if (section >= 0)
            emitDoubleClick(0, section + 1);
    });
    connect(verticalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { emit cellClicked(section + 1, 0); });
    connect(verticalHeader(), &QHeaderView::sectionDoubleClicked, this, [this](int section) {
        if (section >= 0)
            emitDoubleClick(section + 1, 0);
    });
    connect(horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, &GridControl::assertSortIndicator);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        const size_t col = size_t(section) + 1;
        if (col < m_widthTwips.size() && (m_widthTwips[col] < 0 || twips::toPixels(m_widthTwips[col], this) != size))
            m_widthTwips[col] = twips::fromPixels(size, this);
    });
    connect(m_model, &GridModel::cellEdited, this, [this](qint32 row, qint32 col) {
        if (col == m_sortColumn)
            forgetSortOrder();
        emit cellEdited(row, col);
    });
    // A press whose cell moved away (a handler took or sorted rows) must not finish as a click.
    const auto forgetPresses = [this] { m_pressRow = m_pressCol = m_rightPressRow = m_rightPressCol = -1; };
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, forgetPresses);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, forgetPresses);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, forgetPresses);
    connect(m_model, &QAbstractItemModel::modelReset, this, forgetPresses);

    updateEditing();
    applyColors();
}

GridControl::~GridControl() = default;

// ---- size and texts ----------------------------------------------------------------------------

qint32 GridControl::rowCount() const
{
    return m_model->rows();
}

void GridControl::setRowCount(qint32 rows)
{
    rows = std::max(rows, 0);
    const qint32 before = m_model->rows();
    if (rows == before)
        return;
    const qint32 current = currentRow();
    const qint32 selectedBefore = m_model->selectedCount();
    {
        QuietCurrent quiet(this);
        m_model->setRowTotal(rows);
        if (current > rows)
            setCurrentQuietly(0, 0);
    }
    if (rows > before)
        forgetSortOrder();
    if (m_anchorRow > rows)
        m_anchorRow = 0;
    if (m_model->selectedCount() != selectedBefore)
        announceSelection();
}

qint32 GridControl::columnCount() const
{
    return m_model->columns();
}

void GridControl::setColumnCount(qint32 columns)
{
    columns = std::max(columns, 0);
    if (columns == m_model->columns())
        return;
    {
        QuietCurrent quiet(this);
        m_model->setColumnTotal(columns);
    }
    if (m_sortColumn > columns)
        forgetSortOrder();
    m_widthTwips.resize(size_t(columns) + 1, -1);
    for (qint32 col = 1; col <= columns; ++col)
        applyColumnWidth(col);
}

QString GridControl::cellText(qint32 row, qint32 col) const
{
    return m_model->text(row, col);
}

// Kept lean: pages fill their grids through it cell by cell. What is rare (a cell outside the grid,
// the sort column, the header column) is done out of line.
void GridControl::setCellText(qint32 row, qint32 col, const QString &text)
{
    if (!m_model->setText(row, col, text))
        return warnOutside(row, col);
    if (row >= 1 && (col == m_sortColumn || col == 0)) [[unlikely]]
        keyOrHeaderWritten(col, text);
}

void GridControl::warnOutside(qint32 row, qint32 col) const
{
    qCWarning(lcGrid, "%s: cell (%d, %d) is outside the grid of %d rows and %d columns", qUtf8Printable(objectName()),
              row, col, rowCount(), columnCount());
}

void GridControl::keyOrHeaderWritten(qint32 col, const QString &text)
{
    if (col == m_sortColumn)
        forgetSortOrder();
    if (col == 0 && !text.isEmpty() && !headerColumnVisible())
        setHeaderColumnVisible(true);
}

// ---- what the user may change ------------------------------------------------------------------

void GridControl::setReadOnly(bool readOnly)
{
    if (m_readOnly == readOnly)
        return;
    m_readOnly = readOnly;
    updateEditing();
    viewport()->update(); // check boxes look disabled while they cannot change
}

void GridControl::setCellsEditable(bool editable)
{
    m_cellsEditable = editable;
    updateEditing();
}

void GridControl::setStaticLook(bool on)
{
    if (m_static == on)
        return;
    m_static = on;
    if (on) {
        m_backColorBeforeStatic = m_backColor;
        setBackColor(colors::kButtonFace);
    } else {
        setBackColor(m_backColorBeforeStatic);
    }
    updateEditing();
    viewport()->update();
}

bool GridControl::userMaySelect() const
{
    return m_selectionEnabled && !m_static && isEnabled();
}

bool GridControl::userMayToggle() const
{
    // A static look is about display; whether boxes may change is the read-only state's business,
    // so a page can show a fixed-looking list of boxes that still take clicks.
    return !m_readOnly && isEnabled();
}

void GridControl::updateEditing()
{
    const bool editable = m_cellsEditable && !m_readOnly && !m_static && isEnabled();
    m_model->setEditable(editable);
    setEditTriggers(editable ? (QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed)
                             : QAbstractItemView::NoEditTriggers);
    if (!editable && m_editor)
        closeEditor(m_editor, QAbstractItemDelegate::NoHint);
}

// ---- painting ---------------------------------------------------------------------------------

void GridControl::setRedraw(bool on)
{
    if (m_redraw == on)
        return;
    m_redraw = on;
    setUpdatesEnabled(on);
    updateQuiet();
}

bool GridControl::lockUpdates(bool lock)
{
    const bool previous = m_locked;
    m_locked = lock;
    updateQuiet();
    return previous;
}

void GridControl::updateQuiet()
{
    m_model->setQuiet(!m_redraw || m_locked);
}

void GridControl::repaintGrid()
{
    m_model->refreshAll();
    viewport()->update();
    horizontalHeader()->viewport()->update();
    verticalHeader()->viewport()->update();
}

void GridControl::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        updateEditing();
        break;
    case QEvent::ApplicationPaletteChange:
        applyColors();
        break;
    case QEvent::FontChange:
        fitRowHeight();
        break;
    default:
        break;
    }
}

} // namespace veltrane
