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

// A file's content, checked for form before anything is written.
struct Parsed
{
    QList<Defined<Project>> projects;
    QList<Defined<SizeStandardSettings>> sizeStandards;
    QList<Defined<MobilityCalibrationSettings>> calibrations;
    QList<Defined<SizeCalibration>> references;
    QList<Defined<STRLocusTag>> strTags;
    QList<Defined<SNPLocusTagSettings>> snpTags;
    QList<ParsedSet> sets;
    QHash<Kind, QSet<QString>> names; // every name the file defines, by kind (as nameKey)
    QList<ReferenceAt> refersTo;
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

    const QString list = kinds::sets().list;
    const QJsonArray sets = r.optionalArray(root, list);
    for (qsizetype i = 0; i < sets.size(); ++i) {
        const QString path = item(list, i);
        ParsedSet set{path, exchange::readSet(r, r.object(sets.at(i), path), path, parsed.refersTo)};
        definitions.define(Kind::Set, set.file.settings->Name(), path);
        parsed.sets.append(std::move(set));
    }
    return parsed;
}

// Adds the file's definition unless the store has one by that name, and says which it was.
template <typename T, typename Insert, typename Stored>
void importDefinition(const io::Context &ctx, Kind kind, const T &object, Insert &&insert, Stored &&stored,
                      ImportReport &report)
{
    const QString label = QStringLiteral("%1 \"%2\"").arg(kinds::textOf(kind), object.Name());
    if (io::idByName(ctx, kind, object.Name()) > 0) {
        report.reused.append(label);
        const QJsonObject storedJson = stored();
        if (storedJson != exchange::toJson(object))
            report.notes.append(
                QStringLiteral("The stored %1 differs from the file's; the stored one was kept.").arg(label));
        return;
    }
    insert();
    report.created.append(label);
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

// Definitions take values the pages can show: dyes of the four rows, attributes of the defined bits.
void judgeDefinitions(const Reader &r, const Parsed &parsed)
{
    const auto dye = [&r](const QString &path, const QString &label, qint32 v) {
        if (v < 0 || v >= limits::kQuantitationRows)
            r.fail(child(path, label),
                   QStringLiteral("is %1, not from 0 to %2").arg(v).arg(limits::kQuantitationRows - 1));
    };
    for (const auto &[path, s] : parsed.sizeStandards) {
        dye(path, kinds::sizeStandards().field(QStringLiteral("DyeIndex"))->path, s->DyeIndex());
        if ((s->Attributes() & ~limits::kDefinedAttributeBits) != 0)
            r.fail(child(path, kinds::sizeStandards().field(QStringLiteral("Attributes"))->path),
                   QStringLiteral("is %1, which holds bits beyond %2")
                       .arg(s->Attributes())
                       .arg(limits::kDefinedAttributeBits));
    }
    for (const auto &[path, t] : parsed.strTags)
        dye(path, kinds::strTags().field(QStringLiteral("Dye"))->path, t->Dye());
}

// Every set is judged by the editor's rules before anything is written, with the size standards its
// entries name (the file's, else the store's), and the first value out of rule refuses the file.
void judgeSets(const Reader &r, const io::Context &ctx, Parsed &parsed)
{
    judgeDefinitions(r, parsed);
    QHash<QString, SizeStandardSettingsPtr> standards;
    for (const auto &[path, s] : std::as_const(parsed.sizeStandards))
        standards.insert(nameKey(s->Name()), s);
    const auto standardNamed = [&](const QString &name) {
        const QString key = nameKey(name);
        if (!standards.contains(key)) {
            const QList<SizeStandardPtr> stored = io::sizeStandards(ctx, io::Filter::byName(name));
            standards.insert(key, stored.isEmpty() ? SizeStandardSettingsPtr() : stored.first()->Data());
        }
        return standards.value(key);
    };
    for (const ParsedSet &set : std::as_const(parsed.sets)) {
        FragAnalysisParam &s = *set.file.settings;
        for (qint32 e = 0; e < s.EntryCount(); ++e)
            if (const SizeCalibrationPtr c = s.SizeCalibration(e); c && c->SizeStandard())
                c->setSizeStandard(standardNamed(c->SizeStandard()->Name()));
        const QList<RuleBreak> breaks = ruleBreaks(s);
        if (!breaks.isEmpty())
            r.fail(pathOf(set.path, breaks.first()), breaks.first().problem);
    }
}

QString tooLarge(qint64 size)
{
    return QStringLiteral("the file is %1 MiB; exchange files of more than %2 MiB are not imported (export fewer "
                          "sets to a file)")
        .arg(double(size) / (1024 * 1024), 0, 'f', 1)
        .arg(kMaxExchangeFileBytes / (1024 * 1024));
}

template <typename T> QSharedPointer<T> firstOf(const QList<QSharedPointer<T>> &list)
{
    return list.first();
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
    Parsed parsed = parse(reader, document);

    io::Context ctx = store.context();
    Transaction transaction(store.pool(), Transaction::Write);

    // Every name a set refers to must be in the file or in the store, before anything is written.
    for (const ReferenceAt &ref : std::as_const(parsed.refersTo))
        if (!parsed.names.value(ref.kind).contains(nameKey(ref.name)) && io::idByName(ctx, ref.kind, ref.name) <= 0)
            reader.fail(ref.path, QStringLiteral("no %1 named \"%2\" is in the file or the store")
                                      .arg(kinds::textOf(ref.kind), ref.name));

    judgeSets(reader, ctx, parsed);

    // Sets that would overwrite stored ones are refused together, so one message names them all.
    QStringList refused;
    QList<std::optional<io::StoredSet>> replacing;
    for (const ParsedSet &set : std::as_const(parsed.sets)) {
        std::optional<io::StoredSet> stored = io::findSet(ctx, set.file.settings->Name(), true);
        if (stored && (stored->attributes & limits::kReadOnlyBits))
            refused.append(QStringLiteral("%1: the stored set \"%2\" is read-only and is never replaced")
                               .arg(set.path, stored->name));
        else if (stored && !options.replaceExisting)
            refused.append(
                QStringLiteral("%1: a set named \"%2\" is stored already (import with replacing to write over it)")
                    .arg(set.path, stored->name));
        replacing.append(stored);
    }
    if (!refused.isEmpty())
        throw Error(
            kStoreImportRefused, kImportSource,
            QStringLiteral("%1: nothing was imported. %2.").arg(sourceName, refused.join(QStringLiteral("; "))));

    ImportReport report;
    const auto byName = [](const BusinessObject &o) { return io::Filter::byName(o.Name()); };
    for (const auto &[path, p] : std::as_const(parsed.projects))
        importDefinition(
            ctx, Kind::Project, *p, [&] { io::insertProject(ctx, p->Name()); },
            [&] { return exchange::toJson(*firstOf(io::projects(ctx, byName(*p)))); }, report);
    for (const auto &[path, s] : std::as_const(parsed.sizeStandards))
        importDefinition(
            ctx, Kind::SizeStandard, *s, [&] { io::insertSizeStandard(ctx, *s); },
            [&] { return exchange::toJson(*firstOf(io::sizeStandards(ctx, byName(*s)))->Data()); }, report);
    for (const auto &[path, c] : std::as_const(parsed.calibrations))
        importDefinition(
            ctx, Kind::MobilityCalibration, *c, [&] { io::insertMobilityCalibration(ctx, *c); },
            [&] { return exchange::toJson(*firstOf(io::mobilityCalibrations(ctx, byName(*c)))->Data()); }, report);
    for (const auto &[path, r] : std::as_const(parsed.references))
        importDefinition(
            ctx, Kind::MobilityReference, *r, [&] { io::insertMobilityReference(ctx, *r); },
            [&] { return exchange::toJson(*firstOf(io::mobilityReferences(ctx, byName(*r)))); }, report);
    for (const auto &[path, t] : std::as_const(parsed.strTags))
        importDefinition(
            ctx, Kind::StrTag, *t, [&] { io::insertStrLocusTag(ctx, *t); },
            [&] { return exchange::toJson(*firstOf(io::strLocusTags(ctx, byName(*t)))); }, report);
    for (const auto &[path, t] : std::as_const(parsed.snpTags))
        importDefinition(
            ctx, Kind::SnpTag, *t, [&] { io::insertSnpLocusTag(ctx, *t); },
            [&] { return exchange::toJson(*firstOf(io::snpLocusTags(ctx, byName(*t)))->TagData()); }, report);

    QList<qint32> versions;
    for (qsizetype i = 0; i < parsed.sets.size(); ++i) {
        exchange::FileSet &set = parsed.sets[i].file;
        FragAnalysisParam &s = *set.settings;
        // Project identifiers belong to a store: the file names the project, and the set takes this
        // store's identifier of it.
        if (set.project)
            s.setProjectID(QString::number(io::idByName(ctx, Kind::Project, *set.project)));
        io::SetStamp stamp{s.Attributes(), s.DateCreated(), s.DateModified()};
        if (!options.keepAttributes) {
            stamp.attributes = replacing[i] ? replacing[i]->attributes : 0;
            if (s.Attributes() != stamp.attributes)
                report.notes.append(
                    QStringLiteral("The set \"%1\" was imported with attributes %2, not the file's %3 "
                                   "(read-only %4, hidden %5).")
                        .arg(s.Name())
                        .arg(stamp.attributes)
                        .arg(s.Attributes())
                        .arg((s.Attributes() & limits::kReadOnlyBits) ? QStringLiteral("yes") : QStringLiteral("no"),
                             (s.Attributes() & limits::kHiddenBit) ? QStringLiteral("yes") : QStringLiteral("no")));
        }
        versions.append(io::writeSet(ctx, s, replacing[i], stamp).version);
        report.sets.append(s.Name());
        if (replacing[i])
            report.replaced.append(s.Name());
    }
    transaction.commit();

    // The importing session has seen what it wrote, so it may go on to edit those sets.
    for (qsizetype i = 0; i < parsed.sets.size(); ++i)
        store.noteVersion(parsed.sets[i].file.settings->Name(), versions[i]);
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
