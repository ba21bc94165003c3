#include "host/objects/connection.h"

#include "veltrane/contracts/error.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>
#include <atomic>

// Where a store lives: a file path, or a PostgreSQL URL with its options, read into a ConnectionSpec.

namespace veltrane::host {

static const QString kSource = QStringLiteral("SqlStore");

namespace {

// "scheme:" at the start of a location: ours is postgresql:// (or postgres://); anything else that
// looks like a URL is a mistake, not a file name.
const QRegularExpression kSchemePrefix(QStringLiteral("^([A-Za-z][A-Za-z0-9+.\\-]+):"));
// The user information of something that looks like a URL, readable or not: the password is what
// lies between the user name's colon and the last "@".
const QRegularExpression kUserInfo(QStringLiteral("^(\\s*[A-Za-z][A-Za-z0-9+.\\-]*:/*[^:/@]*):(.*)@"));

bool isPostgreSQLScheme(const QString &scheme)
{
    return scheme.compare(QLatin1String("postgresql"), Qt::CaseInsensitive) == 0 ||
           scheme.compare(QLatin1String("postgres"), Qt::CaseInsensitive) == 0;
}

Error invalidLocation(const QString &location, const QString &why)
{
    return Error(kStoreLocationInvalid, kSource,
                 QStringLiteral("The store location \"%1\" is not usable: %2.").arg(redactedLocation(location), why));
}

} // namespace

QString redactedLocation(const QString &location)
{
    QString shown = location;
    const QRegularExpressionMatch m = kUserInfo.match(location);
    if (m.hasMatch() && !m.captured(2).isEmpty())
        shown.replace(0, m.capturedEnd(0), m.captured(1) + QStringLiteral(":***@"));
    return shown;
}

ConnectionSpec ConnectionSpec::parse(const QString &location)
{
    ConnectionSpec spec;
    spec.original = location;
    const QString trimmed = location.trimmed();
    if (trimmed.isEmpty())
        throw Error(kStoreLocationInvalid, kSource, QStringLiteral("No store location was given."));

    if (trimmed.startsWith(QLatin1String("file:veltrane-memory-"))) {
        // The location of an in-memory store, as location() answers it, opens the same database.
        spec.memory = true;
        spec.file = trimmed;
        spec.display = QStringLiteral(":memory:");
        return spec;
    }
    const QRegularExpressionMatch scheme = kSchemePrefix.match(trimmed);
    if (scheme.hasMatch()) {
        if (!isPostgreSQLScheme(scheme.captured(1)))
            throw invalidLocation(trimmed, QStringLiteral("it looks like a URL, but only file paths and postgresql:// "
                                                          "URLs are stores (write a file name that holds a colon as "
                                                          "./%1)")
                                               .arg(redactedLocation(trimmed)));
        if (!trimmed.mid(scheme.capturedLength()).startsWith(QLatin1String("//")))
            throw invalidLocation(trimmed, QStringLiteral("a PostgreSQL URL begins with postgresql://, as in "
                                                          "postgresql://user@host:5432/database"));
        parseUrl(trimmed, spec);
        return spec;
    }

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
    spec.file = QFileInfo(trimmed).absoluteFilePath();
    spec.display = QDir::toNativeSeparators(spec.file);
    return spec;
}

void ConnectionSpec::parseUrl(const QString &trimmed, ConnectionSpec &spec)
{
    // QUrl's own error texts quote the URL, password included, so the reasons given are ours.
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid())
        throw invalidLocation(trimmed, QStringLiteral("it is not a valid URL (check the port, and write special "
                                                      "characters of the user name and password percent-encoded: "
                                                      "# as %23, @ as %40, / as %2F, a space as %20)"));
    spec.engine = Engine::PostgreSQL;
    spec.display = redactedLocation(url.toString(QUrl::RemovePassword));
    spec.host = url.host(QUrl::FullyDecoded);
    if (spec.host.isEmpty())
        throw invalidLocation(trimmed, QStringLiteral("the URL names no server host"));
    spec.port = url.port(5432);
    if (spec.port <= 0 || spec.port > 65535)
        throw invalidLocation(trimmed, QStringLiteral("the port is not a number from 1 to 65535"));
    spec.user = url.userName(QUrl::FullyDecoded);
    spec.password = url.password(QUrl::FullyDecoded);
    spec.database = url.path(QUrl::FullyDecoded);
    if (spec.database.startsWith(QLatin1Char('/')))
        spec.database.remove(0, 1);
    if (spec.database.isEmpty() || spec.database.contains(QLatin1Char('/')))
        throw invalidLocation(trimmed, QStringLiteral("the URL must end in the database name, as in "
                                                      "postgresql://user@host:5432/database"));
    if (url.hasFragment())
        throw invalidLocation(trimmed, QStringLiteral("the URL must not have a fragment (a # in a password is "
                                                      "written %23)"));
    const QUrlQuery query(url);
    const std::pair<const char *, int *> numbers[] = {
        {"connect_timeout", &spec.connectTimeout},   {"statement_timeout", &spec.statementTimeout},
        {"keepalives_idle", &spec.keepalivesIdle},   {"keepalives_interval", &spec.keepalivesInterval},
        {"keepalives_count", &spec.keepalivesCount},
    };
    for (const std::pair<QString, QString> &option : query.queryItems(QUrl::FullyDecoded)) {
        const QString &key = option.first;
        const QString &value = option.second;
        if (key == QLatin1String("schema")) {
            static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
            if (!identifier.match(value).hasMatch())
                throw invalidLocation(trimmed,
                                      QStringLiteral("the schema name must be letters, digits and underscores"));
            spec.schema = value.toLower();
            continue;
        }
        const auto number = std::find_if(std::begin(numbers), std::end(numbers),
                                         [&key](const auto &n) { return key == QLatin1String(n.first); });
        if (number == std::end(numbers))
            throw invalidLocation(trimmed, QStringLiteral("unknown option \"%1\" (known: schema, connect_timeout, "
                                                          "statement_timeout, keepalives_idle, keepalives_interval, "
                                                          "keepalives_count)")
                                               .arg(key));
        bool ok = false;
        const int v = value.toInt(&ok);
        if (!ok || v < 1 || v > 86400)
            throw invalidLocation(trimmed, QStringLiteral("%1 must be a whole number of seconds from 1 to 86400, not "
                                                          "\"%2\"")
                                               .arg(key, value));
        *number->second = v;
    }
}

} // namespace veltrane::host
