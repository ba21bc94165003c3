#include "host/objects/store_io.h"

#include "veltrane/contracts/error.h"

#include <QHash>
#include <QStringList>
#include <QSysInfo>
#include <cmath>
#include <pwd.h>
#include <unistd.h>

namespace veltrane::host::io {

namespace {

const QString kSetSource = QStringLiteral("FragAnalysisParam");
const QString kStoreSource = QStringLiteral("SqlStore");

const char *tableOf(Kind kind)
{
    switch (kind) {
    case Kind::Project:
        return "projects";
    case Kind::SizeStandard:
        return "size_standards";
    case Kind::MobilityCalibration:
        return "mobility_calibrations";
    case Kind::MobilityReference:
        return "mobility_references";
    case Kind::StrTag:
        return "str_locus_tags";
    case Kind::SnpTag:
        return "snp_locus_tags";
    case Kind::Set:
        return "parameter_sets";
    }
    return "";
}

// Folded names compare by code point on both engines (a server's own collation could order them
// differently), so lists come out in the same order everywhere.
QString orderBy(const Context &ctx, const QString &alias = {})
{
    return QStringLiteral(" ORDER BY %1name_key%2, %1id")
        .arg(alias, ctx.engine == Engine::PostgreSQL ? QStringLiteral(" COLLATE \"C\"") : QString());
}

// The condition a filter adds (empty for all rows); bindFilter supplies its value.
QString condition(const Filter &filter, const QString &alias = {})
{
    switch (filter.by) {
    case Filter::Id:
        return alias + QStringLiteral("id = ?");
    case Filter::Name:
        return alias + QStringLiteral("name_key = ?");
    case Filter::All:
        break;
    }
    return {};
}

QString whereFilter(const Filter &filter, const QString &alias = {})
{
    const QString c = condition(filter, alias);
    return c.isEmpty() ? QString() : QStringLiteral(" WHERE ") + c;
}

void bindFilter(Statement &st, const Filter &filter)
{
    if (filter.by == Filter::Id)
        st.bind(filter.id);
    else if (filter.by == Filter::Name)
        st.bind(nameKey(filter.name));
}

QVariant nullableId(qint32 id)
{
    return id > 0 ? QVariant(id) : QVariant(QMetaType::fromType<int>());
}

Error duplicateName(const QString &what, const QString &name)
{
    return Error(kStoreDuplicateName, kStoreSource,
                 QStringLiteral("A %1 named \"%2\" is already stored.").arg(what, name));
}

void requireName(const QString &what, const QString &name)
{
    if (nameKey(name).isEmpty())
        throw Error(kStoreInvalidObject, kStoreSource, QStringLiteral("A %1 needs a name to be stored.").arg(what));
}

qint32 insertReturningId(Statement &st)
{
    st.exec();
    if (!st.next())
        throw Error(kStoreQueryFailed, kStoreSource, QStringLiteral("The database did not answer the new row's ID."));
    return st.intAt(0);
}

// ---- the columns of a parameter set, in one place for reading and writing ----------------------

// Fixed part, then five columns per quantitation row (the row's dye spectra flag with it).
const QStringList &setValueColumns()
{
    static const QStringList columns = [] {
        QStringList c{QStringLiteral("project_id"),
                      QStringLiteral("project_name"),
                      QStringLiteral("type_code"),
                      QStringLiteral("attributes"),
                      QStringLiteral("date_created"),
                      QStringLiteral("date_modified"),
                      QStringLiteral("slope_threshold"),
                      QStringLiteral("snp_analysis"),
                      QStringLiteral("size_standard_id"),
                      QStringLiteral("mobility_calibration_id"),
                      QStringLiteral("mobility_reference_id"),
                      QStringLiteral("use_calculated_dye_spectra"),
                      QStringLiteral("id_standard_by_size"),
                      QStringLiteral("quantity_by_height")};
        for (int i = 0; i < FragAnalysisParam::kRows; ++i)
            c << QStringLiteral("dye_spectra_%1").arg(i) << QStringLiteral("quant_size_time_%1").arg(i)
              << QStringLiteral("quant_window_%1").arg(i) << QStringLiteral("quant_amount_%1").arg(i)
              << QStringLiteral("quant_unit_%1").arg(i);
        return c;
    }();
    return columns;
}
constexpr int kFixedSetColumns = 14;

struct SetReferences
{
    qint32 sizeStandard = 0;
    qint32 mobilityCalibration = 0;
    qint32 mobilityReference = 0;
};

void bindSetValues(Statement &st, const FragAnalysisParam &s, const SetReferences &refs, const SetStamp &stamp)
{
    st.bind(s.ProjectID())
        .bind(s.ProjectName())
        .bind(s.TypeCode())
        .bind(stamp.attributes)
        .bind(stamp.dateCreated)
        .bind(stamp.dateModified)
        .bind(double(s.SlopeThreshold()))
        .bind(int(s.SNPAnalysis()))
        .bind(nullableId(refs.sizeStandard))
        .bind(nullableId(refs.mobilityCalibration))
        .bind(nullableId(refs.mobilityReference))
        .bind(int(s.UseCalculatedDyeSpectra()))
        .bind(s.IDStandardBySize())
        .bind(s.QuantityByHeight());
    for (int i = 0; i < FragAnalysisParam::kRows; ++i)
        st.bind(int(s.DyeSpectra(i)))
            .bind(double(s.QuantSizeTime(i)))
            .bind(double(s.QuantWindow(i)))
            .bind(double(s.QuantAmount(i)))
            .bind(s.QuantUnit(i));
}

// Resolves a referenced object to its row: by the ID it carries when that row exists, else by name.
qint32 resolveReference(const Context &ctx, Kind kind, const BusinessObject *object, const QString &what,
                        const QString &setName)
{
    if (!object)
        return 0;
    if (object->ID() > 0) {
        Statement st(ctx.db, QStringLiteral("SELECT id FROM %1 WHERE id = ?").arg(QLatin1String(tableOf(kind))));
        st.bind(object->ID()).exec();
        if (st.next())
            return object->ID();
    }
    if (const qint32 id = idByName(ctx, kind, object->Name()))
        return id;
    throw Error(
        kStoreInvalidObject, kSetSource,
        QStringLiteral("The %1 \"%2\" of the parameter set \"%3\" is not stored.").arg(what, object->Name(), setName));
}

SizeStandardSettingsPtr cachedSizeStandard(const Context &ctx, qint32 id, QHash<qint32, SizeStandardSettingsPtr> &cache)
{
    if (id <= 0)
        return {};
    auto it = cache.constFind(id);
    if (it != cache.cend())
        return *it;
    const QList<SizeStandardPtr> found = sizeStandards(ctx, Filter::byId(id));
    SizeStandardSettingsPtr data = found.isEmpty() ? SizeStandardSettingsPtr() : found.first()->Data();
    cache.insert(id, data);
    return data;
}

} // namespace

// ---- reading ------------------------------------------------------------------------------------

template <typename T, typename Read> QList<QSharedPointer<T>> collected(Read &&read)
{
    QList<QSharedPointer<T>> out;
    read([&out](QSharedPointer<T> &&object) { out.append(std::move(object)); });
    return out;
}

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
    QString sql = QStringLiteral("SELECT id, name, project_id FROM parameter_sets");
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
    Statement row(ctx.db, QStringLiteral("SELECT id, name, version, %1 FROM parameter_sets%2")
                              .arg(setValueColumns().join(QStringLiteral(", ")), whereFilter(filter)));
    bindFilter(row, filter);
    row.exec();
    if (!row.next())
        return std::nullopt;

    constexpr int v = 3; // first value column
    const qint32 id = row.intAt(0);
    const qint32 version = row.intAt(2);
    target.setID(id);
    target.setName(row.textAt(1));
    target.setProjectID(row.textAt(v + 0));
    target.setProjectName(row.textAt(v + 1));
    target.setTypeCode(row.intAt(v + 2));
    target.setAttributes(row.intAt(v + 3));
    target.setDateCreated(row.int64At(v + 4));
    target.setDateModified(row.int64At(v + 5));
    target.setSlopeThreshold(row.floatAt(v + 6));
    target.setSNPAnalysis(row.boolAt(v + 7));
    const qint32 sizeStandardId = row.intAt(v + 8);
    const qint32 calibrationId = row.intAt(v + 9);
    const qint32 referenceId = row.intAt(v + 10);
    target.setUseCalculatedDyeSpectra(row.boolAt(v + 11));
    target.setIDStandardBySize(row.intAt(v + 12));
    target.setQuantityByHeight(row.intAt(v + 13));
    for (int i = 0; i < FragAnalysisParam::kRows; ++i) {
        const int c = v + kFixedSetColumns + 5 * i;
        target.setDyeSpectra(i, row.boolAt(c));
        target.setQuantSizeTime(i, row.floatAt(c + 1));
        target.setQuantWindow(i, row.floatAt(c + 2));
        target.setQuantAmount(i, row.floatAt(c + 3));
        target.setQuantUnit(i, row.intAt(c + 4));
    }
    row.finish();
    target.setStore(ctx.store);

    QHash<qint32, SizeStandardSettingsPtr> standards;
    target.setSizeStandard(cachedSizeStandard(ctx, sizeStandardId, standards));
    target.setDyeMobilityCalibration({});
    if (calibrationId > 0) {
        const auto found = mobilityCalibrations(ctx, Filter::byId(calibrationId));
        if (!found.isEmpty())
            target.setDyeMobilityCalibration(found.first()->Data());
    }
    target.setStandardMobilityReference({});
    if (referenceId > 0) {
        const auto found = mobilityReferences(ctx, Filter::byId(referenceId));
        if (!found.isEmpty())
            target.setStandardMobilityReference(found.first());
    }

    target.clearEntries();
    Statement entries(ctx.db, QStringLiteral("SELECT entry_index, identify_alleles, relative_peak_height_threshold, "
                                             "confidence_level, has_calibration, calibration_name, calibration_kind, "
                                             "model_index, migration_variable, enum_type_id, "
                                             "calibration_size_standard_id FROM set_entries WHERE set_id = ? "
                                             "ORDER BY entry_index"));
    entries.bind(id).exec();
    QHash<qint32, SizeCalibrationPtr> calibrations;
    while (entries.next()) {
        const qint32 e = entries.intAt(0);
        target.setIdentifyAlleles(e, entries.boolAt(1));
        target.setRelativePeakHeightThreshold(e, entries.floatAt(2));
        target.setConfidenceLevel(e, entries.floatAt(3));
        if (entries.boolAt(4)) {
            auto calibration = SizeCalibrationPtr::create();
            calibration->setName(entries.textAt(5));
            calibration->setKind(entries.intAt(6));
            calibration->setModelIndex(entries.intAt(7));
            calibration->setMigrationVariable(entries.intAt(8));
            calibration->setEnumTypeID(entries.intAt(9));
            calibration->setSizeStandard(cachedSizeStandard(ctx, entries.intAt(10), standards));
            calibration->setStore(ctx.store);
            target.setSizeCalibration(e, calibration);
            calibrations.insert(e, calibration);
        }
    }
    entries.finish();

    if (!calibrations.isEmpty()) {
        Statement peaks(ctx.db, QStringLiteral("SELECT entry_index, peak FROM entry_selected_peaks WHERE set_id = ? "
                                               "ORDER BY entry_index, position"));
        peaks.bind(id).exec();
        QHash<qint32, QList<qint16>> byEntry;
        while (peaks.next())
            byEntry[peaks.intAt(0)].append(qint16(peaks.intAt(1)));
        for (auto it = byEntry.cbegin(); it != byEntry.cend(); ++it)
            if (const SizeCalibrationPtr c = calibrations.value(it.key()))
                c->setSelectedPeaks(it.value());
    }

    if (target.EntryCount() > 0) {
        Statement str(ctx.db, QStringLiteral("SELECT l.entry_index, t.id, t.name, t.dye, t.min_size, t.max_size, "
                                             "t.date_modified FROM set_str_tags l "
                                             "JOIN str_locus_tags t ON t.id = l.tag_id WHERE l.set_id = ? "
                                             "ORDER BY l.entry_index, l.position"));
        str.bind(id).exec();
        while (str.next()) {
            auto tag = STRLocusTagPtr::create();
            tag->setID(str.intAt(1));
            tag->setName(str.textAt(2));
            tag->setDye(qint16(str.intAt(3)));
            tag->setMinSize(str.floatAt(4));
            tag->setMaxSize(str.floatAt(5));
            tag->setDateModified(str.int64At(6));
            tag->setStore(ctx.store);
            target.STRLocusTagsOf(str.intAt(0))->Add(tag);
        }
        str.finish();

        Statement snp(ctx.db, QStringLiteral("SELECT l.entry_index, t.id, t.name, t.tag_number, t.text1, t.text2, "
                                             "t.text3, t.text4, t.date_modified FROM set_snp_tags l "
                                             "JOIN snp_locus_tags t ON t.id = l.tag_id WHERE l.set_id = ? "
                                             "ORDER BY l.entry_index, l.position"));
        snp.bind(id).exec();
        while (snp.next()) {
            auto tag = SNPLocusTagSettingsPtr::create();
            tag->setID(snp.intAt(1));
            tag->setName(snp.textAt(2));
            tag->setTagNumber(snp.floatAt(3));
            for (int t = 0; t < 4; ++t)
                tag->setTagText(t + 1, snp.textAt(4 + t));
            tag->setDateModified(snp.int64At(8));
            target.SNPLocusTagsOf(snp.intAt(0))->Add(tag);
        }
    }
    return version;
}

QList<SizeStandardPtr> sizeStandards(const Context &ctx, const Filter &filter)
{
    Statement st(ctx.db, QStringLiteral("SELECT id, name, attributes, dye_index, fit_coefficient FROM size_standards") +
                             whereFilter(filter) + orderBy(ctx));
    bindFilter(st, filter);
    st.exec();
    QList<SizeStandardPtr> out;
    QHash<qint32, SizeStandardSettingsPtr> byId;
    while (st.next()) {
        auto data = SizeStandardSettingsPtr::create();
        data->setID(st.intAt(0));
        data->setName(st.textAt(1));
        data->setAttributes(st.intAt(2));
        data->setDyeIndex(qint16(st.intAt(3)));
        data->setFitCoefficient(st.floatAt(4));
        auto standard = SizeStandardPtr::create();
        standard->setID(data->ID());
        standard->setName(data->Name());
        standard->setData(data);
        standard->setStore(ctx.store);
        byId.insert(data->ID(), data);
        out.append(std::move(standard));
    }
    st.finish();
    if (out.isEmpty())
        return out;

    Statement fragments(ctx.db, QStringLiteral("SELECT f.size_standard_id, f.size FROM size_standard_fragments f "
                                               "JOIN size_standards s ON s.id = f.size_standard_id") +
                                    whereFilter(filter, QStringLiteral("s.")) +
                                    QStringLiteral(" ORDER BY f.size_standard_id, f.position"));
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
    QStringList coefficients;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            coefficients << QStringLiteral("c%1%2").arg(r).arg(c);
    Statement st(ctx.db, QStringLiteral("SELECT id, name, %1 FROM mobility_calibrations").arg(coefficients.join(u',')) +
                             whereFilter(filter) + orderBy(ctx));
    bindFilter(st, filter);
    st.exec();
    QList<MobilityCalibrationPtr> out;
    while (st.next()) {
        auto data = MobilityCalibrationSettingsPtr::create();
        data->setID(st.intAt(0));
        data->setName(st.textAt(1));
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                data->setCoefficient(qint16(r), qint16(c), st.floatAt(2 + 4 * r + c));
        auto calibration = MobilityCalibrationPtr::create();
        calibration->setID(data->ID());
        calibration->setName(data->Name());
        calibration->setData(data);
        calibration->setStore(ctx.store);
        out.append(std::move(calibration));
    }
    return out;
}

QList<SizeCalibrationPtr> mobilityReferences(const Context &ctx, const Filter &filter)
{
    Statement st(ctx.db, QStringLiteral("SELECT id, name, enum_type_id FROM mobility_references") +
                             whereFilter(filter) + orderBy(ctx));
    bindFilter(st, filter);
    st.exec();
    QList<SizeCalibrationPtr> out;
    while (st.next()) {
        auto reference = SizeCalibrationPtr::create();
        reference->setKind(SizeCalibration::kMobilityReference);
        reference->setID(st.intAt(0));
        reference->setName(st.textAt(1));
        reference->setEnumTypeID(st.intAt(2));
        reference->setStore(ctx.store);
        out.append(std::move(reference));
    }
    return out;
}

QList<SNPLocusTagPtr> snpLocusTags(const Context &ctx, const Filter &filter)
{
    return collected<SNPLocusTag>([&](const Sink<SNPLocusTag> &sink) { readSnpLocusTags(ctx, filter, sink); });
}

void readSnpLocusTags(const Context &ctx, const Filter &filter, const Sink<SNPLocusTag> &sink)
{
    Statement st(
        ctx.db,
        QStringLiteral("SELECT id, name, tag_number, text1, text2, text3, text4, date_modified FROM snp_locus_tags") +
            whereFilter(filter) + orderBy(ctx));
    bindFilter(st, filter);
    st.exec();
    while (st.next()) {
        auto data = SNPLocusTagSettingsPtr::create();
        data->setID(st.intAt(0));
        data->setName(st.textAt(1));
        data->setTagNumber(st.floatAt(2));
        data->setTagText1(st.textAt(3));
        data->setTagText2(st.textAt(4));
        data->setTagText3(st.textAt(5));
        data->setTagText4(st.textAt(6));
        data->setDateModified(st.int64At(7));
        auto tag = SNPLocusTagPtr::create();
        tag->setID(data->ID());
        tag->setTagData(std::move(data));
        tag->setStore(ctx.store);
        sink(std::move(tag));
    }
}

QList<STRLocusTagPtr> strLocusTags(const Context &ctx, const Filter &filter)
{
    Statement st(ctx.db, QStringLiteral("SELECT id, name, dye, min_size, max_size, date_modified FROM str_locus_tags") +
                             whereFilter(filter) + orderBy(ctx));
    bindFilter(st, filter);
    st.exec();
    QList<STRLocusTagPtr> out;
    while (st.next()) {
        auto tag = STRLocusTagPtr::create();
        tag->setID(st.intAt(0));
        tag->setName(st.textAt(1));
        tag->setDye(qint16(st.intAt(2)));
        tag->setMinSize(st.floatAt(3));
        tag->setMaxSize(st.floatAt(4));
        tag->setDateModified(st.int64At(5));
        tag->setStore(ctx.store);
        out.append(std::move(tag));
    }
    return out;
}

QList<ProjectPtr> projects(const Context &ctx, const Filter &filter)
{
    Statement st(ctx.db, QStringLiteral("SELECT id, name FROM projects") + whereFilter(filter) + orderBy(ctx));
    bindFilter(st, filter);
    st.exec();
    QList<ProjectPtr> out;
    while (st.next()) {
        auto project = ProjectPtr::create();
        project->setID(st.intAt(0));
        project->setProjectID(project->ID());
        project->setName(st.textAt(1));
        project->setStore(ctx.store);
        out.append(std::move(project));
    }
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

    Statement columns(ctx.db, QStringLiteral("SELECT title, width_twips, alignment FROM grid_type_columns "
                                             "WHERE grid_type_id = ? ORDER BY position"));
    columns.bind(gridTypeId).exec();
    QList<GridType::Column> list;
    while (columns.next())
        list.append(GridType::Column{columns.textAt(0), columns.intAt(1), columns.intAt(2)});
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

// ---- writing ------------------------------------------------------------------------------------

std::optional<StoredSet> findSet(const Context &ctx, const QString &name, bool lockRow)
{
    QString sql = QStringLiteral("SELECT id, name, version, attributes, date_created, date_modified "
                                 "FROM parameter_sets WHERE name_key = ?");
    // SQLite has no row locks; its write transactions (BEGIN IMMEDIATE) already exclude each other.
    if (lockRow && ctx.engine == Engine::PostgreSQL)
        sql += QStringLiteral(" FOR UPDATE");
    Statement st(ctx.db, sql);
    st.bind(nameKey(name)).exec();
    if (!st.next())
        return std::nullopt;
    return StoredSet{st.intAt(0), st.textAt(1), st.intAt(2), st.intAt(3), st.int64At(4), st.int64At(5)};
}

namespace {

// SQLite cannot keep a NaN (it would read back as nothing), so neither engine takes one.
void requireNumbers(const FragAnalysisParam &s)
{
    auto check = [&](float value, const QString &field) {
        if (std::isnan(value))
            throw Error(
                kStoreInvalidObject, kSetSource,
                QStringLiteral("The parameter set \"%1\" cannot be stored: %2 is not a number.").arg(s.Name(), field));
    };
    check(s.SlopeThreshold(), QStringLiteral("SlopeThreshold"));
    for (int i = 0; i < FragAnalysisParam::kRows; ++i) {
        check(s.QuantSizeTime(i), QStringLiteral("QuantSizeTime(%1)").arg(i));
        check(s.QuantWindow(i), QStringLiteral("QuantWindow(%1)").arg(i));
        check(s.QuantAmount(i), QStringLiteral("QuantAmount(%1)").arg(i));
    }
    for (qint32 e = 0; e < s.EntryCount(); ++e) {
        check(s.RelativePeakHeightThreshold(e), QStringLiteral("RelativePeakHeightThreshold(%1)").arg(e));
        check(s.ConfidenceLevel(e), QStringLiteral("ConfidenceLevel(%1)").arg(e));
    }
}

} // namespace

WrittenSet writeSet(const Context &ctx, FragAnalysisParam &s, const std::optional<StoredSet> &replacing,
                    const SetStamp &stamp)
{
    const QString name = s.Name();
    if (nameKey(name).isEmpty())
        throw Error(kStoreInvalidObject, kSetSource, QStringLiteral("A parameter set needs a name to be stored."));
    requireNumbers(s);

    SetReferences refs;
    refs.sizeStandard =
        resolveReference(ctx, Kind::SizeStandard, s.SizeStandard().data(), QStringLiteral("size standard"), name);
    refs.mobilityCalibration = resolveReference(ctx, Kind::MobilityCalibration, s.DyeMobilityCalibration().data(),
                                                QStringLiteral("dye mobility calibration"), name);
    refs.mobilityReference = resolveReference(ctx, Kind::MobilityReference, s.StandardMobilityReference().data(),
                                              QStringLiteral("standard mobility reference"), name);

    const QStringList &columns = setValueColumns();
    qint32 id = 0;
    qint32 version = 1;
    if (replacing) {
        id = replacing->id;
        version = replacing->version + 1;
        Statement st(
            ctx.db, QStringLiteral("UPDATE parameter_sets SET name = ?, name_key = ?, version = ?, %1 = ? WHERE id = ?")
                        .arg(columns.join(QStringLiteral(" = ?, "))));
        st.bind(name).bind(nameKey(name)).bind(version);
        bindSetValues(st, s, refs, stamp);
        st.bind(id).exec();
        // Children are rewritten whole: a set is always stored as one complete object.
        for (const char *child : {"set_snp_tags", "set_str_tags", "entry_selected_peaks", "set_entries"}) {
            Statement del(ctx.db, QStringLiteral("DELETE FROM %1 WHERE set_id = ?").arg(QLatin1String(child)));
            del.bind(id).exec();
        }
    } else {
        QString placeholders = QStringLiteral("?, ?, ?");
        for (qsizetype i = 0; i < columns.size(); ++i)
            placeholders += QStringLiteral(", ?");
        Statement st(ctx.db,
                     QStringLiteral("INSERT INTO parameter_sets (name, name_key, version, %1) VALUES (%2) RETURNING id")
                         .arg(columns.join(QStringLiteral(", ")), placeholders));
        st.bind(name).bind(nameKey(name)).bind(version);
        bindSetValues(st, s, refs, stamp);
        id = insertReturningId(st);
    }
    Statement writer(ctx.db, QStringLiteral("UPDATE parameter_sets SET modified_by = ? WHERE id = ?"));
    writer.bind(workstation()).bind(id).exec();

    if (s.EntryCount() == 0)
        return {id, version};

    Statement entry(ctx.db, QStringLiteral("INSERT INTO set_entries (set_id, entry_index, identify_alleles, "
                                           "relative_peak_height_threshold, confidence_level, has_calibration, "
                                           "calibration_name, calibration_kind, model_index, migration_variable, "
                                           "enum_type_id, calibration_size_standard_id) "
                                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    std::optional<Statement> peak;
    std::optional<Statement> strById, snpById, strLink, snpLink;
    // A tag carrying a stored ID links in one statement; the SELECT proves the tag exists.
    const QString linkById = QStringLiteral("INSERT INTO %1 (set_id, entry_index, position, tag_id) "
                                            "SELECT CAST(? AS INTEGER), CAST(? AS INTEGER), CAST(? AS INTEGER), id "
                                            "FROM %2 WHERE id = ?");
    const QString link = QStringLiteral("INSERT INTO %1 (set_id, entry_index, position, tag_id) VALUES (?, ?, ?, ?)");

    auto linkTag = [&](std::optional<Statement> &byId, std::optional<Statement> &plain, const char *linkTable,
                       Kind kind, const char *tagTable, const QString &what, const BusinessObject &tag, int e,
                       int position) {
        if (tag.ID() > 0) {
            if (!byId)
                byId.emplace(ctx.db, linkById.arg(QLatin1String(linkTable), QLatin1String(tagTable)));
            byId->bind(id).bind(e).bind(position).bind(tag.ID()).exec();
            if (byId->rowsAffected() == 1)
                return;
        }
        const qint32 tagId = idByName(ctx, kind, tag.Name());
        if (tagId <= 0)
            throw Error(
                kStoreInvalidObject, kSetSource,
                QStringLiteral("The %1 \"%2\" of the parameter set \"%3\" is not stored.").arg(what, tag.Name(), name));
        if (!plain)
            plain.emplace(ctx.db, link.arg(QLatin1String(linkTable)));
        plain->bind(id).bind(e).bind(position).bind(tagId).exec();
    };

    for (qint32 e = 0; e < s.EntryCount(); ++e) {
        const SizeCalibrationPtr calibration = s.SizeCalibration(e);
        qint32 entryStandard = 0;
        if (calibration)
            entryStandard = resolveReference(ctx, Kind::SizeStandard, calibration->SizeStandard().data(),
                                             QStringLiteral("size standard"), name);
        entry.bind(id)
            .bind(e)
            .bind(int(s.IdentifyAlleles(e)))
            .bind(double(s.RelativePeakHeightThreshold(e)))
            .bind(double(s.ConfidenceLevel(e)))
            .bind(int(bool(calibration)))
            .bind(calibration ? calibration->Name() : QString())
            .bind(calibration ? calibration->Kind() : qint32(SizeCalibration::kSizeCalling))
            .bind(calibration ? calibration->ModelIndex() : 0)
            .bind(calibration ? calibration->MigrationVariable() : 0)
            .bind(calibration ? calibration->EnumTypeID() : 0)
            .bind(nullableId(entryStandard))
            .exec();

        if (calibration && !calibration->SelectedPeaks().isEmpty()) {
            if (!peak)
                peak.emplace(ctx.db, QStringLiteral("INSERT INTO entry_selected_peaks (set_id, entry_index, position, "
                                                    "peak) VALUES (?, ?, ?, ?)"));
            const QList<qint16> peaks = calibration->SelectedPeaks();
            for (qsizetype p = 0; p < peaks.size(); ++p)
                peak->bind(id).bind(e).bind(int(p)).bind(int(peaks[p])).exec();
        }

        int position = 0;
        for (const QVariant &item : *s.STRLocusTagsOf(e)) {
            const auto tag = objectFrom<STRLocusTag>(item);
            if (!tag)
                throw Error(kStoreInvalidObject, kSetSource,
                            QStringLiteral("The STR locus tag list of the parameter set \"%1\" holds something that "
                                           "is not an STR locus tag.")
                                .arg(name));
            linkTag(strById, strLink, "set_str_tags", Kind::StrTag, "str_locus_tags", QStringLiteral("STR locus tag"),
                    *tag, e, position++);
        }
        position = 0;
        for (const QVariant &item : *s.SNPLocusTagsOf(e)) {
            // The list holds tag settings; a whole tag object is accepted for its settings.
            SNPLocusTagSettingsPtr tag = objectFrom<SNPLocusTagSettings>(item);
            if (!tag)
                if (const auto whole = objectFrom<SNPLocusTag>(item))
                    tag = whole->TagData();
            if (!tag)
                throw Error(kStoreInvalidObject, kSetSource,
                            QStringLiteral("The SNP locus tag list of the parameter set \"%1\" holds something that "
                                           "is not an SNP locus tag.")
                                .arg(name));
            linkTag(snpById, snpLink, "set_snp_tags", Kind::SnpTag, "snp_locus_tags", QStringLiteral("SNP locus tag"),
                    *tag, e, position++);
        }
    }
    return {id, version};
}

QString workstation()
{
    static const QString who = [] {
        QString user = qEnvironmentVariable("USER");
        if (user.isEmpty())
            if (const passwd *entry = ::getpwuid(::getuid()))
                user = QString::fromLocal8Bit(entry->pw_name);
        const QString machine = QSysInfo::machineHostName();
        if (user.isEmpty())
            return machine;
        return machine.isEmpty() ? user : QStringLiteral("%1 on %2").arg(user, machine);
    }();
    return who;
}

QString lastWriter(const Context &ctx, qint32 setId)
{
    Statement st(ctx.db, QStringLiteral("SELECT modified_by FROM parameter_sets WHERE id = ?"));
    st.bind(setId).exec();
    return st.next() ? st.textAt(0) : QString();
}

qint32 idByName(const Context &ctx, Kind kind, const QString &name)
{
    Statement st(ctx.db, QStringLiteral("SELECT id FROM %1 WHERE name_key = ?").arg(QLatin1String(tableOf(kind))));
    st.bind(nameKey(name)).exec();
    return st.next() ? st.intAt(0) : 0;
}

// A stored object needs a name no other object of its kind holds (owner: the object's own ID when it
// is being updated, 0 for a new one).
static void requireFreeName(const Context &ctx, Kind kind, const QString &what, const QString &name, qint32 owner = 0)
{
    requireName(what, name);
    const qint32 holder = idByName(ctx, kind, name);
    if (holder && holder != owner)
        throw duplicateName(what, name);
}

qint32 insertProject(const Context &ctx, const QString &name)
{
    requireFreeName(ctx, Kind::Project, QStringLiteral("project"), name);
    Statement st(ctx.db, QStringLiteral("INSERT INTO projects (name, name_key) VALUES (?, ?) RETURNING id"));
    st.bind(name).bind(nameKey(name));
    return insertReturningId(st);
}

qint32 insertSizeStandard(const Context &ctx, const SizeStandardSettings &standard)
{
    requireFreeName(ctx, Kind::SizeStandard, QStringLiteral("size standard"), standard.Name());
    Statement st(ctx.db, QStringLiteral("INSERT INTO size_standards (name, name_key, attributes, dye_index, "
                                        "fit_coefficient) VALUES (?, ?, ?, ?, ?) RETURNING id"));
    st.bind(standard.Name())
        .bind(nameKey(standard.Name()))
        .bind(standard.Attributes())
        .bind(int(standard.DyeIndex()))
        .bind(double(standard.FitCoefficient()));
    const qint32 id = insertReturningId(st);
    st.finish();
    Statement fragment(ctx.db, QStringLiteral("INSERT INTO size_standard_fragments (size_standard_id, position, size) "
                                              "VALUES (?, ?, ?)"));
    const QList<float> sizes = standard.FragmentSizes();
    for (qsizetype i = 0; i < sizes.size(); ++i)
        fragment.bind(id).bind(int(i)).bind(double(sizes[i])).exec();
    return id;
}

qint32 insertMobilityCalibration(const Context &ctx, const MobilityCalibrationSettings &calibration)
{
    requireFreeName(ctx, Kind::MobilityCalibration, QStringLiteral("dye mobility calibration"), calibration.Name());
    QStringList columns;
    QString placeholders = QStringLiteral("?, ?");
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            columns << QStringLiteral("c%1%2").arg(r).arg(c);
            placeholders += QStringLiteral(", ?");
        }
    Statement st(ctx.db,
                 QStringLiteral("INSERT INTO mobility_calibrations (name, name_key, %1) VALUES (%2) RETURNING id")
                     .arg(columns.join(u','), placeholders));
    st.bind(calibration.Name()).bind(nameKey(calibration.Name()));
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            st.bind(double(calibration.Coefficient(qint16(r), qint16(c))));
    return insertReturningId(st);
}

qint32 insertMobilityReference(const Context &ctx, const QString &name, qint32 enumTypeId)
{
    requireFreeName(ctx, Kind::MobilityReference, QStringLiteral("standard mobility reference"), name);
    Statement st(ctx.db, QStringLiteral("INSERT INTO mobility_references (name, name_key, enum_type_id) "
                                        "VALUES (?, ?, ?) RETURNING id"));
    st.bind(name).bind(nameKey(name)).bind(enumTypeId);
    return insertReturningId(st);
}

qint32 insertStrLocusTag(const Context &ctx, const STRLocusTag &tag)
{
    requireFreeName(ctx, Kind::StrTag, QStringLiteral("STR locus tag"), tag.Name());
    Statement st(ctx.db, QStringLiteral("INSERT INTO str_locus_tags (name, name_key, dye, min_size, max_size, "
                                        "date_modified) VALUES (?, ?, ?, ?, ?, ?) RETURNING id"));
    st.bind(tag.Name())
        .bind(nameKey(tag.Name()))
        .bind(int(tag.Dye()))
        .bind(double(tag.MinSize()))
        .bind(double(tag.MaxSize()))
        .bind(tag.DateModified());
    return insertReturningId(st);
}

qint32 insertSnpLocusTag(const Context &ctx, const SNPLocusTagSettings &tag)
{
    requireFreeName(ctx, Kind::SnpTag, QStringLiteral("SNP locus tag"), tag.Name());
    Statement st(ctx.db, QStringLiteral("INSERT INTO snp_locus_tags (name, name_key, tag_number, text1, text2, text3, "
                                        "text4, date_modified) VALUES (?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"));
    st.bind(tag.Name())
        .bind(nameKey(tag.Name()))
        .bind(double(tag.TagNumber()))
        .bind(tag.TagText1())
        .bind(tag.TagText2())
        .bind(tag.TagText3())
        .bind(tag.TagText4())
        .bind(tag.DateModified());
    return insertReturningId(st);
}

void updateSnpLocusTag(const Context &ctx, const SNPLocusTagSettings &tag)
{
    requireFreeName(ctx, Kind::SnpTag, QStringLiteral("SNP locus tag"), tag.Name(), tag.ID());
    Statement st(ctx.db, QStringLiteral("UPDATE snp_locus_tags SET name = ?, name_key = ?, tag_number = ?, text1 = ?, "
                                        "text2 = ?, text3 = ?, text4 = ?, date_modified = ? WHERE id = ?"));
    st.bind(tag.Name())
        .bind(nameKey(tag.Name()))
        .bind(double(tag.TagNumber()))
        .bind(tag.TagText1())
        .bind(tag.TagText2())
        .bind(tag.TagText3())
        .bind(tag.TagText4())
        .bind(tag.DateModified())
        .bind(tag.ID())
        .exec();
    if (st.rowsAffected() != 1)
        throw Error(
            kStoreNotFound, QStringLiteral("SNPLocusTag"),
            QStringLiteral("The SNP locus tag \"%1\" (ID %2) is no longer stored.").arg(tag.Name()).arg(tag.ID()));
}

void insertGridType(const Context &ctx, const GridType &layout)
{
    Statement head(ctx.db, QStringLiteral("INSERT INTO grid_types (id, name) VALUES (?, ?)"));
    head.bind(layout.GridTypeID()).bind(layout.Name()).exec();
    Statement column(ctx.db,
                     QStringLiteral("INSERT INTO grid_type_columns (grid_type_id, position, title, width_twips, "
                                    "alignment) VALUES (?, ?, ?, ?, ?)"));
    const QList<GridType::Column> &columns = layout.columns();
    for (qsizetype i = 0; i < columns.size(); ++i)
        column.bind(layout.GridTypeID())
            .bind(int(i + 1))
            .bind(columns[i].title)
            .bind(columns[i].widthTwips)
            .bind(columns[i].alignment)
            .exec();
}

} // namespace veltrane::host::io
