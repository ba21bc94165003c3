#include "host/objects/connection.h"

#include "veltrane/contracts/error.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QUrl>
#include <QUrlQuery>
#include <atomic>
#include <cmath>
#include <unordered_map>

namespace veltrane::host {

static const QString kSource = QStringLiteral("SqlStore");

static Error invalidLocation(const QString &location, const QString &why)
{
    return Error(kStoreLocationInvalid, kSource,
                 QStringLiteral("The store location \"%1\" is not usable: %2.").arg(location, why));
}

ConnectionSpec ConnectionSpec::parse(const QString &location)
{
    ConnectionSpec spec;
    spec.original = location;
    const QString trimmed = location.trimmed();
    if (trimmed.isEmpty())
        throw Error(kStoreLocationInvalid, kSource, QStringLiteral("No store location was given."));

    if (trimmed.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
        trimmed.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive)) {
        const QUrl url(trimmed, QUrl::StrictMode);
        if (!url.isValid())
            throw invalidLocation(trimmed, url.errorString());
        spec.engine = Engine::PostgreSQL;
        spec.display = url.toString(QUrl::RemovePassword);
        spec.host = url.host(QUrl::FullyDecoded);
        if (spec.host.isEmpty())
            throw invalidLocation(spec.display, QStringLiteral("the URL names no server host"));
        spec.port = url.port(5432);
        if (spec.port <= 0 || spec.port > 65535)
            throw invalidLocation(spec.display, QStringLiteral("the port is not a number from 1 to 65535"));
        spec.user = url.userName(QUrl::FullyDecoded);
        spec.password = url.password(QUrl::FullyDecoded);
        spec.database = url.path(QUrl::FullyDecoded);
        if (spec.database.startsWith(QLatin1Char('/')))
            spec.database.remove(0, 1);
        if (spec.database.isEmpty() || spec.database.contains(QLatin1Char('/')))
            throw invalidLocation(spec.display, QStringLiteral("the URL must end in the database name, as in "
                                                               "postgresql://user@host:5432/database"));
        const QUrlQuery query(url);
        for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
            if (key != QLatin1String("schema"))
                throw invalidLocation(spec.display, QStringLiteral("unknown option \"%1\" (known: schema)").arg(key));
            static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
            if (!identifier.match(value).hasMatch())
                throw invalidLocation(spec.display,
                                      QStringLiteral("the schema name must be letters, digits and underscores"));
            spec.schema = value.toLower();
        }
        if (url.hasFragment())
            throw invalidLocation(spec.display, QStringLiteral("the URL must not have a fragment"));
        return spec;
    }

    if (trimmed.contains(QLatin1String("://")))
        throw invalidLocation(trimmed, QStringLiteral("only file paths and postgresql:// URLs are stores"));

    spec.engine = Engine::SQLite;
    if (trimmed == QLatin1String(":memory:")) {
        // A private in-memory database shared by this store's connections (one per thread): the
        // shared-cache URI makes them meet; a serial keeps stores apart.
        static std::atomic<quint64> memorySerial{0};
        spec.memory = true;
        spec.file = QStringLiteral("file:veltrane-memory-%1?mode=memory&cache=shared").arg(++memorySerial);
        spec.display = trimmed;
        return spec;
    }
    if (trimmed.startsWith(QLatin1String("file:veltrane-memory-"))) {
        // The location of an in-memory store, as location() answers it, opens the same database.
        spec.memory = true;
        spec.file = trimmed;
        spec.display = QStringLiteral(":memory:");
        return spec;
    }
    spec.file = QFileInfo(trimmed).absoluteFilePath();
    spec.display = QDir::toNativeSeparators(spec.file);
    return spec;
}

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
struct ThreadConnections
{
    quint64 threadSerial = ++g_threadSerial;
    QHash<quint64, ThreadItem> items;
    // Prepared statements by connection name and SQL text; they go before their connection does.
    // Node-based maps, so an entry stays where it is while other statements are added.
    std::unordered_map<QString, std::unordered_map<QString, CachedStatement>> statements;

    ~ThreadConnections()
    {
        statements.clear();
        for (const ThreadItem &item : std::as_const(items)) {
            const std::shared_ptr<PoolState> pool = item.pool.lock();
            if (!pool)
                continue;
            bool remove = false;
            {
                QMutexLocker lock(&pool->mutex);
                remove = item.name != pool->anchor && pool->names.remove(item.name);
            }
            if (remove)
                QSqlDatabase::removeDatabase(item.name);
        }
    }
};

thread_local ThreadConnections t_connections;

ThreadItem &threadItem(const std::shared_ptr<PoolState> &state)
{
    ThreadItem &item = t_connections.items[state->serial];
    if (item.name.isEmpty()) {
        item.pool = state;
        item.name = QStringLiteral("veltrane-store-%1-thread-%2").arg(state->serial).arg(t_connections.threadSerial);
    }
    return item;
}

Error cannotOpen(const ConnectionSpec &spec, const QString &why)
{
    return Error(kStoreCannotOpen, kSource, QStringLiteral("Cannot open the store at %1: %2").arg(spec.display, why));
}

void configure(QSqlDatabase &db, const ConnectionSpec &spec)
{
    try {
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
            // A writer waits for another one as long as SQLite's busy timeout lets it, then gives up
            // with an error instead of holding the user's window forever.
            execute(db, QStringLiteral("SET lock_timeout = '10s'"));
            if (!spec.schema.isEmpty())
                execute(db, QStringLiteral("SET search_path TO \"%1\"").arg(spec.schema));
        }
    } catch (const Error &e) {
        throw cannotOpen(spec, e.description());
    }
}

} // namespace

ConnectionPool::ConnectionPool(ConnectionSpec spec)
    : m_state(std::make_shared<PoolState>())
{
    m_state->spec = std::move(spec);
    m_state->serial = ++g_poolSerial;
}

ConnectionPool::~ConnectionPool()
{
    const auto mine = t_connections.items.constFind(m_state->serial);
    if (mine != t_connections.items.cend()) {
        t_connections.statements.erase(mine->name);
        t_connections.items.erase(mine);
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

QSqlDatabase ConnectionPool::database()
{
    ThreadItem &item = threadItem(m_state);
    const ConnectionSpec &spec = m_state->spec;
    if (QSqlDatabase::contains(item.name)) {
        QSqlDatabase db = QSqlDatabase::database(item.name, false);
        if (db.isOpen())
            return db;
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
        db.setDatabaseName(spec.file);
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000");
        if (spec.memory)
            options += QStringLiteral(";QSQLITE_OPEN_URI");
        db.setConnectOptions(options);
    } else {
        db.setHostName(spec.host);
        db.setPort(spec.port);
        db.setUserName(spec.user);
        db.setPassword(spec.password);
        db.setDatabaseName(spec.database);
        db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    }
    if (!db.open()) {
        const QString why = db.lastError().text().trimmed();
        throw cannotOpen(spec, why.isEmpty() ? QStringLiteral("the database refused the connection") : why);
    }
    configure(db, spec);
    return db;
}

// ---- transactions and statements ---------------------------------------------------------------

Transaction::Transaction(ConnectionPool &pool, Mode mode)
    : m_pool(pool)
    , m_db(pool.database())
{
    int &depth = pool.transactionDepth();
    if (depth == 0) {
        if (pool.engine() == Engine::SQLite)
            // IMMEDIATE takes the write lock at once, so two writers queue on the busy timeout instead
            // of failing when a read lock cannot be upgraded.
            execute(m_db, mode == Write ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
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

static Error statementFailed(const QSqlQuery &query, const QString &sql)
{
    const QSqlError error = query.lastError();
    QString why = error.databaseText().trimmed();
    if (why.isEmpty())
        why = error.text().trimmed();
    QString statement = sql.simplified();
    if (statement.size() > 160)
        statement = statement.left(157) + QStringLiteral("...");
    return Error(kStoreQueryFailed, kSource,
                 QStringLiteral("The database refused a statement: %1 [%2]").arg(why, statement));
}

Statement::Statement(const QSqlDatabase &db, const QString &sql)
    : m_sql(sql)
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
    if (!query->prepare(sql))
        throw statementFailed(*query, m_sql);
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
    if (m_busy)
        *m_busy = false;
}

Statement &Statement::exec()
{
    m_bound = 0;
    if (!m_query->exec())
        throw statementFailed(*m_query, m_sql);
    return *this;
}

void execute(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        throw statementFailed(query, sql);
}

QString nameKey(const QString &name)
{
    qsizetype n = name.size();
    while (n > 0 && name.at(n - 1) == QLatin1Char(' '))
        --n;
    return name.left(n).toCaseFolded();
}

} // namespace veltrane::host
