#include "veltrane/contracts/keyed_collection.h"

#include "veltrane/contracts/error.h"

namespace veltrane {

static const QString kSource = QStringLiteral("Collection");

QVariant toVariant(const ObjectPtr &object)
{
    return QVariant::fromValue(object);
}

QString KeyedCollection::fold(const QString &key)
{
    // Keys are mostly plain ASCII names, whose case folding is a lower-casing of A to Z: done here it
    // costs a fraction of the Unicode path, which stored lists of thousands of items feel.
    bool upper = false;
    for (const QChar c : key) {
        if (c.unicode() >= 0x80)
            return key.toCaseFolded();
        upper |= c.unicode() >= 'A' && c.unicode() <= 'Z';
    }
    if (!upper)
        return key;
    QString folded(key.size(), Qt::Uninitialized);
    QChar *out = folded.data();
    for (const QChar c : key)
        *out++ = c.unicode() >= 'A' && c.unicode() <= 'Z' ? QChar(c.unicode() + ('a' - 'A')) : c;
    return folded;
}

const QVariant &KeyedCollection::Item(qint32 index) const
{
    if (index < 1 || index > Count())
        throw Error::subscriptOutOfRange(kSource);
    return m_entries[size_t(index - 1)].value;
}

QVariant &KeyedCollection::Item(qint32 index)
{
    if (index < 1 || index > Count())
        throw Error::subscriptOutOfRange(kSource);
    return m_entries[size_t(index - 1)].value;
}

const QVariant &KeyedCollection::Item(const QString &key) const
{
    auto it = m_index.constFind(fold(key));
    if (it == m_index.cend())
        throw Error::invalidProcedureCall(kSource, QStringLiteral("no item with the key \"%1\"").arg(key));
    return m_entries[size_t(*it)].value;
}

void KeyedCollection::Add(const QVariant &item, const QString &key)
{
    Add(QVariant(item), key);
}

void KeyedCollection::Add(QVariant &&item, const QString &key)
{
    if (!key.isEmpty()) {
        // One look-up: the key's slot is made, and a slot that existed already is a duplicate.
        const qsizetype before = m_index.size();
        qsizetype &position = m_index[fold(key)];
        if (m_index.size() == before)
            throw Error::duplicateKey(kSource);
        position = qsizetype(m_entries.size());
    }
    m_entries.push_back(Entry{std::move(item), key});
}

void KeyedCollection::Remove(qint32 index)
{
    if (index < 1 || index > Count())
        throw Error::subscriptOutOfRange(kSource);
    const qsizetype pos = index - 1;
    if (!m_entries[size_t(pos)].key.isEmpty())
        m_index.remove(fold(m_entries[size_t(pos)].key));
    m_entries.erase(m_entries.begin() + pos);
    reindexFrom(pos);
}

void KeyedCollection::Remove(const QString &key)
{
    auto it = m_index.constFind(fold(key));
    if (it == m_index.cend())
        throw Error::invalidProcedureCall(kSource, QStringLiteral("no item with the key \"%1\"").arg(key));
    Remove(qint32(*it + 1));
}

void KeyedCollection::Clear()
{
    m_entries.clear();
    m_index.clear();
}

bool KeyedCollection::Contains(const QString &key) const
{
    return !key.isEmpty() && m_index.contains(fold(key));
}

QString KeyedCollection::KeyAt(qint32 index) const
{
    if (index < 1 || index > Count())
        throw Error::subscriptOutOfRange(kSource);
    return m_entries[size_t(index - 1)].key;
}

qint32 KeyedCollection::IndexOf(const QString &key) const
{
    auto it = m_index.constFind(fold(key));
    return it == m_index.cend() ? 0 : qint32(*it + 1);
}

void KeyedCollection::reserve(qsizetype n)
{
    m_entries.reserve(size_t(n));
    m_index.reserve(n);
}

void KeyedCollection::reindexFrom(qsizetype position)
{
    for (qsizetype i = position; i < qsizetype(m_entries.size()); ++i)
        if (!m_entries[size_t(i)].key.isEmpty())
            m_index[fold(m_entries[size_t(i)].key)] = i;
}

} // namespace veltrane
