// The application's own window over the real store on each engine: what a user sees after each action,
// and what the store holds then (read back).

#include "app/import_window.h"
#include "app/manager/compare_window.h"
#include "app/manager/history_window.h"
#include "app/manager/manager_window.h"
#include "app/manager/reason_dialog.h"
#include "app/manager/set_list_model.h"
#include "host/objects/json_exchange.h"
#include "host/objects/set_history.h"
#include "veltrane/editor_driver.h"
#include "veltrane/page_host.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace veltrane;
using namespace veltrane::test;
using app::ManagerWindow;

namespace {

const QString kCasework = QStringLiteral("STR Casework 20-Fragment Ladder");
const QString kPanel = QStringLiteral("SNP Identity Panel");
const QString kDefault = QStringLiteral("DefaultFragmentAnalysisParameters");

// What a window manager does for a window that comes up: it gets the keyboard.
void activate(QWidget &window)
{
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window))
        qWarning("%s did not become active", qPrintable(window.objectName()));
}

// Runs act on the next modal window other than except (of that name, when named) once it is up (polled
// for at most 5 s).
void onModal(std::function<void(QWidget &)> act, const QWidget *except = nullptr, const QString &named = {})
{
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, act, except, named, tries = 0]() mutable {
        QWidget *window = QApplication::activeModalWidget();
        const bool found =
            window && window != except && window->isVisible() && (named.isEmpty() || window->objectName() == named);
        if (!found && ++tries < 500)
            return;
        timer->stop();
        timer->deleteLater();
        if (!found)
            return;
        activate(*window);
        act(*window);
        // A test that failed inside leaves no window open to wait for.
        if (auto *dialog = qobject_cast<QDialog *>(window); dialog && dialog->isVisible())
            dialog->reject();
    });
    timer->start(10);
}

// Where a key goes: the control with the keyboard in the window on top (a modal window may not be the
// active one yet on a platform without a window manager).
QWidget *keyboard()
{
    QWidget *modal = QApplication::activeModalWidget();
    QWidget *focus = QApplication::focusWidget();
    if (modal && (!focus || focus->window() != modal)) {
        QApplication::setActiveWindow(modal); // the window manager would
        return modal->focusWidget() ? modal->focusWidget() : modal;
    }
    if (focus)
        return focus;
    // A modal window closed: the keyboard goes back to the window below it.
    for (QWidget *window : QApplication::topLevelWidgets())
        if (auto *manager = qobject_cast<ManagerWindow *>(window); manager && manager->isVisible()) {
            QApplication::setActiveWindow(manager);
            return manager->focusWidget() ? manager->focusWidget() : manager;
        }
    return nullptr;
}

// Presses Tab (at most 80 times) until the keyboard is in the control of that name.
bool tabTo(const QString &name)
{
    for (int i = 0; i < 80; ++i) {
        for (QWidget *w = keyboard(); w; w = w->parentWidget())
            if (w->objectName() == name)
                return true;
        QTest::keyClick(keyboard(), Qt::Key_Tab);
    }
    return false;
}

void type(const QString &text)
{
    QTest::keyClick(keyboard(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(keyboard(), text);
}

void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(keyboard(), Qt::Key(k), modifiers);
}

// Answers the next reason dialog (over that window) with this name (when it asks for one) and reason, typed.
void answerReason(const QString &name, const QString &reason, const QWidget *over = nullptr)
{
    onModal(
        [=](QWidget &dialog) {
            QVERIFY(qobject_cast<app::ReasonDialog *>(&dialog));
            if (!name.isNull())
                type(name); // the name field has the keyboard
            if (!reason.isNull()) {
                if (!name.isNull())
                    key(Qt::Key_R, Qt::AltModifier);
                type(reason);
            }
            key(Qt::Key_Return);
        },
        over);
}

// Reads the next refusal box into heard and closes it with the key, which reaches the box's OK button.
void answerRefusal(QString *heard, int dismiss, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    onModal(
        [=](QWidget &window) {
            auto *box = qobject_cast<QMessageBox *>(&window);
            QVERIFY(box);
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QCOMPARE(keyboard()->objectName(), QStringLiteral("cmdOk"));
            *heard = box->text();
            key(dismiss, modifiers);
            QTRY_VERIFY(!box->isVisible());
        },
        nullptr, QStringLiteral("msgRefused"));
}

// Every set as the store holds it now, the deleted ones and every revision: what must not change when
// the store refuses.
QString everything(host::SqlStore &store)
{
    QString text = heldSets(store);
    for (const host::SetOverview &s : host::setOverview(store, true)) {
        text += QStringLiteral("%1 %2 %3 %4\n").arg(s.name).arg(s.attributes).arg(s.deleted).arg(s.revisions);
        for (const host::Revision &r : host::setHistory(store, s.setId))
            text += QStringLiteral("  %1 %2 %3\n").arg(r.number).arg(host::actionName(r.action), r.reason);
    }
    return text;
}

// An exchange file of the casework set under another name.
QString exchangeFile(host::SqlStore &store, const QString &folder, const QString &name)
{
    QJsonObject root = host::exportStore(store, {kCasework}).object();
    QJsonArray sets = root.value(QStringLiteral("sets")).toArray();
    QJsonObject set = sets.at(0).toObject();
    set.insert(QStringLiteral("name"), name);
    sets.replace(0, set);
    root.insert(QStringLiteral("sets"), sets);
    const QString path = folder + QStringLiteral("/sets.veltrane.json");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson()) < 0)
        return {};
    return path;
}

} // namespace

class TestManagerWindow : public QObject
{
    Q_OBJECT
public:
    explicit TestManagerWindow(QString engine)
        : m_engine(std::move(engine))
    {}

private slots:
    void init();
    void cleanup();
    void keyboardAlone();
    void actionsAndRefusals_data();
    void actionsAndRefusals();
    void filtersAndSorts();
    void importAndExportCanBeCancelled_data();
    void importAndExportCanBeCancelled();

private:
    QString m_engine;
    std::unique_ptr<EngineHost> m_host;
    std::unique_ptr<ManagerWindow> m_window;
};

void TestManagerWindow::init()
{
    m_host = std::make_unique<EngineHost>(m_engine);
    m_window = std::make_unique<ManagerWindow>(m_host->host().store());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_VERIFY(!m_window->shownSets().isEmpty()); // the list comes once the window is drawn
    m_window->activateWindow();
    m_window->list()->setFocus();
}

void TestManagerWindow::cleanup()
{
    m_window.reset();
    m_host.reset();
}

// New -> Save -> Edit -> History -> Compare -> Restore with key presses alone.
void TestManagerWindow::keyboardAlone()
{
    host::SqlStore &store = m_host->host().store();
    const QString name = QStringLiteral("Keyboard Set");

    onNextWindow([&](host::ServiceWindowDialog &editor) {
        activate(editor);
        QVERIFY(tabTo(QStringLiteral("txtParameterSetName")));
        type(name);
        key(Qt::Key_S, Qt::AltModifier);
    });
    key(Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(m_window->outcome(), QStringLiteral("Created \"%1\".").arg(name));
    QCOMPARE(m_window->list()->currentIndex().data().toString(), name);
    const qint32 id = host::setIdByName(store, name);
    const float before = host::setRevision(store, id).settings->SlopeThreshold();

    onNextWindow([&](host::ServiceWindowDialog &editor) {
        activate(editor);
        QVERIFY(tabTo(QStringLiteral("txtSlopeThreshold")));
        type(QStringLiteral("13"));
        key(Qt::Key_S, Qt::AltModifier);
    });
    key(Qt::Key_Return); // Enter on a set edits it
    QCOMPARE(m_window->outcome(), QStringLiteral("Saved \"%1\".").arg(name));
    QCOMPARE(m_host->stored(name)->SlopeThreshold(), 13.0f);

    // A button's access key clicks it a moment later, as a click shows: hence the waits.
    QStringList compared;
    bool restored = false;
    onModal([&](QWidget &history) {
        auto *window = qobject_cast<app::HistoryWindow *>(&history);
        QVERIFY(window);
        QCOMPARE(window->revisions()->rowCount(), 2);
        key(Qt::Key_Down); // revision 1
        onModal(
            [&](QWidget &compare) {
                auto *c = qobject_cast<app::CompareWindow *>(&compare);
                QVERIFY(c);
                compared = c->shownRows();
                key(Qt::Key_D, Qt::AltModifier); // every row
                QTRY_VERIFY(c->shownRows().size() > compared.size());
                key(Qt::Key_Escape);
            },
            &history);
        key(Qt::Key_P, Qt::AltModifier);
        QTRY_VERIFY(!compared.isEmpty());
        answerReason(QString(), QStringLiteral("back to the validated value"), &history);
        key(Qt::Key_R, Qt::AltModifier);
        QTRY_VERIFY2(window->outcome().startsWith(QStringLiteral("Restored")), qPrintable(window->outcome()));
        restored = true;
        key(Qt::Key_Escape);
    });
    key(Qt::Key_H, Qt::ControlModifier);
    QVERIFY(restored);
    QCOMPARE(compared, QStringList{QStringLiteral("General / Slope threshold: %1 | 13").arg(before)});
    QVERIFY2(m_window->outcome().contains(QStringLiteral("revision 3")), qPrintable(m_window->outcome()));
    QCOMPARE(m_host->stored(name)->SlopeThreshold(), before);
    const QList<host::Revision> revisions = host::setHistory(*m_host->other(), id);
    QCOMPARE(revisions.size(), 3);
    QCOMPARE(revisions.first().action, host::RevisionAction::Restored);
    QCOMPARE(revisions.first().reason, QStringLiteral("back to the validated value"));

    // A name taken: the refusal comes in a box that has the keyboard, and Escape leaves it.
    QString heard;
    answerReason(kDefault, QString());
    answerRefusal(&heard, Qt::Key_Escape);
    key(Qt::Key_F2);
    QVERIFY(!heard.isEmpty());
    QCOMPARE(m_window->outcome(), QStringLiteral("Not done: ") + heard);
    QCOMPARE(host::setHistory(*m_host->other(), id).size(), 3);
    QCOMPARE(keyboard(), m_window->list());
}

void TestManagerWindow::actionsAndRefusals_data()
{
    QTest::addColumn<QString>("set");
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("name"); // typed into the dialog's name field; null when it has none
    QTest::addColumn<QString>("says");
    QTest::addColumn<QString>("state");  // the set's State column afterwards; null when the store refused
    QTest::addColumn<bool>("meanwhile"); // another workstation locks the set after the list was read
    const auto c = [](ManagerWindow::Command command) { return int(command); };
    using C = ManagerWindow::Command;
    QTest::newRow("lock") << kCasework << c(C::Lock) << QString() << "Locked \"" + kCasework + "\"."
                          << "read-only" << false;
    QTest::newRow("hide") << kPanel << c(C::Hide) << QString() << "Hid \"" + kPanel + "\"."
                          << "hidden" << false;
    QTest::newRow("rename") << kPanel << c(C::Rename) << QStringLiteral("Panel B") << "Renamed \"" + kPanel
                            << QString("") << false;
    QTest::newRow("delete") << kPanel << c(C::Delete) << QString() << "Deleted \"" + kPanel << "deleted" << false;
    QTest::newRow("delete the default set")
        << kDefault << c(C::Delete) << QString() << QStringLiteral("Not done: ") << QString() << false;
    QTest::newRow("rename to a taken name, case aside")
        << kPanel << c(C::Rename) << kCasework.toUpper() << QStringLiteral("Not done: ") << QString() << false;
    QTest::newRow("rename a read-only set")
        << kDefault << c(C::Rename) << QStringLiteral("Other") << QStringLiteral("Not done: ") << QString() << false;
    QTest::newRow("hide the default set")
        << kDefault << c(C::Hide) << QString() << QStringLiteral("Not done: ") << QString() << false;
    QTest::newRow("changed meanwhile") << kCasework << c(C::Hide) << QString() << QStringLiteral("Not done: ")
                                       << QString() << true;
}

void TestManagerWindow::actionsAndRefusals()
{
    QFETCH(QString, set);
    QFETCH(int, command);
    QFETCH(QString, name);
    QFETCH(QString, says);
    QFETCH(QString, state);
    QFETCH(bool, meanwhile);
    host::SqlStore &store = m_host->host().store();
    m_window->showDeleted()->setChecked(true);
    QVERIFY(m_window->choose(set));
    const qint32 id = host::setIdByName(store, set);
    if (meanwhile)
        host::lockSet(*m_host->other(), set);
    const QString before = everything(*m_host->other());
    answerReason(name, QStringLiteral("row %1").arg(QTest::currentDataTag()));
    QString heard;
    if (state.isNull())
        answerRefusal(&heard, Qt::Key_Return);
    m_window->action(ManagerWindow::Command(command))->trigger();
    QVERIFY2(m_window->outcome().startsWith(says), qPrintable(m_window->outcome()));
    if (state.isNull()) {
        QCOMPARE(everything(*m_host->other()), before);
        QVERIFY(heard.size() > 10); // the store's own words
        QCOMPARE(m_window->outcome(), QStringLiteral("Not done: ") + heard);
        return;
    }
    const host::Revision last = host::setHistory(*m_host->other(), id).first();
    QCOMPARE(last.reason, QStringLiteral("row %1").arg(QTest::currentDataTag()));
    const QString shownName = name.isNull() ? set : name;
    QVERIFY(m_window->choose(shownName, state == QLatin1String("deleted")));
    QCOMPARE(m_window->list()->currentIndex().siblingAtColumn(app::SetListModel::State).data().toString(), state);
}

void TestManagerWindow::filtersAndSorts()
{
    m_window->showDeleted()->setChecked(false);
    QTest::keyClicks(m_window->filter(), QStringLiteral("sNp"));
    QCOMPARE(m_window->shownSets(), QStringList{kPanel});
    m_window->filter()->clear();
    const QStringList all = m_window->shownSets();
    QCOMPARE(all.size(), 5); // hidden ones too
    m_window->list()->sortByColumn(app::SetListModel::Name, Qt::DescendingOrder);
    QStringList reversed = all;
    std::reverse(reversed.begin(), reversed.end());
    QCOMPARE(m_window->shownSets(), reversed);
    // Sorted by revision count, the set with more revisions comes last.
    QVERIFY(m_window->choose(kPanel));
    answerReason(QString(), QString());
    m_window->action(ManagerWindow::Command::Lock)->trigger();
    m_window->list()->sortByColumn(app::SetListModel::Revisions, Qt::AscendingOrder);
    QCOMPARE(m_window->shownSets().constLast(), kPanel);
}

void TestManagerWindow::importAndExportCanBeCancelled_data()
{
    QTest::addColumn<bool>("import");
    QTest::addColumn<int>("cancelAt"); // the progress step (0 first) at which Cancel is pressed; -1 never
    QTest::addColumn<QString>("says");
    QTest::addColumn<bool>("deletedChosen"); // a deleted set alone is chosen for the export
    QTest::newRow("import") << true << -1 << "Imported 1 parameter set." << false;
    QTest::newRow("import cancelled at once")
        << true << 0 << "The import was cancelled; nothing was imported." << false;
    QTest::newRow("import cancelled before it commits")
        << true << 1 << "The import was cancelled; nothing was imported." << false;
    QTest::newRow("export") << false << -1 << "Exported every set to " << false;
    QTest::newRow("export cancelled") << false << 2 << "The export was cancelled; no file was written." << false;
    QTest::newRow("export of a deleted set alone") << false << -1 << "Not done: A deleted set" << true;
}

void TestManagerWindow::importAndExportCanBeCancelled()
{
    QFETCH(bool, import);
    QFETCH(int, cancelAt);
    QFETCH(QString, says);
    QFETCH(bool, deletedChosen);
    host::SqlStore &store = m_host->host().store();
    if (deletedChosen) {
        host::deleteSet(*m_host->other(), kPanel);
        m_window->showDeleted()->setChecked(true);
        QVERIFY(m_window->choose(kPanel, true));
    }
    QTemporaryDir folder;
    const QString imported = QStringLiteral("From Another Lab");
    const QString file = import ? exchangeFile(store, folder.path(), imported) : folder.filePath("out.json");
    const QString before = everything(*m_host->other());
    int step = 0;
    connect(m_window.get(), &ManagerWindow::exchangeProgressed, this, [&] {
        if (step++ != cancelAt)
            return;
        for (QWidget *window : QApplication::topLevelWidgets())
            if (auto *progress = qobject_cast<QProgressDialog *>(window))
                progress->cancel();
    });
    if (import) {
        onModal([](QWidget &window) {
            auto *importing = qobject_cast<app::ImportWindow *>(&window);
            QVERIFY(importing);
            const QString offer = importing->outcome();
            key(Qt::Key_I, Qt::AltModifier);
            QTRY_VERIFY(importing->outcome() != offer);
            key(Qt::Key_Escape);
        });
        m_window->importFile(file);
    } else {
        if (!deletedChosen)
            m_window->list()->clearSelection(); // nothing chosen: every set
        QString heard;
        if (deletedChosen)
            answerRefusal(&heard, Qt::Key_O, Qt::AltModifier);
        m_window->exportTo(file);
        QCOMPARE(!heard.isEmpty(), deletedChosen);
    }
    QVERIFY2(m_window->outcome().startsWith(says), qPrintable(m_window->outcome()));
    if (cancelAt >= 0 || deletedChosen) {
        QCOMPARE(everything(*m_host->other()), before);
        QVERIFY(import || !QFile::exists(file));
        return;
    }
    if (import) {
        QVERIFY(m_window->shownSets().contains(imported));
        QCOMPARE(host::setHistory(*m_host->other(), host::setIdByName(store, imported)).first().action,
                 host::RevisionAction::Imported);
    } else {
        host::StoreOptions empty;
        empty.seed = false;
        QCOMPARE(host::importStoreFromFile(*host::SqlStore::open(QStringLiteral(":memory:"), empty), file).sets.size(),
                 5);
    }
}

VELTRANE_PAGE_STORE_TEST_MAIN(TestManagerWindow)
#include "test_manager_window.moc"
