#include "host/objects/history_io.h"
#include "host/objects/store_rows.h"

#include "veltrane/contracts/error.h"
#include "veltrane/contracts/stored_rules.h"
#include "veltrane/contracts/vocabulary.h"

#include <QHash>
#include <QSet>
#include <QSysInfo>
#include <cmath>
#include <map>
#include <pwd.h>
#include <unistd.h>

namespace veltrane::host::io {

namespace {

const QString &kSetSource = types::kFragAnalysisParam;
const QString kStoreSource = QStringLiteral("SqlStore");

Error duplicateName(const QString &what, const QString &name)
{
    return Error(kStoreDuplicateName, kStoreSource,
                 QStringLiteral("A %1 named \"%2\" is already stored.").arg(what, printable(name)));
}

} // namespace

bool storeFailure(const Error &e)
{
    switch (e.number()) {
    case kStoreQueryFailed:
    case kStoreCannotOpen:
    case kStoreBusy:
    case kStoreTimedOut:
    case kStorePermissionDenied:
    case kStoreNotWritable:
        return true;
    default:
        return false;
    }
}

Error undone(const Error &e, const QString &whatWasNotDone)
{
    QString why = e.description();
    if (why.size() > 1 && why.at(1).isLower())
        why[0] = why.at(0).toLower();
    return Error(e.number(), e.source(), whatWasNotDone + QStringLiteral(": ") + why);
}

// Every writer comes through here (commits of the pages, imports, seed data), so a name that breaks
// the rules never reaches either engine, which would keep it differently.
void requireName(const QString &what, const QString &name, const QString &source)
{
    if (nameKey(name).isEmpty())
        throw Error(kStoreInvalidObject, source, QStringLiteral("Every %1 needs a name to be stored.").arg(what));
    if (const std::optional<QString> fault = nameFault(name))
        throw Error(
            kStoreInvalidObject, source,
            QStringLiteral("The %1 \"%2\" cannot be stored under that name: %3.").arg(what, printable(name), *fault));
}

namespace {

// A stored object needs a name no other object of its kind holds (owner: the object's own ID when it
// is being updated, 0 for a new one).
void requireFreeName(const Context &ctx, Kind kind, const QString &name, qint32 owner = 0)
{
    const QString what = kinds::textOf(kind);
    const qint32 holder = idByName(ctx, kind, name);
    if (holder && holder != owner)
        throw duplicateName(what, name);
}

QStringList childColumns(const kinds::ChildList &list)
{
    return list.owner + QStringList{list.position, list.value};
}

// Every text of an object follows the text rule on both engines (one would keep a NUL or a broken
// surrogate differently from the other, or refuse the statement).
template <typename T>
void requireTexts(const kinds::Descriptor<T> &d, const T &object, const QString &what, const QString &name,
                  qint32 entry = -1)
{
    for (const kinds::Field<T> &f : d.fields) {
        if (f.type != kinds::Type::Text)
            continue;
        if (const std::optional<QString> fault = textFault(f.get(object, f.index).toString()))
            throw Error(kStoreInvalidObject, kStoreSource,
                        QStringLiteral("The %1 \"%2\" cannot be stored: %3%4 %5.")
                            .arg(what, printable(name), f.property,
                                 entry < 0 ? QString() : QStringLiteral(" of entry %1").arg(entry), *fault));
    }
}

// A definition is stored only as the pages can work with it (see ruleBreaks()).
template <typename T> void requireDefinition(const kinds::Descriptor<T> &d, const T &object)
{
    requireName(d.text, object.Name(), kStoreSource);
    requireTexts(d, object, d.text, object.Name());
    if constexpr (requires { ruleBreaks(object); }) {
        const QList<RuleBreak> breaks = ruleBreaks(object);
        if (!breaks.isEmpty())
            throw Error(kStoreInvalidObject, kStoreSource,
                        QStringLiteral("The %1 \"%2\" cannot be stored: %3.")
                            .arg(d.text, printable(object.Name()), printable(breaks.first().text())));
    }
}

// SQLite cannot keep a NaN (it would read back as nothing), so neither engine takes one.
template <typename T>
void requireNumbers(const kinds::Descriptor<T> &d, const T &object, const QString &setName, qint32 entry = -1)
{
    for (const kinds::Field<T> &f : d.fields)
        if (f.type == kinds::Type::Float && std::isnan(f.get(object, f.index).toDouble()))
            throw Error(
                kStoreInvalidObject, kSetSource,
                QStringLiteral("The parameter set \"%1\" cannot be stored: %2 is not a number.")
                    .arg(setName, entry < 0 ? f.property : QStringLiteral("%1(%2)").arg(f.property).arg(entry)));
}

// The tags of an entry's list; an SNP list holds tag settings, and a whole tag is taken for its settings.
template <typename Tag>
QList<const BusinessObject *> tagsOf(const CollectionPtr &list, const QString &what, const QString &setName)
{
    QList<const BusinessObject *> tags;
    for (const QVariant &item : *list) {
        QSharedPointer<const BusinessObject> tag = objectFrom<Tag>(item);
        if constexpr (std::is_same_v<Tag, SNPLocusTagSettings>)
            if (!tag)
                if (const auto whole = objectFrom<SNPLocusTag>(item))
                    tag = whole->TagData();
        if (!tag)
            throw Error(kStoreInvalidObject, kSetSource,
                        QStringLiteral("The %1 list of the parameter set \"%2\" holds something that is not an %1.")
                            .arg(what, setName));
        tags.append(tag.data());
    }
    return tags;
}

// What one set of a batch refers to, gathered once.
struct Refers
{
    QList<const BusinessObject *> references; // the set's own, in the description's order
    QList<const BusinessObject *> standards;  // of each entry's calibration, nullptr for none
    QList<QList<const BusinessObject *>> str; // per entry
    QList<QList<const BusinessObject *>> snp;
};

Refers gather(const FragAnalysisParam &s)
{
    Refers r;
    for (const auto &ref : kinds::sets().references)
        r.references.append(ref.get(s));
    for (qint32 e = 0; e < s.EntryCount(); ++e) {
        const SizeCalibrationPtr c = s.SizeCalibration(e);
        r.standards.append(c ? kinds::entryCalibrations().references.first().get(*c) : nullptr);
        r.str.append(tagsOf<STRLocusTag>(s.STRLocusTagsOf(e), QStringLiteral("STR locus tag"), s.Name()));
        r.snp.append(tagsOf<SNPLocusTagSettings>(s.SNPLocusTagsOf(e), QStringLiteral("SNP locus tag"), s.Name()));
    }
    return r;
}

// The IDs new sets take on SQLite, which would otherwise give a new row the number of a deleted set
// that had the highest one: numbers are never used twice, since a deleted set keeps its history under
// its number. (PostgreSQL's identity never hands a number out twice.)
qint32 lastSetNumber(const Context &ctx)
{
    Statement st(ctx.db, QStringLiteral("SELECT MAX(m) FROM (SELECT MAX(id) AS m FROM %1 UNION ALL "
                                        "SELECT MAX(set_id) FROM %2) numbers")
                             .arg(kinds::sets().table, kRevisionsTable));
    st.exec();
    return st.next() ? st.intAt(0) : 0;
}

// Inserts the new sets of a batch in statements of many rows; a name another session stored
// meanwhile inserts nothing (rather than failing the statement), so it can be named.
void insertNewSets(const Context &ctx, QList<SetToWrite *> &fresh, const QList<QList<qint32>> &references)
{
    const auto &d = kinds::sets();
    const QStringList columns = QStringList{QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("name_key"),
                                            QStringLiteral("version"), kinds::kModifiedByColumn} +
                                d.columns();
    const bool sqlite = ctx.engine == Engine::SQLite;
    qint32 next = sqlite && !fresh.isEmpty() ? lastSetNumber(ctx) : 0;
    // A row's ID is bound where it is chosen here, else the identity gives it.
    const auto row = [&](const SetToWrite &w) {
        return QStringLiteral("(%1, %2)")
            .arg(sqlite || w.change.id > 0 ? QStringLiteral("?") : QStringLiteral("DEFAULT"),
                 placeholders(columns.size() - 1));
    };
    forBatches(
        fresh.size(),
        [&](qsizetype from, qsizetype n) {
            QString sql =
                QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(d.table, columns.join(QStringLiteral(", ")));
            for (qsizetype i = 0; i < n; ++i)
                sql += (i ? QStringLiteral(", ") : QString()) + row(*fresh[from + i]);
            Statement st(ctx.db, sql + QStringLiteral(" ON CONFLICT (name_key) DO NOTHING RETURNING id, name_key"));
            for (qsizetype i = from; i < from + n; ++i) {
                const FragAnalysisParam &s = *fresh[i]->settings;
                if (fresh[i]->change.id > 0)
                    st.bind(fresh[i]->change.id);
                else if (sqlite)
                    st.bind(++next);
                st.bind(storedName(s.Name())).bind(nameKey(s.Name())).bind(1).bind(workstation());
                bindFields(st, d, s, &fresh[i]->stamp);
                for (qint32 id : references[i])
                    st.bind(nullableId(id));
            }
            st.exec();
            QHash<QString, qint32> ids;
            while (st.next())
                ids.insert(st.textAt(1), st.intAt(0));
            for (qsizetype i = from; i < from + n; ++i) {
                const QString name = fresh[i]->settings->Name();
                // Two sessions that both found the name free: the later insert met the earlier one.
                if (!ids.contains(nameKey(name)))
                    throw Error(kStoreConflict, kSetSource,
                                QStringLiteral("A parameter set named \"%1\" was stored by someone else meanwhile, so "
                                               "nothing was saved. Save it under another name.")
                                    .arg(printable(name)));
                fresh[i]->written = {ids.value(nameKey(name)), 1, {}};
            }
        },
        batchRows(columns.size()));
}

// Writes the replaced sets over their rows and deletes their old lists (written again after).
void updateReplacedSets(const Context &ctx, QList<SetToWrite *> &replaced, const QList<QList<qint32>> &references)
{
    const auto &d = kinds::sets();
    QList<qint32> ids;
    for (qsizetype i = 0; i < replaced.size(); ++i) {
        SetToWrite &w = *replaced[i];
        const FragAnalysisParam &s = *w.settings;
        w.written = {w.replacing->id, w.replacing->version + 1, {}};
        Statement st(ctx.db,
                     QStringLiteral("UPDATE %1 SET name = ?, name_key = ?, version = ?, %2 = ?, %3 = ? WHERE id = ?")
                         .arg(d.table, kinds::kModifiedByColumn,
                              d.columnList().replace(QStringLiteral(", "), QStringLiteral(" = ?, "))));
        st.bind(storedName(s.Name())).bind(nameKey(s.Name())).bind(w.written.version).bind(workstation());
        bindFields(st, d, s, &w.stamp);
        for (qint32 id : references[i])
            st.bind(nullableId(id));
        st.bind(w.written.id).exec();
        ids.append(w.written.id);
    }
    // Children are rewritten whole: a set is always stored as one complete object.
    const QStringList children{kinds::snpTagLinks().table, kinds::strTagLinks().table, kinds::selectedPeaks().table,
                               kinds::entries().table};
    forBatches(ids.size(), [&](qsizetype from, qsizetype n) {
        for (const QString &table : children) {
            Statement del(ctx.db, QStringLiteral("DELETE FROM %1 WHERE set_id IN (%2)").arg(table, placeholders(n)));
            for (qsizetype i = 0; i < n; ++i)
                del.bind(ids.at(from + i));
            del.exec();
        }
    });
}

} // namespace

void writeSetRows(const Context &ctx, QList<SetToWrite> &sets, ReferenceResolver &resolver,
                  QList<snapshot::References> &resolved)
{
    const auto &d = kinds::sets();
    QList<Refers> refers;
    QHash<Kind, QList<const BusinessObject *>> wanted;
    for (SetToWrite &w : sets) {
        FragAnalysisParam &s = *w.settings;
        requireName(d.text, s.Name(), kSetSource);
        requireNumbers(d, s, s.Name());
        requireTexts(d, s, d.text, s.Name());
        for (qint32 e = 0; e < s.EntryCount(); ++e) {
            requireNumbers(kinds::entries(), kinds::SetEntry{&s, e}, s.Name(), e);
            if (const SizeCalibrationPtr c = s.SizeCalibration(e))
                requireTexts(kinds::entryCalibrations(), *c, d.text, s.Name(), e);
        }
        refers.append(gather(s));
        const Refers &r = refers.last();
        for (qsizetype i = 0; i < r.references.size(); ++i)
            wanted[d.references[i].target].append(r.references[i]);
        wanted[Kind::SizeStandard] += r.standards;
        for (const auto &list : r.str)
            wanted[Kind::StrTag] += list;
        for (const auto &list : r.snp)
            wanted[Kind::SnpTag] += list;
    }
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it)
        resolver.prefetch(it.key(), it.value());

    QList<SetToWrite *> fresh, replaced;
    QList<QList<qint32>> freshReferences, replacedReferences;
    // What each set refers to, as resolved: the revision's snapshot copies those rows.
    resolved = QList<snapshot::References>(sets.size());
    for (qsizetype i = 0; i < sets.size(); ++i) {
        QList<qint32> ids;
        for (qsizetype r = 0; r < d.references.size(); ++r)
            ids.append(resolver.resolve(d.references[r].target, refers[i].references[r], sets[i].settings->Name()));
        resolved[i].project = sets[i].settings->ProjectID().toInt();
        resolved[i].set = ids;
        (sets[i].replacing ? replaced : fresh).append(&sets[i]);
        (sets[i].replacing ? replacedReferences : freshReferences).append(ids);
    }
    updateReplacedSets(ctx, replaced, replacedReferences);
    insertNewSets(ctx, fresh, freshReferences);

    // The lists of every set of the batch, each in statements of many rows; entries first, as the
    // other lists refer to them.
    const auto &entry = kinds::entries();
    const auto &calibration = kinds::entryCalibrations();
    const SizeCalibration none; // what an entry without a calibration stores in its calibration columns
    BatchInsert entries(ctx, entry.table,
                        QStringList{QStringLiteral("set_id"), QStringLiteral("entry_index")} + entry.columns() +
                            QStringList{kinds::kHasCalibrationColumn} + calibration.columns());
    for (qsizetype i = 0; i < sets.size(); ++i) {
        const FragAnalysisParam &s = *sets[i].settings;
        for (qint32 e = 0; e < s.EntryCount(); ++e) {
            // The row is only read from the set, never changed.
            const kinds::SetEntry view{const_cast<FragAnalysisParam *>(&s), e};
            entries << sets[i].written.id << e;
            for (const auto &f : entry.fields)
                entries << f.get(view, f.index);
            const SizeCalibrationPtr c = s.SizeCalibration(e);
            entries << int(bool(c));
            for (const auto &f : calibration.fields)
                entries << f.get(c ? *c : none, f.index);
            const qint32 standard = resolver.resolve(Kind::SizeStandard, refers[i].standards[e], s.Name());
            entries << nullableId(standard);
            resolved[i].entryStandards.append(standard);
        }
    }
    entries.flush();

    // An entry's lists go in statements of their own that carry its index as a constant, so a row binds
    // three values (the set, the position, the item) rather than four.
    struct EntryLists
    {
        BatchInsert peaks, str, snp;
    };
    std::map<qint32, EntryLists> lists;
    const auto listsOf = [&](qint32 e) -> EntryLists & {
        auto it = lists.find(e);
        if (it == lists.end()) {
            const QStringList values{QStringLiteral("?"), QString::number(e), QStringLiteral("?"), QStringLiteral("?")};
            const auto insert = [&](const kinds::ChildList &list) {
                return BatchInsert(ctx, list.table, childColumns(list), values);
            };
            it = lists
                     .try_emplace(e, EntryLists{insert(kinds::selectedPeaks()), insert(kinds::strTagLinks()),
                                                insert(kinds::snpTagLinks())})
                     .first;
        }
        return it->second;
    };
    for (qsizetype i = 0; i < sets.size(); ++i) {
        const FragAnalysisParam &s = *sets[i].settings;
        const qint32 id = sets[i].written.id;
        for (qint32 e = 0; e < s.EntryCount(); ++e) {
            EntryLists &entryLists = listsOf(e);
            if (const SizeCalibrationPtr c = s.SizeCalibration(e)) {
                const QList<qint16> list = c->SelectedPeaks();
                for (qsizetype p = 0; p < list.size(); ++p)
                    entryLists.peaks << id << int(p) << int(list[p]);
            }
            QList<qint32> &strIds = resolved[i].str.emplace_back();
            for (qsizetype p = 0; p < refers[i].str[e].size(); ++p) {
                strIds.append(resolver.resolve(Kind::StrTag, refers[i].str[e][p], s.Name()));
                entryLists.str << id << int(p) << strIds.last();
            }
            QList<qint32> &snpIds = resolved[i].snp.emplace_back();
            for (qsizetype p = 0; p < refers[i].snp[e].size(); ++p) {
                snpIds.append(resolver.resolve(Kind::SnpTag, refers[i].snp[e][p], s.Name()));
                entryLists.snp << id << int(p) << snpIds.last();
            }
        }
    }
    for (auto &[e, entryLists] : lists) {
        entryLists.peaks.flush();
        entryLists.str.flush();
        entryLists.snp.flush();
    }
}

void writeSets(const Context &ctx, QList<SetToWrite> &sets, ReferenceResolver &resolver)
{
    QList<snapshot::References> resolved;
    writeSetRows(ctx, sets, resolver, resolved);
    // The revisions, with snapshots of what was written; the definitions of the whole batch are read
    // together.
    snapshot::DefinitionCache definitions(ctx);
    for (Kind kind : {Kind::Project, Kind::SizeStandard, Kind::MobilityCalibration, Kind::MobilityReference}) {
        QList<qint32> ids;
        for (const snapshot::References &r : std::as_const(resolved))
            ids += r.ids(kind);
        definitions.prefetch(kind, ids);
    }
    QList<RevisionRecord> records;
    records.reserve(sets.size());
    for (qsizetype i = 0; i < sets.size(); ++i) {
        const SetToWrite &w = sets[i];
        const FragAnalysisParam &s = *w.settings;
        RevisionRecord &r = records.emplace_back();
        r.setId = w.written.id;
        r.name = s.Name();
        r.projectName = s.ProjectName();
        r.attributes = w.stamp.attributes;
        r.action = w.change.action;
        r.reason = w.change.reason;
        r.references = resolved[i];
        r.settings = snapshot::settingsPart(s, snapshot::Dates{w.stamp.dateCreated, w.stamp.dateModified}, r.references,
                                            definitions);
    }
    recordRevisions(ctx, records, definitions);
    for (qsizetype i = 0; i < sets.size(); ++i)
        sets[i].written.revision = records[i].recorded;
}

WrittenSet writeSet(const Context &ctx, FragAnalysisParam &s, const std::optional<StoredSet> &replacing,
                    const SetStamp &stamp, const Change &change)
{
    ReferenceResolver resolver(ctx);
    QList<SetToWrite> one{SetToWrite{&s, replacing, stamp, change, {}}};
    writeSets(ctx, one, resolver);
    return one.first().written;
}

QString workstation()
{
    static const QString who = [] {
        QString user = qEnvironmentVariable("USER");
        if (user.isEmpty())
            if (const passwd *entry = ::getpwuid(::getuid()))
                user = QString::fromLocal8Bit(entry->pw_name);
        const QString machine = QSysInfo::machineHostName();
        const QString both =
            user.isEmpty() || machine.isEmpty() ? user + machine : QStringLiteral("%1 on %2").arg(user, machine);
        // Whatever the environment says, the store keeps a text by its rule.
        QString kept = printable(both);
        if (kept.size() > limits::kTextLength)
            kept.truncate(limits::kTextLength - (kept.at(limits::kTextLength - 1).isHighSurrogate() ? 1 : 0));
        return kept;
    }();
    return who;
}

QList<qint32> insertDefinitions(const Context &ctx, Kind kind, const QList<const BusinessObject *> &objects)
{
    QList<qint32> ids;
    kinds::withDescriptor(kind, [&](const auto &d) {
        using T = typename std::decay_t<decltype(d)>::Object;
        // Names must be free, and once each (a stored name is a duplicate, one stored meanwhile a conflict).
        QStringList names;
        for (const BusinessObject *o : objects) {
            requireDefinition(d, static_cast<const T &>(*o));
            names.append(o->Name());
        }
        forBatches(names.size(), [&](qsizetype from, qsizetype n) {
            const Filter filter = Filter::byNames(names.mid(from, n));
            Statement st(ctx.db, QStringLiteral("SELECT name_key FROM %1 WHERE %2").arg(d.table, condition(filter)));
            bindFilter(st, filter);
            st.exec();
            if (st.next()) {
                const QString key = st.textAt(0);
                for (const QString &name : filter.names)
                    if (nameKey(name) == key)
                        throw duplicateName(d.text, name);
            }
        });
        const QStringList columns = QStringList{QStringLiteral("name"), QStringLiteral("name_key")} + d.columns();
        const QString row = QLatin1Char('(') + placeholders(columns.size()) + QLatin1Char(')');
        forBatches(
            objects.size(),
            [&](qsizetype from, qsizetype n) {
                QString sql =
                    QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(d.table, columns.join(QStringLiteral(", ")));
                for (qsizetype i = 0; i < n; ++i)
                    sql += i ? QStringLiteral(", ") + row : row;
                Statement st(ctx.db, sql + QStringLiteral(" ON CONFLICT (name_key) DO NOTHING RETURNING id, name_key"));
                for (qsizetype i = from; i < from + n; ++i) {
                    const T &o = static_cast<const T &>(*objects[i]);
                    st.bind(storedName(o.Name())).bind(nameKey(o.Name()));
                    bindFields(st, d, o);
                }
                st.exec();
                QHash<QString, qint32> found;
                while (st.next())
                    found.insert(st.textAt(1), st.intAt(0));
                for (qsizetype i = from; i < from + n; ++i) {
                    const qint32 id = found.value(nameKey(objects[i]->Name()));
                    if (!id)
                        throw Error(kStoreConflict, kStoreSource,
                                    QStringLiteral("A %1 named \"%2\" was stored by someone else meanwhile, so nothing "
                                                   "was saved.")
                                        .arg(d.text, printable(objects[i]->Name())));
                    ids.append(id);
                }
            },
            batchRows(columns.size()));
        if constexpr (std::is_same_v<T, SizeStandardSettings>) {
            BatchInsert fragments(ctx, kinds::fragments().table, childColumns(kinds::fragments()));
            for (qsizetype i = 0; i < objects.size(); ++i) {
                const QList<float> sizes = static_cast<const T &>(*objects[i]).FragmentSizes();
                for (qsizetype f = 0; f < sizes.size(); ++f)
                    fragments << ids[i] << int(f) << double(sizes[f]);
            }
            fragments.flush();
        }
    });
    return ids;
}

qint32 insertProject(const Context &ctx, const QString &name)
{
    Project project;
    project.setName(name);
    return insertDefinitions(ctx, Kind::Project, {&project}).first();
}

qint32 insertSizeStandard(const Context &ctx, const SizeStandardSettings &standard)
{
    return insertDefinitions(ctx, Kind::SizeStandard, {&standard}).first();
}

qint32 insertMobilityCalibration(const Context &ctx, const MobilityCalibrationSettings &calibration)
{
    return insertDefinitions(ctx, Kind::MobilityCalibration, {&calibration}).first();
}

qint32 insertMobilityReference(const Context &ctx, const SizeCalibration &reference)
{
    return insertDefinitions(ctx, Kind::MobilityReference, {&reference}).first();
}

qint32 insertStrLocusTag(const Context &ctx, const STRLocusTag &tag)
{
    return insertDefinitions(ctx, Kind::StrTag, {&tag}).first();
}

qint32 insertSnpLocusTag(const Context &ctx, const SNPLocusTagSettings &tag)
{
    return insertDefinitions(ctx, Kind::SnpTag, {&tag}).first();
}

void updateSnpLocusTag(const Context &ctx, const SNPLocusTagSettings &tag)
{
    const auto &d = kinds::snpTags();
    requireDefinition(d, tag);
    requireFreeName(ctx, Kind::SnpTag, tag.Name(), tag.ID());
    Statement st(ctx.db, QStringLiteral("UPDATE %1 SET name = ?, name_key = ?, %2 = ? WHERE id = ?")
                             .arg(d.table, d.columnList().replace(QStringLiteral(", "), QStringLiteral(" = ?, "))));
    st.bind(storedName(tag.Name())).bind(nameKey(tag.Name()));
    bindFields(st, d, tag);
    st.bind(tag.ID()).exec();
    if (st.rowsAffected() != 1)
        throw Error(
            kStoreNotFound, types::kSNPLocusTag,
            QStringLiteral("The SNP locus tag \"%1\" (ID %2) is no longer stored.").arg(tag.Name()).arg(tag.ID()));
}

void insertGridType(const Context &ctx, const GridType &layout)
{
    const kinds::ChildList &rows = kinds::gridColumnRows();
    const auto &d = kinds::gridColumns();
    requireName(QStringLiteral("grid layout"), layout.Name(), kStoreSource);
    for (const GridType::Column &column : layout.columns())
        requireTexts(d, column, QStringLiteral("grid layout"), layout.Name());
    Statement head(ctx.db, QStringLiteral("INSERT INTO grid_types (id, name) VALUES (?, ?)"));
    head.bind(layout.GridTypeID()).bind(storedName(layout.Name())).exec();
    BatchInsert columns(ctx, rows.table, rows.owner + QStringList{rows.position} + d.columns());
    const QList<GridType::Column> &list = layout.columns();
    for (qsizetype i = 0; i < list.size(); ++i) {
        // Columns are numbered from 1, as the grid numbers them (column 0 is its header).
        columns << layout.GridTypeID() << int(i + 1);
        for (const auto &f : d.fields)
            columns << f.get(list[i], f.index);
    }
    columns.flush();
}

} // namespace veltrane::host::io
