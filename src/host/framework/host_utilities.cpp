#include "host/framework/host_utilities.h"

#include "host/framework/framework_log.h"

#include <QApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

namespace veltrane::host {

Q_LOGGING_CATEGORY(lcFramework, "veltrane.framework")

namespace {

QMutex g_hookMutex;
std::shared_ptr<HostUtilities::Capture> g_hook;

bool onUserInterfaceThread()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

void HostUtilities::setCapture(std::shared_ptr<Capture> hook)
{
    QMutexLocker lock(&g_hookMutex);
    g_hook = std::move(hook);
}

std::shared_ptr<HostUtilities::Capture> HostUtilities::capture()
{
    QMutexLocker lock(&g_hookMutex);
    return g_hook;
}

QString HostUtilities::numberText(qint32 number)
{
    if (number < 0)
        return QStringLiteral("0x%1").arg(
            QString::number(quint32(number), 16).toUpper().rightJustified(8, QLatin1Char('0')));
    return QString::number(number);
}

QString HostUtilities::reportText(const QString &className, const QString &procedureName, const Error &error,
                                  const QString &extraText)
{
    QString text = error.description().isEmpty() ? QObject::tr("An error occurred.") : error.description();
    text += QLatin1String("\n\n");
    text += QObject::tr("Class: %1").arg(className) + QLatin1Char('\n');
    text += QObject::tr("Procedure: %1").arg(procedureName) + QLatin1Char('\n');
    text += QObject::tr("Error number: %1").arg(numberText(error.number())) + QLatin1Char('\n');
    text += QObject::tr("Source: %1").arg(error.source());
    if (!extraText.isEmpty())
        text += QLatin1Char('\n') + extraText;
    return text;
}

void HostUtilities::ReportError(const QString &applicationName, const QString &className, const QString &procedureName,
                                const Error &error, const QString &extraText, bool display)
{
    qCWarning(lcFramework).noquote().nospace()
        << className << "." << procedureName << ": error " << numberText(error.number()) << " (" << error.source()
        << "): " << error.description() << (extraText.isEmpty() ? QString() : QStringLiteral(" [%1]").arg(extraText))
        << (display ? " (shown)" : "");

    if (const auto hook = capture()) {
        QMutexLocker lock(&g_hookMutex);
        hook->reports.append(Report{applicationName, className, procedureName, error, extraText, display});
    }
    if (!display)
        return;
    if (!onUserInterfaceThread()) {
        qCWarning(lcFramework) << "not shown: reported outside the user-interface thread";
        return;
    }
    const QString title = applicationName.isEmpty() ? QApplication::applicationDisplayName() : applicationName;
    showBox(Box{QMessageBox::Critical, title, reportText(className, procedureName, error, extraText), QMessageBox::Ok},
            QMessageBox::Ok);
}

bool HostUtilities::IsDebugging() const
{
    return qEnvironmentVariable("VELTRANE_DEBUG") == QLatin1String("1");
}

bool HostUtilities::ConfirmBreak(qint32 errorNumber)
{
    if (!onUserInterfaceThread())
        return false;
    const Box box{QMessageBox::Question, QApplication::applicationDisplayName(),
                  QObject::tr("Error %1 occurred.\n\nBreak into the debugger and run the procedure again?")
                      .arg(numberText(errorNumber)),
                  QMessageBox::Yes | QMessageBox::No};
    return showBox(box, QMessageBox::No) == QMessageBox::Yes;
}

QMessageBox::StandardButton HostUtilities::showBox(const Box &box, QMessageBox::StandardButton defaultButton)
{
    if (const auto hook = capture()) {
        std::function<QMessageBox::StandardButton(const Box &)> answer;
        {
            QMutexLocker lock(&g_hookMutex);
            hook->boxes.append(box);
            answer = hook->answer;
        }
        return answer ? answer(box) : defaultButton;
    }
    QWidget *parent = QApplication::activeModalWidget();
    if (!parent)
        parent = QApplication::activeWindow();
    QMessageBox message(box.icon, box.title, box.text, box.buttons, parent);
    message.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(message.exec());
}

} // namespace veltrane::host
