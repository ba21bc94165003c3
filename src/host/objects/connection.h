#pragma once

// Internal to the store: where a store lives, one database connection per thread, transactions and
// statement helpers that turn driver failures into Errors.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <memory>

#include "host/objects/watchdog.h"

namespace veltrane::host {

enum class Engine { SQLite, PostgreSQL };

// The application id a SQLite store carries in its header ("VELT"), by which it is told from other
// programs' databases before anything is changed.
constexpr qint32 kSqliteApplicationId = 0x56454C54;

// PostgreSQL: how long a writer waits for a row another session holds (a set someone is saving) before
// the statement fails with kStoreBusy.
constexpr int kLockTimeoutSeconds = 10;

// A parsed store location. The password never appears in texts shown to people.
struct ConnectionSpec
{
    Engine engine = Engine::SQLite;
    QString display;     // the location as shown to people (no password)
    QString original;    // the location as given (used to open further sessions)
    QString file;        // SQLite: the database file, or the shared in-memory URI
    QString storeFile;   // SQLite: the store's file, also when it is read from a copy in memory
    bool memory = false; // SQLite: a private in-memory store
    QString host;
    int port = 5432;
    QString user;
    QString password;
    QString database;
    QString schema; // PostgreSQL: tables live in this schema when given
    // Every write is refused (kStoreNotWritable). A SQLite file the user cannot write, or in a folder
    // the user cannot write, is read from a private copy in memory (see copySnapshot): display still
    // names the file, while file is the copy's URI.
    bool readOnly = false;
    // SQLite: how long a writer waits for another program to finish writing before it gives up.
    int writeWaitMs = 60000;
    // PostgreSQL, each settable in the URL (?connect_timeout=10&statement_timeout=60&...): seconds to
    // reach the server, seconds a statement may run (the server's limit; the program gives up on a
    // server that does not answer a few seconds after it), and the TCP keep-alive probes that find a
    // lost connection: idle seconds before the first, seconds between them, and how many go unanswered.
    int connectTimeout = 10;
    int statementTimeout = 60;
    int keepalivesIdle = 30;
    int keepalivesInterval = 10;
    int keepalivesCount = 3;
    // PostgreSQL, settable in the URL (?sslmode=verify-full&sslrootcert=/etc/lab/ca.crt): how the
    // connection is encrypted and the server's certificate checked (disable, allow, prefer, require,
    // verify-ca, verify-full; unset, the driver's default, prefer), the certificate authority that signed
    // the server's certificate, and the client's own certificate and key where the server asks for one.
    // Files are absolute paths once parsed.
    QString sslMode;
    QString sslRootCert;
    QString sslCert;
    QString sslKey;

    // Throws kStoreLocationInvalid with a text that says what is wrong. Only a file path, ":memory:"
    // or a postgresql:// URL is a location: SQLite's own URIs (file:...), other URLs and anything
    // that looks like a mistyped PostgreSQL URL or holds a password are refused.
    static ConnectionSpec parse(const QString &location);
    // The SQLite URI of a new private in-memory database.
    static QString memoryUri();

private:
    static void parseUrl(const QString &trimmed, ConnectionSpec &spec);
};

// The location as it may be shown to people: a password in it, even in a URL that cannot be read,
// replaced by "***".
QString redactedLocation(const QString &location);

struct PoolState;

// The connections of one store object: each thread gets its own, named after the store and the
// thread, opened and configured on first use and removed when the thread ends or the pool goes.
class ConnectionPool
{
public:
    explicit ConnectionPool(ConnectionSpec spec);
    ~ConnectionPool();
    ConnectionPool(const ConnectionPool &) = delete;
    ConnectionPool &operator=(const ConnectionPool &) = delete;

    const ConnectionSpec &spec() const;
    Engine engine() const;
    // The calling thread's connection, open. Throws kStoreCannotOpen.
    QSqlDatabase database();
    // How many transactions the calling thread has open on its connection (see Transaction).
    int &transactionDepth();
    // From now on every write is refused (a store copied to be read, once it is ready).
    void markReadOnly();

private:
    std::shared_ptr<PoolState> m_state;
};

// One transaction on the calling thread's connection; rolled back unless committed. Inside an open
// transaction of the same thread it joins that one (the outermost decides).
class Transaction
{
public:
    enum Mode { Read, Write };
    Transaction(ConnectionPool &pool, Mode mode);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();
    QSqlDatabase &db() { return m_db; }

private:
    ConnectionPool &m_pool;
    QSqlDatabase m_db;
    bool m_outermost = false;
    bool m_done = false;
};

// A prepared statement with positional parameters; every failure throws kStoreQueryFailed with the
// driver's text. Statements are prepared once per connection and kept (parsing costs as much as a
// small query); a statement is finished when it goes out of scope, so no read snapshot outlives it.
class Statement
{
public:
    Statement(const QSqlDatabase &db, const QString &sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &bind(const QVariant &value)
    {
        if (value.typeId() == QMetaType::Double)
            return bind(value.toDouble());
        if (value.typeId() == QMetaType::QString)
            return bind(value.toString());
        m_query->bindValue(m_bound++, value);
        return *this;
    }
    // A NaN would be kept by one engine and lost by the other, so it is refused (callers that know
    // the field say so first).
    Statement &bind(double value);
    // Whole numbers keep their own overloads, so they never pass for a double.
    Statement &bind(int value) { return bind(QVariant(value)); }
    Statement &bind(qint64 value) { return bind(QVariant(value)); }
    // Texts are never NULL in the store: an unset text is stored as an empty one.
    Statement &bind(const QString &text)
    {
        m_query->bindValue(m_bound++, text.isNull() ? QString(QLatin1String("")) : text);
        return *this;
    }
    Statement &exec();
    bool next() { return m_query->next(); }
    QVariant value(int i) const { return m_query->value(i); }
    qint32 intAt(int i) const { return m_query->value(i).toInt(); }
    qint64 int64At(int i) const { return m_query->value(i).toLongLong(); }
    float floatAt(int i) const { return float(m_query->value(i).toDouble()); }
    bool boolAt(int i) const { return m_query->value(i).toInt() != 0; }
    QString textAt(int i) const { return m_query->value(i).toString(); }
    int rowsAffected() const { return m_query->numRowsAffected(); }
    void finish();

private:
    QSqlQuery *m_query = nullptr;
    std::unique_ptr<WatchdogGuard> m_watch; // while a statement's answer is awaited or read
    bool *m_busy = nullptr;                 // the cache entry's flag while this statement uses it
    std::unique_ptr<QSqlQuery> m_own;       // when the cached one is in use further up the stack
    QString m_sql;
    QString m_connection;
    int m_bound = 0; // positions restart with every execution, so one statement serves a loop
};

// Copies the SQLite store in file (shown as display) into the empty database of into, as one
// consistent snapshot, without creating or changing anything beside the file: for a store that others
// keep and this user may only read. The file is recognised first, as every store is (another
// program's database is refused untouched). Throws kStoreCannotOpen, or kStoreBusy when another
// program keeps rewriting the file.
void copySnapshot(const QSqlDatabase &into, const QString &file, const QString &display);

// Runs a statement without parameters (DDL, pragmas).
void execute(const QSqlDatabase &db, const QString &sql);

// The key under which names are unique and looked up: trailing blanks removed, then folded as keyed
// collections fold keys (case folded and composed), so a stored name is always a usable collection key.
QString nameKey(const QString &name);

} // namespace veltrane::host
