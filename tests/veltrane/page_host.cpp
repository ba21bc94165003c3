#include "page_host.h"

#include "app/host_setup.h"
#include "host/framework/flow_registry.h"
#include "veltrane/contracts/host_services.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace veltrane::test {

PageHost::PageHost(bool seed, const QString &engine)
    : m_location(std::make_unique<StoreLocation>(engine))
    , m_locationText(m_location->location())
{
    host::StoreOptions options;
    options.seed = seed;
    install(options);
}

PageHost::PageHost(const QString &location, const host::StoreOptions &options)
    : m_location(location.isEmpty() ? std::make_unique<StoreLocation>(QStringLiteral("sqlite")) : nullptr)
    , m_locationText(location.isEmpty() ? m_location->location() : location)
{
    install(options);
}

void PageHost::install(const host::StoreOptions &options)
{
    m_hook = std::make_shared<host::HostUtilities::Capture>();
    host::HostUtilities::setCapture(m_hook);
    m_store = app::openAndInstall(m_locationText, options);
    // The test's own page classes first, then every page the application knows.
    const host::PageFactory appPages = host::FlowRegistry::instance().pageFactory();
    host::FlowRegistry::instance().setPageFactory([this, appPages](const QString &className) -> QWidget * {
        auto it = m_classes.constFind(className);
        QWidget *page = it != m_classes.cend() ? (*it)() : appPages(className);
        if (page)
            m_made.insert(className, page);
        return page;
    });
}

PageHost::~PageHost()
{
    host::ServiceWindowDialog::clearWhenShown();
    installHostFactories({});
    resetThreadHelpers();
    host::FlowRegistry::instance().clear();
    host::HostUtilities::setCapture(nullptr);
}

void PageHost::addPageClass(const QString &className, std::function<QWidget *()> create)
{
    m_classes.insert(className, std::move(create));
}

void PageHost::addRecordingPage(const QString &className, std::function<void(RecordingPage &)> configure)
{
    addPageClass(className, [this, className, configure] {
        auto *page = new RecordingPage(className, &m_log);
        if (configure)
            configure(*page);
        return page;
    });
}

void PageHost::registerFlow(const QString &name, const QStringList &pages)
{
    host::FlowRegistry::instance().registerFlow(name, pages);
}

QList<host::HostUtilities::Report> PageHost::shownReports() const
{
    QList<host::HostUtilities::Report> shown;
    for (const auto &r : m_hook->reports)
        if (r.display)
            shown.append(r);
    return shown;
}

AnalysisParameterPtr PageHost::commitSet(const QString &name, const std::function<void(FragAnalysisParam &)> &fill)
{
    auto settings = FragAnalysisParamPtr::create();
    settings->setName(name);
    settings->setProjectName(QStringLiteral("Default"));
    settings->setTypeCode(1011);
    if (fill)
        fill(*settings);
    settings->Commit();
    return loadSet(name);
}

AnalysisParameterPtr PageHost::loadSet(const QString &name)
{
    const CollectionPtr sets = ObjectManager().LoadCollection(QStringLiteral("AnalysisParameters"), QString(),
                                                              QString(), QStringLiteral("Name"), false, true);
    return sets->Object<AnalysisParameter>(name);
}

void onNextWindow(std::function<void(host::ServiceWindowDialog &)> action)
{
    host::ServiceWindowDialog::whenShown([action](host::ServiceWindowDialog &window) {
        action(window);
        // A test that left the window open would otherwise wait forever.
        QTimer::singleShot(5000, &window, [&window] {
            if (!window.isFinished())
                window.ExecuteCommand(2);
        });
    });
}

void clickCommand(host::ServiceWindowDialog &window, qint32 command)
{
    QPushButton *button = window.button(command);
    QVERIFY2(button, qPrintable(QStringLiteral("no button %1").arg(command)));
    QVERIFY2(button->isEnabled(), qPrintable(QStringLiteral("button %1 is disabled").arg(command)));
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace veltrane::test
