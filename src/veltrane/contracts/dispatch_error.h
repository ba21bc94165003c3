#pragma once

#include "veltrane/contracts/error.h"

namespace veltrane {

// A failure of late binding as hosts of components expect it: the number's conventional text, then
// what exactly went wrong.
inline Error dispatchError(ComponentError number, const QString &source, const QString &detail)
{
    return Error(number, source, componentErrorText(number) + QLatin1String(": ") + detail);
}

} // namespace veltrane
