#include "support/data_rows.h"
#include "support/recording_utilities.h"
#include "veltrane/contracts/error_trap.h"
#include "veltrane/contracts/host_services.h"

#include <QTest>

using namespace veltrane;
using veltrane::test::columns;
using veltrane::test::RecordingUtilities;
using veltrane::test::row;

Q_DECLARE_METATYPE(veltrane::Ending)

class TestErrorTrap : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void endings_data();
    void endings();
    void foreignExceptionsBecomeErrors();
    void debuggingRetries_data();
    void debuggingRetries();
    void noFrameworkStillEnds();

private:
    std::shared_ptr<RecordingUtilities> m_utilities;
};

void TestErrorTrap::init()
{
    m_utilities = std::make_shared<RecordingUtilities>();
    auto u = m_utilities;
    installHostFactories(HostFactories{{}, [u] { return u; }, {}, {}});
    setBreakAction([] {});
}

void TestErrorTrap::endings_data()
{
    columns<Ending, bool, bool>("ending", "display", "reachesCaller");
    row("propagate", Ending::Propagate, false, true);
    row("report and stop", Ending::ReportAndStop, true, false);
    row("report only", Ending::ReportOnly, true, false);
}

void TestErrorTrap::endings()
{
    QFETCH(Ending, ending);
    QFETCH(bool, display);
    QFETCH(bool, reachesCaller);

    const Error raised(kApplicationError, QStringLiteral("Check Parameters"),
                       QStringLiteral("Business Context is NULL."), QStringLiteral("help.chm"), 42);
    bool afterFailure = false;
    bool caught = false;
    int result = -1;
    try {
        result = trap(ending, "AnalysisParamPage", "m_oPageBase_Initialize", [&]() -> int {
            throw raised;
            afterFailure = true;
            return 7;
        });
    } catch (const Error &e) {
        caught = true;
        QCOMPARE(e, raised); // all five parts unchanged
    }
    QCOMPARE(caught, reachesCaller);
    QVERIFY(!afterFailure);
    if (!reachesCaller)
        QCOMPARE(result, 0);

    QCOMPARE(m_utilities->reports.size(), 1);
    const auto &r = m_utilities->reports.first();
    QCOMPARE(r.applicationName, QStringLiteral("Veltrane"));
    QCOMPARE(r.className, QStringLiteral("AnalysisParamPage"));
    QCOMPARE(r.procedureName, QStringLiteral("m_oPageBase_Initialize"));
    QCOMPARE(r.error, raised);
    QVERIFY(r.extraText.isEmpty());
    QCOMPARE(r.display, display);
}

void TestErrorTrap::foreignExceptionsBecomeErrors()
{
    trap(Ending::ReportAndStop, "SelectParamPage", "cmdNew_Click", [] { throw std::runtime_error("disk full"); });
    QCOMPARE(m_utilities->reports.size(), 1);
    QCOMPARE(m_utilities->reports[0].error.number(), kApplicationError);
    QCOMPARE(m_utilities->reports[0].error.description(), QStringLiteral("disk full"));
}

void TestErrorTrap::debuggingRetries_data()
{
    columns<Ending, bool, int, int, int>("ending", "debugging", "yes", "runs", "breaks");
    row("propagate, not debugging", Ending::Propagate, false, 1, 1, 0);
    row("propagate, break confirmed once", Ending::Propagate, true, 1, 2, 1);
    row("report and stop, confirmed twice", Ending::ReportAndStop, true, 2, 3, 2);
    row("report and stop, declined", Ending::ReportAndStop, true, 0, 1, 0);
    row("report only never asks", Ending::ReportOnly, true, 5, 1, 0);
}

void TestErrorTrap::debuggingRetries()
{
    QFETCH(Ending, ending);
    QFETCH(bool, debugging);
    QFETCH(int, yes);
    QFETCH(int, runs);
    QFETCH(int, breaks);
    m_utilities->debugging = debugging;
    m_utilities->breakAnswers = yes;
    int breakCount = 0;
    setBreakAction([&] { ++breakCount; });

    int calls = 0;
    try {
        trap(ending, "Service", "SelectAnalysisParameters", [&] {
            ++calls;
            throw Error(kApplicationError, QStringLiteral("s"), QStringLiteral("d"));
        });
    } catch (const Error &) {
    }
    QCOMPARE(calls, runs);
    QCOMPARE(breakCount, breaks);
    QCOMPARE(m_utilities->reports.size(), runs); // every failing run is reported
}

void TestErrorTrap::noFrameworkStillEnds()
{
    installHostFactories({});
    QVERIFY_THROWS_EXCEPTION(Error, trap(Ending::Propagate, "Service", "Class_Initialize", [] {
                                 throw Error(kApplicationError, QStringLiteral("s"), QStringLiteral("d"));
                             }));
    trap(Ending::ReportAndStop, "Service", "x", [] { throw Error(); }); // must not throw
}

QTEST_GUILESS_MAIN(TestErrorTrap)
#include "test_error_trap.moc"
