#pragma once

#include "veltrane/contracts/error.h"

#include <functional>

namespace veltrane::test {

// The number of the Error the action raises; 0 when it raises none.
inline qint32 errorNumberOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Error &e) {
        return e.number();
    }
    return 0;
}

} // namespace veltrane::test
