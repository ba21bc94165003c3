#pragma once

// Internal to the store: the snapshot a revision keeps of a set, and how it is encoded.
//
// A snapshot is two parts, each a JSON object in the shapes of the exchange format:
// - the settings part: the set's fields (all but its name and attributes, which the revision row
//   keeps) with the size-calling entries, and the size standards, dye mobility calibration and mobility
//   reference it refers to, each with every value;
// - the tags part: per entry, the STR and the SNP locus tags it lists, in order, each with every value.
// A part is stored once, under the SHA-256 of its canonical encoding (compact JSON, keys in order),
// compressed; revisions that keep a part unchanged (a lock, a rename, a save that leaves the tags as
// they were) share it, so the tag lists of a large set are paid for once.

#include "host/objects/store_io.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <optional>

namespace veltrane::host::snapshot {

// The definitions snapshots copy, read by ID and kept for one transaction as their exchange objects.
class DefinitionCache
{
public:
    explicit DefinitionCache(const io::Context &ctx);

    // Reads those not read yet, in batches.
    void prefetch(Kind kind, const QList<qint32> &ids);
    // The exchange object of a stored definition (kStoreNotFound when no row has the ID).
    const QJsonObject &definition(Kind kind, qint32 id);

private:
    static quint64 key(Kind kind, qint32 id) { return (quint64(kind) << 32) | quint32(id); }

    const io::Context &m_ctx;
    QHash<quint64, QJsonObject> m_found;
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
};

struct Part
{
    QJsonObject json;
    QByteArray encoded; // canonical
    QByteArray hash;    // SHA-256 of encoded
};

Part makePart(QJsonObject json);

struct Parts
{
    Part settings;
    Part tags;
};

// The snapshot of a set about to be stored: its fields as the object holds them, except the dates
// (from dates, as the store stamps them), and its definitions as stored under the references.
struct Dates
{
    qint64 created = 0;
    qint64 modified = 0;
};
Parts encode(const FragAnalysisParam &set, const Dates &dates, const References &references,
             DefinitionCache &definitions);

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

// The size standard a snapshot names, and how many STR and SNP tags it lists (for the summary of a new
// set, without decoding it).
struct Counts
{
    QString sizeStandard;
    qsizetype str = 0;
    qsizetype snp = 0;
};
Counts countsOf(const QJsonObject &settings, const QJsonObject &tags);

// The stored form of a part, and back (kStoreHistoryUnreadable when it is damaged).
constexpr int kEncoding = 1; // zlib-compressed compact JSON
QByteArray pack(const QByteArray &encoded);
QJsonObject unpack(const QByteArray &stored, int encoding, const QString &what);

} // namespace veltrane::host::snapshot
