#include "host/objects/history_io.h"

#include "host/compare/set_comparison.h"
#include "host/objects/store_rows.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/stored_rules.h"

#include <QSet>
#include <algorithm>

namespace veltrane::host {

namespace {

const QString kSource = QStringLiteral("SqlStore");

const char *const kActionNames[] = {"created", "saved", "imported", "renamed",  "locked",   "unlocked",
                                    "hidden",  "shown", "deleted",  "restored", "undeleted"};
static_assert(std::size(kActionNames) == size_t(RevisionAction::Undeleted) + 1);

// The latest revision of each set, with the hashes of its parts; and the settings part each holds,
// packed (one read for both, since a summary needs it whenever the settings changed).
QHash<qint32, io::StoredRevision> latestRevisions(const io::Context &ctx, const QList<qint32> &setIds,
                                                  QHash<QByteArray, std::pair<int, QByteArray>> &settingsParts)
{
    QHash<qint32, io::StoredRevision> latest;
    io::forBatches(setIds.size(), [&](qsizetype from, qsizetype n) {
        Statement st(ctx.db,
                     QStringLiteral("SELECT %1, settings_part, tags_part, tag_links, s.encoding, s.data FROM %2 r "
                                    "LEFT JOIN %3 s ON s.hash = r.settings_part WHERE r.set_id IN (%4) "
                                    "AND r.revision = (SELECT MAX(x.revision) FROM %2 x WHERE x.set_id = r.set_id)")
                         .arg(io::kRevisionColumns, io::kRevisionsTable, io::kPartsTable, io::placeholders(n)));
        for (qsizetype i = 0; i < n; ++i)
            st.bind(setIds.at(from + i));
        st.exec();
        while (st.next()) {
            const Revision r = io::revisionAt(st, 0);
            const io::StoredRevision &stored =
                *latest.insert(r.setId, io::StoredRevision{r, st.value(10).toByteArray(), st.value(11).toByteArray(),
                                                           st.value(12).toByteArray()});
            if (!st.value(14).isNull())
                settingsParts.insert(stored.settingsHash, {st.intAt(13), st.value(14).toByteArray()});
        }
    });
    return latest;
}

// The tags parts of stored sets that list the tags of the links (by stored ID, in order), as their last
// revision holds them: the last revision of a stored set holds its tags' values, since an edit of a
// tag records a revision of every set listing it. (A deleted set's does not: nothing records its
// revisions.) The newest such revision is looked at first, and is nearly always the one.
QHash<QByteArray, QByteArray> tagsOfStoredSets(const io::Context &ctx, const QList<QByteArray> &links)
{
    QHash<QByteArray, QByteArray> found;
    for (const QByteArray &l : links) {
        if (found.contains(l))
            continue;
        Statement st(ctx.db, QStringLiteral("SELECT r.tags_part FROM %1 r WHERE r.tag_links = ? AND r.action <> "
                                            "'deleted' AND EXISTS (SELECT 1 FROM %2 p WHERE p.id = r.set_id) AND "
                                            "NOT EXISTS (SELECT 1 FROM %1 x WHERE x.set_id = r.set_id AND x.revision "
                                            "> r.revision) ORDER BY r.tag_links, r.set_id DESC, r.revision DESC "
                                            "LIMIT 1")
                                 .arg(io::kRevisionsTable, kinds::sets().table));
        st.bind(QVariant(l)).exec();
        if (st.next())
            found.insert(l, st.value(0).toByteArray());
    }
    return found;
}

// The stored parts of the hashes, unpacked.
QHash<QByteArray, QJsonObject> storedParts(const io::Context &ctx, const QList<QByteArray> &hashes, const QString &what)
{
    QHash<QByteArray, QJsonObject> parts;
    io::forBatches(hashes.size(), [&](qsizetype from, qsizetype n) {
        Statement st(ctx.db, QStringLiteral("SELECT hash, encoding, data FROM %1 WHERE hash IN (%2)")
                                 .arg(io::kPartsTable, io::placeholders(n)));
        for (qsizetype i = 0; i < n; ++i)
            st.bind(QVariant(hashes.at(from + i)));
        st.exec();
        while (st.next())
            parts.insert(st.value(0).toByteArray(), snapshot::unpack(st.value(2).toByteArray(), st.intAt(1), what));
    });
    for (const QByteArray &hash : hashes)
        if (!parts.contains(hash))
            throw Error(
                kStoreHistoryUnreadable, kSource,
                QStringLiteral("%1 cannot be read: a part of its snapshot is missing from the store.").arg(what));
    return parts;
}

// Stores the parts no revision stored yet, compressed; the same part of two sessions at once is kept
// once. Parts known to be stored are skipped; of the others, only the large ones are looked for first
// (a small one costs less to send again than to look for).
void storeParts(const io::Context &ctx, const QList<const snapshot::Part *> &parts, const QSet<QByteArray> &known)
{
    constexpr qsizetype kLookFirst = 16 * 1024;
    QList<const snapshot::Part *> distinct, large;
    QSet<QByteArray> seen = known;
    for (const snapshot::Part *p : parts)
        if (!p->encoded.isEmpty() && !seen.contains(p->hash)) {
            seen.insert(p->hash);
            distinct.append(p);
            if (p->encoded.size() >= kLookFirst)
                large.append(p);
        }
    QSet<QByteArray> stored;
    io::forBatches(large.size(), [&](qsizetype from, qsizetype n) {
        Statement st(
            ctx.db, QStringLiteral("SELECT hash FROM %1 WHERE hash IN (%2)").arg(io::kPartsTable, io::placeholders(n)));
        for (qsizetype i = 0; i < n; ++i)
            st.bind(QVariant(large.at(from + i)->hash));
        st.exec();
        while (st.next())
            stored.insert(st.value(0).toByteArray());
    });
    QList<const snapshot::Part *> fresh;
    for (const snapshot::Part *p : std::as_const(distinct))
        if (!stored.contains(p->hash))
            fresh.append(p);
    io::forBatches(
        fresh.size(),
        [&](qsizetype from, qsizetype n) {
            QString sql = QStringLiteral("INSERT INTO %1 (hash, encoding, size, data) VALUES ").arg(io::kPartsTable);
            for (qsizetype i = 0; i < n; ++i)
                sql += i ? QStringLiteral(", (?, ?, ?, ?)") : QStringLiteral("(?, ?, ?, ?)");
            Statement st(ctx.db, sql + QStringLiteral(" ON CONFLICT (hash) DO NOTHING"));
            for (qsizetype i = from; i < from + n; ++i)
                st.bind(QVariant(fresh[i]->hash))
                    .bind(snapshot::kEncoding)
                    .bind(int(fresh[i]->encoded.size()))
                    .bind(QVariant(snapshot::pack(fresh[i]->encoded)));
            st.exec();
        },
        io::batchRows(4));
}

// What a revision changed from the one before, in the comparison's words.
QString summaryOf(const io::RevisionRecord &record, const io::StoredRevision *previous,
                  const QHash<QByteArray, QJsonObject> &loaded, snapshot::DefinitionCache &definitions)
{
    if (!previous) {
        qsizetype str = 0, snp = 0;
        for (const QList<qint32> &list : record.references.str)
            str += list.size();
        for (const QList<qint32> &list : record.references.snp)
            snp += list.size();
        return newSetSummary(snapshot::sizeStandardName(record.references, definitions), str, snp);
    }
    const auto part = [&](const QByteArray &hash, const snapshot::Part &now) -> QJsonObject {
        return hash == now.hash ? now.object() : loaded.value(hash);
    };
    // Unchanged tags need not be read: both sides then list none, and no tag row differs.
    const bool tagsChanged = previous->tagsHash != record.tags.hash;
    const QJsonObject before = part(previous->settingsHash, record.settings);
    const QJsonObject tagsBefore = tagsChanged ? part(previous->tagsHash, record.tags) : QJsonObject();
    const QString label = io::revisionWhat(record.name, previous->revision.number);
    const snapshot::Decoded old = snapshot::decode(before, tagsChanged ? &tagsBefore : nullptr, previous->revision.name,
                                                   previous->revision.attributes, label);
    const QJsonObject tagsNow = tagsChanged ? record.tags.object() : QJsonObject();
    const snapshot::Decoded now = snapshot::decode(record.settings.object(), tagsChanged ? &tagsNow : nullptr,
                                                   record.name, record.attributes, label);
    return compareSets(*old.settings, *now.settings).summary();
}

} // namespace

// ---- actions and revisions ----------------------------------------------------------------------

QString actionName(RevisionAction action)
{
    return QString::fromLatin1(kActionNames[int(action)]);
}

std::optional<RevisionAction> actionFromName(const QString &name)
{
    for (size_t i = 0; i < std::size(kActionNames); ++i)
        if (name == QLatin1String(kActionNames[i]))
            return RevisionAction(i);
    return std::nullopt;
}

bool Revision::readOnly() const
{
    return attributes & limits::kReadOnlyBits;
}

bool Revision::hidden() const
{
    return attributes & limits::kHiddenBit;
}

bool SetOverview::readOnly() const
{
    return attributes & limits::kReadOnlyBits;
}

bool SetOverview::hidden() const
{
    return attributes & limits::kHiddenBit;
}

namespace io {

QDateTime fromStoredTime(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

Revision revisionAt(const Statement &st, int first)
{
    Revision r;
    r.setId = st.intAt(first);
    r.number = st.intAt(first + 1);
    r.name = st.textAt(first + 2);
    r.projectName = st.textAt(first + 3);
    r.attributes = st.intAt(first + 4);
    r.time = fromStoredTime(st.int64At(first + 5));
    r.who = st.textAt(first + 6);
    r.action = actionFromName(st.textAt(first + 7)).value_or(RevisionAction::Saved);
    r.reason = st.textAt(first + 8);
    r.summary = st.textAt(first + 9);
    return r;
}

QString revisionWhat(const QString &name, qint32 number)
{
    return QStringLiteral("Revision %1 of the parameter set \"%2\"").arg(number).arg(printable(name));
}

void requireReason(const QString &reason)
{
    if (reason.size() > kMaxReasonLength)
        throw Error(kStoreInvalidObject, kSource,
                    QStringLiteral("A reason may be at most %1 characters long; this one has %2.")
                        .arg(kMaxReasonLength)
                        .arg(reason.size()));
    if (printable(reason) != reason)
        throw Error(
            kStoreInvalidObject, kSource,
            QStringLiteral("A reason is one line of printable text; this one holds %1.").arg(printable(reason)));
}

void recordRevisions(const Context &ctx, QList<RevisionRecord> &records, snapshot::DefinitionCache &definitions)
{
    if (records.isEmpty())
        return;
    QList<qint32> setIds;
    for (const RevisionRecord &r : std::as_const(records))
        setIds.append(r.setId);
    QHash<QByteArray, std::pair<int, QByteArray>> packedSettings;
    QHash<qint32, StoredRevision> latest = latestRevisions(ctx, setIds, packedSettings);
    QSet<QByteArray> known;
    for (const StoredRevision &r : std::as_const(latest))
        known << r.settingsHash << r.tagsHash;

    // The tags parts: the one before where the set lists the same tags; for a set saved under a new
    // name, the part of a stored set that lists the same tags (an import, whose lists are mostly new,
    // does not look); else made from the tags' rows, those of the whole batch read together.
    QList<RevisionRecord *> fresh, unmatched;
    for (RevisionRecord &r : records) {
        r.tags = {};
        r.tagLinks = r.references.tagLinks();
        const auto it = latest.constFind(r.setId);
        if (r.tagsAsBefore && it != latest.cend() && it->tagLinks == r.tagLinks)
            r.tags.hash = it->tagsHash;
        else if (r.tagsAsBefore && it == latest.cend() && r.action == RevisionAction::Created)
            unmatched.append(&r);
        else
            fresh.append(&r);
    }
    QList<QByteArray> links;
    for (const RevisionRecord *r : std::as_const(unmatched))
        links.append(r->tagLinks);
    const QHash<QByteArray, QByteArray> listing = tagsOfStoredSets(ctx, links);
    for (RevisionRecord *r : std::as_const(unmatched)) {
        const auto it = listing.constFind(r->tagLinks);
        if (it != listing.cend())
            r->tags.hash = *it;
        else
            fresh.append(r);
    }
    for (Kind kind : {Kind::StrTag, Kind::SnpTag}) {
        QList<qint32> ids;
        for (const RevisionRecord *r : std::as_const(fresh))
            ids += r->references.ids(kind);
        definitions.prefetch(kind, ids);
    }
    for (RevisionRecord *r : std::as_const(fresh))
        r->tags = snapshot::tagsPart(r->references, definitions);

    // The parts of the revisions before, where a summary needs them and they are not the new ones.
    const QString before = QStringLiteral("The revision before this change");
    QList<QByteArray> wanted;
    QHash<QByteArray, QJsonObject> unpacked;
    for (const RevisionRecord &r : std::as_const(records)) {
        const auto it = latest.constFind(r.setId);
        if (it == latest.cend())
            continue;
        if (it->settingsHash != r.settings.hash) {
            const auto packed = packedSettings.constFind(it->settingsHash);
            if (packed == packedSettings.cend())
                wanted.append(it->settingsHash);
            else if (!unpacked.contains(it->settingsHash))
                unpacked.insert(it->settingsHash, snapshot::unpack(packed->second, packed->first, before));
        }
        if (it->tagsHash != r.tags.hash)
            wanted.append(it->tagsHash);
    }
    QHash<QByteArray, QJsonObject> loaded = storedParts(ctx, wanted, before);
    loaded.insert(unpacked);

    QList<const snapshot::Part *> parts;
    for (RevisionRecord &r : records) {
        const auto it = latest.find(r.setId);
        r.recorded.setId = r.setId;
        r.recorded.number = it == latest.end() ? 1 : it->revision.number + 1;
        r.recorded.name = r.name;
        r.recorded.projectName = r.projectName;
        r.recorded.attributes = r.attributes;
        r.recorded.action = r.action;
        r.recorded.reason = r.reason;
        r.recorded.summary = summaryOf(r, it == latest.end() ? nullptr : &*it, loaded, definitions);
        // A set recorded twice in one batch numbers its second revision after its first.
        latest.insert(r.setId, StoredRevision{r.recorded, r.settings.hash, r.tags.hash, r.tagLinks});
        parts << &r.settings << &r.tags;
    }
    storeParts(ctx, parts, known);

    // The time comes from the database, and on PostgreSQL who it is too: the server's own session
    // user, which a client cannot choose.
    const bool server = ctx.engine == Engine::PostgreSQL;
    const QString when = server ? QStringLiteral("CAST(FLOOR(EXTRACT(EPOCH FROM statement_timestamp())) AS BIGINT)")
                                : QStringLiteral("CAST(strftime('%s', 'now') AS INTEGER)");
    const QString who = server ? QStringLiteral("session_user") : QStringLiteral("?");
    const QString row = QStringLiteral("(?, ?, ?, ?, ?, %1, %2, ?, ?, ?, ?, ?, ?)").arg(when, who);
    const int width = server ? 11 : 12;
    QHash<QPair<qint32, qint32>, RevisionRecord *> byNumber;
    for (RevisionRecord &r : records)
        byNumber.insert({r.setId, r.recorded.number}, &r);
    forBatches(
        records.size(),
        [&](qsizetype from, qsizetype n) {
            QString sql = QStringLiteral("INSERT INTO %1 (%2, settings_part, tags_part, tag_links) VALUES ")
                              .arg(kRevisionsTable, kRevisionColumns);
            for (qsizetype i = 0; i < n; ++i)
                sql += i ? QStringLiteral(", ") + row : row;
            Statement st(ctx.db, sql + QStringLiteral(" RETURNING set_id, revision, changed_at, changed_by"));
            for (qsizetype i = from; i < from + n; ++i) {
                const RevisionRecord &r = records.at(i);
                st.bind(r.setId).bind(r.recorded.number).bind(r.name).bind(r.projectName).bind(r.attributes);
                if (!server)
                    st.bind(workstation());
                st.bind(actionName(r.action))
                    .bind(r.reason)
                    .bind(r.recorded.summary)
                    .bind(QVariant(r.settings.hash))
                    .bind(QVariant(r.tags.hash))
                    .bind(QVariant(r.tagLinks));
            }
            st.exec();
            while (st.next())
                if (RevisionRecord *r = byNumber.value({st.intAt(0), st.intAt(1)})) {
                    r->recorded.time = fromStoredTime(st.int64At(2));
                    r->recorded.who = st.textAt(3);
                }
        },
        batchRows(width));
}

RevisionRecord currentSet(const Context &ctx, qint32 setId, RevisionAction action, const QString &reason,
                          snapshot::DefinitionCache &definitions)
{
    FragAnalysisParam set;
    if (!readSettings(ctx, Filter::byId(setId), set))
        throw Error(kStoreNotFound, kSource, QStringLiteral("No parameter set has the number %1.").arg(setId));
    RevisionRecord record;
    record.setId = setId;
    record.name = set.Name();
    record.projectName = set.ProjectName();
    record.attributes = set.Attributes();
    record.action = action;
    record.reason = reason;
    record.references = snapshot::References::of(set);
    record.settings = snapshot::settingsPart(set, snapshot::Dates{set.DateCreated(), set.DateModified()},
                                             record.references, definitions);
    return record;
}

bool tagChangesSets(const Context &ctx, const SNPLocusTagSettings &tag)
{
    const QList<SNPLocusTagPtr> stored = snpLocusTags(ctx, Filter::byId(tag.ID()));
    if (stored.isEmpty() || !stored.first()->TagData())
        return false;
    const SNPLocusTagSettings &old = *stored.first()->TagData();
    if (old.Name() != tag.Name())
        return true;
    for (const auto &f : kinds::snpTags().fields)
        if (f.propertyName != QLatin1String("DateModified") && f.get(old, f.index) != f.get(tag, f.index))
            return true;
    return false;
}

void recordTagChange(const Context &ctx, Kind kind, qint32 tagId)
{
    const kinds::ChildList &links = kind == Kind::SnpTag ? kinds::snpTagLinks() : kinds::strTagLinks();
    Statement listing(
        ctx.db,
        QStringLiteral("SELECT DISTINCT set_id FROM %1 WHERE %2 = ? ORDER BY set_id").arg(links.table, links.value));
    listing.bind(tagId).exec();
    QList<qint32> setIds;
    while (listing.next())
        setIds.append(listing.intAt(0));
    listing.finish();
    // The sets are held as a save holds its set, so their revisions are numbered one after another.
    if (ctx.engine == Engine::PostgreSQL)
        forBatches(setIds.size(), [&](qsizetype from, qsizetype n) {
            Statement lock(ctx.db, QStringLiteral("SELECT id FROM %1 WHERE id IN (%2) ORDER BY id FOR UPDATE")
                                       .arg(kinds::sets().table, placeholders(n)));
            for (qsizetype i = 0; i < n; ++i)
                lock.bind(setIds.at(from + i));
            lock.exec();
        });
    // The tags listed are the same; what they hold is not.
    snapshot::DefinitionCache definitions(ctx);
    QList<RevisionRecord> records;
    for (qint32 id : std::as_const(setIds)) {
        records.append(currentSet(ctx, id, RevisionAction::Saved, QString(), definitions));
        records.last().tagsAsBefore = false;
    }
    recordRevisions(ctx, records, definitions);
}

std::optional<StoredRevision> storedRevision(const Context &ctx, qint32 setId, qint32 number)
{
    const QString select = QStringLiteral("SELECT %1, settings_part, tags_part, tag_links FROM %2 WHERE set_id = ?")
                               .arg(kRevisionColumns, kRevisionsTable);
    Statement st(ctx.db, number > 0 ? select + QStringLiteral(" AND revision = ?")
                                    : select + QStringLiteral(" ORDER BY revision DESC LIMIT 1"));
    st.bind(setId);
    if (number > 0)
        st.bind(number);
    st.exec();
    if (!st.next())
        return std::nullopt;
    return StoredRevision{revisionAt(st, 0), st.value(10).toByteArray(), st.value(11).toByteArray(),
                          st.value(12).toByteArray()};
}

QJsonObject storedPart(const Context &ctx, const QByteArray &hash, const QString &what)
{
    return storedParts(ctx, {hash}, what).value(hash);
}

} // namespace io

} // namespace veltrane::host
