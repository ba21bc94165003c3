#include "host/components/session.h"

#include "host/framework/flow_registry.h"
#include "host/framework/framework_factories.h"
#include "host/framework/service_window_dialog.h"
#include "host/grid_utilities/host_grid_utilities.h"
#include "host/objects/sql_object_manager.h"
#include "host/snp_tag_editor/snp_tag_editor_page.h"
#include "veltrane/contracts/automation.h"
#include "veltrane/contracts/component_loader.h"
#include "veltrane/contracts/component_server.h"
#include "veltrane/contracts/error_trap.h"
#include "veltrane/contracts/host_services.h"

#include <QWidget>

namespace veltrane::host {

namespace {

const QString kClass = QStringLiteral("Session");

// A page of the library, made by its class factory through the registry; the framework owns it.
QWidget *libraryPage(const QString &className)
{
    try {
        VtObject *made = components::createRegisteredObject(QStringLiteral("Veltrane.") + className, true);
        auto *page = qobject_cast<QWidget *>(static_cast<QObject *>(made->vtbl->TakeQtObject(made)));
        made->vtbl->Release(made);
        return page;
    } catch (const Error &) {
        return nullptr; // the framework reports a page it cannot create
    }
}

} // namespace

Session::Session(QObject *parent)
    : QObject(parent)
{}

Session::~Session()
{
    setOnWindowShown({});
    setUnattended(false);
    Close();
}

void Session::Open(const QString &sLocation)
{
    Close();
    m_store = SqlStore::open(sLocation);
    installHostFactories(
        {&makeFrameworkApplication, &makeFrameworkUtilities, SqlObjectManager::factory(m_store), &makeGridUtilities});
    registerParameterFlows(&libraryPage);
}

void Session::Close()
{
    if (!m_store)
        return;
    FlowRegistry::instance().clear();
    installHostFactories({});
    resetThreadHelpers();
    m_store.reset();
}

void Session::setUnattended(bool bValue)
{
    if (bValue == Unattended())
        return;
    m_capture = bValue ? std::make_shared<HostUtilities::Capture>() : nullptr;
    HostUtilities::setCapture(m_capture);
}

qint32 Session::ReportCount() const
{
    return m_capture ? qint32(m_capture->reports.size()) : 0;
}

QString Session::LastReport() const
{
    if (!m_capture || m_capture->reports.isEmpty())
        return {};
    const HostUtilities::Report &r = m_capture->reports.last();
    return HostUtilities::reportText(r.className, r.procedureName, r.error, r.extraText);
}

void Session::setOnWindowShown(const ObjectPtr &oHandler)
{
    if (m_watch)
        ServiceWindowDialog::unwatchShown(m_watch);
    m_watch = 0;
    m_onWindowShown = oHandler;
    if (oHandler)
        m_watch = ServiceWindowDialog::watchShown([this](ServiceWindowDialog &window) { windowShown(window); });
}

void Session::windowShown(ServiceWindowDialog &window)
{
    // The handler runs from the window's event loop: a failure is reported, never thrown into Qt.
    trap(Ending::ReportOnly, "Session", "OnWindowShown", [&] {
        const ObjectPtr handler = m_onWindowShown;
        const QVariant shown = toVariant(ObjectPtr(new WindowAutomation(&window)));
        if (auto *foreign = qobject_cast<components::ForeignObject *>(handler.data()))
            foreign->invoke(VT_DISPID_VALUE, {shown});
        else if (handler)
            automation::call(handler.data(), VT_DISPID_VALUE, {shown});
    });
}

WindowAutomation::WindowAutomation(ServiceWindowDialog *window)
    : m_window(window)
{}

ServiceWindowDialog &WindowAutomation::window() const
{
    if (!m_window)
        throw Error::objectNotSet(QStringLiteral("Window"), QStringLiteral("the window is closed"));
    return *m_window;
}

QString WindowAutomation::Title() const
{
    return window().Title();
}

QString WindowAutomation::PageClass() const
{
    QWidget *page = window().currentPage();
    if (!page)
        return {};
    const QString name = QString::fromLatin1(page->metaObject()->className());
    return name.section(QStringLiteral("::"), -1);
}

bool WindowAutomation::WasCancelled() const
{
    return window().WasCancelled();
}

bool WindowAutomation::Finished() const
{
    return window().isFinished();
}

QObject *WindowAutomation::Control(const QString &sName) const
{
    return window().findChild<QWidget *>(sName);
}

void WindowAutomation::ExecuteCommand(qint32 eCommand)
{
    window().ExecuteCommand(eCommand);
}

} // namespace veltrane::host
