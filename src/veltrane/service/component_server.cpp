// The library as a component server: the four entry points a host finds by name, the class
// factories of the public classes and the objects they hand out (component_abi.h).

#include "veltrane/contracts/component_abi.h"
#include "veltrane/contracts/component_registry.h"
#include "veltrane/contracts/error.h"
#include "veltrane/service/class_table.h"
#include "veltrane/service/type_library.h"

#include <QFileInfo>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <dlfcn.h>
#include <vector>

namespace veltrane {

namespace {

using components::fromGuid;

// Objects alive and locks held: the library may be unloaded only when both are 0.
std::atomic<int> g_objects{0};
std::atomic<int> g_locks{0};

bool is(const VtGuid *iid, const VtGuid &known)
{
    return fromGuid(*iid) == fromGuid(known);
}

constexpr VtGuid kIUnknown = VT_IID_IUNKNOWN;
constexpr VtGuid kIClassFactory = VT_IID_ICLASSFACTORY;
constexpr VtGuid kIVtObject = VT_IID_VTOBJECT;

// Runs body; any failure becomes the status a host expects instead of crossing the C boundary.
template <typename F> VtResult guarded(F &&body)
{
    try {
        return body();
    } catch (const Error &e) {
        return e.number() < 0 ? e.number() : VT_E_FAIL;
    } catch (...) {
        return VT_E_FAIL;
    }
}

struct ServerObject
{
    VtObject base;
    std::atomic<uint32_t> references{1};
    const PublicClass *publicClass;
    QPointer<QObject> object;
    bool owned = true;

    static ServerObject *from(VtObject *self) { return reinterpret_cast<ServerObject *>(self); }

    bool answers(const QUuid &iid) const
    {
        if (iid == fromGuid(kIUnknown) || iid == fromGuid(kIVtObject))
            return true;
        const typelib::TypeLibrary &lib = typelib::typeLibrary();
        const typelib::CoClass *c = lib.coClass(publicClass->className);
        for (const QString &name : QStringList{c->defaultInterface} + c->furtherInterfaces)
            if (const typelib::Interface *i = lib.interface(name); i && i->iid == iid)
                return true;
        return false;
    }
};

VtResult objectQueryInterface(VtObject *self, const VtGuid *iid, void **out)
{
    if (!out || !iid)
        return VT_E_POINTER;
    *out = nullptr;
    if (!ServerObject::from(self)->answers(fromGuid(*iid)))
        return VT_E_NOINTERFACE;
    self->vtbl->AddRef(self);
    *out = self;
    return VT_S_OK;
}

uint32_t objectAddRef(VtObject *self)
{
    return ++ServerObject::from(self)->references;
}

uint32_t objectRelease(VtObject *self)
{
    ServerObject *o = ServerObject::from(self);
    const uint32_t left = --o->references;
    if (left == 0) {
        // An object with a parent belongs to it already (a control placed in the host's window).
        if (o->owned && o->object && !o->object->parent())
            delete o->object.data();
        delete o;
    }
    return left;
}

void *objectQtObject(VtObject *self)
{
    return ServerObject::from(self)->object.data();
}

void *objectTakeQtObject(VtObject *self)
{
    ServerObject *o = ServerObject::from(self);
    o->owned = false;
    return o->object.data();
}

constexpr VtObjectVtbl kObjectVtbl{objectQueryInterface, objectAddRef, objectRelease, objectQtObject,
                                   objectTakeQtObject};

struct Factory
{
    VtClassFactory base;
    const PublicClass *publicClass;

    static Factory *from(VtClassFactory *self) { return reinterpret_cast<Factory *>(self); }
};

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

VtResult factoryCreateInstance(VtClassFactory *self, VtUnknown *outer, const VtGuid *iid, void **out)
{
    if (!out || !iid)
        return VT_E_POINTER;
    *out = nullptr;
    if (outer)
        return VT_CLASS_E_NOAGGREGATION;
    const PublicClass *c = Factory::from(self)->publicClass;
    return guarded([&] {
        QObject *object = c->create(nullptr);
        ++g_objects;
        QObject::connect(object, &QObject::destroyed, [] { --g_objects; });
        auto *wrapper = new ServerObject{{&kObjectVtbl}, {1}, c, object, true};
        const VtResult result = objectQueryInterface(&wrapper->base, iid, out);
        objectRelease(&wrapper->base); // the creation reference; a failed query leaves none
        return result;
    });
}

VtResult factoryLockServer(VtClassFactory *, int32_t lock)
{
    if (lock)
        ++g_locks;
    else
        --g_locks;
    return VT_S_OK;
}

constexpr VtClassFactoryVtbl kFactoryVtbl{factoryQueryInterface, factoryAddRef, factoryRelease, factoryCreateInstance,
                                          factoryLockServer};

std::vector<Factory> &factories()
{
    static std::vector<Factory> all = [] {
        std::vector<Factory> v;
        for (const PublicClass &c : publicClasses())
            v.push_back(Factory{{&kFactoryVtbl}, &c});
        return v;
    }();
    return all;
}

// This library's file as the host loaded it.
QString libraryPath()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&libraryPath), &info) || !info.dli_fname)
        throw Error(kRegistrationFailed, QStringLiteral("Veltrane"),
                    QStringLiteral("cannot tell where the library is"));
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
}

components::Registration registration()
{
    const typelib::TypeLibrary &lib = typelib::typeLibrary();
    const QString path = libraryPath();
    components::Registration r;
    r.typeLib = {lib.libId, lib.name, lib.version(), lib.lcid, path};
    for (const PublicClass &c : publicClasses())
        r.classes.append({c.classId, c.className, c.progId(), path, QStringLiteral("Apartment"), lib.libId,
                          lib.version(), c.isControl});
    r.types = lib;
    return r;
}

} // namespace

} // namespace veltrane

using namespace veltrane;

extern "C" {

VtResult DllGetClassObject(const VtGuid *clsid, const VtGuid *iid, void **out)
{
    if (!clsid || !iid || !out)
        return VT_E_POINTER;
    *out = nullptr;
    return guarded([&] {
        for (Factory &f : factories())
            if (f.publicClass->classId == fromGuid(*clsid))
                return f.publicClass->isBuilt() ? factoryQueryInterface(&f.base, iid, out)
                                                : VT_CLASS_E_CLASSNOTAVAILABLE;
        return VT_CLASS_E_CLASSNOTAVAILABLE;
    });
}

VtResult DllCanUnloadNow(void)
{
    return g_objects == 0 && g_locks == 0 ? VT_S_OK : VT_S_FALSE;
}

VtResult DllRegisterServer(void)
{
    return guarded([] {
        components::registerComponents(registration(), components::defaultScope());
        return VT_S_OK;
    });
}

VtResult DllUnregisterServer(void)
{
    return guarded([] {
        components::unregisterComponents(registration(), components::defaultScope());
        return VT_S_OK;
    });
}

} // extern "C"
