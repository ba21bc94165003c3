#pragma once

#include "veltrane/contracts/business_objects.h"

#include <functional>
#include <memory>

namespace veltrane {

// The business-object manager each thread shares, made on first use from the factory the host
// installs (installHostFactories installs it together with the other helpers; a host without pages,
// such as a command-line tool, may install it alone).
using ObjectManagerFactory = std::function<std::shared_ptr<BusinessObjectManager>()>;
void installObjectManagerFactory(ObjectManagerFactory factory);
// Drops the calling thread's manager (the next use makes it again).
void resetThreadObjectManager();

// The calling thread's shared manager; a missing factory raises an Error.
BusinessObjectManager &ObjectManager();
std::shared_ptr<BusinessObjectManager> objectManagerPtr();
// A fresh manager that is not the shared one (for callers that want their own).
std::shared_ptr<BusinessObjectManager> newObjectManager();
// The store of the calling thread's manager, or null when no factory is installed.
StorePtr currentObjectStore();

} // namespace veltrane
