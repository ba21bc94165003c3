#include "veltrane/contracts/error_trap.h"

#include "veltrane/contracts/host_services.h"

#include <QFile>
#include <QLoggingCategory>
#include <QMutex>
#include <csignal>

Q_LOGGING_CATEGORY(lcTrap, "veltrane.trap")

namespace veltrane {

namespace {

bool debuggerAttached()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = status.readAll();
    const int at = text.indexOf("TracerPid:");
    if (at < 0)
        return false;
    const int end = text.indexOf('\n', at);
    return text.mid(at + 10, end - at - 10).trimmed().toInt() != 0;
}

QMutex g_breakMutex;
std::function<void()> g_breakAction;

} // namespace

QString applicationName()
{
    return QStringLiteral("Veltrane");
}

void setBreakAction(std::function<void()> action)
{
    QMutexLocker lock(&g_breakMutex);
    g_breakAction = std::move(action);
}

namespace trap_detail {

void report(const char *className, const char *procedure, const Error &error, bool display)
{
    try {
        Utilities().ReportError(applicationName(), QString::fromLatin1(className), QString::fromLatin1(procedure),
                                error, QString(), display);
    } catch (...) {
        // No framework to report to: the log still gets it, and the error goes on by its ending.
        qCWarning(lcTrap).noquote() << className << procedure << error.number() << error.source()
                                    << error.description();
    }
}

bool breakAndRetry(const Error &error)
{
    try {
        FrameworkUtilities &u = Utilities();
        if (!u.IsDebugging() || !u.ConfirmBreak(error.number()))
            return false;
    } catch (...) {
        return false;
    }
    std::function<void()> action;
    {
        QMutexLocker lock(&g_breakMutex);
        action = g_breakAction;
    }
    if (action)
        action();
    else if (debuggerAttached())
        std::raise(SIGTRAP);
    else
        qCWarning(lcTrap) << "break requested, but no debugger is attached; retrying";
    return true;
}

} // namespace trap_detail

} // namespace veltrane
