#pragma once

// Internal to the store: statements built from the kinds' descriptions, and the small pieces every read
// and write shares.

#include "host/objects/kinds.h"
#include "host/objects/store_io.h"

#include <QStringList>

namespace veltrane::host::io {

// Folded names compare by code point on both engines (a server's own collation could order them
// differently), so lists come out in the same order everywhere.
inline QString orderBy(const Context &ctx, const QString &alias = {})
{
    return QStringLiteral(" ORDER BY %1name_key%2, %1id")
        .arg(alias, ctx.engine == Engine::PostgreSQL ? QStringLiteral(" COLLATE \"C\"") : QString());
}

// The condition a filter adds (empty for all rows); bindFilter supplies its value.
inline QString condition(const Filter &filter, const QString &alias = {})
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

inline QString whereFilter(const Filter &filter, const QString &alias = {})
{
    const QString c = condition(filter, alias);
    return c.isEmpty() ? QString() : QStringLiteral(" WHERE ") + c;
}

inline void bindFilter(Statement &st, const Filter &filter)
{
    if (filter.by == Filter::Id)
        st.bind(filter.id);
    else if (filter.by == Filter::Name)
        st.bind(nameKey(filter.name));
}

inline QVariant nullableId(qint32 id)
{
    return id > 0 ? QVariant(id) : QVariant(QMetaType::fromType<int>());
}

// "a, b, c" of the leading columns and the descriptor's, for SELECT and INSERT lists.
template <typename T>
QString columnsWith(const QStringList &leading, const kinds::Descriptor<T> &d, const QString &alias = {})
{
    const QString own = d.columnList(alias);
    QStringList all;
    for (const QString &c : leading)
        all << alias + c;
    if (!own.isEmpty())
        all << own;
    return all.join(QStringLiteral(", "));
}

// "?, ?, ?" for n values.
inline QString placeholders(qsizetype n)
{
    QString text;
    text.reserve(n * 3);
    for (qsizetype i = 0; i < n; ++i)
        text += i ? QStringLiteral(", ?") : QStringLiteral("?");
    return text;
}

// Reads the descriptor's fields from the row, starting at column first; answers the column after them
// (where the references' IDs follow).
template <typename T> int readFields(const kinds::Descriptor<T> &d, const Statement &st, int first, T &target)
{
    int c = first;
    for (const kinds::Field<T> &f : d.fields)
        f.set(target, f.index, st.value(c++));
    return c;
}

// Binds the descriptor's fields in column order; stamped fields take the stamp's value when one is given.
template <typename T>
void bindFields(Statement &st, const kinds::Descriptor<T> &d, const T &source, const SetStamp *stamp = nullptr)
{
    for (const kinds::Field<T> &f : d.fields) {
        if (stamp && f.stamp != kinds::Stamp::None) {
            switch (f.stamp) {
            case kinds::Stamp::Attributes:
                st.bind(stamp->attributes);
                break;
            case kinds::Stamp::DateCreated:
                st.bind(stamp->dateCreated);
                break;
            case kinds::Stamp::DateModified:
                st.bind(stamp->dateModified);
                break;
            case kinds::Stamp::None:
                break;
            }
            continue;
        }
        st.bind(f.get(source, f.index));
    }
}

} // namespace veltrane::host::io
