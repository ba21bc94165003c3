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
                                          QWidget *parent, qint32 option1, qint32 option2, qint32 option3,
                                          qint32 option4, qint32 option5, qint32 option6, const QString &nameText,
                                          qint32 number1, qint32 number2) override;
};

} // namespace veltrane::host
