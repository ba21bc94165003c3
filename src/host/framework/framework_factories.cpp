#include "host/framework/framework_factories.h"

#include "host/framework/host_utilities.h"
#include "host/framework/page_framework.h"

namespace veltrane::host {

std::shared_ptr<FrameworkApplication> makeFrameworkApplication()
{
    return std::make_shared<PageFramework>();
}

std::shared_ptr<FrameworkUtilities> makeFrameworkUtilities()
{
    return std::make_shared<HostUtilities>();
}

} // namespace veltrane::host
