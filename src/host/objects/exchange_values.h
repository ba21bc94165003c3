#pragma once

// Internal to the exchange format: values in their file form, a reader that names the place of every
// failure, and the kinds' descriptions turned into JSON objects and back.

#include "host/objects/kinds.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <optional>

namespace veltrane::host::exchange {

// The shortest decimal that reads back as the same single-precision number.
QJsonValue fromFloat(float f);
QJsonValue fromDate(qint64 storedTime);
// A number in a message, the way a file writes it.
QString numberText(double d);
QJsonValue nameOrNull(const BusinessObject *object);
// A stored value of the type in its file form.
QJsonValue toJsonValue(kinds::Type type, const QVariant &stored);

// "sets[2]" + "name" = "sets[2].name"; "sets" + 2 = "sets[2]".
QString child(const QString &path, const QString &key);
QString item(const QString &path, qsizetype index);

// Reads a document and throws kStoreImportInvalid naming the source and the JSON path of a failure.
class Reader
{
public:
    // Names the store wrote itself (a revision's snapshot) are taken as they are: they were stored
    // under the rules of their time, and a later rule must not make a set's history unreadable.
    enum class Names { Judged, AsStored };
    explicit Reader(QString source, Names names = Names::Judged);

    [[noreturn]] void fail(const QString &path, const QString &what) const;
    // The document is not JSON at that byte.
    [[noreturn]] void failSyntax(qint64 offset, const QString &what) const;

    QJsonObject object(const QJsonValue &value, const QString &path) const;
    QJsonValue field(const QJsonObject &o, const QString &path, const QString &key) const;
    QString text(const QJsonObject &o, const QString &path, const QString &key) const;
    QString name(const QJsonObject &o, const QString &path) const;
    // Fails at path unless the text may be a stored name (see nameFault()).
    void checkName(const QString &name, const QString &path) const;
    // A reference by name, or null for none.
    std::optional<QString> reference(const QJsonObject &o, const QString &path, const QString &key) const;
    float real(const QJsonValue &v, const QString &path) const;
    qint64 whole(const QJsonValue &v, const QString &path, qint64 min, qint64 max) const;
    qint32 integer(const QJsonObject &o, const QString &path, const QString &key) const;
    bool boolean(const QJsonValue &v, const QString &path) const;
    qint64 date(const QJsonValue &v, const QString &path) const;
    QJsonArray array(const QJsonObject &o, const QString &path, const QString &key, qsizetype exactSize = -1) const;
    // A top-level list that a file may leave out.
    QJsonArray optionalArray(const QJsonObject &o, const QString &key) const;

    // The value at a field's place below the object at path, every step checked on the way.
    QJsonValue at(const QJsonObject &o, const QString &path, const QList<kinds::PathStep> &steps) const;
    // A value of the type, as the store keeps it.
    QVariant value(kinds::Type type, const QJsonValue &v, const QString &path) const;

private:
    QString m_source;
    Names m_names = Names::Judged;
};

// Builds a JSON object from values placed by paths ("quantitation[2].sizeTime").
class ObjectBuilder
{
public:
    void put(const QString &key, const QJsonValue &value) { m_plain.insert(key, value); }
    // steps must outlive the builder (they belong to a kind's description).
    void put(const QList<kinds::PathStep> &steps, const QJsonValue &value) { m_placed.append({&steps, value}); }
    QJsonObject take();

private:
    struct Placed
    {
        const QList<kinds::PathStep> *steps;
        QJsonValue value;
    };
    static QJsonValue build(const QList<const Placed *> &items, int depth);

    QJsonObject m_plain;
    QList<Placed> m_placed;
};

// The exchanged fields and references of an object, by its description.
template <typename T> void putFields(ObjectBuilder &out, const kinds::Descriptor<T> &d, const T &object)
{
    for (const kinds::Field<T> &f : d.fields)
        if (!f.path.isEmpty())
            out.put(f.steps, toJsonValue(f.type, f.get(object, f.index)));
    for (const kinds::Reference<T> &r : d.references)
        out.put(r.label, nameOrNull(r.get(object)));
}

// Where a set or a definition refers to another stored object by name.
struct ReferenceAt
{
    Kind kind;
    QString name;
    QString path;
};

// Reads the exchanged fields and references of an object; references are set to stand-ins carrying
// the name and reported to refer.
template <typename T, typename Refer>
void readFields(const Reader &r, const QJsonObject &o, const QString &path, const kinds::Descriptor<T> &d, T &target,
                Refer &&refer)
{
    for (const kinds::Field<T> &f : d.fields)
        if (!f.path.isEmpty()) {
            const QString place = child(path, f.path);
            f.set(target, f.index, r.value(f.type, r.at(o, path, f.steps), place));
        }
    for (const kinds::Reference<T> &ref : d.references)
        if (const std::optional<QString> name = r.reference(o, path, ref.label)) {
            ref.set(target, kinds::standIn(ref.target, *name));
            refer(ReferenceAt{ref.target, *name, child(path, ref.label)});
        }
}

} // namespace veltrane::host::exchange
