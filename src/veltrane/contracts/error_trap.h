#pragma once

#include "veltrane/contracts/error.h"

#include <QString>
#include <functional>
#include <type_traits>

namespace veltrane {

// The three endings of a procedure's error trap.
enum class Ending {
    Propagate, // report with display off; then break into the debugger and retry, or raise again
    ReportAndStop, // report with display on; then break and retry, or end the procedure normally
    ReportOnly, // report with display on; end the procedure at once
};

// The application name every report carries.
QString applicationName();

namespace trap_detail {
// Reports the failure through FrameworkUtilities.ReportError; never throws.
void report(const char *className, const char *procedure, const Error &error, bool display);
// IsDebugging and ConfirmBreak both say yes: break into the debugger and answer true (retry).
bool breakAndRetry(const Error &error);
} // namespace trap_detail

// Break action used when the user confirms a break; by default SIGTRAP when a debugger is
// attached. Tests replace it.
void setBreakAction(std::function<void()> action);

// Runs body under the error trap of procedure `procedure` of class `className`.
// A failure is reported with the application name, class, procedure, the error, an empty text and
// the display flag of the ending; the ending then decides what the caller sees.
template <typename F>
auto trap(Ending ending, const char *className, const char *procedure, F &&body) -> decltype(body())
{
    using R = decltype(body());
    for (;;) {
        try {
            return body();
        } catch (...) {
            const Error error = Error::fromCurrentException();
            trap_detail::report(className, procedure, error, ending != Ending::Propagate);
            if (ending != Ending::ReportOnly && trap_detail::breakAndRetry(error))
                continue;
            if (ending == Ending::Propagate)
                throw error;
            if constexpr (std::is_void_v<R>)
                return;
            else
                return R{};
        }
    }
}

} // namespace veltrane
