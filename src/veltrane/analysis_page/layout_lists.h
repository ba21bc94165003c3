#pragma once

#include "veltrane/contracts/editor_texts.h"

#include <QtGlobal>

namespace veltrane::editor {

// Heights the editor gives its grids, in twips.
constexpr qint32 kMobilityGridHeightTwips = 1508;
constexpr qint32 kSizeStandardGridHeightTwips = 3735;

} // namespace veltrane::editor
