#pragma once

// Who may do what in a shared store, as the PostgreSQL server itself enforces it.
//
// A store on PostgreSQL can be set up for a lab (setupRoles, run once by the store's owner or a
// superuser): three group roles, each with the grants it needs on the store's tables, and triggers
// that enforce what depends on the row (a locked set is changed, deleted or unlocked only by an
// administrator; lock, unlock, hide, show and undelete are an administrator's). Logins are made members
// of a group role by grantRole. The store's owner counts as an administrator. The history is
// append-only for everybody (the owner included) whether or not the roles were set up, and its time and
// user are the server's. A store that was never set up is a single-user store: whoever may write its
// tables may do everything, as before.
//
// A SQLite store is one user's file: it has no roles, and everything is allowed to whoever can write
// the file.
//
// Nothing here needs widgets: the command line and the windows use the same functions.

#include "host/objects/sql_store.h"

#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace veltrane::host {

enum class StoreRole { Reader, Analyst, Administrator };

// The word a role is given and shown as ("reader", "analyst", "administrator"), and back.
QString roleWord(StoreRole role);
std::optional<StoreRole> roleFromWord(const QString &word);
// The name of the role's group on the server ("veltrane_reader", ...). Roles belong to the whole
// server, so one group serves every store on it.
QString groupRoleName(StoreRole role);

// What setupRoles did.
struct RoleSetup
{
    QStringList createdRoles; // the group roles that did not exist before
    bool wasSetUp = false;    // the store's rules were on already (nothing changed then but missing grants)
};

// Creates the group roles that are missing, grants each what it may touch and turns the store's rules
// on, in one transaction; running it again changes nothing. kStoreActionRefused on SQLite, and when the
// connected user neither owns the store nor is a superuser; kStorePermissionDenied when the user may not
// create roles (the message names the statements a database administrator runs instead).
RoleSetup setupRoles(SqlStore &store);

// Makes the login a member of exactly this role (of the three), or takes the role away. The login is
// made by the database administrator (CREATE ROLE name LOGIN); kStoreNotFound when there is none,
// kStoreActionRefused when the store was not set up or the login does not hold the role to revoke.
void grantRole(SqlStore &store, const QString &login, StoreRole role);
void revokeRole(SqlStore &store, const QString &login, StoreRole role);

// The members of the three roles, by login name; the store's owner first.
struct RoleMember
{
    QString login;
    std::optional<StoreRole> role; // none for the owner, who may do everything
    bool canLogin = true;
};
QList<RoleMember> roleMembers(SqlStore &store);

// ---- what the connected user may do -------------------------------------------------------------

enum class StoreAction {
    CreateSet,
    ChangeSet, // save over a stored set, restore an earlier revision
    RenameSet,
    DeleteSet,
    LockSet,
    UnlockSet,
    HideSet,
    ShowSet,
    UndeleteSet,
    ChangeDefinitions, // size standards, calibrations, mobility references and locus tags
    Count
};

struct StorePermissions
{
    QString user;                  // who the server says is connected (empty on SQLite)
    bool rolesSetUp = false;       // the store's rules are on (setupRoles ran)
    bool owner = false;            // the user owns the store's tables (or is a superuser)
    std::optional<StoreRole> role; // the highest of the three the user holds, if any
    std::array<bool, size_t(StoreAction::Count)> allowed{};

    bool allows(StoreAction action) const { return allowed[size_t(action)]; }
};

// Asks the server what the connected user may do (privileges on the tables, membership of the roles),
// rather than guessing from names. A locked set is changed by nobody through the program, whatever
// this says (it is unlocked first). On SQLite every action is allowed unless the store is open for
// reading only.
StorePermissions permissions(SqlStore &store);

} // namespace veltrane::host
