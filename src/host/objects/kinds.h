#pragma once

// Internal to the store: one description of every stored kind. Each description names the kind's
// table, the list that carries it in an exchange file, and every field with its property, its column,
// its place in an exchange object and its type. The schema, the reading and writing of rows and the
// exchange format are all driven by these descriptions, so a field is spelled once and read by the
// name of its column, never by its position.

#include "veltrane/contracts/business_objects.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <type_traits>

namespace veltrane::host {

// The kinds of stored objects that are found by their names.
enum class Kind { Project, SizeStandard, MobilityCalibration, MobilityReference, StrTag, SnpTag, Set };

namespace kinds {

// How a value is kept: the column type, the exchange form and the range a reader accepts follow.
enum class Type {
    Text,  // TEXT, never NULL
    Int16, // INTEGER; a whole number from -32768 to 32767 in a file
    Int32, // INTEGER
    Date,  // BIGINT seconds since 1970 UTC; an ISO 8601 text in a file
    Float, // DOUBLE PRECISION holding a single-precision number; the shortest exact decimal in a file
    Bool,  // INTEGER 0 or 1; true or false in a file
};

// Fields of a parameter set whose stored value the store decides rather than the object (see io::SetStamp).
enum class Stamp { None, Attributes, DateCreated, DateModified };

// One step of a field's place in an exchange object: a key, or an item of a list of a fixed size.
struct PathStep
{
    QString key;       // empty for a list item
    qint32 index = -1; // the item
    qint32 count = 0;  // the size the list must have
};

// One field of a kind: a property of the object, one column of the kind's table, one place in its
// exchange object. Repeated fields (rows, coefficients, texts) are one Field per item.
template <typename T> struct Field
{
    QString property;      // as people read it: "SlopeThreshold", "QuantSizeTime(2)"
    QString propertyName;  // the property alone: "QuantSizeTime"
    qint32 index = -1;     // the item of a repeated field, -1 for a plain one
    QString column;        // "quant_size_time_2"
    QString path;          // "quantitation[2].sizeTime"; empty when the field is not exchanged
    QList<PathStep> steps; // the path, taken apart
    Type type = Type::Text;
    QVariant (*get)(const T &, qint32 index) = nullptr;         // the value as stored (int, qint64, double, QString)
    void (*set)(T &, qint32 index, const QVariant &) = nullptr; // from a stored or exchanged value
    Stamp stamp = Stamp::None;
    const char *sqlDefault = nullptr; // the column's default when it is not the type's
};

// A field that names another stored object: a column with its ID (NULL for none) and, in an exchange
// file, its name (null for none).
template <typename T> struct Reference
{
    QString property; // "SizeStandard"
    QString column;   // "size_standard_id"
    QString label;    // "sizeStandard"
    Kind target;
    const BusinessObject *(*get)(const T &) = nullptr;
    void (*set)(T &, const ObjectPtr &) = nullptr; // the object found, or a stand-in carrying the name
};

// The description of a kind, or of a part of one (the entries of a set).
template <typename T> struct Descriptor
{
    using Object = T;

    QString table;
    QString list; // the exchange file's top-level list of the kind; empty for parts
    QString text; // what people call one: "size standard"
    QList<Field<T>> fields;
    QList<Reference<T>> references;

    // Every field column, then every reference column; joined for a statement ("a.x, a.y" with alias "a.").
    QStringList columns(const QString &alias = {}) const;
    QString columnList(const QString &alias = {}) const { return columns(alias).join(QStringLiteral(", ")); }
    int columnCount() const { return int(fields.size() + references.size()); }
    const Field<T> *field(const QString &propertyName, qint32 index = -1) const;
};

// A list of values or of references that belongs to an object and lives in a table of its own, one row
// per item in order (fragments of a size standard, selected peaks, the tag lists of an entry).
struct ChildList
{
    QString table;
    QStringList owner;  // the columns naming the owner ("set_id", "entry_index")
    QString ownerKey;   // the owner's key these columns reference, for the table definition
    QString position;   // the column holding the item's place
    QString value;      // the column holding the item
    QString valueSql;   // its definition
    QString label;      // the exchange list
    QString valueIndex; // an index on the value column, when the list is searched by it
};

// ---- the kinds --------------------------------------------------------------------------------------

// The size-calling entry of a set, seen as one row of set_entries. Writers hand in a set they only
// read (the getters never change it).
struct SetEntry
{
    FragAnalysisParam *set;
    qint32 index;
};

const Descriptor<Project> &projects();
const Descriptor<SizeStandardSettings> &sizeStandards();
const Descriptor<MobilityCalibrationSettings> &mobilityCalibrations();
const Descriptor<SizeCalibration> &mobilityReferences();
const Descriptor<STRLocusTag> &strTags();
const Descriptor<SNPLocusTagSettings> &snpTags();
const Descriptor<FragAnalysisParam> &sets();
// The fields of a set's entry that belong to the set (allele identification, thresholds).
const Descriptor<SetEntry> &entries();
// The calibration of an entry: columns of set_entries, present when has_calibration is 1.
const Descriptor<SizeCalibration> &entryCalibrations();
// A column of a grid layout (grid layouts are configuration, never exchanged).
const Descriptor<GridType::Column> &gridColumns();

// The column of set_entries that says whether the entry has a calibration, and the exchange key.
inline const QString kHasCalibrationColumn = QStringLiteral("has_calibration");
inline const QString kCalibrationLabel = QStringLiteral("calibration");
inline const QString kEntriesLabel = QStringLiteral("entries");
inline const QString kNameLabel = QStringLiteral("name");
// The column of parameter_sets that says who wrote the set last ("anna on lab-pc-2", see
// io::workstation()); the store keeps it beside the set's fields, and no file exchanges it.
inline const QString kModifiedByColumn = QStringLiteral("modified_by");

const ChildList &fragments();      // of a size standard
const ChildList &selectedPeaks();  // of an entry's calibration
const ChildList &strTagLinks();    // of an entry
const ChildList &snpTagLinks();    // of an entry
const ChildList &gridColumnRows(); // of a grid layout (the columns of gridColumns())

// Calls f with the description of the kind (every description answers alike, so f is a generic lambda
// answering one type).
template <typename F> decltype(auto) withDescriptor(Kind kind, F &&f)
{
    switch (kind) {
    case Kind::Project:
        return f(projects());
    case Kind::SizeStandard:
        return f(sizeStandards());
    case Kind::MobilityCalibration:
        return f(mobilityCalibrations());
    case Kind::MobilityReference:
        return f(mobilityReferences());
    case Kind::StrTag:
        return f(strTags());
    case Kind::SnpTag:
        return f(snpTags());
    case Kind::Set:
        break;
    }
    return f(sets());
}

// The table and the words for people of a kind.
QString tableOf(Kind kind);
QString textOf(Kind kind);

// A stand-in for a stored object of the kind known by name only, as a set refers to it.
ObjectPtr standIn(Kind kind, const QString &name);

// ---- templates ----------------------------------------------------------------------------------------

template <typename T> QStringList Descriptor<T>::columns(const QString &alias) const
{
    QStringList names;
    names.reserve(columnCount());
    for (const Field<T> &f : fields)
        names << alias + f.column;
    for (const Reference<T> &r : references)
        names << alias + r.column;
    return names;
}

template <typename T> const Field<T> *Descriptor<T>::field(const QString &propertyName, qint32 index) const
{
    for (const Field<T> &f : fields)
        if (f.propertyName == propertyName && f.index == index)
            return &f;
    return nullptr;
}

} // namespace kinds

} // namespace veltrane::host
