#include "support/data_rows.h"
#include "veltrane/contracts/business_objects.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/keyed_collection.h"

#include <QTest>

using namespace veltrane;
using veltrane::test::columns;
using veltrane::test::row;

class TestKeyedCollection : public QObject
{
    Q_OBJECT
private slots:
    void keysIgnoreCase_data();
    void keysIgnoreCase();
    void numbersAreOneBasedAndFollowRemovals();
    void failures_data();
    void failures();
    void objectsKeepIdentity();
    void largeCollectionStaysIndexed();
};

void TestKeyedCollection::keysIgnoreCase_data()
{
    columns<QString, QString>("stored", "asked");
    row("same", "AnalysisParameter", "AnalysisParameter");
    row("lower", "AnalysisParameter", "analysisparameter");
    row("upper", "Skip>>", "SKIP>>");
    row("non-ascii", QString::fromUtf8("Äpfel Größe"), QString::fromUtf8("äPFEL GRÖßE"));
}

void TestKeyedCollection::keysIgnoreCase()
{
    QFETCH(QString, stored);
    QFETCH(QString, asked);
    KeyedCollection c;
    c.Add(QStringLiteral("value"), stored);
    QVERIFY(c.Contains(asked));
    QCOMPARE(c.Item(asked).toString(), QStringLiteral("value"));
    QCOMPARE(c.IndexOf(asked), 1);
    QCOMPARE(c.KeyAt(1), stored); // the key keeps its own spelling
    c.Remove(asked);
    QCOMPARE(c.Count(), 0);
    QVERIFY(!c.Contains(stored));
}

void TestKeyedCollection::numbersAreOneBasedAndFollowRemovals()
{
    KeyedCollection c;
    c.Add(1, QStringLiteral("a"));
    c.Add(2); // no key
    c.Add(3, QStringLiteral("c"));
    c.Add(4, QStringLiteral("d"));
    QCOMPARE(c.Item(1).toInt(), 1);
    QCOMPARE(c.Item(4).toInt(), 4);

    c.Remove(2);
    QCOMPARE(c.Count(), 3);
    QCOMPARE(c.Item(2).toInt(), 3);
    QCOMPARE(c.Item(QStringLiteral("D")).toInt(), 4); // keys still find items after the shift
    QCOMPARE(c.IndexOf(QStringLiteral("d")), 3);

    c.Remove(QStringLiteral("a"));
    QList<int> order;
    for (const QVariant &v : c)
        order << v.toInt();
    QCOMPARE(order, (QList<int>{3, 4}));

    // a removed key can be used again
    c.Add(5, QStringLiteral("A"));
    QCOMPARE(c.Item(3).toInt(), 5);
}

void TestKeyedCollection::failures_data()
{
    columns<int, int>("action", "number");
    row("duplicate key, other case", 0, int(kDuplicateKey));
    row("missing key", 1, int(kInvalidProcedureCall));
    row("number 0", 2, int(kSubscriptOutOfRange));
    row("number past the end", 3, int(kSubscriptOutOfRange));
    row("remove missing key", 4, int(kInvalidProcedureCall));
    row("remove number past the end", 5, int(kSubscriptOutOfRange));
}

void TestKeyedCollection::failures()
{
    QFETCH(int, action);
    QFETCH(int, number);
    KeyedCollection c;
    c.Add(QStringLiteral("x"), QStringLiteral("12"));
    try {
        switch (action) {
        case 0:
            c.Add(QStringLiteral("y"), QStringLiteral("12"));
            break;
        case 1:
            c.Item(QStringLiteral("13"));
            break;
        case 2:
            c.Item(0);
            break;
        case 3:
            c.Item(2);
            break;
        case 4:
            c.Remove(QStringLiteral("nope"));
            break;
        case 5:
            c.Remove(2);
            break;
        }
        QFAIL("no error raised");
    } catch (const Error &e) {
        QCOMPARE(e.number(), number);
    }
    QCOMPARE(c.Count(), 1); // a failed call changes nothing
    QCOMPARE(c.Item(QStringLiteral("12")).toString(), QStringLiteral("x"));
}

void TestKeyedCollection::objectsKeepIdentity()
{
    auto set = QSharedPointer<AnalysisParameter>::create();
    KeyedCollection c;
    c.Add(set, QStringLiteral("AnalysisParameter"));
    c.Add(ObjectPtr(), QStringLiteral("Nothing"));
    QCOMPARE(c.Object<AnalysisParameter>(QStringLiteral("analysisparameter")).data(), set.data());
    QVERIFY(c.Object<FragAnalysisParam>(1).isNull()); // other class
    QVERIFY(c.Object(QStringLiteral("Nothing")).isNull());
    QCOMPARE(c.objects<AnalysisParameter>().size(), 1);
}

void TestKeyedCollection::largeCollectionStaysIndexed()
{
    KeyedCollection c;
    for (int i = 0; i < 20000; ++i)
        c.Add(i, QString::number(i));
    c.Remove(1);
    QCOMPARE(c.Item(QStringLiteral("19999")).toInt(), 19999);
    QCOMPARE(c.IndexOf(QStringLiteral("19999")), 19999);
}

QTEST_GUILESS_MAIN(TestKeyedCollection)
#include "test_keyed_collection.moc"
