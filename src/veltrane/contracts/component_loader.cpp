#include "veltrane/contracts/component_loader.h"

#include "veltrane/contracts/component_registry.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <cstdlib>
#include <dlfcn.h>
#include <memory>

namespace veltrane::components {

namespace {

const QString kSource = QStringLiteral("ComponentHost");

template <typename Fn> Fn entryPoint(void *handle, const char *name, const QString &path)
{
    void *symbol = dlsym(handle, name);
    if (!symbol)
        throw componentError(kErrorInLibrary, kSource,
                             QStringLiteral("%1 has no entry point %2").arg(path, QLatin1String(name)));
    return reinterpret_cast<Fn>(symbol);
}

} // namespace

Error componentError(VtResult status, const QString &source, const QString &detail)
{
    QString text = componentErrorText(status);
    if (text.isEmpty())
        text = QStringLiteral("Failure 0x%1").arg(quint32(status), 8, 16, QLatin1Char('0'));
    if (!detail.isEmpty())
        text += QLatin1String(": ") + detail;
    return Error(status, source, text);
}

const ComponentLibrary &loadComponentLibrary(const QString &path)
{
    static QMutex mutex;
    static QHash<QString, std::shared_ptr<ComponentLibrary>> loaded; // never unloaded, see the header
    const QString key = QFileInfo(path).absoluteFilePath();
    QMutexLocker lock(&mutex);
    if (auto it = loaded.constFind(key); it != loaded.cend())
        return **it;
    void *handle = dlopen(QFile::encodeName(key).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        throw componentError(kLibraryNotFound, kSource, QString::fromLocal8Bit(dlerror()));
    auto lib = std::make_shared<ComponentLibrary>();
    lib->path = key;
    lib->getClassObject = entryPoint<VtDllGetClassObjectFn>(handle, "DllGetClassObject", key);
    lib->canUnloadNow = entryPoint<VtDllCanUnloadNowFn>(handle, "DllCanUnloadNow", key);
    lib->registerServer = entryPoint<VtDllRegisterServerFn>(handle, "DllRegisterServer", key);
    lib->unregisterServer = entryPoint<VtDllUnregisterServerFn>(handle, "DllUnregisterServer", key);
    loaded.insert(key, lib);
    return *lib;
}

VtObject *createRegisteredObject(const QString &name, bool control)
{
    QUuid clsid(name);
    if (clsid.isNull()) {
        const std::optional<QUuid> named = findProgId(name);
        if (!named)
            throw componentError(kInvalidClassString, name,
                                 QStringLiteral("no class is registered as \"%1\"").arg(name));
        clsid = *named;
    }
    const std::optional<ClassEntry> entry = findClass(clsid);
    if (!entry)
        throw componentError(kClassNotRegistered, name, guidText(clsid));
    if (control && !entry->control)
        throw componentError(kClassNotRegistered, name,
                             QStringLiteral("%1 is registered, but not as a control").arg(entry->className));
    const ComponentLibrary &lib = loadComponentLibrary(entry->library);

    const VtGuid classGuid = toGuid(clsid);
    const VtGuid factoryIid = VT_IID_ICLASSFACTORY;
    const VtGuid objectIid = VT_IID_VTOBJECT;
    void *answer = nullptr;
    VtResult status = lib.getClassObject(&classGuid, &factoryIid, &answer);
    if (status != VT_S_OK)
        throw componentError(status, name, entry->className);
    auto *factory = static_cast<VtClassFactory *>(answer);
    answer = nullptr;
    status = factory->vtbl->CreateInstance(factory, nullptr, &objectIid, &answer);
    factory->vtbl->Release(factory);
    if (status != VT_S_OK)
        throw componentError(status, name, entry->className);
    return static_cast<VtObject *>(answer);
}

} // namespace veltrane::components

extern "C" {

void VtVariantClear(VtVariant *variant)
{
    if (!variant)
        return;
    switch (variant->kind) {
    case VT_STRING:
        free(variant->value.string);
        break;
    case VT_OBJECT:
        if (variant->value.object)
            variant->value.object->vtbl->Release(variant->value.object);
        break;
    case VT_ARRAY:
        for (uint32_t i = 0; i < variant->count && variant->value.items; ++i)
            VtVariantClear(&variant->value.items[i]);
        free(variant->value.items);
        break;
    default:
        break;
    }
    *variant = VtVariant{};
}

void VtErrorClear(VtError *error)
{
    if (!error)
        return;
    free(error->source);
    free(error->description);
    free(error->helpFile);
    *error = VtError{};
}

} // extern "C"
