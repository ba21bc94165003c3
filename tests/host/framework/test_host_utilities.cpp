#include "host/framework/framework_factories.h"
#include "host/framework/host_utilities.h"
#include "support/data_rows.h"
#include "veltrane/contracts/error_trap.h"
#include "veltrane/contracts/host_services.h"

#include <QTest>

using namespace veltrane;
using veltrane::test::columns;
using veltrane::test::row;
using namespace veltrane::host;

class TestHostUtilities : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void displayFlagDecidesTheBox_data();
    void displayFlagDecidesTheBox();
    void trapShowsAControlHandlerErrorOnce();
    void debuggingFollowsTheEnvironment_data();
    void debuggingFollowsTheEnvironment();

private:
    std::shared_ptr<HostUtilities::Capture> m_hook;
};

void TestHostUtilities::init()
{
    m_hook = std::make_shared<HostUtilities::Capture>();
    HostUtilities::setCapture(m_hook);
    installHostFactories(HostFactories{&makeFrameworkApplication, &makeFrameworkUtilities, {}, {}});
    setBreakAction([] {});
}

void TestHostUtilities::cleanup()
{
    HostUtilities::setCapture(nullptr);
    qunsetenv("VELTRANE_DEBUG");
}

void TestHostUtilities::displayFlagDecidesTheBox_data()
{
    QTest::addColumn<bool>("display");
    row("logged only", false);
    row("shown", true);
}

void TestHostUtilities::displayFlagDecidesTheBox()
{
    QFETCH(bool, display);
    const Error error(kApplicationError, QStringLiteral("Check Parameters"),
                      QStringLiteral("AnalysisParameter key is expected in the collection."));
    Utilities().ReportError(QStringLiteral("Veltrane"), QStringLiteral("AnalysisParamPage"),
                            QStringLiteral("m_oPageBase_Initialize"), error, QString(), display);

    QCOMPARE(m_hook->reports.size(), 1);
    QCOMPARE(m_hook->reports.first().error, error);
    QCOMPARE(m_hook->boxes.size(), display ? 1 : 0);
    if (!display)
        return;
    const HostUtilities::Box &box = m_hook->boxes.first();
    QCOMPARE(box.title, QStringLiteral("Veltrane"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    for (const char *part : {"AnalysisParameter key is expected in the collection.", "AnalysisParamPage",
                             "m_oPageBase_Initialize", "0x80040000", "Check Parameters"})
        QVERIFY2(box.text.contains(QLatin1String(part)), part);
}

void TestHostUtilities::trapShowsAControlHandlerErrorOnce()
{
    // A propagating procedure inside a report-and-stop handler: logged twice, shown once.
    trap(Ending::ReportAndStop, "AnalysisParamPage", "cmbMobility_Click", [] {
        trap(Ending::Propagate, "AnalysisParamPage", "OnMobilityCalibrationChange",
             [] { throw Error::objectNotSet(QStringLiteral("Veltrane")); });
    });
    QCOMPARE(m_hook->reports.size(), 2);
    QCOMPARE(m_hook->boxes.size(), 1);
    QVERIFY(m_hook->boxes.first().text.contains(QLatin1String("cmbMobility_Click")));
}

void TestHostUtilities::debuggingFollowsTheEnvironment_data()
{
    columns<QByteArray, int, bool>("variable", "answer", "retried");
    row("not debugging", QByteArray(), int(QMessageBox::Yes), false);
    row("debugging, user says no", QByteArray("1"), int(QMessageBox::No), false);
    row("debugging, user says yes", QByteArray("1"), int(QMessageBox::Yes), true);
    row("other value", QByteArray("yes"), int(QMessageBox::Yes), false);
}

void TestHostUtilities::debuggingFollowsTheEnvironment()
{
    QFETCH(QByteArray, variable);
    QFETCH(int, answer);
    QFETCH(bool, retried);

    if (!variable.isEmpty())
        qputenv("VELTRANE_DEBUG", variable);
    m_hook->answer = [answer](const HostUtilities::Box &) { return QMessageBox::StandardButton(answer); };
    int runs = 0;
    trap(Ending::ReportAndStop, "SaveAsParamPage", "UserControl_Initialize", [&runs] {
        if (++runs == 1)
            throw Error::invalidProcedureCall(QStringLiteral("Veltrane"));
    });
    QCOMPARE(runs, retried ? 2 : 1);
    const bool asked = variable == "1";
    int questions = 0;
    for (const HostUtilities::Box &box : m_hook->boxes)
        if (box.icon == QMessageBox::Question)
            ++questions;
    QCOMPARE(questions, asked ? 1 : 0);
}

QTEST_MAIN(TestHostUtilities)
#include "test_host_utilities.moc"
