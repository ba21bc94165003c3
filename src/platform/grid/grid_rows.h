#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

namespace veltrane {

// Whole rows taken out of a grid, every cell included (the header column too), in the order they
// had there. A block is what travels when rows move from one grid to another; it keeps the texts
// as they were, so a row arrives in its target exactly as it left its source.
class GridRows
{
public:
    GridRows() = default;

    qint32 count() const { return m_stride > 0 ? qint32(m_cells.size() / size_t(m_stride)) : 0; }
    // Data columns per row (column 0, the header column, comes on top).
    qint32 columnCount() const { return m_stride > 0 ? m_stride - 1 : 0; }
    bool isEmpty() const { return count() == 0; }

    // Text of cell (row, col) of the block: row from 1, col from 0 (0 is the header column).
    QString text(qint32 row, qint32 col) const;

private:
    friend class GridModel;
    GridRows(qint32 stride, std::vector<QString> cells)
        : m_stride(stride)
        , m_cells(std::move(cells))
    {}

    qint32 m_stride = 0;          // cells per row, header column included
    std::vector<QString> m_cells; // row-major
};

} // namespace veltrane
