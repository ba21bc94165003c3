#include "veltrane/contracts/dispatch_entry.h"
#include "veltrane/contracts/dispatch_error.h"

#include <QReadWriteLock>
#include <atomic>

// The registered dispatch tables, and the entry that answers for each class, resolved once.

namespace veltrane::automation {

namespace {

struct Registry
{
    QReadWriteLock lock;
    QHash<const QMetaObject *, DispatchTable> tables;
    // Per concrete class: the entry that answers for it, or null when none does.
    QHash<const QMetaObject *, EntryPtr> resolved;
    // Every entry ever made, so that a table handed out stays valid after its class registers anew.
    std::vector<EntryPtr> kept;
};

Registry &registry()
{
    // Never destroyed: objects may still be called while other libraries' statics go away.
    static Registry *r = new Registry;
    return *r;
}

// Bumped by every registration, so that the per-thread memo below notices new tables.
std::atomic<quint64> g_generation{1};

// The entry of the class called last on this thread. Entries are kept for the life of the process,
// so the memo may hold a plain pointer; a call then costs no lock and no reference count.
struct LastEntry
{
    quint64 generation = 0;
    const QMetaObject *meta = nullptr;
    const Entry *entry = nullptr;
};
thread_local LastEntry t_last;

} // namespace

EntryPtr entryFor(const QMetaObject *meta)
{
    Registry &r = registry();
    {
        QReadLocker read(&r.lock);
        if (auto it = r.resolved.constFind(meta); it != r.resolved.cend())
            return *it;
    }
    QWriteLocker write(&r.lock);
    if (auto it = r.resolved.constFind(meta); it != r.resolved.cend())
        return *it;
    EntryPtr entry;
    for (const QMetaObject *m = meta; m && !entry; m = m->superClass()) {
        if (auto own = r.resolved.constFind(m); own != r.resolved.cend() && *own)
            entry = *own;
        else if (auto table = r.tables.constFind(m); table != r.tables.cend()) {
            entry = r.resolved[m] = std::make_shared<const Entry>(m, *table);
            r.kept.push_back(entry);
        }
    }
    r.resolved.insert(meta, entry);
    return entry;
}

const Entry *requireEntry(QObject *object)
{
    if (!object)
        throw Error::objectNotSet(QStringLiteral("Automation"), QStringLiteral("no object to call"));
    const QMetaObject *meta = object->metaObject();
    const quint64 generation = g_generation.load(std::memory_order_acquire);
    if (t_last.meta == meta && t_last.generation == generation && t_last.entry)
        return t_last.entry;
    const EntryPtr entry = entryFor(meta);
    if (!entry)
        throw dispatchError(kDispMemberNotFound, QString::fromLatin1(object->metaObject()->className()),
                            QStringLiteral("the class has no dispatch table"));
    t_last = LastEntry{generation, meta, entry.get()};
    return entry.get();
}

void registerDispatchTable(const QMetaObject *meta, DispatchTable table)
{
    Registry &r = registry();
    QWriteLocker write(&r.lock);
    if (table.className.isEmpty())
        table.className = QString::fromLatin1(meta->className());
    r.tables.insert(meta, std::move(table));
    r.resolved.clear();
    g_generation.fetch_add(1, std::memory_order_acq_rel);
}

const DispatchTable *dispatchTable(const QMetaObject *meta)
{
    const EntryPtr entry = entryFor(meta);
    return entry ? &entry->table : nullptr;
}

} // namespace veltrane::automation
