#pragma once

// Internal to the store: reading and writing business objects on one connection. Callers hold the
// transaction; nothing here begins or ends one.

#include "host/objects/connection.h"
#include "host/objects/kinds.h"
#include "host/objects/set_history.h"
#include "veltrane/contracts/business_objects.h"
#include "veltrane/contracts/error.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <functional>
#include <optional>

namespace veltrane::host::snapshot {
struct References;
}

namespace veltrane::host::io {

using host::Kind;

struct Context
{
    QSqlDatabase db;
    Engine engine = Engine::SQLite;
    // Given to every object read that has operations of its own (sets and their settings, tags,
    // references), so it commits back where it came from; inner data objects go without.
    StorePtr store;
};

// Which rows a read answers: all of them, the one with an ID, or those with the names (compared as
// nameKey() compares).
struct Filter
{
    enum By { All, Id, Name };
    By by = All;
    qint32 id = 0;
    QStringList names;

    static Filter all() { return {}; }
    static Filter byId(qint32 id) { return {Id, id, {}}; }
    static Filter byName(const QString &name) { return {Name, 0, {name}}; }
    // At most kBatch names, so the statement stays of a size a connection keeps prepared.
    static Filter byNames(const QStringList &names) { return {Name, 0, names}; }
};

// Rows listed in one statement (names looked up, rows inserted): a round trip per batch rather than
// per row. Batches are cut into sizes that are powers of two up to kBatch rows, so a connection keeps
// at most a few statements of each kind prepared, and to about kBatchValues values, since preparing a
// statement costs more than in proportion to its values (SQLite takes half a second for 10,000).
constexpr int kBatch = 256;
constexpr int kBatchValues = 1024;

// The most rows of width values a batch holds.
constexpr qsizetype batchRows(qsizetype width)
{
    qsizetype rows = kBatch;
    while (rows > 1 && rows * width > kBatchValues)
        rows /= 2;
    return rows;
}

// Calls f(from, size) for consecutive parts of n items, each a power of two of at most maxRows.
template <typename F> void forBatches(qsizetype n, F &&f, qsizetype maxRows = kBatch)
{
    for (qsizetype at = 0; at < n;) {
        qsizetype size = maxRows;
        while (size > n - at)
            size /= 2;
        f(at, size);
        at += size;
    }
}

// ---- reading (every list in the store's order: case-folded name, then ID) ----------------------

// Receives the objects of a read one by one, so long lists need no list of their own.
template <typename T> using Sink = std::function<void(QSharedPointer<T> &&)>;

// Parameter sets with ID, Name and ProjectID only; the caller attaches settings or defers them.
void readParameterSets(const Context &ctx, bool includeHidden, const Filter &filter,
                       const Sink<AnalysisParameter> &sink);
QList<AnalysisParameterPtr> parameterSets(const Context &ctx, bool includeHidden, const Filter &filter = {});
// Fills target with every field of the stored set; answers the row's version, or nothing when no
// set matches (target is then untouched).
std::optional<qint32> readSettings(const Context &ctx, const Filter &filter, FragAnalysisParam &target);

QList<SizeStandardPtr> sizeStandards(const Context &ctx, const Filter &filter = {});
QList<MobilityCalibrationPtr> mobilityCalibrations(const Context &ctx, const Filter &filter = {});
QList<SizeCalibrationPtr> mobilityReferences(const Context &ctx, const Filter &filter = {});
void readSnpLocusTags(const Context &ctx, const Filter &filter, const Sink<SNPLocusTag> &sink);
QList<SNPLocusTagPtr> snpLocusTags(const Context &ctx, const Filter &filter = {});
QList<STRLocusTagPtr> strLocusTags(const Context &ctx, const Filter &filter = {});
QList<ProjectPtr> projects(const Context &ctx, const Filter &filter = {});
GridTypePtr gridType(const Context &ctx, qint32 gridTypeId);
QList<qint32> gridTypeIds(const Context &ctx);

// ---- writing ------------------------------------------------------------------------------------

// The stored row a commit of a set by this name would replace.
struct StoredSet
{
    qint32 id = 0;
    QString name;
    qint32 version = 0;
    qint32 attributes = 0;
    qint64 dateCreated = 0;
    qint64 dateModified = 0;
};
// lockRow keeps other writers off the row until the transaction ends.
std::optional<StoredSet> findSet(const Context &ctx, const QString &name, bool lockRow);
// The same for many names at once, by nameKey().
QHash<QString, StoredSet> findSets(const Context &ctx, const QStringList &names, bool lockRows);

// What the store decides about a set being written, rather than the object.
struct SetStamp
{
    qint32 attributes = 0;
    qint64 dateCreated = 0;
    qint64 dateModified = 0;
};
// Writes the whole set: a new row when replacing is null, otherwise over that row (its children
// rewritten), and records its revision (see writeSets). References to size standards, calibrations,
// references and tags resolve by ID when the object carries a stored one, else by name; one that
// resolves to nothing throws kStoreInvalidObject. The object itself is left as it is (the caller
// updates it once the transaction has committed).
struct WrittenSet
{
    qint32 id = 0;
    qint32 version = 0;
    Revision revision;
};
// Why a set is written, for its revision.
struct Change
{
    RevisionAction action = RevisionAction::Saved;
    QString reason;
    qint32 id = 0; // a new row takes this ID (a deleted set coming back) rather than a new one
};
WrittenSet writeSet(const Context &ctx, FragAnalysisParam &settings, const std::optional<StoredSet> &replacing,
                    const SetStamp &stamp, const Change &change);

// Finds the rows of the objects sets refer to, and remembers them for the life of one transaction.
// Many objects are found in a few statements when they are announced first (prefetch).
class ReferenceResolver
{
public:
    explicit ReferenceResolver(const Context &ctx);

    // Learns which of the IDs the objects carry are stored, and the rows of the names of the others.
    void prefetch(Kind kind, const QList<const BusinessObject *> &objects);
    // Learns the rows of the names (those not known yet).
    void prefetchNames(Kind kind, const QStringList &names);
    // The row of the object: the ID it carries when that row exists, else the row of its name; throws
    // kStoreInvalidObject naming the object and the set when there is none.
    qint32 resolve(Kind kind, const BusinessObject *object, const QString &setName);
    // The row of a name, 0 when there is none.
    qint32 idOfName(Kind kind, const QString &name);
    void learn(Kind kind, const QString &name, qint32 id);

private:
    void prefetchIds(Kind kind, const QList<qint32> &ids);
    void lookUpNames(Kind kind, const QStringList &names);

    const Context &m_ctx;
    QHash<Kind, QHash<QString, qint32>> m_byName; // nameKey to ID, 0 for a name not stored
    QHash<Kind, QHash<qint32, bool>> m_ids;       // whether a carried ID is stored
};

// Writes many sets as one: one statement per batch of new sets, then their entries, peaks and tag
// lists, each in batches. Replaced sets are updated one by one, their old lists deleted together.
// Every set written gets its revision in the same transaction, with a snapshot of what was written
// (the definitions as stored under the references the writer resolved): this is the one way a set's
// settings are written, so no path can change a set without recording it.
struct SetToWrite
{
    FragAnalysisParam *settings = nullptr;
    std::optional<StoredSet> replacing;
    SetStamp stamp;
    Change change;
    WrittenSet written; // filled in
};
void writeSets(const Context &ctx, QList<SetToWrite> &sets, ReferenceResolver &resolver);
// The rows writeSets writes, without the revisions, answering what each set refers to as resolved.
// Nothing in the program stores a set this way: the history's benchmark measures what the revisions
// add to a save with it.
void writeSetRows(const Context &ctx, QList<SetToWrite> &sets, ReferenceResolver &resolver,
                  QList<snapshot::References> &resolved);

// New definitions of one kind (the objects are of the kind's class), in batches; answers their IDs
// in order. Throws kStoreDuplicateName when a name is stored, kStoreConflict when one was stored
// meanwhile.
QList<qint32> insertDefinitions(const Context &ctx, Kind kind, const QList<const BusinessObject *> &objects);

// Who writes through this program, as people tell workstations apart: the login name and the
// machine ("anna on lab-pc-2"). writeSets records it with every set it writes, so that a commit
// refused because someone else changed the set can say who did.
QString workstation();
// Who last wrote the set with this ID; empty when the store does not know (written before it kept
// track).
QString lastWriter(const Context &ctx, qint32 setId);

// New definitions; each answers the new ID and throws kStoreDuplicateName when the name is taken.
qint32 insertProject(const Context &ctx, const QString &name);
qint32 insertSizeStandard(const Context &ctx, const SizeStandardSettings &standard);
qint32 insertMobilityCalibration(const Context &ctx, const MobilityCalibrationSettings &calibration);
qint32 insertMobilityReference(const Context &ctx, const SizeCalibration &reference);
qint32 insertStrLocusTag(const Context &ctx, const STRLocusTag &tag);
qint32 insertSnpLocusTag(const Context &ctx, const SNPLocusTagSettings &tag);
// Updates the tag with the settings' ID (kStoreNotFound when there is none).
void updateSnpLocusTag(const Context &ctx, const SNPLocusTagSettings &tag);
void insertGridType(const Context &ctx, const GridType &layout);

// Whether an error is a failure of the store itself (it could not be reached or written, it refused a
// statement) rather than a refusal of what was asked: its message then says what was not done.
bool storeFailure(const Error &e);
// Such a failure told as what it left undone: "The parameter set "X" was not saved: " and the store's
// words, which say what went wrong.
Error undone(const Error &e, const QString &whatWasNotDone);

// Throws kStoreInvalidObject (from source) when the object of the kind (what: "parameter set") cannot be
// stored under the name: an empty one, or one that breaks the rules of nameFault().
void requireName(const QString &what, const QString &name, const QString &source);

// The ID of the object of a kind stored under a name, 0 when there is none.
qint32 idByName(const Context &ctx, Kind kind, const QString &name);

} // namespace veltrane::host::io
