// What the store answers about its sets' histories: the overview of every set, the deleted ones, a
// set's revisions and what a revision held.

#include "host/objects/history_io.h"

#include "host/objects/store_rows.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/stored_rules.h"

namespace veltrane::host {

namespace {

const QString kSource = QStringLiteral("SqlStore");

const QString kDeletedRevisions =
    QStringLiteral("SELECT %1 FROM %2 r WHERE r.action = 'deleted' AND r.revision = (SELECT MAX(x.revision) FROM %2 x "
                   "WHERE x.set_id = r.set_id)");

SetOverview overviewOfDeleted(const Revision &r)
{
    SetOverview o;
    o.setId = r.setId;
    o.name = r.name;
    o.projectName = r.projectName;
    o.attributes = r.attributes;
    o.deleted = true;
    o.revisions = r.number;
    o.lastChanged = r.time;
    o.lastChangedBy = r.who;
    o.lastAction = r.action;
    return o;
}

QList<SetOverview> readDeleted(const io::Context &ctx)
{
    QList<SetOverview> deleted;
    Statement st(ctx.db, kDeletedRevisions.arg(io::kRevisionColumns, io::kRevisionsTable) +
                             QStringLiteral(" ORDER BY r.changed_at DESC, r.set_id DESC"));
    st.exec();
    while (st.next())
        deleted.append(overviewOfDeleted(io::revisionAt(st, 0)));
    return deleted;
}

template <typename F> auto reading(SqlStore &store, F &&read)
{
    io::Context ctx = store.context();
    Transaction transaction(store.pool(), Transaction::Read);
    auto result = read(ctx);
    transaction.commit();
    return result;
}

io::StoredRevision requireRevision(const io::Context &ctx, qint32 setId, qint32 number)
{
    if (const std::optional<io::StoredRevision> found = io::storedRevision(ctx, setId, number))
        return *found;
    const std::optional<io::StoredRevision> last = io::storedRevision(ctx, setId, 0);
    if (!last)
        throw Error(kStoreNotFound, kSource, QStringLiteral("No parameter set has the number %1.").arg(setId));
    throw Error(kStoreNotFound, kSource,
                QStringLiteral("The parameter set \"%1\" has no revision %2: its revisions are 1 to %3.")
                    .arg(printable(last->revision.name))
                    .arg(number)
                    .arg(last->revision.number));
}

} // namespace

QList<SetOverview> setOverview(SqlStore &store, bool includeDeleted)
{
    QList<SetOverview> sets;
    QList<std::pair<QString, qint32>> versions;
    reading(store, [&](const io::Context &ctx) {
        const QString table = kinds::sets().table;
        Statement st(ctx.db,
                     QStringLiteral("SELECT p.id, p.name, p.project_name, p.attributes, p.version, r.revision, "
                                    "r.changed_at, r.changed_by, r.action, p.name_key FROM %1 p LEFT JOIN %2 r ON "
                                    "r.set_id = p.id AND r.revision = (SELECT MAX(x.revision) FROM %2 x WHERE "
                                    "x.set_id = p.id)")
                             .arg(table, io::kRevisionsTable) +
                         io::orderBy(ctx, QStringLiteral("p.")));
        st.exec();
        while (st.next()) {
            SetOverview o;
            o.setId = st.intAt(0);
            o.name = st.textAt(1);
            o.projectName = st.textAt(2);
            o.attributes = st.intAt(3);
            versions.append({st.textAt(9), st.intAt(4)});
            o.revisions = st.intAt(5);
            o.lastChanged = io::fromStoredTime(st.int64At(6));
            o.lastChangedBy = st.textAt(7);
            o.lastAction = actionFromName(st.textAt(8)).value_or(RevisionAction::Saved);
            sets.append(std::move(o));
        }
        st.finish();
        if (includeDeleted) {
            QList<SetOverview> deleted = readDeleted(ctx);
            for (SetOverview &d : deleted)
                sets.append(std::move(d));
            // Deleted sets take their places by name among the stored ones.
            std::stable_sort(sets.begin(), sets.end(), [](const SetOverview &a, const SetOverview &b) {
                const QString ka = nameKey(a.name), kb = nameKey(b.name);
                return ka != kb ? ka < kb : a.setId < b.setId;
            });
        }
        return 0;
    });
    store.noteVersions(versions);
    return sets;
}

QList<SetOverview> deletedSets(SqlStore &store)
{
    return reading(store, [](const io::Context &ctx) { return readDeleted(ctx); });
}

qint32 setIdByName(SqlStore &store, const QString &name, bool includeDeleted)
{
    return reading(store, [&](const io::Context &ctx) {
        if (const qint32 id = io::idByName(ctx, Kind::Set, name))
            return id;
        QList<SetOverview> matches;
        if (includeDeleted)
            for (const SetOverview &d : readDeleted(ctx))
                if (nameKey(d.name) == nameKey(name))
                    matches.append(d);
        if (matches.isEmpty())
            throw Error(
                kStoreNotFound, kSource,
                includeDeleted
                    ? QStringLiteral("No parameter set is named \"%1\", and no deleted one was.").arg(printable(name))
                    : QStringLiteral("No parameter set is named \"%1\".").arg(printable(name)));
        if (matches.size() > 1) {
            QStringList which;
            for (const SetOverview &d : std::as_const(matches))
                which << QStringLiteral("number %1, deleted %2")
                             .arg(d.setId)
                             .arg(d.lastChanged.toLocalTime().toString(Qt::ISODate));
            throw Error(kStoreActionRefused, kSource,
                        QStringLiteral("%1 deleted parameter sets were named \"%2\" (%3): say which by its number.")
                            .arg(matches.size())
                            .arg(printable(name), which.join(QStringLiteral("; "))));
        }
        return matches.first().setId;
    });
}

QList<Revision> setHistory(SqlStore &store, qint32 setId)
{
    return reading(store, [&](const io::Context &ctx) {
        QList<Revision> revisions;
        Statement st(ctx.db, QStringLiteral("SELECT %1 FROM %2 WHERE set_id = ? ORDER BY revision DESC")
                                 .arg(io::kRevisionColumns, io::kRevisionsTable));
        st.bind(setId).exec();
        while (st.next())
            revisions.append(io::revisionAt(st, 0));
        if (revisions.isEmpty())
            throw Error(kStoreNotFound, kSource, QStringLiteral("No parameter set has the number %1.").arg(setId));
        return revisions;
    });
}

SetSnapshot setRevision(SqlStore &store, qint32 setId, qint32 number)
{
    return reading(store, [&](const io::Context &ctx) {
        const io::StoredRevision stored = requireRevision(ctx, setId, number);
        const QString label = io::revisionWhat(stored.revision.name, stored.revision.number);
        const QJsonObject settings = io::storedPart(ctx, stored.settingsHash, label);
        const QJsonObject tags = io::storedPart(ctx, stored.tagsHash, label);
        return SetSnapshot{
            stored.revision,
            snapshot::decode(settings, &tags, stored.revision.name, stored.revision.attributes, label).settings};
    });
}

QJsonDocument revisionDocument(SqlStore &store, qint32 setId, qint32 number)
{
    return reading(store, [&](const io::Context &ctx) {
        const io::StoredRevision stored = requireRevision(ctx, setId, number);
        const QString label = io::revisionWhat(stored.revision.name, stored.revision.number);
        return QJsonDocument(snapshot::exchangeDocument(io::storedPart(ctx, stored.settingsHash, label),
                                                        io::storedPart(ctx, stored.tagsHash, label),
                                                        stored.revision.name, stored.revision.attributes));
    });
}

} // namespace veltrane::host
