// The store's own conversions between numbers and texts: single-precision numbers and whole numbers
// of the exchange format (as JSON numbers, and "Infinity"), and the times it writes as ISO 8601 texts.

#include "number_conversions.h"

#include "host/objects/exchange_values.h"
#include "veltrane/contracts/error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <limits>

namespace veltrane::fuzz {

namespace {

using host::exchange::Reader;

// The text as the value of a one-item JSON list, as an exchange file holds it.
std::optional<QJsonValue> jsonValue(const QString &text)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray("[") + text.toUtf8() + "]", &error);
    if (error.error != QJsonParseError::NoError || !document.isArray() || document.array().size() != 1)
        return std::nullopt;
    return document.array().at(0);
}

template <typename F> std::optional<double> readWith(const QString &text, F &&read)
{
    const std::optional<QJsonValue> value = jsonValue(text);
    if (!value)
        return std::nullopt;
    try {
        return read(Reader(QStringLiteral("fuzz")), *value);
    } catch (const Error &) {
        return std::nullopt;
    }
}

QString jsonText(const QJsonValue &value)
{
    const QByteArray list = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(list.mid(1, list.size() - 2));
}

} // namespace

const NumberConversion kConversions[] = {
    {"single-precision number",
     [](const QString &text) {
         return readWith(text,
                         [](const Reader &r, const QJsonValue &v) { return double(r.real(v, QStringLiteral("v"))); });
     },
     [](double value) { return jsonText(host::exchange::fromFloat(float(value))); }, true},
    {"whole number",
     [](const QString &text) {
         return readWith(text, [](const Reader &r, const QJsonValue &v) {
             return double(r.whole(v, QStringLiteral("v"), std::numeric_limits<qint32>::min(),
                                   std::numeric_limits<qint32>::max()));
         });
     },
     [](double value) { return host::exchange::numberText(value); }, true},
    {"date and time",
     [](const QString &text) {
         return readWith(text,
                         [](const Reader &r, const QJsonValue &v) { return double(r.date(v, QStringLiteral("v"))); });
     },
     [](double value) { return jsonText(host::exchange::fromDate(qint64(value))); }, true},
    {nullptr, nullptr, nullptr, false},
};

} // namespace veltrane::fuzz
