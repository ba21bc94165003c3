#pragma once

// The history of parameter sets and their life cycle, as the store keeps them.
//
// Every change of a set is a *revision*, written in the transaction of the change: the editor's saves,
// an import, an edit of an SNP locus tag the set lists, and each action below. A revision numbers the
// changes of one set from 1 without gaps and keeps who made the change (on SQLite the login and the
// machine, on PostgreSQL the server's session user), when (UTC, taken by the database), the action,
// the reason the user gave, a one-line summary of what changed, and a snapshot of the whole set after
// the change: its fields and the definitions it uses (size standard with its fragments, dye mobility
// calibration, mobility reference, locus tags) with the values it used, so a revision can be shown,
// compared and restored after those definitions changed or went. Revisions are never changed or
// removed; a deleted set keeps its history and can be brought back.
//
// The actions below are store operations with the rules of a commit: one transaction, nothing stored
// when one is refused, a set this session has read and someone else has changed since is refused
// (kStoreConflict), a read-only set cannot be renamed, restored over or deleted until it is unlocked
// (kStoreReadOnly), and the default set "DefaultFragmentAnalysisParameters" cannot be deleted,
// renamed or hidden, since the selection window looks for it by name (kStoreActionRefused). Names
// follow the rules of every stored name (kStoreInvalidObject) and are unique without regard to case
// (kStoreDuplicateName). Each action answers the revision it recorded.
//
// Nothing here needs widgets: the command line and the windows use the same functions.

#include "host/objects/sql_store.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QList>
#include <QString>
#include <optional>

namespace veltrane::host {

enum class RevisionAction {
    Created,
    Saved,
    Imported,
    Renamed,
    Locked,
    Unlocked,
    Hidden,
    Shown,
    Deleted,
    Restored,
    Undeleted
};

// The word a revision's action is stored and shown as ("created", "saved", ...), and back.
QString actionName(RevisionAction action);
std::optional<RevisionAction> actionFromName(const QString &name);

// The longest reason a revision keeps, in characters.
constexpr qsizetype kMaxReasonLength = 500;

struct Revision
{
    qint32 setId = 0;  // the set's number, kept by the set for its whole life (also once deleted)
    qint32 number = 0; // 1, 2, ... per set
    QString name;      // the set's name after the change
    QString projectName;
    qint32 attributes = 0; // after the change (read-only bits 0 and 1, hidden bit 2)
    QDateTime time;        // UTC; show it with toLocalTime()
    QString who;
    RevisionAction action = RevisionAction::Saved;
    QString reason;
    QString summary; // what changed from the revision before, in the editor's terms

    bool readOnly() const;
    bool hidden() const;
};

// One set in the store's overview: a stored set, or a deleted one with its last revision.
struct SetOverview
{
    qint32 setId = 0;
    QString name;
    QString projectName;
    qint32 attributes = 0;
    bool deleted = false;
    // The last revision: its number (how many changes the set has seen), time, who and action.
    qint32 revisions = 0;
    QDateTime lastChanged; // UTC
    QString lastChangedBy;
    RevisionAction lastAction = RevisionAction::Saved;

    bool readOnly() const;
    bool hidden() const;
};

// A set as one revision left it: the whole set, every definition it refers to attached with the
// values of that time (what compareSets and describeSet read).
struct SetSnapshot
{
    Revision revision;
    FragAnalysisParamPtr settings;
};

// ---- queries ------------------------------------------------------------------------------------

// Every stored set, hidden ones too, in the store's order (name, letter case aside), with its last
// revision; deleted sets besides when asked, each in its place by name. The session notes the version
// of every stored set listed, so an action on a set someone changed after the list was read is
// refused (kStoreConflict).
QList<SetOverview> setOverview(SqlStore &store, bool includeDeleted = false);
// The deleted sets, most recently deleted first.
QList<SetOverview> deletedSets(SqlStore &store);

// The number of the set a name means: the stored set of that name, else a deleted set that had it
// last. kStoreNotFound when there is none; kStoreActionRefused when several deleted sets had it
// (the message names their numbers, which undeleteSet and the queries take).
qint32 setIdByName(SqlStore &store, const QString &name, bool includeDeleted = true);

// The revisions of a set, newest first (kStoreNotFound for a number no set has had).
QList<Revision> setHistory(SqlStore &store, qint32 setId);
// One revision with its snapshot; number 0 means the latest (kStoreNotFound, kStoreHistoryUnreadable).
SetSnapshot setRevision(SqlStore &store, qint32 setId, qint32 number = 0);
// The snapshot of a revision as an exchange document of one set (docs/store-format.md), so it can be
// kept as a file and imported into any store.
QJsonDocument revisionDocument(SqlStore &store, qint32 setId, qint32 number = 0);

// ---- life cycle ---------------------------------------------------------------------------------

// The stored set of that name gets another name (kStoreDuplicateName when another set has it).
Revision renameSet(SqlStore &store, const QString &name, const QString &newName, const QString &reason = {});
// Read-only: nobody can change, rename, restore over or delete the set until it is unlocked.
Revision lockSet(SqlStore &store, const QString &name, const QString &reason = {});
Revision unlockSet(SqlStore &store, const QString &name, const QString &reason = {});
// Hidden sets are left out of the lists users pick from (the selection window, the save-as page).
Revision hideSet(SqlStore &store, const QString &name, const QString &reason = {});
Revision showSet(SqlStore &store, const QString &name, const QString &reason = {});
// The set leaves the store and frees its name; its history stays and undeleteSet brings it back.
Revision deleteSet(SqlStore &store, const QString &name, const QString &reason = {});
// Brings the deleted set with this number back as it was deleted, under its name or newName
// (kStoreDuplicateName naming the set that holds the name now).
Revision undeleteSet(SqlStore &store, qint32 setId, const QString &newName = {}, const QString &reason = {});
// A new revision whose settings are revision number's: the set gets back exactly what it held then,
// under its present name and flags. Definitions the revision used that are no longer stored are
// stored again with its values; when one of them is stored with other values now (a size standard
// whose fragments were changed, an SNP tag edited since), nothing is restored and kStoreRestoreInexact
// names each difference, since the set would otherwise silently get something other than what was
// validated.
Revision restoreSet(SqlStore &store, const QString &name, qint32 number, const QString &reason = {});

} // namespace veltrane::host
