// The component library as a host meets it: this program does not link libveltrane. It registers the
// library with veltrane-register into a registry of its own (the XDG folders point into a temporary
// folder), creates the classes by programmatic identifier through the registry and drives them
// late-bound, with the real page framework and store.

#include "host/framework/flow_registry.h"
#include "host/framework/framework_factories.h"
#include "host/framework/host_utilities.h"
#include "host/framework/service_window_dialog.h"
#include "host/grid_utilities/host_grid_utilities.h"
#include "host/objects/sql_object_manager.h"
#include "host/objects/sql_store.h"
#include "host/registry/component_host.h"
#include "support/data_rows.h"
#include "veltrane/contracts/component_registry.h"
#include "veltrane/contracts/host_services.h"

#include "support/error_number.h"
#include "support/published_types.h"
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <QTest>
#include <QTimer>

using namespace veltrane;
using veltrane::test::columns;
using veltrane::test::row;
using namespace veltrane::host;
using automation::CallKind;

namespace {

const QString kLibrary = QStringLiteral(VELTRANE_LIBRARY_PATH);
const QString kRegister = QStringLiteral(VELTRANE_REGISTER_PATH);
const QString kHostLibrary = QStringLiteral(VELTRANE_HOST_LIBRARY_PATH);
const QString kApp = QStringLiteral(VELTRANE_APP_PATH);
const QUuid kPageAccess(QStringLiteral("{93587343-9FFF-4F30-8780-CA783AAC6675}"));

bool libraryMapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/libveltrane.so");
}

// Every file under a folder with its content.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        if (f.open(QIODevice::ReadOnly))
            files.insert(f.fileName().mid(folder.size()), f.readAll());
    }
    return files;
}

// A one-class registration as another library would make it.
components::Registration registration(const QString &lib, const QString &path, const QUuid &clsid,
                                      const QString &className, const QString &progId)
{
    components::Registration r;
    r.typeLib = {QUuid::createUuid(), lib, QStringLiteral("1.0"), 0x409, path};
    r.classes = {
        {clsid, className, progId, path, QStringLiteral("Apartment"), r.typeLib.libId, r.typeLib.version, false}};
    return r;
}

} // namespace

class TestComponentHost : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void serviceByProgIdRunsTheSelectionFlow();
    void everyClassByProgId_data();
    void everyClassByProgId();
    void unloadableOnlyWithoutObjectsOrLocks();
    void registryHoldsThePublishedTypes();
    void editorFindsTheOutsideControlInTheRegistry();
    void unknownNamesAreClearErrors();
    void concurrentRegistrationsLeaveAWholeRegistry();
    void theUsersEntryWins();
    void unregisterRemovesExactlyItsEntries();

private:
    int runRegister(const QStringList &arguments);

    QTemporaryDir m_dir;
    QString m_user;
    QMap<QString, QByteArray> m_before;
    std::shared_ptr<SqlStore> m_store;
    std::shared_ptr<HostUtilities::Capture> m_hook;
};

int TestComponentHost::runRegister(const QStringList &arguments)
{
    QProcess p;
    p.start(kRegister, arguments);
    if (!p.waitForFinished(60000)) {
        p.kill();
        return -1;
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
}

void TestComponentHost::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("user"))));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(m_dir.filePath(QStringLiteral("system"))));
    qunsetenv("VELTRANE_REGISTRY_SCOPE");
    m_user = components::registryFolder(components::Scope::User);
    QVERIFY(m_user.startsWith(m_dir.path()));

    // Another component's entries, which registering and unregistering Veltrane must leave alone.
    components::registerComponents(registration(QStringLiteral("Other"), QStringLiteral("/opt/other/libother.so"),
                                                QUuid::createUuid(), QStringLiteral("Thing"),
                                                QStringLiteral("Other.Thing")),
                                   components::Scope::User);
    // The host's own component library, whose STR locus tag selector the editor finds here.
    QCOMPARE(runRegister({QStringLiteral("--user"), kHostLibrary}), 0);
    m_before = snapshot(m_user);

    QVERIFY2(!libraryMapped(), "the host must not link the library");
    QCOMPARE(runRegister({QStringLiteral("--user"), kLibrary}), 0);
    QVERIFY(!libraryMapped());

    m_hook = std::make_shared<HostUtilities::Capture>();
    HostUtilities::setCapture(m_hook);
    m_store = SqlStore::open(m_dir.filePath(QStringLiteral("store.sqlite")));
    installHostFactories(
        {&makeFrameworkApplication, &makeFrameworkUtilities, SqlObjectManager::factory(m_store), &makeGridUtilities});
    // The framework makes the library's pages through the registry, as it would any component's.
    FlowRegistry::instance().setPageFactory([](const QString &className) -> QWidget * {
        const ComponentObject page = createComponent(QStringLiteral("Veltrane.") + className);
        return qobject_cast<QWidget *>(page.take());
    });
    FlowRegistry::instance().registerFlow(QStringLiteral("SelectAnalysisParameters"),
                                          {QStringLiteral("SelectParamPage")});
}

void TestComponentHost::cleanupTestCase()
{
    ServiceWindowDialog::clearWhenShown();
    FlowRegistry::instance().clear();
    installHostFactories({});
    resetThreadHelpers();
    HostUtilities::setCapture(nullptr);
}

void TestComponentHost::serviceByProgIdRunsTheSelectionFlow()
{
    const ComponentObject service = createComponent(QStringLiteral("Veltrane.Service"));
    QVERIFY(libraryMapped());
    QString shownPage;
    qint32 keysAtStart = -1;
    ServiceWindowDialog::whenShown([&](ServiceWindowDialog &window) {
        shownPage = QString::fromLatin1(window.currentPage()->metaObject()->className());
        keysAtStart = window.businessContext()->Count();
        QTest::mouseClick(window.button(2), Qt::LeftButton);
        QTimer::singleShot(5000, &window, [&window] { window.ExecuteCommand(2); }); // never hang
    });
    service.call(QStringLiteral("selectanalysisparameters"));
    QCOMPARE(shownPage, QStringLiteral("veltrane::SelectParamPage"));
    QCOMPARE(keysAtStart, 0);
    QVERIFY(m_hook->boxes.isEmpty());
}

void TestComponentHost::everyClassByProgId_data()
{
    columns<QString, QUuid, bool>("className", "defaultInterface", "page");
    row("Service", "Service", QUuid("{4D07FF62-3DBE-4F0C-918A-CE501C05C109}"), false);
    row("AnalysisParamPage", "AnalysisParamPage", QUuid("{BC2D004A-FB93-48E9-B08A-B94EFCD971A3}"), true);
    row("SaveAsParamPage", "SaveAsParamPage", QUuid("{1632727C-EAB0-456A-9510-A7A116917933}"), true);
    row("SelectParamPage", "SelectParamPage", QUuid("{3FBBF188-0210-4C7F-B1C6-66AEE45A09B9}"), true);
    // A control placed on a page, not a page.
    row("SNPLocusTagSelector", "SNPLocusTagSelector", QUuid("{C6C4AA3B-563D-4B47-8121-143DAA62E3D3}"), false);
}

void TestComponentHost::everyClassByProgId()
{
    QFETCH(QString, className);
    QFETCH(QUuid, defaultInterface);
    QFETCH(bool, page);
    const QString progId = QStringLiteral("Veltrane.") + className;
    QVERIFY(components::findProgId(progId)); // every class is registered, built or not
    ComponentObject object;
    QCOMPARE(test::errorNumberOf([&] { object = createComponent(progId); }), 0); // every class has a factory

    QVERIFY(object.implements(defaultInterface));
    QCOMPARE(object.implements(kPageAccess), page);
    QVERIFY(!object.implements(QUuid::createUuid()));
    QCOMPARE(object.object()->isWidgetType(), className != QLatin1String("Service"));
    const qint32 pageFailure = test::errorNumberOf(
        [&] { QVERIFY(object.call(QStringLiteral("Page"), {}, CallKind::PropertyGet).value<QObject *>()); });
    QCOMPARE(pageFailure, page ? 0 : qint32(kDispMemberNotFound));
}

void TestComponentHost::unloadableOnlyWithoutObjectsOrLocks()
{
    const ComponentLibrary &lib = loadComponentLibrary(kLibrary);
    QCOMPARE(lib.canUnloadNow(), VT_S_OK);
    {
        const ComponentObject service = createComponent(QStringLiteral("Veltrane.Service"));
        ComponentObject copy = service;
        QCOMPARE(lib.canUnloadNow(), VT_S_FALSE);
    }
    QCOMPARE(lib.canUnloadNow(), VT_S_OK);

    // A page the host took over keeps the library busy until the host destroys it.
    QWidget *page = qobject_cast<QWidget *>(createComponent(QStringLiteral("Veltrane.SelectParamPage")).take());
    QVERIFY(page);
    QCOMPARE(lib.canUnloadNow(), VT_S_FALSE);
    delete page;
    QCOMPARE(lib.canUnloadNow(), VT_S_OK);

    const VtGuid clsid = components::toGuid(QUuid(QStringLiteral("{C8FE094E-FDC7-4B52-AE2E-CF582DB72750}")));
    const VtGuid iid = VT_IID_ICLASSFACTORY;
    void *answer = nullptr;
    QCOMPARE(lib.getClassObject(&clsid, &iid, &answer), VT_S_OK);
    auto *factory = static_cast<VtClassFactory *>(answer);
    factory->vtbl->LockServer(factory, 1);
    QCOMPARE(lib.canUnloadNow(), VT_S_FALSE);
    factory->vtbl->LockServer(factory, 0);
    QCOMPARE(lib.canUnloadNow(), VT_S_OK);

    const VtGuid unknownClass = components::toGuid(QUuid::createUuid());
    QCOMPARE(lib.getClassObject(&unknownClass, &iid, &answer), VT_CLASS_E_CLASSNOTAVAILABLE);
    void *aggregated = nullptr;
    const VtGuid objectIid = VT_IID_VTOBJECT;
    QCOMPARE(factory->vtbl->CreateInstance(factory, reinterpret_cast<VtUnknown *>(factory), &objectIid, &aggregated),
             VT_CLASS_E_NOAGGREGATION);
    factory->vtbl->Release(factory);
}

void TestComponentHost::registryHoldsThePublishedTypes()
{
    // Read from the registry alone: the library registered its types with its classes.
    std::optional<typelib::TypeLibrary> types;
    for (const components::RegisteredTypeLibrary &r : components::registeredTypeLibraries())
        if (r.entry.name == QLatin1String("Veltrane"))
            types = r.types;
    QVERIFY(types);
    const QStringList differ = test::published::differences(*types);
    QVERIFY2(differ.isEmpty(), qPrintable(differ.join(QLatin1Char('\n'))));

    QProcess app;
    app.start(kApp, {QStringLiteral("typelib"), QStringLiteral("--registry")});
    QVERIFY(app.waitForFinished(60000));
    QCOMPARE(app.exitCode(), 0);
    const QString printed = QString::fromUtf8(app.readAllStandardOutput());
    QVERIFY2(printed.contains(typelib::describe(*types) + QStringLiteral("Library: ") +
                              QFileInfo(kLibrary).absoluteFilePath() + QLatin1Char('\n')),
             qPrintable(printed));
    QVERIFY2(printed.contains(QStringLiteral("Type library VeltraneHost ")), qPrintable(printed));
}

void TestComponentHost::editorFindsTheOutsideControlInTheRegistry()
{
    // The editor places the host's STR locus tag selector on its STR tab, made by the host's
    // component library, which this program does not link either.
    std::unique_ptr<QWidget> editor(
        qobject_cast<QWidget *>(createComponent(QStringLiteral("Veltrane.AnalysisParamPage")).take()));
    QVERIFY(editor);
    QWidget *selector = editor->findChild<QWidget *>(QStringLiteral("ctlSTRLocusTagSelector"));
    QVERIFY(selector);
    QCOMPARE(QString::fromLatin1(selector->metaObject()->className()),
             QStringLiteral("veltrane::host::STRLocusTagSelector"));
    QVERIFY(m_hook->reports.isEmpty());
}

void TestComponentHost::unknownNamesAreClearErrors()
{
    QCOMPARE(test::errorNumberOf([] { createComponent(QStringLiteral("Veltrane.Nothing")); }),
             qint32(kInvalidClassString));
    QCOMPARE(test::errorNumberOf([] { createComponent(QUuid::createUuid().toString()); }), qint32(kClassNotRegistered));
    QCOMPARE(test::errorNumberOf([] { createComponent(QStringLiteral("../clsid/x")); }), qint32(kInvalidClassString));
    QCOMPARE(test::errorNumberOf([] { loadComponentLibrary(QStringLiteral("/nonexistent/libnothing.so")); }),
             qint32(kLibraryNotFound));
}

void TestComponentHost::concurrentRegistrationsLeaveAWholeRegistry()
{
    // Several installers registering the library system-wide at the same moment.
    const QString system = components::registryFolder(components::Scope::System);
    QList<QProcess *> running;
    for (int i = 0; i < 4; ++i) {
        auto *p = new QProcess(this);
        p->start(kRegister, {QStringLiteral("--system"), kLibrary});
        running << p;
    }
    for (QProcess *p : running) {
        QVERIFY(p->waitForFinished(60000));
        QCOMPARE(p->exitCode(), 0);
        delete p;
    }
    const QMap<QString, QByteArray> files = snapshot(system);
    QCOMPARE(files.size(), 1 + 5 + 5 + 1); // the lock, five classes, five names, one type library
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        if (it.key() != QLatin1String("/.lock"))
            QVERIFY2(QJsonDocument::fromJson(it.value()).isObject(), qPrintable(it.key()));

    QCOMPARE(runRegister({QStringLiteral("--system"), QStringLiteral("--unregister"), kLibrary}), 0);
    QCOMPARE(snapshot(system).keys(), QStringList{QStringLiteral("/.lock")});
}

void TestComponentHost::theUsersEntryWins()
{
    // The same class registered for the system from another library: the user's entry answers.
    const QUuid clsid = *components::findProgId(QStringLiteral("Veltrane.Service"));
    const components::Registration elsewhere =
        registration(QStringLiteral("Elsewhere"), QStringLiteral("/usr/lib/elsewhere.so"), clsid,
                     QStringLiteral("Service"), QStringLiteral("Elsewhere.Service"));
    components::registerComponents(elsewhere, components::Scope::System);
    QCOMPARE(components::findClass(clsid)->library, QFileInfo(kLibrary).absoluteFilePath());
    QCOMPARE(*components::findProgId(QStringLiteral("Elsewhere.Service")), clsid);
    components::unregisterComponents(elsewhere, components::Scope::System);
    QVERIFY(!components::findProgId(QStringLiteral("Elsewhere.Service")));
}

void TestComponentHost::unregisterRemovesExactlyItsEntries()
{
    QVERIFY(snapshot(m_user).size() > m_before.size());
    // Another library took one of Veltrane's names over after Veltrane registered; the name stays its.
    const components::Registration takeover =
        registration(QStringLiteral("Takeover"), QStringLiteral("/opt/takeover/libtakeover.so"), QUuid::createUuid(),
                     QStringLiteral("Service"), QStringLiteral("Veltrane.Service"));
    components::registerComponents(takeover, components::Scope::User);
    QCOMPARE(runRegister({QStringLiteral("--unregister"), QStringLiteral("--user"), kLibrary}), 0);
    QCOMPARE(components::findProgId(QStringLiteral("Veltrane.Service")).value_or(QUuid()),
             takeover.classes.first().clsid);
    components::unregisterComponents(takeover, components::Scope::User);
    QCOMPARE(snapshot(m_user), m_before);
    QCOMPARE(test::errorNumberOf([] { createComponent(QStringLiteral("Veltrane.Service")); }),
             qint32(kInvalidClassString));
    QVERIFY(components::findProgId(QStringLiteral("other.thing"))); // names compare without regard to case
}

QTEST_MAIN(TestComponentHost)
#include "test_component_host.moc"
