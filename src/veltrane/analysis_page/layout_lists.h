#pragma once

#include "veltrane/contracts/editor_texts.h"

#include <QtGlobal>

namespace veltrane::editor {

// What a screen reader calls a field of quantitation row `row` (from 0) under the column titled so.
inline QString quantitationFieldName(int row, const QString &column)
{
    return QStringLiteral("D%1 %2").arg(row + 1).arg(column);
}

// Heights the editor gives its grids, in twips.
constexpr qint32 kMobilityGridHeightTwips = 1508;
constexpr qint32 kSizeStandardGridHeightTwips = 3735;

} // namespace veltrane::editor
