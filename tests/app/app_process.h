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

// The same as an ordinary user would run it: as root, as the user "nobody" (root may write anywhere);
// otherwise as the user running the test. home must be that user's to write.
AppResult runAppUnprivileged(const QStringList &arguments, const QString &home);

// The same as the named user (the test must run as root).
AppResult runAppAs(const QString &user, const QStringList &arguments, const QString &home);

} // namespace veltrane::test
