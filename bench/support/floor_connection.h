#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

namespace veltrane::bench {

// The floors' own connection to a store's database: the same Qt driver and the connection settings
// the store uses (busy timeout, foreign keys, write-ahead log, synchronous level; the URL's schema),
// outside every store object. Opened on first use and kept for the program's life.
inline QSqlDatabase floorConnection(const QString &location)
{
    const QString name = QStringLiteral("bench-floor");
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

} // namespace veltrane::bench
