#pragma once

#include "support/ratio_reporter.h"

#include <QApplication>

#include <functional>

namespace veltrane::bench {

// The main() of a benchmark program that shows widgets: offscreen unless a platform is chosen, the
// application object, Google Benchmark's options, then setUp, the pairs with their ratio table, and
// tearDown while the application object still exists.
inline int widgetBenchmarkMain(int argc, char **argv, RatioReporter::Clock clock,
                               const std::function<void()> &setUp = {}, const std::function<void()> &tearDown = {})
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!initialize(argc, argv))
        return 1;
    if (setUp)
        setUp();
    const int status = runWithRatios(clock);
    if (tearDown)
        tearDown();
    return status;
}

} // namespace veltrane::bench
