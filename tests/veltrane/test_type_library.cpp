// The public classes as a host reaches them: the type library, creation by name, the Service's
// members and the flow it starts.

#include "page_host.h"
#include "support/data_rows.h"
#include "support/recording_utilities.h"
#include "veltrane/contracts/automation.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/select_page/select_param_page.h"
#include "veltrane/service/class_table.h"
#include "veltrane/service/service.h"
#include "veltrane/service/type_library.h"

#include "support/error_number.h"
#include "support/published_types.h"

#include <QPushButton>
#include <QTest>

using namespace veltrane;
using namespace veltrane::automation;
using namespace veltrane::test;

class TestTypeLibrary : public QObject
{
    Q_OBJECT
private slots:
    void publishesWhatHostsWereBuiltAgainst();
    void everyPublishedClassIsMade_data();
    void everyPublishedClassIsMade();
    void classNamesIgnoreLetterCase_data();
    void classNamesIgnoreLetterCase();
    void serviceAnswersByNameAndId();
    void selectionPageAnswersByNameAndId();
    void selectionFlowStartsWithAnEmptyContextAndItsOptions();
    void serviceFailuresReachTheHostWithTheirProcedureName();
};

void TestTypeLibrary::publishesWhatHostsWereBuiltAgainst()
{
    const QStringList differ = published::differences(typelib::typeLibrary());
    QVERIFY2(differ.isEmpty(), qPrintable(differ.join(QLatin1Char('\n'))));
}

void TestTypeLibrary::everyPublishedClassIsMade_data()
{
    columns<QString, bool>("className", "page");
    for (const published::ClassRow &c : published::kClasses)
        row(c.name, QString::fromLatin1(c.name), QLatin1String(c.further) == QLatin1String("IPageAccess"));
}

void TestTypeLibrary::everyPublishedClassIsMade()
{
    QFETCH(QString, className);
    QFETCH(bool, page);
    const PublicClass *c = findPublicClass(QStringLiteral("Veltrane.") + className);
    QVERIFY2(c, "every published class has a line in the class table");
    QVERIFY2(c->isBuilt(), "every published class has a factory");
    QCOMPARE(findPublicClass(c->classId.toString()), c);

    PageHost host;
    std::unique_ptr<QObject> object(createObject(c->progId()));
    QCOMPARE(object->metaObject(), c->meta);
    const QStringList disagree = disagreements(c->meta);
    QVERIFY2(disagree.isEmpty(), qPrintable(className + QLatin1String(":\n") + disagree.join(QLatin1Char('\n'))));

    // Pages, and only pages, answer IPageAccess: in C++ and late-bound alike.
    QCOMPARE(dynamic_cast<IPageAccess *>(object.get()) != nullptr, page);
    QCOMPARE(qobject_cast<QWidget *>(object.get()) != nullptr, className != QLatin1String("Service"));
    if (page) {
        QCOMPARE(call(object.get(), 0x60020000, {}, CallKind::PropertyGet).value<QObject *>(),
                 dynamic_cast<IPageAccess *>(object.get())->Page());
    } else {
        QCOMPARE(test::errorNumberOf([&] { call(object.get(), QStringLiteral("Page"), {}, CallKind::PropertyGet); }),
                 qint32(kDispMemberNotFound));
    }
}

void TestTypeLibrary::classNamesIgnoreLetterCase_data()
{
    columns<QString, QString>("name", "className");
    row("class name in lower case", "service", "veltrane::Service");
    row("identifier in capitals", "VELTRANE.SERVICE", "veltrane::Service");
    row("page in mixed case", "selectParamPAGE", "veltrane::SelectParamPage");
    row("page identifier", "veltrane.selectparampage", "veltrane::SelectParamPage");
}

void TestTypeLibrary::classNamesIgnoreLetterCase()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    PageHost host;
    std::unique_ptr<QObject> object(createObject(name));
    QVERIFY(object);
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), className);
}

void TestTypeLibrary::serviceAnswersByNameAndId()
{
    PageHost host;
    Service service;
    const auto storedSets = [] {
        return ObjectManager()
            .LoadCollection(QStringLiteral("AnalysisParameters"), {}, {}, QStringLiteral("Name"))
            ->Count();
    };
    const qint32 before = storedSets();
    const ObjectPtr byName = objectFrom<>(call(&service, QStringLiteral("newanalysisparameter")));
    const ObjectPtr byId = objectFrom<>(call(&service, 0x60030002));
    QVERIFY(qobject_cast<AnalysisParameter *>(byName.data()));
    QVERIFY(qobject_cast<AnalysisParameter *>(byId.data()));
    QVERIFY(byName != byId);
    QCOMPARE(qobject_cast<AnalysisParameter *>(byId.data())->ID(), 0);
    QCOMPARE(storedSets(), before); // new sets are not stored

    // IServiceAccess.Service: the same ServiceBase as the framework sees, every time.
    QObject *base = call(&service, QStringLiteral("Service"), {}, CallKind::PropertyGet).value<QObject *>();
    QCOMPARE(base, service.serviceAccess()->Service());
    QCOMPARE(call(&service, 0x60020000, {}, CallKind::PropertyGet).value<QObject *>(), base);

    // The old spelling is gone from the surface.
    QCOMPARE(test::errorNumberOf([&] { call(&service, QStringLiteral("NewAnalysisParameterObject")); }),
             qint32(kDispMemberNotFound));
}

void TestTypeLibrary::selectionPageAnswersByNameAndId()
{
    PageHost host;
    host.commitSet(QStringLiteral("Late Bound"));
    SelectParamPage page;
    QVERIFY(call(&page, QStringLiteral("SelectedParameter"), {}, CallKind::PropertyGet).value<ObjectPtr>().isNull());

    QVariantList args{QStringLiteral("late bound")};
    call(&page, 0x60030002, args);
    QCOMPARE(args.at(0).toString(), QStringLiteral("late bound")); // passed by reference, not changed
    const auto selected = objectFrom<AnalysisParameter>(call(&page, 0x68030001, {}, CallKind::PropertyGet));
    QVERIFY(selected);
    QCOMPARE(selected->Name(), QStringLiteral("Late Bound"));
    QCOMPARE(selected, page.SelectedParameter());
}

void TestTypeLibrary::selectionFlowStartsWithAnEmptyContextAndItsOptions()
{
    // The selection window offers OK (not Save) and remembers its size under the working name.
    PageHost host;
    int keysAtActivate = -1;
    host.addRecordingPage(QStringLiteral("Probe"), [&](RecordingPage &page) {
        page.onActivate = [&](RecordingPage &p) { keysAtActivate = p.base().BusinessContext()->Count(); };
    });
    host.registerFlow(QStringLiteral("SelectAnalysisParameters"), {QStringLiteral("Probe")});
    ServiceOptions options;
    QString commitCaption;
    onNextWindow([&](host::ServiceWindowDialog &window) {
        options = window.options();
        commitCaption = window.button(1)->text();
        clickCommand(window, 2);
    });
    Service().SelectAnalysisParameters();
    QCOMPARE(keysAtActivate, 0);
    QCOMPARE(options, (ServiceOptions{-1, -1, -1, -1, -1, -1, QStringLiteral("WorkingAnalysisParameters"), 0, 0}));
    QCOMPARE(commitCaption, QStringLiteral("OK"));
}

void TestTypeLibrary::serviceFailuresReachTheHostWithTheirProcedureName()
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

QTEST_MAIN(TestTypeLibrary)
#include "test_type_library.moc"
