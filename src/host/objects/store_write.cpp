#include "host/objects/store_rows.h"

#include "veltrane/contracts/error.h"
#include "veltrane/contracts/stored_rules.h"
#include "veltrane/contracts/vocabulary.h"

#include <QHash>
#include <QSet>
#include <cmath>

namespace veltrane::host::io {

namespace {

const QString &kSetSource = types::kFragAnalysisParam;
const QString kStoreSource = QStringLiteral("SqlStore");

Error duplicateName(const QString &what, const QString &name)
{
    return Error(kStoreDuplicateName, kStoreSource,
                 QStringLiteral("A %1 named \"%2\" is already stored.").arg(what, name));
}

} // namespace

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
    requireName(what, name, kStoreSource);
    const qint32 holder = idByName(ctx, kind, name);
    if (holder && holder != owner)
        throw duplicateName(what, name);
}

qint32 insertReturningId(Statement &st)
{
    st.exec();
    if (!st.next())
        throw Error(kStoreQueryFailed, kStoreSource, QStringLiteral("The database did not answer the new row's ID."));
    return st.intAt(0);
}

// Lists are written many rows to a statement: against a server that is one round trip per batch
// instead of one per row. Batches are cut into sizes that are powers of two, so a connection keeps
// at most a few statements of each table prepared.
class BatchInsert
{
public:
    static constexpr int kRowsPerStatement = 256;

    BatchInsert(const Context &ctx, const QString &table, const QStringList &columns)
        : m_ctx(ctx)
        , m_head(QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(table, columns.join(QStringLiteral(", "))))
        , m_row(QLatin1Char('(') + placeholders(columns.size()) + QLatin1Char(')'))
        , m_width(int(columns.size()))
    {}

    BatchInsert &operator<<(const QVariant &value)
    {
        m_values.append(value);
        if (m_values.size() == qsizetype(m_width) * kRowsPerStatement)
            flush();
        return *this;
    }

    void flush()
    {
        qsizetype done = 0;
        const qsizetype rows = m_values.size() / m_width;
        for (int size = kRowsPerStatement; size > 0; size /= 2)
            while (rows - done / m_width >= size) {
                Statement st(m_ctx.db, statementFor(size));
                for (qsizetype i = 0; i < qsizetype(size) * m_width; ++i)
                    st.bind(m_values.at(done + i));
                st.exec();
                done += qsizetype(size) * m_width;
            }
        m_values.clear();
    }

private:
    const QString &statementFor(int rows)
    {
        QString &sql = m_statements[rows];
        if (sql.isEmpty()) {
            sql = m_head;
            for (int r = 0; r < rows; ++r)
                sql += r ? QStringLiteral(", ") + m_row : m_row;
        }
        return sql;
    }

    const Context &m_ctx;
    QString m_head;
    QString m_row;
    int m_width;
    QList<QVariant> m_values;
    QHash<int, QString> m_statements;
};

QStringList childColumns(const kinds::ChildList &list)
{
    return list.owner + QStringList{list.position, list.value};
}

// Resolves referenced objects to their rows (by the ID an object carries when that row exists, else
// by name), each object once per set.
class Resolver
{
public:
    Resolver(const Context &ctx, const QString &setName)
        : m_ctx(ctx)
        , m_setName(setName)
    {}

    qint32 resolve(Kind kind, const BusinessObject *object)
    {
        if (!object)
            return 0;
        const QString key = QString::number(int(kind)) + QLatin1Char(':') + QString::number(object->ID()) +
                            QLatin1Char(':') + nameKey(object->Name());
        const auto it = m_resolved.constFind(key);
        if (it != m_resolved.cend())
            return *it;
        qint32 id = 0;
        if (object->ID() > 0 && exists(kind, object->ID()))
            id = object->ID();
        else
            id = idByName(m_ctx, kind, object->Name());
        if (id <= 0)
            throw Error(kStoreInvalidObject, kSetSource,
                        QStringLiteral("The %1 \"%2\" of the parameter set \"%3\" is not stored.")
                            .arg(kinds::textOf(kind), object->Name(), m_setName));
        m_resolved.insert(key, id);
        return id;
    }

    // Learns in a few statements which of the IDs the objects carry are stored, so that resolving a
    // long tag list asks the database once per batch rather than once per tag.
    void prefetch(Kind kind, const QList<const BusinessObject *> &objects)
    {
        QList<qint32> wanted;
        QSet<qint32> seen;
        for (const BusinessObject *o : objects)
            if (o && o->ID() > 0 && !seen.contains(o->ID()) && !m_known[kind].contains(o->ID())) {
                seen.insert(o->ID());
                wanted.append(o->ID());
            }
        QSet<qint32> &known = m_known[kind];
        QSet<qint32> &absent = m_absent[kind];
        const QString table = kinds::tableOf(kind);
        for (qsizetype at = 0; at < wanted.size();) {
            int size = BatchInsert::kRowsPerStatement;
            while (size > wanted.size() - at)
                size /= 2;
            Statement st(m_ctx.db, QStringLiteral("SELECT id FROM %1 WHERE id IN (%2)").arg(table, placeholders(size)));
            for (int i = 0; i < size; ++i)
                st.bind(wanted.at(at + i));
            st.exec();
            QSet<qint32> found;
            while (st.next())
                found.insert(st.intAt(0));
            for (int i = 0; i < size; ++i)
                (found.contains(wanted.at(at + i)) ? known : absent).insert(wanted.at(at + i));
            at += size;
        }
    }

private:
    bool exists(Kind kind, qint32 id)
    {
        if (m_known[kind].contains(id))
            return true;
        if (m_absent[kind].contains(id))
            return false;
        Statement st(m_ctx.db, QStringLiteral("SELECT id FROM %1 WHERE id = ?").arg(kinds::tableOf(kind)));
        st.bind(id).exec();
        const bool found = st.next();
        (found ? m_known : m_absent)[kind].insert(id);
        return found;
    }

    const Context &m_ctx;
    QString m_setName;
    QHash<QString, qint32> m_resolved;
    QHash<Kind, QSet<qint32>> m_known;
    QHash<Kind, QSet<qint32>> m_absent;
};

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

void writeEntries(const Context &ctx, const FragAnalysisParam &s, qint32 id, Resolver &resolver)
{
    const auto &entry = kinds::entries();
    const auto &calibration = kinds::entryCalibrations();
    const SizeCalibration none; // what an entry without a calibration stores in its calibration columns
    {
        BatchInsert rows(ctx, entry.table,
                         QStringList{QStringLiteral("set_id"), QStringLiteral("entry_index")} + entry.columns() +
                             QStringList{kinds::kHasCalibrationColumn} + calibration.columns());
        for (qint32 e = 0; e < s.EntryCount(); ++e) {
            // The row is only read from the set, never changed.
            const kinds::SetEntry view{const_cast<FragAnalysisParam *>(&s), e};
            rows << id << e;
            for (const auto &f : entry.fields)
                rows << f.get(view, f.index);
            const SizeCalibrationPtr c = s.SizeCalibration(e);
            rows << int(bool(c));
            for (const auto &f : calibration.fields)
                rows << f.get(c ? *c : none, f.index);
            for (const auto &r : calibration.references)
                rows << nullableId(c ? resolver.resolve(r.target, r.get(*c)) : 0);
        }
        rows.flush();
    }

    BatchInsert peaks(ctx, kinds::selectedPeaks().table, childColumns(kinds::selectedPeaks()));
    for (qint32 e = 0; e < s.EntryCount(); ++e)
        if (const SizeCalibrationPtr c = s.SizeCalibration(e)) {
            const QList<qint16> list = c->SelectedPeaks();
            for (qsizetype p = 0; p < list.size(); ++p)
                peaks << id << e << int(p) << int(list[p]);
        }
    peaks.flush();

    auto link = [&](const kinds::ChildList &links, Kind kind, auto listOf, auto tagType, const QString &what) {
        using Tag = typename decltype(tagType)::type;
        QList<QList<const BusinessObject *>> tags;
        QList<const BusinessObject *> all;
        for (qint32 e = 0; e < s.EntryCount(); ++e) {
            tags.append(tagsOf<Tag>(listOf(e), what, s.Name()));
            all += tags.last();
        }
        resolver.prefetch(kind, all);
        BatchInsert rows(ctx, links.table, childColumns(links));
        for (qint32 e = 0; e < s.EntryCount(); ++e)
            for (qsizetype p = 0; p < tags[e].size(); ++p)
                rows << id << e << int(p) << resolver.resolve(kind, tags[e][p]);
        rows.flush();
    };
    link(
        kinds::strTagLinks(), Kind::StrTag, [&](qint32 e) { return s.STRLocusTagsOf(e); },
        std::type_identity<STRLocusTag>(), QStringLiteral("STR locus tag"));
    link(
        kinds::snpTagLinks(), Kind::SnpTag, [&](qint32 e) { return s.SNPLocusTagsOf(e); },
        std::type_identity<SNPLocusTagSettings>(), QStringLiteral("SNP locus tag"));
}

// A new row of a named kind with every field of the object; answers its ID.
template <typename T> qint32 insertNamed(const Context &ctx, Kind kind, const kinds::Descriptor<T> &d, const T &o)
{
    requireFreeName(ctx, kind, o.Name());
    Statement st(ctx.db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING id")
                             .arg(d.table, columnsWith({"name", "name_key"}, d), placeholders(2 + d.columnCount())));
    st.bind(o.Name()).bind(nameKey(o.Name()));
    bindFields(st, d, o);
    try {
        return insertReturningId(st);
    } catch (const Error &e) {
        if (e.number() != kStoreConflict)
            throw;
        throw Error(kStoreConflict, kStoreSource,
                    QStringLiteral("A %1 named \"%2\" was stored by someone else meanwhile, so nothing was saved.")
                        .arg(d.text, printable(o.Name())));
    }
}

} // namespace

WrittenSet writeSet(const Context &ctx, FragAnalysisParam &s, const std::optional<StoredSet> &replacing,
                    const SetStamp &stamp)
{
    const auto &d = kinds::sets();
    const QString name = s.Name();
    requireName(d.text, name, kSetSource);
    requireNumbers(d, s, name);
    for (qint32 e = 0; e < s.EntryCount(); ++e)
        requireNumbers(kinds::entries(), kinds::SetEntry{&s, e}, name, e);

    Resolver resolver(ctx, name);
    QList<qint32> references;
    for (const auto &r : d.references)
        references.append(resolver.resolve(r.target, r.get(s)));
    auto bindValues = [&](Statement &st) {
        bindFields(st, d, s, &stamp);
        for (qint32 reference : references)
            st.bind(nullableId(reference));
    };

    qint32 id = 0;
    qint32 version = 1;
    if (replacing) {
        id = replacing->id;
        version = replacing->version + 1;
        Statement st(ctx.db, QStringLiteral("UPDATE %1 SET name = ?, name_key = ?, version = ?, %2 = ? WHERE id = ?")
                                 .arg(d.table, d.columnList().replace(QStringLiteral(", "), QStringLiteral(" = ?, "))));
        st.bind(name).bind(nameKey(name)).bind(version);
        bindValues(st);
        st.bind(id).exec();
        // Children are rewritten whole: a set is always stored as one complete object.
        for (const kinds::ChildList *list : {&kinds::snpTagLinks(), &kinds::strTagLinks(), &kinds::selectedPeaks()}) {
            Statement del(ctx.db, QStringLiteral("DELETE FROM %1 WHERE set_id = ?").arg(list->table));
            del.bind(id).exec();
        }
        Statement del(ctx.db, QStringLiteral("DELETE FROM %1 WHERE set_id = ?").arg(kinds::entries().table));
        del.bind(id).exec();
    } else {
        Statement st(ctx.db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING id")
                                 .arg(d.table, columnsWith({"name", "name_key", "version"}, d),
                                      placeholders(3 + d.columnCount())));
        st.bind(name).bind(nameKey(name)).bind(version);
        bindValues(st);
        try {
            id = insertReturningId(st);
        } catch (const Error &e) {
            // Two sessions that both found the name free: the later insert meets the earlier one.
            if (e.number() != kStoreConflict)
                throw;
            throw Error(kStoreConflict, kSetSource,
                        QStringLiteral("A parameter set named \"%1\" was stored by someone else meanwhile, so "
                                       "nothing was saved. Save it under another name.")
                            .arg(printable(name)));
        }
    }

    if (s.EntryCount() > 0)
        writeEntries(ctx, s, id, resolver);
    return {id, version};
}

qint32 insertProject(const Context &ctx, const QString &name)
{
    Project project;
    project.setName(name);
    return insertNamed(ctx, Kind::Project, kinds::projects(), project);
}

qint32 insertSizeStandard(const Context &ctx, const SizeStandardSettings &standard)
{
    const qint32 id = insertNamed(ctx, Kind::SizeStandard, kinds::sizeStandards(), standard);
    BatchInsert fragments(ctx, kinds::fragments().table, childColumns(kinds::fragments()));
    const QList<float> sizes = standard.FragmentSizes();
    for (qsizetype i = 0; i < sizes.size(); ++i)
        fragments << id << int(i) << double(sizes[i]);
    fragments.flush();
    return id;
}

qint32 insertMobilityCalibration(const Context &ctx, const MobilityCalibrationSettings &calibration)
{
    return insertNamed(ctx, Kind::MobilityCalibration, kinds::mobilityCalibrations(), calibration);
}

qint32 insertMobilityReference(const Context &ctx, const SizeCalibration &reference)
{
    return insertNamed(ctx, Kind::MobilityReference, kinds::mobilityReferences(), reference);
}

qint32 insertStrLocusTag(const Context &ctx, const STRLocusTag &tag)
{
    return insertNamed(ctx, Kind::StrTag, kinds::strTags(), tag);
}

qint32 insertSnpLocusTag(const Context &ctx, const SNPLocusTagSettings &tag)
{
    return insertNamed(ctx, Kind::SnpTag, kinds::snpTags(), tag);
}

void updateSnpLocusTag(const Context &ctx, const SNPLocusTagSettings &tag)
{
    const auto &d = kinds::snpTags();
    requireFreeName(ctx, Kind::SnpTag, tag.Name(), tag.ID());
    Statement st(ctx.db, QStringLiteral("UPDATE %1 SET name = ?, name_key = ?, %2 = ? WHERE id = ?")
                             .arg(d.table, d.columnList().replace(QStringLiteral(", "), QStringLiteral(" = ?, "))));
    st.bind(tag.Name()).bind(nameKey(tag.Name()));
    bindFields(st, d, tag);
    st.bind(tag.ID()).exec();
    if (st.rowsAffected() != 1)
        throw Error(
            kStoreNotFound, types::kSNPLocusTag,
            QStringLiteral("The SNP locus tag \"%1\" (ID %2) is no longer stored.").arg(tag.Name()).arg(tag.ID()));
}

void insertGridType(const Context &ctx, const GridType &layout)
{
    Statement head(ctx.db, QStringLiteral("INSERT INTO grid_types (id, name) VALUES (?, ?)"));
    head.bind(layout.GridTypeID()).bind(layout.Name()).exec();
    const kinds::ChildList &rows = kinds::gridColumnRows();
    const auto &d = kinds::gridColumns();
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
