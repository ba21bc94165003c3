#pragma once

// Internal to the store: what a new store starts with.

#include "host/objects/store_io.h"

namespace veltrane::host {

// The name of the read-only default parameter set that new sets are made from.
inline const QString kDefaultSetName = QStringLiteral("DefaultFragmentAnalysisParameters");

// Writes the seed data inside the caller's transaction.
void seedStore(const io::Context &ctx);

} // namespace veltrane::host
