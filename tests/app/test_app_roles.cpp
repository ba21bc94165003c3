#include "app/manager/permissions.h"
#include "app_process.h"
#include "host/objects/set_history.h"
#include "host/objects/store_admin.h"
#include "host/objects/store_fixture.h"
#include "veltrane/contracts/error.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>
#include <functional>

using namespace veltrane;
using host::StoreAction;
using host::StoreRole;

namespace {

QString pgUrl()
{
    return qEnvironmentVariable("VELTRANE_TEST_PG_URL");
}

// What a person is shown must never be the server's own codes or statements.
bool readable(const QString &message)
{
    static const QRegularExpression code(QStringLiteral("\\b(42501|VT00\\d|P0001)\\b|\\[|ERROR:"));
    return !code.match(message).hasMatch();
}

} // namespace

// A shared store on a PostgreSQL server, set up by its owner (a login of its own, no superuser), with one
// login of each role and one without any: what each may do, through the program and through plain SQL
// on a connection of its own, and what the server keeps of the history whoever writes it.
class TestAppRoles : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void actionsAllowedByRole_data();
    void actionsAllowedByRole();
    void plainSqlAllowedByRole_data();
    void plainSqlAllowedByRole();
    void theServerStampsEveryRevision();
    void permissionsAnswerByRole_data();
    void permissionsAnswerByRole();
    void commandLineByRole_data();
    void commandLineByRole();
    void anOlderStoreIsBroughtUpToDateByItsOwner();
    void analystsSavingAtOnceKeepEveryRevision();

private:
    // The login of each kind: "owner", "reader", "analyst", "administrator", "none".
    QString login(const QString &kind) const { return QStringLiteral("vt_%1_%2").arg(kind).arg(m_serial); }
    QString urlOf(const QString &kind, const QString &schema = {}) const
    {
        QUrl url(pgUrl());
        url.setUserName(login(kind));
        url.setPassword({});
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("schema"), schema.isEmpty() ? m_schema : schema);
        url.setQuery(query);
        return url.toString();
    }
    host::SqlStorePtr storeOf(const QString &kind) const { return host::SqlStore::open(urlOf(kind)); }
    // Runs the statement on a plain connection as the login (or as the server's superuser, for the
    // test's own set-up) and answers the server's error code, empty when it was done. In a
    // transaction rolled back unless keep, so trying changes nothing.
    QString sql(const QString &kind, const QString &statement, bool keep = false, QVariant *value = nullptr) const;
    QString superuser(const QString &statement) const { return sql(QStringLiteral("superuser"), statement, true); }
    // A set of the owner's in the state a row needs: "stored", "locked", "hidden" or "deleted".
    qint32 prepare(const QString &name, const QString &state);
    qint32 revisionsOf(qint32 setId) const;

    qint64 m_serial = 0;
    QString m_schema;
    QString m_plainSchema; // a store whose roles were never set up
    host::SqlStorePtr m_owner;
    QTemporaryDir m_home;
};

QString TestAppRoles::sql(const QString &kind, const QString &statement, bool keep, QVariant *value) const
{
    const QString name = QStringLiteral("roles-%1").arg(kind);
    QString code;
    {
        const QUrl u(pgUrl());
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(u.host());
        db.setPort(u.port(5432));
        db.setUserName(kind == QLatin1String("superuser") ? u.userName() : login(kind));
        db.setDatabaseName(u.path().mid(1));
        if (!db.open())
            qFatal("cannot reach the test server: %s", qPrintable(db.lastError().text()));
        QSqlQuery q(db);
        q.exec(QStringLiteral("SET client_min_messages TO warning"));
        q.exec(QStringLiteral("SET search_path TO %1").arg(m_schema));
        q.exec(QStringLiteral("BEGIN"));
        // What the server checks when a transaction ends, it checks here at each statement.
        q.exec(QStringLiteral("SET CONSTRAINTS ALL IMMEDIATE"));
        if (!q.exec(statement))
            code = q.lastError().nativeErrorCode();
        else if (value && q.next())
            *value = q.value(0);
        q.exec(keep && code.isEmpty() ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"));
    }
    QSqlDatabase::removeDatabase(name);
    return code;
}

void TestAppRoles::initTestCase()
{
    if (pgUrl().isEmpty())
        QSKIP("roles need a PostgreSQL server (VELTRANE_TEST_PG_URL)");
    m_serial = QCoreApplication::applicationPid();
    m_schema = QStringLiteral("vt_roles_%1").arg(m_serial);
    m_plainSchema = m_schema + QStringLiteral("_plain");
    QVERIFY(m_home.isValid());
    QCOMPARE(superuser(QStringLiteral("CREATE ROLE %1 LOGIN CREATEROLE").arg(login("owner"))), QString());
    for (const char *kind : {"reader", "analyst", "administrator", "none"})
        QCOMPARE(superuser(QStringLiteral("CREATE ROLE %1 LOGIN").arg(login(kind))), QString());
    for (const QString &schema : {m_schema, m_plainSchema})
        QCOMPARE(superuser(QStringLiteral("CREATE SCHEMA %1 AUTHORIZATION %2").arg(schema, login("owner"))), QString());
    m_owner = storeOf(QStringLiteral("owner"));
    const host::RoleSetup setup = host::setupRoles(*m_owner);
    QVERIFY(!setup.wasSetUp);
    // Again: nothing more to do, and nothing breaks.
    QVERIFY(host::setupRoles(*m_owner).wasSetUp);
    for (StoreRole role : {StoreRole::Reader, StoreRole::Analyst, StoreRole::Administrator})
        host::grantRole(*m_owner, login(host::roleWord(role)), role);
    // Granting another role replaces the one held; revoking takes it away; the members read back.
    host::grantRole(*m_owner, login("none"), StoreRole::Analyst);
    host::grantRole(*m_owner, login("none"), StoreRole::Reader);
    host::revokeRole(*m_owner, login("none"), StoreRole::Reader);
    QStringList members;
    for (const host::RoleMember &m : host::roleMembers(*m_owner))
        if (m.login.endsWith(QStringLiteral("_%1").arg(m_serial)))
            members << m.login + QLatin1Char('=') + (m.role ? host::roleWord(*m.role) : QStringLiteral("owner"));
    members.sort();
    QCOMPARE(members, (QStringList{login("administrator") + "=administrator", login("analyst") + "=analyst",
                                   login("owner") + "=owner", login("reader") + "=reader"}));
    QCOMPARE(test::refused([&] { host::revokeRole(*m_owner, login("none"), StoreRole::Reader); }, kStoreActionRefused),
             QString());
}

void TestAppRoles::cleanupTestCase()
{
    if (m_serial == 0)
        return;
    m_owner.reset();
    for (const QString &schema : {m_schema, m_plainSchema})
        superuser(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(schema));
    for (const char *kind : {"reader", "analyst", "administrator", "none", "owner"}) {
        superuser(QStringLiteral("DROP OWNED BY %1").arg(login(kind)));
        superuser(QStringLiteral("DROP ROLE %1").arg(login(kind)));
    }
}

qint32 TestAppRoles::prepare(const QString &name, const QString &state)
{
    m_owner->commit(*test::numberedSet(*m_owner, name, 1));
    if (state == QLatin1String("locked"))
        host::lockSet(*m_owner, name);
    else if (state == QLatin1String("hidden"))
        host::hideSet(*m_owner, name);
    const qint32 id = host::setIdByName(*m_owner, name);
    if (state == QLatin1String("deleted"))
        host::deleteSet(*m_owner, name);
    return id;
}

qint32 TestAppRoles::revisionsOf(qint32 setId) const
{
    return host::setHistory(*m_owner, setId).size();
}

void TestAppRoles::actionsAllowedByRole_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("state"); // of the set before
    QTest::addColumn<QStringList>("allowed");
    QTest::addColumn<QString>("refusal"); // what the message says when refused

    const QStringList analysts{"analyst", "administrator"};
    const QStringList administrators{"administrator"};
    const QString role = QStringLiteral("may not change parameter sets");
    const QString govern = QStringLiteral("Only an administrator may lock, unlock, hide or show");
    const auto row = [](const char *action, const char *state, const QStringList &allowed, const QString &refusal) {
        QTest::newRow(action) << QString::fromLatin1(action) << QString::fromLatin1(state) << allowed << refusal;
    };
    row("create", "", analysts, role);
    row("save", "stored", analysts, role);
    row("rename", "stored", analysts, role);
    row("delete", "stored", analysts, role);
    row("restore", "stored", analysts, role);
    row("lock", "stored", administrators, govern);
    row("unlock", "locked", administrators, QStringLiteral("ask an administrator to unlock it"));
    row("hide", "stored", administrators, govern);
    row("show", "hidden", administrators, govern);
    row("undelete", "deleted", administrators, QStringLiteral("Only an administrator may bring back"));
    row("tag", "", administrators, QStringLiteral("may not change size standards, calibrations or locus tags"));
}

void TestAppRoles::actionsAllowedByRole()
{
    QFETCH(QString, action);
    QFETCH(QString, state);
    QFETCH(QStringList, allowed);
    QFETCH(QString, refusal);
    const QMap<QString, std::function<void(host::SqlStore &, const QString &, qint32)>> act{
        {"create", [](host::SqlStore &s, const QString &n, qint32) { s.commit(*test::numberedSet(s, n, 1)); }},
        {"save",
         [](host::SqlStore &s, const QString &n, qint32) {
             host::setOverview(s); // as the selection window reads the sets first
             s.commit(*test::numberedSet(s, n, 2));
         }},
        {"rename", [](host::SqlStore &s, const QString &n, qint32) { host::renameSet(s, n, n + " renamed"); }},
        {"delete", [](host::SqlStore &s, const QString &n, qint32) { host::deleteSet(s, n); }},
        {"restore", [](host::SqlStore &s, const QString &n, qint32) { host::restoreSet(s, n, 1); }},
        {"lock", [](host::SqlStore &s, const QString &n, qint32) { host::lockSet(s, n); }},
        {"unlock", [](host::SqlStore &s, const QString &n, qint32) { host::unlockSet(s, n); }},
        {"hide", [](host::SqlStore &s, const QString &n, qint32) { host::hideSet(s, n); }},
        {"show", [](host::SqlStore &s, const QString &n, qint32) { host::showSet(s, n); }},
        {"undelete", [](host::SqlStore &s, const QString &, qint32 id) { host::undeleteSet(s, id); }},
        {"tag",
         [](host::SqlStore &s, const QString &n, qint32) {
             const SNPLocusTagPtr tag = s.snpLocusTag(0, n);
             QVERIFY(tag);
             tag->TagData()->setTagText1(QStringLiteral("edited"));
             s.commit(*tag);
         }},
    };
    for (const QString kind : {"reader", "analyst", "administrator"}) {
        const QString name = QStringLiteral("%1 by %2").arg(QTest::currentDataTag(), kind);
        qint32 id = 0;
        if (action == QLatin1String("tag")) {
            auto tag = SNPLocusTagPtr::create();
            tag->setTagData(SNPLocusTagSettingsPtr::create());
            tag->TagData()->setName(name);
            m_owner->commit(*tag);
        } else if (!state.isEmpty()) {
            id = prepare(name, state);
        }
        const qint32 before = id ? revisionsOf(id) : 0;
        const host::SqlStorePtr store = storeOf(kind);
        QString message;
        try {
            act.value(action)(*store, name, id);
        } catch (const Error &e) {
            message = e.description();
        }
        if (allowed.contains(kind)) {
            QVERIFY2(message.isEmpty(), qPrintable(kind + ": " + message));
            if (id)
                QCOMPARE(host::setHistory(*m_owner, id).first().who, login(kind));
            continue;
        }
        // A reader may change no set at all, whatever the rules of the set say.
        const QString expected = kind == QLatin1String("reader") && action != QLatin1String("tag")
                                     ? QStringLiteral("may not change parameter sets")
                                     : refusal;
        QVERIFY2(message.contains(expected, Qt::CaseInsensitive), qPrintable(kind + ": " + message));
        QVERIFY2(readable(message), qPrintable(message));
        if (id) // nothing was recorded
            QCOMPARE(revisionsOf(id), before);
        else if (action == QLatin1String("create"))
            QVERIFY_THROWS_EXCEPTION(Error, host::setIdByName(*m_owner, name));
    }
}

void TestAppRoles::plainSqlAllowedByRole_data()
{
    QTest::addColumn<QString>("statement");
    // The server's answer for reader, analyst, administrator and owner: "" when done.
    QTest::addColumn<QStringList>("codes");

    const QString denied = QStringLiteral("42501");
    const QString locked = QStringLiteral("VT001");
    const QString govern = QStringLiteral("VT002");
    const QString kept = QStringLiteral("VT004");
    const QString lockedSet = QStringLiteral("(SELECT id FROM parameter_sets WHERE name = 'raw locked')");
    // A change of a set's row needs its revision in the same transaction, from whoever makes it.
    const QString unrecorded = QStringLiteral("VT005");
    const QString openSet = QStringLiteral("UPDATE parameter_sets SET version = version + 1 WHERE name = 'raw open'");
    // Each row as the statement, then the codes for reader, analyst, administrator and owner.
    const auto answers = [](const char *tag, const QString &statement, const QStringList &codes) {
        QTest::newRow(tag) << statement << codes;
    };
    answers("unlock by UPDATE", "UPDATE parameter_sets SET attributes = 0 WHERE name = 'raw locked'",
            {denied, locked, unrecorded, unrecorded});
    answers("change a locked set", "UPDATE parameter_sets SET version = version + 1 WHERE name = 'raw locked'",
            {denied, locked, unrecorded, unrecorded});
    answers("delete a locked set", "DELETE FROM parameter_sets WHERE name = 'raw locked'",
            {denied, locked, unrecorded, unrecorded});
    answers("delete a locked set's entries", "DELETE FROM set_entries WHERE set_id = " + lockedSet,
            {denied, locked, "", ""});
    answers("change a locked set's entries",
            "UPDATE set_entries SET entry_index = entry_index WHERE set_id = " + lockedSet, {denied, locked, "", ""});
    answers("change an open set", openSet, {denied, unrecorded, unrecorded, unrecorded});
    answers(
        "change an open set with its revision",
        "WITH changed AS (" + openSet +
            " RETURNING id) INSERT INTO set_revisions (set_id, revision, name, "
            "project_name, attributes, changed_at, changed_by, action, reason, summary, settings_part, tags_part, "
            "tag_links) SELECT set_id, revision + 1, name, project_name, attributes, 0, '', 'saved', '', '', "
            "settings_part, tags_part, tag_links FROM set_revisions WHERE set_id = (SELECT id FROM changed) ORDER BY "
            "revision DESC LIMIT 1",
        {denied, "", "", ""});
    answers("hide an open set", "UPDATE parameter_sets SET attributes = 4 WHERE name = 'raw open'",
            {denied, govern, unrecorded, unrecorded});
    answers("empty the sets", "TRUNCATE parameter_sets CASCADE", {denied, denied, denied, ""});
    answers("change a definition", "UPDATE size_standards SET name = name", {denied, denied, "", ""});
    answers("rewrite a revision", "UPDATE set_revisions SET changed_by = 'someone'", {denied, denied, denied, kept});
    answers("remove a revision", "DELETE FROM set_revisions", {denied, denied, denied, kept});
    answers("empty the history", "TRUNCATE set_revisions", {denied, denied, denied, kept});
    answers("remove a part", "DELETE FROM revision_parts", {denied, denied, denied, kept});
    answers("turn the rules off", "ALTER TABLE parameter_sets DISABLE TRIGGER parameter_sets_rules",
            {denied, denied, denied, ""});
}

void TestAppRoles::plainSqlAllowedByRole()
{
    QFETCH(QString, statement);
    QFETCH(QStringList, codes);
    static bool prepared = false;
    if (!prepared) {
        prepare(QStringLiteral("raw locked"), QStringLiteral("locked"));
        prepare(QStringLiteral("raw open"), QStringLiteral("stored"));
        prepared = true;
    }
    const QStringList kinds{"reader", "analyst", "administrator", "owner"};
    for (qsizetype i = 0; i < kinds.size(); ++i)
        QVERIFY2(sql(kinds[i], statement) == codes[i],
                 qPrintable(QStringLiteral("%1: %2 instead of %3").arg(kinds[i], sql(kinds[i], statement), codes[i])));
}

void TestAppRoles::theServerStampsEveryRevision()
{
    const qint32 id = prepare(QStringLiteral("stamped"), QStringLiteral("stored"));
    // A revision inserted by hand with another name and time on it gets the server's.
    const auto copy = [id](int step) {
        return QStringLiteral(
                   "INSERT INTO set_revisions (set_id, revision, name, project_name, attributes, changed_at, "
                   "changed_by, action, reason, summary, settings_part, tags_part, tag_links) SELECT set_id, "
                   "revision + %1, name, project_name, attributes, 0, 'someone else', 'saved', '', '', "
                   "settings_part, tags_part, tag_links FROM set_revisions WHERE set_id = %2 ORDER BY "
                   "revision DESC LIMIT 1 RETURNING CAST(FLOOR(EXTRACT(EPOCH FROM now())) AS BIGINT) - "
                   "changed_at || ' ' || changed_by")
            .arg(step)
            .arg(id);
    };
    QVariant stamped;
    QCOMPARE(sql(QStringLiteral("analyst"), copy(1), true, &stamped), QString());
    QCOMPARE(stamped.toString(), QStringLiteral("0 ") + login("analyst"));
    // Numbers follow each other: no gap, no repeat.
    QCOMPARE(sql(QStringLiteral("analyst"), copy(2)), QStringLiteral("VT003"));
    QCOMPARE(sql(QStringLiteral("analyst"), copy(0)), QStringLiteral("VT003"));

    // Through the program: whatever the workstation's clock says, the time is the server's.
    QVariant before, after;
    sql(QStringLiteral("analyst"), QStringLiteral("SELECT CAST(FLOOR(EXTRACT(EPOCH FROM now())) AS BIGINT)"), false,
        &before);
    const host::SqlStorePtr analyst = storeOf(QStringLiteral("analyst"));
    host::renameSet(*analyst, QStringLiteral("stamped"), QStringLiteral("stamped again"));
    sql(QStringLiteral("analyst"), QStringLiteral("SELECT CAST(CEIL(EXTRACT(EPOCH FROM now())) AS BIGINT)"), false,
        &after);
    const host::Revision last = host::setHistory(*m_owner, id).first();
    QCOMPARE(last.who, login("analyst"));
    QVERIFY(last.time.toSecsSinceEpoch() >= before.toLongLong() && last.time.toSecsSinceEpoch() <= after.toLongLong());
}

void TestAppRoles::permissionsAnswerByRole_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("plain"); // on the store whose roles were never set up
    // The letters of the actions allowed, in StoreAction's order: create, change, rename, delete, lock,
    // unlock, hide, show, undelete, definitions.
    QTest::addColumn<QString>("allowed");
    // The manager window's buttons, in SetAction's order: new, edit, rename, lock, unlock, hide,
    // unhide, delete, undelete, restore, import, export.
    QTest::addColumn<QString>("buttons");
    const auto answers = [](const char *tag, const char *kind, bool plain, const char *allowed, const char *buttons) {
        QTest::newRow(tag) << QString::fromLatin1(kind) << plain << QString::fromLatin1(allowed)
                           << QString::fromLatin1(buttons);
    };
    answers("reader", "reader", false, "----------", "-----------X");
    answers("analyst", "analyst", false, "CCRD------", "NER----D-RIX");
    answers("administrator", "administrator", false, "CCRDLUHSUD", "NERLUHSDURIX");
    answers("owner", "owner", false, "CCRDLUHSUD", "NERLUHSDURIX");
    answers("no role", "none", false, "", "");
    answers("owner, roles never set up", "owner", true, "CCRDLUHSUD", "NERLUHSDURIX");
}

void TestAppRoles::permissionsAnswerByRole()
{
    QFETCH(QString, kind);
    QFETCH(bool, plain);
    QFETCH(QString, allowed);
    QFETCH(QString, buttons);
    const QString letters = QStringLiteral("CCRDLUHSUD");
    host::StorePermissions p;
    host::SqlStorePtr store;
    try {
        store = host::SqlStore::open(urlOf(kind, plain ? m_plainSchema : QString()));
        p = host::permissions(*store);
    } catch (const Error &e) {
        // A login without a role cannot open the store at all, and is told so.
        QVERIFY2(allowed.isEmpty(), qPrintable(e.description()));
        QCOMPARE(e.number(), qint32(kStorePermissionDenied));
        QVERIFY2(e.description().contains(QStringLiteral("you hold no role in it")), qPrintable(e.description()));
        return;
    }
    QVERIFY(!allowed.isEmpty());
    QString answered;
    for (int a = 0; a < int(StoreAction::Count); ++a)
        answered += p.allows(StoreAction(a)) ? letters.at(a) : QLatin1Char('-');
    QCOMPARE(answered, allowed);
    // The window greys out its buttons from the same answers.
    const QString actions = QStringLiteral("NERLUHSDURIX");
    const app::Permissions window(*store);
    QString offered;
    for (int a = 0; a < actions.size(); ++a)
        offered += window.allows(app::SetAction(a)) ? actions.at(a) : QLatin1Char('-');
    QCOMPARE(offered, buttons);
    QCOMPARE(p.user, login(kind));
    QCOMPARE(p.rolesSetUp, !plain);
    QCOMPARE(p.owner, kind == QLatin1String("owner"));
    if (const std::optional<StoreRole> r = host::roleFromWord(kind))
        QCOMPARE(p.role, r);
}

void TestAppRoles::commandLineByRole_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says"); // on standard output when it succeeds, else on standard error

    QTest::newRow("roles") << "owner" << QStringList{"admin", "roles"} << 0 << "\tanalyst";
    QTest::newRow("setup by an analyst") << "analyst" << QStringList{"admin", "setup"} << 1 << "Only the owner";
    QTest::newRow("grant by an analyst") << "analyst" << QStringList{"admin", "grant", login("none"), "reader"} << 1
                                         << "may give and take roles";
    QTest::newRow("grant to nobody") << "owner" << QStringList{"admin", "grant", "nobody here", "reader"} << 1
                                     << "CREATE ROLE \"nobody here\" LOGIN";
    QTest::newRow("grant of no role") << "owner" << QStringList{"admin", "grant", "x", "auditor"} << 2
                                      << "none of reader, analyst or administrator";
    QTest::newRow("rename by a reader") << "reader" << QStringList{"rename", "cli open", "cli renamed"} << 1
                                        << "may not change parameter sets";
    QTest::newRow("lock by an analyst") << "analyst" << QStringList{"lock", "cli open"} << 1
                                        << "Only an administrator may lock";
    QTest::newRow("list by a reader") << "reader" << QStringList{"list"} << 0 << "cli open";
}

void TestAppRoles::commandLineByRole()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    static bool prepared = false;
    if (!prepared) {
        prepare(QStringLiteral("cli open"), QStringLiteral("stored"));
        prepared = true;
    }
    const qint32 id = host::setIdByName(*m_owner, QStringLiteral("cli open"));
    const qint32 before = revisionsOf(id);
    const test::AppResult r = test::runApp(QStringList{"--db", urlOf(kind)} + arguments, m_home.path());
    QCOMPARE(r.exitCode, exitCode);
    const QString text = exitCode == 0 ? r.out : r.err;
    QVERIFY2(text.contains(says, Qt::CaseInsensitive), qPrintable(text));
    QVERIFY2(readable(text), qPrintable(text));
    QCOMPARE(revisionsOf(id), before);
}

void TestAppRoles::anOlderStoreIsBroughtUpToDateByItsOwner()
{
    // The store without roles, taken back to version 4: no server rules yet, and a reader allowed in.
    host::SqlStore::open(urlOf(QStringLiteral("owner"), m_plainSchema));
    const QString s = m_plainSchema + QLatin1Char('.');
    for (const QString &statement :
         QStringList{"DROP TRIGGER set_revisions_stamp ON " + s + "set_revisions",
                     "DROP TRIGGER revision_parts_kept ON " + s + "revision_parts",
                     "DELETE FROM " + s + "schema_migrations WHERE version = 5",
                     "GRANT USAGE ON SCHEMA " + m_plainSchema + " TO " + login("reader"),
                     "GRANT SELECT ON ALL TABLES IN SCHEMA " + m_plainSchema + " TO " + login("reader")})
        QCOMPARE(sql(QStringLiteral("owner"), statement, true), QString());

    // Only the owner may bring it up to date; anyone else is told so, and it stays as it was.
    QCOMPARE(test::refused([&] { host::SqlStore::open(urlOf(QStringLiteral("reader"), m_plainSchema)); },
                           kStoreCannotOpen, {QStringLiteral("only its owner can do")}),
             QString());
    const host::SqlStorePtr store = host::SqlStore::open(urlOf(QStringLiteral("owner"), m_plainSchema));
    QCOMPARE(store->schemaVersion(), 5);
    QCOMPARE(sql(QStringLiteral("owner"), "DELETE FROM " + s + "revision_parts"), QStringLiteral("VT004"));
    QCOMPARE(sql(QStringLiteral("owner"), "UPDATE " + s + "set_revisions SET revision = revision + 1000"),
             QStringLiteral("VT004"));
    // Still a single-user store: its owner governs, and nobody else was given anything.
    QVERIFY(!host::permissions(*store).rolesSetUp);
    QVERIFY(host::permissions(*store).allows(StoreAction::LockSet));
}

void TestAppRoles::analystsSavingAtOnceKeepEveryRevision()
{
    // 16 programs of the analyst's, 200 saves in all: each save reads the set first, as the editor does,
    // so one made after another program saved that set is refused, never lost or half-stored.
    constexpr int kProcesses = 16;
    constexpr int kSaves = 200;
    QStringList shared;
    for (int i = 0; i < 4; ++i)
        shared << QStringLiteral("race %1").arg(i);
    for (const QString &name : shared)
        prepare(name, QStringLiteral("stored"));
    QList<std::shared_ptr<QProcess>> processes;
    for (int p = 0; p < kProcesses; ++p) {
        auto process = std::make_shared<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Each has a set of its own besides, which it creates on its first save of it.
        const QStringList names = shared + QStringList{QStringLiteral("race own %1").arg(p)};
        const int saves = kSaves / kProcesses + (p < kSaves % kProcesses ? 1 : 0);
        process->start(QStringLiteral(VELTRANE_STORE_CHILD), QStringList{"save-race", urlOf(QStringLiteral("analyst")),
                                                                         QString::number(p), QString::number(saves)} +
                                                                 names);
        processes.append(process);
    }
    const QDeadlineTimer deadline(60000);
    QHash<QString, int> stored;
    int refused = 0;
    int outcomes = 0;
    for (const auto &process : std::as_const(processes)) {
        QVERIFY2(process->waitForFinished(int(std::max<qint64>(1, deadline.remainingTime()))),
                 "the saves did not end within 60 seconds");
        QCOMPARE(process->exitCode(), 0);
        for (const QByteArray &line : process->readAllStandardOutput().split('\n')) {
            if (line.startsWith("stored "))
                ++stored[QString::fromUtf8(line.mid(7))];
            else if (line.startsWith("refused "))
                ++refused;
            else
                continue;
            ++outcomes;
        }
    }
    QCOMPARE(outcomes, kSaves);
    QVERIFY(refused < kSaves);
    qInfo("%d saves stored, %d refused as changed meanwhile", kSaves - refused, refused);
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        const qint32 id = host::setIdByName(*m_owner, it.key());
        const QList<host::Revision> history = host::setHistory(*m_owner, id);
        // One revision per stored save (the shared sets had one before, made by the owner), numbered
        // from 1 without a gap, and the set as stored is its last revision.
        const bool own = it.key().startsWith(QStringLiteral("race own"));
        QCOMPARE(history.size(), it.value() + (own ? 0 : 1));
        // Each stored save is a revision of its own: no two of the analysts' hold the same set (the owner's
        // first may match one of theirs).
        int analysts = 0;
        QSet<QString> held;
        for (qsizetype i = 0; i < history.size(); ++i) {
            QCOMPARE(history[i].number, qint32(history.size() - i));
            if (history[i].who != login(QStringLiteral("analyst")))
                continue;
            ++analysts;
            held.insert(test::describe(*host::setRevision(*m_owner, id, history[i].number).settings));
        }
        QCOMPARE(analysts, it.value());
        QCOMPARE(held.size(), analysts);
        QCOMPARE(test::describe(*host::setRevision(*m_owner, id).settings), test::describe(*m_owner->settingsOf(id)));
    }
}

QTEST_GUILESS_MAIN(TestAppRoles)
#include "test_app_roles.moc"
