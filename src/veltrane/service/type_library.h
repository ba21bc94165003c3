#pragma once

#include "veltrane/contracts/type_info.h"

namespace veltrane::typelib {

// The library's public surface: its classes, their interfaces, members and dispatch ids.
const TypeLibrary &typeLibrary();

} // namespace veltrane::typelib
