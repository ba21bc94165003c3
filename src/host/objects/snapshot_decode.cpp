// Snapshots read back: a revision's parts unpacked and made into a set again, or into an exchange
// document.

#include "host/objects/snapshot.h"

#include "host/objects/exchange_kinds.h"
#include "host/objects/json_exchange.h"
#include "veltrane/contracts/error.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace veltrane::host::snapshot {

namespace {

const QString kSetKey = QStringLiteral("set");
const QString kProjectsKey = QStringLiteral("projects");

QString nameIn(const QJsonObject &definition)
{
    return definition.value(kinds::kNameLabel).toString();
}

Error unreadable(const QString &what, const QString &why)
{
    return Error(kStoreHistoryUnreadable, QStringLiteral("SqlStore"),
                 QStringLiteral("%1 cannot be read: %2. The revision is kept as it was written; report this to "
                                "whoever looks after the store.")
                     .arg(what, why));
}

} // namespace

namespace {

template <typename T, typename Read>
QHash<QString, QSharedPointer<T>> definitionsIn(const exchange::Reader &r, const QJsonObject &part, Kind kind,
                                                Read &&read)
{
    QHash<QString, QSharedPointer<T>> byName;
    const QString list = kinds::withDescriptor(kind, [](const auto &d) { return d.list; });
    const QJsonArray items = r.optionalArray(part, list);
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString path = exchange::item(list, i);
        QSharedPointer<T> object = read(r, r.object(items.at(i), path), path);
        byName.insert(object->Name(), object);
    }
    return byName;
}

template <typename T>
QSharedPointer<T> named(const QHash<QString, QSharedPointer<T>> &known, const BusinessObject *standIn)
{
    return standIn ? known.value(standIn->Name()) : QSharedPointer<T>();
}

// The set object of an exchange file: the part's set with its name, flags and tag lists (by name).
QJsonObject exchangeSet(const QJsonObject &settings, const QJsonObject *tags, const QString &name, qint32 attributes)
{
    QJsonObject set = settings.value(kSetKey).toObject();
    set.insert(kinds::kNameLabel, name);
    set.insert(QStringLiteral("attributes"), attributes);
    const QJsonArray tagEntries = tags ? tags->value(kinds::kEntriesLabel).toArray() : QJsonArray();
    QJsonArray entries = set.value(kinds::kEntriesLabel).toArray();
    for (qsizetype e = 0; e < entries.size(); ++e) {
        QJsonObject entry = entries.at(e).toObject();
        const QJsonObject listed = tagEntries.at(e).toObject();
        for (const QString &label : {kinds::strTagLinks().label, kinds::snpTagLinks().label}) {
            QJsonArray names;
            for (const QJsonValue &tag : listed.value(label).toArray())
                names.append(tag.toObject().value(kinds::kNameLabel));
            entry.insert(label, names);
        }
        entries[e] = entry;
    }
    set.insert(kinds::kEntriesLabel, entries);
    return set;
}

} // namespace

Decoded decode(const QJsonObject &settings, const QJsonObject *tags, const QString &name, qint32 attributes,
               const QString &what)
{
    try {
        const exchange::Reader r(what, exchange::Reader::Names::AsStored);
        // The tags come from the tags part with their values, not as the names exchange files list.
        QList<exchange::ReferenceAt> refersTo;
        const exchange::FileSet file =
            exchange::readSet(r, exchangeSet(settings, nullptr, name, attributes), kSetKey, refersTo);
        FragAnalysisParam &s = *file.settings;
        const auto standards =
            definitionsIn<SizeStandardSettings>(r, settings, Kind::SizeStandard, exchange::readSizeStandard);
        const auto calibrations = definitionsIn<MobilityCalibrationSettings>(r, settings, Kind::MobilityCalibration,
                                                                             exchange::readMobilityCalibration);
        const auto references =
            definitionsIn<SizeCalibration>(r, settings, Kind::MobilityReference, exchange::readMobilityReference);
        s.setSizeStandard(named(standards, s.SizeStandard().data()));
        s.setDyeMobilityCalibration(named(calibrations, s.DyeMobilityCalibration().data()));
        s.setStandardMobilityReference(named(references, s.StandardMobilityReference().data()));
        for (qint32 e = 0; e < s.EntryCount(); ++e)
            if (const SizeCalibrationPtr c = s.SizeCalibration(e))
                c->setSizeStandard(named(standards, c->SizeStandard().data()));

        if (tags) {
            const QJsonArray tagEntries = r.array(*tags, {}, kinds::kEntriesLabel, s.EntryCount());
            for (qint32 e = 0; e < s.EntryCount(); ++e) {
                const QString entryPath = exchange::item(kinds::kEntriesLabel, e);
                const QJsonObject listed = r.object(tagEntries.at(e), entryPath);
                const QString strLabel = kinds::strTagLinks().label, snpLabel = kinds::snpTagLinks().label;
                const QJsonArray str = r.array(listed, entryPath, strLabel);
                for (qsizetype t = 0; t < str.size(); ++t) {
                    const QString path = exchange::item(exchange::child(entryPath, strLabel), t);
                    s.STRLocusTagsOf(e)->Add(exchange::readStrTag(r, r.object(str.at(t), path), path));
                }
                const QJsonArray snp = r.array(listed, entryPath, snpLabel);
                for (qsizetype t = 0; t < snp.size(); ++t) {
                    const QString path = exchange::item(exchange::child(entryPath, snpLabel), t);
                    s.SNPLocusTagsOf(e)->Add(exchange::readSnpTag(r, r.object(snp.at(t), path), path));
                }
            }
        }
        return Decoded{file.settings, file.project};
    } catch (const Error &e) {
        if (e.number() == kStoreHistoryUnreadable)
            throw;
        throw unreadable(what, e.description());
    }
}

QJsonObject exchangeDocument(const QJsonObject &settings, const QJsonObject &tags, const QString &name,
                             qint32 attributes)
{
    QJsonObject document{{QStringLiteral("format"), kExchangeFormatName},
                         {QStringLiteral("version"), kExchangeFormatVersion}};
    const QJsonObject set = exchangeSet(settings, &tags, name, attributes);
    QJsonArray projects;
    if (set.value(kProjectKey).isString())
        projects.append(QJsonObject{{kinds::kNameLabel, set.value(kProjectKey)}});
    document.insert(kProjectsKey, projects);
    for (Kind kind : {Kind::SizeStandard, Kind::MobilityCalibration, Kind::MobilityReference}) {
        const QString list = kinds::withDescriptor(kind, [](const auto &d) { return d.list; });
        document.insert(list, settings.value(list).toArray());
    }
    // Tags listed by several entries are defined once.
    for (const QString &label : {kinds::strTagLinks().label, kinds::snpTagLinks().label}) {
        QJsonArray definitions;
        QSet<QString> names;
        for (const QJsonValue &entry : tags.value(kinds::kEntriesLabel).toArray())
            for (const QJsonValue &tag : entry.toObject().value(label).toArray())
                if (!names.contains(nameIn(tag.toObject()))) {
                    names.insert(nameIn(tag.toObject()));
                    definitions.append(tag);
                }
        document.insert(label, definitions);
    }
    document.insert(kinds::sets().list, QJsonArray{set});
    return document;
}

QString sizeStandardName(const References &references, DefinitionCache &definitions)
{
    const auto &refs = kinds::sets().references;
    for (qsizetype i = 0; i < refs.size(); ++i)
        if (refs[i].target == Kind::SizeStandard && references.set.value(i) > 0)
            return definitions.name(Kind::SizeStandard, references.set.value(i));
    return stored::kNone;
}

// ---- stored form --------------------------------------------------------------------------------

QByteArray pack(const QByteArray &encoded)
{
    return qCompress(encoded, 1);
}

QJsonObject unpack(const QByteArray &stored, int encoding, const QString &what)
{
    if (encoding != kEncoding)
        throw unreadable(
            what, QStringLiteral("it was written in encoding %1, which this program does not know").arg(encoding));
    const QByteArray encoded = qUncompress(stored);
    if (encoded.isEmpty())
        throw unreadable(what, QStringLiteral("its stored data is damaged"));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(encoded, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        throw unreadable(what, QStringLiteral("its stored data is not a snapshot"));
    return document.object();
}

} // namespace veltrane::host::snapshot
