// The life-cycle actions on stored parameter sets: each one transaction that changes the set and
// records its revision, or changes nothing and says why.

#include "host/objects/exchange_kinds.h"
#include "host/objects/history_io.h"
#include "host/objects/store_rows.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/stored_rules.h"
#include "veltrane/contracts/vocabulary.h"

#include <QDateTime>
#include <QJsonArray>
#include <QSet>

namespace veltrane::host {

namespace {

const QString kSource = QStringLiteral("SqlStore");
const QString kSetText = QStringLiteral("parameter set");

// What an action leaves the session to note once its transaction has committed.
struct Outcome
{
    Revision revision;
    QString forget; // the name the session read the set under
    QString note;   // the name it is stored under now, with its version
    qint32 version = 0;
};

template <typename F> Revision act(SqlStore &store, const QString &which, const QString &reason, F &&body)
{
    io::requireReason(reason);
    Outcome outcome;
    try {
        io::Context ctx = store.context();
        Transaction transaction(store.pool(), Transaction::Write);
        outcome = body(ctx);
        transaction.commit();
    } catch (const Error &e) {
        if (!io::storeFailure(e))
            throw;
        throw io::undone(e, QStringLiteral("Nothing was done to %1").arg(which));
    }
    if (!outcome.forget.isEmpty())
        store.forgetVersion(outcome.forget);
    if (!outcome.note.isEmpty())
        store.noteVersion(outcome.note, outcome.version);
    return outcome.revision;
}

QString quoted(const QString &name)
{
    return QStringLiteral("the parameter set \"%1\"").arg(printable(name));
}

// The stored set an action is on, held until the transaction ends, and as this session last read it.
io::StoredSet requireStored(SqlStore &store, const io::Context &ctx, const QString &name)
{
    const std::optional<io::StoredSet> stored = io::findSet(ctx, name, true);
    if (!stored)
        throw Error(kStoreNotFound, kSource, QStringLiteral("No parameter set is named \"%1\".").arg(printable(name)));
    const std::optional<qint32> seen = store.seenVersion(stored->name);
    if (seen && *seen != stored->version) {
        QString who = printable(io::lastWriter(ctx, stored->id));
        if (who.isEmpty())
            who = QStringLiteral("someone else");
        throw Error(kStoreConflict, kSource,
                    QStringLiteral("The parameter set \"%1\" was changed by %2 after you last read it, so nothing was "
                                   "done. Look at it again, and repeat the action if it still applies.")
                        .arg(printable(stored->name), who));
    }
    return *stored;
}

// The selection window preselects the default set by its name and New copies it, so it stays where
// they look for it.
void refuseDefault(const io::StoredSet &s, const QString &done)
{
    if (nameKey(s.name) == nameKey(stored::kDefaultParameterSet))
        throw Error(kStoreActionRefused, kSource,
                    QStringLiteral("The parameter set \"%1\" cannot be %2: the selection window and New look for it "
                                   "by that name.")
                        .arg(s.name, done));
}

void refuseReadOnly(const io::StoredSet &s, const QString &done)
{
    if (s.attributes & limits::kReadOnlyBits)
        throw Error(kStoreReadOnly, kSource,
                    QStringLiteral("The parameter set \"%1\" is read-only and cannot be %2. Unlock it first.")
                        .arg(printable(s.name), done));
}

Error alreadySo(const io::StoredSet &s, const QString &state)
{
    return Error(kStoreActionRefused, kSource,
                 QStringLiteral("The parameter set \"%1\" %2, so nothing was done.").arg(printable(s.name), state));
}

// Gives the stored row a name and flags, counts the change in its version and records the revision.
Outcome changeRow(const io::Context &ctx, const io::StoredSet &s, const QString &name, qint32 attributes, bool modified,
                  RevisionAction action, const QString &reason)
{
    QString sql = QStringLiteral("UPDATE %1 SET name = ?, name_key = ?, attributes = ?, version = ?, %2 = ?")
                      .arg(kinds::sets().table, kinds::kModifiedByColumn);
    if (modified)
        sql += QStringLiteral(", date_modified = ?");
    Statement st(ctx.db, sql + QStringLiteral(" WHERE id = ?"));
    st.bind(storedName(name)).bind(nameKey(name)).bind(attributes).bind(s.version + 1).bind(io::workstation());
    if (modified)
        st.bind(QDateTime::currentSecsSinceEpoch());
    st.bind(s.id).exec();
    snapshot::DefinitionCache definitions(ctx);
    QList<io::RevisionRecord> records{io::currentSet(ctx, s.id, action, reason, definitions)};
    io::recordRevisions(ctx, records, definitions);
    return Outcome{records.first().recorded, s.name, storedName(name), s.version + 1};
}

template <typename F> Revision onStored(SqlStore &store, const QString &name, const QString &reason, F &&body)
{
    return act(store, quoted(name), reason,
               [&](const io::Context &ctx) { return body(ctx, requireStored(store, ctx, name)); });
}

// ---- bringing a revision back -------------------------------------------------------------------

QString what(const Revision &r)
{
    return QStringLiteral("Revision %1 of the parameter set \"%2\"").arg(r.number).arg(printable(r.name));
}

// A definition's values without the time it was last saved, which is no value a set uses.
QJsonObject valuesOf(QJsonObject definition)
{
    definition.remove(QStringLiteral("dateModified"));
    return definition;
}

QString shortJson(const QJsonValue &value)
{
    QString text =
        value.isString()
            ? QStringLiteral("\"%1\"").arg(value.toString())
            : QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
    return text.size() <= 60 ? text : text.left(59) + QChar(0x2026);
}

// How a stored definition's values differ from a revision's ("fitCoefficient 0.9996 then, 0.999 now").
QString differences(const QJsonObject &then, const QJsonObject &now)
{
    QStringList out;
    QStringList keys = then.keys();
    for (const QString &key : now.keys())
        if (!keys.contains(key))
            keys << key;
    for (const QString &key : std::as_const(keys))
        if (then.value(key) != now.value(key))
            out << QStringLiteral("%1 %2 then, %3 now").arg(key, shortJson(then.value(key)), shortJson(now.value(key)));
    return out.join(QStringLiteral("; "));
}

// The definitions a revision's set refers to, each once by kind and name.
class Used
{
public:
    void add(Kind kind, const BusinessObject *object)
    {
        if (!object)
            return;
        const QString key = nameKey(object->Name());
        if (m_seen[kind].contains(key))
            return;
        m_seen[kind].insert(key);
        m_objects[kind].append(object);
    }
    void addTags(Kind kind, const CollectionPtr &list)
    {
        for (const QVariant &item : *list)
            add(kind, objectFrom<BusinessObject>(item).data());
    }
    QList<const BusinessObject *> of(Kind kind) const { return m_objects.value(kind); }

private:
    QHash<Kind, QSet<QString>> m_seen;
    QHash<Kind, QList<const BusinessObject *>> m_objects;
};

QJsonObject definitionJson(Kind kind, const BusinessObject &object)
{
    switch (kind) {
    case Kind::SizeStandard:
        return exchange::toJson(static_cast<const SizeStandardSettings &>(object));
    case Kind::MobilityCalibration:
        return exchange::toJson(static_cast<const MobilityCalibrationSettings &>(object));
    case Kind::MobilityReference:
        return exchange::toJson(static_cast<const SizeCalibration &>(object));
    case Kind::StrTag:
        return exchange::toJson(static_cast<const STRLocusTag &>(object));
    case Kind::SnpTag:
        return exchange::toJson(static_cast<const SNPLocusTagSettings &>(object));
    default:
        return {};
    }
}

// The set a revision kept, ready to be written: its definitions are the stored ones where those hold
// the revision's values, and are stored again where they are gone. Where a stored one holds other
// values now, nothing is written and the differences are named.
FragAnalysisParamPtr materialize(const io::Context &ctx, const io::StoredRevision &revision)
{
    const QString label = what(revision.revision);
    const QJsonObject settingsPart = io::storedPart(ctx, revision.settingsHash, label);
    const QJsonObject tagsPart = io::storedPart(ctx, revision.tagsHash, label);
    const snapshot::Decoded decoded =
        snapshot::decode(settingsPart, &tagsPart, revision.revision.name, revision.revision.attributes, label);
    FragAnalysisParam &s = *decoded.settings;

    Used used;
    used.add(Kind::SizeStandard, s.SizeStandard().data());
    for (qint32 e = 0; e < s.EntryCount(); ++e)
        if (const SizeCalibrationPtr c = s.SizeCalibration(e))
            used.add(Kind::SizeStandard, c->SizeStandard().data());
    used.add(Kind::MobilityCalibration, s.DyeMobilityCalibration().data());
    used.add(Kind::MobilityReference, s.StandardMobilityReference().data());
    for (qint32 e = 0; e < s.EntryCount(); ++e) {
        used.addTags(Kind::StrTag, s.STRLocusTagsOf(e));
        used.addTags(Kind::SnpTag, s.SNPLocusTagsOf(e));
    }

    const QList<Kind> kinds{Kind::SizeStandard, Kind::MobilityCalibration, Kind::MobilityReference, Kind::StrTag,
                            Kind::SnpTag};
    io::ReferenceResolver resolver(ctx);
    snapshot::DefinitionCache stored(ctx);
    QHash<Kind, QList<const BusinessObject *>> missing;
    QStringList changed;
    for (Kind kind : kinds) {
        const QList<const BusinessObject *> objects = used.of(kind);
        QStringList names;
        for (const BusinessObject *o : objects)
            names << o->Name();
        resolver.prefetchNames(kind, names);
        QList<qint32> ids;
        for (const BusinessObject *o : objects)
            ids << resolver.idOfName(kind, o->Name());
        stored.prefetch(kind, ids);
        for (qsizetype i = 0; i < objects.size(); ++i) {
            if (ids[i] <= 0) {
                missing[kind].append(objects[i]);
                continue;
            }
            const QJsonObject then = valuesOf(definitionJson(kind, *objects[i]));
            const QJsonObject now = valuesOf(stored.definition(kind, ids[i]));
            if (then != now)
                changed << QStringLiteral("the %1 \"%2\" (%3)")
                               .arg(kinds::textOf(kind), printable(objects[i]->Name()), differences(then, now));
        }
    }
    if (!changed.isEmpty()) {
        constexpr qsizetype kNamed = 5;
        const qsizetype more = changed.size() - kNamed;
        if (more > 0)
            changed = changed.mid(0, kNamed) << QStringLiteral("%1 more").arg(more);
        throw Error(kStoreRestoreInexact, kSource,
                    QStringLiteral("%1 used definitions that are stored with other values now, so it cannot come back "
                                   "as it was and nothing was done: %2.")
                        .arg(label, changed.join(QStringLiteral("; "))));
    }
    for (Kind kind : kinds)
        if (!missing.value(kind).isEmpty())
            io::insertDefinitions(ctx, kind, missing.value(kind));

    qint32 project = 0;
    if (decoded.project) {
        project = io::idByName(ctx, Kind::Project, *decoded.project);
        if (!project)
            project = io::insertProject(ctx, *decoded.project);
    }
    s.setProjectID(project > 0 ? QString::number(project) : QString());
    return decoded.settings;
}

// A part's content without the times it carries (the set's dates, the tags' save times).
QJsonObject withoutDates(QJsonObject part)
{
    if (part.contains(QStringLiteral("set"))) {
        QJsonObject set = part.value(QStringLiteral("set")).toObject();
        set.remove(QStringLiteral("dateCreated"));
        set.remove(QStringLiteral("dateModified"));
        part.insert(QStringLiteral("set"), set);
        return part;
    }
    QJsonArray entries = part.value(kinds::kEntriesLabel).toArray();
    for (qsizetype e = 0; e < entries.size(); ++e) {
        QJsonObject entry = entries.at(e).toObject();
        for (const QString &label : {kinds::strTagLinks().label, kinds::snpTagLinks().label}) {
            QJsonArray tags = entry.value(label).toArray();
            for (qsizetype t = 0; t < tags.size(); ++t)
                tags[t] = valuesOf(tags.at(t).toObject());
            entry.insert(label, tags);
        }
        entries[e] = entry;
    }
    part.insert(kinds::kEntriesLabel, entries);
    return part;
}

// What was written holds exactly what the revision held: checked before the transaction commits, so a
// set never comes back as something else.
void requireSame(const io::Context &ctx, const Revision &written, const io::StoredRevision &source)
{
    const std::optional<io::StoredRevision> now = io::storedRevision(ctx, written.setId, written.number);
    const QString label = what(source.revision);
    const auto same = [&](const QByteArray &a, const QByteArray &b) {
        return a == b || withoutDates(io::storedPart(ctx, a, label)) == withoutDates(io::storedPart(ctx, b, label));
    };
    if (!now || !same(now->settingsHash, source.settingsHash) || !same(now->tagsHash, source.tagsHash))
        throw Error(kStoreRestoreInexact, kSource,
                    QStringLiteral("%1 could not be written back exactly, so nothing was done.").arg(label));
}

} // namespace

// ---- the actions --------------------------------------------------------------------------------

Revision renameSet(SqlStore &store, const QString &name, const QString &newName, const QString &reason)
{
    io::requireName(kSetText, newName, kSource);
    return onStored(store, name, reason, [&](const io::Context &ctx, const io::StoredSet &s) {
        refuseDefault(s, QStringLiteral("renamed"));
        refuseReadOnly(s, QStringLiteral("renamed"));
        if (newName == s.name)
            throw alreadySo(s, QStringLiteral("has that name already"));
        if (const std::optional<io::StoredSet> holder = io::findSet(ctx, newName, true); holder && holder->id != s.id)
            throw Error(kStoreDuplicateName, kSource,
                        QStringLiteral("The name \"%1\" is taken by the parameter set \"%2\", so \"%3\" was not "
                                       "renamed.")
                            .arg(printable(newName), printable(holder->name), printable(s.name)));
        return changeRow(ctx, s, newName, s.attributes, true, RevisionAction::Renamed, reason);
    });
}

Revision lockSet(SqlStore &store, const QString &name, const QString &reason)
{
    return onStored(store, name, reason, [&](const io::Context &ctx, const io::StoredSet &s) {
        if (s.attributes & limits::kReadOnlyBits)
            throw alreadySo(s, QStringLiteral("is read-only already"));
        return changeRow(ctx, s, s.name, s.attributes | 1, false, RevisionAction::Locked, reason);
    });
}

Revision unlockSet(SqlStore &store, const QString &name, const QString &reason)
{
    return onStored(store, name, reason, [&](const io::Context &ctx, const io::StoredSet &s) {
        if (!(s.attributes & limits::kReadOnlyBits))
            throw alreadySo(s, QStringLiteral("is not read-only"));
        return changeRow(ctx, s, s.name, s.attributes & ~limits::kReadOnlyBits, false, RevisionAction::Unlocked,
                         reason);
    });
}

Revision hideSet(SqlStore &store, const QString &name, const QString &reason)
{
    return onStored(store, name, reason, [&](const io::Context &ctx, const io::StoredSet &s) {
        refuseDefault(s, QStringLiteral("hidden"));
        if (s.attributes & limits::kHiddenBit)
            throw alreadySo(s, QStringLiteral("is hidden already"));
        return changeRow(ctx, s, s.name, s.attributes | limits::kHiddenBit, false, RevisionAction::Hidden, reason);
    });
}

Revision showSet(SqlStore &store, const QString &name, const QString &reason)
{
    return onStored(store, name, reason, [&](const io::Context &ctx, const io::StoredSet &s) {
        if (!(s.attributes & limits::kHiddenBit))
            throw alreadySo(s, QStringLiteral("is not hidden"));
        return changeRow(ctx, s, s.name, s.attributes & ~limits::kHiddenBit, false, RevisionAction::Shown, reason);
    });
}

Revision deleteSet(SqlStore &store, const QString &name, const QString &reason)
{
    return onStored(store, name, reason, [&](const io::Context &ctx, const io::StoredSet &s) {
        refuseDefault(s, QStringLiteral("deleted"));
        refuseReadOnly(s, QStringLiteral("deleted"));
        // The revision keeps the set as it was, so it can come back; its entries and lists go with it.
        snapshot::DefinitionCache definitions(ctx);
        QList<io::RevisionRecord> records{io::currentSet(ctx, s.id, RevisionAction::Deleted, reason, definitions)};
        io::recordRevisions(ctx, records, definitions);
        Statement remove(ctx.db, QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(kinds::sets().table));
        remove.bind(s.id).exec();
        return Outcome{records.first().recorded, s.name, QString(), 0};
    });
}

Revision undeleteSet(SqlStore &store, qint32 setId, const QString &newName, const QString &reason)
{
    if (!newName.isEmpty())
        io::requireName(kSetText, newName, kSource);
    return act(
        store, QStringLiteral("the deleted parameter set number %1").arg(setId), reason, [&](const io::Context &ctx) {
            const std::optional<io::StoredRevision> last = io::storedRevision(ctx, setId, 0);
            if (!last)
                throw Error(kStoreNotFound, kSource, QStringLiteral("No parameter set has the number %1.").arg(setId));
            if (last->revision.action != RevisionAction::Deleted)
                throw Error(kStoreActionRefused, kSource,
                            QStringLiteral("The parameter set number %1 is not deleted: it is stored as "
                                           "\"%2\".")
                                .arg(setId)
                                .arg(printable(last->revision.name)));
            const QString name = newName.isEmpty() ? last->revision.name : newName;
            if (const std::optional<io::StoredSet> holder = io::findSet(ctx, name, true))
                throw Error(kStoreDuplicateName, kSource,
                            QStringLiteral("The name \"%1\" is taken by the parameter set \"%2\" (number %3), "
                                           "so the deleted set cannot come back under it. Give it another "
                                           "name.")
                                .arg(printable(name), printable(holder->name))
                                .arg(holder->id));
            const FragAnalysisParamPtr settings = materialize(ctx, *last);
            settings->setName(name);
            const io::SetStamp stamp{last->revision.attributes, settings->DateCreated(), settings->DateModified()};
            const io::WrittenSet written =
                io::writeSet(ctx, *settings, std::nullopt, stamp, io::Change{RevisionAction::Undeleted, reason, setId});
            requireSame(ctx, written.revision, *last);
            return Outcome{written.revision, QString(), name, written.version};
        });
}

Revision restoreSet(SqlStore &store, const QString &name, qint32 number, const QString &reason)
{
    return onStored(store, name, reason, [&](const io::Context &ctx, const io::StoredSet &s) {
        refuseReadOnly(s, QStringLiteral("restored to an earlier revision"));
        const std::optional<io::StoredRevision> revision = io::storedRevision(ctx, s.id, number);
        if (!revision || number < 1)
            throw Error(
                kStoreNotFound, kSource,
                QStringLiteral("The parameter set \"%1\" has no revision %2: its revisions are 1 to %3.")
                    .arg(printable(s.name))
                    .arg(number)
                    .arg(io::storedRevision(ctx, s.id, 0) ? io::storedRevision(ctx, s.id, 0)->revision.number : 0));
        const FragAnalysisParamPtr settings = materialize(ctx, *revision);
        // The set keeps its name, flags and creation date; what it holds is the revision's.
        settings->setName(s.name);
        const io::SetStamp stamp{s.attributes, s.dateCreated, QDateTime::currentSecsSinceEpoch()};
        const io::WrittenSet written =
            io::writeSet(ctx, *settings, s, stamp, io::Change{RevisionAction::Restored, reason, 0});
        requireSame(ctx, written.revision, *revision);
        return Outcome{written.revision, s.name, s.name, written.version};
    });
}

} // namespace veltrane::host
