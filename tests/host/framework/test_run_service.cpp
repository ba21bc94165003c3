#include "host/framework/flow_registry.h"
#include "host/framework/framework_factories.h"
#include "host/framework/service_window_dialog.h"
#include "recording_page.h"
#include "support/data_rows.h"
#include "support/recording_utilities.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/error_trap.h"
#include "veltrane/contracts/host_services.h"

#include <QTest>

using namespace veltrane;
using veltrane::test::columns;
using veltrane::test::row;
using namespace veltrane::host;
using veltrane::test::RecordingPage;

// Starting flows by name: what a launcher sees when the flow cannot run, and what it gets back.
class TestRunService : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void flowThatCannotRunIsRaised_data();
    void flowThatCannotRunIsRaised();
    void launcherTrapSeesTheError();
    void flowNamesIgnoreCase();
    void windowOfferedToTests();

private:
    QStringList m_log;
    QList<QPointer<QWidget>> m_made;
    std::shared_ptr<veltrane::test::RecordingUtilities> m_utilities;
};

void TestRunService::init()
{
    m_log.clear();
    m_made.clear();
    m_utilities = std::make_shared<veltrane::test::RecordingUtilities>();
    auto utilities = m_utilities;
    installHostFactories(HostFactories{&makeFrameworkApplication, [utilities] { return utilities; }, {}, {}});
    FlowRegistry &registry = FlowRegistry::instance();
    registry.clear();
    registry.registerFlow(QStringLiteral("SaveAnalyisParameterAs"), {QStringLiteral("SaveAsParamPage")});
    registry.registerFlow(QStringLiteral("Empty"), {});
    registry.registerFlow(QStringLiteral("Unknown page"), {QStringLiteral("SaveAsParamPage"), QStringLiteral("Nope")});
    registry.registerFlow(QStringLiteral("No page"), {QStringLiteral("PlainWidget")});
    registry.setPageFactory([this](const QString &className) -> QWidget * {
        if (className == QLatin1String("SaveAsParamPage")) {
            auto *page = new RecordingPage(className, &m_log);
            m_made.append(page);
            return page;
        }
        if (className == QLatin1String("PlainWidget"))
            return new QWidget;
        return nullptr;
    });
}

void TestRunService::cleanup()
{
    ServiceWindowDialog::clearWhenShown();
    FlowRegistry::instance().clear();
}

void TestRunService::flowThatCannotRunIsRaised_data()
{
    columns<QString, qint32, QString>("flow", "number", "description");
    row("unknown flow", "EditAnalysisParameters", qint32(kFlowNotRegistered),
        "The flow \"EditAnalysisParameters\" is not registered.");
    row("flow without pages", "Empty", qint32(kFlowNotRegistered), "The flow \"Empty\" has no pages.");
    row("page class unknown", "Unknown page", qint32(kPageNotCreated),
        "The page \"Nope\" of the flow \"Unknown page\" could not be created.");
    row("widget that is no page", "No page", qint32(kPageNotCreated),
        "\"PlainWidget\" of the flow \"No page\" is not a page: it gives no PageBase.");
}

void TestRunService::flowThatCannotRunIsRaised()
{
    QFETCH(QString, flow);
    QFETCH(qint32, number);
    QFETCH(QString, description);

    const Error error = test::errorOf([&] { App().RunService(flow, newCollection(), nullptr, ServiceOptions{}); });
    QCOMPARE(error.number(), number);
    QCOMPARE(error.source(), QStringLiteral("PageFramework"));
    QCOMPARE(error.description(), description);
    // Logged for the record, not shown: the launcher's own trap decides what the user sees.
    QCOMPARE(m_utilities->reports.size(), 1);
    QCOMPARE(m_utilities->reports.first().procedureName, QStringLiteral("RunService"));
    QVERIFY(!m_utilities->reports.first().display);
    QVERIFY(!ServiceWindowDialog::active());
    // Pages made before the failing one saw no event and were destroyed.
    QVERIFY(m_log.isEmpty());
    for (const QPointer<QWidget> &page : std::as_const(m_made))
        QVERIFY(!page);
}

void TestRunService::launcherTrapSeesTheError()
{
    // A button handler of a page (report and stop) starting a flow that is not there.
    trap(Ending::ReportAndStop, "SelectParamPage", "cmdEdit_Click", [] {
        App().RunService(QStringLiteral("EditAnalysisParameters"), newCollection(), nullptr,
                         flow_options::kEditExistingSet);
    });
    QCOMPARE(m_utilities->reports.size(), 2);
    const auto &shown = m_utilities->reports.last();
    QCOMPARE(shown.procedureName, QStringLiteral("cmdEdit_Click"));
    QVERIFY(shown.display);
    QCOMPARE(shown.error.number(), qint32(kFlowNotRegistered));
}

void TestRunService::flowNamesIgnoreCase()
{
    FlowRegistry &registry = FlowRegistry::instance();
    QVERIFY(registry.contains(QStringLiteral("saveanalyisparameteras")));
    ServiceWindowDialog::whenShown([](ServiceWindowDialog &w) { w.ExecuteCommand(kCommandCancel); });
    const ServiceWindowPtr window = App().RunService(QStringLiteral("SAVEANALYISPARAMETERAS"), newCollection(), nullptr,
                                                     ServiceOptions{.commitCaption = 1});
    QVERIFY(window->WasCancelled());
    QVERIFY(registry.unregisterFlow(QStringLiteral("SaveAnalyisParameterAs")));
    QVERIFY(!registry.contains(QStringLiteral("SaveAnalyisParameterAs")));
}

void TestRunService::windowOfferedToTests()
{
    // A test acts on the window RunService shows: active() while it runs, the flow's own title
    // until a page sets one, the pages by object name.
    FlowRegistry::instance().registerFlow(FlowDefinition{QStringLiteral("Titled"),
                                                         {QStringLiteral("SaveAsParamPage")},
                                                         {},
                                                         QStringLiteral("Save Analysis Parameters As"),
                                                         {{kCommandCommit, QStringLiteral("&Done")}}});
    QString title;
    QString caption;
    QWidget *page = nullptr;
    ServiceWindowDialog::whenShown([&](ServiceWindowDialog &w) {
        QCOMPARE(ServiceWindowDialog::active(), &w);
        title = w.windowTitle();
        caption = w.button(kCommandCommit)->text();
        page = w.findChild<QWidget *>(QStringLiteral("SaveAsParamPage"));
        QTest::mouseClick(w.button(kCommandCommit), Qt::LeftButton);
    });
    const ServiceWindowPtr window =
        App().RunService(QStringLiteral("Titled"), newCollection(), nullptr, ServiceOptions{.commitCaption = 1});
    QVERIFY(!window->WasCancelled());
    QCOMPARE(title, QStringLiteral("Save Analysis Parameters As"));
    QCOMPARE(caption, QStringLiteral("&Done"));
    QVERIFY(page);
    QVERIFY(!ServiceWindowDialog::active());
}

QTEST_MAIN(TestRunService)
#include "test_run_service.moc"
