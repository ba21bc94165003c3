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
    std::shared_ptr<GridUtilities> grids;
};

thread_local ThreadHelpers t_helpers;

template <typename T>
T &helper(std::shared_ptr<T> ThreadHelpers::*slot, std::function<std::shared_ptr<T>()> HostFactories::*factory,
          const char *what)
{
    std::function<std::shared_ptr<T>()> make;
    {
        ThreadHelpers stale; // released after the lock
        QMutexLocker lock(&g_mutex);
        if (t_helpers.generation != g_generation) {
            std::swap(stale, t_helpers);
            t_helpers.generation = g_generation;
        }
        if (T *made = (t_helpers.*slot).get())
            return *made;
        make = g_factories.*factory;
    }
    if (!make)
        throw Error(kLibraryError, QStringLiteral("Veltrane"),
                    QStringLiteral("The host has not provided the %1.").arg(QLatin1String(what)));
    std::shared_ptr<T> made = make();
    if (!made)
        throw Error(kLibraryError, QStringLiteral("Veltrane"),
                    QStringLiteral("The host could not create the %1.").arg(QLatin1String(what)));
    QMutexLocker lock(&g_mutex);
    t_helpers.*slot = made;
    return *made;
}

} // namespace

void installHostFactories(HostFactories factories)
{
    installObjectManagerFactory(std::move(factories.objects));
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
    resetThreadObjectManager();
    // old is released here, outside the lock
}

FrameworkApplication &App()
{
    return helper(&ThreadHelpers::application, &HostFactories::application, "page framework");
}

FrameworkUtilities &Utilities()
{
    return helper(&ThreadHelpers::utilities, &HostFactories::utilities, "framework utilities");
}

GridUtilities &Grids()
{
    return helper(&ThreadHelpers::grids, &HostFactories::grids, "grid utilities");
}

} // namespace veltrane
