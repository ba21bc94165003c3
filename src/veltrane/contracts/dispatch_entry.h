#pragma once

// A class's dispatch table as calls use it: each member resolved against the class's meta-object and
// indexed by name and by dispatch id. Shared by the binding, the registry and the calls; no host sees it.

#include "veltrane/contracts/automation.h"

#include <QHash>
#include <QMetaType>
#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace veltrane::automation {

constexpr int kKinds = 3;

inline int kindIndex(CallKind kind)
{
    return int(kind);
}

// Member names are plain ASCII almost always; folding them here spares the Unicode path on every
// call by name.
inline QString fold(const QString &name)
{
    bool upper = false;
    for (const QChar c : name) {
        if (c.unicode() >= 0x80)
            return name.toCaseFolded();
        upper |= c.unicode() >= 'A' && c.unicode() <= 'Z';
    }
    return upper ? name.toLower() : name;
}

inline bool isObjectPointer(QMetaType t)
{
    return t.flags().testFlag(QMetaType::PointerToQObject);
}

// One member of the table resolved against the class's meta-object.
struct Binding
{
    int methodIndex = -1;
    int propertyIndex = -1;
    std::vector<QMetaType> argumentTypes;
    // Per argument, whether a caller's value of the member's very type is used where it lies (not for
    // objects and variants, which are checked or taken as they are), and whether it is by reference.
    std::vector<char> usedInPlace, byRef;
    QMetaType resultType;
    QString problem; // why the class cannot answer the member; empty when it can
};

// A registered table with its members resolved and indexed.
struct Entry
{
    const QMetaObject *meta = nullptr;
    DispatchTable table;
    std::vector<Binding> bindings;
    std::array<QHash<QString, int>, kKinds> byName;
    // (dispatch id, member) sorted by id: a class has tens of members, which a binary search over one
    // small array finds faster than a hash table does.
    std::array<std::vector<std::pair<qint32, int>>, kKinds> byId;

    // The member of this kind with this id, -1 when there is none.
    int findId(CallKind kind, qint32 dispId) const
    {
        const auto &ids = byId[kindIndex(kind)];
        const auto it = std::lower_bound(ids.begin(), ids.end(), std::pair<qint32, int>(dispId, -1));
        return it != ids.end() && it->first == dispId ? it->second : -1;
    }

    // Resolves every member of the table against the class (dispatch_binding.cpp).
    Entry(const QMetaObject *m, DispatchTable t);
};

using EntryPtr = std::shared_ptr<const Entry>;

// The entry that answers for objects of this class (its own table or a base class's), null when none does.
EntryPtr entryFor(const QMetaObject *meta);
// The entry of the object's class; raises kDispMemberNotFound when it has none.
const Entry *requireEntry(QObject *object);

} // namespace veltrane::automation
