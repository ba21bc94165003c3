#pragma once

#include <QHash>
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QVariant>
#include <vector>

namespace veltrane {

// Reference-counted object handle: business objects and other late-bound objects travel as this,
// also inside QVariant (use toVariant/objectFrom).
using ObjectPtr = QSharedPointer<QObject>;

QVariant toVariant(const ObjectPtr &object);

template <typename T> QVariant toVariant(const QSharedPointer<T> &object)
{
    return toVariant(object.template staticCast<QObject>());
}

// The object a variant holds, or null when it holds nothing or an object of another class.
template <typename T = QObject> QSharedPointer<T> objectFrom(const QVariant &value)
{
    return qSharedPointerObjectCast<T>(value.value<ObjectPtr>());
}

// An ordered collection with optional text keys: items are numbered from 1, keys compare without
// regard to case, enumeration follows insertion order. Adding an existing key and reading a missing
// key or number raise an Error (the business context and every stored collection rely on it).
class KeyedCollection
{
public:
    struct Entry
    {
        QVariant value;
        QString key;    // as given; empty when the item was added without a key
        QString folded; // the key as keys compare (shares the key's text when that is folded already)
    };

    KeyedCollection() = default;

    qint32 Count() const { return qint32(m_entries.size()); }

    // Item by 1-based number or by key.
    const QVariant &Item(qint32 index) const;
    const QVariant &Item(const QString &key) const;
    QVariant &Item(qint32 index);

    template <typename T = QObject> QSharedPointer<T> Object(qint32 index) const { return objectFrom<T>(Item(index)); }
    template <typename T = QObject> QSharedPointer<T> Object(const QString &key) const
    {
        return objectFrom<T>(Item(key));
    }

    // Adds at the end; an empty key adds without a key.
    void Add(const QVariant &item, const QString &key = {});
    void Add(QVariant &&item, const QString &key = {});
    template <typename T> void Add(const QSharedPointer<T> &object, const QString &key = {})
    {
        Add(toVariant(object), key);
    }

    void Remove(qint32 index);
    void Remove(const QString &key);
    void Clear();

    bool Contains(const QString &key) const;
    QString KeyAt(qint32 index) const;        // the key of item index, empty when it has none
    qint32 IndexOf(const QString &key) const; // 1-based, 0 when missing

    void reserve(qsizetype n);

    class const_iterator
    {
    public:
        using value_type = QVariant;
        using difference_type = std::ptrdiff_t;
        const_iterator() = default;
        explicit const_iterator(std::vector<Entry>::const_iterator it)
            : m_it(it)
        {}
        const QVariant &operator*() const { return m_it->value; }
        const QVariant *operator->() const { return &m_it->value; }
        const_iterator &operator++()
        {
            ++m_it;
            return *this;
        }
        bool operator==(const const_iterator &o) const { return m_it == o.m_it; }
        bool operator!=(const const_iterator &o) const { return m_it != o.m_it; }

    private:
        std::vector<Entry>::const_iterator m_it;
    };
    const_iterator begin() const { return const_iterator(m_entries.cbegin()); }
    const_iterator end() const { return const_iterator(m_entries.cend()); }

    // All objects of the collection cast to T, in order (items that are not T are skipped).
    template <typename T> QList<QSharedPointer<T>> objects() const
    {
        QList<QSharedPointer<T>> out;
        out.reserve(Count());
        for (const auto &e : m_entries)
            if (auto o = objectFrom<T>(e.value))
                out.append(o);
        return out;
    }

    // The form under which keys are compared: case folded, and composed (NFC), so that the same text
    // written in other Unicode forms (an accent as a mark of its own, or as part of its letter) is one
    // key, as it looks like one.
    static QString fold(const QString &key);

private:
    // The index: open addressing over slots that keep each key's hash beside its item's position,
    // so a look-up in a list of a hundred thousand names compares texts only where hashes agree.
    struct Slot
    {
        quint32 hash = 0;
        qint32 position = -1; // 0-based; -1 for an empty slot
    };

    static quint32 hashOf(const QString &folded);
    // The slot holding the key, or the empty slot where it would go.
    qsizetype slotOf(const QString &folded, quint32 hash) const;
    void rebuildIndex(qsizetype capacity);

    std::vector<Entry> m_entries;
    std::vector<Slot> m_slots; // a power of two in size, at most three quarters used; empty when no key
    qsizetype m_keyed = 0;     // items with a key
};

using CollectionPtr = QSharedPointer<KeyedCollection>;

inline CollectionPtr newCollection()
{
    return CollectionPtr::create();
}

} // namespace veltrane
