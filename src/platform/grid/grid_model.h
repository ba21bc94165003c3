#pragma once

#include "platform/grid/grid_rows.h"
#include "platform/grid/sort_key.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <vector>

namespace veltrane {

// The cell store behind GridControl. Cells live in one row-major vector (the header column is
// column 0 of every row), so filling, sorting and moving ten thousand rows is a matter of moving
// QString handles, not of allocating an item per cell. The selection is a flag of the row itself:
// it travels with the row when rows are sorted and needs no bookkeeping of index ranges.
//
// Its own API speaks in grid coordinates: data rows from 1 (row 0 is the header row), columns from
// 0 (column 0 is the header column). The Qt model API underneath speaks 0-based data cells only.
class GridModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct ColumnStyle
    {
        Qt::Alignment alignment = Qt::AlignLeft;
        bool checkBox = false;
    };

    explicit GridModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    qint32 rows() const { return m_rows; }
    qint32 columns() const { return m_stride - 1; }

    // An empty text for any cell outside the grid.
    const QString &text(qint32 row, qint32 col) const;
    // False when the cell is outside the grid. Data cells are written here, inline: pages fill
    // grids cell by cell, tens of thousands of cells at a time.
    bool setText(qint32 row, qint32 col, const QString &text)
    {
        if (row < 1 || row > m_rows || col < 1 || col >= m_stride)
            return setHeaderText(row, col, text);
        QString &cell = m_cells[at(row, col)];
        if (cell == text && cell.isNull() == text.isNull())
            return true;
        QString copy(text); // copied and swapped in place: no call into the library per cell
        cell.swap(copy);
        if (m_quiet)
            m_dirty |= DirtyCells;
        else
            announce(row, col);
        return true;
    }

    void setRowTotal(qint32 rows);
    void setColumnTotal(qint32 columns);

    ColumnStyle columnStyle(qint32 col) const;
    void setColumnStyle(qint32 col, const ColumnStyle &style);
    bool isCheckBox(qint32 row, qint32 col) const;
    static bool isTicked(const QString &text) { return !text.isEmpty() && text != QLatin1String("0"); }

    void setEditable(bool editable) { m_editable = editable; }

    // Row selection. The setters answer whether anything changed.
    bool isSelected(qint32 row) const { return row >= 1 && row <= m_rows && m_selected[size_t(row - 1)]; }
    qint32 selectedCount() const { return m_selectedCount; }
    QList<qint32> selectedRows() const;
    bool setSelected(qint32 first, qint32 last, bool select);
    bool selectOnly(qint32 first, qint32 last);           // clears every row outside first..last
    bool setSelectedRows(const std::vector<char> &flags); // one flag per row, replaces the selection

    // While quiet, cell changes are not announced one by one; the first refresh afterwards
    // announces everything at once.
    void setQuiet(bool quiet);
    bool isQuiet() const { return m_quiet; }
    void refreshAll();

    // Stable multi-key sort of the data rows; answers whether the order changed.
    bool sortRows(const QList<SortKey> &keys);

    // Takes rows out (rows given in ascending order, each once); answers them in that order.
    GridRows takeRows(const std::vector<qint32> &rows);
    GridRows takeAllRows();
    // Inserts rows before `before` (rows() + 1 appends). Arriving rows are not selected.
    void insertRows(qint32 before, GridRows &&block);

    // Raised when the user changed a cell through an editor.
    Q_SIGNAL void cellEdited(qint32 row, qint32 col);

private:
    size_t at(qint32 row, qint32 col) const { return size_t(row - 1) * size_t(m_stride) + size_t(col); }
    // The header row, the header column, or a cell outside the grid (false).
    bool setHeaderText(qint32 row, qint32 col, const QString &text);
    void announce(qint32 row, qint32 col);
    static QString textOf(const QVariant &value);

    qint32 m_rows = 0;
    qint32 m_stride = 1;          // cells per row: data columns + the header column
    std::vector<QString> m_cells; // m_rows * m_stride, row-major
    std::vector<char> m_selected; // one flag per row
    qint32 m_selectedCount = 0;
    std::vector<QString> m_header;     // the header row, m_stride cells
    std::vector<ColumnStyle> m_styles; // m_stride styles
    bool m_editable = true;
    bool m_quiet = false;
    // What changed while quiet, announced when it ends: a grid filled cell by cell need not make
    // its headers look at every row.
    enum Dirty : quint8 { DirtyCells = 1, DirtyHeaderRow = 2, DirtyHeaderColumn = 4, DirtyAll = 7 };
    quint8 m_dirty = 0;
    void announceDirty(quint8 parts);
};

} // namespace veltrane
