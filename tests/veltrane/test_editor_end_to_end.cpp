// The whole job through the application's own windows: the selection window's New and Edit, the
// editor, Save As, and what users find afterwards, in the window and in a fresh process, also when
// the store refuses a commit or another workstation changed the set meanwhile.

#include "editor_driver.h"
#include "page_host.h"
#include "support/data_rows.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"
#include "veltrane/service/service.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLocale>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>

using namespace veltrane;
using namespace veltrane::test;

namespace {

const QString kCasework = QStringLiteral("STR Casework 20-Fragment Ladder");
const QString kReadOnlyTip =
    QStringLiteral("This is a read-only item.  You must give a new name to save your settings.");

// Runs the selection window as the application opens it, with act inside it.
void runSelection(const std::function<void(EditorDriver &)> &act)
{
    onNextPage(act);
    Service service;
    service.SelectAnalysisParameters();
}

// Clicks New or Edit on the selection page and runs act inside the editor that opens.
void openEditor(EditorDriver &selection, const QString &button, const std::function<void(EditorDriver &)> &act)
{
    onNextPage(act);
    QTest::mouseClick(qobject_cast<QAbstractButton *>(selection.control(button)), Qt::LeftButton);
    QCoreApplication::processEvents(); // the selection page comes back to the user
}

QString caption(const EditorDriver &driver, const QString &label)
{
    return driver.property(label, "Caption").toString();
}

// Another program holding the set's row (PostgreSQL) or the whole database (SQLite) locked, as a
// long write of another workstation does.
class LockHolder
{
public:
    LockHolder(const QString &location, const QString &setName)
        : m_name(QStringLiteral("lock-holder"))
    {
        const bool postgres = location.startsWith(QLatin1String("postgresql:"));
        QSqlDatabase db =
            QSqlDatabase::addDatabase(postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), m_name);
        QStringList statements;
        if (postgres) {
            const QUrl url(location);
            db.setHostName(url.host());
            db.setPort(url.port(5432));
            db.setUserName(url.userName());
            db.setDatabaseName(url.path().mid(1));
            statements << QStringLiteral("BEGIN")
                       << QStringLiteral("SET LOCAL search_path TO \"%1\"")
                              .arg(QUrlQuery(url).queryItemValue(QStringLiteral("schema")))
                       << QStringLiteral("SELECT id FROM parameter_sets WHERE name = '%1' FOR UPDATE").arg(setName);
        } else {
            db.setDatabaseName(location);
            statements << QStringLiteral("BEGIN EXCLUSIVE");
        }
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        QSqlQuery query(db);
        for (const QString &sql : statements)
            QVERIFY2(query.exec(sql), qPrintable(query.lastError().text()));
    }
    ~LockHolder()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }

private:
    QString m_name;
};

} // namespace

class TestEditorEndToEnd : public QObject
{
    Q_OBJECT
public:
    explicit TestEditorEndToEnd(QString engine)
        : m_engine(std::move(engine))
    {}

private slots:
    void init();
    void cleanup();

    void newSetIsListedAndSelected();
    void editedSetShowsInTheSummaryAndAfterARestart();
    void readOnlyDefaultIsSavedUnderANewName();
    void refusedCommitKeepsTheEditorAndTheInput_data();
    void refusedCommitKeepsTheEditorAndTheInput();
    void anotherProcessWinsTheRace();

private:
    FragAnalysisParamPtr stored(const QString &name) const { return m_store->stored(name); }
    QList<host::HostUtilities::Report> shownReports() { return m_store->host().shownReports(); }
    // Runs the application as a separate process on the same store.
    QString runApp(const QStringList &arguments, int *exitCode = nullptr) const;

    QString m_engine;
    std::unique_ptr<EngineHost> m_store;
    QTemporaryDir m_dir;
};

void TestEditorEndToEnd::init()
{
    m_store = std::make_unique<EngineHost>(m_engine);
}

void TestEditorEndToEnd::cleanup()
{
    m_store.reset();
}

QString TestEditorEndToEnd::runApp(const QStringList &arguments, int *exitCode) const
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELTRANE_APP_PATH), QStringList{"--db", m_store->location()} + arguments);
    if (!process.waitForFinished(60000))
        process.kill();
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

void TestEditorEndToEnd::newSetIsListedAndSelected()
{
    QString selected, project, model;
    runSelection([&](EditorDriver &selection) {
        openEditor(selection, QStringLiteral("cmdNew"), [](EditorDriver &editor) {
            editor.apply({QStringLiteral("txtParameterSetName=Run 12"), QStringLiteral("cmbProjects=Casework"),
                          QStringLiteral("txtSlopeThreshold=14")});
            QVERIFY(editor.click(kCommandCommit));
        });
        selected = selection.text(QStringLiteral("cmbAnalysisParams"));
        project = caption(selection, QStringLiteral("lblProject"));
        model = caption(selection, QStringLiteral("lblModel"));
    });
    QCOMPARE(selected, QStringLiteral("Run 12"));
    QCOMPARE(project, QStringLiteral("Casework"));
    QCOMPARE(model, QStringLiteral("Local Southern")); // the default set's model, as the template had it
    QCOMPARE(stored(QStringLiteral("Run 12"))->SlopeThreshold(), 14.0f);
    QVERIFY(shownReports().isEmpty());
}

void TestEditorEndToEnd::editedSetShowsInTheSummaryAndAfterARestart()
{
    QString model, calibration, dateBefore, dateAfter;
    runSelection([&](EditorDriver &selection) {
        selection.apply(QStringLiteral("cmbAnalysisParams=") + kCasework);
        dateBefore = caption(selection, QStringLiteral("lblDateModified"));
        openEditor(selection, QStringLiteral("cmdEdit"), [](EditorDriver &editor) {
            editor.apply({QStringLiteral("cmbModel=Quadratic"), QStringLiteral("cmbMobility=Long Polymer Mobility")});
            QVERIFY(editor.click(kCommandCommit));
        });
        model = caption(selection, QStringLiteral("lblModel"));
        calibration = caption(selection, QStringLiteral("lblCalibrationMatrix"));
        dateAfter = caption(selection, QStringLiteral("lblDateModified"));
    });
    QCOMPARE(model, QStringLiteral("Quadratic"));
    QCOMPARE(calibration, QStringLiteral("Long Polymer Mobility"));
    QVERIFY(dateAfter != dateBefore);

    int exitCode = -1;
    const QString shown = runApp({QStringLiteral("show"), kCasework}, &exitCode);
    QCOMPARE(exitCode, 0);
    QVERIFY2(shown.contains(QLatin1String("\nModel: Quadratic\n")), qPrintable(shown));
    QVERIFY2(shown.contains(QLatin1String("\nDye Mobility Calibration: Long Polymer Mobility\n")), qPrintable(shown));
    QVERIFY2(shown.contains(QStringLiteral("\nDate Modified: %1\n").arg(dateAfter)), qPrintable(shown));
}

void TestEditorEndToEnd::readOnlyDefaultIsSavedUnderANewName()
{
    const QString before = describe(*stored(stored::kDefaultParameterSet));
    QString selected, tip, slope;
    bool refused = false, okOffered = true;
    runSelection([&](EditorDriver &selection) {
        openEditor(selection, QStringLiteral("cmdEdit"), [&](EditorDriver &editor) {
            editor.apply(QStringLiteral("txtSlopeThreshold=16"));
            refused = !editor.click(kCommandCommit);
            okOffered = editor.window().button(kCommandCommit)->isEnabled();
            tip = editor.property(QStringLiteral("txtParameterSetName"), "ToolTipText").toString();
            slope = editor.text(QStringLiteral("txtSlopeThreshold"));
            saveAs(editor, QStringLiteral("My defaults"));
        });
        selected = selection.text(QStringLiteral("cmbAnalysisParams"));
    });
    QVERIFY(refused);
    QVERIFY(!okOffered);
    QCOMPARE(tip, kReadOnlyTip);
    QCOMPARE(slope, QStringLiteral("16"));
    const auto shown = shownReports();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().error.number(), qint32(kStoreReadOnly));
    QVERIFY(shown.first().error.description().contains(stored::kDefaultParameterSet));
    QCOMPARE(selected, QStringLiteral("My defaults"));
    QCOMPARE(stored(QStringLiteral("My defaults"))->SlopeThreshold(), 16.0f);
    QCOMPARE(stored(QStringLiteral("My defaults"))->Attributes(), 0);
    QCOMPARE(describe(*stored(stored::kDefaultParameterSet)), before);
}

void TestEditorEndToEnd::refusedCommitKeepsTheEditorAndTheInput_data()
{
    columns<QString, qint32, QString>("cause", "number", "says");
    row("changed by another workstation", "changed", qint32(kStoreConflict), "was changed by");
    row("created by another workstation", "created", qint32(kStoreConflict), "was stored by");
    row("locked by another program", "locked", qint32(kStoreBusy), "was not saved");
}

void TestEditorEndToEnd::refusedCommitKeepsTheEditorAndTheInput()
{
    QFETCH(QString, cause);
    QFETCH(qint32, number);
    QFETCH(QString, says);
    const bool isNew = cause == QLatin1String("created");
    const QString name = isNew ? QStringLiteral("Run 13") : kCasework;

    // What the other workstation stores meanwhile, if anything.
    const auto otherSave = [&]() -> FragAnalysisParamPtr {
        auto settings = FragAnalysisParamPtr::create();
        settings->setStore(m_store->other());
        settings->setName(name);
        if (!isNew)
            settings->Retrieve();
        settings->setSlopeThreshold(99);
        settings->Commit();
        return settings;
    };
    FragAnalysisParamPtr theirs;
    std::unique_ptr<LockHolder> lock;
    bool ended = true;
    QString slope, nameText;
    runSelection([&](EditorDriver &selection) {
        if (!isNew)
            selection.apply(QStringLiteral("cmbAnalysisParams=") + kCasework);
        openEditor(selection, isNew ? QStringLiteral("cmdNew") : QStringLiteral("cmdEdit"), [&](EditorDriver &editor) {
            if (isNew)
                editor.apply(QStringLiteral("txtParameterSetName=") + name);
            editor.apply(QStringLiteral("txtSlopeThreshold=18"));
            if (cause == QLatin1String("locked"))
                lock = std::make_unique<LockHolder>(m_store->location(), name);
            else
                theirs = otherSave();
            ended = editor.click(kCommandCommit);
            lock.reset();
            slope = editor.text(QStringLiteral("txtSlopeThreshold"));
            nameText = editor.text(QStringLiteral("txtParameterSetName"));
            QVERIFY(editor.click(kCommandCancel));
        });
    });
    QVERIFY(!ended);
    QCOMPARE(slope, QStringLiteral("18"));
    QCOMPARE(nameText, name);
    const auto shown = shownReports();
    QCOMPARE(shown.size(), 1);
    const QString message = shown.first().error.description();
    QCOMPARE(shown.first().error.number(), number);
    QVERIFY2(message.contains(QLatin1Char('"') + name + QLatin1Char('"')), qPrintable(message));
    QVERIFY2(message.contains(says), qPrintable(message));
    if (theirs) {
        // Who changed it, and when, as far as the store knows.
        const QString when = QLocale().toString(theirs->ConvertDate(theirs->DateModified()), QLocale::ShortFormat);
        QVERIFY2(message.contains(QSysInfo::machineHostName()), qPrintable(message));
        QVERIFY2(message.contains(when), qPrintable(message));
        QCOMPARE(stored(name)->SlopeThreshold(), 99.0f); // their change stands
    } else {
        QVERIFY(stored(name)->SlopeThreshold() != 18.0f);
    }
}

void TestEditorEndToEnd::anotherProcessWinsTheRace()
{
    const QString exported = m_dir.filePath(QStringLiteral("casework.json"));
    int exitCode = -1;
    runApp({QStringLiteral("export"), kCasework, QStringLiteral("-o"), exported}, &exitCode);
    QCOMPARE(exitCode, 0);

    QString message, selected, importOutput;
    runSelection([&](EditorDriver &selection) {
        selection.apply(QStringLiteral("cmbAnalysisParams=") + kCasework);
        openEditor(selection, QStringLiteral("cmdEdit"), [&](EditorDriver &editor) {
            editor.apply(QStringLiteral("txtSlopeThreshold=19"));
            // The other workstation writes the set back while this one is editing it.
            int importExit = -1;
            importOutput = runApp({QStringLiteral("import"), exported, QStringLiteral("--replace")}, &importExit);
            QCOMPARE(importExit, 0);
            QVERIFY(!editor.click(kCommandCommit));
            const auto shown = shownReports();
            if (!shown.isEmpty())
                message = shown.last().error.description();
            saveAs(editor, QStringLiteral("Casework, my changes"));
        });
        selected = selection.text(QStringLiteral("cmbAnalysisParams"));
    });
    QVERIFY2(message.contains(QStringLiteral("\"%1\" was changed by").arg(kCasework)),
             qPrintable(message + importOutput));
    QCOMPARE(selected, QStringLiteral("Casework, my changes"));
    QCOMPARE(stored(QStringLiteral("Casework, my changes"))->SlopeThreshold(), 19.0f);
    QCOMPARE(stored(kCasework)->SlopeThreshold(), 12.0f);
}

VELTRANE_PAGE_STORE_TEST_MAIN(TestEditorEndToEnd)

#include "test_editor_end_to_end.moc"
