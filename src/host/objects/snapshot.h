#pragma once

// Internal to the store: the snapshot a revision keeps of a set, and how it is encoded.
//
// A snapshot is two parts, each a JSON object in the shapes of the exchange format:
// - the settings part: the set's fields (all but its name and attributes, which the revision row
//   keeps) with the size-calling entries, and the size standards, dye mobility calibration and mobility
//   reference it refers to, each with every value;
// - the tags part: per entry, the STR and the SNP locus tags it lists, in order, each with every value.
// A part is stored once, under the BLAKE2b-256 hash of its canonical encoding (compact JSON, keys in order),
// compressed; revisions that keep a part unchanged (a lock, a rename, a save that leaves the tags as
// they were) share it, so the tag lists of a large set are paid for once. A revision of a set that
// lists the same tags (by stored ID) as its revision before takes that revision's tags part without
// reading the tags again: a tag's values change only through the store, which then records a
// revision of every set listing it, so the part before still holds the tags' values.

#include "host/objects/store_io.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <optional>

namespace veltrane::host::snapshot {

// The definitions snapshots copy, read by ID and kept for one transaction as their exchange objects,
// written straight from their rows as canonical JSON text (a large set's tags part is thousands of
// them, joined).
class DefinitionCache
{
public:
    explicit DefinitionCache(const io::Context &ctx);

    // Reads those not read yet, in one statement.
    void prefetch(Kind kind, const QList<qint32> &ids);
    // The exchange object of a stored definition, as compact JSON with its keys in order, and as an
    // object (kStoreNotFound when no row has the ID).
    const QByteArray &text(Kind kind, qint32 id);
    const QJsonObject &definition(Kind kind, qint32 id);
    QString name(Kind kind, qint32 id);

    // A time and a single as exchange texts write them (many tags share theirs).
    const QByteArray &dateText(qint64 storedTime);
    const QByteArray &floatText(float value);

private:
    static quint64 key(Kind kind, qint32 id) { return (quint64(kind) << 32) | quint32(id); }

    const io::Context &m_ctx;
    QHash<quint64, QByteArray> m_texts;
    QHash<quint64, QJsonObject> m_objects;
    QHash<quint64, QString> m_names;
    // Tags saved in the same second, and numbers many tags share, are written once.
    QHash<qint64, QByteArray> m_dates;
    QHash<quint32, QByteArray> m_floats;
};

// The rows a set refers to, by place: what a writer resolved, or what a set read from the store carries.
struct References
{
    qint32 project = 0;
    QList<qint32> set;            // in the order of kinds::sets().references; 0 for none
    QList<qint32> entryStandards; // the size standard of each entry's calibration; 0 for none
    QList<QList<qint32>> str;     // per entry, in list order
    QList<QList<qint32>> snp;

    // Those of a set as the store reads it (every object carries its stored ID).
    static References of(const FragAnalysisParam &set);
    // Every ID of the kind, for DefinitionCache::prefetch.
    QList<qint32> ids(Kind kind) const;
    // The tags the entries list, by ID and place, as one hash: equal for two revisions that list the
    // same stored tags in the same order.
    QByteArray tagLinks() const;
};

struct Part
{
    QByteArray encoded; // canonical; empty for a part taken over from the revision before (stored already)
    QByteArray hash;    // BLAKE2b-256 of encoded

    QJsonObject object() const; // the text read
};

// The settings part of a set about to be stored: its fields as the object holds them, except the
// dates (as the store stamps them), and its definitions as stored under the references.
struct Dates
{
    qint64 created = 0;
    qint64 modified = 0;
};
Part settingsPart(const FragAnalysisParam &set, const Dates &dates, const References &references,
                  DefinitionCache &definitions);
// The tags part: the tags the references list, with their stored values.
Part tagsPart(const References &references, DefinitionCache &definitions);

// A set from its parts, with its definitions attached (objects without IDs; names as stored then).
// Without tags (nullptr) the entries list none, which is all a comparison of unchanged tags needs.
// what names the revision in a failure (kStoreHistoryUnreadable).
// The set's project is named by the part (a project's ID belongs to one store), not by its ProjectID.
struct Decoded
{
    FragAnalysisParamPtr settings;
    std::optional<QString> project;
};
Decoded decode(const QJsonObject &settings, const QJsonObject *tags, const QString &name, qint32 attributes,
               const QString &what);

// The snapshot as an exchange document of the one set (with format and version), importable anywhere.
QJsonObject exchangeDocument(const QJsonObject &settings, const QJsonObject &tags, const QString &name,
                             qint32 attributes);

// The name of the size standard a set refers to ("[None]" for none), for the summary of a new set.
QString sizeStandardName(const References &references, DefinitionCache &definitions);

// The stored form of a part, and back (kStoreHistoryUnreadable when it is damaged).
constexpr int kEncoding = 1; // zlib-compressed compact JSON

// The key under which a settings part names the set's project.
inline const QString kProjectKey = QStringLiteral("project");
QByteArray pack(const QByteArray &encoded);
QJsonObject unpack(const QByteArray &stored, int encoding, const QString &what);

} // namespace veltrane::host::snapshot
