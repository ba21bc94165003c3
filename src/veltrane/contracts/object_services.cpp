#include "veltrane/contracts/object_services.h"

#include "veltrane/contracts/error.h"

#include <QMutex>
#include <QMutexLocker>

namespace veltrane {

namespace {

QMutex g_mutex;
ObjectManagerFactory g_factory;
quint64 g_generation = 1; // bumped by every install, so threads notice a new factory

struct ThreadManager
{
    quint64 generation = 0;
    std::shared_ptr<BusinessObjectManager> manager;
};
thread_local ThreadManager t_manager;

ObjectManagerFactory currentFactory()
{
    QMutexLocker lock(&g_mutex);
    return g_factory;
}

std::shared_ptr<BusinessObjectManager> makeManager()
{
    const ObjectManagerFactory factory = currentFactory();
    if (!factory)
        throw Error(kLibraryError, QStringLiteral("Veltrane"),
                    QStringLiteral("The host has not provided the business-object manager."));
    std::shared_ptr<BusinessObjectManager> manager = factory();
    if (!manager)
        throw Error(kLibraryError, QStringLiteral("Veltrane"),
                    QStringLiteral("The host could not create the business-object manager."));
    return manager;
}

} // namespace

void installObjectManagerFactory(ObjectManagerFactory factory)
{
    QMutexLocker lock(&g_mutex);
    g_factory = std::move(factory);
    ++g_generation;
}

void resetThreadObjectManager()
{
    std::shared_ptr<BusinessObjectManager> old;
    {
        QMutexLocker lock(&g_mutex);
        old.swap(t_manager.manager);
        t_manager.generation = g_generation;
    }
    // old is released here, outside the lock
}

std::shared_ptr<BusinessObjectManager> objectManagerPtr()
{
    std::shared_ptr<BusinessObjectManager> stale; // released after the lock
    {
        QMutexLocker lock(&g_mutex);
        if (t_manager.generation != g_generation) {
            stale.swap(t_manager.manager);
            t_manager.generation = g_generation;
        }
        if (t_manager.manager)
            return t_manager.manager;
    }
    std::shared_ptr<BusinessObjectManager> made = makeManager();
    QMutexLocker lock(&g_mutex);
    t_manager.manager = made;
    return made;
}

BusinessObjectManager &ObjectManager()
{
    return *objectManagerPtr();
}

std::shared_ptr<BusinessObjectManager> newObjectManager()
{
    return makeManager();
}

StorePtr currentObjectStore()
{
    if (!currentFactory())
        return {};
    return objectManagerPtr()->store();
}

} // namespace veltrane
