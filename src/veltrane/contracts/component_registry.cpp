#include "veltrane/contracts/component_registry.h"

#include "veltrane/contracts/error.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <unistd.h>

namespace veltrane::components {

namespace {

const QString kSource = QStringLiteral("ComponentRegistry");

Error failure(const QString &detail)
{
    return Error(kRegistrationFailed, kSource, componentErrorText(kRegistrationFailed) + QLatin1String(": ") + detail);
}

QString envFolder(const char *name)
{
    const QString value = qEnvironmentVariable(name);
    return QDir::isAbsolutePath(value) ? value : QString();
}

QString underData(const QString &dataFolder)
{
    return QDir::cleanPath(dataFolder + QStringLiteral("/veltrane/components"));
}

QStringList systemDataFolders()
{
    QStringList folders;
    for (const QString &f : qEnvironmentVariable("XDG_DATA_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(f))
            folders << f;
    if (folders.isEmpty())
        folders = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    return folders;
}

QString classFile(const QString &folder, const QUuid &clsid)
{
    return folder + QStringLiteral("/clsid/") + guidText(clsid) + QStringLiteral(".json");
}

QString progIdFile(const QString &folder, const QString &progId)
{
    return folder + QStringLiteral("/progid/") + progId.toLower() + QStringLiteral(".json");
}

QString typeLibFile(const QString &folder, const QUuid &libId, const QString &version)
{
    return folder + QStringLiteral("/typelib/") + guidText(libId) + QLatin1Char('/') + version +
           QStringLiteral(".json");
}

// A programmatic identifier names a file: letters, digits, points, hyphens and underscores only.
bool validProgId(const QString &progId)
{
    if (progId.isEmpty() || progId.startsWith(QLatin1Char('.')))
        return false;
    for (const QChar c : progId)
        if (!(c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-') || c == QLatin1Char('_')))
            return false;
    return true;
}

// The exclusive lock of a registry folder, held while entries are written or removed.
class FolderLock
{
public:
    explicit FolderLock(const QString &folder)
    {
        if (!QDir().mkpath(folder))
            throw failure(QStringLiteral("cannot create %1").arg(folder));
        const QByteArray path = QFile::encodeName(folder + QStringLiteral("/.lock"));
        m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0)
            throw failure(QStringLiteral("cannot open %1: %2")
                              .arg(QFile::decodeName(path), QString::fromLocal8Bit(strerror(errno))));
        // Another registration holds it for milliseconds; one that holds it for long is stuck.
        QDeadlineTimer deadline(10000);
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                ::close(m_fd);
                throw failure(QStringLiteral("cannot lock %1").arg(folder));
            }
            if (deadline.hasExpired()) {
                ::close(m_fd);
                throw failure(QStringLiteral("%1 stayed locked by another registration").arg(folder));
            }
            QThread::msleep(5);
        }
    }
    ~FolderLock() { ::close(m_fd); } // closing releases the lock
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

private:
    int m_fd = -1;
};

void writeJson(const QString &file, const QJsonObject &object)
{
    if (!QDir().mkpath(QFileInfo(file).path()))
        throw failure(QStringLiteral("cannot create %1").arg(QFileInfo(file).path()));
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(object).toJson(QJsonDocument::Indented)) < 0 ||
        !out.commit())
        throw failure(QStringLiteral("cannot write %1: %2").arg(file, out.errorString()));
}

std::optional<QJsonObject> readJson(const QString &file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(in.readAll());
    if (!doc.isObject())
        return std::nullopt;
    return doc.object();
}

void removeFile(const QString &file)
{
    if (QFile::exists(file) && !QFile::remove(file))
        throw failure(QStringLiteral("cannot remove %1").arg(file));
}

QJsonObject toJson(const ClassEntry &c)
{
    return {{"clsid", guidText(c.clsid)},
            {"class", c.className},
            {"progId", c.progId},
            {"library", c.library},
            {"threadingModel", c.threadingModel},
            {"typeLib", guidText(c.typeLib)},
            {"version", c.version},
            {"control", c.control}};
}

ClassEntry classFrom(const QJsonObject &o)
{
    return {QUuid(o.value("clsid").toString()),   o.value("class").toString(),
            o.value("progId").toString(),         o.value("library").toString(),
            o.value("threadingModel").toString(), QUuid(o.value("typeLib").toString()),
            o.value("version").toString(),        o.value("control").toBool()};
}

TypeLibEntry typeLibFrom(const QJsonObject &o)
{
    QString lcid = o.value("lcid").toString();
    if (lcid.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        lcid.remove(0, 2);
    return {QUuid(o.value("libId").toString()), o.value("name").toString(), o.value("version").toString(),
            lcid.toUInt(nullptr, 16), o.value("library").toString()};
}

template <typename T, typename Read>
std::optional<T> firstFound(const std::function<QString(const QString &)> &fileIn, Read read)
{
    for (const QString &folder : searchFolders())
        if (const auto o = readJson(fileIn(folder)))
            return read(*o);
    return std::nullopt;
}

} // namespace

QString registryFolder(Scope scope)
{
    if (scope == Scope::System)
        return underData(systemDataFolders().first());
    QString home = envFolder("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + QStringLiteral("/.local/share");
    return underData(home);
}

QStringList searchFolders()
{
    QStringList folders{registryFolder(Scope::User)};
    for (const QString &f : systemDataFolders())
        folders << underData(f);
    folders.removeDuplicates();
    return folders;
}

Scope defaultScope()
{
    const QString asked = qEnvironmentVariable("VELTRANE_REGISTRY_SCOPE").toLower();
    if (asked == QLatin1String("system"))
        return Scope::System;
    if (asked == QLatin1String("user"))
        return Scope::User;
    return ::geteuid() == 0 ? Scope::System : Scope::User;
}

void registerComponents(const Registration &r, Scope scope)
{
    for (const ClassEntry &c : r.classes)
        if (!validProgId(c.progId))
            throw failure(QStringLiteral("\"%1\" is no programmatic identifier").arg(c.progId));
    const QString folder = registryFolder(scope);
    FolderLock lock(folder);
    // Classes before the identifiers that name them, so a reader never finds a name without a class.
    const TypeLibEntry &t = r.typeLib;
    QJsonObject typeLib = r.types.name.isEmpty() ? QJsonObject() : typelib::toJson(r.types);
    for (const auto &[key, value] :
         std::initializer_list<std::pair<const char *, QJsonValue>>{{"libId", guidText(t.libId)},
                                                                    {"name", t.name},
                                                                    {"version", t.version},
                                                                    {"lcid", QStringLiteral("0x%1").arg(t.lcid, 0, 16)},
                                                                    {"library", t.library}})
        typeLib.insert(QLatin1String(key), value);
    writeJson(typeLibFile(folder, t.libId, t.version), typeLib);
    for (const ClassEntry &c : r.classes)
        writeJson(classFile(folder, c.clsid), toJson(c));
    for (const ClassEntry &c : r.classes)
        writeJson(progIdFile(folder, c.progId), {{"progId", c.progId}, {"clsid", guidText(c.clsid)}});
}

void unregisterComponents(const Registration &r, Scope scope)
{
    const QString folder = registryFolder(scope);
    if (!QDir(folder).exists())
        return;
    FolderLock lock(folder);
    for (const ClassEntry &c : r.classes) {
        // Another library may have taken the name over since; its entry stays.
        const QString file = progIdFile(folder, c.progId);
        if (const auto o = readJson(file); o && QUuid(o->value("clsid").toString()) == c.clsid)
            removeFile(file);
    }
    for (const ClassEntry &c : r.classes)
        removeFile(classFile(folder, c.clsid));
    const QString typeLib = typeLibFile(folder, r.typeLib.libId, r.typeLib.version);
    removeFile(typeLib);
    QDir().rmdir(QFileInfo(typeLib).path()); // only when no other version is left
}

std::optional<ClassEntry> findClass(const QUuid &clsid)
{
    return firstFound<ClassEntry>([&](const QString &f) { return classFile(f, clsid); }, classFrom);
}

std::optional<QUuid> findProgId(const QString &progId)
{
    if (!validProgId(progId))
        return std::nullopt;
    return firstFound<QUuid>([&](const QString &f) { return progIdFile(f, progId); },
                             [](const QJsonObject &o) { return QUuid(o.value("clsid").toString()); });
}

std::optional<TypeLibEntry> findTypeLib(const QUuid &libId, const QString &version)
{
    return firstFound<TypeLibEntry>([&](const QString &f) { return typeLibFile(f, libId, version); }, typeLibFrom);
}

QList<RegisteredTypeLibrary> registeredTypeLibraries()
{
    QList<RegisteredTypeLibrary> out;
    QSet<QString> seen; // "{LIB-ID}/version"
    for (const QString &folder : searchFolders()) {
        QDirIterator files(folder + QStringLiteral("/typelib"), {QStringLiteral("*.json")}, QDir::Files,
                           QDirIterator::Subdirectories);
        QStringList paths;
        while (files.hasNext())
            paths << files.next();
        paths.sort();
        for (const QString &path : paths) {
            const auto o = readJson(path);
            if (!o)
                continue;
            const TypeLibEntry entry = typeLibFrom(*o);
            const QString key = guidText(entry.libId) + QLatin1Char('/') + entry.version;
            if (entry.libId.isNull() || seen.contains(key))
                continue;
            seen.insert(key);
            out.append({entry, typelib::typeLibraryFrom(*o)});
        }
    }
    return out;
}

VtGuid toGuid(const QUuid &id)
{
    VtGuid g{id.data1, id.data2, id.data3, {}};
    std::memcpy(g.data4, id.data4, sizeof g.data4);
    return g;
}

QUuid fromGuid(const VtGuid &g)
{
    return QUuid(g.data1, g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5],
                 g.data4[6], g.data4[7]);
}

QString guidText(const QUuid &id)
{
    return id.toString(QUuid::WithBraces).toUpper();
}

} // namespace veltrane::components
