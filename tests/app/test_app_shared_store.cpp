#include "app_process.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <pwd.h>
#include <unistd.h>

using veltrane::test::AppResult;

// Every command and option of the application against a store that another user keeps, in a folder of
// theirs, which this user may only read: each does what it can, and leaves the store and its folder as
// they were (no log or index of this user's beside it), so that the owner goes on writing.
class TestAppSharedStore : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyCommandLeavesTheStoreAsItWas_data();
    void everyCommandLeavesTheStoreAsItWas();
    void aStoreLeftHalfWrittenIsLeftToItsOwner();

private:
    QString m_owner; // a system user made for the test, and removed after it
    uid_t m_ownerId = 0;
};

namespace {

bool runAsRoot(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (p.waitForFinished(60000) && p.exitCode() == 0)
        return true;
    qWarning("%s: %s", qPrintable(program), p.readAll().constData());
    return false;
}

// A folder of the test's that the given user owns, with the given mode.
bool ownedFolder(const QString &path, const QString &user, QFile::Permissions permissions, bool sticky = false)
{
    return QDir().mkpath(path) && runAsRoot(QStringLiteral("chown"), {user, path}) &&
           QFile::setPermissions(path, permissions) &&
           (!sticky || runAsRoot(QStringLiteral("chmod"), {QStringLiteral("+t"), path}));
}

} // namespace

void TestAppSharedStore::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("a store of another user's needs another user, which only root can make for the test (CI runs as "
              "root)");
    m_owner = QStringLiteral("vt-owner-%1").arg(QCoreApplication::applicationPid());
    if (!runAsRoot(QStringLiteral("useradd"),
                   {QStringLiteral("--system"), QStringLiteral("--no-create-home"), QStringLiteral("--shell"),
                    QStringLiteral("/usr/sbin/nologin"), m_owner})) {
        m_owner.clear();
        QSKIP("useradd could not make a user to own the store");
    }
    const passwd *entry = ::getpwnam(qPrintable(m_owner));
    QVERIFY(entry);
    m_ownerId = entry->pw_uid;
}

void TestAppSharedStore::cleanupTestCase()
{
    if (!m_owner.isEmpty())
        runAsRoot(QStringLiteral("userdel"), {m_owner});
}

void TestAppSharedStore::everyCommandLeavesTheStoreAsItWas_data()
{
    QTest::addColumn<bool>("everyoneWritesTheFolder");
    QTest::addColumn<bool>("ownerWrites"); // the owner's program commits to the store all along
    QTest::newRow("a folder only the owner may write") << false << false;
    QTest::newRow("a folder everyone may write") << true << false;
    QTest::newRow("a folder everyone may write, the owner writing") << true << true;
}

void TestAppSharedStore::everyCommandLeavesTheStoreAsItWas()
{
    QFETCH(bool, everyoneWritesTheFolder);
    QFETCH(bool, ownerWrites);
    QTemporaryDir base;
    const QFile::Permissions enter = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                     QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    const QFile::Permissions everyone = enter | QFile::WriteGroup | QFile::WriteOther;
    QVERIFY(QFile::setPermissions(base.path(), enter));
    const QString folder = base.filePath(QStringLiteral("shared"));
    const QString ownerHome = base.filePath(QStringLiteral("owner"));
    const QString home = base.filePath(QStringLiteral("reader"));
    QVERIFY(ownedFolder(folder, m_owner, everyoneWritesTheFolder ? everyone : enter, everyoneWritesTheFolder));
    QVERIFY(ownedFolder(ownerHome, m_owner, enter));
    QVERIFY(ownedFolder(home, QStringLiteral("nobody"), everyone));
    const QString file = folder + QStringLiteral("/store.sqlite");
    QCOMPARE(veltrane::test::runAppAs(m_owner, {"--db", file, "list"}, ownerHome).exitCode, 0);
    QCOMPARE(QFileInfo(file).ownerId(), m_ownerId);

    std::unique_ptr<QProcess> writer;
    if (ownerWrites) {
        writer = std::make_unique<QProcess>();
        writer->start(QStringLiteral("runuser"),
                      {QStringLiteral("-u"), m_owner, QStringLiteral("--"), QStringLiteral(VELTRANE_STORE_CHILD),
                       QStringLiteral("commit-loop"), file, QStringLiteral("Owner's set")});
        QElapsedTimer started;
        started.start();
        while (!writer->canReadLine() && started.elapsed() < 30000)
            writer->waitForReadyRead(100);
        QVERIFY2(writer->readLine().startsWith("committed"), "the owner's program did not write");
    }
    const auto stopWriter = qScopeGuard([&] {
        if (writer) {
            writer->kill();
            writer->waitForFinished(10000);
        }
    });
    const QByteArray before = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    const QString json = home + QStringLiteral("/one.json");
    const std::pair<QStringList, int> commands[] = {
        {{"list"}, 0},
        {{"--no-seed", "list"}, 0},
        {{"show", "SNP Identity Panel"}, 0},
        {{"show", "No such set"}, 1},
        {{"export"}, 0},
        {{"export", "SNP Identity Panel", "-o", json}, 0},
        {{"export", "-o", home + "/all.json", "--replace"}, 0},
        {{"export", "-o", file, "--replace"}, 1},
        {{"import", json}, 1},
        {{"import", "--replace", "--keep-attributes", json}, 1},
        {{"screenshot", "SelectAnalysisParameters", home + "/select.png"}, 0},
        {{"screenshot", "EditAnalysisParameters", home + "/edit.png", "--set", "SNP Identity Panel", "--tab", "3"}, 0},
        {{"screenshot", "EditAnalysisParameters", home + "/new.png", "--new"}, 0},
        {{"screenshot", "SaveAnalyisParameterAs", home + "/save.png"}, 0},
        {{"screenshot", "SNPLocusTagEditor", home + "/tag.png"}, 0},
        {{"typelib"}, 0},
        {{"--help"}, 0},
    };
    for (const auto &[arguments, exitCode] : commands) {
        const AppResult r = veltrane::test::runAppUnprivileged(QStringList{"--db", file} + arguments, home);
        const QString command = arguments.join(u' ');
        QVERIFY2(r.exitCode == exitCode, qPrintable(command + QStringLiteral(": ") + r.err));
        // Whatever the command did, the folder holds the owner's files only.
        for (const QFileInfo &entry :
             QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System))
            QVERIFY2(entry.ownerId() == m_ownerId, qPrintable(command + QStringLiteral(" left ") + entry.fileName()));
        if (!ownerWrites) {
            QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                     QStringList{QStringLiteral("store.sqlite")});
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY2(f.readAll() == before, qPrintable(command + QStringLiteral(" changed the store")));
        }
    }
    QVERIFY(QFileInfo(json).size() > 0 && QFileInfo(home + QStringLiteral("/edit.png")).size() > 0);

    // The owner still writes, the set the reader exported included.
    if (writer) {
        writer->kill();
        QVERIFY(writer->waitForFinished(10000));
    }
    const AppResult imported =
        veltrane::test::runAppAs(m_owner, {"--db", file, "import", "--replace", json}, ownerHome);
    QVERIFY2(imported.exitCode == 0, qPrintable(imported.err));
    QCOMPARE(imported.out, QStringLiteral("replaced: SNP Identity Panel\n"));
}

void TestAppSharedStore::aStoreLeftHalfWrittenIsLeftToItsOwner()
{
    // The owner's program was killed while it wrote, and the log's index went (a copy of the folder
    // without it, say): what the log holds can only be made whole by someone who may write.
    QTemporaryDir base;
    const QFile::Permissions enter = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                     QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(base.path(), enter));
    const QString folder = base.filePath(QStringLiteral("shared"));
    const QString ownerHome = base.filePath(QStringLiteral("owner"));
    const QString home = base.filePath(QStringLiteral("reader"));
    QVERIFY(ownedFolder(folder, m_owner, enter | QFile::WriteGroup | QFile::WriteOther, true));
    QVERIFY(ownedFolder(ownerHome, m_owner, enter));
    QVERIFY(ownedFolder(home, QStringLiteral("nobody"), enter | QFile::WriteGroup | QFile::WriteOther));
    const QString file = folder + QStringLiteral("/store.sqlite");
    QProcess writer;
    writer.start(QStringLiteral("runuser"),
                 {QStringLiteral("-u"), m_owner, QStringLiteral("--"), QStringLiteral(VELTRANE_STORE_CHILD),
                  QStringLiteral("commit-loop"), file, QStringLiteral("Owner's set")});
    QElapsedTimer started;
    started.start();
    while (!writer.canReadLine() && started.elapsed() < 30000)
        writer.waitForReadyRead(100);
    writer.kill();
    QVERIFY(writer.waitForFinished(10000));
    QVERIFY(QFileInfo(file + QStringLiteral("-wal")).size() > 0);
    QVERIFY(QFile::remove(file + QStringLiteral("-shm")));
    const QStringList left = QDir(folder).entryList(QDir::Files);

    const AppResult read = veltrane::test::runAppUnprivileged({"--db", file, "list"}, home);
    QCOMPARE(read.exitCode, 1);
    QVERIFY2(read.err.contains(QLatin1String("stopped before it had finished")), qPrintable(read.err));
    QCOMPARE(QDir(folder).entryList(QDir::Files), left);
    // Its owner opens it, and it serves everyone again.
    QCOMPARE(veltrane::test::runAppAs(m_owner, {"--db", file, "list"}, ownerHome).exitCode, 0);
    QCOMPARE(veltrane::test::runAppUnprivileged({"--db", file, "list"}, home).exitCode, 0);
}

QTEST_GUILESS_MAIN(TestAppSharedStore)
#include "test_app_shared_store.moc"
