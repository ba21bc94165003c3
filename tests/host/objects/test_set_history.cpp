#include "host/objects/connection.h"
#include "host/objects/json_exchange.h"
#include "host/objects/set_history.h"
#include "host/objects/sql_store.h"
#include "host/objects/store_io.h"
#include "store_fixture.h"
#include "support/data_rows.h"
#include "support/recording_utilities.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QSqlQuery>
#include <QTest>

using namespace veltrane;
using namespace veltrane::host;
using veltrane::test::columns;
using veltrane::test::describe;
using veltrane::test::heldSets;
using veltrane::test::refused;
using veltrane::test::richSet;
using veltrane::test::row;
using veltrane::test::StoreLocation;

namespace {

const QString kDefault = QStringLiteral("DefaultFragmentAnalysisParameters");
const QString kSet = QStringLiteral("Casework");

// Everything the store holds that an action could change: the sets, the overview with the deleted
// sets, and every revision of every set. Read by a session of its own, so the reading notes no version
// in the session under test.
QString fingerprint(SqlStore &under)
{
    const SqlStorePtr other = under.openAnother();
    SqlStore &store = *other;
    QString text = heldSets(store);
    for (const SetOverview &o : setOverview(store, true)) {
        text += QStringLiteral("%1 %2 %3 %4\n").arg(o.setId).arg(o.name).arg(o.attributes).arg(o.deleted);
        for (const Revision &r : setHistory(store, o.setId))
            text += QStringLiteral("  %1 %2 %3 %4 %5\n")
                        .arg(r.number)
                        .arg(actionName(r.action), r.name, r.reason, r.summary);
    }
    return text;
}

// describe() without the lines a revision may tell apart from the set it came from.
QString describedWithout(const FragAnalysisParam &s, const QStringList &fields)
{
    QStringList lines = describe(s).split(u'\n');
    lines.removeIf([&](const QString &line) {
        return std::any_of(fields.cbegin(), fields.cend(),
                           [&](const QString &f) { return line.startsWith(f + QStringLiteral(" = ")); });
    });
    return lines.join(u'\n');
}

FragAnalysisParamPtr storedSet(SqlStore &store, const QString &name)
{
    const AnalysisParameterPtr set = store.parameterSet(0, name);
    return set ? set->FragAnalysisParam() : FragAnalysisParamPtr();
}

// Who the store records as making a change on this connection.
QString recordedWho(SqlStore &store)
{
    if (!store.isPostgreSQL())
        return io::workstation();
    QSqlQuery q(store.context().db);
    return q.exec(QStringLiteral("SELECT session_user")) && q.next() ? q.value(0).toString() : QString();
}

} // namespace

class TestSetHistory : public QObject
{
    Q_OBJECT
public:
    explicit TestSetHistory(QString engine)
        : m_engine(std::move(engine))
    {}

private slots:
    void initTestCase() { qInfo("store engine: %s", qPrintable(m_engine)); }
    void init();
    void cleanup() { m_store.reset(), m_where.reset(); }

    void everyChangeRecordsOneRevision_data();
    void everyChangeRecordsOneRevision();
    void refusalsLeaveTheStoreUnchanged_data();
    void refusalsLeaveTheStoreUnchanged();
    void restoreBringsBackExactlyWhatTheRevisionHeld();
    void restoreRefusesDefinitionsChangedSince();
    void deletedSetsKeepTheirHistoryAndComeBack();
    void overviewListsEverySetWithItsLastChange();

private:
    QList<Revision> historyOf(const QString &name) { return setHistory(*m_store, setIdByName(*m_store, name)); }

    QString m_engine;
    std::unique_ptr<StoreLocation> m_where;
    SqlStorePtr m_store;
};

void TestSetHistory::init()
{
    m_where = std::make_unique<StoreLocation>(m_engine);
    m_store = m_where->open();
    m_store->commit(*richSet(*m_store, kSet));
}

void TestSetHistory::everyChangeRecordsOneRevision_data()
{
    columns<QString, QString, QString>("change", "action", "summary"); // a text the revision's summary holds
    row("editor saves over the set", "commit", "saved", "Slope threshold: 1.1 → 12");
    row("editor saves a new set", "commit new", "created", "new set: size standard");
    row("import creates", "import new", "imported", "new set");
    row("import replaces", "import replace", "imported", "Slope threshold: 1.1 → 7");
    row("SNP tag edited", "tag", "saved", "SNP Locus Tags: 1 changed");
    row("rename", "rename", "renamed", "Parameter Set Name: Casework → Casework 2024");
    row("lock", "lock", "locked", "Read-only: no → yes");
    row("unlock", "unlock", "unlocked", "Read-only: yes → no");
    row("hide", "hide", "hidden", "Hidden from lists: no → yes");
    row("show", "show", "shown", "Hidden from lists: yes → no");
    row("restore", "restore", "restored", "Slope threshold: 12 → 1.1");
    row("delete", "delete", "deleted", "");
    row("undelete", "undelete", "undeleted", "");
    // A new set listing the tags another set lists shares that set's part, which holds the tags' values
    // now; a deleted set's does not, since nothing records its revisions when a tag changes.
    row("save as after a tag edit", "save as", "created", "new set");
    row("save as after a tag edit, lister deleted", "save as deleted", "created", "new set");
}

void TestSetHistory::everyChangeRecordsOneRevision()
{
    QFETCH(QString, change);
    QFETCH(QString, action);
    QFETCH(QString, summary);
    SqlStore &store = *m_store;
    // The state each change starts from.
    if (change == QLatin1String("unlock"))
        lockSet(store, kSet);
    if (change == QLatin1String("show"))
        hideSet(store, kSet);
    if (change == QLatin1String("restore")) {
        auto s = richSet(store, kSet);
        s->setSlopeThreshold(12);
        store.commit(*s);
    }
    if (change == QLatin1String("undelete"))
        deleteSet(store, kSet);
    const bool fresh = change.endsWith(QLatin1String(" new")) || change.startsWith(QLatin1String("save as"));
    const QString setName = fresh ? QStringLiteral("Fresh") : kSet;
    const qint32 id = fresh ? 0 : setIdByName(store, kSet);
    const qint32 before = id ? setHistory(store, id).first().number : 0;
    const FragAnalysisParamPtr beforeDeletion = storedSet(store, kSet);
    const QString reason = QStringLiteral("checked by %1").arg(change);
    const qint64 started = QDateTime::currentSecsSinceEpoch();

    QString name = setName;
    if (change == QLatin1String("commit")) {
        auto s = richSet(store, kSet);
        s->setSlopeThreshold(12);
        store.commit(*s);
    } else if (change == QLatin1String("commit new")) {
        store.commit(*richSet(store, setName));
    } else if (change.startsWith(QLatin1String("save as"))) {
        if (change.endsWith(QLatin1String("deleted")))
            deleteSet(store, kSet);
        const SNPLocusTagPtr tag =
            store.snpLocusTag(0, richSet(store, kSet)->SNPLocusTagsOf(0)->Object<SNPLocusTagSettings>(1)->Name());
        tag->TagData()->setTagText4(QStringLiteral("since"));
        store.commit(*tag);
        store.commit(*richSet(store, setName));
    } else if (change.startsWith(QLatin1String("import"))) {
        auto s = richSet(store, setName);
        s->setSlopeThreshold(7);
        store.commit(*s);
        const QJsonDocument file = exportStore(store, {setName});
        if (change == QLatin1String("import new"))
            deleteSet(store, setName); // a set of that name the store no longer holds
        ImportOptions options;
        options.replaceExisting = true;
        options.reason = reason;
        if (change == QLatin1String("import replace")) {
            auto back = richSet(store, setName);
            store.commit(*back); // the file holds slope 7, the store 1.1 again
        }
        const qint32 last = setHistory(store, setIdByName(store, setName)).first().number;
        importStore(store, file, QStringLiteral("file.json"), options);
        const QList<Revision> revisions = setHistory(store, setIdByName(store, setName, false));
        if (change == QLatin1String("import replace"))
            QCOMPARE(revisions.first().number, last + 1);
    } else if (change == QLatin1String("tag")) {
        // The set lists this tag: editing it changes the set.
        const SNPLocusTagPtr tag =
            store.snpLocusTag(0, richSet(store, kSet)->SNPLocusTagsOf(0)->Object<SNPLocusTagSettings>(1)->Name());
        tag->TagData()->setTagText2(QStringLiteral("changed"));
        store.commit(*tag);
    } else if (change == QLatin1String("rename")) {
        name = QStringLiteral("Casework 2024");
        renameSet(store, kSet, name, reason);
    } else if (change == QLatin1String("lock")) {
        lockSet(store, kSet, reason);
    } else if (change == QLatin1String("unlock")) {
        unlockSet(store, kSet, reason);
    } else if (change == QLatin1String("hide")) {
        hideSet(store, kSet, reason);
    } else if (change == QLatin1String("show")) {
        showSet(store, kSet, reason);
    } else if (change == QLatin1String("restore")) {
        restoreSet(store, kSet, before - 1, reason);
    } else if (change == QLatin1String("delete")) {
        deleteSet(store, kSet, reason);
    } else if (change == QLatin1String("undelete")) {
        undeleteSet(store, id, {}, reason);
    }

    const qint32 setId = setIdByName(store, name);
    QVERIFY(!id || setId == id);
    const QList<Revision> revisions = setHistory(store, setId);
    const Revision &last = revisions.first();
    // One revision more, numbered on without a gap.
    if (!change.startsWith(QLatin1String("import")))
        QCOMPARE(last.number, id ? before + 1 : 1);
    for (qsizetype i = 0; i < revisions.size(); ++i)
        QCOMPARE(revisions[i].number, last.number - qint32(i));
    QCOMPARE(actionName(last.action), action);
    QCOMPARE(last.name, name);
    QCOMPARE(last.who, recordedWho(store));
    QVERIFY2(last.time.toSecsSinceEpoch() >= started - 2 && last.time.toSecsSinceEpoch() <= started + 60,
             qPrintable(last.time.toString(Qt::ISODate)));
    // Saves have no reason to give.
    if (last.action != RevisionAction::Saved && last.action != RevisionAction::Created)
        QCOMPARE(last.reason, reason);
    QVERIFY2(last.summary.contains(summary), qPrintable(last.summary));

    // The snapshot reads back as the set stands (a deleted set: as it stood when it went).
    const SetSnapshot snapshot = setRevision(store, setId, last.number);
    QCOMPARE(snapshot.revision.number, last.number);
    const FragAnalysisParamPtr now = change == QLatin1String("delete") ? beforeDeletion : storedSet(store, name);
    QVERIFY(now);
    QCOMPARE(describe(*snapshot.settings), describe(*now));
}

void TestSetHistory::refusalsLeaveTheStoreUnchanged_data()
{
    columns<QString, QString, QString, int, QString>("action", "name", "argument", "error", "says");
    const QString reasonLimit(kMaxReasonLength + 1, QLatin1Char('r'));
    const int refusedAction = kStoreActionRefused, readOnly = kStoreReadOnly, invalid = kStoreInvalidObject;
    row("delete the default set", "delete", kDefault, "", refusedAction, kDefault);
    row("rename the default set", "rename", kDefault, "Other", refusedAction, kDefault);
    row("hide the default set", "hide", kDefault, "", refusedAction, kDefault);
    row("rename a read-only set", "rename", "locked", "Other", readOnly, "Unlock it");
    row("delete a read-only set", "delete", "locked", "", readOnly, "read-only");
    row("restore over a read-only set", "restore", "locked", "1", readOnly, "read-only");
    row("rename to a taken name, other case", "rename", kSet, kDefault.toLower(), int(kStoreDuplicateName), kDefault);
    row("rename to a name with a line break", "rename", kSet, "Case\nwork", invalid, "\\x0A");
    row("rename to blanks", "rename", kSet, "   ", invalid, "needs a name");
    row("rename to its own name", "rename", kSet, kSet, refusedAction, "already");
    row("lock a locked set", "lock", "locked", "", refusedAction, "already");
    row("unlock a writable set", "unlock", kSet, "", refusedAction, "not read-only");
    row("show a listed set", "show", kSet, "", refusedAction, "not hidden");
    row("a set not stored", "lock", "Nowhere", "", int(kStoreNotFound), "Nowhere");
    row("restore a revision it never had", "restore", kSet, "9", int(kStoreNotFound), "1 to 1");
    row("undelete into a taken name", "undelete", "deleted", kSet.toUpper(), int(kStoreDuplicateName),
        "taken by the parameter set \"Casework\"");
    row("undelete a stored set", "undelete", kSet, "", refusedAction, "not deleted");
    row("reason one character too long", "lock", kSet, reasonLimit, invalid, QString::number(kMaxReasonLength));
    row("reason with a control character", "lock", kSet, "line\x1b[2Jcleared", invalid, "\\x1B");
    row("changed by another session since read", "delete", "raced", "", int(kStoreConflict), "after you last read it");
}

void TestSetHistory::refusalsLeaveTheStoreUnchanged()
{
    QFETCH(QString, action);
    QFETCH(QString, name);
    QFETCH(QString, argument);
    QFETCH(int, error);
    QFETCH(QString, says);
    SqlStore &store = *m_store;
    store.commit(*richSet(store, QStringLiteral("locked")));
    lockSet(store, QStringLiteral("locked"));
    store.commit(*richSet(store, QStringLiteral("deleted")));
    const qint32 deletedId = setIdByName(store, QStringLiteral("deleted"));
    deleteSet(store, QStringLiteral("deleted"));
    store.commit(*richSet(store, QStringLiteral("raced")));
    setOverview(store); // this session has read the sets
    // Another session changes one of them after this one read it.
    const SqlStorePtr other = store.openAnother();
    lockSet(*other, QStringLiteral("raced"));
    unlockSet(*other, QStringLiteral("raced"));

    const QString before = fingerprint(store);
    const QString why = refused(
        [&] {
            if (action == QLatin1String("delete"))
                deleteSet(store, name);
            else if (action == QLatin1String("rename"))
                renameSet(store, name, argument);
            else if (action == QLatin1String("hide"))
                hideSet(store, name);
            else if (action == QLatin1String("show"))
                showSet(store, name);
            else if (action == QLatin1String("unlock"))
                unlockSet(store, name);
            else if (action == QLatin1String("restore"))
                restoreSet(store, name, argument.toInt());
            else if (action == QLatin1String("undelete"))
                undeleteSet(store, name == QLatin1String("deleted") ? deletedId : setIdByName(store, name), argument);
            else if (name == kSet && !argument.isEmpty())
                lockSet(store, name, argument);
            else
                lockSet(store, name);
        },
        error, {says});
    QCOMPARE(why, QString());
    QCOMPARE(fingerprint(store), before);
    // At the limit, the reason is kept.
    if (argument.size() > kMaxReasonLength)
        QCOMPARE(lockSet(store, kSet, argument.chopped(1)).reason.size(), kMaxReasonLength);
}

void TestSetHistory::restoreBringsBackExactlyWhatTheRevisionHeld()
{
    SqlStore &store = *m_store;
    const FragAnalysisParamPtr first = storedSet(store, kSet);
    // Revision 2 changes fields, the size standard, the model and the tag lists.
    auto second = richSet(store, kSet);
    second->setSlopeThreshold(500);
    second->setSizeStandard(store.sizeStandards().at(2)->Data());
    second->SizeCalibration(0)->setSizeStandard(store.sizeStandards().at(2)->Data());
    second->SizeCalibration(0)->setModelIndex(0);
    second->SizeCalibration(0)->setSelectedPeaks({1, 4});
    second->SNPLocusTagsOf(0)->Clear();
    second->STRLocusTagsOf(0)->Add(store.strLocusTags().at(20));
    store.commit(*second);
    lockSet(store, kSet);
    unlockSet(store, kSet);

    const Revision restored = restoreSet(store, kSet, 1, QStringLiteral("back to the validated one"));
    QCOMPARE(restored.number, 5);
    const FragAnalysisParamPtr now = storedSet(store, kSet);
    // What the set holds is revision 1's; its name, flags and creation date are its own.
    const QStringList own{QStringLiteral("DateModified")};
    QCOMPARE(describedWithout(*now, own), describedWithout(*first, own));
    QCOMPARE(describedWithout(*setRevision(store, restored.setId, 1).settings, own), describedWithout(*now, own));
    QVERIFY2(restored.summary.contains(QStringLiteral("Slope threshold: 500 → 1.1")), qPrintable(restored.summary));

    // A tag an earlier revision listed and nobody lists now can go (another program); restoring that
    // revision stores it again with its values.
    auto tag = SNPLocusTagPtr::create();
    tag->setTagData(SNPLocusTagSettingsPtr::create());
    tag->TagData()->setName(QStringLiteral("rsOnlyHere"));
    tag->TagData()->setTagText3(QStringLiteral("kept"));
    store.commit(*tag);
    auto withTag = richSet(store, kSet);
    withTag->SNPLocusTagsOf(0)->Add(tag->TagData());
    store.commit(*withTag);
    const qint32 listing = historyOf(kSet).first().number;
    const FragAnalysisParamPtr listed = storedSet(store, kSet);
    restoreSet(store, kSet, 1);
    m_where->executeRaw(QStringLiteral("DELETE FROM snp_locus_tags WHERE name = 'rsOnlyHere'"));
    QVERIFY(!store.snpLocusTag(0, QStringLiteral("rsOnlyHere")));
    restoreSet(store, kSet, listing);
    QCOMPARE(describedWithout(*storedSet(store, kSet), own), describedWithout(*listed, own));
    QCOMPARE(store.snpLocusTag(0, QStringLiteral("rsOnlyHere"))->TagData()->TagText3(), QStringLiteral("kept"));
}

void TestSetHistory::restoreRefusesDefinitionsChangedSince()
{
    SqlStore &store = *m_store;
    auto second = richSet(store, kSet);
    second->SNPLocusTagsOf(0)->Clear();
    store.commit(*second);
    // Tag 3 of revision 1 is edited since; the set no longer lists it, so only revision 1 used it.
    const QString tagName = richSet(store, kSet)->SNPLocusTagsOf(0)->Object<SNPLocusTagSettings>(1)->Name();
    const SNPLocusTagPtr tag = store.snpLocusTag(0, tagName);
    tag->TagData()->setTagText1(QStringLiteral("edited"));
    store.commit(*tag);
    // And a fragment of its size standard changed under it (another program).
    m_where->executeRaw(QStringLiteral("UPDATE size_standard_fragments SET size = 77 WHERE position = 2 AND "
                                       "size_standard_id = (SELECT id FROM size_standards WHERE name = '%1')")
                            .arg(store.sizeStandards().at(1)->Name()));

    const QString before = fingerprint(store);
    QCOMPARE(refused([&] { restoreSet(store, kSet, 1); }, kStoreRestoreInexact,
                     {tagName, store.sizeStandards().at(1)->Name(), QStringLiteral("\"edited\"")}),
             QString());
    QCOMPARE(fingerprint(store), before);
}

void TestSetHistory::deletedSetsKeepTheirHistoryAndComeBack()
{
    SqlStore &store = *m_store;
    const qint32 id = setIdByName(store, kSet);
    const FragAnalysisParamPtr before = storedSet(store, kSet);
    deleteSet(store, kSet, QStringLiteral("superseded"));
    QVERIFY(!storedSet(store, kSet));
    // Its name is free, and a new set under it is another set with a history of its own.
    store.commit(*richSet(store, kSet));
    const qint32 newId = setIdByName(store, kSet);
    QVERIFY(newId != id);
    QCOMPARE(setHistory(store, newId).size(), 1);
    QCOMPARE(setHistory(store, id).size(), 2);
    deleteSet(store, kSet);
    // Two deleted sets had the name: which one is meant must be said.
    QCOMPARE(refused([&] { setIdByName(store, kSet); }, kStoreActionRefused, {QString::number(id)}), QString());
    QCOMPARE(deletedSets(store).size(), 2);
    QCOMPARE(deletedSets(store).first().setId, newId); // most recent first

    const Revision back = undeleteSet(store, id, QStringLiteral("Casework (restored)"));
    QCOMPARE(back.number, 3);
    QCOMPARE(setIdByName(store, QStringLiteral("Casework (restored)"), false), id);
    const QStringList own{QStringLiteral("Name")};
    QCOMPARE(describedWithout(*storedSet(store, QStringLiteral("Casework (restored)")), own),
             describedWithout(*before, own));
    QCOMPARE(deletedSets(store).size(), 1);
    // A set that came back is edited as any other.
    auto edited = richSet(store, QStringLiteral("Casework (restored)"));
    edited->setSlopeThreshold(3);
    store.commit(*edited);
    QCOMPARE(setHistory(store, id).first().number, 4);
    // Numbers are not handed out twice, not even after the highest one was deleted.
    deleteSet(store, QStringLiteral("Casework (restored)"));
    store.commit(*richSet(store, QStringLiteral("Newest")));
    QVERIFY(setIdByName(store, QStringLiteral("Newest")) > std::max(id, newId));
}

void TestSetHistory::overviewListsEverySetWithItsLastChange()
{
    SqlStore &store = *m_store;
    store.commit(*richSet(store, QStringLiteral("hidden one")));
    hideSet(store, QStringLiteral("hidden one"), QStringLiteral("old"));
    store.commit(*richSet(store, QStringLiteral("Gone")));
    deleteSet(store, QStringLiteral("Gone"));

    const QList<SetOverview> listed = setOverview(store);
    QCOMPARE(listed.size(), store.parameterSets(true).size());
    QStringList names;
    for (const SetOverview &o : listed) {
        names << o.name;
        QVERIFY(!o.deleted && o.revisions >= 1 && o.lastChanged.isValid());
        if (o.name == QLatin1String("hidden one")) {
            QVERIFY(o.hidden() && !o.readOnly());
            QCOMPARE(o.lastAction, RevisionAction::Hidden);
            QCOMPARE(o.revisions, 2);
            QCOMPARE(o.lastChangedBy, recordedWho(store));
        }
        if (o.name == kDefault)
            QVERIFY(o.readOnly());
    }
    QVERIFY(!names.contains(QStringLiteral("Gone")));
    const QList<SetOverview> all = setOverview(store, true);
    QCOMPARE(all.size(), listed.size() + 1);
    // Deleted sets take their place by name.
    const auto gone = std::find_if(all.cbegin(), all.cend(), [](const SetOverview &o) { return o.deleted; });
    QCOMPARE(gone->name, QStringLiteral("Gone"));
    QCOMPARE(gone->lastAction, RevisionAction::Deleted);
    QVERIFY(gone != all.cbegin() && nameKey((gone - 1)->name) < nameKey(gone->name));
}

VELTRANE_STORE_TEST_MAIN(TestSetHistory)
#include "test_set_history.moc"
