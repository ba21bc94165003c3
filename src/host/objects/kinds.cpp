#include "host/objects/kinds.h"

#include <QRegularExpression>

namespace veltrane::host::kinds {

namespace {

// ---- values as the store keeps them -------------------------------------------------------------

// Whole numbers travel as int (dates as qint64), singles as double, flags as 0 or 1.
template <typename V> QVariant stored(const V &v)
{
    if constexpr (std::is_same_v<V, QString>)
        return v;
    else if constexpr (std::is_same_v<V, bool>)
        return int(v);
    else if constexpr (std::is_same_v<V, float>)
        return double(v);
    else if constexpr (std::is_same_v<V, qint64>)
        return v;
    else
        return int(v);
}

template <typename V> V fromStored(const QVariant &v)
{
    if constexpr (std::is_same_v<V, QString>)
        return v.toString();
    else if constexpr (std::is_same_v<V, bool>)
        return v.toInt() != 0;
    else if constexpr (std::is_same_v<V, float>)
        return float(v.toDouble());
    else if constexpr (std::is_same_v<V, qint64>)
        return v.toLongLong();
    else
        return V(v.toInt());
}

template <typename V> constexpr Type typeOf()
{
    if constexpr (std::is_same_v<V, QString>)
        return Type::Text;
    else if constexpr (std::is_same_v<V, bool>)
        return Type::Bool;
    else if constexpr (std::is_same_v<V, float>)
        return Type::Float;
    else if constexpr (std::is_same_v<V, qint64>)
        return Type::Date;
    else if constexpr (std::is_same_v<V, qint16>)
        return Type::Int16;
    else
        return Type::Int32;
}

// The value type of a getter (a member function or a data member).
template <typename M> struct Member;
template <typename C, typename R, typename... A> struct Member<R (C::*)(A...) const>
{
    using Value = std::decay_t<R>;
};
template <typename C, typename R> struct Member<R C::*>
{
    using Value = std::decay_t<R>;
};

// "quantitation[4].sizeTime" with subscripts {2}: the path "quantitation[2].sizeTime" and its steps.
// The number in brackets is the size of the list; subscripts fill the brackets in order.
QString expandPath(const QString &pattern, const QList<int> &subscripts, QList<PathStep> *steps)
{
    static const QRegularExpression token(QStringLiteral("([A-Za-z]+)|\\[(\\d+)\\]"));
    QString path;
    qsizetype next = 0;
    for (auto it = token.globalMatch(pattern); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.hasCaptured(1)) {
            if (!path.isEmpty())
                path += QLatin1Char('.');
            path += m.captured(1);
            steps->append(PathStep{m.captured(1), -1, 0});
        } else {
            const int index = subscripts.value(next++);
            path += QStringLiteral("[%1]").arg(index);
            steps->append(PathStep{QString(), index, m.captured(2).toInt()});
        }
    }
    Q_ASSERT(next == subscripts.size());
    return path;
}

template <typename T>
Field<T> named(const QString &property, const QString &propertyName, qint32 index, const QString &column,
               const QString &pattern, const QList<int> &subscripts, Type type)
{
    Field<T> f;
    f.property = property;
    f.propertyName = propertyName;
    f.index = index;
    f.column = column;
    if (!pattern.isEmpty())
        f.path = expandPath(pattern, subscripts, &f.steps);
    f.type = type;
    return f;
}

// A property with a getter and a setter.
template <typename T, auto get, auto set> Field<T> plain(const char *property, const char *column, const char *label)
{
    using V = typename Member<decltype(get)>::Value;
    Field<T> f = named<T>(QLatin1String(property), QLatin1String(property), -1, QLatin1String(column),
                          QLatin1String(label), {}, typeOf<V>());
    f.get = [](const T &o, qint32) { return stored<V>((o.*get)()); };
    f.set = [](T &o, qint32, const QVariant &v) { (o.*set)(fromStored<V>(v)); };
    return f;
}

// An indexed property (Get(i), Set(i, v)) with one column and one list item per index. base is the
// first index the property takes, and the number in the column name.
template <typename T, auto get, auto set, int base = 0>
QList<Field<T>> repeated(const char *property, const char *columnPattern, const char *labelPattern, int count)
{
    using V = typename Member<decltype(get)>::Value;
    QList<Field<T>> out;
    for (int i = 0; i < count; ++i) {
        Field<T> f =
            named<T>(QStringLiteral("%1(%2)").arg(QLatin1String(property)).arg(i + base), QLatin1String(property), i,
                     QString::fromLatin1(columnPattern).arg(i + base), QLatin1String(labelPattern), {i}, typeOf<V>());
        f.get = [](const T &o, qint32 index) { return stored<V>((o.*get)(index + base)); };
        f.set = [](T &o, qint32 index, const QVariant &v) { (o.*set)(index + base, fromStored<V>(v)); };
        out.append(f);
    }
    return out;
}

// A property indexed by row and column (Get(r, c), Set(r, c, v)).
template <typename T, auto get, auto set, int rows, int columns>
QList<Field<T>> matrix(const char *property, const char *columnPattern, const char *labelPattern)
{
    using V = typename Member<decltype(get)>::Value;
    QList<Field<T>> out;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            Field<T> f =
                named<T>(QStringLiteral("%1(%2, %3)").arg(QLatin1String(property)).arg(r).arg(c),
                         QLatin1String(property), r * columns + c, QString::fromLatin1(columnPattern).arg(r).arg(c),
                         QLatin1String(labelPattern), {r, c}, typeOf<V>());
            f.get = [](const T &o, qint32 i) { return stored<V>((o.*get)(qint16(i / columns), qint16(i % columns))); };
            f.set = [](T &o, qint32 i, const QVariant &v) {
                (o.*set)(qint16(i / columns), qint16(i % columns), fromStored<V>(v));
            };
            out.append(f);
        }
    return out;
}

// A field of a set that belongs to one of its entries (Get(entry), Set(entry, v)).
template <auto get, auto set> Field<SetEntry> ofEntry(const char *property, const char *column, const char *label)
{
    using V = typename Member<decltype(get)>::Value;
    Field<SetEntry> f = named<SetEntry>(QLatin1String(property), QLatin1String(property), -1, QLatin1String(column),
                                        QLatin1String(label), {}, typeOf<V>());
    f.get = [](const SetEntry &e, qint32) { return stored<V>((e.set->*get)(e.index)); };
    f.set = [](SetEntry &e, qint32, const QVariant &v) { (e.set->*set)(e.index, fromStored<V>(v)); };
    return f;
}

// A data member of a plain structure.
template <typename T, auto member> Field<T> ofMember(const char *property, const char *column)
{
    using V = typename Member<decltype(member)>::Value;
    Field<T> f = named<T>(QLatin1String(property), QLatin1String(property), -1, QLatin1String(column), QString(), {},
                          typeOf<V>());
    f.get = [](const T &o, qint32) { return stored<V>(o.*member); };
    f.set = [](T &o, qint32, const QVariant &v) { o.*member = fromStored<V>(v); };
    return f;
}

template <typename T> Field<T> stamped(Field<T> f, Stamp stamp)
{
    f.stamp = stamp;
    return f;
}

template <typename T> Field<T> defaulting(Field<T> f, const char *sqlDefault)
{
    f.sqlDefault = sqlDefault;
    return f;
}

// Owner is the class being described in each function below; the property's name is its getter's,
// and its setter is set<Property>, so a field cannot name one property and write another.
#define KIND_FIELD(P, column, label) plain<Owner, &Owner::P, &Owner::set##P>(#P, column, label)
#define KIND_ROWS(P, column, label, count) repeated<Owner, &Owner::P, &Owner::set##P>(#P, column, label, count)
#define KIND_REFERENCE(P, Class, column, label, kind)                                                                  \
    Reference<Owner>                                                                                                   \
    {                                                                                                                  \
        QStringLiteral(#P), QStringLiteral(column), QStringLiteral(label), kind,                                       \
            [](const Owner &o) -> const BusinessObject * { return o.P().data(); },                                     \
            [](Owner &o, const ObjectPtr &p) { o.set##P(qSharedPointerObjectCast<Class>(p)); }                         \
    }

} // namespace

const Descriptor<Project> &projects()
{
    static const Descriptor<Project> d{
        QStringLiteral("projects"), QStringLiteral("projects"), QStringLiteral("project"), {}, {}};
    return d;
}

const Descriptor<SizeStandardSettings> &sizeStandards()
{
    using Owner = SizeStandardSettings;
    static const Descriptor<Owner> d{QStringLiteral("size_standards"),
                                     QStringLiteral("sizeStandards"),
                                     QStringLiteral("size standard"),
                                     {
                                         KIND_FIELD(Attributes, "attributes", "attributes"),
                                         KIND_FIELD(DyeIndex, "dye_index", "dyeIndex"),
                                         KIND_FIELD(FitCoefficient, "fit_coefficient", "fitCoefficient"),
                                     },
                                     {}};
    return d;
}

const Descriptor<MobilityCalibrationSettings> &mobilityCalibrations()
{
    using Owner = MobilityCalibrationSettings;
    static const Descriptor<Owner> d{
        QStringLiteral("mobility_calibrations"),
        QStringLiteral("mobilityCalibrations"),
        QStringLiteral("dye mobility calibration"),
        matrix<Owner, &Owner::Coefficient, &Owner::setCoefficient, 4, 4>("Coefficient", "c%1%2", "coefficients[4][4]"),
        {}};
    return d;
}

const Descriptor<SizeCalibration> &mobilityReferences()
{
    using Owner = SizeCalibration;
    static const Descriptor<Owner> d{QStringLiteral("mobility_references"),
                                     QStringLiteral("mobilityReferences"),
                                     QStringLiteral("standard mobility reference"),
                                     {KIND_FIELD(EnumTypeID, "enum_type_id", "enumTypeId")},
                                     {}};
    return d;
}

const Descriptor<STRLocusTag> &strTags()
{
    using Owner = STRLocusTag;
    static const Descriptor<Owner> d{QStringLiteral("str_locus_tags"),
                                     QStringLiteral("strLocusTags"),
                                     QStringLiteral("STR locus tag"),
                                     {
                                         KIND_FIELD(Dye, "dye", "dye"),
                                         KIND_FIELD(MinSize, "min_size", "minSize"),
                                         KIND_FIELD(MaxSize, "max_size", "maxSize"),
                                         KIND_FIELD(DateModified, "date_modified", "dateModified"),
                                     },
                                     {}};
    return d;
}

const Descriptor<SNPLocusTagSettings> &snpTags()
{
    using Owner = SNPLocusTagSettings;
    static const Descriptor<Owner> d = [] {
        Descriptor<Owner> t{QStringLiteral("snp_locus_tags"),
                            QStringLiteral("snpLocusTags"),
                            QStringLiteral("SNP locus tag"),
                            {KIND_FIELD(TagNumber, "tag_number", "tagNumber")},
                            {}};
        // Texts are numbered from 1, as the tag numbers them.
        t.fields << repeated<Owner, &Owner::TagText, &Owner::setTagText, 1>("TagText", "text%1", "texts[4]", 4);
        t.fields << KIND_FIELD(DateModified, "date_modified", "dateModified");
        return t;
    }();
    return d;
}

const Descriptor<FragAnalysisParam> &sets()
{
    using Owner = FragAnalysisParam;
    constexpr int rows = FragAnalysisParam::kRows;
    static const Descriptor<Owner> d = [] {
        Descriptor<Owner> t{
            QStringLiteral("parameter_sets"),
            QStringLiteral("sets"),
            QStringLiteral("parameter set"),
            {
                KIND_FIELD(ProjectID, "project_id", "projectId"),
                KIND_FIELD(ProjectName, "project_name", "projectName"),
                KIND_FIELD(TypeCode, "type_code", "typeCode"),
                stamped(KIND_FIELD(Attributes, "attributes", "attributes"), Stamp::Attributes),
                stamped(KIND_FIELD(DateCreated, "date_created", "dateCreated"), Stamp::DateCreated),
                stamped(KIND_FIELD(DateModified, "date_modified", "dateModified"), Stamp::DateModified),
                KIND_FIELD(SlopeThreshold, "slope_threshold", "slopeThreshold"),
                KIND_FIELD(SNPAnalysis, "snp_analysis", "snpAnalysis"),
                KIND_FIELD(UseCalculatedDyeSpectra, "use_calculated_dye_spectra", "useCalculatedDyeSpectra"),
                KIND_FIELD(IDStandardBySize, "id_standard_by_size", "idStandardBySize"),
                KIND_FIELD(QuantityByHeight, "quantity_by_height", "quantityByHeight"),
            },
            {
                KIND_REFERENCE(SizeStandard, SizeStandardSettings, "size_standard_id", "sizeStandard",
                               Kind::SizeStandard),
                KIND_REFERENCE(DyeMobilityCalibration, MobilityCalibrationSettings, "mobility_calibration_id",
                               "mobilityCalibration", Kind::MobilityCalibration),
                KIND_REFERENCE(StandardMobilityReference, SizeCalibration, "mobility_reference_id", "mobilityReference",
                               Kind::MobilityReference),
            }};
        t.fields << KIND_ROWS(DyeSpectra, "dye_spectra_%1", "dyeSpectra[4]", rows)
                 << KIND_ROWS(QuantSizeTime, "quant_size_time_%1", "quantitation[4].sizeTime", rows)
                 << KIND_ROWS(QuantWindow, "quant_window_%1", "quantitation[4].window", rows)
                 << KIND_ROWS(QuantAmount, "quant_amount_%1", "quantitation[4].amount", rows)
                 << KIND_ROWS(QuantUnit, "quant_unit_%1", "quantitation[4].unit", rows);
        return t;
    }();
    return d;
}

const Descriptor<SetEntry> &entries()
{
    using Owner = FragAnalysisParam;
    static const Descriptor<SetEntry> d{
        QStringLiteral("set_entries"),
        QString(),
        QStringLiteral("size-calling entry"),
        {
            ofEntry<&Owner::IdentifyAlleles, &Owner::setIdentifyAlleles>("IdentifyAlleles", "identify_alleles",
                                                                         "identifyAlleles"),
            ofEntry<&Owner::RelativePeakHeightThreshold, &Owner::setRelativePeakHeightThreshold>(
                "RelativePeakHeightThreshold", "relative_peak_height_threshold", "relativePeakHeightThreshold"),
            ofEntry<&Owner::ConfidenceLevel, &Owner::setConfidenceLevel>("ConfidenceLevel", "confidence_level",
                                                                         "confidenceLevel"),
        },
        {}};
    return d;
}

const Descriptor<SizeCalibration> &entryCalibrations()
{
    using Owner = SizeCalibration;
    static const Descriptor<Owner> d{QStringLiteral("set_entries"),
                                     QString(),
                                     QStringLiteral("calibration"),
                                     {
                                         KIND_FIELD(Name, "calibration_name", "name"),
                                         defaulting(KIND_FIELD(Kind, "calibration_kind", "kind"), "1"),
                                         KIND_FIELD(ModelIndex, "model_index", "modelIndex"),
                                         KIND_FIELD(MigrationVariable, "migration_variable", "migrationVariable"),
                                         KIND_FIELD(EnumTypeID, "enum_type_id", "enumTypeId"),
                                     },
                                     {KIND_REFERENCE(SizeStandard, SizeStandardSettings, "calibration_size_standard_id",
                                                     "sizeStandard", Kind::SizeStandard)}};
    return d;
}

const Descriptor<GridType::Column> &gridColumns()
{
    using Owner = GridType::Column;
    static const Descriptor<Owner> d{QStringLiteral("grid_type_columns"),
                                     QString(),
                                     QStringLiteral("grid layout column"),
                                     {
                                         ofMember<Owner, &Owner::title>("Title", "title"),
                                         ofMember<Owner, &Owner::widthTwips>("Width", "width_twips"),
                                         ofMember<Owner, &Owner::alignment>("Alignment", "alignment"),
                                     },
                                     {}};
    return d;
}

#undef KIND_FIELD
#undef KIND_ROWS
#undef KIND_REFERENCE

// ---- lists of an object kept in tables of their own ---------------------------------------------

const ChildList &fragments()
{
    static const ChildList list{QStringLiteral("size_standard_fragments"),
                                {QStringLiteral("size_standard_id")},
                                QStringLiteral("size_standards (id)"),
                                QStringLiteral("position"),
                                QStringLiteral("size"),
                                QStringLiteral("DOUBLE PRECISION NOT NULL"),
                                QStringLiteral("fragments"),
                                QString()};
    return list;
}

const ChildList &selectedPeaks()
{
    static const ChildList list{QStringLiteral("entry_selected_peaks"),
                                {QStringLiteral("set_id"), QStringLiteral("entry_index")},
                                QStringLiteral("set_entries (set_id, entry_index)"),
                                QStringLiteral("position"),
                                QStringLiteral("peak"),
                                QStringLiteral("INTEGER NOT NULL"),
                                QStringLiteral("selectedPeaks"),
                                QString()};
    return list;
}

const ChildList &strTagLinks()
{
    static const ChildList list{QStringLiteral("set_str_tags"),
                                {QStringLiteral("set_id"), QStringLiteral("entry_index")},
                                QStringLiteral("set_entries (set_id, entry_index)"),
                                QStringLiteral("position"),
                                QStringLiteral("tag_id"),
                                QStringLiteral("INTEGER NOT NULL REFERENCES str_locus_tags (id)"),
                                QStringLiteral("strLocusTags"),
                                QStringLiteral("set_str_tags_tag")};
    return list;
}

const ChildList &snpTagLinks()
{
    static const ChildList list{QStringLiteral("set_snp_tags"),
                                {QStringLiteral("set_id"), QStringLiteral("entry_index")},
                                QStringLiteral("set_entries (set_id, entry_index)"),
                                QStringLiteral("position"),
                                QStringLiteral("tag_id"),
                                QStringLiteral("INTEGER NOT NULL REFERENCES snp_locus_tags (id)"),
                                QStringLiteral("snpLocusTags"),
                                QStringLiteral("set_snp_tags_tag")};
    return list;
}

const ChildList &gridColumnRows()
{
    static const ChildList list{QStringLiteral("grid_type_columns"),
                                {QStringLiteral("grid_type_id")},
                                QStringLiteral("grid_types (id)"),
                                QStringLiteral("position"),
                                QString(),
                                QString(),
                                QString(),
                                QString()};
    return list;
}

// ---- by kind -------------------------------------------------------------------------------------

QString tableOf(Kind kind)
{
    return withDescriptor(kind, [](const auto &d) { return d.table; });
}

QString textOf(Kind kind)
{
    return withDescriptor(kind, [](const auto &d) { return d.text; });
}

ObjectPtr standIn(Kind kind, const QString &name)
{
    return withDescriptor(kind, [&](const auto &d) -> ObjectPtr {
        auto object = QSharedPointer<typename std::decay_t<decltype(d)>::Object>::create();
        object->setName(name);
        if constexpr (std::is_same_v<decltype(*object), SizeCalibration &>)
            object->setKind(SizeCalibration::kMobilityReference);
        return object;
    });
}

} // namespace veltrane::host::kinds
