#pragma once

// What the server's objects, its late binding and its values share: the object a host holds, and the
// guard that keeps a failure from crossing the C boundary. The server's own business, not a host's.

#include "veltrane/contracts/component_server.h"
#include "veltrane/contracts/error.h"

#include <QPointer>
#include <QUuid>

namespace veltrane::components {

bool is(const VtGuid *iid, const VtGuid &known);
char *copyText(const QString &text);
void fill(VtError *out, const Error &e);
VtResult statusOf(const Error &e);

// Runs body; any failure becomes the status a host expects instead of crossing the C boundary.
template <typename F> VtResult guarded(VtError *error, F &&body)
{
    try {
        return body();
    } catch (...) {
        const Error e = Error::fromCurrentException();
        fill(error, e);
        return e.number() < 0 ? statusOf(e) : VT_DISP_E_EXCEPTION;
    }
}

struct ServerObject
{
    VtObject base;
    std::atomic<uint32_t> references{1};
    QPointer<QObject> object;
    ObjectPtr shared;          // keeps a shared object alive
    bool owned = false;        // deleted with the last reference, unless the host took it
    QList<QUuid> interfaces;   // the class's own, besides IUnknown, VtDispatch and VtObject
    std::atomic<int> *counter; // what counts this reference (results, call arguments), or null

    static ServerObject *from(VtObject *self) { return reinterpret_cast<ServerObject *>(self); }

    QObject *require() const
    {
        if (!object)
            throw Error::objectNotSet(QStringLiteral("ComponentServer"), QStringLiteral("the object is gone"));
        return object.data();
    }
};

ServerObject *newServerObject(QObject *object, ObjectPtr shared, bool owned, QList<QUuid> interfaces,
                              std::atomic<int> *counter);
bool isServerObject(const VtDispatch *dispatch);
VtResult objectQueryInterface(VtObject *self, const VtGuid *iid, void **out);
uint32_t objectRelease(VtObject *self);
// Late binding (server_dispatch.cpp).
VtResult objectGetIDsOfNames(VtObject *self, const char *const *names, uint32_t count, int32_t *ids);
VtResult objectInvoke(VtObject *self, int32_t dispId, uint32_t flags, VtVariant *args, uint32_t argCount,
                      VtVariant *result, VtError *error);

} // namespace veltrane::components
