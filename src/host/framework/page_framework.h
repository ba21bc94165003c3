#pragma once

#include "veltrane/contracts/page_framework.h"

namespace veltrane::host {

// The framework's application object: runs a registered flow in a modal ServiceWindowDialog and
// answers the window once the flow has ended. An unknown flow, a flow without pages or a page that
// cannot be created is reported (logged, not shown) and raised as an Error to the caller, whose own
// error trap decides whether the user sees it; no window is shown then.
class PageFramework : public veltrane::FrameworkApplication
{
public:
    veltrane::ServiceWindowPtr RunService(const QString &serviceName, const veltrane::CollectionPtr &context,
                                          QWidget *parentWindow, const veltrane::ServiceOptions &options) override;
};

} // namespace veltrane::host
