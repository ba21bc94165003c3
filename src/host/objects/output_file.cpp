#include "host/objects/output_file.h"

#include "host/objects/sql_store.h"
#include "veltrane/contracts/error.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veltrane::host {

namespace {

// The files a SQLite database keeps beside its own.
const char *const kCompanions[] = {"-wal", "-shm", "-journal"};

// Where writing to path would land: links followed (also one to a file that does not exist yet), the
// folder's spelling made canonical.
QString landing(const QString &path)
{
    QFileInfo info(QFileInfo(path).absoluteFilePath());
    for (int hops = 0; info.isSymLink() && hops < 40; ++hops)
        info = QFileInfo(info.symLinkTarget());
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? info.absoluteFilePath() : QDir(folder).filePath(info.fileName());
}

bool sameFile(const QString &a, const QString &b)
{
    struct stat sa = {}, sb = {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Whether writing to path would write a file of the database in file (itself, or one beside it), by
// name or as the same file under another name (a hard link).
bool fileOfDatabase(const QString &path, const QString &file)
{
    const QString target = landing(path);
    const QString base = landing(file);
    if (target == base || sameFile(path, file))
        return true;
    for (const char *suffix : kCompanions)
        if (target == base + QLatin1String(suffix) || sameFile(path, file + QLatin1String(suffix)))
            return true;
    return false;
}

bool holdsDatabase(const QString &path)
{
    // Only a regular file is looked into: opening a pipe to read would wait for its writer.
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(16) == QByteArrayView("SQLite format 3\0", 16);
}

// A database or one of the files beside one (its log, whose own bytes tell little).
bool databaseOrCompanion(const QString &path)
{
    const QString target = landing(path);
    if (holdsDatabase(target))
        return true;
    for (const char *suffix : kCompanions)
        if (target.endsWith(QLatin1String(suffix)) && holdsDatabase(target.chopped(qsizetype(std::strlen(suffix)))))
            return true;
    return false;
}

// Writes to a stream; a reader that goes away ends the writing with an error rather than the program.
bool writeAll(int fd, const QByteArray &bytes, QString *why)
{
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    bool done = true;
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *why = QString::fromLocal8Bit(std::strerror(errno));
            done = false;
            break;
        }
        written += n;
    }
    // A SIGPIPE raised meanwhile is taken here, so unblocking does not end the program.
    const timespec none = {0, 0};
    while (sigtimedwait(&pipeSignal, nullptr, &none) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return done;
}

} // namespace

void writeOutputFile(const QString &path, const QByteArray &bytes, const OutputRules &rules, const QString &source)
{
    const auto cannotWrite = [&path, &source](const QString &why) {
        return Error(kStoreCannotOpen, source, QStringLiteral("Cannot write %1: %2").arg(path, why));
    };
    if (rules.store && !rules.store->file().isEmpty() && fileOfDatabase(path, rules.store->file()))
        throw cannotWrite(QStringLiteral("it is the store being worked on (%1) or a file of it, which writing would "
                                         "destroy; nothing was written. Choose another file")
                              .arg(rules.store->location()));
    if (!rules.replaceDatabase && databaseOrCompanion(path))
        throw cannotWrite(
            QStringLiteral("it holds a database, perhaps another store, which writing would destroy; "
                           "nothing was written. Choose another file%1")
                .arg(rules.replaceHint.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(rules.replaceHint)));

    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0 && !S_ISREG(status.st_mode)) {
        if (S_ISDIR(status.st_mode))
            throw cannotWrite(QStringLiteral("it is a folder"));
        // A device, a pipe or a socket takes the result as a stream; replacing it would turn it into a
        // plain file. A pipe's reader, which may never come, is waited for a while only.
        QDeadlineTimer readerWait(rules.pipeReaderWaitMs);
        int fd = -1;
        while ((fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0 &&
               errno == ENXIO && S_ISFIFO(status.st_mode) && !readerWait.hasExpired())
            QThread::msleep(20);
        if (fd < 0) {
            if (errno == ENXIO && S_ISFIFO(status.st_mode))
                throw cannotWrite(QStringLiteral("it is a pipe that nothing reads from (start its reader first)"));
            if (errno == ENXIO && S_ISSOCK(status.st_mode))
                throw cannotWrite(QStringLiteral("it is a socket, which is not written as a file"));
            throw cannotWrite(QString::fromLocal8Bit(std::strerror(errno)));
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        QString why;
        const bool written = writeAll(fd, bytes, &why);
        ::close(fd);
        if (!written)
            throw cannotWrite(why);
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw cannotWrite(file.errorString());
}

} // namespace veltrane::host
