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
            return key.normalized(QString::NormalizationForm_C).toCaseFolded().normalized(QString::NormalizationForm_C);
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

quint32 KeyedCollection::hashOf(const QString &folded)
{
    return quint32(qHash(folded, QHashSeed::globalSeed()));
}

qsizetype KeyedCollection::slotOf(const QString &folded, quint32 hash) const
{
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot &slot = m_slots[i];
        if (slot.position < 0 || (slot.hash == hash && m_entries[size_t(slot.position)].folded == folded))
            return qsizetype(i);
    }
}

void KeyedCollection::rebuildIndex(qsizetype capacity)
{
    size_t size = 16;
    while (size * 3 < size_t(capacity) * 4)
        size *= 2;
    m_slots.assign(size, Slot{});
    for (size_t p = 0; p < m_entries.size(); ++p) {
        const Entry &e = m_entries[p];
        if (e.key.isEmpty())
            continue;
        const quint32 hash = hashOf(e.folded);
        m_slots[size_t(slotOf(e.folded, hash))] = Slot{hash, qint32(p)};
    }
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
    const qint32 index = IndexOf(key);
    if (index == 0)
        throw Error::invalidProcedureCall(kSource, QStringLiteral("no item with the key \"%1\"").arg(key));
    return m_entries[size_t(index - 1)].value;
}

void KeyedCollection::Add(const QVariant &item, const QString &key)
{
    Add(QVariant(item), key);
}

void KeyedCollection::Add(QVariant &&item, const QString &key)
{
    if (key.isEmpty()) {
        m_entries.push_back(Entry{std::move(item), key, {}});
        return;
    }
    if ((m_keyed + 1) * 4 > qsizetype(m_slots.size()) * 3)
        rebuildIndex(std::max<qsizetype>(m_keyed + 1, m_keyed * 2));
    QString folded = fold(key);
    const quint32 hash = hashOf(folded);
    Slot &slot = m_slots[size_t(slotOf(folded, hash))];
    if (slot.position >= 0)
        throw Error::duplicateKey(kSource);
    m_entries.push_back(Entry{std::move(item), key, std::move(folded)});
    slot = Slot{hash, qint32(m_entries.size() - 1)};
    ++m_keyed;
}

void KeyedCollection::Remove(qint32 index)
{
    if (index < 1 || index > Count())
        throw Error::subscriptOutOfRange(kSource);
    const bool keyed = !m_entries[size_t(index - 1)].key.isEmpty();
    m_entries.erase(m_entries.begin() + (index - 1));
    // The items after it move up one place: the index is made again (removals are rare and a
    // collection's keys are counted in thousands at most).
    if (keyed)
        --m_keyed;
    if (m_keyed > 0)
        rebuildIndex(m_keyed);
    else
        m_slots.clear();
}

void KeyedCollection::Remove(const QString &key)
{
    const qint32 index = IndexOf(key);
    if (index == 0)
        throw Error::invalidProcedureCall(kSource, QStringLiteral("no item with the key \"%1\"").arg(key));
    Remove(index);
}

void KeyedCollection::Clear()
{
    m_entries.clear();
    m_slots.clear();
    m_keyed = 0;
}

bool KeyedCollection::Contains(const QString &key) const
{
    return !key.isEmpty() && IndexOf(key) > 0;
}

QString KeyedCollection::KeyAt(qint32 index) const
{
    if (index < 1 || index > Count())
        throw Error::subscriptOutOfRange(kSource);
    return m_entries[size_t(index - 1)].key;
}

qint32 KeyedCollection::IndexOf(const QString &key) const
{
    if (m_slots.empty() || key.isEmpty())
        return 0;
    const QString folded = fold(key);
    const Slot &slot = m_slots[size_t(slotOf(folded, hashOf(folded)))];
    return slot.position + 1;
}

void KeyedCollection::reserve(qsizetype n)
{
    m_entries.reserve(size_t(n));
    if (n * 4 > qsizetype(m_slots.size()) * 3)
        rebuildIndex(n);
}

} // namespace veltrane
