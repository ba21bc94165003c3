#include "host/objects/json_import_steps.h"

// Reading an exchange document for form, before anything is written.

namespace veltrane::host::importing {

namespace {

// Names are defined once per kind in a file.
class Definitions
{
public:
    explicit Definitions(const Reader &r)
        : m_reader(r)
    {}

    void define(Kind kind, const QString &name, const QString &list, qsizetype index)
    {
        QHash<QString, qsizetype> &places = m_places[kind];
        const QString key = nameKey(name);
        if (const auto it = places.constFind(key); it != places.cend())
            m_reader.fail(child(item(list, index), kinds::kNameLabel),
                          QStringLiteral("the %1 \"%2\" is defined twice (also at %3)")
                              .arg(kinds::textOf(kind), printable(name), item(list, *it)));
        places.insert(key, index);
    }

private:
    const Reader &m_reader;
    // Where each name was defined, by kind and nameKey(): the item of its list.
    QHash<Kind, QHash<QString, qsizetype>> m_places;
};

// The members of the document's top-level object, by key.
using Members = QHash<QString, const exchange::ScannedMember *>;

// Reads one top-level list of definitions with read(r, object, path).
template <typename T, typename Read>
void parseList(const Reader &r, const exchange::ByteSource &source, const Members &members, const QString &list,
               Kind kind, Read &&read, Definitions &definitions, QList<Defined<T>> &into)
{
    const exchange::ScannedMember *member = members.value(list);
    if (!member)
        return;
    if (!member->isList)
        r.fail(list, QStringLiteral("expected a list"));
    for (qsizetype i = 0; i < member->items.size(); ++i) {
        const QString path = item(list, i);
        QSharedPointer<T> object = read(r, r.object(valueOf(r, source, member->items[i].span), path), path);
        definitions.define(kind, object->Name(), list, i);
        into.append({path, std::move(object)});
    }
}

} // namespace

QJsonValue valueOf(const Reader &r, const exchange::ByteSource &source, const exchange::Span &span)
{
    try {
        return exchange::parseValue(source, span);
    } catch (const exchange::SyntaxError &e) {
        r.failSyntax(e.offset, e.reason);
    }
}

Parsed parse(const Reader &r, const exchange::ByteSource &source, const QList<exchange::ScannedMember> &scanned)
{
    Members members;
    for (const exchange::ScannedMember &m : scanned) {
        if (members.contains(m.key))
            r.fail(m.key, QStringLiteral("is given twice in the document"));
        members.insert(m.key, &m);
    }
    const QJsonObject root = [&] {
        // The few plain values of the top level.
        QJsonObject plain;
        for (const exchange::ScannedMember &m : scanned)
            if (!m.isList && (m.key == QLatin1String("format") || m.key == QLatin1String("version")))
                plain.insert(m.key, valueOf(r, source, m.value));
        return plain;
    }();
    if (r.text(root, {}, QStringLiteral("format")) != kExchangeFormatName)
        r.fail(QStringLiteral("format"),
               QStringLiteral("this is not a parameter set exchange file (expected \"%1\")").arg(kExchangeFormatName));
    const qint32 version = r.integer(root, {}, QStringLiteral("version"));
    if (version > kExchangeFormatVersion)
        r.fail(QStringLiteral("version"), QStringLiteral("format version %1 is newer than this program reads (%2)")
                                              .arg(version)
                                              .arg(kExchangeFormatVersion));
    if (version < 1)
        r.fail(QStringLiteral("version"), QStringLiteral("%1 is not a format version").arg(version));

    Parsed parsed;
    parsed.source = &source;
    Definitions definitions(r);
    parseList(r, source, members, kinds::projects().list, Kind::Project, exchange::readProject, definitions,
              parsed.projects);
    parseList(r, source, members, kinds::sizeStandards().list, Kind::SizeStandard, exchange::readSizeStandard,
              definitions, parsed.sizeStandards);
    parseList(r, source, members, kinds::mobilityCalibrations().list, Kind::MobilityCalibration,
              exchange::readMobilityCalibration, definitions, parsed.calibrations);
    parseList(r, source, members, kinds::mobilityReferences().list, Kind::MobilityReference,
              exchange::readMobilityReference, definitions, parsed.references);
    parseList(r, source, members, kinds::strTags().list, Kind::StrTag, exchange::readStrTag, definitions,
              parsed.strTags);
    parseList(r, source, members, kinds::snpTags().list, Kind::SnpTag, exchange::readSnpTag, definitions,
              parsed.snpTags);

    // The sets' names, each once in the file, as the scan found them (the sets themselves are read later).
    const QString list = kinds::sets().list;
    if (const exchange::ScannedMember *sets = members.value(list)) {
        if (!sets->isList)
            r.fail(list, QStringLiteral("expected a list"));
        parsed.sets = sets->items;
        parsed.setNames.reserve(parsed.sets.size());
        for (qsizetype i = 0; i < parsed.sets.size(); ++i) {
            const exchange::ScannedItem &set = parsed.sets.at(i);
            const QString path = item(list, i);
            if (!set.isObject)
                r.fail(path, QStringLiteral("expected an object"));
            if (set.nameState == exchange::ScannedItem::Name::Missing)
                r.fail(child(path, kinds::kNameLabel), QStringLiteral("missing"));
            if (set.nameState == exchange::ScannedItem::Name::NotText)
                r.fail(child(path, kinds::kNameLabel), QStringLiteral("expected a text"));
            r.checkName(set.name, child(path, kinds::kNameLabel));
            parsed.setNames.append(set.name);
            definitions.define(Kind::Set, set.name, list, i);
        }
    }
    return parsed;
}

} // namespace veltrane::host::importing
