#include "host/objects/snapshot.h"

#include "host/objects/exchange_kinds.h"
#include "host/objects/json_exchange.h"
#include "host/objects/store_rows.h"
#include "veltrane/contracts/error.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QMap>
#include <QSet>
#include <QtEndian>
#include <cmath>
#include <cstring>

namespace veltrane::host::snapshot {

namespace {

// Parts are found by this hash of their text: a 256-bit cryptographic hash, so no two texts share one,
// and one that costs little beside the write it goes with.
constexpr auto kHash = QCryptographicHash::Blake2b_256;
const QString kStandardKey = QStringLiteral("sizeStandard");

} // namespace

// ---- definitions read by ID ---------------------------------------------------------------------

DefinitionCache::DefinitionCache(const io::Context &ctx)
    : m_ctx(ctx)
{}

namespace {

// JSON text of a string: quotes, backslashes and control characters escaped, everything else as
// UTF-8.
void appendString(QByteArray &out, QStringView text)
{
    out += '"';
    // The common case first: plain ASCII, copied as it is until a character that needs more.
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char *plain = out.data() + start;
    qsizetype i = 0;
    for (; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (u >= 0x80 || u < 0x20 || u == u'"' || u == u'\\')
            break;
        plain[i] = char(u);
    }
    out.truncate(start + i);
    while (i < text.size()) {
        const char16_t u = text.at(i).unicode();
        if (u >= 0x80) {
            // A run of other characters at once, so a pair of surrogates stays one character.
            qsizetype end = i + 1;
            while (end < text.size() && text.at(end).unicode() >= 0x80)
                ++end;
            out += text.mid(i, end - i).toUtf8();
            i = end;
            continue;
        }
        if (u == u'"' || u == u'\\') {
            out += '\\';
            out += char(u);
        } else if (u < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += char(u);
        }
        ++i;
    }
    out += '"';
}

void appendValue(QByteArray &out, const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        appendString(out, value.toString());
        break;
    case QJsonValue::Bool:
        out += value.toBool() ? "true" : "false";
        break;
    case QJsonValue::Double: {
        const double d = value.toDouble();
        if (d == std::floor(d) && std::abs(d) < 1e15)
            out += QByteArray::number(qint64(d));
        else
            out += QByteArray::number(d, 'g', QLocale::FloatingPointShortest);
        break;
    }
    default:
        out += "null";
        break;
    }
}

// How the rows of a kind become objects: the object's keys in order, each with the fields (in column
// order) that give its value, a value (one field), a list (one per item) or a table (row by row).
struct Member
{
    QString key;
    QByteArray keyText; // the key as JSON, with its colon
    QList<int> fields;  // positions in the descriptor's fields; none for the name and for fragments
    int columns = 0;    // of a table; 0 for a value or a list
    bool list = false;
    bool name = false;
};

template <typename T> QList<Member> membersOf(const kinds::Descriptor<T> &d)
{
    QMap<QString, Member> byKey;
    byKey.insert(kinds::kNameLabel, Member{kinds::kNameLabel, {}, {}, 0, false, true});
    for (int i = 0; i < d.fields.size(); ++i) {
        const kinds::Field<T> &f = d.fields[i];
        if (f.path.isEmpty())
            continue;
        Member &m = byKey[f.steps.first().key];
        m.key = f.steps.first().key;
        m.fields.append(i);
        m.list = f.steps.size() > 1;
        if (f.steps.size() > 2)
            m.columns = f.steps.at(2).count;
    }
    if constexpr (std::is_same_v<T, SizeStandardSettings>)
        byKey.insert(kinds::fragments().label, Member{kinds::fragments().label, {}, {}, 0, true, false});
    QList<Member> members = byKey.values(); // in the order of their keys
    for (Member &m : members) {
        appendString(m.keyText, m.key);
        m.keyText += ':';
    }
    return members;
}

} // namespace

const QByteArray &DefinitionCache::dateText(qint64 storedTime)
{
    auto it = m_dates.constFind(storedTime);
    if (it == m_dates.cend()) {
        QByteArray text;
        appendValue(text, exchange::fromDate(storedTime));
        it = m_dates.insert(storedTime, text);
    }
    return *it;
}

const QByteArray &DefinitionCache::floatText(float value)
{
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    auto it = m_floats.constFind(bits);
    if (it == m_floats.cend()) {
        QByteArray text;
        appendValue(text, exchange::fromFloat(value));
        it = m_floats.insert(bits, text);
    }
    return *it;
}

void DefinitionCache::prefetch(Kind kind, const QList<qint32> &ids)
{
    QList<qint32> missing;
    QSet<qint32> seen;
    for (qint32 id : ids)
        if (id > 0 && !m_texts.contains(key(kind, id)) && !seen.contains(id)) {
            seen.insert(id);
            missing.append(id);
        }
    if (missing.isEmpty())
        return;
    m_texts.reserve(m_texts.size() + missing.size());
    m_names.reserve(m_names.size() + missing.size());
    kinds::withDescriptor(kind, [&](const auto &d) {
        using T = typename std::decay_t<decltype(d)>::Object;
        if constexpr (!std::is_same_v<T, FragAnalysisParam>) {
            static const QList<Member> members = membersOf(d);
            QHash<qint32, QByteArray> fragments;
            if constexpr (std::is_same_v<T, SizeStandardSettings>) {
                const kinds::ChildList &list = kinds::fragments();
                const io::IdList owners = io::rowsWithIds(m_ctx.engine, list.table, list.owner.first(), missing);
                Statement st(m_ctx.db, QStringLiteral("SELECT t.%1, t.%2 FROM %3 ORDER BY t.%1, t.%4")
                                           .arg(list.owner.first(), list.value, owners.from, list.position));
                st.bind(owners.bound).exec();
                while (st.next()) {
                    QByteArray &sizes = fragments[st.intAt(0)];
                    if (!sizes.isEmpty())
                        sizes += ',';
                    appendValue(sizes, exchange::fromFloat(st.floatAt(1)));
                }
            }
            // All of them in one statement (see io::rowsWithIds).
            const io::IdList in = io::rowsWithIds(m_ctx.engine, d.table, QStringLiteral("id"), missing);
            Statement st(m_ctx.db, QStringLiteral("SELECT %1 FROM %2")
                                       .arg(io::columnsWith({"id", "name"}, d, QStringLiteral("t.")), in.from));
            st.bind(in.bound).exec();
            // The exchange object straight from the row, as exchange::toJson writes it for the object.
            while (st.next()) {
                const qint32 id = st.intAt(0);
                const QString name = st.textAt(1);
                QByteArray text;
                text.reserve(256);
                text += '{';
                for (const Member &m : members) {
                    if (text.size() > 1)
                        text += ',';
                    text += m.keyText;
                    if (m.name) {
                        appendString(text, name);
                        continue;
                    }
                    if (m.fields.isEmpty()) { // a size standard's fragments
                        text += '[' + fragments.value(id) + ']';
                        continue;
                    }
                    if (m.list)
                        text += '[';
                    for (qsizetype i = 0; i < m.fields.size(); ++i) {
                        if (m.columns && i % m.columns == 0)
                            text += i ? ",[" : "[";
                        else if (i)
                            text += ',';
                        const int column = 2 + m.fields[i];
                        switch (d.fields[m.fields[i]].type) {
                        case kinds::Type::Date:
                            text += dateText(st.int64At(column));
                            break;
                        case kinds::Type::Text:
                            appendString(text, st.textAt(column));
                            break;
                        case kinds::Type::Int16:
                        case kinds::Type::Int32:
                            text += QByteArray::number(st.intAt(column));
                            break;
                        case kinds::Type::Bool:
                            text += st.intAt(column) ? "true" : "false";
                            break;
                        case kinds::Type::Float:
                            text += floatText(st.floatAt(column));
                            break;
                        }
                        if (m.columns && i % m.columns == m.columns - 1)
                            text += ']';
                    }
                    if (m.list)
                        text += ']';
                }
                text += '}';
                m_texts.insert(key(kind, id), text);
                m_names.insert(key(kind, id), name);
            }
        }
    });
}

const QByteArray &DefinitionCache::text(Kind kind, qint32 id)
{
    auto it = m_texts.constFind(key(kind, id));
    if (it == m_texts.cend()) {
        prefetch(kind, {id});
        it = m_texts.constFind(key(kind, id));
        if (it == m_texts.cend())
            throw Error(kStoreNotFound, QStringLiteral("SqlStore"),
                        QStringLiteral("The %1 with ID %2 is not stored.").arg(kinds::textOf(kind)).arg(id));
    }
    return *it;
}

QString DefinitionCache::name(Kind kind, qint32 id)
{
    text(kind, id); // read when not yet, or not stored
    return m_names.value(key(kind, id));
}

const QJsonObject &DefinitionCache::definition(Kind kind, qint32 id)
{
    auto it = m_objects.constFind(key(kind, id));
    if (it == m_objects.cend())
        it = m_objects.insert(key(kind, id), QJsonDocument::fromJson(text(kind, id)).object());
    return *it;
}

// ---- references ---------------------------------------------------------------------------------

References References::of(const FragAnalysisParam &set)
{
    References r;
    r.project = set.ProjectID().toInt();
    for (const auto &ref : kinds::sets().references) {
        const BusinessObject *object = ref.get(set);
        r.set.append(object ? object->ID() : 0);
    }
    const auto idsOf = [](const CollectionPtr &list) {
        QList<qint32> ids;
        ids.reserve(list->Count());
        for (const QVariant &item : *list)
            if (const auto object = objectFrom<BusinessObject>(item))
                ids.append(object->ID());
        return ids;
    };
    for (qint32 e = 0; e < set.EntryCount(); ++e) {
        const SizeCalibrationPtr c = set.SizeCalibration(e);
        r.entryStandards.append(c && c->SizeStandard() ? c->SizeStandard()->ID() : 0);
        r.str.append(idsOf(set.STRLocusTagsOf(e)));
        r.snp.append(idsOf(set.SNPLocusTagsOf(e)));
    }
    return r;
}

QByteArray References::tagLinks() const
{
    QCryptographicHash hash(kHash);
    const auto add = [&hash](const QList<qint32> &ids, char list) {
        hash.addData(QByteArrayView(&list, 1));
        for (qint32 id : ids) {
            const quint32 le = qToLittleEndian(quint32(id));
            hash.addData(QByteArrayView(reinterpret_cast<const char *>(&le), sizeof le));
        }
    };
    for (qsizetype e = 0; e < str.size(); ++e) {
        add(str.at(e), 's');
        add(snp.value(e), 'p');
    }
    return hash.result();
}

QList<qint32> References::ids(Kind kind) const
{
    QList<qint32> out;
    const auto &refs = kinds::sets().references;
    for (qsizetype i = 0; i < refs.size() && i < set.size(); ++i)
        if (refs[i].target == kind)
            out.append(set[i]);
    switch (kind) {
    case Kind::Project:
        out.append(project);
        break;
    case Kind::SizeStandard:
        out += entryStandards;
        break;
    case Kind::StrTag:
        for (const auto &list : str)
            out += list;
        break;
    case Kind::SnpTag:
        for (const auto &list : snp)
            out += list;
        break;
    default:
        break;
    }
    return out;
}

// ---- encoding -----------------------------------------------------------------------------------

QJsonObject Part::object() const
{
    return QJsonDocument::fromJson(encoded).object();
}

namespace {

// Where a descriptor's fields stand in its exchange object, worked out once: an object's keys in order,
// a list's items, a value's field; and the keys whose text the writer is handed (references, stamps).
struct Node
{
    int field = -1;
    QString handed;
    bool list = false;
    QList<Node> items;
    QMap<QString, Node> members; // in the order of their keys
};

template <typename T> Node layoutOf(const kinds::Descriptor<T> &d, const QStringList &handed)
{
    Node root;
    for (int i = 0; i < d.fields.size(); ++i) {
        const kinds::Field<T> &f = d.fields[i];
        if (f.path.isEmpty() || f.stamp == kinds::Stamp::Attributes) // the revision keeps the flags
            continue;
        Node *n = &root;
        for (const kinds::PathStep &step : f.steps) {
            if (!step.key.isEmpty()) {
                n = &n->members[step.key];
                continue;
            }
            n->list = true;
            if (n->items.size() < step.count)
                n->items.resize(step.count);
            n = &n->items[step.index];
        }
        if (f.stamp == kinds::Stamp::None)
            n->field = i;
        else
            n->handed = f.steps.last().key;
    }
    for (const QString &key : handed)
        root.members[key].handed = key;
    return root;
}

// The text of a stored value of the type, as the exchange format writes it.
void appendStored(QByteArray &out, kinds::Type type, const QVariant &stored, DefinitionCache &cache)
{
    switch (type) {
    case kinds::Type::Text:
        appendString(out, stored.toString());
        break;
    case kinds::Type::Int16:
    case kinds::Type::Int32:
        out += QByteArray::number(stored.toInt());
        break;
    case kinds::Type::Bool:
        out += stored.toInt() ? "true" : "false";
        break;
    case kinds::Type::Date:
        out += cache.dateText(stored.toLongLong());
        break;
    case kinds::Type::Float:
        out += cache.floatText(float(stored.toDouble()));
        break;
    }
}

template <typename T>
void writeNode(QByteArray &out, const Node &n, const kinds::Descriptor<T> &d, const T &object,
               const QHash<QString, QByteArray> &handed, DefinitionCache &cache)
{
    if (!n.handed.isEmpty()) {
        out += handed.value(n.handed, QByteArrayLiteral("null"));
    } else if (n.field >= 0) {
        const kinds::Field<T> &f = d.fields[n.field];
        appendStored(out, f.type, f.get(object, f.index), cache);
    } else if (n.list) {
        out += '[';
        for (qsizetype i = 0; i < n.items.size(); ++i) {
            if (i)
                out += ',';
            writeNode(out, n.items[i], d, object, handed, cache);
        }
        out += ']';
    } else {
        out += '{';
        bool first = true;
        for (auto it = n.members.cbegin(); it != n.members.cend(); ++it) {
            if (!first)
                out += ',';
            first = false;
            appendString(out, it.key());
            out += ':';
            writeNode(out, it.value(), d, object, handed, cache);
        }
        out += '}';
    }
}

// The definitions a snapshot copies, each once, in the order the set first names them.
class Collected
{
public:
    explicit Collected(DefinitionCache &cache)
        : m_cache(cache)
    {}

    // The name of the definition as JSON text, the definition joining the part's list of its kind;
    // null for none.
    QByteArray refer(Kind kind, qint32 id)
    {
        if (id <= 0)
            return QByteArrayLiteral("null");
        const QByteArray &text = m_cache.text(kind, id);
        if (!m_seen[kind].contains(id)) {
            m_seen[kind].insert(id);
            QByteArray &list = m_lists[kind];
            if (!list.isEmpty())
                list += ',';
            list += text;
        }
        QByteArray name;
        appendString(name, m_cache.name(kind, id));
        return name;
    }

    QByteArray list(Kind kind) const { return '[' + m_lists.value(kind) + ']'; }

private:
    DefinitionCache &m_cache;
    QHash<Kind, QSet<qint32>> m_seen;
    QHash<Kind, QByteArray> m_lists;
};

} // namespace

Part settingsPart(const FragAnalysisParam &s, const Dates &dates, const References &references,
                  DefinitionCache &definitions)
{
    for (Kind kind : {Kind::Project, Kind::SizeStandard, Kind::MobilityCalibration, Kind::MobilityReference})
        definitions.prefetch(kind, references.ids(kind));
    Collected collected(definitions);

    // Written as canonical text, as the tags part is: keys in order, no blanks.
    const auto &d = kinds::sets();
    static const QStringList referenceLabels = [] {
        QStringList labels;
        for (const auto &r : kinds::sets().references)
            labels << r.label;
        return labels;
    }();
    static const Node setLayout = layoutOf(d, referenceLabels + QStringList{kProjectKey, kinds::kEntriesLabel});
    static const Node entryLayout = layoutOf(kinds::entries(), {kinds::kCalibrationLabel});
    static const Node calibrationLayout =
        layoutOf(kinds::entryCalibrations(), {kStandardKey, kinds::selectedPeaks().label});

    QHash<QString, QByteArray> handed;
    handed.insert(QStringLiteral("dateCreated"), definitions.dateText(dates.created));
    handed.insert(QStringLiteral("dateModified"), definitions.dateText(dates.modified));
    // A project the set names by an ID no project row has (an old store) is kept as none.
    QByteArray project = QByteArrayLiteral("null");
    if (references.project > 0) {
        try {
            project.clear();
            appendString(project, definitions.name(Kind::Project, references.project));
        } catch (const Error &) {
            project = QByteArrayLiteral("null");
        }
    }
    handed.insert(kProjectKey, project);
    for (qsizetype i = 0; i < d.references.size(); ++i)
        handed.insert(d.references[i].label, collected.refer(d.references[i].target, references.set.value(i)));

    QByteArray entries = "[";
    for (qint32 e = 0; e < s.EntryCount(); ++e) {
        if (e)
            entries += ',';
        QByteArray calibration = QByteArrayLiteral("null");
        if (const SizeCalibrationPtr c = s.SizeCalibration(e)) {
            QByteArray peaks = "[";
            for (qint16 p : c->SelectedPeaks())
                peaks += (peaks.size() > 1 ? "," : "") + QByteArray::number(p);
            peaks += ']';
            const QHash<QString, QByteArray> calibrationHanded{
                {kStandardKey, collected.refer(Kind::SizeStandard, references.entryStandards.value(e))},
                {kinds::selectedPeaks().label, peaks}};
            calibration.clear();
            writeNode(calibration, calibrationLayout, kinds::entryCalibrations(), *c, calibrationHanded, definitions);
        }
        writeNode(entries, entryLayout, kinds::entries(), kinds::SetEntry{const_cast<FragAnalysisParam *>(&s), e},
                  QHash<QString, QByteArray>{{kinds::kCalibrationLabel, calibration}}, definitions);
    }
    entries += ']';
    handed.insert(kinds::kEntriesLabel, entries);

    Part part;
    QByteArray set;
    writeNode(set, setLayout, d, s, handed, definitions);
    part.encoded = "{\"mobilityCalibrations\":" + collected.list(Kind::MobilityCalibration) +
                   ",\"mobilityReferences\":" + collected.list(Kind::MobilityReference) + ",\"set\":" + set +
                   ",\"sizeStandards\":" + collected.list(Kind::SizeStandard) + '}';
    part.hash = QCryptographicHash::hash(part.encoded, kHash);
    return part;
}

Part tagsPart(const References &references, DefinitionCache &definitions)
{
    definitions.prefetch(Kind::StrTag, references.ids(Kind::StrTag));
    definitions.prefetch(Kind::SnpTag, references.ids(Kind::SnpTag));
    // Written as text: the part of a set of thousands of tags is their texts joined, in the canonical
    // form (keys in order, no blanks) of the settings part.
    Part part;
    QByteArray &out = part.encoded;
    out = "{\"entries\":[";
    for (qsizetype e = 0; e < references.str.size(); ++e) {
        out += e ? ",{\"snpLocusTags\":[" : "{\"snpLocusTags\":[";
        const QList<qint32> snp = references.snp.value(e);
        for (qsizetype t = 0; t < snp.size(); ++t) {
            if (t)
                out += ',';
            out += definitions.text(Kind::SnpTag, snp[t]);
        }
        out += "],\"strLocusTags\":[";
        const QList<qint32> &str = references.str.at(e);
        for (qsizetype t = 0; t < str.size(); ++t) {
            if (t)
                out += ',';
            out += definitions.text(Kind::StrTag, str[t]);
        }
        out += "]}";
    }
    out += "]}";
    part.hash = QCryptographicHash::hash(out, kHash);
    return part;
}

} // namespace veltrane::host::snapshot
