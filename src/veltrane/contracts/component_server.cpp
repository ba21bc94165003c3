#include "veltrane/contracts/component_server.h"

#include "veltrane/contracts/server_object.h"

#include <QApplication>
#include <QFileInfo>
#include <dlfcn.h>

// The server's class factories, its four duties to a host, and what it registers.

namespace veltrane::components {

namespace {

constexpr VtGuid kIUnknown = VT_IID_IUNKNOWN;
constexpr VtGuid kIClassFactory = VT_IID_ICLASSFACTORY;

QString libraryFile(void (*anchor)())
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(anchor), &info) || !info.dli_fname)
        throw Error(kRegistrationFailed, QStringLiteral("ComponentServer"),
                    QStringLiteral("cannot tell where the library is"));
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
}

} // namespace

struct ComponentServer::Factory
{
    VtClassFactory base;
    ComponentServer *server;
    ServerClass cls;
    const typelib::CoClass *coClass;
    QList<QUuid> interfaces;

    static Factory *from(VtClassFactory *self) { return reinterpret_cast<Factory *>(self); }
};

namespace {

VtResult factoryQueryInterface(VtClassFactory *self, const VtGuid *iid, void **out)
{
    if (!out || !iid)
        return VT_E_POINTER;
    *out = nullptr;
    if (!is(iid, kIUnknown) && !is(iid, kIClassFactory))
        return VT_E_NOINTERFACE;
    *out = self;
    return VT_S_OK;
}

// Class factories live as long as the library; their references count nothing.
uint32_t factoryAddRef(VtClassFactory *)
{
    return 2;
}

uint32_t factoryRelease(VtClassFactory *)
{
    return 1;
}

VtResult factoryCreateInstance(VtClassFactory *self, VtUnknown *outer, const VtGuid *iid, void **out);
VtResult factoryLockServer(VtClassFactory *self, int32_t lock);

constexpr VtClassFactoryVtbl kFactoryVtbl{factoryQueryInterface, factoryAddRef, factoryRelease, factoryCreateInstance,
                                          factoryLockServer};

} // namespace

// Friends of the server's counters.
struct ServerCounters
{
    static std::atomic<int> &objects(ComponentServer &s) { return s.m_objects; }
    static std::atomic<int> &locks(ComponentServer &s) { return s.m_locks; }
};

namespace {

VtResult factoryCreateInstance(VtClassFactory *self, VtUnknown *outer, const VtGuid *iid, void **out)
{
    if (!out || !iid)
        return VT_E_POINTER;
    *out = nullptr;
    if (outer)
        return VT_CLASS_E_NOAGGREGATION;
    ComponentServer::Factory *f = ComponentServer::Factory::from(self);
    return guarded(nullptr, [&] {
        ensureApplication();
        QObject *object = f->cls.create();
        std::atomic<int> &objects = ServerCounters::objects(*f->server);
        ++objects;
        QObject::connect(object, &QObject::destroyed, [&objects] { --objects; });
        ServerObject *wrapper = newServerObject(object, {}, true, f->interfaces, nullptr);
        const VtResult result = objectQueryInterface(&wrapper->base, iid, out);
        objectRelease(&wrapper->base); // the creation reference; a failed query leaves none
        return result;
    });
}

VtResult factoryLockServer(VtClassFactory *self, int32_t lock)
{
    std::atomic<int> &locks = ServerCounters::locks(*ComponentServer::Factory::from(self)->server);
    if (lock)
        ++locks;
    else
        --locks;
    return VT_S_OK;
}

} // namespace

ComponentServer::ComponentServer(const typelib::TypeLibrary &types, QList<ServerClass> classes, void (*anchor)())
    : m_types(types)
    , m_anchor(anchor)
{
    for (ServerClass &c : classes) {
        const typelib::CoClass *coClass = types.coClass(c.className);
        Q_ASSERT_X(coClass, "ComponentServer", "every class the server makes is in its type library");
        QList<QUuid> interfaces;
        for (const QString &name : QStringList{coClass->defaultInterface} + coClass->furtherInterfaces)
            if (const typelib::Interface *i = types.interface(name))
                interfaces << i->iid;
        m_factories.push_back(
            std::unique_ptr<Factory>(new Factory{{&kFactoryVtbl}, this, std::move(c), coClass, std::move(interfaces)}));
    }
}

ComponentServer::~ComponentServer() = default;

VtResult ComponentServer::getClassObject(const VtGuid *clsid, const VtGuid *iid, void **out)
{
    if (!clsid || !iid || !out)
        return VT_E_POINTER;
    *out = nullptr;
    for (const auto &f : m_factories)
        if (f->coClass->clsid == fromGuid(*clsid))
            return f->cls.create ? factoryQueryInterface(&f->base, iid, out) : VT_CLASS_E_CLASSNOTAVAILABLE;
    return VT_CLASS_E_CLASSNOTAVAILABLE;
}

VtResult ComponentServer::canUnloadNow() const
{
    return m_objects == 0 && m_locks == 0 && handedOutObjects() == 0 ? VT_S_OK : VT_S_FALSE;
}

Registration ComponentServer::registration() const
{
    const QString path = libraryFile(m_anchor);
    Registration r;
    r.typeLib = {m_types.libId, m_types.name, m_types.version(), m_types.lcid, path};
    for (const typelib::CoClass &c : m_types.classes)
        r.classes.append({c.clsid, c.name, m_types.progId(c), path, QStringLiteral("Apartment"), m_types.libId,
                          m_types.version(), c.kind == typelib::ClassKind::Control});
    r.types = m_types;
    return r;
}

VtResult ComponentServer::registerServer() const
{
    return guarded(nullptr, [&] {
        registerComponents(registration(), defaultScope());
        return VT_S_OK;
    });
}

VtResult ComponentServer::unregisterServer() const
{
    return guarded(nullptr, [&] {
        unregisterComponents(registration(), defaultScope());
        return VT_S_OK;
    });
}

void ensureApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "veltrane-component-host";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives as long as the process
}

} // namespace veltrane::components
