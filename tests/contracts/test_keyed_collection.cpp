#include "support/data_rows.h"
#include "support/recording_utilities.h"
#include "veltrane/contracts/business_objects.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/keyed_collection.h"

#include <QTest>

using namespace veltrane;
using veltrane::test::columns;
using veltrane::test::row;

// A call that must fail on a collection holding "x" under "12".
using CollectionCall = std::function<void(KeyedCollection &)>;
Q_DECLARE_METATYPE(CollectionCall)

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
    columns<CollectionCall, int>("call", "number");
    row("duplicate key, other case",
        CollectionCall([](KeyedCollection &c) { c.Add(QStringLiteral("y"), QStringLiteral("12")); }),
        int(kDuplicateKey));
    row("missing key", CollectionCall([](KeyedCollection &c) { c.Item(QStringLiteral("13")); }),
        int(kInvalidProcedureCall));
    row("number 0", CollectionCall([](KeyedCollection &c) { c.Item(0); }), int(kSubscriptOutOfRange));
    row("number past the end", CollectionCall([](KeyedCollection &c) { c.Item(2); }), int(kSubscriptOutOfRange));
    row("remove missing key", CollectionCall([](KeyedCollection &c) { c.Remove(QStringLiteral("nope")); }),
        int(kInvalidProcedureCall));
    row("remove number past the end", CollectionCall([](KeyedCollection &c) { c.Remove(2); }),
        int(kSubscriptOutOfRange));
}

void TestKeyedCollection::failures()
{
    QFETCH(CollectionCall, call);
    QFETCH(int, number);
    KeyedCollection c;
    c.Add(QStringLiteral("x"), QStringLiteral("12"));
    QCOMPARE(test::errorOf([&] { call(c); }).number(), number);
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
