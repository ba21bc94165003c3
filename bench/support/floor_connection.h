#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>

#include <map>
#include <memory>

namespace veltrane::bench {

// The floors' own connection to a store's database: the same Qt driver and the connection settings
// the store uses (busy timeout, foreign keys, write-ahead log, synchronous level; the URL's schema),
// outside every store object. Opened on first use and kept for the program's life, one per location.
inline QSqlDatabase floorConnection(const QString &location)
{
    const QString name = QStringLiteral("bench-floor ") + location;
    if (QSqlDatabase::contains(name))
        return QSqlDatabase::database(name);
    const bool postgres = location.startsWith(QLatin1String("postgresql://"));
    QSqlDatabase db = QSqlDatabase::addDatabase(postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), name);
    if (postgres) {
        const QUrl url(location);
        db.setHostName(url.host());
        db.setPort(url.port(5432));
        db.setUserName(url.userName());
        db.setPassword(url.password());
        db.setDatabaseName(url.path().mid(1));
    } else {
        db.setDatabaseName(location);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    }
    if (!db.open())
        qFatal("floor connection: %s", qPrintable(db.lastError().text()));
    QSqlQuery q(db);
    const QString schema = QUrlQuery(QUrl(location)).queryItemValue(QStringLiteral("schema"));
    if (postgres && !schema.isEmpty())
        q.exec(QStringLiteral("SET search_path TO \"%1\"").arg(schema));
    if (!postgres) {
        q.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        q.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        q.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    }
    return db;
}

// A floor's statement either runs or ends the program: a floor that failed would time nothing.
inline void execOrDie(QSqlQuery &q)
{
    if (!q.exec())
        qFatal("%s: %s", qPrintable(q.lastQuery()), qPrintable(q.lastError().text()));
}

// Brings the database to the same state before a case and before its floor: the sets a case wrote
// (names beginning with writtenNamePrefix) deleted with all they own, the SQLite write-ahead log folded
// into the database, a PostgreSQL server's tables vacuumed. A write case that left its rows would make
// whatever runs after it slower.
inline void settle(const QSqlDatabase &db, const QString &writtenNamePrefix = {})
{
    QSqlQuery q(db);
    if (!writtenNamePrefix.isEmpty()) {
        q.prepare(QStringLiteral("DELETE FROM parameter_sets WHERE name_key LIKE ?"));
        q.addBindValue(QString(writtenNamePrefix.toCaseFolded() + QLatin1Char('%')));
        execOrDie(q);
    }
    if (db.driverName() == QLatin1String("QSQLITE"))
        q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    else
        q.exec(QStringLiteral("VACUUM ANALYZE"));
}

// Many rows into one table the way a careful program writes them: multi-row INSERT statements of at
// most 256 rows, each shape prepared once and kept, so a thousand rows cost four statements, not a
// thousand round trips. head is "INSERT INTO table (a, b, c) VALUES ", row is "(?, ?, ?)".
class RowInserter
{
public:
    RowInserter(QSqlDatabase db, const QString &head, const QString &row, int width)
        : m_db(std::move(db))
        , m_head(head)
        , m_row(row)
        , m_width(width)
    {}

    // values holds the rows one after the other, width values each.
    void insert(const QList<QVariant> &values)
    {
        const qsizetype rows = values.size() / m_width;
        for (qsizetype first = 0; first < rows; first += kRowsPerStatement) {
            const int count = int(std::min<qsizetype>(kRowsPerStatement, rows - first));
            QSqlQuery &q = statement(count);
            for (int i = 0; i < count * m_width; ++i)
                q.bindValue(i, values.at(first * m_width + i));
            execOrDie(q);
        }
    }

private:
    static constexpr int kRowsPerStatement = 256;

    QSqlQuery &statement(int rows)
    {
        std::unique_ptr<QSqlQuery> &q = m_statements[rows];
        if (!q) {
            QString sql = m_head;
            for (int i = 0; i < rows; ++i)
                sql += (i ? QStringLiteral(", ") : QString()) + m_row;
            q = std::make_unique<QSqlQuery>(m_db);
            if (!q->prepare(sql))
                qFatal("%s: %s", qPrintable(sql), qPrintable(q->lastError().text()));
        }
        return *q;
    }

    QSqlDatabase m_db;
    QString m_head, m_row;
    int m_width;
    std::map<int, std::unique_ptr<QSqlQuery>> m_statements;
};

} // namespace veltrane::bench
