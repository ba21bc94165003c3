#include "host/framework/page_framework.h"

#include "host/framework/flow_registry.h"
#include "host/framework/framework_log.h"
#include "host/framework/service_window_dialog.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/error_trap.h"
#include "veltrane/contracts/host_services.h"

#include <QApplication>
#include <QPointer>
#include <QThread>

namespace veltrane::host {

namespace {

[[noreturn]] void fail(const QString &serviceName, const Error &error)
{
    try {
        Utilities().ReportError(applicationName(), QStringLiteral("PageFramework"), QStringLiteral("RunService"), error,
                                serviceName, false);
    } catch (...) {
        qCWarning(lcFramework).noquote() << "RunService" << serviceName << error.description();
    }
    throw error;
}

} // namespace

ServiceWindowPtr PageFramework::RunService(const QString &serviceName, const CollectionPtr &context,
                                           QWidget *parentWindow, const ServiceOptions &options)
{
    const QString source = QStringLiteral("PageFramework");
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()) ||
        QThread::currentThread() != QCoreApplication::instance()->thread())
        fail(serviceName, Error(kNoUserInterface, source,
                                QStringLiteral("The flow \"%1\" can only run on the user-interface thread of a "
                                               "widget application.")
                                    .arg(serviceName)));

    const std::optional<FlowDefinition> flow = FlowRegistry::instance().flow(serviceName);
    if (!flow)
        fail(serviceName,
             Error(kFlowNotRegistered, source, QStringLiteral("The flow \"%1\" is not registered.").arg(serviceName)));
    if (flow->pages.isEmpty())
        fail(serviceName,
             Error(kFlowNotRegistered, source, QStringLiteral("The flow \"%1\" has no pages.").arg(serviceName)));

    // A flow started from a page opens over the window that page is in.
    QWidget *owner = parentWindow ? parentWindow : QApplication::activeModalWidget();
    if (!owner)
        owner = QApplication::activeWindow();
    auto *dialog = new ServiceWindowDialog(*flow, context, options, owner);
    // Parented while it runs (so it opens over its owner); should the owner go first, it takes the
    // dialog with it and the deleter must not delete it again.
    const QPointer<ServiceWindowDialog> alive(dialog);
    std::shared_ptr<ServiceWindowDialog> window(dialog, [alive](ServiceWindowDialog *w) {
        if (alive)
            delete w;
    });
    try {
        window->createPages(FlowRegistry::instance().pageFactory());
    } catch (...) {
        fail(serviceName, Error::fromCurrentException());
    }
    window->run();
    // From here on the launcher alone decides how long the window (and its pages) live.
    window->setParent(nullptr, window->windowFlags());
    return window;
}

} // namespace veltrane::host
