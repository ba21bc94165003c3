#include "host/objects/connection.h"
#include "host/objects/history_io.h"
#include "host/objects/json_import_steps.h"

#include <QFile>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <functional>
#include <sys/stat.h>

namespace veltrane::host {

namespace {

using namespace importing;

const QString kImportSource = QStringLiteral("Import");

QString tooLarge(qint64 size)
{
    return QStringLiteral("the file is %1 MiB; exchange files of more than %2 MiB are not imported (export fewer "
                          "sets to a file)")
        .arg(double(size) / (1024 * 1024), 0, 'f', 1)
        .arg(kMaxExchangeFileBytes / (1024 * 1024));
}

// Where the document begins, after a byte order mark some editors put before UTF-8 text; texts of other
// encodings and files that are not text are refused by what their first bytes say.
qint64 documentStart(const exchange::ByteSource &source, const std::function<Error(const QString &)> &invalid)
{
    const QByteArray head = source.read(0, 4);
    const auto at = [&head](qsizetype i) { return i < head.size() ? uchar(head[i]) : -1; };
    if (head.startsWith("\xEF\xBB\xBF"))
        return 3;
    // UTF-16 and UTF-32 put zero bytes beside the ASCII of "{" and the blanks, or begin with their mark.
    const bool mark = head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF") ||
                      head.startsWith(QByteArrayView("\0\0\xFE\xFF", 4));
    const bool wide =
        (at(0) > 0 && at(1) == 0) || (at(0) == 0 && at(1) > 0) || (at(0) == 0 && at(1) == 0 && at(2) == 0 && at(3) > 0);
    if (mark || wide)
        throw invalid(QStringLiteral("the file is UTF-16 or UTF-32 text; exchange files are UTF-8 (save it as "
                                     "UTF-8 and import it again)"));
    if (at(0) == 0)
        throw invalid(QStringLiteral("the file begins with zero bytes, so it is not text, and not an exchange "
                                     "document"));
    return 0;
}

// The first byte of the document that is not a blank, or -1.
int firstByte(const exchange::ByteSource &source, qint64 start)
{
    for (qint64 at = start; at < source.size(); at += 4096) {
        const QByteArray chunk = source.read(at, 4096);
        for (const char c : chunk)
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
                return uchar(c);
    }
    return -1;
}

// A cancel raises an error, which leaves the transaction uncommitted: nothing of the import is stored.
void stopWhenCancelled(const ImportOptions &options, qsizetype done, qsizetype total)
{
    if (options.progress && !options.progress(done, total))
        throw Error(kStoreActionRefused, kImportSource,
                    QStringLiteral("The import was cancelled; nothing was imported."));
}

ImportReport importFrom(SqlStore &store, const exchange::ByteSource &source, const QString &sourceName,
                        const ImportOptions &options)
{
    const auto invalid = [&sourceName](const QString &why) {
        return Error(kStoreImportInvalid, kImportSource, QStringLiteral("%1: %2").arg(sourceName, why));
    };
    io::requireReason(options.reason);
    if (source.size() > kMaxExchangeFileBytes)
        throw invalid(tooLarge(source.size()));
    const qint64 start = documentStart(source, invalid);
    const int first = firstByte(source, start);
    if (first < 0)
        throw invalid(QStringLiteral("the file is empty; an exchange document is a JSON object beginning with {"));
    const Reader reader(sourceName);
    if (first == '[')
        reader.fail(QStringLiteral("(document)"), QStringLiteral("expected a JSON object"));
    if (first != '{')
        throw invalid(QStringLiteral("this is not an exchange document, which is a JSON object beginning with {"));
    QList<exchange::ScannedMember> scanned;
    try {
        // The lists whose items are read one at a time; only the sets' names are wanted now.
        const QSet<QString> lists{kinds::projects().list,
                                  kinds::sizeStandards().list,
                                  kinds::mobilityCalibrations().list,
                                  kinds::mobilityReferences().list,
                                  kinds::strTags().list,
                                  kinds::snpTags().list,
                                  kinds::sets().list};
        scanned = exchange::scanDocument(source, start, lists, {kinds::sets().list});
    } catch (const exchange::SyntaxError &e) {
        reader.failSyntax(e.offset, e.reason);
    }
    const Parsed parsed = parse(reader, source, scanned);
    scanned.clear();
    judgeDefinitions(reader, parsed);

    io::Context ctx = store.context();
    Transaction transaction(store.pool(), Transaction::Write);

    // Sets that would overwrite stored ones are refused together, so one message names them all.
    const QHash<QString, io::StoredSet> stored = io::findSets(ctx, parsed.setNames, true);
    QStringList refused;
    for (qsizetype i = 0; i < parsed.setNames.size(); ++i) {
        const auto found = stored.constFind(nameKey(parsed.setNames[i]));
        if (found == stored.cend())
            continue;
        const QString path = item(kinds::sets().list, i);
        if (found->attributes & limits::kReadOnlyBits)
            refused.append(QStringLiteral("%1: the stored set \"%2\" is read-only and is never replaced")
                               .arg(path, printable(found->name)));
        else if (!options.replaceExisting)
            refused.append(
                QStringLiteral("%1: a set named \"%2\" is stored already (import with replacing to write over it)")
                    .arg(path, printable(found->name)));
    }
    if (!refused.isEmpty())
        throw Error(
            kStoreImportRefused, kImportSource,
            QStringLiteral("%1: nothing was imported. %2.").arg(sourceName, refused.join(QStringLiteral("; "))));

    ImportReport report;
    io::ReferenceResolver resolver(ctx);
    importDefinitions(ctx, parsed, resolver, report);

    Judge judge(reader, ctx, parsed);
    Projects projects(ctx);
    QList<std::pair<QString, qint32>> versions;
    io::forBatches(parsed.sets.size(), [&](qsizetype from, qsizetype n) {
        QList<ParsedSet> batch;
        QList<ReferenceAt> refersTo;
        for (qsizetype i = from; i < from + n; ++i) {
            const QString path = item(kinds::sets().list, i);
            const QJsonValue value = valueOf(reader, source, parsed.sets.at(i).span);
            batch.append(ParsedSet{path, exchange::readSet(reader, reader.object(value, path), path, refersTo)});
        }
        // Every name a set refers to is stored by now, the file's own definitions included.
        QHash<Kind, QStringList> named;
        for (const ReferenceAt &ref : std::as_const(refersTo))
            named[ref.kind].append(ref.name);
        for (auto it = named.cbegin(); it != named.cend(); ++it)
            resolver.prefetchNames(it.key(), it.value());
        for (const ReferenceAt &ref : std::as_const(refersTo))
            if (resolver.idOfName(ref.kind, ref.name) <= 0)
                reader.fail(ref.path, QStringLiteral("no %1 named \"%2\" is in the file or the store")
                                          .arg(kinds::textOf(ref.kind), printable(ref.name)));

        // The sets go to the store's set writer, which writes a batch as one.
        QList<io::SetToWrite> writes;
        for (const ParsedSet &set : std::as_const(batch)) {
            judge.judge(set);
            FragAnalysisParam &s = *set.file.settings;
            // Project identifiers belong to a store: the file names the project, and the set takes this
            // store's identifier of it.
            if (const std::optional<QString> note = projects.assign(s, set.file.project, resolver))
                report.notes.append(*note);
            const auto found = stored.constFind(nameKey(s.Name()));
            std::optional<io::StoredSet> replacing;
            if (found != stored.cend())
                replacing = *found;
            io::SetStamp stamp{s.Attributes(), s.DateCreated(), s.DateModified()};
            if (!options.keepAttributes) {
                stamp.attributes = replacing ? replacing->attributes : 0;
                if (s.Attributes() != stamp.attributes)
                    report.notes.append(
                        QStringLiteral("The set \"%1\" was imported with attributes %2, not the file's %3 "
                                       "(read-only %4, hidden %5).")
                            .arg(s.Name())
                            .arg(stamp.attributes)
                            .arg(s.Attributes())
                            .arg((s.Attributes() & limits::kReadOnlyBits) ? QStringLiteral("yes")
                                                                          : QStringLiteral("no"),
                                 (s.Attributes() & limits::kHiddenBit) ? QStringLiteral("yes") : QStringLiteral("no")));
            }
            writes.append(
                io::SetToWrite{&s, replacing, stamp, io::Change{RevisionAction::Imported, options.reason, 0}, {}});
            report.sets.append(s.Name());
            if (replacing)
                report.replaced.append(s.Name());
        }
        io::writeSets(ctx, writes, resolver);
        for (const io::SetToWrite &w : std::as_const(writes))
            versions.append({w.settings->Name(), w.written.version});
        stopWhenCancelled(options, from + n, parsed.sets.size());
    });
    stopWhenCancelled(options, parsed.sets.size(), parsed.sets.size());
    transaction.commit();

    // The importing session has seen what it wrote, so it may go on to edit those sets.
    for (const auto &[name, version] : std::as_const(versions))
        store.noteVersion(name, version);
    return report;
}

} // namespace

ImportReport importStore(SqlStore &store, const QByteArray &json, const QString &sourceName,
                         const ImportOptions &options)
{
    const exchange::MemorySource source(json);
    return importFrom(store, source, sourceName, options);
}

ImportReport importStore(SqlStore &store, const QJsonDocument &document, const QString &sourceName,
                         const ImportOptions &options)
{
    return importStore(store, document.toJson(QJsonDocument::Compact), sourceName, options);
}

ImportReport importStoreFromFile(SqlStore &store, const QString &path, const ImportOptions &options)
{
    const auto refused = [&path](const QString &why) {
        return Error(kStoreImportInvalid, kImportSource, QStringLiteral("%1: %2").arg(path, why));
    };
    // A device or a pipe may never end, so only a regular file of a known size is read.
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        throw refused(QStringLiteral("cannot be read: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    if (!S_ISREG(status.st_mode))
        throw refused(S_ISDIR(status.st_mode) ? QStringLiteral("is a folder, not an exchange file")
                                              : QStringLiteral("is not a regular file (a device or a pipe); save the "
                                                               "exchange document to a file and import that"));
    if (status.st_size > kMaxExchangeFileBytes)
        throw refused(tooLarge(status.st_size));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw refused(QStringLiteral("cannot be read: %1").arg(file.errorString()));
    // Read a piece at a time as the import goes; the size is the one the file has now.
    const exchange::FileSource source(file, path);
    return importFrom(store, source, path, options);
}

} // namespace veltrane::host
