#pragma once

#include <QString>
#include <QStringList>

namespace veltrane::test {

struct AppResult
{
    int exitCode = -1; // -2 when the process crashed, -1 when it did not finish in time
    QString out;
    QString err;
};

// Runs the application as a user or a script runs it: a separate process, offscreen, with its data
// folders under home, in workingDir when one is given.
AppResult runApp(const QStringList &arguments, const QString &home, const QString &workingDir = {});

} // namespace veltrane::test
