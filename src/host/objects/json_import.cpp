#include "host/objects/connection.h"
#include "host/objects/exchange_kinds.h"
#include "host/objects/history_io.h"
#include "host/objects/json_exchange.h"
#include "host/objects/json_scan.h"
#include "host/objects/store_io.h"
#include "veltrane/contracts/stored_rules.h"

#include <QFile>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <functional>
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
// batch at a time later, from where the scan found them, so that a large file's sets are never all
// held at once, neither as text nor as objects.
struct Parsed
{
    const exchange::ByteSource *source = nullptr;
    QList<exchange::ScannedItem> sets;
    QList<Defined<Project>> projects;
    QList<Defined<SizeStandardSettings>> sizeStandards;
    QList<Defined<MobilityCalibrationSettings>> calibrations;
    QList<Defined<SizeCalibration>> references;
    QList<Defined<STRLocusTag>> strTags;
    QList<Defined<SNPLocusTagSettings>> snpTags;
    QStringList setNames; // in file order
};

// Names are defined once per kind in a file.
class Definitions
{
public:
    explicit Definitions(const Reader &r)
        : m_reader(r)
    {}

    void define(Kind kind, const QString &name, const QString &list, qsizetype index)
    {
        QHash<QString, qsizetype> &places = m_places[kind];
        const QString key = nameKey(name);
        if (const auto it = places.constFind(key); it != places.cend())
            m_reader.fail(child(item(list, index), kinds::kNameLabel),
                          QStringLiteral("the %1 \"%2\" is defined twice (also at %3)")
                              .arg(kinds::textOf(kind), printable(name), item(list, *it)));
        places.insert(key, index);
    }

private:
    const Reader &m_reader;
    // Where each name was defined, by kind and nameKey(): the item of its list.
    QHash<Kind, QHash<QString, qsizetype>> m_places;
};

// The members of the document's top-level object, by key.
using Members = QHash<QString, const exchange::ScannedMember *>;

// A value of the document, parsed.
QJsonValue valueOf(const Reader &r, const exchange::ByteSource &source, const exchange::Span &span)
{
    try {
        return exchange::parseValue(source, span);
    } catch (const exchange::SyntaxError &e) {
        r.failSyntax(e.offset, e.reason);
    }
}

// Reads one top-level list of definitions with read(r, object, path).
template <typename T, typename Read>
void parseList(const Reader &r, const exchange::ByteSource &source, const Members &members, const QString &list,
               Kind kind, Read &&read, Definitions &definitions, QList<Defined<T>> &into)
{
    const exchange::ScannedMember *member = members.value(list);
    if (!member)
        return;
    if (!member->isList)
        r.fail(list, QStringLiteral("expected a list"));
    for (qsizetype i = 0; i < member->items.size(); ++i) {
        const QString path = item(list, i);
        QSharedPointer<T> object = read(r, r.object(valueOf(r, source, member->items[i].span), path), path);
        definitions.define(kind, object->Name(), list, i);
        into.append({path, std::move(object)});
    }
}

Parsed parse(const Reader &r, const exchange::ByteSource &source, const QList<exchange::ScannedMember> &scanned)
{
    Members members;
    for (const exchange::ScannedMember &m : scanned) {
        if (members.contains(m.key))
            r.fail(m.key, QStringLiteral("is given twice in the document"));
        members.insert(m.key, &m);
    }
    const QJsonObject root = [&] {
        // The few plain values of the top level.
        QJsonObject plain;
        for (const exchange::ScannedMember &m : scanned)
            if (!m.isList && (m.key == QLatin1String("format") || m.key == QLatin1String("version")))
                plain.insert(m.key, valueOf(r, source, m.value));
        return plain;
    }();
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
    parsed.source = &source;
    Definitions definitions(r);
    parseList(r, source, members, kinds::projects().list, Kind::Project, exchange::readProject, definitions,
              parsed.projects);
    parseList(r, source, members, kinds::sizeStandards().list, Kind::SizeStandard, exchange::readSizeStandard,
              definitions, parsed.sizeStandards);
    parseList(r, source, members, kinds::mobilityCalibrations().list, Kind::MobilityCalibration,
              exchange::readMobilityCalibration, definitions, parsed.calibrations);
    parseList(r, source, members, kinds::mobilityReferences().list, Kind::MobilityReference,
              exchange::readMobilityReference, definitions, parsed.references);
    parseList(r, source, members, kinds::strTags().list, Kind::StrTag, exchange::readStrTag, definitions,
              parsed.strTags);
    parseList(r, source, members, kinds::snpTags().list, Kind::SnpTag, exchange::readSnpTag, definitions,
              parsed.snpTags);

    // The sets' names, each once in the file, as the scan found them (the sets themselves are read later).
    const QString list = kinds::sets().list;
    if (const exchange::ScannedMember *sets = members.value(list)) {
        if (!sets->isList)
            r.fail(list, QStringLiteral("expected a list"));
        parsed.sets = sets->items;
        parsed.setNames.reserve(parsed.sets.size());
        for (qsizetype i = 0; i < parsed.sets.size(); ++i) {
            const exchange::ScannedItem &set = parsed.sets.at(i);
            const QString path = item(list, i);
            if (!set.isObject)
                r.fail(path, QStringLiteral("expected an object"));
            if (set.nameState == exchange::ScannedItem::Name::Missing)
                r.fail(child(path, kinds::kNameLabel), QStringLiteral("missing"));
            if (set.nameState == exchange::ScannedItem::Name::NotText)
                r.fail(child(path, kinds::kNameLabel), QStringLiteral("expected a text"));
            r.checkName(set.name, child(path, kinds::kNameLabel));
            parsed.setNames.append(set.name);
            definitions.define(Kind::Set, set.name, list, i);
        }
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
    if (stored.Name() != storedName(file.Name()))
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
    for (const auto &d : defined)
        names.append(d.object->Name());
    // The stored definitions of those names, read once: to compare, and for their IDs.
    const QHash<QString, ObjectPtr> stored = storedDefinitions(ctx, kind, names);
    QList<const BusinessObject *> fresh;
    for (const auto &d : defined) {
        const auto it = stored.constFind(nameKey(d.object->Name()));
        if (it == stored.cend())
            fresh.append(d.object.data());
        else
            resolver.learn(kind, d.object->Name(), qobject_cast<const BusinessObject *>(it->data())->ID());
    }
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
        for (const auto &reference : kinds::sets().references)
            if (reference.property == b.field)
                return child(setPath, reference.label);
        return child(setPath, kinds::kEntriesLabel);
    case RuleBreak::Part::Entry:
        for (const kinds::ChildList *tags : {&kinds::strTagLinks(), &kinds::snpTagLinks()})
            if (b.field.compare(tags->label, Qt::CaseInsensitive) == 0)
                return item(child(entry, tags->label), b.index);
        return child(entry, kinds::entries().field(b.field)->path);
    case RuleBreak::Part::Calibration: {
        const QString calibration = child(entry, kinds::kCalibrationLabel);
        if (const auto *f = kinds::entryCalibrations().field(b.field))
            return child(calibration, f->path);
        const QString peaks = child(calibration, kinds::selectedPeaks().label);
        return b.index < 0 ? peaks : item(peaks, b.index);
    }
    case RuleBreak::Part::Definition:
        break;
    }
    return setPath;
}

// The place in the file of a definition's value a rule refuses (a fragment, a coefficient, a field).
template <typename T> QString definitionPath(const kinds::Descriptor<T> &d, const QString &path, const RuleBreak &b)
{
    if (const auto *f = d.field(b.field, b.index))
        return child(path, f->path);
    if (b.field == QLatin1String("FragmentSizes"))
        return b.index < 0 ? child(path, kinds::fragments().label)
                           : item(child(path, kinds::fragments().label), b.index);
    return path;
}

// Definitions take values the pages can work with (see ruleBreaks()), each refused at its place.
template <typename T>
void judgeDefinitions(const Reader &r, const kinds::Descriptor<T> &d, const QList<Defined<T>> &defined)
{
    for (const auto &[path, object] : defined) {
        const QList<RuleBreak> breaks = ruleBreaks(*object);
        if (!breaks.isEmpty())
            r.fail(definitionPath(d, path, breaks.first()), breaks.first().problem);
    }
}

void judgeDefinitions(const Reader &r, const Parsed &parsed)
{
    judgeDefinitions(r, kinds::sizeStandards(), parsed.sizeStandards);
    judgeDefinitions(r, kinds::mobilityCalibrations(), parsed.calibrations);
    judgeDefinitions(r, kinds::strTags(), parsed.strTags);
    judgeDefinitions(r, kinds::snpTags(), parsed.snpTags);
}

// A set's project is the one it names: its project name is that project's, and a file's project
// identifier (another store's) never reaches this store.
class Projects
{
public:
    explicit Projects(const io::Context &ctx)
        : m_ctx(ctx)
    {}

    // Gives the set the project the file names (by this store's identifier, and by its name as stored),
    // and answers a note when the file's project name said otherwise. A set that names no project keeps
    // the project name it has (of a project gone, say) but no identifier: that was another store's.
    std::optional<QString> assign(FragAnalysisParam &s, const std::optional<QString> &project,
                                  io::ReferenceResolver &resolver)
    {
        if (!project) {
            s.setProjectID(QString());
            return std::nullopt;
        }
        const QString fileName = s.ProjectName();
        const QString name = storedNameOf(*project);
        s.setProjectID(QString::number(resolver.idOfName(Kind::Project, *project)));
        s.setProjectName(name);
        if (fileName == name)
            return std::nullopt;
        return QStringLiteral("The set \"%1\" belongs to the project \"%2\" it names; its project name \"%3\" in "
                              "the file was not kept.")
            .arg(s.Name(), name, fileName);
    }

private:
    QString storedNameOf(const QString &project)
    {
        const QString key = nameKey(project);
        auto it = m_names.constFind(key);
        if (it == m_names.cend()) {
            const QList<ProjectPtr> stored = io::projects(m_ctx, io::Filter::byName(project));
            it = m_names.insert(key, stored.isEmpty() ? storedName(project) : stored.first()->Name());
        }
        return *it;
    }

    const io::Context &m_ctx;
    QHash<QString, QString> m_names; // by nameKey()
};

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
    importDefinitions(ctx, Kind::Project, kinds::projects(), parsed.projects, resolver, report);
    importDefinitions(ctx, Kind::SizeStandard, kinds::sizeStandards(), parsed.sizeStandards, resolver, report);
    importDefinitions(ctx, Kind::MobilityCalibration, kinds::mobilityCalibrations(), parsed.calibrations, resolver,
                      report);
    importDefinitions(ctx, Kind::MobilityReference, kinds::mobilityReferences(), parsed.references, resolver, report);
    importDefinitions(ctx, Kind::StrTag, kinds::strTags(), parsed.strTags, resolver, report);
    importDefinitions(ctx, Kind::SnpTag, kinds::snpTags(), parsed.snpTags, resolver, report);

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
