#include "page_host.h"
#include "support/data_rows.h"
#include "support/recording_utilities.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/service/class_table.h"
#include "veltrane/service/service.h"

#include <QPushButton>
#include <QTest>

using namespace veltrane;
using namespace veltrane::test;

class TestService : public QObject
{
    Q_OBJECT
private slots:
    void serviceBaseIsTheSameEveryTime();
    void newSetsAreDistinctAndUnsaved();
    void selectionFlowStartsWithAnEmptyContext();
    void failuresReachTheHostWithTheirProcedureName();
    void classNamesIgnoreLetterCase_data();
    void classNamesIgnoreLetterCase();
    void selectionFlowStartsWithItsOptions();
};

void TestService::serviceBaseIsTheSameEveryTime()
{
    PageHost host;
    Service service;
    ServiceBase *first = service.serviceAccess()->Service();
    QVERIFY(first);
    QCOMPARE(service.serviceAccess()->Service(), first);
}

void TestService::newSetsAreDistinctAndUnsaved()
{
    PageHost host;
    Service service;
    const AnalysisParameterPtr a = service.NewAnalysisParameter();
    const AnalysisParameterPtr b = service.NewAnalysisParameter();
    QVERIFY(a && b);
    QVERIFY(a != b);
    QVERIFY(a->ID() < 1);
    QVERIFY(b->ID() < 1);
    const CollectionPtr all =
        ObjectManager().LoadCollection(QStringLiteral("AnalysisParameters"), {}, {}, QStringLiteral("Name"));
    QCOMPARE(all->Count(), host.store().parameterSets(true).size()); // nothing was stored
}

void TestService::selectionFlowStartsWithAnEmptyContext()
{
    PageHost host;
    int keysAtActivate = -1;
    QString name;
    host.addRecordingPage(QStringLiteral("Probe"), [&](RecordingPage &page) {
        page.onActivate = [&](RecordingPage &p) {
            keysAtActivate = p.base().BusinessContext()->Count();
            name = p.base().Window()->Title();
        };
    });
    host.registerFlow(QStringLiteral("SelectAnalysisParameters"), {QStringLiteral("Probe")});
    onNextWindow([](host::ServiceWindowDialog &window) { clickCommand(window, 2); });
    Service service;
    service.SelectAnalysisParameters();
    QCOMPARE(keysAtActivate, 0);
}

void TestService::failuresReachTheHostWithTheirProcedureName()
{
    PageHost host;
    host::FlowRegistry::instance().unregisterFlow(QStringLiteral("SelectAnalysisParameters"));
    Service service;
    QVERIFY_THROWS_EXCEPTION(Error, service.SelectAnalysisParameters());
    bool reported = false;
    for (const auto &r : host.hook().reports)
        if (r.className == QLatin1String("Service") && r.procedureName == QLatin1String("SelectAnalysisParameters")) {
            QVERIFY(!r.display);
            reported = true;
        }
    QVERIFY(reported);

    installHostFactories({}); // no business-object layer at all
    QVERIFY(errorOf([&] { service.NewAnalysisParameter(); })
                .description()
                .contains(QStringLiteral("business-object manager")));
}

void TestService::classNamesIgnoreLetterCase_data()
{
    columns<QString, QString>("name", "className");
    row("class name in lower case", "service", "veltrane::Service");
    row("identifier in capitals", "VELTRANE.SERVICE", "veltrane::Service");
    row("page in mixed case", "selectParamPAGE", "veltrane::SelectParamPage");
    row("page identifier", "veltrane.selectparampage", "veltrane::SelectParamPage");
}

void TestService::classNamesIgnoreLetterCase()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    PageHost host;
    std::unique_ptr<QObject> object(createObject(name));
    QVERIFY(object);
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), className);
}

void TestService::selectionFlowStartsWithItsOptions()
{
    // The selection window offers OK (not Save) and remembers its size under the working name.
    PageHost host;
    ServiceOptions options;
    QString commitCaption;
    onNextWindow([&](host::ServiceWindowDialog &window) {
        options = window.options();
        commitCaption = window.button(1)->text();
        clickCommand(window, 2);
    });
    Service service;
    service.SelectAnalysisParameters();
    QCOMPARE(options, (ServiceOptions{-1, -1, -1, -1, -1, -1, QStringLiteral("WorkingAnalysisParameters"), 0, 0}));
    QCOMPARE(commitCaption, QStringLiteral("OK"));
}

QTEST_MAIN(TestService)
#include "test_service.moc"
