#include "host/objects/store_rows.h"

#include <QHash>

namespace veltrane::host::io {

namespace {

// Rows of a named kind, in the store's order: ID, name and every field filled.
template <typename T, typename Visit>
void readNamed(const Context &ctx, const kinds::Descriptor<T> &d, const Filter &filter, Visit &&visit)
{
    Statement st(ctx.db, QStringLiteral("SELECT %1 FROM %2").arg(columnsWith({"id", "name"}, d), d.table) +
                             whereFilter(filter) + orderBy(ctx));
    bindFilter(st, filter);
    st.exec();
    while (st.next()) {
        auto object = QSharedPointer<T>::create();
        object->setID(st.intAt(0));
        object->setName(st.textAt(1));
        readFields(d, st, 2, *object);
        visit(std::move(object));
    }
}

template <typename T, typename Read> QList<QSharedPointer<T>> collected(Read &&read)
{
    QList<QSharedPointer<T>> out;
    read([&out](QSharedPointer<T> &&object) { out.append(std::move(object)); });
    return out;
}

// A referenced object as the store hands it out: a reference knows its kind and its store, and a size
// standard its fragments.
void complete(const Context &ctx, Kind kind, const ObjectPtr &object)
{
    if (kind == Kind::MobilityReference) {
        const auto reference = qSharedPointerObjectCast<SizeCalibration>(object);
        reference->setKind(SizeCalibration::kMobilityReference);
        reference->setStore(ctx.store);
    } else if (kind == Kind::SizeStandard) {
        const kinds::ChildList &list = kinds::fragments();
        Statement st(ctx.db, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY %4")
                                 .arg(list.value, list.table, list.owner.first(), list.position));
        const auto standard = qSharedPointerObjectCast<SizeStandardSettings>(object);
        st.bind(standard->ID()).exec();
        QList<float> sizes;
        while (st.next())
            sizes.append(st.floatAt(0));
        standard->setFragmentSizes(sizes);
    }
}

// The objects a set refers to, each read once however often the set and its entries name it. The set's
// own references come joined to its row; others are read when first named.
class ReferenceCache
{
public:
    explicit ReferenceCache(const Context &ctx)
        : m_ctx(ctx)
    {}

    ObjectPtr find(Kind kind, qint32 id)
    {
        if (id <= 0)
            return {};
        const auto it = m_found.constFind(key(kind, id));
        if (it != m_found.cend())
            return *it;
        ObjectPtr found;
        Statement st(
            m_ctx.db,
            QStringLiteral("SELECT %1 FROM %2 t WHERE t.id = ?").arg(joinedColumns(kind), kinds::tableOf(kind)));
        st.bind(id).exec();
        if (st.next())
            found = readJoined(kind, st, 0);
        st.finish();
        adopt(kind, id, found);
        return found;
    }

    void adopt(Kind kind, qint32 id, const ObjectPtr &object)
    {
        if (object)
            complete(m_ctx, kind, object);
        m_found.insert(key(kind, id), object);
    }

    // ID, name and fields of the kind's row under the alias "t." (or the alias given).
    static QString joinedColumns(Kind kind, const QString &alias = QStringLiteral("t."))
    {
        return kinds::withDescriptor(kind, [&](const auto &d) { return columnsWith({"id", "name"}, d, alias); });
    }
    static int joinedCount(Kind kind)
    {
        return kinds::withDescriptor(kind, [](const auto &d) { return 2 + d.columnCount(); });
    }
    // The object of a joined row from column first, or null where the join found nothing.
    static ObjectPtr readJoined(Kind kind, const Statement &st, int first)
    {
        if (st.value(first).isNull())
            return {};
        return kinds::withDescriptor(kind, [&](const auto &d) -> ObjectPtr {
            auto object = QSharedPointer<typename std::decay_t<decltype(d)>::Object>::create();
            object->setID(st.intAt(first));
            object->setName(st.textAt(first + 1));
            readFields(d, st, first + 2, *object);
            return object;
        });
    }

    // The IDs of the references that follow the fields in the row, from column first on.
    template <typename T> static QList<qint32> ids(const kinds::Descriptor<T> &d, const Statement &st, int first)
    {
        QList<qint32> out;
        for (qsizetype i = 0; i < d.references.size(); ++i)
            out.append(st.intAt(first + int(i)));
        return out;
    }

    template <typename T> void attach(const kinds::Descriptor<T> &d, const QList<qint32> &ids, T &target)
    {
        for (qsizetype i = 0; i < d.references.size(); ++i)
            d.references[i].set(target, find(d.references[i].target, ids[i]));
    }

private:
    static quint64 key(Kind kind, qint32 id) { return (quint64(kind) << 32) | quint32(id); }

    const Context &m_ctx;
    QHash<quint64, ObjectPtr> m_found;
};

// The tags an entry lists, with every field of the tag, in the list's order.
template <typename T, typename Add>
void readTagLinks(const Context &ctx, const kinds::ChildList &links, const kinds::Descriptor<T> &tags, qint32 setId,
                  Add &&add)
{
    Statement st(ctx.db, QStringLiteral("SELECT l.entry_index, %1 FROM %2 l JOIN %3 t ON t.id = l.%4 "
                                        "WHERE l.set_id = ? ORDER BY l.entry_index, l.%5")
                             .arg(columnsWith({"id", "name"}, tags, QStringLiteral("t.")), links.table, tags.table,
                                  links.value, links.position));
    st.bind(setId).exec();
    while (st.next()) {
        auto tag = QSharedPointer<T>::create();
        tag->setID(st.intAt(1));
        tag->setName(st.textAt(2));
        readFields(tags, st, 3, *tag);
        add(st.intAt(0), std::move(tag));
    }
}

} // namespace

// ---- parameter sets -----------------------------------------------------------------------------

QList<AnalysisParameterPtr> parameterSets(const Context &ctx, bool includeHidden, const Filter &filter)
{
    return collected<AnalysisParameter>(
        [&](const Sink<AnalysisParameter> &sink) { readParameterSets(ctx, includeHidden, filter, sink); });
}

void readParameterSets(const Context &ctx, bool includeHidden, const Filter &filter,
                       const Sink<AnalysisParameter> &sink)
{
    QStringList conditions;
    if (!includeHidden)
        conditions << QStringLiteral("(attributes & %1) = 0").arg(limits::kHiddenBit);
    if (filter.by != Filter::All)
        conditions << condition(filter);
    QString sql = QStringLiteral("SELECT id, name, project_id FROM ") + kinds::sets().table;
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    Statement st(ctx.db, sql + orderBy(ctx));
    bindFilter(st, filter);
    st.exec();
    while (st.next()) {
        auto set = AnalysisParameterPtr::create();
        set->setID(st.intAt(0));
        set->setName(st.textAt(1));
        set->setProjectID(st.value(2).toInt());
        set->setStore(ctx.store);
        sink(std::move(set));
    }
}

std::optional<qint32> readSettings(const Context &ctx, const Filter &filter, FragAnalysisParam &target)
{
    const auto &d = kinds::sets();
    // The objects the set refers to come in the same statement, each joined with all its fields.
    QString sql = QStringLiteral("SELECT ") + columnsWith({"id", "name", "version"}, d, QStringLiteral("p."));
    QString joins;
    for (qsizetype i = 0; i < d.references.size(); ++i) {
        const kinds::Reference<FragAnalysisParam> &r = d.references[i];
        const QString alias = QStringLiteral("r%1").arg(i);
        sql += QStringLiteral(", ") + ReferenceCache::joinedColumns(r.target, alias + QLatin1Char('.'));
        joins += QStringLiteral(" LEFT JOIN %1 %2 ON %2.id = p.%3").arg(kinds::tableOf(r.target), alias, r.column);
    }
    Statement row(ctx.db,
                  sql + QStringLiteral(" FROM %1 p").arg(d.table) + joins + whereFilter(filter, QStringLiteral("p.")));
    bindFilter(row, filter);
    row.exec();
    if (!row.next())
        return std::nullopt;

    const qint32 id = row.intAt(0);
    const qint32 version = row.intAt(2);
    target.setID(id);
    target.setName(row.textAt(1));
    int c = readFields(d, row, 3, target);
    const QList<qint32> references = ReferenceCache::ids(d, row, c);
    c += int(d.references.size());
    QList<ObjectPtr> joined;
    for (const auto &r : d.references) {
        joined.append(ReferenceCache::readJoined(r.target, row, c));
        c += ReferenceCache::joinedCount(r.target);
    }
    row.finish();
    ReferenceCache cache(ctx);
    for (qsizetype i = 0; i < d.references.size(); ++i)
        if (references[i] > 0)
            cache.adopt(d.references[i].target, references[i], joined[i]);
    cache.attach(d, references, target);
    target.setStore(ctx.store);

    target.clearEntries();
    const auto &entry = kinds::entries();
    const auto &calibration = kinds::entryCalibrations();
    Statement entries(
        ctx.db, QStringLiteral("SELECT entry_index, %1, %2, %3 FROM %4 WHERE set_id = ? "
                               "ORDER BY entry_index")
                    .arg(entry.columnList(), kinds::kHasCalibrationColumn, calibration.columnList(), entry.table));
    entries.bind(id).exec();
    QHash<qint32, SizeCalibrationPtr> calibrations;
    while (entries.next()) {
        kinds::SetEntry e{&target, entries.intAt(0)};
        int c = readFields(entry, entries, 1, e);
        if (entries.boolAt(c++)) {
            auto calibrationRow = SizeCalibrationPtr::create();
            const int first = readFields(calibration, entries, c, *calibrationRow);
            cache.attach(calibration, ReferenceCache::ids(calibration, entries, first), *calibrationRow);
            calibrationRow->setStore(ctx.store);
            target.setSizeCalibration(e.index, calibrationRow);
            calibrations.insert(e.index, calibrationRow);
        }
    }
    entries.finish();

    if (!calibrations.isEmpty()) {
        const kinds::ChildList &peaks = kinds::selectedPeaks();
        Statement st(ctx.db, QStringLiteral("SELECT entry_index, %1 FROM %2 WHERE set_id = ? "
                                            "ORDER BY entry_index, %3")
                                 .arg(peaks.value, peaks.table, peaks.position));
        st.bind(id).exec();
        QHash<qint32, QList<qint16>> byEntry;
        while (st.next())
            byEntry[st.intAt(0)].append(qint16(st.intAt(1)));
        for (auto it = byEntry.cbegin(); it != byEntry.cend(); ++it)
            if (const SizeCalibrationPtr c = calibrations.value(it.key()))
                c->setSelectedPeaks(it.value());
    }

    if (target.EntryCount() > 0) {
        readTagLinks(ctx, kinds::strTagLinks(), kinds::strTags(), id, [&](qint32 e, STRLocusTagPtr &&tag) {
            tag->setStore(ctx.store);
            target.STRLocusTagsOf(e)->Add(tag);
        });
        readTagLinks(ctx, kinds::snpTagLinks(), kinds::snpTags(), id,
                     [&](qint32 e, SNPLocusTagSettingsPtr &&tag) { target.SNPLocusTagsOf(e)->Add(tag); });
    }
    return version;
}

// ---- definitions and tags -----------------------------------------------------------------------

QList<SizeStandardPtr> sizeStandards(const Context &ctx, const Filter &filter)
{
    QList<SizeStandardPtr> out;
    QHash<qint32, SizeStandardSettingsPtr> byId;
    readNamed(ctx, kinds::sizeStandards(), filter, [&](SizeStandardSettingsPtr &&data) {
        auto standard = SizeStandardPtr::create();
        standard->setID(data->ID());
        standard->setName(data->Name());
        standard->setStore(ctx.store);
        byId.insert(data->ID(), data);
        standard->setData(std::move(data));
        out.append(std::move(standard));
    });
    if (out.isEmpty())
        return out;

    const kinds::ChildList &list = kinds::fragments();
    const QString owner = list.owner.first();
    Statement fragments(ctx.db, QStringLiteral("SELECT f.%1, f.%2 FROM %3 f JOIN %4 s ON s.id = f.%1")
                                        .arg(owner, list.value, list.table, kinds::sizeStandards().table) +
                                    whereFilter(filter, QStringLiteral("s.")) +
                                    QStringLiteral(" ORDER BY f.%1, f.%2").arg(owner, list.position));
    bindFilter(fragments, filter);
    fragments.exec();
    QHash<qint32, QList<float>> sizes;
    while (fragments.next())
        sizes[fragments.intAt(0)].append(fragments.floatAt(1));
    for (auto it = sizes.cbegin(); it != sizes.cend(); ++it)
        if (const SizeStandardSettingsPtr data = byId.value(it.key()))
            data->setFragmentSizes(it.value());
    return out;
}

QList<MobilityCalibrationPtr> mobilityCalibrations(const Context &ctx, const Filter &filter)
{
    QList<MobilityCalibrationPtr> out;
    readNamed(ctx, kinds::mobilityCalibrations(), filter, [&](MobilityCalibrationSettingsPtr &&data) {
        auto calibration = MobilityCalibrationPtr::create();
        calibration->setID(data->ID());
        calibration->setName(data->Name());
        calibration->setData(std::move(data));
        calibration->setStore(ctx.store);
        out.append(std::move(calibration));
    });
    return out;
}

QList<SizeCalibrationPtr> mobilityReferences(const Context &ctx, const Filter &filter)
{
    QList<SizeCalibrationPtr> out;
    readNamed(ctx, kinds::mobilityReferences(), filter, [&](SizeCalibrationPtr &&reference) {
        reference->setKind(SizeCalibration::kMobilityReference);
        reference->setStore(ctx.store);
        out.append(std::move(reference));
    });
    return out;
}

QList<SNPLocusTagPtr> snpLocusTags(const Context &ctx, const Filter &filter)
{
    return collected<SNPLocusTag>([&](const Sink<SNPLocusTag> &sink) { readSnpLocusTags(ctx, filter, sink); });
}

void readSnpLocusTags(const Context &ctx, const Filter &filter, const Sink<SNPLocusTag> &sink)
{
    readNamed(ctx, kinds::snpTags(), filter, [&](SNPLocusTagSettingsPtr &&data) {
        auto tag = SNPLocusTagPtr::create();
        tag->setID(data->ID());
        tag->setTagData(std::move(data));
        tag->setStore(ctx.store);
        sink(std::move(tag));
    });
}

QList<STRLocusTagPtr> strLocusTags(const Context &ctx, const Filter &filter)
{
    QList<STRLocusTagPtr> out;
    readNamed(ctx, kinds::strTags(), filter, [&](STRLocusTagPtr &&tag) {
        tag->setStore(ctx.store);
        out.append(std::move(tag));
    });
    return out;
}

QList<ProjectPtr> projects(const Context &ctx, const Filter &filter)
{
    QList<ProjectPtr> out;
    readNamed(ctx, kinds::projects(), filter, [&](ProjectPtr &&project) {
        project->setProjectID(project->ID());
        project->setStore(ctx.store);
        out.append(std::move(project));
    });
    return out;
}

GridTypePtr gridType(const Context &ctx, qint32 gridTypeId)
{
    Statement head(ctx.db, QStringLiteral("SELECT id, name FROM grid_types WHERE id = ?"));
    head.bind(gridTypeId).exec();
    if (!head.next())
        return {};
    auto layout = GridTypePtr::create();
    layout->setID(head.intAt(0));
    layout->setGridTypeID(head.intAt(0));
    layout->setName(head.textAt(1));
    layout->setStore(ctx.store);
    head.finish();

    const kinds::ChildList &rows = kinds::gridColumnRows();
    const auto &d = kinds::gridColumns();
    Statement columns(ctx.db, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY %4")
                                  .arg(d.columnList(), rows.table, rows.owner.first(), rows.position));
    columns.bind(gridTypeId).exec();
    QList<GridType::Column> list;
    while (columns.next()) {
        GridType::Column column;
        readFields(d, columns, 0, column);
        list.append(column);
    }
    layout->setColumns(list);
    return layout;
}

QList<qint32> gridTypeIds(const Context &ctx)
{
    Statement st(ctx.db, QStringLiteral("SELECT id FROM grid_types ORDER BY id"));
    st.exec();
    QList<qint32> ids;
    while (st.next())
        ids.append(st.intAt(0));
    return ids;
}

qint32 idByName(const Context &ctx, Kind kind, const QString &name)
{
    Statement st(ctx.db, QStringLiteral("SELECT id FROM %1 WHERE name_key = ?").arg(kinds::tableOf(kind)));
    st.bind(nameKey(name)).exec();
    return st.next() ? st.intAt(0) : 0;
}

} // namespace veltrane::host::io
