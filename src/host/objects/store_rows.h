#pragma once

// Internal to the store: statements built from the kinds' descriptions, and the small pieces every read
// and write shares.

#include "host/objects/kinds.h"
#include "host/objects/store_io.h"

#include <QHash>
#include <QStringList>

namespace veltrane::host::io {

// Folded names compare by code point on both engines (a server's own collation could order them
// differently), so lists come out in the same order everywhere.
inline QString orderBy(const Context &ctx, const QString &alias = {})
{
    return QStringLiteral(" ORDER BY %1name_key%2, %1id")
        .arg(alias, ctx.engine == Engine::PostgreSQL ? QStringLiteral(" COLLATE \"C\"") : QString());
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

// The rows of a table whose column holds one of many IDs, as what follows FROM (the table is called
// t; add no WHERE), with the one value to bind: the IDs go as one text the database reads as a list
// (a JSON array on SQLite, an array on PostgreSQL), so a set of ten thousand tags binds one value,
// not ten thousand, and the statement is prepared once. SQLite walks the list and seeks each row by
// its key, three times faster than "IN (list)"; PostgreSQL looks the array up in the column's index,
// where a join would hash the whole table. The IDs must be distinct.
struct IdList
{
    QString from;
    QString bound;
};
IdList rowsWithIds(Engine engine, const QString &table, const QString &column, const QList<qint32> &ids);

// The condition a filter adds (empty for all rows); bindFilter supplies its values.
inline QString condition(const Filter &filter, const QString &alias = {})
{
    switch (filter.by) {
    case Filter::Id:
        return alias + QStringLiteral("id = ?");
    case Filter::Name:
        return filter.names.size() == 1
                   ? alias + QStringLiteral("name_key = ?")
                   : alias + QStringLiteral("name_key IN (%1)").arg(placeholders(filter.names.size()));
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
        for (const QString &name : filter.names)
            st.bind(nameKey(name));
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

// Rows of one table written by multi-row INSERT statements, in batches (see forBatches).
class BatchInsert
{
public:
    // Rows whose values are all bound.
    BatchInsert(const Context &ctx, const QString &table, const QStringList &columns)
        : BatchInsert(ctx, table, columns, QStringList(columns.size(), QStringLiteral("?")))
    {}
    // Rows of the values given: "?" for one bound row by row, else the SQL text of a value every row
    // shares, which then costs nothing per row.
    BatchInsert(const Context &ctx, const QString &table, const QStringList &columns, const QStringList &values)
        : m_ctx(ctx)
        , m_head(QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(table, columns.join(QStringLiteral(", "))))
        , m_row(QLatin1Char('(') + values.join(QStringLiteral(", ")) + QLatin1Char(')'))
        , m_width(values.count(QStringLiteral("?")))
    {}

    BatchInsert &operator<<(const QVariant &value)
    {
        m_values.append(value);
        if (m_values.size() == m_width * batchRows(m_width))
            flush();
        return *this;
    }

    void flush()
    {
        forBatches(
            m_values.size() / m_width,
            [this](qsizetype from, qsizetype rows) {
                Statement st(m_ctx.db, statementFor(int(rows)));
                for (qsizetype i = 0; i < rows * m_width; ++i)
                    st.bind(m_values.at(from * m_width + i));
                st.exec();
            },
            batchRows(m_width));
        m_values.clear();
    }

private:
    const QString &statementFor(int rows)
    {
        QString &sql = m_statements[rows];
        if (sql.isEmpty()) {
            sql = m_head;
            for (int r = 0; r < rows; ++r)
                sql += r ? QStringLiteral(", ") + m_row : m_row;
        }
        return sql;
    }

    const Context &m_ctx;
    QString m_head;
    QString m_row;
    qsizetype m_width;
    QList<QVariant> m_values;
    QHash<int, QString> m_statements;
};

} // namespace veltrane::host::io
