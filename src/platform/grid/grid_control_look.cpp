#include "platform/forms/colors.h"
#include "platform/forms/twips.h"
#include "platform/grid/grid_control.h"
#include "platform/grid/grid_model.h"

// How the grid looks: its columns (alignment, check boxes, widths), its headers and heights, where a
// cell is on screen, and its colours.

#include <QApplication>
#include <QHeaderView>
#include <algorithm>

namespace veltrane {

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

} // namespace veltrane
