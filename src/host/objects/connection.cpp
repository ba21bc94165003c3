#include "host/objects/connection.h"
#include "host/objects/connection_setup.h"

#include "veltrane/contracts/error.h"
#include "veltrane/contracts/keyed_collection.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <sys/stat.h>
#include <unordered_map>

namespace veltrane::host {

static const QString kSource = QStringLiteral("SqlStore");

// ---- connections per thread --------------------------------------------------------------------

struct PoolState
{
    ConnectionSpec spec;
    quint64 serial = 0;
    QMutex mutex;
    QSet<QString> names; // connections of this pool that still exist
    QString anchor;      // an in-memory database lives as long as one connection does: this one
};

namespace {

std::atomic<quint64> g_poolSerial{0};
std::atomic<quint64> g_threadSerial{0};

struct CachedStatement
{
    std::unique_ptr<QSqlQuery> query;
    bool busy = false;
};

struct ThreadItem
{
    std::weak_ptr<PoolState> pool;
    QString name;
    int transactionDepth = 0;
};

// The calling thread's connections; when the thread ends they are closed and removed in it, as a
// connection may only be used (and is best closed) by the thread that opened it.
// Set when the calling thread's connections are gone (the thread is ending): a store destroyed after
// that, at the program's exit, must not look for them. A plain flag outlives the thread's objects.
thread_local bool t_connectionsGone = false;

struct ThreadConnections
{
    quint64 threadSerial = ++g_threadSerial;
    QHash<quint64, ThreadItem> items;
    // Prepared statements by connection name and SQL text; they go before their connection does.
    // Node-based maps, so an entry stays where it is while other statements are added.
    std::unordered_map<QString, std::unordered_map<QString, CachedStatement>> statements;

    ~ThreadConnections()
    {
        // Claim this thread's connections from their pools first, so a store destroyed on another
        // thread meanwhile no longer removes them while their statements are being finished here.
        QStringList claimed;
        for (const ThreadItem &item : std::as_const(items)) {
            const std::shared_ptr<PoolState> pool = item.pool.lock();
            if (!pool)
                continue;
            QMutexLocker lock(&pool->mutex);
            if (item.name != pool->anchor && pool->names.remove(item.name))
                claimed << item.name;
        }
        statements.clear();
        for (const QString &name : std::as_const(claimed))
            QSqlDatabase::removeDatabase(name);
        t_connectionsGone = true;
    }
};

thread_local ThreadConnections t_connections;

// What the statements of a PostgreSQL connection of this thread are watched by.
struct Watched
{
    int socket = -1;
    int timeoutMs = 0;
    QString display;
};
thread_local QHash<QString, Watched> t_watched;

bool connectionLost(const QSqlDatabase &db)
{
    return host::connectionLost(db.driver());
}

ThreadItem &threadItem(const std::shared_ptr<PoolState> &state)
{
    ThreadItem &item = t_connections.items[state->serial];
    if (item.name.isEmpty()) {
        item.pool = state;
        item.name = QStringLiteral("veltrane-store-%1-thread-%2").arg(state->serial).arg(t_connections.threadSerial);
    }
    return item;
}

// A refused certificate said in the terms of the URL's options, with the driver's own words after.
QString tlsHint(const QString &why)
{
    if (why.contains(QLatin1String("does not match host name")))
        return QStringLiteral("the server's certificate is made out for another host than the URL names, so the "
                              "connection was refused (%1)")
            .arg(why);
    if (why.contains(QLatin1String("certificate verify failed")))
        return QStringLiteral("the server's certificate is not signed by a certificate authority this program "
                              "trusts (the file sslrootcert names), so the connection was refused (%1)")
            .arg(why);
    return why;
}

// Watches the answer to a statement on a PostgreSQL connection of this thread (nothing on SQLite).
std::unique_ptr<WatchdogGuard> watch(const QString &connectionName)
{
    const auto it = t_watched.constFind(connectionName);
    if (it == t_watched.cend())
        return {};
    return std::make_unique<WatchdogGuard>(it->socket, it->timeoutMs);
}

Error timedOut(const QString &connectionName, const QString &sql)
{
    const Watched w = t_watched.value(connectionName);
    return Error(kStoreTimedOut, kSource,
                 QStringLiteral("The database server at %1 did not answer within %2 seconds, so the program stopped "
                                "waiting for it. %3")
                     .arg(w.display)
                     .arg(w.timeoutMs / 1000)
                     .arg(sql.startsWith(QLatin1String("COMMIT"))
                              ? QStringLiteral("Whether the change was stored is not known: look before saving it "
                                               "again.")
                              : QStringLiteral("Nothing of the change was stored.")));
}

void configure(QSqlDatabase &db, const ConnectionSpec &spec)
{
    try {
        if (spec.engine == Engine::SQLite && !spec.memory)
            recognise(db, spec);
        if (spec.engine == Engine::SQLite) {
            execute(db, QStringLiteral("PRAGMA foreign_keys = ON"));
            if (!spec.memory) {
                // Readers never wait for a writer in WAL mode, and a busy writer is retried by the busy
                // timeout set when opening.
                execute(db, QStringLiteral("PRAGMA journal_mode = WAL"));
                execute(db, QStringLiteral("PRAGMA synchronous = NORMAL"));
            }
        } else {
            execute(db, QStringLiteral("SET client_min_messages TO warning"));
            execute(db, QStringLiteral("SET statement_timeout = %1").arg(qint64(spec.statementTimeout) * 1000));
            // A writer waits this long for another one that holds what it needs (the same set), then
            // gives up with a message instead of holding the user's window.
            execute(db, QStringLiteral("SET lock_timeout = '%1s'").arg(kLockTimeoutSeconds));
            if (!spec.schema.isEmpty())
                execute(db, QStringLiteral("SET search_path TO \"%1\"").arg(spec.schema));
            recognise(db, spec);
        }
    } catch (const Error &e) {
        // A connection is used only once it is configured, so it is not left open half-way.
        db.close();
        throw e.number() == kStoreCannotOpen || e.number() == kStoreTimedOut ? e : cannotOpen(spec, e.description());
    }
}

} // namespace

Error cannotOpen(const ConnectionSpec &spec, const QString &why)
{
    return Error(kStoreCannotOpen, kSource, QStringLiteral("Cannot open the store at %1: %2").arg(spec.display, why));
}

bool execWatched(QSqlQuery &q, const QSqlDatabase &db, const QString &sql, const QString &bound)
{
    const std::unique_ptr<WatchdogGuard> guard = watch(db.connectionName());
    bool done = false;
    if (bound.isNull()) {
        done = q.exec(sql);
    } else if (q.prepare(sql)) {
        q.addBindValue(bound);
        done = q.exec();
    }
    if (!done && guard && guard->fired())
        throw timedOut(db.connectionName(), sql);
    return done;
}

ConnectionPool::ConnectionPool(ConnectionSpec spec)
    : m_state(std::make_shared<PoolState>())
{
    m_state->spec = std::move(spec);
    m_state->serial = ++g_poolSerial;
}

ConnectionPool::~ConnectionPool()
{
    if (!t_connectionsGone) {
        const auto mine = t_connections.items.constFind(m_state->serial);
        if (mine != t_connections.items.cend()) {
            t_connections.statements.erase(mine->name);
            t_connections.items.erase(mine);
        }
    }
    QSet<QString> names;
    {
        QMutexLocker lock(&m_state->mutex);
        names.swap(m_state->names);
    }
    // Connections of threads that still run are closed here; nobody uses them any more, since the
    // store that owns this pool is gone.
    for (const QString &name : std::as_const(names))
        QSqlDatabase::removeDatabase(name);
}

const ConnectionSpec &ConnectionPool::spec() const
{
    return m_state->spec;
}

Engine ConnectionPool::engine() const
{
    return m_state->spec.engine;
}

int &ConnectionPool::transactionDepth()
{
    return threadItem(m_state).transactionDepth;
}

void ConnectionPool::markReadOnly()
{
    m_state->spec.readOnly = true;
}

QSqlDatabase ConnectionPool::database()
{
    ThreadItem &item = threadItem(m_state);
    const ConnectionSpec &spec = m_state->spec;
    if (QSqlDatabase::contains(item.name)) {
        QSqlDatabase db = QSqlDatabase::database(item.name, false);
        if (db.isOpen() && !connectionLost(db))
            return db;
        // A lost connection (which the driver may have closed itself) is opened again; its prepared
        // statements died with it.
        t_connections.statements.erase(item.name);
        if (db.isOpen())
            db.close();
    }

    QSqlDatabase db;
    if (QSqlDatabase::contains(item.name)) {
        db = QSqlDatabase::database(item.name, false);
    } else {
        const QString driver = spec.engine == Engine::SQLite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
        if (!QSqlDatabase::isDriverAvailable(driver))
            throw cannotOpen(spec, QStringLiteral("the Qt SQL driver %1 is not installed").arg(driver));
        db = QSqlDatabase::addDatabase(driver, item.name);
        QMutexLocker lock(&m_state->mutex);
        m_state->names.insert(item.name);
        if (spec.memory && m_state->anchor.isEmpty())
            m_state->anchor = item.name;
    }

    if (spec.engine == Engine::SQLite) {
        // Single statements wait this long for a lock; beginning to write waits longer (see
        // beginSqliteWrite).
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kStatementBusyWaitMs);
        db.setDatabaseName(spec.file);
        if (spec.memory)
            options += QStringLiteral(";QSQLITE_OPEN_URI");
        db.setConnectOptions(options);
    } else {
        db.setHostName(spec.host);
        db.setPort(spec.port);
        db.setUserName(spec.user);
        db.setPassword(spec.password);
        db.setDatabaseName(spec.database);
        QString options = QStringLiteral("connect_timeout=%1;keepalives=1;keepalives_idle=%2;"
                                         "keepalives_interval=%3;keepalives_count=%4")
                              .arg(spec.connectTimeout)
                              .arg(spec.keepalivesIdle)
                              .arg(spec.keepalivesInterval)
                              .arg(spec.keepalivesCount);
        // The driver joins the options into libpq's connection string, where a value is quoted.
        const auto quoted = [](QString value) -> QString {
            value.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
            return QLatin1Char('\'') + value + QLatin1Char('\'');
        };
        const std::pair<const char *, const QString *> tls[] = {{"sslmode", &spec.sslMode},
                                                                {"sslrootcert", &spec.sslRootCert},
                                                                {"sslcert", &spec.sslCert},
                                                                {"sslkey", &spec.sslKey}};
        for (const auto &[key, value] : tls)
            if (!value->isEmpty())
                options += QStringLiteral(";%1=%2").arg(QLatin1String(key), quoted(*value));
        db.setConnectOptions(options);
    }
    if (!db.open()) {
        // Drivers spread a reason over several lines; a message is one.
        const QString why = db.lastError().text().simplified();
        throw cannotOpen(spec, why.isEmpty() ? QStringLiteral("the database refused the connection") : tlsHint(why));
    }
    if (spec.engine == Engine::PostgreSQL) {
        // The server ends a statement at its own limit; a server that cannot (its process stopped) is
        // given up a little later.
        t_watched.insert(item.name,
                         Watched{serverSocket(db.driver()), (spec.statementTimeout + 5) * 1000, spec.display});
    }
    configure(db, spec);
    return db;
}

// ---- transactions and statements ---------------------------------------------------------------

// The primary message of the server's error, without the lines of context it adds.
static QString serverMessage(const QSqlError &error)
{
    QString text = error.databaseText();
    text = text.left(text.indexOf(QLatin1Char('\n'))).trimmed();
    if (text.startsWith(QLatin1String("ERROR:")))
        text = text.mid(6).trimmed();
    return text;
}

// What a table the server refused to touch holds, in the user's words.
static QString protectedBy(const QString &refusal)
{
    static const QRegularExpression table(QStringLiteral("(?:table|relation) \"?([A-Za-z0-9_]+)"));
    const QString name = table.match(refusal).captured(1);
    const QStringList definitions{QStringLiteral("size_standards"),        QStringLiteral("size_standard_fragments"),
                                  QStringLiteral("mobility_calibrations"), QStringLiteral("mobility_references"),
                                  QStringLiteral("str_locus_tags"),        QStringLiteral("snp_locus_tags")};
    if (definitions.contains(name))
        return QStringLiteral("size standards, calibrations or locus tags");
    if (name == QLatin1String("projects"))
        return QStringLiteral("projects");
    if (name.isEmpty() || name == QLatin1String("schema_migrations") || name.startsWith(QLatin1String("grid_")))
        return QStringLiteral("the store's tables");
    return QStringLiteral("parameter sets");
}

static Error statementFailed(const QSqlQuery &query, const QString &sql)
{
    const QSqlError error = query.lastError();
    QString why = error.databaseText().simplified();
    if (why.isEmpty())
        why = error.text().simplified();
    const QString code = error.nativeErrorCode();
    const bool committing = sql.startsWith(QLatin1String("COMMIT"));
    const QString outcome = committing ? QStringLiteral("Whether the change was stored is not known: look before "
                                                        "saving it again.")
                                       : QStringLiteral("Nothing of the change was stored.");
    // Failures a user can act on are said in their words; the rest keep the database's.
    if ((code == QLatin1String("23505") || code == QLatin1String("2067")) && why.contains(QLatin1String("name_key")))
        return Error(kStoreConflict, kSource,
                     QStringLiteral("Another program stored an object of the same name meanwhile. %1").arg(outcome));
    // SQLITE_BUSY and SQLITE_LOCKED after the busy timeout; PostgreSQL's lock_not_available after its
    // lock timeout. Either way another program held on to what this change needs.
    if (code == QLatin1String("5") || code == QLatin1String("6") || code == QLatin1String("55P03"))
        return Error(kStoreBusy, kSource,
                     QStringLiteral("Another program kept the store locked for too long (%1). %2 Try again in a "
                                    "moment.")
                         .arg(why, outcome));
    // The server's refusals: the rules of a shared store say what happened in their own words (codes VT...),
    // and a privilege the user's role lacks is named by what it protects.
    if (code.startsWith(QLatin1String("VT")))
        return Error(kStorePermissionDenied, kSource, serverMessage(error));
    if (code == QLatin1String("42501")) {
        const QString user = loginOf(query.driver());
        return Error(kStorePermissionDenied, kSource,
                     QStringLiteral("You (%1) may not change %2 in this store: your role does not allow it. Ask an "
                                    "administrator of the store.")
                         .arg(user.isEmpty() ? QStringLiteral("this user") : user, protectedBy(why)));
    }
    if (code == QLatin1String("13") || code == QLatin1String("53100"))
        return Error(kStoreQueryFailed, kSource, QStringLiteral("The store's disk is full (%1). %2").arg(why, outcome));
    if (connectionLost(query.driver()))
        return Error(kStoreQueryFailed, kSource,
                     QStringLiteral("The connection to the database server was lost (%1). %2").arg(why, outcome));
    QString statement = sql.simplified();
    if (statement.size() > 160)
        statement = statement.left(157) + QStringLiteral("...");
    return Error(kStoreQueryFailed, kSource,
                 QStringLiteral("The database refused a statement: %1 [%2]").arg(why, statement));
}

namespace {

// The program holding the write lock of a SQLite store in write-ahead-log mode, as "name, process N",
// or empty when it cannot be told (another machine, or this process). The lock is a POSIX lock on
// byte 120 of the log's index; /proc/locks lists it without opening the file, which would release
// this process's own locks on it.
QString writeLockHolder(const QString &file)
{
    struct stat index = {};
    if (::stat(QFile::encodeName(file + QStringLiteral("-shm")).constData(), &index) != 0)
        return {};
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QString inode = QStringLiteral(":%1").arg(quint64(index.st_ino));
    const QStringList lines = QString::fromLatin1(locks.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        // "1: POSIX  ADVISORY  WRITE 1234 08:01:5678 120 120"
        const QStringList f = line.simplified().split(QLatin1Char(' '));
        if (f.size() < 8 || f[1] != QLatin1String("POSIX") || f[3] != QLatin1String("WRITE") || !f[5].endsWith(inode))
            continue;
        const qint64 start = f[6].toLongLong();
        const qint64 end = f[7] == QLatin1String("EOF") ? std::numeric_limits<qint64>::max() : f[7].toLongLong();
        const qint64 pid = f[4].toLongLong();
        if (start > 120 || end < 120 || pid <= 0 || pid == QCoreApplication::applicationPid())
            continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        const QString name =
            comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
        return name.isEmpty() ? QStringLiteral("process %1").arg(pid)
                              : QStringLiteral("%1, process %2").arg(name).arg(pid);
    }
    return {};
}

// IMMEDIATE takes the write lock at once, so two writers queue instead of failing when a read lock
// cannot be upgraded. A long import elsewhere may hold the lock for longer than one statement waits,
// so beginning is retried, with growing pauses, until the store's write wait has passed; then the
// message says who is writing.
void beginSqliteWrite(const QSqlDatabase &db, const ConnectionSpec &spec)
{
    const QString begin = QStringLiteral("BEGIN IMMEDIATE");
    QDeadlineTimer deadline(spec.writeWaitMs);
    int pause = 10;
    for (;;) {
        QSqlQuery q(db);
        // Each attempt waits at most what is left of the write wait (in the driver's own short steps).
        const qint64 wait = std::clamp<qint64>(deadline.remainingTime(), 1, kStatementBusyWaitMs);
        q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(wait));
        const bool begun = q.exec(begin);
        if (wait != kStatementBusyWaitMs) {
            QSqlQuery reset(db);
            reset.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(kStatementBusyWaitMs));
        }
        if (begun)
            return;
        const QString code = q.lastError().nativeErrorCode();
        if (code != QLatin1String("5") && code != QLatin1String("6")) // SQLITE_BUSY, SQLITE_LOCKED
            throw statementFailed(q, begin);
        if (deadline.hasExpired()) {
            const QString holder = writeLockHolder(spec.file);
            throw Error(kStoreBusy, kSource,
                        QStringLiteral("The store at %1 is busy: %2 has been writing to it for more than %3 seconds, "
                                       "so nothing was saved. Try again when it has finished.")
                            .arg(spec.display, holder.isEmpty() ? QStringLiteral("another program")
                                                                : QStringLiteral("another program (%1)").arg(holder))
                            .arg(spec.writeWaitMs / 1000.0));
        }
        QThread::msleep(ulong(std::min<qint64>(pause, std::max<qint64>(1, deadline.remainingTime()))));
        pause = std::min(pause * 2, 500);
    }
}

} // namespace

Transaction::Transaction(ConnectionPool &pool, Mode mode)
    : m_pool(pool)
    , m_db(pool.database())
{
    if (mode == Write && pool.spec().readOnly)
        throw Error(kStoreNotWritable, kSource,
                    QStringLiteral("The store at %1 is open for reading only (you cannot write to it or to its "
                                   "folder), so nothing was saved.")
                        .arg(pool.spec().display));
    int &depth = pool.transactionDepth();
    if (depth == 0) {
        if (pool.engine() == Engine::SQLite && mode == Write)
            beginSqliteWrite(m_db, pool.spec());
        else if (pool.engine() == Engine::SQLite)
            execute(m_db, QStringLiteral("BEGIN"));
        else
            execute(m_db, mode == Write ? QStringLiteral("BEGIN")
                                        : QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
        m_outermost = true;
    }
    ++depth;
}

Transaction::~Transaction()
{
    --m_pool.transactionDepth();
    if (m_outermost && !m_done) {
        QSqlQuery rollback(m_db);
        rollback.exec(QStringLiteral("ROLLBACK"));
    }
}

void Transaction::commit()
{
    if (m_outermost)
        execute(m_db, QStringLiteral("COMMIT"));
    m_done = true;
}

Statement::Statement(const QSqlDatabase &db, const QString &sql)
    : m_sql(sql)
    , m_connection(db.connectionName())
{
    CachedStatement &cached = t_connections.statements[db.connectionName()][sql];
    if (cached.query && !cached.busy) {
        m_query = cached.query.get();
        m_busy = &cached.busy;
        cached.busy = true;
        return;
    }
    auto query = std::make_unique<QSqlQuery>(db);
    query->setForwardOnly(true);
    {
        // Preparing asks the server too.
        const std::unique_ptr<WatchdogGuard> guard = watch(m_connection);
        if (!query->prepare(sql)) {
            if (guard && guard->fired())
                throw timedOut(m_connection, m_sql);
            throw statementFailed(*query, m_sql);
        }
    }
    if (!cached.query) {
        cached.query = std::move(query);
        m_query = cached.query.get();
        m_busy = &cached.busy;
        cached.busy = true;
    } else {
        // The same statement is open further up (a nested read): this one gets its own.
        m_own = std::move(query);
        m_query = m_own.get();
    }
}

Statement &Statement::bind(double value)
{
    if (std::isnan(value))
        throw Error(
            kStoreInvalidObject, kSource,
            QStringLiteral("A value that is not a number cannot be stored [%1].").arg(m_sql.simplified().left(80)));
    m_query->bindValue(m_bound++, value);
    return *this;
}

Statement::~Statement()
{
    m_query->finish();
    m_watch.reset();
    if (m_busy)
        *m_busy = false;
}

Statement &Statement::exec()
{
    m_bound = 0;
    m_watch.reset();
    m_watch = watch(m_connection);
    if (!m_query->exec()) {
        if (m_watch && m_watch->fired())
            throw timedOut(m_connection, m_sql);
        throw statementFailed(*m_query, m_sql);
    }
    return *this;
}

void Statement::finish()
{
    m_query->finish();
    m_watch.reset();
}

void execute(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    const std::unique_ptr<WatchdogGuard> guard = watch(db.connectionName());
    if (!query.exec(sql)) {
        if (guard && guard->fired())
            throw timedOut(db.connectionName(), sql);
        throw statementFailed(query, sql);
    }
}

QString nameKey(const QString &name)
{
    qsizetype n = name.size();
    while (n > 0 && name.at(n - 1) == QLatin1Char(' '))
        --n;
    return KeyedCollection::fold(n == name.size() ? name : name.left(n));
}

} // namespace veltrane::host
