#include "support/recording_utilities.h"
#include "veltrane/contracts/host_services.h"

#include <QTest>
#include <QThread>
#include <atomic>

using namespace veltrane;
using veltrane::test::RecordingUtilities;

class TestHostServices : public QObject
{
    Q_OBJECT
private slots:
    void sameObjectOnOneThreadOtherOnAnother();
    void freshManagerIsNotTheShared();
    void missingFactoryIsAClearError();
    void reinstallReplacesHelpers();
};

namespace {
struct CountingManager : BusinessObjectManager
{
    ObjectPtr NewObject(const QString &) override { return {}; }
    ObjectPtr LoadObject(const QString &, const QString &, const QString &, bool, bool) override { return {}; }
    CollectionPtr LoadCollection(const QString &, const QString &, const QString &, const QString &, bool,
                                 bool) override
    {
        return newCollection();
    }
    StorePtr store() const override { return {}; }
};
} // namespace

void TestHostServices::sameObjectOnOneThreadOtherOnAnother()
{
    std::atomic<int> made{0};
    installHostFactories(HostFactories{{},
                                       [&] {
                                           ++made;
                                           return std::make_shared<RecordingUtilities>();
                                       },
                                       {},
                                       {}});
    FrameworkUtilities *first = &Utilities();
    QCOMPARE(&Utilities(), first);
    QCOMPARE(made.load(), 1);

    FrameworkUtilities *other = nullptr;
    FrameworkUtilities *otherAgain = nullptr;
    QThread *t = QThread::create([&] {
        other = &Utilities();
        otherAgain = &Utilities();
    });
    t->start();
    QVERIFY(t->wait(5000));
    delete t;
    QVERIFY(other != nullptr);
    QCOMPARE(other, otherAgain);
    QVERIFY(other != first);
    QCOMPARE(made.load(), 2);
    QCOMPARE(&Utilities(), first); // the UI thread keeps its own
}

void TestHostServices::freshManagerIsNotTheShared()
{
    installHostFactories(HostFactories{{}, {}, [] { return std::make_shared<CountingManager>(); }, {}});
    auto shared = objectManagerPtr();
    auto fresh = newObjectManager();
    QVERIFY(fresh != shared);
    QCOMPARE(objectManagerPtr(), shared);
}

void TestHostServices::missingFactoryIsAClearError()
{
    installHostFactories({});
    QVERIFY(test::errorOf([] { Grids(); }).description().contains(QStringLiteral("grid utilities")));
    QVERIFY(!currentObjectStore());
}

void TestHostServices::reinstallReplacesHelpers()
{
    auto a = std::make_shared<RecordingUtilities>();
    auto b = std::make_shared<RecordingUtilities>();
    installHostFactories(HostFactories{{}, [a] { return a; }, {}, {}});
    QCOMPARE(&Utilities(), a.get());
    installHostFactories(HostFactories{{}, [b] { return b; }, {}, {}});
    QCOMPARE(&Utilities(), b.get());
}

QTEST_GUILESS_MAIN(TestHostServices)
#include "test_host_services.moc"
