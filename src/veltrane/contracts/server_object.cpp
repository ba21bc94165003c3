#include "veltrane/contracts/server_object.h"

#include <cstdlib>
#include <cstring>

// The objects the server hands out: their interfaces and references, and what counts them.

namespace veltrane::components {

namespace {

constexpr VtGuid kIUnknown = VT_IID_IUNKNOWN;
constexpr VtGuid kIVtDispatch = VT_IID_VTDISPATCH;
constexpr VtGuid kIVtObject = VT_IID_VTOBJECT;

std::atomic<int> g_handedOut{0};

uint32_t objectAddRef(VtObject *self)
{
    return ++ServerObject::from(self)->references;
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

constexpr VtObjectVtbl kObjectVtbl{objectQueryInterface, objectAddRef,   objectRelease,     objectGetIDsOfNames,
                                   objectInvoke,         objectQtObject, objectTakeQtObject};

} // namespace

bool is(const VtGuid *iid, const VtGuid &known)
{
    return fromGuid(*iid) == fromGuid(known);
}

char *copyText(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    char *copy = static_cast<char *>(std::malloc(size_t(utf8.size()) + 1));
    if (copy)
        std::memcpy(copy, utf8.constData(), size_t(utf8.size()) + 1);
    return copy;
}

void fill(VtError *out, const Error &e)
{
    if (!out)
        return;
    VtErrorClear(out);
    out->number = e.number();
    out->source = copyText(e.source());
    out->description = copyText(e.description());
    out->helpFile = e.helpFile().isEmpty() ? nullptr : copyText(e.helpFile());
    out->helpContext = e.helpContext();
}

// The status a call answers for a failure: the dispatch failures as themselves, anything a member
// raised as an exception, whose number the error carries.
VtResult statusOf(const Error &e)
{
    switch (e.number()) {
    case kDispMemberNotFound:
    case kDispBadParamCount:
    case kDispTypeMismatch:
    case kDispUnknownName:
    case kInvalidArgument:
    case kInvalidPointer:
        return e.number();
    default:
        return VT_DISP_E_EXCEPTION;
    }
}

bool isServerObject(const VtDispatch *dispatch)
{
    return static_cast<const void *>(dispatch->vtbl) == static_cast<const void *>(&kObjectVtbl);
}

ServerObject *newServerObject(QObject *object, ObjectPtr shared, bool owned, QList<QUuid> interfaces,
                              std::atomic<int> *counter)
{
    auto *o = new ServerObject{{&kObjectVtbl}, {1}, object, std::move(shared), owned, std::move(interfaces), counter};
    if (counter)
        ++*counter;
    return o;
}

VtResult objectQueryInterface(VtObject *self, const VtGuid *iid, void **out)
{
    if (!out || !iid)
        return VT_E_POINTER;
    *out = nullptr;
    const QUuid asked = fromGuid(*iid);
    if (!is(iid, kIUnknown) && !is(iid, kIVtDispatch) && !is(iid, kIVtObject) &&
        !ServerObject::from(self)->interfaces.contains(asked))
        return VT_E_NOINTERFACE;
    objectAddRef(self);
    *out = self;
    return VT_S_OK;
}

uint32_t objectRelease(VtObject *self)
{
    ServerObject *o = ServerObject::from(self);
    const uint32_t left = --o->references;
    if (left == 0) {
        // An object with a parent belongs to it already (a control placed in the host's window).
        if (o->owned && o->object && !o->object->parent())
            delete o->object.data();
        if (o->counter)
            --*o->counter;
        delete o;
    }
    return left;
}

VtObject *shareObject(const ObjectPtr &object)
{
    return &newServerObject(object.data(), object, false, {}, &g_handedOut)->base;
}

VtObject *lendObject(QObject *object)
{
    return &newServerObject(object, {}, false, {}, &g_handedOut)->base;
}

int handedOutObjects()
{
    return g_handedOut;
}

} // namespace veltrane::components
