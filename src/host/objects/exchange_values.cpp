#include "host/objects/exchange_values.h"

#include "host/objects/connection.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/stored_rules.h"

#include <QDateTime>
#include <QLocale>
#include <QMap>
#include <QTimeZone>
#include <charconv>
#include <cmath>
#include <limits>

namespace veltrane::host::exchange {

namespace {
const QString kImportSource = QStringLiteral("Import");
}

// ---- values ---------------------------------------------------------------------------------------

// Files stay readable (0.1, not 0.10000000149011612) and every value survives the trip exactly.
// Stores hold no NaN.
QJsonValue fromFloat(float f)
{
    if (std::isinf(f))
        return f > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    for (int precision = 6; precision <= 9; ++precision) {
        const QString text = QString::number(double(f), 'g', precision);
        if (text.toFloat() == f)
            return text.toDouble();
    }
    return double(f);
}

QString numberText(double d)
{
    // As a file writes it: 2147483648, not 2.14748e+09.
    return QString::number(d, 'g', QLocale::FloatingPointShortest);
}

QJsonValue fromDate(qint64 storedTime)
{
    return QDateTime::fromSecsSinceEpoch(storedTime, QTimeZone::utc()).toString(Qt::ISODate);
}

QJsonValue nameOrNull(const BusinessObject *object)
{
    return object ? QJsonValue(object->Name()) : QJsonValue(QJsonValue::Null);
}

QJsonValue toJsonValue(kinds::Type type, const QVariant &stored)
{
    switch (type) {
    case kinds::Type::Text:
        return stored.toString();
    case kinds::Type::Int16:
    case kinds::Type::Int32:
        return stored.toInt();
    case kinds::Type::Date:
        return fromDate(stored.toLongLong());
    case kinds::Type::Float:
        return fromFloat(float(stored.toDouble()));
    case kinds::Type::Bool:
        return stored.toInt() != 0;
    }
    return {};
}

QString child(const QString &path, const QString &key)
{
    return path.isEmpty() ? key : path + QLatin1Char('.') + key;
}

QString item(const QString &path, qsizetype index)
{
    // Made for every item read (a path names the place of a refused value), so without arg()'s parsing.
    char digits[24];
    const auto written = std::to_chars(std::begin(digits), std::end(digits), index);
    QString text;
    text.reserve(path.size() + (written.ptr - digits) + 2);
    text += path;
    text += QLatin1Char('[');
    text += QLatin1StringView(digits, written.ptr - digits);
    text += QLatin1Char(']');
    return text;
}

// ---- reading ----------------------------------------------------------------------------------------

Reader::Reader(QString source, Names names)
    : m_source(std::move(source))
    , m_names(names)
{}

void Reader::fail(const QString &path, const QString &what) const
{
    throw Error(kStoreImportInvalid, kImportSource, QStringLiteral("%1: %2: %3").arg(m_source, path, what));
}

void Reader::failSyntax(qint64 offset, const QString &what) const
{
    throw Error(kStoreImportInvalid, kImportSource,
                QStringLiteral("%1: not valid JSON at character %2: %3").arg(m_source).arg(offset).arg(what));
}

QJsonObject Reader::object(const QJsonValue &value, const QString &path) const
{
    if (!value.isObject())
        fail(path, QStringLiteral("expected an object"));
    return value.toObject();
}

QJsonValue Reader::field(const QJsonObject &o, const QString &path, const QString &key) const
{
    const auto it = o.constFind(key);
    if (it == o.constEnd())
        fail(child(path, key), QStringLiteral("missing"));
    return *it;
}

QString Reader::text(const QJsonObject &o, const QString &path, const QString &key) const
{
    const QJsonValue v = field(o, path, key);
    if (!v.isString())
        fail(child(path, key), QStringLiteral("expected a text"));
    return v.toString();
}

QString Reader::name(const QJsonObject &o, const QString &path) const
{
    const QString n = text(o, path, kinds::kNameLabel);
    checkName(n, child(path, kinds::kNameLabel));
    return n;
}

// A name too long to show is cut short in the message.
static QString shownName(const QString &name)
{
    constexpr qsizetype kShown = 60;
    return name.size() > kShown ? printable(name.left(kShown)) + QStringLiteral("...") : printable(name);
}

void Reader::checkName(const QString &name, const QString &path) const
{
    if (nameKey(name).isEmpty())
        fail(path, QStringLiteral("a name may not be empty"));
    // A revision keeps names as they were stored, perhaps under rules older than today's.
    if (m_names == Names::AsStored)
        return;
    if (const std::optional<QString> fault = nameFault(name))
        fail(path, QStringLiteral("\"%1\" cannot be a name: %2").arg(shownName(name), *fault));
}

std::optional<QString> Reader::reference(const QJsonObject &o, const QString &path, const QString &key) const
{
    const QJsonValue v = field(o, path, key);
    if (v.isNull())
        return std::nullopt;
    if (!v.isString())
        fail(child(path, key), QStringLiteral("expected a name or null"));
    // No stored object has a name the rules refuse, so such a reference is told as what it is.
    checkName(v.toString(), child(path, key));
    return v.toString();
}

float Reader::real(const QJsonValue &v, const QString &path) const
{
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (std::isfinite(d) && std::fabs(d) > double(std::numeric_limits<float>::max()))
            fail(path, QStringLiteral("%1 is too large for a single-precision number").arg(numberText(d)));
        // Below the smallest single-precision number a value would be stored as 0.
        if (d != 0 && float(d) == 0)
            fail(path, QStringLiteral("%1 is too small for a single-precision number").arg(numberText(d)));
        return float(d);
    }
    if (v.isString()) {
        const QString s = v.toString();
        if (s == QLatin1String("Infinity"))
            return std::numeric_limits<float>::infinity();
        if (s == QLatin1String("-Infinity"))
            return -std::numeric_limits<float>::infinity();
    }
    fail(path, QStringLiteral("expected a number"));
}

qint64 Reader::whole(const QJsonValue &v, const QString &path, qint64 min, qint64 max) const
{
    const double d = v.toDouble();
    if (!v.isDouble() || d != std::floor(d))
        fail(path, QStringLiteral("expected a whole number"));
    if (d < double(min) || d > double(max))
        fail(path, QStringLiteral("%1 is not from %2 to %3").arg(numberText(d)).arg(min).arg(max));
    return qint64(d);
}

qint32 Reader::integer(const QJsonObject &o, const QString &path, const QString &key) const
{
    return qint32(whole(field(o, path, key), child(path, key), std::numeric_limits<qint32>::min(),
                        std::numeric_limits<qint32>::max()));
}

bool Reader::boolean(const QJsonValue &v, const QString &path) const
{
    if (!v.isBool())
        fail(path, QStringLiteral("expected true or false"));
    return v.toBool();
}

qint64 Reader::date(const QJsonValue &v, const QString &path) const
{
    if (!v.isString())
        fail(path, QStringLiteral("expected a text"));
    const QString s = v.toString();
    const QDateTime t = QDateTime::fromString(s, Qt::ISODate);
    if (!t.isValid())
        fail(path, QStringLiteral("\"%1\" is not a date and time such as 2024-01-15T09:30:00Z").arg(s));
    return t.toSecsSinceEpoch();
}

QJsonArray Reader::array(const QJsonObject &o, const QString &path, const QString &key, qsizetype exactSize) const
{
    const QJsonValue v = field(o, path, key);
    if (!v.isArray())
        fail(child(path, key), QStringLiteral("expected a list"));
    const QJsonArray a = v.toArray();
    if (exactSize >= 0 && a.size() != exactSize)
        fail(child(path, key), QStringLiteral("expected a list of %1 items, not %2").arg(exactSize).arg(a.size()));
    return a;
}

QJsonArray Reader::optionalArray(const QJsonObject &o, const QString &key) const
{
    if (!o.contains(key))
        return {};
    return array(o, {}, key);
}

QJsonValue Reader::at(const QJsonObject &o, const QString &path, const QList<kinds::PathStep> &steps) const
{
    // The path of the place reached is spelled out only for a message: the steps are taken for every
    // field of every object read.
    const auto placeAfter = [&](qsizetype taken) {
        QString here = path;
        for (qsizetype i = 0; i < taken; ++i)
            here = steps[i].key.isEmpty() ? item(here, steps[i].index) : child(here, steps[i].key);
        return here;
    };
    QJsonValue v = o;
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const kinds::PathStep &step = steps[i];
        if (!step.key.isEmpty()) {
            if (!v.isObject())
                fail(placeAfter(i), QStringLiteral("expected an object"));
            const QJsonObject object = v.toObject();
            const auto it = object.constFind(step.key);
            if (it == object.constEnd())
                fail(child(placeAfter(i), step.key), QStringLiteral("missing"));
            v = *it;
            continue;
        }
        if (!v.isArray())
            fail(placeAfter(i), QStringLiteral("expected a list"));
        const QJsonArray a = v.toArray();
        if (a.size() != step.count)
            fail(placeAfter(i), QStringLiteral("expected a list of %1 items, not %2").arg(step.count).arg(a.size()));
        v = a.at(step.index);
    }
    return v;
}

QVariant Reader::value(kinds::Type type, const QJsonValue &v, const QString &path) const
{
    switch (type) {
    case kinds::Type::Text:
        if (!v.isString())
            fail(path, QStringLiteral("expected a text"));
        if (const std::optional<QString> fault = textFault(v.toString()))
            fail(path, *fault);
        return v.toString();
    case kinds::Type::Int16:
        return int(whole(v, path, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max()));
    case kinds::Type::Int32:
        return int(whole(v, path, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
    case kinds::Type::Date:
        return date(v, path);
    case kinds::Type::Float:
        return double(real(v, path));
    case kinds::Type::Bool:
        return int(boolean(v, path));
    }
    return {};
}

// ---- building ---------------------------------------------------------------------------------------

QJsonObject ObjectBuilder::take()
{
    QList<const Placed *> items;
    items.reserve(m_placed.size());
    for (const Placed &p : m_placed)
        items.append(&p);
    QJsonObject out = items.isEmpty() ? QJsonObject() : build(items, 0).toObject();
    for (auto it = m_plain.constBegin(); it != m_plain.constEnd(); ++it)
        out.insert(it.key(), it.value());
    m_placed.clear();
    m_plain = {};
    return out;
}

// Every item shares the steps before depth; each container is built once, from its items.
QJsonValue ObjectBuilder::build(const QList<const Placed *> &items, int depth)
{
    const Placed *first = items.first();
    if (first->steps->size() == depth)
        return first->value;
    const kinds::PathStep &step = first->steps->at(depth);
    if (!step.key.isEmpty()) {
        QMap<QString, QList<const Placed *>> byKey;
        for (const Placed *p : items)
            byKey[p->steps->at(depth).key].append(p);
        QJsonObject object;
        for (auto it = byKey.cbegin(); it != byKey.cend(); ++it)
            object.insert(it.key(), build(it.value(), depth + 1));
        return object;
    }
    QList<QList<const Placed *>> byIndex(step.count);
    for (const Placed *p : items)
        byIndex[p->steps->at(depth).index].append(p);
    QJsonArray array;
    for (const auto &group : std::as_const(byIndex))
        array.append(group.isEmpty() ? QJsonValue() : build(group, depth + 1));
    return array;
}

} // namespace veltrane::host::exchange
