#include "page_host.h"
#include "veltrane/contracts/automation.h"
#include "veltrane/select_page/select_param_page.h"
#include "veltrane/service/class_table.h"
#include "veltrane/service/service.h"
#include "veltrane/service/type_library.h"

#include "support/error_number.h"

#include <QTest>

using namespace veltrane;
using namespace veltrane::automation;
using namespace veltrane::test;

class TestTypeLibrary : public QObject
{
    Q_OBJECT
private slots:
    void classesAgreeWithTheTable_data();
    void classesAgreeWithTheTable();
    void dispatchIdsAndNamesAreUniquePerClass();
    void serviceAnswersByNameAndId();
    void selectionPageAnswersByNameAndId();
};

void TestTypeLibrary::classesAgreeWithTheTable_data()
{
    QTest::addColumn<QString>("className");
    for (const typelib::CoClass &c : typelib::typeLibrary().classes)
        QTest::newRow(qPrintable(c.name)) << c.name;
}

void TestTypeLibrary::classesAgreeWithTheTable()
{
    QFETCH(QString, className);
    const typelib::CoClass &type = *typelib::typeLibrary().coClass(className);
    const PublicClass *c = findPublicClass(className);
    QVERIFY2(c, "every class of the type library has a line in the class table");
    QCOMPARE(c->classId, type.clsid);
    QCOMPARE(findPublicClass(type.clsid.toString()), c);
    if (!c->isBuilt())
        QSKIP(qPrintable(
            QStringLiteral("%1 is not built yet; this row checks it once class_table.cpp creates it").arg(className)));

    PageHost host;
    std::unique_ptr<QObject> object(createObject(c->progId()));
    QCOMPARE(object->metaObject(), c->meta);
    const QStringList disagree = disagreements(c->meta);
    QVERIFY2(disagree.isEmpty(), qPrintable(className + QLatin1String(":\n") + disagree.join(QLatin1Char('\n'))));

    // Pages, and only pages, answer IPageAccess: in C++ and late-bound alike.
    const bool page = type.implements(QStringLiteral("IPageAccess"));
    QCOMPARE(dynamic_cast<IPageAccess *>(object.get()) != nullptr, page);
    QCOMPARE(qobject_cast<QWidget *>(object.get()) != nullptr, type.kind == typelib::ClassKind::Control);
    if (page) {
        QCOMPARE(call(object.get(), QStringLiteral("Page"), {}, CallKind::PropertyGet).value<QObject *>(),
                 dynamic_cast<IPageAccess *>(object.get())->Page());
    } else {
        QCOMPARE(test::errorNumberOf([&] { call(object.get(), QStringLiteral("Page"), {}, CallKind::PropertyGet); }),
                 qint32(kDispMemberNotFound));
    }
}

void TestTypeLibrary::dispatchIdsAndNamesAreUniquePerClass()
{
    const typelib::TypeLibrary &lib = typelib::typeLibrary();
    for (const typelib::CoClass &c : lib.classes) {
        QSet<QString> names;
        QSet<QString> ids;
        for (const Member &m : lib.dispatchTable(c).members) {
            const QString kind = kindText(m.kind);
            QVERIFY2(!names.contains(kind + m.name.toLower()), qPrintable(c.name + QLatin1Char('.') + m.name));
            QVERIFY2(!ids.contains(kind + QString::number(m.dispId)), qPrintable(c.name + QLatin1Char('.') + m.name));
            names << kind + m.name.toLower();
            ids << kind + QString::number(m.dispId);
        }
        for (const QString &i : QStringList{c.defaultInterface} + c.furtherInterfaces)
            QVERIFY2(lib.interface(i), qPrintable(i));
        if (!c.eventInterface.isEmpty())
            QVERIFY2(lib.interface(c.eventInterface), qPrintable(c.eventInterface));
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
