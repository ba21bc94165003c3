#include "veltrane/contracts/host_services.h"

#include "veltrane/contracts/error.h"

#include <QMutex>
#include <QMutexLocker>

namespace veltrane {

namespace {

QMutex g_mutex;
HostFactories g_factories;
quint64 g_generation = 1; // bumped by every install, so threads notice new factories

struct ThreadHelpers
{
    quint64 generation = 0;
    std::shared_ptr<FrameworkApplication> application;
    std::shared_ptr<FrameworkUtilities> utilities;
    std::shared_ptr<BusinessObjectManager> objects;
    std::shared_ptr<GridUtilities> grids;
};

thread_local ThreadHelpers t_helpers;

ThreadHelpers &helpers()
{
    QMutexLocker lock(&g_mutex);
    if (t_helpers.generation != g_generation) {
        t_helpers = ThreadHelpers{};
        t_helpers.generation = g_generation;
    }
    return t_helpers;
}

template <typename T>
std::shared_ptr<T> make(std::shared_ptr<T> &slot, std::function<std::shared_ptr<T>()> HostFactories::*factory,
                        const char *what)
{
    if (slot)
        return slot;
    std::function<std::shared_ptr<T>()> f;
    {
        QMutexLocker lock(&g_mutex);
        f = g_factories.*factory;
    }
    if (!f)
        throw Error(kApplicationError, QStringLiteral("Veltrane"),
                    QStringLiteral("The host has not provided the %1.").arg(QLatin1String(what)));
    slot = f();
    if (!slot)
        throw Error(kApplicationError, QStringLiteral("Veltrane"),
                    QStringLiteral("The host could not create the %1.").arg(QLatin1String(what)));
    return slot;
}

} // namespace

void installHostFactories(HostFactories factories)
{
    QMutexLocker lock(&g_mutex);
    g_factories = std::move(factories);
    ++g_generation;
}

void resetThreadHelpers()
{
    ThreadHelpers old;
    {
        QMutexLocker lock(&g_mutex);
        std::swap(old, t_helpers);
        t_helpers.generation = g_generation;
    }
    // old is released here, outside the lock
}

std::shared_ptr<FrameworkApplication> appPtr()
{
    return make(helpers().application, &HostFactories::application, "page framework");
}
std::shared_ptr<FrameworkUtilities> utilitiesPtr()
{
    return make(helpers().utilities, &HostFactories::utilities, "framework utilities");
}
std::shared_ptr<BusinessObjectManager> objectManagerPtr()
{
    return make(helpers().objects, &HostFactories::objects, "business-object manager");
}
std::shared_ptr<GridUtilities> gridsPtr()
{
    return make(helpers().grids, &HostFactories::grids, "grid utilities");
}

FrameworkApplication &App()
{
    return *appPtr();
}
FrameworkUtilities &Utilities()
{
    return *utilitiesPtr();
}
BusinessObjectManager &ObjectManager()
{
    return *objectManagerPtr();
}
GridUtilities &Grids()
{
    return *gridsPtr();
}

std::shared_ptr<BusinessObjectManager> newObjectManager()
{
    std::shared_ptr<BusinessObjectManager> fresh;
    return make(fresh, &HostFactories::objects, "business-object manager");
}

StorePtr currentObjectStore()
{
    {
        QMutexLocker lock(&g_mutex);
        if (!g_factories.objects)
            return {};
    }
    return objectManagerPtr()->store();
}

} // namespace veltrane
