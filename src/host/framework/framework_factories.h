#pragma once

#include "veltrane/contracts/page_framework.h"

#include <memory>

namespace veltrane::host {

// Factories for the per-thread helpers (veltrane::HostFactories::application and ::utilities).
std::shared_ptr<veltrane::FrameworkApplication> makeFrameworkApplication();
std::shared_ptr<veltrane::FrameworkUtilities> makeFrameworkUtilities();

} // namespace veltrane::host
