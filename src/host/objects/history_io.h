#pragma once

// Internal to the store: writing revisions and reading them back. Callers hold the transaction.

#include "host/objects/set_history.h"
#include "host/objects/snapshot.h"
#include "host/objects/store_io.h"

namespace veltrane::host::io {

// The tables of the history: one row per revision, and the snapshot parts revisions share by hash.
inline const QString kRevisionsTable = QStringLiteral("set_revisions");
inline const QString kPartsTable = QStringLiteral("revision_parts");

// The columns of a revision as Revision holds them, in the order revisionAt reads them.
inline const QString kRevisionColumns = QStringLiteral("set_id, revision, name, project_name, attributes, "
                                                       "changed_at, changed_by, action, reason, summary");
// A revision from the columns of kRevisionColumns, the first of them at first.
Revision revisionAt(const Statement &st, int first);
// A time as the store keeps it: seconds since 1970, UTC.
QDateTime fromStoredTime(qint64 seconds);
// "Revision N of the parameter set "name"", for messages.
QString revisionWhat(const QString &name, qint32 number);

// A revision about to be recorded.
struct RevisionRecord
{
    qint32 setId = 0;
    QString name;
    QString projectName;
    qint32 attributes = 0;
    RevisionAction action = RevisionAction::Saved;
    QString reason;
    snapshot::Part settings;
    // What the set refers to; its tags part is made from the tags' stored rows, or taken over from the
    // revision before when that lists the same tags and the tags cannot have changed since (every
    // change but an edit of a tag, which changes tags' values under the same list).
    snapshot::References references;
    bool tagsAsBefore = true;
    snapshot::Part tags; // made by recordRevisions
    QByteArray tagLinks; // the references' tag links, worked out by recordRevisions
    Revision recorded;   // filled in: number, time, who, summary
};

// Records the revisions, each numbered one past its set's last and summarised against it, storing the
// parts no revision stored yet. Every change of a set comes through here, in the change's transaction:
// writeSets for whatever writes a set's settings, and the life-cycle actions. The database takes the
// time, and on PostgreSQL also who it is (session_user), inside the statement.
void recordRevisions(const Context &ctx, QList<RevisionRecord> &records, snapshot::DefinitionCache &definitions);

// A stored set as it stands now, ready to be recorded by an action that leaves its settings as they are
// (kStoreNotFound when it is not stored).
RevisionRecord currentSet(const Context &ctx, qint32 setId, RevisionAction action, const QString &reason,
                          snapshot::DefinitionCache &definitions);

// Whether storing the tag over its stored row changes what it holds (a new name, number or text, not
// merely the time it was saved), and so every set that lists it.
bool tagChangesSets(const Context &ctx, const SNPLocusTagSettings &tag);
// Records a "saved" revision of every set that lists the tag, whose stored row has just changed.
void recordTagChange(const Context &ctx, Kind kind, qint32 tagId);

// The revision row of a set (number 0: its latest); nothing when there is none.
struct StoredRevision
{
    Revision revision;
    QByteArray settingsHash;
    QByteArray tagsHash;
    QByteArray tagLinks;
};
std::optional<StoredRevision> storedRevision(const Context &ctx, qint32 setId, qint32 number = 0);
// A stored part (kStoreHistoryUnreadable when it is missing or damaged).
QJsonObject storedPart(const Context &ctx, const QByteArray &hash, const QString &what);

// Checks a reason a user gives for a change: printable text of at most kMaxReasonLength characters
// (kStoreInvalidObject).
void requireReason(const QString &reason);

} // namespace veltrane::host::io
