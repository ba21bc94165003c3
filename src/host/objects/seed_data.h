#pragma once

// Internal to the store: what a new store starts with.

#include "host/objects/store_io.h"

namespace veltrane::host {

// Writes the grid layouts (numbers 12, 15, 16 and 24) the pages are laid out from. They are the
// program's configuration rather than sample data, so every new store gets them.
void writeGridLayouts(const io::Context &ctx);

// Writes the sample data a new store starts with, inside the caller's transaction: the read-only
// default set and a few others, projects, size standards, calibrations, references, locus tags.
void seedStore(const io::Context &ctx);

} // namespace veltrane::host
