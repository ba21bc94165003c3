#pragma once

// Internal to the store: reading and writing business objects on one connection. Callers hold the
// transaction; nothing here begins or ends one.

#include "host/objects/connection.h"
#include "veltrane/contracts/business_objects.h"

#include <QList>
#include <functional>
#include <optional>

namespace veltrane::host::io {

struct Context
{
    QSqlDatabase db;
    Engine engine = Engine::SQLite;
    // Given to every object read that has operations of its own (sets and their settings, tags,
    // references), so it commits back where it came from; inner data objects go without.
    StorePtr store;
};

// Which rows a read answers: all of them, the one with an ID, or the one with a name (compared as
// nameKey() compares).
struct Filter
{
    enum By { All, Id, Name };
    By by = All;
    qint32 id = 0;
    QString name;

    static Filter all() { return {}; }
    static Filter byId(qint32 id) { return {Id, id, {}}; }
    static Filter byName(const QString &name) { return {Name, 0, name}; }
};

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

// What the store decides about a set being written, rather than the object.
struct SetStamp
{
    qint32 attributes = 0;
    qint64 dateCreated = 0;
    qint64 dateModified = 0;
};
// Writes the whole set: a new row when replacing is null, otherwise over that row (its children
// rewritten). References to size standards, calibrations, references and tags resolve by ID when the
// object carries a stored one, else by name; one that resolves to nothing throws kStoreInvalidObject.
// The object itself is left as it is (the caller updates it once the transaction has committed).
struct WrittenSet
{
    qint32 id = 0;
    qint32 version = 0;
};
WrittenSet writeSet(const Context &ctx, FragAnalysisParam &settings, const std::optional<StoredSet> &replacing,
                    const SetStamp &stamp);

// Who writes through this program, as people tell workstations apart: the login name and the
// machine ("anna on lab-pc-2"). writeSet records it with every set, so that a commit refused because
// someone else changed the set can say who did.
QString workstation();
// Who last wrote the set with this ID; empty when the store does not know (written before it kept
// track).
QString lastWriter(const Context &ctx, qint32 setId);

// New definitions; each answers the new ID and throws kStoreDuplicateName when the name is taken.
qint32 insertProject(const Context &ctx, const QString &name);
qint32 insertSizeStandard(const Context &ctx, const SizeStandardSettings &standard);
qint32 insertMobilityCalibration(const Context &ctx, const MobilityCalibrationSettings &calibration);
qint32 insertMobilityReference(const Context &ctx, const QString &name, qint32 enumTypeId);
qint32 insertStrLocusTag(const Context &ctx, const STRLocusTag &tag);
qint32 insertSnpLocusTag(const Context &ctx, const SNPLocusTagSettings &tag);
// Updates the tag with the settings' ID (kStoreNotFound when there is none).
void updateSnpLocusTag(const Context &ctx, const SNPLocusTagSettings &tag);
void insertGridType(const Context &ctx, const GridType &layout);

// The ID of the object of a kind stored under a name, 0 when there is none.
enum class Kind { Project, SizeStandard, MobilityCalibration, MobilityReference, StrTag, SnpTag, Set };
qint32 idByName(const Context &ctx, Kind kind, const QString &name);

} // namespace veltrane::host::io
