#pragma once

#include <QtGlobal>

namespace veltrane {

// One key of a row sort: a data column (from 1), its direction and whether letter case counts.
struct SortKey
{
    qint32 column = 1;
    bool descending = false;
    bool caseSensitive = false;
};

} // namespace veltrane
