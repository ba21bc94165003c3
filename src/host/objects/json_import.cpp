#include "host/objects/connection.h"
#include "host/objects/exchange_kinds.h"
#include "host/objects/json_exchange.h"
#include "host/objects/store_io.h"
#include "veltrane/contracts/stored_rules.h"

#include <QFile>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace veltrane::host {

namespace {

using exchange::child;
using exchange::item;
using exchange::Reader;
using exchange::ReferenceAt;

const QString kImportSource = QStringLiteral("Import");

template <typename T> struct Defined
{
    QString path;
    QSharedPointer<T> object;
};

struct ParsedSet
{
    QString path;
    exchange::FileSet file;
};

// The definitions and tags of a file, checked for form before anything is written. Sets are read a
// batch at a time later, so that a large file's sets are never all held as objects at once.
struct Parsed
{
    QJsonArray sets;
    QList<Defined<Project>> projects;
    QList<Defined<SizeStandardSettings>> sizeStandards;
    QList<Defined<MobilityCalibrationSettings>> calibrations;
    QList<Defined<SizeCalibration>> references;
    QList<Defined<STRLocusTag>> strTags;
    QList<Defined<SNPLocusTagSettings>> snpTags;
    QStringList setNames;             // in file order
    QHash<Kind, QSet<QString>> names; // every name the file defines, by kind (as nameKey)
};

// Names are defined once per kind in a file.
class Definitions
{
public:
    Definitions(const Reader &r, Parsed &parsed)
        : m_reader(r)
        , m_parsed(parsed)
    {}

    void define(Kind kind, const QString &name, const QString &path)
    {
        const QString key = nameKey(name);
        const QString placeKey = QString::number(int(kind)) + QLatin1Char(':') + key;
        if (m_places.contains(placeKey))
            m_reader.fail(child(path, kinds::kNameLabel),
                          QStringLiteral("the %1 \"%2\" is defined twice (also at %3)")
                              .arg(kinds::textOf(kind), name, m_places.value(placeKey)));
        m_places.insert(placeKey, path);
        m_parsed.names[kind].insert(key);
    }

private:
    const Reader &m_reader;
    Parsed &m_parsed;
    QHash<QString, QString> m_places;
};

// Reads one top-level list of definitions with read(r, object, path).
template <typename T, typename Read>
void parseList(const Reader &r, const QJsonObject &root, const QString &list, Kind kind, Read &&read,
               Definitions &definitions, QList<Defined<T>> &into)
{
    const QJsonArray items = r.optionalArray(root, list);
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString path = item(list, i);
        QSharedPointer<T> object = read(r, r.object(items.at(i), path), path);
        definitions.define(kind, object->Name(), path);
        into.append({path, std::move(object)});
    }
}

Parsed parse(const Reader &r, const QJsonDocument &document)
{
    if (!document.isObject())
        r.fail(QStringLiteral("(document)"), QStringLiteral("expected a JSON object"));
    const QJsonObject root = document.object();
    if (r.text(root, {}, QStringLiteral("format")) != kExchangeFormatName)
        r.fail(QStringLiteral("format"),
               QStringLiteral("this is not a parameter set exchange file (expected \"%1\")").arg(kExchangeFormatName));
    const qint32 version = r.integer(root, {}, QStringLiteral("version"));
    if (version > kExchangeFormatVersion)
        r.fail(QStringLiteral("version"), QStringLiteral("format version %1 is newer than this program reads (%2)")
                                              .arg(version)
                                              .arg(kExchangeFormatVersion));
    if (version < 1)
        r.fail(QStringLiteral("version"), QStringLiteral("%1 is not a format version").arg(version));

    Parsed parsed;
    Definitions definitions(r, parsed);
    parseList(r, root, kinds::projects().list, Kind::Project, exchange::readProject, definitions, parsed.projects);
    parseList(r, root, kinds::sizeStandards().list, Kind::SizeStandard, exchange::readSizeStandard, definitions,
              parsed.sizeStandards);
    parseList(r, root, kinds::mobilityCalibrations().list, Kind::MobilityCalibration, exchange::readMobilityCalibration,
              definitions, parsed.calibrations);
    parseList(r, root, kinds::mobilityReferences().list, Kind::MobilityReference, exchange::readMobilityReference,
              definitions, parsed.references);
    parseList(r, root, kinds::strTags().list, Kind::StrTag, exchange::readStrTag, definitions, parsed.strTags);
    parseList(r, root, kinds::snpTags().list, Kind::SnpTag, exchange::readSnpTag, definitions, parsed.snpTags);

    // The sets' names, each once in the file (the sets themselves are read later).
    const QString list = kinds::sets().list;
    parsed.sets = r.optionalArray(root, list);
    for (qsizetype i = 0; i < parsed.sets.size(); ++i) {
        const QString path = item(list, i);
        parsed.setNames.append(r.name(r.object(parsed.sets.at(i), path), path));
        definitions.define(Kind::Set, parsed.setNames.last(), path);
    }
    return parsed;
}

// The stored definitions of the names, by nameKey().
QHash<QString, ObjectPtr> storedDefinitions(const io::Context &ctx, Kind kind, const QStringList &names)
{
    QHash<QString, ObjectPtr> out;
    const auto add = [&out](const ObjectPtr &stored) {
        out.insert(nameKey(qobject_cast<BusinessObject *>(stored.data())->Name()), stored);
    };
    io::forBatches(names.size(), [&](qsizetype from, qsizetype n) {
        const io::Filter filter = io::Filter::byNames(names.mid(from, n));
        switch (kind) {
        case Kind::Project:
            for (const auto &o : io::projects(ctx, filter))
                add(o);
            break;
        case Kind::SizeStandard:
            for (const auto &o : io::sizeStandards(ctx, filter))
                add(o->Data());
            break;
        case Kind::MobilityCalibration:
            for (const auto &o : io::mobilityCalibrations(ctx, filter))
                add(o->Data());
            break;
        case Kind::MobilityReference:
            for (const auto &o : io::mobilityReferences(ctx, filter))
                add(o);
            break;
        case Kind::StrTag:
            for (const auto &o : io::strLocusTags(ctx, filter))
                add(o);
            break;
        case Kind::SnpTag:
            for (const auto &o : io::snpLocusTags(ctx, filter))
                add(o->TagData());
            break;
        case Kind::Set:
            break;
        }
    });
    return out;
}

// Whether a stored definition says what the file's says: the name as written and every field (a size
// standard's fragments too), compared as stored.
template <typename T> bool sameDefinition(const kinds::Descriptor<T> &d, const T &stored, const T &file)
{
    if (stored.Name() != file.Name())
        return false;
    for (const kinds::Field<T> &f : d.fields)
        if (f.get(stored, f.index) != f.get(file, f.index))
            return false;
    if constexpr (std::is_same_v<T, SizeStandardSettings>)
        return stored.FragmentSizes() == file.FragmentSizes();
    return true;
}

// Adds the file's definitions the store lacks by name, in batches; the others are reused as stored,
// and the report says which was which (and where a stored one differs from the file's).
template <typename T>
void importDefinitions(const io::Context &ctx, Kind kind, const kinds::Descriptor<T> &descriptor,
                       const QList<Defined<T>> &defined, io::ReferenceResolver &resolver, ImportReport &report)
{
    QStringList names;
    QList<const BusinessObject *> objects;
    for (const auto &d : defined) {
        names.append(d.object->Name());
        objects.append(d.object.data());
    }
    resolver.prefetch(kind, objects);
    QStringList reused;
    QList<const BusinessObject *> fresh;
    for (const auto &d : defined)
        if (resolver.idOfName(kind, d.object->Name()) > 0)
            reused.append(d.object->Name());
        else
            fresh.append(d.object.data());
    const QHash<QString, ObjectPtr> stored = storedDefinitions(ctx, kind, reused);
    const QList<qint32> ids = io::insertDefinitions(ctx, kind, fresh);
    for (qsizetype i = 0; i < fresh.size(); ++i)
        resolver.learn(kind, fresh[i]->Name(), ids[i]);
    for (const auto &d : defined) {
        const QString label = QStringLiteral("%1 \"%2\"").arg(kinds::textOf(kind), d.object->Name());
        const auto it = stored.constFind(nameKey(d.object->Name()));
        if (it == stored.cend()) {
            report.created.append(label);
            continue;
        }
        report.reused.append(label);
        if (!sameDefinition(descriptor, *qSharedPointerObjectCast<T>(*it), *d.object))
            report.notes.append(
                QStringLiteral("The stored %1 differs from the file's; the stored one was kept.").arg(label));
    }
}

// The place in the file of a value a rule refuses.
QString pathOf(const QString &setPath, const RuleBreak &b)
{
    const QString entry = item(child(setPath, kinds::kEntriesLabel), b.entry);
    switch (b.part) {
    case RuleBreak::Part::Set:
        if (const auto *f = kinds::sets().field(b.field, b.index))
            return child(setPath, f->path);
        return child(setPath, kinds::kEntriesLabel);
    case RuleBreak::Part::Entry:
        return child(entry, kinds::entries().field(b.field)->path);
    case RuleBreak::Part::Calibration: {
        const QString calibration = child(entry, kinds::kCalibrationLabel);
        if (const auto *f = kinds::entryCalibrations().field(b.field))
            return child(calibration, f->path);
        const QString peaks = child(calibration, kinds::selectedPeaks().label);
        return b.index < 0 ? peaks : item(peaks, b.index);
    }
    }
    return setPath;
}

// Definitions take values the pages can show: dyes of the four rows. Attributes may hold any bits.
void judgeDefinitions(const Reader &r, const Parsed &parsed)
{
    const auto dye = [&r](const QString &path, const QString &label, qint32 v) {
        if (v < 0 || v >= limits::kQuantitationRows)
            r.fail(child(path, label),
                   QStringLiteral("is %1, not from 0 to %2").arg(v).arg(limits::kQuantitationRows - 1));
    };
    for (const auto &[path, s] : parsed.sizeStandards) {
        dye(path, kinds::sizeStandards().field(QStringLiteral("DyeIndex"))->path, s->DyeIndex());
    }
    for (const auto &[path, t] : parsed.strTags)
        dye(path, kinds::strTags().field(QStringLiteral("Dye"))->path, t->Dye());
}

// Every set is judged by the editor's rules before it is written, with the size standards its entries
// name (the file's, else the store's), and the first value out of rule refuses the file.
class Judge
{
public:
    Judge(const Reader &r, const io::Context &ctx, const Parsed &parsed)
        : m_reader(r)
        , m_ctx(ctx)
    {
        for (const auto &[path, s] : parsed.sizeStandards)
            m_standards.insert(nameKey(s->Name()), s);
    }

    void judge(const ParsedSet &set)
    {
        FragAnalysisParam &s = *set.file.settings;
        for (qint32 e = 0; e < s.EntryCount(); ++e)
            if (const SizeCalibrationPtr c = s.SizeCalibration(e); c && c->SizeStandard())
                c->setSizeStandard(standardNamed(c->SizeStandard()->Name()));
        const QList<RuleBreak> breaks = ruleBreaks(s);
        if (!breaks.isEmpty())
            m_reader.fail(pathOf(set.path, breaks.first()), breaks.first().problem);
    }

private:
    SizeStandardSettingsPtr standardNamed(const QString &name)
    {
        const QString key = nameKey(name);
        if (!m_standards.contains(key)) {
            const QList<SizeStandardPtr> stored = io::sizeStandards(m_ctx, io::Filter::byName(name));
            m_standards.insert(key, stored.isEmpty() ? SizeStandardSettingsPtr() : stored.first()->Data());
        }
        return m_standards.value(key);
    }

    const Reader &m_reader;
    const io::Context &m_ctx;
    QHash<QString, SizeStandardSettingsPtr> m_standards;
};

QString tooLarge(qint64 size)
{
    return QStringLiteral("the file is %1 MiB; exchange files of more than %2 MiB are not imported (export fewer "
                          "sets to a file)")
        .arg(double(size) / (1024 * 1024), 0, 'f', 1)
        .arg(kMaxExchangeFileBytes / (1024 * 1024));
}

} // namespace

ImportReport importStore(SqlStore &store, const QByteArray &json, const QString &sourceName,
                         const ImportOptions &options)
{
    const auto invalid = [&sourceName](const QString &why) {
        return Error(kStoreImportInvalid, kImportSource, QStringLiteral("%1: %2").arg(sourceName, why));
    };
    if (json.size() > kMaxExchangeFileBytes)
        throw invalid(tooLarge(json.size()));
    QByteArrayView text(json);
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3); // a byte order mark some editors put before UTF-8 text
    if (text.startsWith("\xFF\xFE") || text.startsWith("\xFE\xFF") ||
        (text.size() >= 2 && (text[0] == '\0' || text[1] == '\0')))
        throw invalid(QStringLiteral("the file is UTF-16 or UTF-32 text; exchange files are UTF-8 (save it as "
                                     "UTF-8 and import it again)"));
    const QByteArrayView start = text.trimmed();
    if (!start.isEmpty() && start.front() != '{' && start.front() != '[')
        throw invalid(QStringLiteral("this is not an exchange document, which is a JSON object beginning with {"));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError)
        throw invalid(QStringLiteral("not valid JSON at character %1: %2").arg(error.offset).arg(error.errorString()));
    return importStore(store, document, sourceName, options);
}

ImportReport importStore(SqlStore &store, const QJsonDocument &document, const QString &sourceName,
                         const ImportOptions &options)
{
    const Reader reader(sourceName);
    const Parsed parsed = parse(reader, document);
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
            refused.append(
                QStringLiteral("%1: the stored set \"%2\" is read-only and is never replaced").arg(path, found->name));
        else if (!options.replaceExisting)
            refused.append(
                QStringLiteral("%1: a set named \"%2\" is stored already (import with replacing to write over it)")
                    .arg(path, found->name));
    }
    if (!refused.isEmpty())
        throw Error(
            kStoreImportRefused, kImportSource,
            QStringLiteral("%1: nothing was imported. %2.").arg(sourceName, refused.join(QStringLiteral("; "))));

    ImportReport report;
    io::ReferenceResolver resolver(ctx);
    importDefinitions(ctx, Kind::Project, kinds::projects(), parsed.projects, resolver, report);
    importDefinitions(ctx, Kind::SizeStandard, kinds::sizeStandards(), parsed.sizeStandards, resolver, report);
    importDefinitions(ctx, Kind::MobilityCalibration, kinds::mobilityCalibrations(), parsed.calibrations, resolver,
                      report);
    importDefinitions(ctx, Kind::MobilityReference, kinds::mobilityReferences(), parsed.references, resolver, report);
    importDefinitions(ctx, Kind::StrTag, kinds::strTags(), parsed.strTags, resolver, report);
    importDefinitions(ctx, Kind::SnpTag, kinds::snpTags(), parsed.snpTags, resolver, report);

    Judge judge(reader, ctx, parsed);
    QList<std::pair<QString, qint32>> versions;
    io::forBatches(parsed.sets.size(), [&](qsizetype from, qsizetype n) {
        QList<ParsedSet> batch;
        QList<ReferenceAt> refersTo;
        for (qsizetype i = from; i < from + n; ++i) {
            const QString path = item(kinds::sets().list, i);
            batch.append(
                ParsedSet{path, exchange::readSet(reader, reader.object(parsed.sets.at(i), path), path, refersTo)});
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
                                          .arg(kinds::textOf(ref.kind), ref.name));

        QList<io::SetToWrite> writes;
        for (const ParsedSet &set : std::as_const(batch)) {
            judge.judge(set);
            FragAnalysisParam &s = *set.file.settings;
            // Project identifiers belong to a store: the file names the project, and the set takes this
            // store's identifier of it.
            if (set.file.project)
                s.setProjectID(QString::number(resolver.idOfName(Kind::Project, *set.file.project)));
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
            writes.append(io::SetToWrite{&s, replacing, stamp, {}});
            report.sets.append(s.Name());
            if (replacing)
                report.replaced.append(s.Name());
        }
        io::writeSets(ctx, writes, resolver);
        for (const io::SetToWrite &w : std::as_const(writes))
            versions.append({w.settings->Name(), w.written.version});
    });
    transaction.commit();

    // The importing session has seen what it wrote, so it may go on to edit those sets.
    for (const auto &[name, version] : std::as_const(versions))
        store.noteVersion(name, version);
    return report;
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
    // The file may have grown since it was measured: one byte more than the limit tells.
    const QByteArray bytes = file.read(kMaxExchangeFileBytes + 1);
    if (bytes.size() > kMaxExchangeFileBytes)
        throw refused(tooLarge(bytes.size()));
    return importStore(store, bytes, path, options);
}

} // namespace veltrane::host
