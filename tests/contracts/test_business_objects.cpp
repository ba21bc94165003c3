#include "support/recording_utilities.h"
#include "veltrane/contracts/business_objects.h"
#include "veltrane/contracts/error.h"

#include <QTest>

using namespace veltrane;

class TestBusinessObjects : public QObject
{
    Q_OBJECT
private slots:
    void entriesGrowWhenWritten();
    void fieldsReadableByName();
    void modelNames();
    void commitWithoutStoreIsAClearError();
};

void TestBusinessObjects::entriesGrowWhenWritten()
{
    FragAnalysisParam p;
    QCOMPARE(p.EntryCount(), qint16(0));
    QVERIFY(p.SizeCalibration(0).isNull());
    QVERIFY_THROWS_EXCEPTION(Error, p.SNPLocusTagsOf(0));
    p.setIdentifyAlleles(0, true);
    QCOMPARE(p.EntryCount(), qint16(1));
    p.SNPLocusTagsOf(0)->Add(toVariant(QSharedPointer<SNPLocusTagSettings>::create()));
    QCOMPARE(p.SNPLocusTagsOf(0)->Count(), 1);
    // Entries 0 to 255, rows 0 to 3.
    p.setConfidenceLevel(255, 80);
    QCOMPARE(p.EntryCount(), qint16(256));
    QCOMPARE(p.ConfidenceLevel(255), 80.0f);
    QVERIFY_THROWS_EXCEPTION(Error, p.setConfidenceLevel(256, 80));
    QVERIFY_THROWS_EXCEPTION(Error, p.setConfidenceLevel(-1, 80));
    QVERIFY_THROWS_EXCEPTION(Error, p.ConfidenceLevel(256));
    QCOMPARE(p.EntryCount(), qint16(256));
    p.setQuantAmount(3, 2.5f);
    QCOMPARE(p.QuantAmount(3), 2.5f);
    QVERIFY_THROWS_EXCEPTION(Error, p.QuantAmount(4));
    QVERIFY_THROWS_EXCEPTION(Error, p.setQuantAmount(-1, 1));
}

void TestBusinessObjects::fieldsReadableByName()
{
    auto settings = QSharedPointer<FragAnalysisParam>::create();
    settings->setName(QStringLiteral("Panel A"));
    settings->setProjectID(QStringLiteral("7"));
    AnalysisParameter set;
    set.setName(QStringLiteral("Old"));
    set.setFragAnalysisParam(settings); // the set's name follows its settings
    QCOMPARE(set.property("Name").toString(), QStringLiteral("Panel A"));
    QCOMPARE(set.property("ProjectID").toInt(), 7);
    QCOMPARE(set.property("FragAnalysisParam").value<ObjectPtr>().data(), settings.data());
    SizeCalibration ref;
    ref.setEnumTypeID(3);
    QCOMPARE(ref.property("EnumTypeID").toInt(), 3);
}

void TestBusinessObjects::modelNames()
{
    SizeCalibration c;
    QStringList names;
    for (int i = 0; i < SizeCalibration::kModelCount; ++i)
        names << c.ModelName(i);
    QCOMPARE(names, (QStringList{"Linear", "Quadratic", "Local Southern", "Cubic", "Quartic"}));
    QVERIFY_THROWS_EXCEPTION(Error, c.ModelName(5));
}

void TestBusinessObjects::commitWithoutStoreIsAClearError()
{
    FragAnalysisParam p;
    QVERIFY(test::errorOf([&] { p.Commit(); }).description().contains(QStringLiteral("store")));
}

QTEST_GUILESS_MAIN(TestBusinessObjects)
#include "test_business_objects.moc"
