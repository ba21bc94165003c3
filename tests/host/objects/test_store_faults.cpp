#include "host/objects/connection.h"
#include "host/objects/json_exchange.h"
#include "host/objects/set_history.h"
#include "host/objects/sql_store.h"
#include "host/objects/store_io.h"
#include "host/objects/watchdog.h"
#include "store_fixture.h"
#include "support/recording_utilities.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>
#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace veltrane;
using namespace veltrane::host;
using veltrane::test::describe;
using veltrane::test::errorOf;
using veltrane::test::heldSets;
using veltrane::test::StoreLocation;

namespace {

// A set as a writer meant it: what the store stamps (times, attributes) left out.
QString content(const FragAnalysisParam &s)
{
    static const QRegularExpression stamps(QStringLiteral("^(DateCreated|DateModified|Attributes) = .*\\n"),
                                           QRegularExpression::MultilineOption);
    return describe(s).append(QLatin1Char('\n')).remove(stamps);
}

std::optional<QString> storedContent(SqlStore &store, const QString &name)
{
    const AnalysisParameterPtr set = store.parameterSet(0, name);
    if (!set)
        return std::nullopt;
    return content(*set->FragAnalysisParam());
}

// An exchange document of count sets shaped like the default set (ordinary, named "Copy N").
QJsonDocument manySets(SqlStore &source, int count)
{
    QJsonObject file = exportStore(source, {QStringLiteral("DefaultFragmentAnalysisParameters")}).object();
    QJsonObject set = file.value(QStringLiteral("sets")).toArray().first().toObject();
    set[QStringLiteral("attributes")] = 0;
    QJsonArray sets;
    for (int i = 0; i < count; ++i) {
        set[QStringLiteral("name")] = QStringLiteral("Copy %1").arg(i, 4, 10, QLatin1Char('0'));
        sets.append(set);
    }
    file[QStringLiteral("sets")] = sets;
    return QJsonDocument(file);
}

// The sets of the file a store holds: none, all, or (a fault) some.
int copiesStored(SqlStore &store)
{
    int n = 0;
    for (const auto &set : store.parameterSets(true))
        n += set->Name().startsWith(QLatin1String("Copy "));
    return n;
}

QProcess *startChild(QObject *parent, const QStringList &arguments)
{
    auto *child = new QProcess(parent);
    child->start(QStringLiteral(VELTRANE_STORE_CHILD), arguments);
    return child;
}

// Waits (bounded) until the child says it has taken the lock.
bool waitForLine(QProcess &child, const QByteArray &line, int ms = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        if (child.canReadLine() && child.readLine().trimmed() == line)
            return true;
        child.waitForReadyRead(100);
        if (child.state() == QProcess::NotRunning && !child.canReadLine())
            return false;
    }
    return false;
}

// A PostgreSQL server of the test's own on loopback, which it may stop and stall without disturbing
// others. Its data lives in a temporary folder; the server goes with the object.
class PrivateServer
{
public:
    PrivateServer()
    {
        const QStringList versions =
            QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        if (versions.isEmpty())
            return;
        m_bin = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(versions.last());
        if (!m_dir.isValid() || !QFile::exists(m_bin + QStringLiteral("initdb")))
            return;
        if (::geteuid() == 0) {
            // The server refuses to run as root: it runs as the system's postgres user.
            m_as = {QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")};
            QFile::setPermissions(m_dir.path(), QFile::permissions(m_dir.path()) | QFile::ReadOther | QFile::ExeOther);
            if (QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres:"), m_dir.path()}) != 0)
                return;
        }
        if (!run(QStringLiteral("initdb"),
                 {QStringLiteral("-D"), data(), QStringLiteral("-U"), QStringLiteral("faults"),
                  QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                  QStringLiteral("--no-locale")}))
            return;
        m_port = freePort();
        m_ready = start() &&
                  run(QStringLiteral("createdb"),
                      {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(m_port),
                       QStringLiteral("-U"), QStringLiteral("faults"), QStringLiteral("faults")});
    }
    ~PrivateServer() { stop(); }

    bool ready() const { return m_ready; }
    QString url(const QString &options = {}) const
    {
        return QStringLiteral("postgresql://faults@127.0.0.1:%1/faults%2").arg(m_port).arg(options);
    }
    bool start()
    {
        return run(
            QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), data(), QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")),
             QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("30"), QStringLiteral("-o"),
             QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off").arg(m_port).arg(m_dir.path()),
             QStringLiteral("start")});
    }
    // Stopped at once, as a crash or a pulled plug would stop it.
    void stop()
    {
        if (m_port)
            run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-m"),
                                           QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
    }

private:
    QString data() const { return m_dir.filePath(QStringLiteral("data")); }
    bool run(const QString &tool, const QStringList &arguments)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        const QStringList command = m_as + QStringList{m_bin + tool} + arguments;
        p.start(command.first(), command.mid(1));
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            qWarning("%s: %s", qPrintable(tool), p.readAll().constData());
            return false;
        }
        return true;
    }
    static int freePort()
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        int port = 0;
        if (::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
            ::getsockname(s, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            port = ntohs(address.sin_port);
        ::close(s);
        return port;
    }

    QTemporaryDir m_dir;
    QString m_bin;
    QStringList m_as;
    int m_port = 0;
    bool m_ready = false;
};

// The process serving the other connection to the private server's database: the importing session.
qint64 otherBackend(const QString &url)
{
    const QUrl u(url);
    qint64 pid = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("observer"));
        db.setHostName(u.host());
        db.setPort(u.port());
        db.setUserName(u.userName());
        db.setDatabaseName(u.path().mid(1));
        if (db.open()) {
            QElapsedTimer timer;
            timer.start();
            while (!pid && timer.elapsed() < 20000) {
                QSqlQuery q(db);
                q.exec(QStringLiteral("SELECT pid FROM pg_stat_activity WHERE datname = current_database() "
                                      "AND pid <> pg_backend_pid() AND backend_type = 'client backend' "
                                      "AND state IN ('active', 'idle in transaction')"));
                if (q.next())
                    pid = q.value(0).toLongLong();
                else
                    QThread::msleep(5);
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("observer"));
    return pid;
}

} // namespace

class TestStoreFaults : public QObject
{
    Q_OBJECT
public:
    explicit TestStoreFaults(QString engine)
        : m_engine(std::move(engine))
    {}

private slots:
    void initTestCase() { qInfo("store engine: %s", qPrintable(m_engine)); }
    void init() { m_where = std::make_unique<StoreLocation>(m_engine); }
    void cleanup() { m_where.reset(); }

    void aWriterWaitsForAnotherProgramsLongWrite();
    void aWriterGivesUpNamingTheProgramThatWrites();
    void aFullDiskLeavesTheStoreAsItWas();
    void aWriterKilledWhileCommittingLeavesOldOrNew();
    void aNameStoredMeanwhileIsAConflict();
    void aServerStoppedOrStalledDuringAnImportLeavesOldOrNew_data();
    void aServerStoppedOrStalledDuringAnImportLeavesOldOrNew();
    void theWatchdogShutsAStalledSocketDown_data();
    void theWatchdogShutsAStalledSocketDown();

private:
    bool sqlite() const { return m_engine == QLatin1String("sqlite"); }

    QString m_engine;
    std::unique_ptr<StoreLocation> m_where;
};

void TestStoreFaults::aWriterWaitsForAnotherProgramsLongWrite()
{
    if (!sqlite())
        QSKIP("a PostgreSQL server queues writers itself");
    const SqlStorePtr store = m_where->open();
    // Longer than a statement waits for a lock: the commit must wait on.
    QProcess *holder =
        startChild(this, {QStringLiteral("hold-write-lock"), m_where->location(), QStringLiteral("12000")});
    QVERIFY(waitForLine(*holder, "locked"));
    QElapsedTimer timer;
    timer.start();
    const auto set = veltrane::test::numberedSet(*store, QStringLiteral("Patient"), 1);
    store->commit(*set);
    QVERIFY2(timer.elapsed() > 9000, "the lock was not held");
    QVERIFY(holder->waitForFinished(30000));
    QCOMPARE(storedContent(*store, QStringLiteral("Patient")), content(*set));
}

void TestStoreFaults::aWriterGivesUpNamingTheProgramThatWrites()
{
    if (!sqlite())
        QSKIP("a PostgreSQL server queues writers itself");
    m_where->open();
    const SqlStorePtr store = SqlStore::open(m_where->location(), StoreOptions{false, 1000});
    const QString before = heldSets(*store);
    QProcess *holder =
        startChild(this, {QStringLiteral("hold-write-lock"), m_where->location(), QStringLiteral("4000")});
    QVERIFY(waitForLine(*holder, "locked"));
    const auto set = veltrane::test::numberedSet(*store, QStringLiteral("Impatient"), 1);
    const Error e = errorOf([&] { store->commit(*set); });
    QCOMPARE(e.number(), qint32(kStoreBusy));
    QVERIFY2(e.description().contains(QStringLiteral("store_child, process %1").arg(holder->processId())) &&
                 e.description().contains(QLatin1String("nothing was saved")),
             qPrintable(e.description()));
    QVERIFY(holder->waitForFinished(30000));
    QCOMPARE(heldSets(*store), before);
    store->commit(*set);
}

void TestStoreFaults::aFullDiskLeavesTheStoreAsItWas()
{
    if (!sqlite())
        QSKIP("a server's disk cannot be filled from here");
    const SqlStorePtr store = m_where->open();
    const QString before = heldSets(*store);
    const QJsonDocument file = manySets(*store, 400);
    // The database's page limit stands in for a full disk: SQLite answers both alike, in the middle of
    // writing, after many rows are written.
    io::Context ctx = store->context();
    QSqlQuery limit(ctx.db);
    QVERIFY(limit.exec(QStringLiteral("PRAGMA page_count")) && limit.next());
    const int pages = limit.value(0).toInt();
    QVERIFY(limit.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages + 20)));
    const Error e = errorOf([&] { importStore(*store, file, QStringLiteral("many.json")); });
    QVERIFY2(e.description().contains(QLatin1String("disk is full")) &&
                 e.description().contains(QLatin1String("Nothing of the change was stored")),
             qPrintable(e.description()));
    QCOMPARE(heldSets(*store), before);
    QVERIFY(limit.exec(QStringLiteral("PRAGMA max_page_count = 1073741823")));
    limit.finish();
    importStore(*store, file, QStringLiteral("many.json"));
    QCOMPARE(copiesStored(*store), 400);
}

void TestStoreFaults::aWriterKilledWhileCommittingLeavesOldOrNew()
{
    const SqlStorePtr store = m_where->open();
    const QString name = QStringLiteral("Victim");
    std::optional<QString> previous;
    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("kill times drawn with seed %u", seed);
    QRandomGenerator random(seed);
    qsizetype revisions = 0;
    for (int round = 0; round < 10; ++round) {
        QProcess child;
        child.start(QStringLiteral(VELTRANE_STORE_CHILD), {QStringLiteral("commit-loop"), m_where->location(), name});
        QVERIFY(child.waitForStarted());
        QThread::msleep(random.bounded(50, 700));
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        int last = 0;
        for (const QByteArray &line : child.readAllStandardOutput().split('\n'))
            if (line.startsWith("committed "))
                last = line.mid(10).toInt();
        // The commit in flight when the child died is there entirely or not at all.
        const SqlStorePtr after = m_where->open();
        const std::optional<QString> now = storedContent(*after, name);
        const std::optional<QString> old =
            last > 0 ? std::optional<QString>(content(*veltrane::test::numberedSet(*after, name, last))) : previous;
        const QString next = content(*veltrane::test::numberedSet(*after, name, last + 1));
        QVERIFY2(now == old || now == next, qPrintable(QStringLiteral("round %1, last committed %2:\n%3")
                                                           .arg(round)
                                                           .arg(last)
                                                           .arg(now.value_or(QStringLiteral("(none)")))));
        // Each stored commit left its revision, and the last revision is the set as it is stored.
        revisions += last + (now == next ? 1 : 0);
        if (now) {
            const qint32 id = setIdByName(*after, name);
            QCOMPARE(setHistory(*after, id).size(), revisions);
            QCOMPARE(content(*setRevision(*after, id).settings), *now);
        }
        previous = now;
    }
    if (sqlite()) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("integrity"));
        db.setDatabaseName(m_where->location());
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("integrity"));
}

void TestStoreFaults::aNameStoredMeanwhileIsAConflict()
{
    if (sqlite())
        QSKIP("SQLite lets one writer at a time look and write");
    const SqlStorePtr store = m_where->open();
    const QJsonDocument file = manySets(*store, 1);
    // Another session has inserted the name and not yet committed: this import finds the name free,
    // then meets the other row when it inserts its own.
    const QUrl url(m_where->location());
    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("other session"));
    other.setHostName(url.host());
    other.setPort(url.port(5432));
    other.setUserName(url.userName());
    other.setDatabaseName(url.path().mid(1));
    QVERIFY(other.open());
    QSqlQuery q(other);
    QVERIFY(q.exec(
        QStringLiteral("SET search_path TO \"%1\"").arg(QUrlQuery(url).queryItemValue(QStringLiteral("schema")))));
    QVERIFY(q.exec(QStringLiteral("BEGIN")));
    QVERIFY(q.exec(QStringLiteral("INSERT INTO parameter_sets (name, name_key) VALUES ('Copy 0000', 'copy 0000')")));
    Error e;
    std::unique_ptr<QThread> importer(
        QThread::create([&] { e = errorOf([&] { importStore(*store, file, QStringLiteral("race.json")); }); }));
    importer->start();
    QThread::msleep(500);
    QVERIFY(q.exec(QStringLiteral("COMMIT")));
    QVERIFY(importer->wait(30000));
    q.finish();
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("other session"));
    QCOMPARE(e.number(), qint32(kStoreConflict));
    QVERIFY2(e.description().contains(QLatin1String("\"Copy 0000\" was stored by someone else meanwhile")) &&
                 !e.description().contains(QLatin1String("INSERT")),
             qPrintable(e.description()));
}

void TestStoreFaults::aServerStoppedOrStalledDuringAnImportLeavesOldOrNew_data()
{
    // A stalled server's process stops answering, but its machine still accepts what is sent.
    QTest::addColumn<bool>("stalls");
    QTest::newRow("stopped") << false;
    QTest::newRow("stalled") << true;
}

void TestStoreFaults::aServerStoppedOrStalledDuringAnImportLeavesOldOrNew()
{
    if (sqlite())
        QSKIP("a server of its own");
    QFETCH(bool, stalls);
    PrivateServer server;
    if (!server.ready())
        QSKIP("no PostgreSQL server could be started here");
    SqlStorePtr store = SqlStore::open(server.url(stalls ? QStringLiteral("?statement_timeout=2") : QString()));
    const QJsonDocument file = manySets(*store, 600);
    Error e;
    std::atomic<bool> connected = false;
    std::unique_ptr<QThread> importer(QThread::create([&] {
        // The importing thread's connection is up before the import, as the program's always is.
        store->parameterSets(true);
        connected = true;
        e = errorOf([&] { importStore(*store, file, QStringLiteral("many.json")); });
    }));
    importer->start();
    QDeadlineTimer ready(20000);
    while (!connected && !ready.hasExpired())
        QThread::msleep(1);
    const qint64 backend = otherBackend(server.url());
    QVERIFY(backend > 0 || (!stalls && importer->isFinished()));
    QElapsedTimer timer;
    timer.start();
    if (stalls)
        QCOMPARE(::kill(pid_t(backend), SIGSTOP), 0);
    else
        server.stop();
    const bool ended = importer->wait(60000);
    if (stalls)
        ::kill(pid_t(backend), SIGCONT);
    QVERIFY(ended);
    if (stalls) {
        QCOMPARE(e.number(), qint32(kStoreTimedOut));
        QVERIFY2(e.description().contains(QLatin1String("did not answer within 7 seconds")) &&
                     e.description().contains(QLatin1String("Nothing of the change was stored")),
                 qPrintable(e.description()));
        QVERIFY2(timer.elapsed() < 20000, "gave up far later than its deadline");
        // The session goes on: its next statement opens a new connection.
        QCOMPARE(copiesStored(*store), 0);
    } else {
        if (e.number() != 0)
            QVERIFY2(e.description().contains(QLatin1String("connection to the database server was lost")) ||
                         e.number() == kStoreCannotOpen,
                     qPrintable(e.description()));
        QVERIFY(server.start());
    }
    store.reset();
    const int stored = copiesStored(*SqlStore::open(server.url()));
    QVERIFY2(stored == 0 || (!stalls && stored == 600 &&
                             (e.number() == 0 || e.description().contains(QLatin1String("not known")))),
             qPrintable(QStringLiteral("%1 of 600 sets stored; %2").arg(stored).arg(e.description())));
}

void TestStoreFaults::theWatchdogShutsAStalledSocketDown_data()
{
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<int>("heldMs"); // how long the guard stays, or until it fires when longer than the timeout
    QTest::addColumn<bool>("fires");
    QTest::newRow("a time-out of 0 watches nothing") << 0 << 300 << false;
    QTest::newRow("a time-out of 1 ms") << 1 << 10000 << true;
    QTest::newRow("released before its deadline") << 300 << 0 << false;
}

void TestStoreFaults::theWatchdogShutsAStalledSocketDown()
{
    // Both engines would watch the same socket; the stall itself needs a server (above), the
    // watchdog only a socket.
    if (!sqlite())
        QSKIP("does not depend on the engine");
    QFETCH(int, timeoutMs);
    QFETCH(int, heldMs);
    QFETCH(bool, fires);
    int ends[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    const auto closeEnds = qScopeGuard([&] {
        ::close(ends[0]);
        ::close(ends[1]);
    });
    bool fired = false;
    {
        const WatchdogGuard guard(ends[0], timeoutMs);
        QDeadlineTimer held(heldMs);
        while (!guard.fired() && !held.hasExpired())
            QThread::msleep(1);
        fired = guard.fired();
    }
    QCOMPARE(fired, fires);
    // A released guard is gone for good: its deadline passing later shuts nothing down.
    QThread::msleep(uint(qMax(0, timeoutMs - heldMs) + 100));
    // A socket shut down reads its end at once, and the peer can no longer write to it.
    char c = 0;
    QCOMPARE(::send(ends[1], "x", 1, MSG_NOSIGNAL), fires ? -1 : 1);
    QCOMPARE(::recv(ends[0], &c, 1, MSG_DONTWAIT), fires ? 0 : 1);
}

VELTRANE_STORE_TEST_MAIN(TestStoreFaults)
#include "test_store_faults.moc"
