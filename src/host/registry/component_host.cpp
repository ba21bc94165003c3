#include "host/registry/component_host.h"

#include "veltrane/contracts/component_registry.h"

#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <dlfcn.h>
#include <memory>

namespace veltrane::host {

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

ComponentObject::ComponentObject(const ComponentObject &other)
    : m_abi(other.m_abi)
{
    if (m_abi)
        m_abi->vtbl->AddRef(m_abi);
}

ComponentObject &ComponentObject::operator=(ComponentObject other) noexcept
{
    std::swap(m_abi, other.m_abi);
    return *this;
}

ComponentObject::~ComponentObject()
{
    if (m_abi)
        m_abi->vtbl->Release(m_abi);
}

QObject *ComponentObject::object() const
{
    return m_abi ? static_cast<QObject *>(m_abi->vtbl->QtObject(m_abi)) : nullptr;
}

QObject *ComponentObject::take() const
{
    return m_abi ? static_cast<QObject *>(m_abi->vtbl->TakeQtObject(m_abi)) : nullptr;
}

bool ComponentObject::implements(const QUuid &iid) const
{
    if (!m_abi)
        return false;
    const VtGuid guid = components::toGuid(iid);
    void *answer = nullptr;
    if (m_abi->vtbl->QueryInterface(m_abi, &guid, &answer) != VT_S_OK)
        return false;
    m_abi->vtbl->Release(static_cast<VtObject *>(answer));
    return true;
}

QObject *ComponentObject::requireObject() const
{
    QObject *o = object();
    if (!o)
        throw Error::objectNotSet(kSource, QStringLiteral("the component object is gone"));
    return o;
}

QVariant ComponentObject::call(const QString &member, QVariantList &args, automation::CallKind kind) const
{
    return automation::call(requireObject(), member, args, kind);
}

QVariant ComponentObject::call(qint32 dispId, QVariantList &args, automation::CallKind kind) const
{
    return automation::call(requireObject(), dispId, args, kind);
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

ComponentObject createComponent(const QString &name)
{
    QUuid clsid(name);
    if (clsid.isNull()) {
        const std::optional<QUuid> named = components::findProgId(name);
        if (!named)
            throw componentError(kInvalidClassString, name,
                                 QStringLiteral("no class is registered as \"%1\"").arg(name));
        clsid = *named;
    }
    const std::optional<components::ClassEntry> entry = components::findClass(clsid);
    if (!entry)
        throw componentError(kClassNotRegistered, name, components::guidText(clsid));
    const ComponentLibrary &lib = loadComponentLibrary(entry->library);

    const VtGuid classGuid = components::toGuid(clsid);
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
    return ComponentObject(static_cast<VtObject *>(answer));
}

} // namespace veltrane::host
