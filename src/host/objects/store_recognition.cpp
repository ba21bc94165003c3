// How a database is told to be a store before anything changes it, and the private copy of a store
// that may only be read.

#include "host/objects/connection_setup.h"

#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veltrane::host {

namespace {

const QString kSource = QStringLiteral("SqlStore");

// The answers of a query that lists names (empty when the query fails: what cannot be read is not
// ours).
QStringList namesOf(const QSqlDatabase &db, const QString &sql, const QString &bound = {})
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const bool done = execWatched(q, db, sql, bound);
    QStringList names;
    while (done && q.next())
        names << q.value(0).toString();
    return names;
}

// The tables (and views) of the database that are not the engine's own. On PostgreSQL the catalogue
// is asked, which lists every table of the schema, also those the user has no privilege on.
QStringList userTables(const QSqlDatabase &db, const ConnectionSpec &spec)
{
    const QString sql =
        spec.engine == Engine::SQLite
            ? QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table', 'view') "
                             "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name")
            : QStringLiteral("SELECT c.relname FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n "
                             "ON n.oid = c.relnamespace WHERE n.nspname = current_schema() "
                             "AND c.relkind IN ('r', 'p', 'v', 'm', 'f') ORDER BY c.relname");
    QSqlQuery q(db);
    if (!execWatched(q, db, sql)) {
        QString why = q.lastError().databaseText().simplified();
        throw cannotOpen(spec, why.isEmpty() ? q.lastError().text().simplified() : why);
    }
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    return names;
}

// Whether the tables a store is known by have the columns every version of the store gave them, and
// the store's versions are recorded: tables of the same names made by another program do not.
bool storeShaped(const QSqlDatabase &db, const ConnectionSpec &spec)
{
    const QString columns =
        spec.engine == Engine::SQLite
            ? QStringLiteral("SELECT name FROM pragma_table_info(?)")
            : QStringLiteral("SELECT a.attname FROM pg_catalog.pg_attribute a JOIN pg_catalog.pg_class c ON "
                             "c.oid = a.attrelid JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace WHERE "
                             "n.nspname = current_schema() AND c.relname = ? AND a.attnum > 0 AND NOT a.attisdropped");
    const std::pair<QString, QStringList> expected[] = {
        {QStringLiteral("schema_migrations"), {QStringLiteral("version"), QStringLiteral("applied_at")}},
        {QStringLiteral("parameter_sets"),
         {QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("name_key"), QStringLiteral("version")}},
    };
    for (const auto &[table, needed] : expected) {
        const QStringList held = namesOf(db, columns, table);
        for (const QString &column : needed)
            if (!held.contains(column))
                return false;
    }
    const QStringList versions =
        namesOf(db, QStringLiteral("SELECT CAST(MAX(version) AS TEXT) FROM schema_migrations"));
    bool whole = false;
    return !versions.isEmpty() && versions.first().toInt(&whole) >= 1 && whole;
}

} // namespace

void recognise(const QSqlDatabase &db, const ConnectionSpec &spec)
{
    if (spec.engine == Engine::SQLite) {
        QSqlQuery q(db);
        if (!execWatched(q, db, QStringLiteral("PRAGMA application_id")) || !q.next()) {
            const QString why = q.lastError().databaseText().simplified();
            throw cannotOpen(spec, why.isEmpty() ? QStringLiteral("it is not a database") : why);
        }
        const qint32 id = q.value(0).toInt();
        if (id == kSqliteApplicationId)
            return;
        if (id != 0)
            throw cannotOpen(spec, QStringLiteral("it is another program's database (application id %1), which was "
                                                  "left as it was")
                                       .arg(id));
    }
    const QStringList tables = userTables(db, spec);
    if (tables.isEmpty() || (tables.contains(QStringLiteral("schema_migrations")) &&
                             tables.contains(QStringLiteral("parameter_sets")) && storeShaped(db, spec)))
        return;
    QString list = tables.mid(0, 5).join(QStringLiteral(", "));
    if (tables.size() > 5)
        list += QStringLiteral(", ...");
    throw cannotOpen(spec,
                     QStringLiteral("it holds another program's tables (%1), not a store; it was left as it was%2")
                         .arg(list, spec.engine == Engine::PostgreSQL
                                        ? QStringLiteral(" (give the store a schema of its own: ?schema=name)")
                                        : QString()));
}

namespace {

std::atomic<quint64> g_snapshotSerial{0};

sqlite3 *sqliteHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

// What tells whether a file was written meanwhile.
struct FileState
{
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    uid_t owner = 0;

    explicit FileState(const QString &path)
    {
        struct stat st = {};
        if (::stat(QFile::encodeName(path).constData(), &st) != 0)
            return;
        exists = true;
        size = st.st_size;
        modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        inode = st.st_ino;
        owner = st.st_uid;
    }
    bool operator==(const FileState &o) const
    {
        return exists == o.exists && size == o.size && modifiedNs == o.modifiedNs && inode == o.inode;
    }
};

// Copies the file's database into target, reading it through a connection that creates nothing: one
// that trusts the file alone (immutable) when no write-ahead log holds anything, else one that shares
// the log and its index with the program writing them. Answers false when the file was rewritten while
// it was read alone, so the copy may be torn.
bool copyOnce(sqlite3 *target, const QSqlDatabase &into, const ConnectionSpec &source)
{
    const QString wal = source.file + QStringLiteral("-wal");
    const QString shm = source.file + QStringLiteral("-shm");
    const FileState before(source.file), walBefore(wal), shmBefore(shm);
    const FileState journal(source.file + QStringLiteral("-journal"));
    const bool logged = walBefore.exists && walBefore.size > 0;
    if ((logged && !shmBefore.exists) || (journal.exists && journal.size > 0))
        throw cannotOpen(source, QStringLiteral("a program that was writing to it stopped before it had finished, and "
                                                "only someone who may write to the store can complete that (its owner "
                                                "opening it once does)"));
    const QString name = QStringLiteral("veltrane-snapshot-%1").arg(++g_snapshotSerial);
    int step = SQLITE_OK;
    QString why;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QUrl::fromLocalFile(source.file).toString(QUrl::FullyEncoded) +
                           (logged ? QStringLiteral("?mode=ro") : QStringLiteral("?mode=ro&immutable=1")));
        db.setConnectOptions(
            QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1;QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY").arg(kStatementBusyWaitMs));
        try {
            if (!db.open())
                throw cannotOpen(source, db.lastError().text().simplified());
            recognise(db, source);
            // An in-memory database keeps the page size it was made with, which must be the file's.
            QSqlQuery size(db);
            if (!size.exec(QStringLiteral("PRAGMA page_size")) || !size.next())
                throw cannotOpen(source, size.lastError().text().simplified());
            execute(into, QStringLiteral("PRAGMA page_size = %1").arg(size.value(0).toInt()));
            size.finish();
            sqlite3 *from = sqliteHandle(db);
            sqlite3_backup *backup = from ? sqlite3_backup_init(target, "main", from, "main") : nullptr;
            if (!backup)
                throw cannotOpen(source, QString::fromUtf8(sqlite3_errmsg(target)));
            step = sqlite3_backup_step(backup, -1);
            sqlite3_backup_finish(backup);
            if (step != SQLITE_DONE)
                why = QString::fromUtf8(sqlite3_errstr(step));
        } catch (...) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    // The program writing the store may have closed it just before the copy began, so that the copy's
    // connection made the log and its index anew; they are this user's then, and would keep the owner
    // from writing, so they go.
    for (const auto &[path, earlier] : {std::pair{wal, walBefore}, std::pair{shm, shmBefore}}) {
        const FileState now(path);
        if (!earlier.exists && now.exists && now.owner == ::geteuid())
            QFile::remove(path);
    }
    if (step == SQLITE_BUSY || step == SQLITE_LOCKED)
        return false;
    if (step != SQLITE_DONE)
        throw cannotOpen(source, why);
    return logged || FileState(source.file) == before;
}

} // namespace

void copySnapshot(const QSqlDatabase &into, const QString &file, const QString &display)
{
    ConnectionSpec source;
    source.file = file;
    source.display = display;
    sqlite3 *target = sqliteHandle(into);
    if (!target)
        throw cannotOpen(source, QStringLiteral("the Qt SQL driver gives no access to SQLite itself"));
    constexpr int kAttempts = 5;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        if (copyOnce(target, into, source))
            return;
        QThread::msleep(ulong(100 * attempt));
    }
    throw Error(kStoreBusy, kSource,
                QStringLiteral("Cannot open the store at %1: another program kept writing to it while it was being "
                               "read. Try again in a moment.")
                    .arg(display));
}

} // namespace veltrane::host
