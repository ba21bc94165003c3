#pragma once

#include "veltrane/contracts/business_objects.h"
#include "veltrane/contracts/grid_utilities.h"
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
    std::function<std::shared_ptr<BusinessObjectManager>()> objects;
    std::function<std::shared_ptr<GridUtilities>()> grids;
};

// Installs the factories for every thread and drops the helpers the calling thread already made,
// so the next use creates them from the new factories.
void installHostFactories(HostFactories factories);
// Drops the calling thread's helpers (they are made again on next use).
void resetThreadHelpers();

// The calling thread's shared helpers, created on first use and kept until the thread ends.
// A helper whose factory is missing raises an Error.
FrameworkApplication &App();
FrameworkUtilities &Utilities();
BusinessObjectManager &ObjectManager();
GridUtilities &Grids();

std::shared_ptr<FrameworkApplication> appPtr();
std::shared_ptr<FrameworkUtilities> utilitiesPtr();
std::shared_ptr<BusinessObjectManager> objectManagerPtr();
std::shared_ptr<GridUtilities> gridsPtr();

// A fresh business-object manager that is not the shared one (for callers that want their own).
std::shared_ptr<BusinessObjectManager> newObjectManager();

// The store of the calling thread's manager, or null when no objects factory is installed.
StorePtr currentObjectStore();

} // namespace veltrane
