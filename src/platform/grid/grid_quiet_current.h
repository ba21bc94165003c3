#pragma once

#include "platform/grid/grid_control.h"

namespace veltrane {

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

} // namespace veltrane
