#include "host/objects/connection.h"

#include "veltrane/contracts/error.h"
#include "veltrane/contracts/stored_rules.h"

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
// looks like a URL (SQLite's own file: URIs included) is a mistake, not a file name.
const QRegularExpression kSchemePrefix(QStringLiteral("^([A-Za-z][A-Za-z0-9+.\\-]+):"));
// A password given as an option of a URL, as libpq would take it.
const QRegularExpression kPasswordOption(QStringLiteral("([?&;]password=)[^&#]*"),
                                         QRegularExpression::CaseInsensitiveOption);

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

// How many letters must change to turn one word into the other (insertions, deletions, substitutions
// and swaps of neighbours), counted up to limit + 1.
int editDistance(const QString &a, const QString &b, int limit)
{
    if (std::abs(a.size() - b.size()) > limit)
        return limit + 1;
    QList<int> before2(b.size() + 1), before(b.size() + 1), row(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        before[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            row[j] = std::min({before[j] + 1, row[j - 1] + 1, before[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                row[j] = std::min(row[j], before2[j - 2] + 1);
        }
        std::swap(before2, before);
        std::swap(before, row);
    }
    return before[b.size()];
}

// Whether the location begins like a PostgreSQL URL whose scheme or "://" was mistyped
// ("postgresql//host/db", "postgresql;//...", "postgesql:/..."), rather than like a file path. A
// folder that is merely named "postgres" ("postgres/store.sqlite") is a path.
bool mistypedPostgreSQLUrl(const QString &location)
{
    QString word;
    bool punctuated = false;
    qsizetype i = 0;
    for (; i < location.size(); ++i) {
        const QChar c = location.at(i);
        if (c.isLetter())
            word += c.toLower();
        else if (c == QLatin1Char(' ') || c == QLatin1Char(';') || c == QLatin1Char(':') || c == QLatin1Char(',') ||
                 c == QLatin1Char('.') || c == QLatin1Char('-') || c == QLatin1Char('_'))
            punctuated = true;
        else
            break;
    }
    const QStringView rest = QStringView(location).mid(i);
    const bool urlLike = punctuated || rest.startsWith(QLatin1String("//")) || rest.startsWith(QLatin1Char('@'));
    if (!urlLike || word.size() < 4)
        return false;
    return editDistance(word, QStringLiteral("postgresql"), 2) <= 2 ||
           editDistance(word, QStringLiteral("postgres"), 2) <= 2 || word == QLatin1String("pgsql") ||
           word == QLatin1String("psql");
}

// The value of an option of encrypted connections: a mode libpq knows, or the path of a file (made
// absolute, so a store opened again from another folder finds it).
QString tlsValue(const QString &location, const QString &key, const QString &value)
{
    if (key == QLatin1String("sslmode")) {
        static const QStringList modes{QStringLiteral("disable"),   QStringLiteral("allow"),
                                       QStringLiteral("prefer"),    QStringLiteral("require"),
                                       QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
        if (!modes.contains(value))
            throw invalidLocation(location, QStringLiteral("sslmode must be one of %1, not \"%2\"")
                                                .arg(modes.join(QStringLiteral(", ")), redactedLocation(value)));
        return value;
    }
    // The driver cannot pass a semicolon on.
    if (value.isEmpty() || value.contains(QLatin1Char(';')))
        throw invalidLocation(location, QStringLiteral("%1 must name a file (without a semicolon)").arg(key));
    return QFileInfo(value).absoluteFilePath();
}

} // namespace

QString redactedLocation(const QString &location)
{
    QString shown = location;
    // The password of user information, readable as a URL or not ("user:password@host", whatever comes
    // before it): from the first colon that does not begin "://" (or ":/") to the last "@". First, while
    // every "@" is there: a password option's value may hold the one that ends the user information.
    const qsizetype at = shown.lastIndexOf(QLatin1Char('@'));
    for (qsizetype i = 0; i < at; ++i) {
        if (shown.at(i) != QLatin1Char(':') || shown.at(i + 1) == QLatin1Char('/'))
            continue;
        if (at > i + 1)
            shown.replace(i + 1, at - i - 1, QStringLiteral("***"));
        break;
    }
    shown.replace(kPasswordOption, QStringLiteral("\\1***"));
    return shown;
}

ConnectionSpec ConnectionSpec::parse(const QString &location)
{
    ConnectionSpec spec;
    spec.original = location;
    const QString trimmed = location.trimmed();
    if (trimmed.isEmpty())
        throw Error(kStoreLocationInvalid, kSource, QStringLiteral("No store location was given."));

    // No file or URL has them, and a terminal would act on them where the location is shown.
    for (const QChar c : trimmed)
        if (c.category() == QChar::Other_Control)
            throw Error(kStoreLocationInvalid, kSource,
                        QStringLiteral("The store location \"%1\" is not usable: it holds a control character "
                                       "(U+%2).")
                            .arg(printable(redactedLocation(trimmed)),
                                 QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0'))));
    static const QString example = QStringLiteral("postgresql://user@host:5432/database");
    const QRegularExpressionMatch scheme = kSchemePrefix.match(trimmed);
    const bool postgreSQL = scheme.hasMatch() && isPostgreSQLScheme(scheme.captured(1));
    const bool holdsPassword = redactedLocation(trimmed) != trimmed;
    if (scheme.hasMatch() && !postgreSQL)
        throw invalidLocation(trimmed, QStringLiteral("it looks like a URL, but only file paths and postgresql:// URLs "
                                                      "are stores%1")
                                           .arg(holdsPassword ? QString()
                                                              : QStringLiteral(" (write a file name that holds a "
                                                                               "colon as ./%1)")
                                                                    .arg(trimmed)));
    if (postgreSQL) {
        if (!trimmed.mid(scheme.capturedLength()).startsWith(QLatin1String("//")))
            throw invalidLocation(trimmed,
                                  QStringLiteral("a PostgreSQL URL begins with postgresql://, as in %1").arg(example));
        parseUrl(trimmed, spec);
        return spec;
    }
    // What is refused from here on would otherwise become folders of a new store, named after a server
    // and perhaps a password.
    if (trimmed.contains(QLatin1String("://")))
        throw invalidLocation(trimmed, QStringLiteral("it looks like a URL, but only file paths and postgresql:// "
                                                      "URLs are stores"));
    if (mistypedPostgreSQLUrl(trimmed))
        throw invalidLocation(trimmed, QStringLiteral("it looks like a PostgreSQL URL, which begins with "
                                                      "postgresql://, as in %1")
                                           .arg(example));
    if (holdsPassword)
        throw invalidLocation(trimmed, QStringLiteral("it holds a user name and password (name:password@host), as "
                                                      "only a PostgreSQL URL does; such a URL begins with "
                                                      "postgresql://, as in %1")
                                           .arg(example));

    spec.engine = Engine::SQLite;
    if (trimmed == QLatin1String(":memory:")) {
        // A private in-memory database shared by this store's connections (one per thread): the
        // shared-cache URI makes them meet; a serial keeps stores apart.
        spec.memory = true;
        spec.file = memoryUri();
        spec.display = trimmed;
        return spec;
    }
    spec.file = QFileInfo(trimmed).absoluteFilePath();
    spec.storeFile = spec.file;
    spec.display = QDir::toNativeSeparators(spec.file);
    return spec;
}

QString ConnectionSpec::memoryUri()
{
    static std::atomic<quint64> memorySerial{0};
    return QStringLiteral("file:veltrane-memory-%1?mode=memory&cache=shared").arg(++memorySerial);
}

void ConnectionSpec::parseUrl(const QString &trimmed, ConnectionSpec &spec)
{
    // QUrl's own error texts quote the URL, password included, so the reasons given are ours, and what
    // they repeat of the URL is redacted too.
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
    const std::pair<const char *, QString *> tlsOptions[] = {{"sslmode", &spec.sslMode},
                                                             {"sslrootcert", &spec.sslRootCert},
                                                             {"sslcert", &spec.sslCert},
                                                             {"sslkey", &spec.sslKey}};
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
        if (const auto tls = std::find_if(std::begin(tlsOptions), std::end(tlsOptions),
                                          [&key](const auto &t) { return key == QLatin1String(t.first); });
            tls != std::end(tlsOptions)) {
            *tls->second = tlsValue(trimmed, key, value);
            continue;
        }
        const auto number = std::find_if(std::begin(numbers), std::end(numbers),
                                         [&key](const auto &n) { return key == QLatin1String(n.first); });
        if (number == std::end(numbers))
            throw invalidLocation(trimmed, QStringLiteral("unknown option \"%1\" (known: schema, sslmode, sslrootcert, "
                                                          "sslcert, sslkey, connect_timeout, statement_timeout, "
                                                          "keepalives_idle, keepalives_interval, keepalives_count)")
                                               .arg(redactedLocation(key)));
        bool ok = false;
        const int v = value.toInt(&ok);
        if (!ok || v < 1 || v > 86400)
            throw invalidLocation(trimmed, QStringLiteral("%1 must be a whole number of seconds from 1 to 86400, not "
                                                          "\"%2\"")
                                               .arg(key, redactedLocation(value)));
        *number->second = v;
    }
}

} // namespace veltrane::host
