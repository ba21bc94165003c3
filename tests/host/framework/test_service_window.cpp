#include "host/framework/flow_registry.h"
#include "host/framework/framework_factories.h"
#include "host/framework/service_window_dialog.h"
#include "recording_page.h"
#include "support/data_rows.h"
#include "support/recording_utilities.h"
#include "veltrane/contracts/error_trap.h"
#include "veltrane/contracts/host_services.h"

#include <QPushButton>
#include <QTest>

using namespace veltrane;
using veltrane::test::columns;
using veltrane::test::row;
using namespace veltrane::host;
using veltrane::test::RecordingPage;

// Flows started by name over pages that log every event they get: what the window does with them,
// and what a launcher sees when a flow cannot run.
class TestServiceWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void flowThatCannotRunIsRaised_data();
    void flowThatCannotRunIsRaised();
    void launcherTrapSeesTheError();
    void flowNamesIgnoreCase();
    void windowOfferedToTests();
    void eventOrder_data();
    void eventOrder();
    void contextAndWindowAreTheLaunchers();
    void markDirty();
    void pageErrorsAreShownOnceAndTheWindowStaysUsable_data();
    void pageErrorsAreShownOnceAndTheWindowStaysUsable();
    void commandsFollowTheOptions_data();
    void commandsFollowTheOptions();
    void saveAsRunsANestedFlowThenProceeds();
    void pageIsActivatedAgainWhenItComesBack();
    void flowFromAPageButtonActivatesThePageAfterwards();

private:
    using Options = std::array<qint32, 6>;
    ServiceWindowPtr run(const QString &flow, const std::function<void(ServiceWindowDialog &)> &act,
                         Options options = {-1, -1, -1, -1, -1, -1}, CollectionPtr context = newCollection());
    static void perform(ServiceWindowDialog &window, const QString &action);

    QStringList m_log;
    QHash<QString, QPointer<RecordingPage>> m_pages;
    std::function<void(RecordingPage &)> m_configure;
    std::shared_ptr<veltrane::test::RecordingUtilities> m_utilities;
};

void TestServiceWindow::init()
{
    m_log.clear();
    m_pages.clear();
    m_configure = nullptr;
    m_utilities = std::make_shared<veltrane::test::RecordingUtilities>();
    auto utilities = m_utilities;
    installHostFactories(HostFactories{&makeFrameworkApplication, [utilities] { return utilities; }, {}, {}});

    FlowRegistry &registry = FlowRegistry::instance();
    registry.clear();
    registry.registerFlow(QStringLiteral("TwoPages"), {QStringLiteral("PageA"), QStringLiteral("PageB")});
    registry.registerFlow(QStringLiteral("OnePage"), {QStringLiteral("PageA")});
    registry.registerFlow(QStringLiteral("AskName"), {QStringLiteral("PageC")});
    registry.registerFlow(QStringLiteral("Empty"), {});
    registry.registerFlow(QStringLiteral("Unknown page"), {QStringLiteral("PageA"), QStringLiteral("Nope")});
    registry.registerFlow(QStringLiteral("No page"), {QStringLiteral("PlainWidget")});
    registry.setPageFactory([this](const QString &className) -> QWidget * {
        if (className == QLatin1String("PlainWidget"))
            return new QWidget;
        if (!className.startsWith(QLatin1String("Page")))
            return nullptr;
        auto *page = new RecordingPage(className.right(1), &m_log);
        m_pages.insert(className.right(1), page);
        if (m_configure)
            m_configure(*page);
        return page;
    });
}

void TestServiceWindow::cleanup()
{
    ServiceWindowDialog::clearWhenShown();
    FlowRegistry::instance().clear();
}

ServiceWindowPtr TestServiceWindow::run(const QString &flow, const std::function<void(ServiceWindowDialog &)> &act,
                                        Options o, CollectionPtr context)
{
    if (act) {
        ServiceWindowDialog::whenShown([act](ServiceWindowDialog &window) {
            act(window);
            if (!window.isFinished()) {
                // Never leave a test hanging in the window's event loop.
                window.ExecuteCommand(kCommandCancel);
                QFAIL("the flow did not end");
            }
        });
    }
    return App().RunService(flow, context, nullptr, ServiceOptions{o[0], o[1], o[2], o[3], o[4], o[5], {}});
}

void TestServiceWindow::perform(ServiceWindowDialog &window, const QString &action)
{
    static const QHash<QString, qint32> buttons{{QStringLiteral("commit"), kCommandCommit},
                                                {QStringLiteral("cancel"), kCommandCancel},
                                                {QStringLiteral("back"), kCommandBack},
                                                {QStringLiteral("next"), kCommandNext}};
    if (buttons.contains(action))
        QTest::mouseClick(window.button(buttons.value(action)), Qt::LeftButton);
    else if (action == QLatin1String("escape"))
        QTest::keyClick(&window, Qt::Key_Escape);
    else if (action == QLatin1String("close"))
        window.close();
    else if (action == QLatin1String("proceed"))
        window.Proceed();
    else if (action == QLatin1String("disable1"))
        window.SetButtonEnabled(kCommandCommit, false);
    else
        QFAIL(qPrintable(action));
}

void TestServiceWindow::eventOrder_data()
{
    // refusals: Validate answers of page A that are false; skipping: the pages that move on from their own
    // Activate, as the selection page does when the host flow asks it to (the move waits until Activate
    // has returned)
    columns<QString, int, QString, QString, QString, bool>("flow", "refusals", "skipping", "actions", "events",
                                                           "cancelled");
    row("commit on the first page", "TwoPages", 0, "", "commit",
        "A:Initialize A:Activate A:Validate A:Save A:Deactivate A:OnExit(0) B:OnExit(0)", false);
    row("next, then commit saves every page shown", "TwoPages", 0, "", "next commit",
        "A:Initialize A:Activate A:Validate A:Deactivate B:Initialize B:Activate B:Validate A:Save B:Save "
        "B:Deactivate A:OnExit(0) B:OnExit(0)",
        false);
    row("back shows a page again without a second Initialize", "TwoPages", 0, "", "next back cancel",
        "A:Initialize A:Activate A:Validate A:Deactivate B:Initialize B:Activate B:Validate B:Deactivate "
        "A:Activate A:Deactivate A:OnExit(1) B:OnExit(1)",
        true);
    row("refused Validate keeps the user on the page", "TwoPages", 1, "", "next next cancel",
        "A:Initialize A:Activate A:Validate A:Validate A:Deactivate B:Initialize B:Activate B:Deactivate "
        "A:OnExit(1) B:OnExit(1)",
        true);
    row("refused Validate saves nothing", "TwoPages", 1, "", "commit cancel",
        "A:Initialize A:Activate A:Validate A:Deactivate A:OnExit(1) B:OnExit(1)", true);
    row("escape cancels", "TwoPages", 0, "", "escape", "A:Initialize A:Activate A:Deactivate A:OnExit(1) B:OnExit(1)",
        true);
    row("the close box cancels", "TwoPages", 0, "", "close",
        "A:Initialize A:Activate A:Deactivate A:OnExit(1) B:OnExit(1)", true);
    row("Proceed commits while button 1 is disabled", "TwoPages", 0, "", "disable1 commit proceed",
        "A:Initialize A:Activate A:Validate A:Save A:Deactivate A:OnExit(0) B:OnExit(0)", false);
    row("a page skips itself from Activate", "TwoPages", 0, "A", "cancel",
        "A:Initialize A:Activate A:Activate done A:Validate A:Deactivate B:Initialize B:Activate B:Deactivate "
        "A:OnExit(1) B:OnExit(1)",
        true);
    row("skipping past the last page commits, never shown", "OnePage", 0, "A", "",
        "A:Initialize A:Activate A:Activate done A:Validate A:Save A:Deactivate A:OnExit(0)", false);
}

void TestServiceWindow::eventOrder()
{
    QFETCH(QString, flow);
    QFETCH(int, refusals);
    QFETCH(QString, skipping);
    QFETCH(QString, actions);
    QFETCH(QString, events);
    QFETCH(bool, cancelled);

    m_configure = [refusals, skipping](RecordingPage &page) {
        if (page.objectName() == QLatin1String("A"))
            page.refusals = refusals;
        if (skipping.contains(page.objectName()))
            page.onActivate = [](RecordingPage &self) {
                self.base().Window()->ExecuteCommand(kCommandNext);
                self.event(QStringLiteral("Activate done"));
            };
    };
    const ServiceWindowPtr window = run(flow, [&](ServiceWindowDialog &w) {
        for (const QString &action : actions.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            perform(w, action);
    });
    QCOMPARE(m_log.join(QLatin1Char(' ')), events);
    QCOMPARE(window->WasCancelled(), cancelled);
    QVERIFY(!ServiceWindowDialog::active());
}

void TestServiceWindow::contextAndWindowAreTheLaunchers()
{
    const CollectionPtr context = newCollection();
    context->Add(QStringLiteral("1"), QStringLiteral("Study"));
    KeyedCollection *seen = nullptr;
    m_configure = [&seen](RecordingPage &page) {
        page.onActivate = [&seen](RecordingPage &self) { seen = self.base().BusinessContext().data(); };
        page.onSave = [](RecordingPage &self) {
            self.base().BusinessContext()->Add(QStringLiteral("Run 12"), QStringLiteral("ParamName"));
        };
    };
    QPointer<RecordingPage> page;
    ServiceWindowPtr window = run(
        QStringLiteral("OnePage"), [&](ServiceWindowDialog &w) { perform(w, QStringLiteral("commit")); },
        {1, -1, -1, -1, -1, -1}, context);
    page = m_pages.value(QStringLiteral("A"));
    QCOMPARE(seen, context.data());
    QCOMPARE(context->Item(QStringLiteral("paramname")).toString(), QStringLiteral("Run 12"));
    QVERIFY(page);
    QCOMPARE(page->exitWindow, window.get());
    window.reset(); // the launcher releases the window, and the pages go with it
    QVERIFY(!page);
}

void TestServiceWindow::markDirty()
{
    m_configure = [](RecordingPage &page) {
        page.onInitialize = [](RecordingPage &self) { self.base().MarkDirty(); }; // loading, not an edit
    };
    run(QStringLiteral("OnePage"),
        [&](ServiceWindowDialog &w) {
            PageBase &base = m_pages.value(QStringLiteral("A"))->base();
            w.SetTitle(QStringLiteral("Edit Fragment Analysis Parameters"));
            QVERIFY(!w.isDirty());
            QVERIFY(!w.button(kCommandCommit)->isEnabled()); // waits for a change (option 6 = 0)
            QCOMPARE(w.windowTitle(), QStringLiteral("Edit Fragment Analysis Parameters"));

            base.MarkDirty();
            QVERIFY(w.button(kCommandCommit)->isEnabled());
            QCOMPARE(w.windowTitle(), QStringLiteral("Edit Fragment Analysis Parameters *"));
            QCOMPARE(w.Title(), QStringLiteral("Edit Fragment Analysis Parameters"));

            // A read-only set: the page disables commit, then marks the change; commit stays off.
            w.SetButtonEnabled(kCommandCommit, false);
            base.MarkDirty();
            QVERIFY(!w.button(kCommandCommit)->isEnabled());
            QVERIFY(!w.IsButtonEnabled(kCommandCommit));
            QVERIFY(w.button(kCommandSaveAs)->isEnabled());
            perform(w, QStringLiteral("cancel"));
        },
        {1, -1, -1, 3, -1, 0});
}

void TestServiceWindow::pageErrorsAreShownOnceAndTheWindowStaysUsable_data()
{
    columns<QString, QString, bool, bool>("failOn", "actions", "cancelled", "saved");
    row("Validate", "Validate", "commit cancel", true, false);
    row("Save", "Save", "commit cancel", true, false);
    // A page that could not load would save less than there is: neither its button nor Proceed
    // commits.
    row("Initialize", "Initialize", "commit proceed cancel", true, false);
    row("Activate", "Activate", "commit", false, true);
}

void TestServiceWindow::pageErrorsAreShownOnceAndTheWindowStaysUsable()
{
    QFETCH(QString, failOn);
    QFETCH(QString, actions);
    QFETCH(bool, cancelled);
    QFETCH(bool, saved);

    m_configure = [failOn](RecordingPage &page) { page.failOn = failOn; };
    bool stayedOpen = false;
    const ServiceWindowPtr window = run(QStringLiteral("OnePage"), [&](ServiceWindowDialog &w) {
        const QStringList steps = actions.split(QLatin1Char(' '));
        perform(w, steps.first());
        stayedOpen = !w.isFinished();
        for (const QString &step : steps.mid(1))
            perform(w, step);
    });
    QCOMPARE(window->WasCancelled(), cancelled);
    QCOMPARE(stayedOpen, cancelled);
    QCOMPARE(m_log.contains(QStringLiteral("A:Save")) && failOn != QLatin1String("Save"), saved);
    QCOMPARE(m_utilities->reports.size(), 1);
    const auto &report = m_utilities->reports.first();
    QCOMPARE(report.className, QStringLiteral("ServiceWindow"));
    QCOMPARE(report.procedureName, failOn);
    QVERIFY(report.display);
    QCOMPARE(report.error.description(), failOn + QStringLiteral(" failed"));
    QVERIFY(report.extraText.contains(QLatin1String("PageA")));
}

void TestServiceWindow::commandsFollowTheOptions_data()
{
    columns<QString, QList<int>, QList<int>, QString, bool>("flow", "options", "offered", "commitCaption",
                                                            "commitEnabled");
    row("selection", "OnePage", QList<int>{-1, -1, -1, -1, -1, -1}, QList<int>{1, 2}, "OK", true);
    row("new set", "OnePage", QList<int>{1, -1, -1, -1, -1, -1}, QList<int>{1, 2}, "&Save", true);
    row("existing set", "OnePage", QList<int>{1, -1, -1, 3, -1, 0}, QList<int>{1, 2, 3}, "&Save", false);
    row("two pages", "TwoPages", QList<int>{-1, -1, -1, -1, -1, -1}, QList<int>{1, 2, 4, 5}, "&Finish", true);
}

void TestServiceWindow::commandsFollowTheOptions()
{
    QFETCH(QString, flow);
    QFETCH(QList<int>, options);
    QFETCH(QList<int>, offered);
    QFETCH(QString, commitCaption);
    QFETCH(bool, commitEnabled);

    run(flow,
        [&](ServiceWindowDialog &w) {
            for (int command = 1; command <= 5; ++command) {
                QPushButton *button = w.findChild<QPushButton *>(QStringLiteral("command%1").arg(command));
                QCOMPARE(bool(button), offered.contains(command));
            }
            QCOMPARE(w.button(kCommandCommit)->text(), commitCaption);
            QCOMPARE(w.button(kCommandCommit)->isEnabled(), commitEnabled);
            if (offered.contains(kCommandBack)) {
                QVERIFY(!w.button(kCommandBack)->isEnabled()); // on the first page
                QVERIFY(w.button(kCommandNext)->isEnabled());
            }
            QCOMPARE(w.Pages().Count, flow == QLatin1String("TwoPages") ? 2 : 1);
            perform(w, QStringLiteral("cancel"));
        },
        {options[0], options[1], options[2], options[3], options[4], options[5]});
}

void TestServiceWindow::saveAsRunsANestedFlowThenProceeds()
{
    // The editor's Save As: CommandClick(3) runs the save-as flow to its end, takes the name, then
    // asks its own window to Refresh and Proceed; the commit waits until CommandClick has returned.
    ServiceWindowDialog *outer = nullptr;
    ServiceWindowDialog *inner = nullptr;
    m_configure = [&](RecordingPage &page) {
        if (page.objectName() == QLatin1String("C")) {
            page.onSave = [](RecordingPage &self) {
                self.base().BusinessContext()->Add(QStringLiteral("Run 12"), QStringLiteral("ParamName"));
            };
            return;
        }
        page.onCommand = [&](RecordingPage &self, qint32 command) {
            if (command != kCommandSaveAs)
                return;
            CollectionPtr context = self.base().BusinessContext();
            ServiceWindowDialog::whenShown([&](ServiceWindowDialog &w) {
                inner = ServiceWindowDialog::active();
                QCOMPARE(w.parentWidget(), outer);
                perform(w, QStringLiteral("commit"));
            });
            const ServiceWindowPtr saveAs =
                App().RunService(QStringLiteral("AskName"), context, nullptr, ServiceOptions{.commitCaption = 1});
            if (saveAs->WasCancelled())
                return;
            ServiceWindow *window = self.base().Window();
            self.base().MarkDirty();
            window->Refresh();
            window->Proceed();
            self.event(QStringLiteral("Proceed asked"));
        };
    };
    const CollectionPtr context = newCollection();
    const ServiceWindowPtr window = run(
        QStringLiteral("OnePage"),
        [&](ServiceWindowDialog &w) {
            outer = &w;
            w.SetButtonEnabled(kCommandCommit, false); // a read-only set
            QTest::mouseClick(w.button(kCommandSaveAs), Qt::LeftButton);
        },
        {1, -1, -1, 3, -1, 0}, context);

    QVERIFY(inner && inner != outer);
    QVERIFY(!window->WasCancelled());
    QCOMPARE(context->Item(QStringLiteral("ParamName")).toString(), QStringLiteral("Run 12"));
    QCOMPARE(m_log.join(QLatin1Char(' ')),
             QStringLiteral("A:Initialize A:Activate A:CommandClick(3) C:Initialize C:Activate C:Validate C:Save "
                            "C:Deactivate C:OnExit(0) A:Proceed asked A:Activate A:Validate A:Save A:Deactivate "
                            "A:OnExit(0)"));
}

void TestServiceWindow::pageIsActivatedAgainWhenItComesBack()
{
    // After a Save that failed, and after a flow the page started was cancelled, the page is shown
    // to the user again: it is activated again, and the flow stays open.
    int saves = 0;
    m_configure = [&](RecordingPage &page) {
        if (page.objectName() == QLatin1String("C"))
            return;
        page.onSave = [&](RecordingPage &) {
            if (++saves == 1)
                throw Error(kStoreReadOnly, QStringLiteral("Store"), QStringLiteral("read-only"));
        };
        page.onCommand = [&](RecordingPage &, qint32) {
            ServiceWindowDialog::whenShown([](ServiceWindowDialog &w) { perform(w, QStringLiteral("cancel")); });
            App().RunService(QStringLiteral("AskName"), newCollection(), nullptr, ServiceOptions{});
        };
    };
    const ServiceWindowPtr window = run(QStringLiteral("OnePage"),
                                        [&](ServiceWindowDialog &w) {
                                            perform(w, QStringLiteral("commit"));
                                            QVERIFY(!w.isFinished());
                                            QTest::mouseClick(w.button(kCommandSaveAs), Qt::LeftButton);
                                            QVERIFY(!w.isFinished());
                                            perform(w, QStringLiteral("commit"));
                                        },
                                        {1, -1, -1, 3, -1, -1});
    QVERIFY(!window->WasCancelled());
    QCOMPARE(m_log.join(QLatin1Char(' ')),
             QStringLiteral("A:Initialize A:Activate A:Validate A:Save A:Activate A:CommandClick(3) C:Initialize "
                            "C:Activate C:Deactivate C:OnExit(1) A:Activate A:Validate A:Save A:Deactivate "
                            "A:OnExit(0)"));
}

void TestServiceWindow::flowFromAPageButtonActivatesThePageAfterwards()
{
    // A page's own button (the selection page's Edit) starts a flow. Once the button's handler has
    // returned, the page is back with the user and is activated again, so it shows what was stored.
    QString atReturn;
    const ServiceWindowPtr window = run(QStringLiteral("OnePage"), [&](ServiceWindowDialog &w) {
        ServiceWindowDialog::whenShown([](ServiceWindowDialog &inner) { perform(inner, QStringLiteral("commit")); });
        App().RunService(QStringLiteral("AskName"), newCollection(), nullptr, ServiceOptions{});
        atReturn = m_log.join(QLatin1Char(' '));
        QCoreApplication::processEvents();
        perform(w, QStringLiteral("cancel"));
    });
    QCOMPARE(atReturn, QStringLiteral("A:Initialize A:Activate C:Initialize C:Activate C:Validate C:Save C:Deactivate "
                                      "C:OnExit(0)"));
    QCOMPARE(m_log.join(QLatin1Char(' ')), atReturn + QStringLiteral(" A:Activate A:Deactivate A:OnExit(1)"));
}

void TestServiceWindow::flowThatCannotRunIsRaised_data()
{
    columns<QString, qint32, QString>("flow", "number", "description");
    row("unknown flow", "EditAnalysisParameters", qint32(kFlowNotRegistered),
        "The flow \"EditAnalysisParameters\" is not registered.");
    row("flow without pages", "Empty", qint32(kFlowNotRegistered), "The flow \"Empty\" has no pages.");
    row("page class unknown", "Unknown page", qint32(kPageNotCreated),
        "The page \"Nope\" of the flow \"Unknown page\" could not be created.");
    row("widget that is no page", "No page", qint32(kPageNotCreated),
        "\"PlainWidget\" of the flow \"No page\" is not a page: it gives no PageBase.");
}

void TestServiceWindow::flowThatCannotRunIsRaised()
{
    QFETCH(QString, flow);
    QFETCH(qint32, number);
    QFETCH(QString, description);

    const Error error = test::errorOf([&] { App().RunService(flow, newCollection(), nullptr, ServiceOptions{}); });
    QCOMPARE(error.number(), number);
    QCOMPARE(error.source(), QStringLiteral("PageFramework"));
    QCOMPARE(error.description(), description);
    // Logged for the record, not shown: the launcher's own trap decides what the user sees.
    QCOMPARE(m_utilities->reports.size(), 1);
    QCOMPARE(m_utilities->reports.first().procedureName, QStringLiteral("RunService"));
    QVERIFY(!m_utilities->reports.first().display);
    QVERIFY(!ServiceWindowDialog::active());
    // Pages made before the failing one saw no event and were destroyed.
    QVERIFY(m_log.isEmpty());
    for (const QPointer<RecordingPage> &page : std::as_const(m_pages))
        QVERIFY(!page);
}

void TestServiceWindow::launcherTrapSeesTheError()
{
    // A button handler of a page (report and stop) starting a flow that is not there.
    trap(Ending::ReportAndStop, "SelectParamPage", "cmdEdit_Click", [] {
        App().RunService(QStringLiteral("EditAnalysisParameters"), newCollection(), nullptr,
                         flow_options::kEditExistingSet);
    });
    QCOMPARE(m_utilities->reports.size(), 2);
    const auto &shown = m_utilities->reports.last();
    QCOMPARE(shown.procedureName, QStringLiteral("cmdEdit_Click"));
    QVERIFY(shown.display);
    QCOMPARE(shown.error.number(), qint32(kFlowNotRegistered));
}

void TestServiceWindow::flowNamesIgnoreCase()
{
    FlowRegistry &registry = FlowRegistry::instance();
    QVERIFY(registry.contains(QStringLiteral("onepage")));
    QVERIFY(run(QStringLiteral("ONEPAGE"), [](ServiceWindowDialog &w) {
                perform(w, QStringLiteral("cancel"));
            })->WasCancelled());
    QVERIFY(registry.unregisterFlow(QStringLiteral("OnePage")));
    QVERIFY(!registry.contains(QStringLiteral("OnePage")));
}

void TestServiceWindow::windowOfferedToTests()
{
    // A test acts on the window RunService shows: active() while it runs, the flow's own title
    // until a page sets one, the pages by object name.
    FlowRegistry::instance().registerFlow(FlowDefinition{QStringLiteral("Titled"),
                                                         {QStringLiteral("PageA")},
                                                         {},
                                                         QStringLiteral("Save Analysis Parameters As"),
                                                         {{kCommandCommit, QStringLiteral("&Done")}}});
    QString title;
    QString caption;
    QWidget *page = nullptr;
    const ServiceWindowPtr window = run(QStringLiteral("Titled"),
                                        [&](ServiceWindowDialog &w) {
                                            QCOMPARE(ServiceWindowDialog::active(), &w);
                                            title = w.windowTitle();
                                            caption = w.button(kCommandCommit)->text();
                                            page = w.findChild<QWidget *>(QStringLiteral("A"));
                                            QTest::mouseClick(w.button(kCommandCommit), Qt::LeftButton);
                                        },
                                        {1, -1, -1, -1, -1, -1});
    QVERIFY(!window->WasCancelled());
    QCOMPARE(title, QStringLiteral("Save Analysis Parameters As"));
    QCOMPARE(caption, QStringLiteral("&Done"));
    QVERIFY(page);
    QVERIFY(!ServiceWindowDialog::active());
}

QTEST_MAIN(TestServiceWindow)
#include "test_service_window.moc"
