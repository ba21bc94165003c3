#include "page_host.h"
#include "support/data_rows.h"
#include "veltrane/contracts/automation.h"
#include "veltrane/select_page/select_param_page.h"
#include "veltrane/service/class_table.h"
#include "veltrane/service/service.h"
#include "veltrane/service/type_library.h"

#include "support/error_number.h"
#include "support/published_types.h"

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
    void serviceAnswersByNameAndId();
    void selectionPageAnswersByNameAndId();
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

void TestTypeLibrary::serviceAnswersByNameAndId()
{
    PageHost host;
    Service service;
    const ObjectPtr byName = objectFrom<>(call(&service, QStringLiteral("newanalysisparameter")));
    const ObjectPtr byId = objectFrom<>(call(&service, 0x60030002));
    QVERIFY(qobject_cast<AnalysisParameter *>(byName.data()));
    QVERIFY(qobject_cast<AnalysisParameter *>(byId.data()));
    QVERIFY(byName != byId);
    QCOMPARE(qobject_cast<AnalysisParameter *>(byId.data())->ID(), 0);

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

QTEST_MAIN(TestTypeLibrary)
#include "test_type_library.moc"
