#pragma once

#include <QString>
#include <QtGlobal>

namespace veltrane::editor {

// What a calibration model needs of the selected peaks.
struct ModelRequirement
{
    const char *model;
    qint32 minimumPeaks;
    const char *text;
};

// The requirement of a model, recognised by name without regard to case; null for a text that
// names no model (the requirement label then keeps its text).
const ModelRequirement *requirementOf(const QString &model);

// The model that holds the migration variable at "Mobility".
inline const QString kLocalSouthern = QStringLiteral("Local Southern");

} // namespace veltrane::editor
