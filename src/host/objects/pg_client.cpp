// What the store asks PostgreSQL's client library about a connection the Qt driver holds.

#include "host/objects/connection_setup.h"

#include <QSqlDriver>
#include <cstring>
#include <dlfcn.h>
#include <libpq-fe.h>
#include <link.h>

namespace veltrane::host {

namespace {

PGconn *pgConnection(const QSqlDriver *driver)
{
    if (!driver)
        return nullptr;
    const QVariant handle = driver->handle();
    // The driver names the type after the structure's own name.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(handle.constData());
}

// The calls of the PostgreSQL client library the store makes itself, taken from the copy the
// driver loaded. The store does not link the library: every start on SQLite would load it and the
// twenty-odd libraries it needs (TLS, Kerberos, LDAP) for nothing. A PGconn exists only once the
// driver has loaded it, so the look-up cannot come too early.
struct ClientLibrary
{
    ConnStatusType (*status)(const PGconn *) = nullptr;
    int (*socket)(const PGconn *) = nullptr;
    char *(*user)(const PGconn *) = nullptr;

    static const ClientLibrary &loaded()
    {
        static const ClientLibrary library = [] {
            ClientLibrary found;
            // The driver may have loaded it under any version's name: ask the loader which file it is.
            QByteArray path;
            dl_iterate_phdr(
                [](dl_phdr_info *info, size_t, void *data) {
                    if (!info->dlpi_name || !std::strstr(info->dlpi_name, "/libpq.so"))
                        return 0;
                    *static_cast<QByteArray *>(data) = info->dlpi_name;
                    return 1;
                },
                &path);
            if (void *handle = path.isEmpty() ? nullptr : dlopen(path.constData(), RTLD_NOW | RTLD_NOLOAD)) {
                found.status = reinterpret_cast<decltype(status)>(dlsym(handle, "PQstatus"));
                found.socket = reinterpret_cast<decltype(socket)>(dlsym(handle, "PQsocket"));
                found.user = reinterpret_cast<decltype(user)>(dlsym(handle, "PQuser"));
                dlclose(handle); // the driver keeps it loaded
            }
            return found;
        }();
        return library;
    }
};

} // namespace

bool connectionLost(const QSqlDriver *driver)
{
    const PGconn *conn = pgConnection(driver);
    return conn && ClientLibrary::loaded().status && ClientLibrary::loaded().status(conn) == CONNECTION_BAD;
}

int serverSocket(const QSqlDriver *driver)
{
    const PGconn *conn = pgConnection(driver);
    return conn && ClientLibrary::loaded().socket ? ClientLibrary::loaded().socket(conn) : -1;
}

QString loginOf(const QSqlDriver *driver)
{
    const PGconn *conn = pgConnection(driver);
    const char *user = conn && ClientLibrary::loaded().user ? ClientLibrary::loaded().user(conn) : nullptr;
    return user ? QString::fromUtf8(user) : QString();
}

} // namespace veltrane::host
