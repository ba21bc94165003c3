#pragma once

#include <QLoggingCategory>

namespace veltrane::host {

// Every error report and every framework failure is logged here.
Q_DECLARE_LOGGING_CATEGORY(lcFramework)

} // namespace veltrane::host
