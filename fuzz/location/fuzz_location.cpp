// Fuzzes store locations, every text --db may be given. A location is refused with an Error or taken
// as a file path, ":memory:" or a PostgreSQL URL, and no text shown of it ever holds its password:
//   - the input as it is must parse without crashing; a file path taken is absolute and never one of
//     SQLite's URIs or anything with "://" in it; TLS options taken are a known sslmode and absolute
//     file paths;
//   - the input cut at its first three NUL bytes is also read as what comes before a user name, the
//     user name, the password and what follows ("<prefix><user>:<password>@<rest>"): parsed, the
//     password must appear neither in the refusal nor in the location shown.

#include "host/objects/connection.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/stored_rules.h"

#include <QCoreApplication>
#include <QDir>
#include <QUrl>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using veltrane::host::ConnectionSpec;
using veltrane::host::Engine;

namespace {

[[noreturn]] void broken(const char *what, const QString &location, const QString &shown)
{
    std::fprintf(stderr, "%s\nlocation: %s\nshown: %s\n", what, qPrintable(location), qPrintable(shown));
    std::abort();
}

// Parses the location; answers what is shown of it (the refusal, or the location as shown).
QString parsed(const QString &location)
{
    try {
        const ConnectionSpec spec = ConnectionSpec::parse(location);
        if (spec.engine == Engine::SQLite && !spec.memory) {
            const QString trimmed = location.trimmed();
            if (!QDir::isAbsolutePath(spec.file) || trimmed.contains(QLatin1String("://")) ||
                trimmed.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
                broken("taken as a file path", location, spec.display);
        }
        if (spec.memory && location.trimmed() != QLatin1String(":memory:"))
            broken("taken as an in-memory store", location, spec.display);
        // What reaches the driver of encrypted connections: a mode it knows, and files as absolute paths
        // without the semicolon that would end the driver's option.
        static const QStringList modes{QString(), "disable", "allow", "prefer", "require", "verify-ca", "verify-full"};
        if (!modes.contains(spec.sslMode))
            broken("an unknown sslmode taken", location, spec.sslMode);
        for (const QString *file : {&spec.sslRootCert, &spec.sslCert, &spec.sslKey})
            if (!file->isEmpty() && (!QDir::isAbsolutePath(*file) || file->contains(QLatin1Char(';'))))
                broken("a certificate file taken as it was", location, *file);
        return spec.display;
    } catch (const veltrane::Error &e) {
        return e.description();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    parsed(QString::fromUtf8(bytes));

    const QList<QByteArray> parts = bytes.split('\0');
    if (parts.size() < 4)
        return 0;
    const QString prefix = QString::fromUtf8(parts[0]);
    const QString user = QString::fromUtf8(parts[1]);
    // A password begins with a character of its own and holds no "@", which would end it.
    const QString password = QStringLiteral("S3c") + QString::fromUtf8(parts[2]).remove(QLatin1Char('@'));
    const QString rest = QString::fromUtf8(parts.mid(3).join('\0'));
    // The password could not be told from the rest: the other parts hold it, also with the colon and
    // what a redacted password shows ("S3c" + ":" is the user "S3c" before "***"), as a message shows
    // them (a NUL after "S3c" shown as "S3c\x00"), or decoded (an option named "%53%33%63").
    const QString around = prefix + user + QStringLiteral(":***@") + rest;
    for (const QString &seen : {QString(prefix + user + rest), around, veltrane::printable(around),
                                QUrl::fromPercentEncoding(around.toUtf8())})
        if (seen.contains(password))
            return 0;
    const QString location = prefix + user + QLatin1Char(':') + password + QLatin1Char('@') + rest;
    const QString shown = parsed(location);
    if (shown.contains(password))
        broken("the password is shown", location, shown);
    if (veltrane::host::redactedLocation(location).contains(password))
        broken("the password is not redacted", location, veltrane::host::redactedLocation(location));
    return 0;
}
