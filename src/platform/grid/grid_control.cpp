#include "platform/grid/grid_control.h"

#include "platform/forms/colors.h"
#include "platform/forms/twips.h"
#include "platform/grid/grid_accessible.h"
#include "platform/grid/grid_model.h"

#include <QAccessible>
#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <algorithm>
#include <optional>

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

// Changes of the current cell made while one of these lives come from rows moving (sorting,
// taking, inserting, cutting off), not from the user, and raise no notification.
class GridControl::QuietCurrent
{
public:
    explicit QuietCurrent(GridControl *grid)
        : m_grid(grid)
    {
        ++m_grid->m_quietCurrent;
    }
    ~QuietCurrent() { --m_grid->m_quietCurrent; }
    QuietCurrent(const QuietCurrent &) = delete;
    QuietCurrent &operator=(const QuietCurrent &) = delete;

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

// ---- columns and geometry ----------------------------------------------------------------------

void GridControl::setColumnAlignment(qint32 col, Qt::Alignment alignment)
{
    GridModel::ColumnStyle style = m_model->columnStyle(col);
    style.alignment = alignment & Qt::AlignHorizontal_Mask;
    m_model->setColumnStyle(col, style);
}

void GridControl::setColumnAlignmentCode(qint32 col, qint32 code)
{
    setColumnAlignment(col, code == 1 ? Qt::AlignHCenter : code == 2 ? Qt::AlignRight : Qt::AlignLeft);
}

Qt::Alignment GridControl::columnAlignment(qint32 col) const
{
    return m_model->columnStyle(col).alignment;
}

void GridControl::setColumnCheckBox(qint32 col, bool on)
{
    GridModel::ColumnStyle style = m_model->columnStyle(col);
    style.checkBox = on;
    m_model->setColumnStyle(col, style);
}

bool GridControl::columnCheckBox(qint32 col) const
{
    return m_model->columnStyle(col).checkBox;
}

void GridControl::setColumnWidthTwips(qint32 col, qint32 twips)
{
    if (col < 0 || col > columnCount())
        return;
    m_widthTwips[size_t(col)] = std::max(twips, 0);
    applyColumnWidth(col);
}

void GridControl::applyColumnWidth(qint32 col)
{
    const qint32 width = m_widthTwips[size_t(col)];
    if (width < 0)
        return;
    const int pixels = twips::toPixels(width, this);
    if (col == 0)
        verticalHeader()->setFixedWidth(pixels);
    else
        horizontalHeader()->resizeSection(col - 1, pixels);
}

qint32 GridControl::columnWidthTwips(qint32 col) const
{
    if (col < 0 || col > columnCount())
        return 0;
    if (m_widthTwips[size_t(col)] >= 0)
        return m_widthTwips[size_t(col)];
    const int pixels = col == 0 ? verticalHeader()->sizeHint().width() : horizontalHeader()->sectionSize(col - 1);
    return twips::fromPixels(pixels, this);
}

void GridControl::setHeaderRowVisible(bool visible)
{
    horizontalHeader()->setVisible(visible);
}

bool GridControl::headerRowVisible() const
{
    return !horizontalHeader()->isHidden();
}

void GridControl::setHeaderColumnVisible(bool visible)
{
    verticalHeader()->setVisible(visible);
}

bool GridControl::headerColumnVisible() const
{
    return !verticalHeader()->isHidden();
}

void GridControl::setHeightTwips(qint32 twips)
{
    m_heightTwips = std::max(twips, 0);
    setMinimumHeight(twips::toPixels(m_heightTwips, this));
    updateGeometry();
}

QSize GridControl::sizeHint() const
{
    QSize hint = QTableView::sizeHint();
    if (m_heightTwips >= 0)
        hint.setHeight(twips::toPixels(m_heightTwips, this));
    return hint;
}

qint32 GridControl::headerRowHeightTwips() const
{
    return twips::fromPixels(horizontalHeader()->sizeHint().height(), this);
}

qint32 GridControl::dataRowHeightTwips() const
{
    return twips::fromPixels(verticalHeader()->defaultSectionSize(), this);
}

GridControl::CellPoint GridControl::cellPoint(qint32 row, qint32 col)
{
    if (row < 0 || row > rowCount() || col < 0 || col > columnCount() || (row == 0 && col == 0))
        return {};
    if (row == 0) {
        scrollTo(m_model->index(std::max(0, std::min(currentRow(), rowCount()) - 1), col - 1));
        QHeaderView *h = horizontalHeader();
        return {h->viewport(),
                QPoint(h->sectionViewportPosition(col - 1) + h->sectionSize(col - 1) / 2, h->height() / 2)};
    }
    if (col == 0) {
        scrollTo(m_model->index(row - 1, 0));
        QHeaderView *v = verticalHeader();
        return {v->viewport(),
                QPoint(v->width() / 2, v->sectionViewportPosition(row - 1) + v->sectionSize(row - 1) / 2)};
    }
    const QModelIndex index = m_model->index(row - 1, col - 1);
    scrollTo(index);
    return {viewport(), visualRect(index).center()};
}

// ---- colours ----------------------------------------------------------------------------------

void GridControl::setBackColor(quint32 color)
{
    m_backColor = color;
    applyColors();
}

void GridControl::setTextColor(quint32 color)
{
    m_textColor = color;
    applyColors();
}

void GridControl::applyColors()
{
    // System colours come from the application's palette for this class of widget, never from
    // our own palette, so a change of the system palette is followed and nothing feeds back.
    //
    // The text is drawn so that it reads on the background in any palette (grey text on the button
    // face of a switched-off grid, black on white in a dark theme); the properties still answer the
    // colours that were set.
    const QPalette system = QApplication::palette(this);
    QPalette pal = palette();
    const bool customText = m_textColor != colors::kWindowText;
    const bool customBack = m_backColor != colors::kWindowBackground;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        // A grid left at the system colours greys out like every other control when disabled.
        const bool disabled = group == QPalette::Disabled;
        const QColor back =
            disabled && !customBack ? system.color(group, QPalette::Base) : colors::toQColor(m_backColor, system);
        const QColor text =
            disabled && !customText ? system.color(group, QPalette::Text) : colors::toQColor(m_textColor, system);
        const bool systemLook = disabled && !customText && !customBack;
        pal.setColor(group, QPalette::Base, back);
        const bool keepHue = disabled || (customText && colors::keepsHue(m_textColor));
        pal.setColor(group, QPalette::Text, systemLook ? text : colors::readableOn(text, back, keepHue));
    }
    setPalette(pal);
}

void GridControl::fitRowHeight()
{
    // A line of text with a little room, as desktop grids draw rows, rather than the style's roomier
    // default: the layouts the pages use count on about a line per row.
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
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

// ---- sorting ----------------------------------------------------------------------------------

void GridControl::sortRows(const QList<SortKey> &keys)
{
    const auto first = std::find_if(keys.begin(), keys.end(),
                                    [&](const SortKey &k) { return k.column >= 1 && k.column <= columnCount(); });
    if (first == keys.end())
        return;
    {
        QuietCurrent quiet(this);
        m_model->sortRows(keys);
    }
    setSortState(first->column, first->descending);
}

void GridControl::setSortState(qint32 column, bool descending)
{
    m_sortColumn = column;
    m_sortDescending = descending;
    QHeaderView *h = horizontalHeader();
    h->setSortIndicatorShown(column > 0);
    if (column > 0) {
        const QSignalBlocker block(h);
        h->setSortIndicator(column - 1, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    }
    h->viewport()->update();
}

void GridControl::assertSortIndicator()
{
    // The header flips its arrow on clicks by itself; the arrow shows the rows' real order only.
    QHeaderView *h = horizontalHeader();
    const Qt::SortOrder order = m_sortDescending ? Qt::DescendingOrder : Qt::AscendingOrder;
    if (m_sortColumn > 0 && (h->sortIndicatorSection() != m_sortColumn - 1 || h->sortIndicatorOrder() != order)) {
        const QSignalBlocker block(h);
        h->setSortIndicator(m_sortColumn - 1, order);
    }
}

// ---- selection ---------------------------------------------------------------------------------

void GridControl::announceSelection()
{
    viewport()->update();
    announceGridSelection(this);
    emit selectionChanged();
}

void GridControl::selectRows(qint32 first, qint32 last, bool select)
{
    if (m_model->setSelected(first, last, select))
        announceSelection();
}

void GridControl::selectOnly(qint32 first, qint32 last)
{
    if (m_model->selectOnly(first, last))
        announceSelection();
}

void GridControl::setSelectedRows(const QList<qint32> &rows)
{
    std::vector<char> flags(size_t(rowCount()), 0);
    for (qint32 row : rows)
        if (row >= 1 && row <= rowCount())
            flags[size_t(row - 1)] = 1;
    if (m_model->setSelectedRows(flags))
        announceSelection();
}

void GridControl::clearSelection()
{
    selectRows(1, rowCount(), false);
}

bool GridControl::isRowSelected(qint32 row) const
{
    return m_model->isSelected(row);
}

QList<qint32> GridControl::selectedRows() const
{
    return m_model->selectedRows();
}

qint32 GridControl::selectedRowCount() const
{
    return m_model->selectedCount();
}

void GridControl::selectAll()
{
    selectOnly(1, rowCount());
}

void GridControl::pressOnRow(qint32 row, Qt::KeyboardModifiers modifiers)
{
    if (!userMaySelect() || row < 1 || row > rowCount())
        return;
    const bool shift = m_multiSelect && modifiers.testFlag(Qt::ShiftModifier);
    const bool ctrl = m_multiSelect && modifiers.testFlag(Qt::ControlModifier);
    bool changed = false;
    if (shift) {
        const qint32 anchor = (m_anchorRow >= 1 && m_anchorRow <= rowCount()) ? m_anchorRow : row;
        const qint32 lo = std::min(anchor, row);
        const qint32 hi = std::max(anchor, row);
        changed = ctrl ? m_model->setSelected(lo, hi, true) : m_model->selectOnly(lo, hi);
        m_anchorRow = anchor;
    } else if (ctrl) {
        changed = m_model->setSelected(row, row, !m_model->isSelected(row));
        m_anchorRow = row;
    } else {
        changed = m_model->selectOnly(row, row);
        m_anchorRow = row;
    }
    if (changed)
        announceSelection();
}

void GridControl::extendTo(qint32 row, Qt::KeyboardModifiers modifiers)
{
    pressOnRow(row, m_multiSelect ? (modifiers | Qt::ShiftModifier) : Qt::NoModifier);
}

// ---- current cell ------------------------------------------------------------------------------

qint32 GridControl::currentRow() const
{
    const QModelIndex index = currentIndex();
    return index.isValid() ? index.row() + 1 : 0;
}

qint32 GridControl::currentColumn() const
{
    const QModelIndex index = currentIndex();
    return index.isValid() ? index.column() + 1 : 0;
}

void GridControl::setCurrentCell(qint32 row, qint32 col)
{
    QModelIndex index;
    if (row >= 1 && row <= rowCount() && columnCount() > 0)
        index = m_model->index(row - 1, std::clamp(col, 1, columnCount()) - 1);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    if (index.isValid())
        scrollTo(index);
}

void GridControl::setCurrentQuietly(qint32 row, qint32 col)
{
    QuietCurrent quiet(this);
    QModelIndex index;
    if (row >= 1 && row <= rowCount() && columnCount() > 0)
        index = m_model->index(row - 1, std::clamp(col, 1, columnCount()) - 1);
    if (index != currentIndex())
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

void GridControl::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_quietCurrent == 0)
        emit currentCellMoved(current.isValid() ? current.row() + 1 : 0, current.isValid() ? current.column() + 1 : 0);
}

// ---- row transfer ------------------------------------------------------------------------------

GridRows GridControl::takeRows(const QList<qint32> &rows)
{
    std::vector<qint32> wanted;
    wanted.reserve(size_t(rows.size()));
    for (qint32 row : rows)
        if (row >= 1 && row <= rowCount())
            wanted.push_back(row);
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    if (wanted.empty())
        return {};

    const qint32 current = currentRow();
    const qint32 currentCol = currentColumn();
    qint32 currentAfter = 0;
    if (current > 0 && !std::binary_search(wanted.begin(), wanted.end(), current))
        currentAfter = current - qint32(std::lower_bound(wanted.begin(), wanted.end(), current) - wanted.begin());
    const qint32 selectedBefore = m_model->selectedCount();
    GridRows block;
    {
        QuietCurrent quiet(this);
        block = m_model->takeRows(wanted);
        setCurrentQuietly(currentAfter, currentCol);
    }
    m_anchorRow = currentAfter;
    if (m_model->selectedCount() != selectedBefore)
        announceSelection();
    return block;
}

GridRows GridControl::takeAllRows()
{
    const bool hadSelection = m_model->selectedCount() > 0;
    GridRows block;
    {
        QuietCurrent quiet(this);
        block = m_model->takeAllRows();
        setCurrentQuietly(0, 0);
    }
    m_anchorRow = 0;
    if (hadSelection)
        announceSelection();
    return block;
}

void GridControl::insertRows(qint32 before, GridRows rows)
{
    if (rows.isEmpty())
        return;
    const qint32 count = rows.count();
    before = std::clamp(before, 1, rowCount() + 1);
    {
        QuietCurrent quiet(this);
        m_model->insertRows(before, std::move(rows));
    }
    forgetSortOrder();
    announceGridRowsArrived(this, before, count);
}

} // namespace veltrane
