// The server's side of a shared store: the rules its triggers enforce, the group roles and their grants,
// and what the connected user may do.

#include "host/objects/store_admin.h"

#include "host/objects/history_io.h"
#include "host/objects/kinds.h"
#include "host/objects/schema.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/stored_rules.h"

namespace veltrane::host {

namespace {

const QString kSource = QStringLiteral("SqlStore");
const char *const kRoleWords[] = {"reader", "analyst", "administrator"};

// The trigger on the sets and those on their parts, created off and turned on by setupRoles.
const QString kSetRulesTrigger = QStringLiteral("parameter_sets_rules");
const QString kPartRulesTrigger = QStringLiteral("set_parts_rules");
const QString kRecordedTrigger = QStringLiteral("parameter_sets_recorded");

QString quotedIdentifier(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// The tables of a set's parts, each with a set_id column.
QStringList setPartTables()
{
    return {kinds::entries().table, kinds::selectedPeaks().table, kinds::strTagLinks().table,
            kinds::snpTagLinks().table};
}

// The definitions sets refer to: analysts add new ones (imports, restores), administrators change them.
QStringList definitionTables()
{
    return {kinds::sizeStandards().table,      kinds::fragments().table, kinds::mobilityCalibrations().table,
            kinds::mobilityReferences().table, kinds::strTags().table,   kinds::snpTags().table};
}

QString currentSchema(const QSqlDatabase &db)
{
    Statement st(db, QStringLiteral("SELECT current_schema()"));
    st.exec();
    return st.next() ? st.textAt(0) : QStringLiteral("public");
}

// The functions and triggers by which the server keeps the rules. Every name the functions use is
// qualified with the store's schema (and the catalogue's), so no search path a session sets, nor a
// temporary table of the same name, can stand in for the store's tables.
QStringList ruleStatements(const QString &schemaName)
{
    const QString s = quotedIdentifier(schemaName) + QLatin1Char('.');
    const QString sets = s + kinds::sets().table;
    const QString revisions = s + io::kRevisionsTable;
    QStringList statements;
    // The owner of the store's tables (and a superuser) counts as an administrator.
    statements << QStringLiteral(
                      "CREATE OR REPLACE FUNCTION %1veltrane_may_govern() RETURNS boolean LANGUAGE sql STABLE AS $$ "
                      "SELECT pg_catalog.pg_has_role(current_user, c.relowner, 'USAGE') OR COALESCE((SELECT "
                      "pg_catalog.pg_has_role(current_user, r.oid, 'USAGE') FROM pg_catalog.pg_roles r WHERE "
                      "r.rolname = '%2'), false) FROM pg_catalog.pg_class c WHERE c.oid = '%3'::regclass $$")
                      .arg(s, groupRoleName(StoreRole::Administrator), sets);
    // The sets: a locked one is changed, deleted or unlocked by an administrator only, the lock and hidden
    // flags are theirs to change, and so is bringing a deleted set back (a new row under a number that
    // has a history).
    statements << QStringLiteral(
                      "CREATE OR REPLACE FUNCTION %1veltrane_set_rules() RETURNS trigger LANGUAGE plpgsql AS $$ "
                      "BEGIN "
                      "IF TG_OP = 'INSERT' THEN "
                      "  IF EXISTS (SELECT 1 FROM %2 r WHERE r.set_id = NEW.id) AND NOT %1veltrane_may_govern() THEN "
                      "    RAISE EXCEPTION USING ERRCODE = 'VT002', MESSAGE = pg_catalog.format('Only an administrator "
                      "may bring back the deleted parameter set \"%s\".', NEW.name); "
                      "  END IF; "
                      "  RETURN NEW; "
                      "END IF; "
                      "IF (OLD.attributes & %3) <> 0 AND NOT %1veltrane_may_govern() THEN "
                      "  RAISE EXCEPTION USING ERRCODE = 'VT001', MESSAGE = pg_catalog.format('You may not %s the "
                      "locked set \"%s\"; ask an administrator to unlock it.', CASE TG_OP WHEN 'DELETE' THEN 'delete' "
                      "ELSE 'change' END, OLD.name); "
                      "END IF; "
                      "IF TG_OP = 'DELETE' THEN RETURN OLD; END IF; "
                      "IF (NEW.attributes & %4) <> (OLD.attributes & %4) AND NOT %1veltrane_may_govern() THEN "
                      "  RAISE EXCEPTION USING ERRCODE = 'VT002', MESSAGE = pg_catalog.format('Only an administrator "
                      "may lock, unlock, hide or show a parameter set; \"%s\" was left as it was.', OLD.name); "
                      "END IF; "
                      "RETURN NEW; "
                      "END $$")
                      .arg(s, revisions)
                      .arg(limits::kReadOnlyBits)
                      .arg(limits::kReadOnlyBits | limits::kHiddenBit);
    statements << QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2").arg(kSetRulesTrigger, sets)
               << QStringLiteral("CREATE TRIGGER %1 BEFORE INSERT OR UPDATE OR DELETE ON %2 FOR EACH ROW EXECUTE "
                                 "FUNCTION %3veltrane_set_rules()")
                      .arg(kSetRulesTrigger, sets, s);
    // No change of a set without its revision: when the transaction ends, the set's last revision must
    // be one it wrote. (The program never uses savepoints, whose rows would carry another transaction
    // number.)
    statements << QStringLiteral(
                      "CREATE OR REPLACE FUNCTION %1veltrane_set_recorded() RETURNS trigger LANGUAGE plpgsql AS $$ "
                      "BEGIN "
                      "IF NOT EXISTS (SELECT 1 FROM (SELECT r.xmin AS written FROM %2 r WHERE r.set_id = "
                      "COALESCE(NEW.id, OLD.id) ORDER BY r.revision DESC LIMIT 1) last WHERE "
                      "CAST(CAST(last.written AS text) AS bigint) = pg_catalog.txid_current() % 4294967296) THEN "
                      "  RAISE EXCEPTION USING ERRCODE = 'VT005', MESSAGE = pg_catalog.format('The parameter set "
                      "\"%s\" was changed without a revision in its history, so the change was refused.', "
                      "COALESCE(NEW.name, OLD.name)); "
                      "END IF; "
                      "RETURN NULL; "
                      "END $$")
                      .arg(s, revisions)
               << QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2").arg(kRecordedTrigger, sets)
               << QStringLiteral("CREATE CONSTRAINT TRIGGER %1 AFTER INSERT OR UPDATE OR DELETE ON %2 DEFERRABLE "
                                 "INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION %3veltrane_set_recorded()")
                      .arg(kRecordedTrigger, sets, s);
    // The parts of a locked set, once per statement: the rows it touched, before and after.
    statements << QStringLiteral(
                      "CREATE OR REPLACE FUNCTION %1veltrane_set_part_rules() RETURNS trigger LANGUAGE plpgsql AS $$ "
                      "DECLARE locked text; "
                      "BEGIN "
                      "IF TG_OP <> 'INSERT' THEN "
                      "  SELECT p.name INTO locked FROM old_rows o JOIN %2 p ON p.id = o.set_id "
                      "  WHERE (p.attributes & %3) <> 0 LIMIT 1; "
                      "END IF; "
                      "IF locked IS NULL AND TG_OP <> 'DELETE' THEN "
                      "  SELECT p.name INTO locked FROM new_rows n JOIN %2 p ON p.id = n.set_id "
                      "  WHERE (p.attributes & %3) <> 0 LIMIT 1; "
                      "END IF; "
                      "IF locked IS NOT NULL AND NOT %1veltrane_may_govern() THEN "
                      "  RAISE EXCEPTION USING ERRCODE = 'VT001', MESSAGE = pg_catalog.format('You may not change the "
                      "locked set \"%s\"; ask an administrator to unlock it.', locked); "
                      "END IF; "
                      "RETURN NULL; "
                      "END $$")
                      .arg(s, sets)
                      .arg(limits::kReadOnlyBits);
    const std::pair<const char *, const char *> events[] = {{"insert", "NEW TABLE AS new_rows"},
                                                            {"update", "OLD TABLE AS old_rows NEW TABLE AS new_rows"},
                                                            {"delete", "OLD TABLE AS old_rows"}};
    for (const QString &table : setPartTables())
        for (const auto &[name, event] : events)
            statements << QStringLiteral("DROP TRIGGER IF EXISTS %1_%2 ON %3%4").arg(kPartRulesTrigger, name, s, table)
                       << QStringLiteral("CREATE TRIGGER %1_%2 AFTER %3 ON %4%5 REFERENCING %6 FOR EACH STATEMENT "
                                         "EXECUTE FUNCTION %4veltrane_set_part_rules()")
                              .arg(kPartRulesTrigger, QLatin1String(name), QString::fromLatin1(name).toUpper(), s,
                                   table, QLatin1String(event));

    // The history: who and when are the server's, whatever a client sends, and revisions follow each
    // other without gaps. Nobody changes or removes a revision or a part of one, the owner included
    // (a superuser alone can turn a trigger off).
    statements << QStringLiteral(
                      "CREATE OR REPLACE FUNCTION %1set_revisions_stamp() RETURNS trigger LANGUAGE plpgsql AS $$ "
                      "BEGIN "
                      "NEW.changed_at := CAST(FLOOR(EXTRACT(EPOCH FROM pg_catalog.statement_timestamp())) AS BIGINT); "
                      "NEW.changed_by := session_user; "
                      "IF NEW.revision <> COALESCE((SELECT MAX(r.revision) FROM %2 r WHERE r.set_id = NEW.set_id), 0) "
                      "+ 1 THEN "
                      "  RAISE EXCEPTION USING ERRCODE = 'VT003', MESSAGE = pg_catalog.format('Revision %s of the "
                      "parameter set number %s does not follow the one before, so it was not recorded.', "
                      "NEW.revision, NEW.set_id); "
                      "END IF; "
                      "RETURN NEW; "
                      "END $$")
                      .arg(s, revisions)
               << QStringLiteral("DROP TRIGGER IF EXISTS set_revisions_stamp ON %1").arg(revisions)
               << QStringLiteral("CREATE TRIGGER set_revisions_stamp BEFORE INSERT ON %1 FOR EACH ROW EXECUTE "
                                 "FUNCTION %2set_revisions_stamp()")
                      .arg(revisions, s)
               << QStringLiteral("CREATE OR REPLACE FUNCTION %1set_revisions_kept() RETURNS trigger LANGUAGE plpgsql "
                                 "AS $$ BEGIN RAISE EXCEPTION USING ERRCODE = 'VT004', MESSAGE = 'Revisions of "
                                 "parameter sets are never changed or removed.'; END $$")
                      .arg(s);
    for (const QString &table : {io::kRevisionsTable, io::kPartsTable}) {
        statements << QStringLiteral("DROP TRIGGER IF EXISTS %1_kept ON %2%1").arg(table, s)
                   << QStringLiteral("CREATE TRIGGER %1_kept BEFORE UPDATE OR DELETE ON %2%1 FOR EACH ROW EXECUTE "
                                     "FUNCTION %2set_revisions_kept()")
                          .arg(table, s)
                   << QStringLiteral("DROP TRIGGER IF EXISTS %1_kept_whole ON %2%1").arg(table, s)
                   << QStringLiteral("CREATE TRIGGER %1_kept_whole BEFORE TRUNCATE ON %2%1 FOR EACH STATEMENT "
                                     "EXECUTE FUNCTION %2set_revisions_kept()")
                          .arg(table, s);
    }
    return statements;
}

// The triggers that enforce the roles' rules, on or off.
QStringList switchRules(const QString &schemaName, bool on)
{
    const QString s = quotedIdentifier(schemaName) + QLatin1Char('.');
    const QString verb = on ? QStringLiteral("ENABLE") : QStringLiteral("DISABLE");
    QStringList statements;
    for (const QString &trigger : {kSetRulesTrigger, kRecordedTrigger})
        statements << QStringLiteral("ALTER TABLE %1%2 %3 TRIGGER %4").arg(s, kinds::sets().table, verb, trigger);
    for (const QString &table : setPartTables())
        for (const char *name : {"insert", "update", "delete"})
            statements << QStringLiteral("ALTER TABLE %1%2 %3 TRIGGER %4_%5")
                              .arg(s, table, verb, kPartRulesTrigger, QLatin1String(name));
    return statements;
}

// Whether the store's rules are on (setupRoles ran).
bool rulesOn(const QSqlDatabase &db)
{
    Statement st(db, QStringLiteral("SELECT tgenabled <> 'D' FROM pg_catalog.pg_trigger WHERE tgrelid = "
                                    "CAST(? AS regclass) AND tgname = ?"));
    st.bind(kinds::sets().table).bind(kSetRulesTrigger).exec();
    return st.next() && st.boolAt(0);
}

Error notOnSqlite(const QString &what)
{
    return Error(kStoreActionRefused, kSource,
                 QStringLiteral("%1 needs a store on a PostgreSQL server. A SQLite store is one user's file: whoever "
                                "may write the file may do everything, and its permissions are what protect it.")
                     .arg(what));
}

// Runs a GRANT or REVOKE of a role; the server allows them to the store's owner where it made the roles,
// and to whoever may manage roles.
void changeMembership(const QSqlDatabase &db, const QString &statement, const QString &what)
{
    try {
        execute(db, statement);
    } catch (const Error &e) {
        if (e.number() != kStorePermissionDenied)
            throw;
        throw Error(kStorePermissionDenied, kSource,
                    QStringLiteral("%1: only the store's owner, or a user who may manage roles (CREATEROLE), may give "
                                   "and take roles.")
                        .arg(what));
    }
}

template <typename F> auto onServer(SqlStore &store, const QString &what, Transaction::Mode mode, F &&body)
{
    if (!store.isPostgreSQL())
        throw notOnSqlite(what);
    io::Context ctx = store.context();
    Transaction transaction(store.pool(), mode);
    auto result = body(ctx.db);
    transaction.commit();
    return result;
}

// Whether the connected user may change the store's tables themselves: their owner, or a superuser.
bool ownsStore(const QSqlDatabase &db)
{
    Statement st(db, QStringLiteral("SELECT pg_catalog.pg_has_role(current_user, c.relowner, 'USAGE') FROM "
                                    "pg_catalog.pg_class c WHERE c.oid = CAST(? AS regclass)"));
    st.bind(kinds::sets().table).exec();
    return st.next() && st.boolAt(0);
}

std::optional<StoreRole> roleOfGroup(const QString &group)
{
    for (StoreRole r : {StoreRole::Reader, StoreRole::Analyst, StoreRole::Administrator})
        if (group == groupRoleName(r))
            return r;
    return std::nullopt;
}

struct Login
{
    bool exists = false;
    bool canLogin = false;
    QList<StoreRole> roles; // the store roles held directly
};

Login loginOf(const QSqlDatabase &db, const QString &login)
{
    Login found;
    Statement st(db, QStringLiteral("SELECT m.rolcanlogin, g.rolname FROM pg_catalog.pg_roles m LEFT JOIN "
                                    "pg_catalog.pg_auth_members a ON a.member = m.oid LEFT JOIN pg_catalog.pg_roles g "
                                    "ON g.oid = a.roleid WHERE m.rolname = ?"));
    st.bind(login).exec();
    while (st.next()) {
        found.exists = true;
        found.canLogin = st.boolAt(0);
        if (const std::optional<StoreRole> r = roleOfGroup(st.textAt(1)))
            found.roles.append(*r);
    }
    return found;
}

void requireRulesOn(const QSqlDatabase &db, const QString &what)
{
    if (!rulesOn(db))
        throw Error(kStoreActionRefused, kSource,
                    QStringLiteral("%1: the store's roles are not set up yet. Its owner sets them up first with "
                                   "\"veltrane --db URL admin setup\".")
                        .arg(what));
}

} // namespace

namespace schema {

void installServerRules(const QSqlDatabase &db)
{
    const QString schemaName = currentSchema(db);
    for (const QString &statement : ruleStatements(schemaName))
        execute(db, statement);
    for (const QString &statement : switchRules(schemaName, false))
        execute(db, statement);
}

} // namespace schema

QString roleWord(StoreRole role)
{
    return QString::fromLatin1(kRoleWords[int(role)]);
}

std::optional<StoreRole> roleFromWord(const QString &word)
{
    for (int r = 0; r < 3; ++r)
        if (word == QLatin1String(kRoleWords[r]))
            return StoreRole(r);
    return std::nullopt;
}

QString groupRoleName(StoreRole role)
{
    return QStringLiteral("veltrane_") + roleWord(role);
}

RoleSetup setupRoles(SqlStore &store)
{
    const QString what = QStringLiteral("Setting up the roles of a store");
    return onServer(store, what, Transaction::Write, [&](const QSqlDatabase &db) {
        if (!ownsStore(db))
            throw Error(kStoreActionRefused, kSource,
                        QStringLiteral("Only the owner of the store at %1 (or a superuser of its server) can set up "
                                       "its roles; nothing was changed.")
                            .arg(store.location()));
        RoleSetup setup;
        setup.wasSetUp = rulesOn(db);
        const QString schemaName = currentSchema(db);
        const QString s = quotedIdentifier(schemaName) + QLatin1Char('.');
        const auto group = [](StoreRole r) { return groupRoleName(r); };
        for (StoreRole r : {StoreRole::Reader, StoreRole::Analyst, StoreRole::Administrator}) {
            if (loginOf(db, group(r)).exists)
                continue;
            // Another store's setup on the same server may be making it at this moment.
            try {
                execute(db, QStringLiteral("DO $$ BEGIN CREATE ROLE %1 NOLOGIN; EXCEPTION WHEN duplicate_object OR "
                                           "unique_violation THEN NULL; END $$")
                                .arg(group(r)));
            } catch (const Error &e) {
                if (e.number() != kStorePermissionDenied)
                    throw;
                QStringList create;
                for (StoreRole each : {StoreRole::Reader, StoreRole::Analyst, StoreRole::Administrator})
                    create << QStringLiteral("CREATE ROLE %1 NOLOGIN;").arg(group(each));
                throw Error(kStorePermissionDenied, kSource,
                            QStringLiteral("The user \"%1\" may not create roles on the server, so nothing was "
                                           "changed. A database administrator either gives it CREATEROLE or creates "
                                           "the roles (%2); then run admin setup again.")
                                .arg(printable(store.pool().spec().user), create.join(QLatin1Char(' '))));
            }
            setup.createdRoles << group(r);
        }
        // Each role has what the one below it has.
        QStringList statements{
            QStringLiteral("GRANT %1 TO %2").arg(group(StoreRole::Reader), group(StoreRole::Analyst)),
            QStringLiteral("GRANT %1 TO %2").arg(group(StoreRole::Analyst), group(StoreRole::Administrator)),
            QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2")
                .arg(quotedIdentifier(schemaName), group(StoreRole::Reader)),
            QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA %1 TO %2")
                .arg(quotedIdentifier(schemaName), group(StoreRole::Reader)),
            QStringLiteral("GRANT USAGE ON ALL SEQUENCES IN SCHEMA %1 TO %2")
                .arg(quotedIdentifier(schemaName), group(StoreRole::Analyst))};
        QStringList setTables = setPartTables();
        setTables.prepend(kinds::sets().table);
        for (const QString &table : std::as_const(setTables))
            statements << QStringLiteral("GRANT INSERT, UPDATE, DELETE ON %1%2 TO %3")
                              .arg(s, table, group(StoreRole::Analyst));
        for (const QString &table : {io::kRevisionsTable, io::kPartsTable, kinds::projects().table})
            statements << QStringLiteral("GRANT INSERT ON %1%2 TO %3").arg(s, table, group(StoreRole::Analyst));
        for (const QString &table : definitionTables())
            statements
                << QStringLiteral("GRANT INSERT ON %1%2 TO %3").arg(s, table, group(StoreRole::Analyst))
                << QStringLiteral("GRANT UPDATE, DELETE ON %1%2 TO %3").arg(s, table, group(StoreRole::Administrator));
        statements << switchRules(schemaName, true);
        for (const QString &statement : std::as_const(statements))
            execute(db, statement);
        return setup;
    });
}

void grantRole(SqlStore &store, const QString &login, StoreRole role)
{
    const QString what = QStringLiteral("The role %1 was not given to \"%2\"").arg(roleWord(role), printable(login));
    onServer(store, what, Transaction::Write, [&](const QSqlDatabase &db) {
        requireRulesOn(db, what);
        const Login found = loginOf(db, login);
        if (!found.exists || roleOfGroup(login))
            throw Error(kStoreNotFound, kSource,
                        QStringLiteral("%1: the server has no login of that name. A database administrator makes it "
                                       "first: CREATE ROLE %2 LOGIN PASSWORD '...';")
                            .arg(what, quotedIdentifier(login)));
        if (!found.canLogin)
            throw Error(kStoreActionRefused, kSource,
                        QStringLiteral("%1: that role cannot log in (a database administrator gives it LOGIN first).")
                            .arg(what));
        // A login holds one of the three, so that who may do what is read off one line.
        for (StoreRole held : found.roles)
            if (held != role)
                changeMembership(
                    db, QStringLiteral("REVOKE %1 FROM %2").arg(groupRoleName(held), quotedIdentifier(login)), what);
        if (!found.roles.contains(role))
            changeMembership(db, QStringLiteral("GRANT %1 TO %2").arg(groupRoleName(role), quotedIdentifier(login)),
                             what);
        return 0;
    });
}

void revokeRole(SqlStore &store, const QString &login, StoreRole role)
{
    const QString what = QStringLiteral("The role %1 was not taken from \"%2\"").arg(roleWord(role), printable(login));
    onServer(store, what, Transaction::Write, [&](const QSqlDatabase &db) {
        requireRulesOn(db, what);
        const Login found = loginOf(db, login);
        if (!found.exists)
            throw Error(kStoreNotFound, kSource, QStringLiteral("%1: the server has no login of that name.").arg(what));
        if (!found.roles.contains(role))
            throw Error(kStoreActionRefused, kSource, QStringLiteral("%1: the login does not hold it.").arg(what));
        changeMembership(db, QStringLiteral("REVOKE %1 FROM %2").arg(groupRoleName(role), quotedIdentifier(login)),
                         what);
        return 0;
    });
}

QList<RoleMember> roleMembers(SqlStore &store)
{
    return onServer(store, QStringLiteral("Listing the roles of a store"), Transaction::Read,
                    [&](const QSqlDatabase &db) {
                        QList<RoleMember> members;
                        Statement owner(db, QStringLiteral("SELECT o.rolname, o.rolcanlogin FROM pg_catalog.pg_class "
                                                           "c JOIN pg_catalog.pg_roles o ON o.oid = c.relowner WHERE "
                                                           "c.oid = CAST(? AS regclass)"));
                        owner.bind(kinds::sets().table).exec();
                        if (owner.next())
                            members.append({owner.textAt(0), std::nullopt, owner.boolAt(1)});
                        owner.finish();
                        Statement st(db, QStringLiteral("SELECT m.rolname, g.rolname, m.rolcanlogin FROM "
                                                        "pg_catalog.pg_auth_members a JOIN pg_catalog.pg_roles g ON "
                                                        "g.oid = a.roleid JOIN pg_catalog.pg_roles m ON m.oid = "
                                                        "a.member WHERE g.rolname IN (?, ?, ?) AND m.rolname NOT IN "
                                                        "(?, ?, ?) ORDER BY m.rolname, g.rolname"));
                        for (int pass = 0; pass < 2; ++pass)
                            for (StoreRole r : {StoreRole::Reader, StoreRole::Analyst, StoreRole::Administrator})
                                st.bind(groupRoleName(r));
                        st.exec();
                        while (st.next())
                            members.append({st.textAt(0), roleOfGroup(st.textAt(1)), st.boolAt(2)});
                        return members;
                    });
}

StorePermissions permissions(SqlStore &store)
{
    StorePermissions p;
    if (!store.isPostgreSQL()) {
        p.allowed.fill(!store.isReadOnly());
        p.owner = !store.isReadOnly();
        return p;
    }
    io::Context ctx = store.context();
    Transaction transaction(store.pool(), Transaction::Read);
    const QString sets = kinds::sets().table;
    QStringList definitionsChangeable;
    for (const QString &table : definitionTables())
        definitionsChangeable << QStringLiteral("has_table_privilege('%1', 'UPDATE')").arg(table);
    Statement st(ctx.db, QStringLiteral("SELECT session_user, has_table_privilege('%1', 'INSERT'), "
                                        "has_table_privilege('%1', 'UPDATE'), has_table_privilege('%1', 'DELETE'), "
                                        "has_table_privilege('%2', 'INSERT'), %3")
                             .arg(sets, io::kRevisionsTable, definitionsChangeable.join(QStringLiteral(" AND "))));
    st.exec();
    if (!st.next())
        return p;
    p.user = st.textAt(0);
    const bool insert = st.boolAt(1) && st.boolAt(4);
    const bool update = st.boolAt(2) && st.boolAt(4);
    const bool remove = update && st.boolAt(3);
    const bool definitions = st.boolAt(5);
    st.finish();
    p.rolesSetUp = rulesOn(ctx.db);
    p.owner = ownsStore(ctx.db);
    if (p.rolesSetUp) {
        for (StoreRole r : {StoreRole::Administrator, StoreRole::Analyst, StoreRole::Reader}) {
            Statement member(ctx.db, QStringLiteral("SELECT pg_catalog.pg_has_role(current_user, r.oid, 'USAGE') "
                                                    "FROM pg_catalog.pg_roles r WHERE r.rolname = ?"));
            member.bind(groupRoleName(r)).exec();
            if (member.next() && member.boolAt(0)) {
                p.role = r;
                break;
            }
        }
    }
    // Without the roles, whoever may write the sets governs them too, as before.
    const bool governs = !p.rolesSetUp || p.owner || p.role == StoreRole::Administrator;
    const auto allow = [&p](StoreAction a, bool yes) { p.allowed[size_t(a)] = yes; };
    allow(StoreAction::CreateSet, insert);
    allow(StoreAction::ChangeSet, update);
    allow(StoreAction::RenameSet, update);
    allow(StoreAction::DeleteSet, remove);
    for (StoreAction a : {StoreAction::LockSet, StoreAction::UnlockSet, StoreAction::HideSet, StoreAction::ShowSet})
        allow(a, update && governs);
    allow(StoreAction::UndeleteSet, insert && governs);
    allow(StoreAction::ChangeDefinitions, definitions);
    transaction.commit();
    return p;
}

} // namespace veltrane::host
