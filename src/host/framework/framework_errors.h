#pragma once

#include "veltrane/contracts/error.h"

namespace veltrane::host {

// Errors the page framework raises itself (source "PageFramework").
constexpr qint32 kFlowNotRegistered = kApplicationError + 0x201; // unknown flow name, or a flow without pages
constexpr qint32 kPageNotCreated = kApplicationError + 0x202;    // the page factory made no page of that class
constexpr qint32 kNoUserInterface = kApplicationError + 0x203;   // no QApplication, or not its thread

} // namespace veltrane::host
