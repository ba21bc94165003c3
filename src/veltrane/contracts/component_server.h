#pragma once

// The server side of a component library: its class factories, the objects they hand out, how those
// answer late-bound calls from a host in any language, and the duties of the four entry points,
// all made from the library's type library and its list of classes. A library defines its four
// entry points, each passing to its server, with one line in a source file of its own:
//
//     VELTRANE_COMPONENT_ENTRY_POINTS(server())

#include "veltrane/contracts/component_abi.h"
#include "veltrane/contracts/component_registry.h"
#include "veltrane/contracts/keyed_collection.h"
#include "veltrane/contracts/type_info.h"

#include <QList>
#include <QObject>
#include <QVariant>
#include <atomic>
#include <functional>
#include <memory>

namespace veltrane::components {

// A class the library makes, by its name in the type library; create is empty for a class the
// library does not make (its factory answers VT_CLASS_E_CLASSNOTAVAILABLE).
struct ServerClass
{
    QString className;
    std::function<QObject *()> create;
};

class ComponentServer
{
public:
    // anchor: any function of the library, by which the server finds the library's file.
    ComponentServer(const typelib::TypeLibrary &types, QList<ServerClass> classes, void (*anchor)());
    ~ComponentServer();
    ComponentServer(const ComponentServer &) = delete;
    ComponentServer &operator=(const ComponentServer &) = delete;

    VtResult getClassObject(const VtGuid *clsid, const VtGuid *iid, void **object);
    VtResult canUnloadNow() const;
    VtResult registerServer() const;
    VtResult unregisterServer() const;

    // What the library writes into the registry: its file, its classes and its type library.
    Registration registration() const;

    struct Factory; // a class factory's own state (component_server.cpp)

private:
    friend struct ServerCounters;
    const typelib::TypeLibrary &m_types;
    std::vector<std::unique_ptr<Factory>> m_factories;
    void (*m_anchor)();
    std::atomic<int> m_objects{0};
    std::atomic<int> m_locks{0};
};

// A Qt object as a host calls it, holding one reference for the caller. A shared object lives as
// long as its references; a borrowed one (a page's PageBase, a control of a window) belongs to
// someone else and the reference goes stale when it is destroyed.
VtObject *shareObject(const ObjectPtr &object);
VtObject *lendObject(QObject *object);

// A value between a host and a Qt object. toAbi answers false, with why, for a value of a type no
// variant carries; fromAbi raises Error kInvalidArgument for a variant of no known kind.
bool toAbi(const QVariant &value, VtVariant &out, QString &why);
QVariant fromAbi(const VtVariant &value);

// Objects handed out besides those the class factories made (results, arguments of calls into
// the host), alive now: a library cannot unload while the host holds any.
int handedOutObjects();

// A host's own object (a VtDispatch it implements) as the library holds it: passed in as an object
// argument, it arrives as one of these; passed back out, the host gets its own pointer again.
class ForeignObject : public QObject
{
    Q_OBJECT
public:
    explicit ForeignObject(VtDispatch *dispatch);
    ~ForeignObject() override;

    VtDispatch *dispatch() const { return m_dispatch; }
    // Calls a member of the host's object. Raises an Error with what the object reported when the
    // call fails.
    QVariant invoke(qint32 dispId, QVariantList args, quint32 flags = VT_INVOKE_METHOD);

private:
    VtDispatch *m_dispatch;
};

// A keyed collection as a host calls it: Item (dispatch id 0, by number or key) and Count.
class CollectionObject : public QObject
{
    Q_OBJECT
    Q_PROPERTY(qint32 Count READ Count)
public:
    explicit CollectionObject(CollectionPtr collection)
        : m_collection(std::move(collection))
    {}
    qint32 Count() const { return m_collection->Count(); }
    Q_INVOKABLE QVariant Item(const QVariant &vIndex) const;
    const CollectionPtr &collection() const { return m_collection; }

private:
    CollectionPtr m_collection;
};

// Gives a process without one a widget application: a host written in another language has none,
// and the library's pages and controls are widgets.
void ensureApplication();

} // namespace veltrane::components

// The four entry points, exported by name with C linkage, each answered by server (an expression
// giving the library's ComponentServer).
#define VELTRANE_COMPONENT_ENTRY_POINTS(server)                                                                        \
    extern "C" VtResult DllGetClassObject(const VtGuid *clsid, const VtGuid *iid, void **out)                          \
    {                                                                                                                  \
        return (server).getClassObject(clsid, iid, out);                                                               \
    }                                                                                                                  \
    extern "C" VtResult DllCanUnloadNow(void)                                                                          \
    {                                                                                                                  \
        return (server).canUnloadNow();                                                                                \
    }                                                                                                                  \
    extern "C" VtResult DllRegisterServer(void)                                                                        \
    {                                                                                                                  \
        return (server).registerServer();                                                                              \
    }                                                                                                                  \
    extern "C" VtResult DllUnregisterServer(void)                                                                      \
    {                                                                                                                  \
        return (server).unregisterServer();                                                                            \
    }
