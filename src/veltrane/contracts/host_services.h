#pragma once

#include "veltrane/contracts/business_objects.h"
#include "veltrane/contracts/grid_utilities.h"
#include "veltrane/contracts/object_services.h"
#include "veltrane/contracts/page_framework.h"

#include <functional>
#include <memory>

namespace veltrane {

// Factories through which the host provides its four shared helper objects. The app installs them
// once at start; tests install their own.
struct HostFactories
{
    std::function<std::shared_ptr<FrameworkApplication>()> application;
    std::function<std::shared_ptr<FrameworkUtilities>()> utilities;
    ObjectManagerFactory objects;
    std::function<std::shared_ptr<GridUtilities>()> grids;
};

// Installs the factories for every thread and drops the helpers the calling thread already made,
// so the next use creates them from the new factories.
void installHostFactories(HostFactories factories);
// Drops the calling thread's helpers (they are made again on next use).
void resetThreadHelpers();

// The calling thread's shared helpers, created on first use and kept until the thread ends.
// A helper whose factory is missing raises an Error. The business-object manager is reached
// through ObjectManager() (object_services.h).
FrameworkApplication &App();
FrameworkUtilities &Utilities();
GridUtilities &Grids();

} // namespace veltrane
