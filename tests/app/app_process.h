#pragma once

#include <QString>
#include <QStringList>
#include <QTest>

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

// The columns of a table of mistaken commands, and a row of it: the arguments, the exit code, and what
// standard error says.
inline void mistakeColumns()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
}
inline void mistake(const char *tag, const QStringList &arguments, int exitCode, const QString &says)
{
    QTest::newRow(tag) << arguments << exitCode << says;
}

} // namespace veltrane::test
