#include "app_process.h"

#include <QProcess>
#include <unistd.h>

namespace veltrane::test {

namespace {

AppResult runProgram(const QString &program, const QStringList &arguments, const QString &home,
                     const QString &workingDir);

} // namespace

AppResult runApp(const QStringList &arguments, const QString &home, const QString &workingDir)
{
    return runProgram(QStringLiteral(VELTRANE_APP_PATH), arguments, home, workingDir);
}

AppResult runAppUnprivileged(const QStringList &arguments, const QString &home)
{
    if (::geteuid() != 0)
        return runApp(arguments, home);
    return runAppAs(QStringLiteral("nobody"), arguments, home);
}

AppResult runAppAs(const QString &user, const QStringList &arguments, const QString &home)
{
    return runProgram(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), user, QStringLiteral("--"), QStringLiteral(VELTRANE_APP_PATH)} +
                          arguments,
                      home, QString());
}

namespace {

AppResult runProgram(const QString &program, const QStringList &arguments, const QString &home,
                     const QString &workingDir)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    process.setProcessEnvironment(env);
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.start(program, arguments);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

} // namespace veltrane::test
