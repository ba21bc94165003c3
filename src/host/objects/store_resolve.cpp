#include "host/objects/store_rows.h"

#include "veltrane/contracts/error.h"
#include "veltrane/contracts/vocabulary.h"

#include <QSet>
#include <charconv>

namespace veltrane::host::io {

ReferenceResolver::ReferenceResolver(const Context &ctx)
    : m_ctx(ctx)
{}

void ReferenceResolver::prefetch(Kind kind, const QList<const BusinessObject *> &objects)
{
    QList<qint32> ids;
    QSet<qint32> seenIds;
    for (const BusinessObject *o : objects)
        if (o && o->ID() > 0 && !m_ids[kind].contains(o->ID()) && !seenIds.contains(o->ID())) {
            seenIds.insert(o->ID());
            ids.append(o->ID());
        }
    prefetchIds(kind, ids);

    // Objects without a stored ID are found by name.
    QStringList names;
    QSet<QString> seenNames;
    const QHash<QString, qint32> &known = m_byName[kind];
    for (const BusinessObject *o : objects) {
        if (!o || (o->ID() > 0 && m_ids[kind].value(o->ID())))
            continue;
        const QString key = nameKey(o->Name());
        if (!known.contains(key) && !seenNames.contains(key)) {
            seenNames.insert(key);
            names.append(o->Name());
        }
    }
    lookUpNames(kind, names);
}

void ReferenceResolver::prefetchNames(Kind kind, const QStringList &names)
{
    QStringList unknown;
    QSet<QString> seen;
    const QHash<QString, qint32> &known = m_byName[kind];
    for (const QString &name : names) {
        const QString key = nameKey(name);
        if (!known.contains(key) && !seen.contains(key)) {
            seen.insert(key);
            unknown.append(name);
        }
    }
    lookUpNames(kind, unknown);
}

IdList rowsWithIds(Engine engine, const QString &table, const QString &column, const QList<qint32> &ids)
{
    const bool sqlite = engine == Engine::SQLite;
    QByteArray list;
    list.reserve(ids.size() * 8 + 2);
    list += sqlite ? '[' : '{';
    for (qsizetype i = 0; i < ids.size(); ++i) {
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, ids.at(i)).ptr;
        if (i)
            list += ',';
        list.append(digits, end - digits);
    }
    list += sqlite ? ']' : '}';
    return {(sqlite ? QStringLiteral("json_each(?) AS listed JOIN %1 AS t ON t.%2 = listed.value")
                    : QStringLiteral("%1 AS t WHERE t.%2 = ANY(CAST(? AS integer[]))"))
                .arg(table, column),
            QString::fromLatin1(list)};
}

void ReferenceResolver::prefetchIds(Kind kind, const QList<qint32> &ids)
{
    if (ids.isEmpty())
        return;
    // The IDs are distinct. Mostly all of them are stored, which a count tells without a row each.
    const IdList in = rowsWithIds(m_ctx.engine, kinds::tableOf(kind), QStringLiteral("id"), ids);
    Statement count(m_ctx.db, QStringLiteral("SELECT COUNT(*) FROM ") + in.from);
    count.bind(in.bound).exec();
    const bool all = count.next() && count.int64At(0) == ids.size();
    count.finish();
    QHash<qint32, bool> &stored = m_ids[kind];
    stored.reserve(stored.size() + ids.size());
    for (const qint32 id : ids)
        stored.insert(id, all);
    if (all)
        return;
    Statement st(m_ctx.db, QStringLiteral("SELECT t.id FROM ") + in.from);
    st.bind(in.bound).exec();
    while (st.next())
        stored.insert(st.intAt(0), true);
}

void ReferenceResolver::lookUpNames(Kind kind, const QStringList &names)
{
    QHash<QString, qint32> &byName = m_byName[kind];
    forBatches(names.size(), [&](qsizetype from, qsizetype n) {
        const Filter filter = Filter::byNames(names.mid(from, n));
        Statement st(
            m_ctx.db,
            QStringLiteral("SELECT id, name_key FROM %1 WHERE %2").arg(kinds::tableOf(kind), condition(filter)));
        bindFilter(st, filter);
        st.exec();
        for (const QString &name : filter.names)
            byName.insert(nameKey(name), 0);
        while (st.next())
            byName.insert(st.textAt(1), st.intAt(0));
    });
}

qint32 ReferenceResolver::idOfName(Kind kind, const QString &name)
{
    const QString key = nameKey(name);
    const auto it = m_byName[kind].constFind(key);
    if (it != m_byName[kind].cend())
        return *it;
    const qint32 id = idByName(m_ctx, kind, name);
    m_byName[kind].insert(key, id);
    return id;
}

void ReferenceResolver::learn(Kind kind, const QString &name, qint32 id)
{
    m_byName[kind].insert(nameKey(name), id);
    m_ids[kind].insert(id, true);
}

qint32 ReferenceResolver::resolve(Kind kind, const BusinessObject *object, const QString &setName)
{
    if (!object)
        return 0;
    if (object->ID() > 0) {
        if (!m_ids[kind].contains(object->ID()))
            prefetchIds(kind, {object->ID()});
        if (m_ids[kind].value(object->ID()))
            return object->ID();
    }
    if (const qint32 id = idOfName(kind, object->Name()))
        return id;
    throw Error(kStoreInvalidObject, types::kFragAnalysisParam,
                QStringLiteral("The %1 \"%2\" of the parameter set \"%3\" is not stored.")
                    .arg(kinds::textOf(kind), object->Name(), setName));
}

// ---- stored sets by name ------------------------------------------------------------------------

namespace {

QString storedSetSelect(const Context &ctx, const QString &where, bool lockRows)
{
    QString sql = QStringLiteral("SELECT id, name, version, attributes, date_created, date_modified, name_key "
                                 "FROM %1 WHERE %2")
                      .arg(kinds::sets().table, where);
    // SQLite has no row locks; its write transactions (BEGIN IMMEDIATE) already exclude each other.
    if (lockRows && ctx.engine == Engine::PostgreSQL)
        sql += QStringLiteral(" FOR UPDATE");
    return sql;
}

StoredSet storedSetOf(const Statement &st)
{
    return StoredSet{st.intAt(0), st.textAt(1), st.intAt(2), st.intAt(3), st.int64At(4), st.int64At(5)};
}

} // namespace

std::optional<StoredSet> findSet(const Context &ctx, const QString &name, bool lockRow)
{
    Statement st(ctx.db, storedSetSelect(ctx, QStringLiteral("name_key = ?"), lockRow));
    st.bind(nameKey(name)).exec();
    if (!st.next())
        return std::nullopt;
    return storedSetOf(st);
}

QHash<QString, StoredSet> findSets(const Context &ctx, const QStringList &names, bool lockRows)
{
    QHash<QString, StoredSet> found;
    forBatches(names.size(), [&](qsizetype from, qsizetype n) {
        const Filter filter = Filter::byNames(names.mid(from, n));
        Statement st(ctx.db, storedSetSelect(ctx, condition(filter), lockRows));
        bindFilter(st, filter);
        st.exec();
        while (st.next())
            found.insert(st.textAt(6), storedSetOf(st));
    });
    return found;
}

QString lastWriter(const Context &ctx, qint32 setId)
{
    Statement st(ctx.db,
                 QStringLiteral("SELECT %1 FROM %2 WHERE id = ?").arg(kinds::kModifiedByColumn, kinds::sets().table));
    st.bind(setId).exec();
    return st.next() ? st.textAt(0) : QString();
}

} // namespace veltrane::host::io
