#include "veltrane/contracts/component_server.h"

#include "veltrane/contracts/automation.h"
#include "veltrane/contracts/error.h"

#include <QApplication>
#include <QFileInfo>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QPointer>
#include <QVarLengthArray>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <limits>

namespace veltrane::components {

namespace {

using automation::CallKind;

constexpr VtGuid kIUnknown = VT_IID_IUNKNOWN;
constexpr VtGuid kIClassFactory = VT_IID_ICLASSFACTORY;
constexpr VtGuid kIVtDispatch = VT_IID_VTDISPATCH;
constexpr VtGuid kIVtObject = VT_IID_VTOBJECT;

// The dispatch ids of a class without a dispatch table: its properties and its public methods and
// slots, by their place in the meta-object.
constexpr qint32 kPropertyIds = 0x00100000;
constexpr qint32 kMethodIds = 0x00200000;
constexpr qint32 kIdRange = 0x00100000;

std::atomic<int> g_handedOut{0};

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

Error dispatchError(ComponentError number, const QString &source, const QString &detail)
{
    return Error(number, source, componentErrorText(number) + QLatin1String(": ") + detail);
}

// ---- the objects handed out ------------------------------------------------------------------------

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

VtResult objectQueryInterface(VtObject *self, const VtGuid *iid, void **out);
uint32_t objectAddRef(VtObject *self);
uint32_t objectRelease(VtObject *self);
VtResult objectGetIDsOfNames(VtObject *self, const char *const *names, uint32_t count, int32_t *ids);
VtResult objectInvoke(VtObject *self, int32_t dispId, uint32_t flags, VtVariant *args, uint32_t argCount,
                      VtVariant *result, VtError *error);
void *objectQtObject(VtObject *self);
void *objectTakeQtObject(VtObject *self);

constexpr VtObjectVtbl kObjectVtbl{objectQueryInterface, objectAddRef,   objectRelease,     objectGetIDsOfNames,
                                   objectInvoke,         objectQtObject, objectTakeQtObject};

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
        if (o->counter)
            --*o->counter;
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

// ---- late binding ---------------------------------------------------------------------------------

const automation::Member *tableMember(const automation::DispatchTable &table, qint32 dispId, CallKind kind)
{
    for (const automation::Member &m : table.members)
        if (m.dispId == dispId && m.kind == kind)
            return &m;
    return nullptr;
}

int propertyNamed(const QMetaObject *meta, const QString &name)
{
    const int exact = meta->indexOfProperty(name.toLatin1().constData());
    if (exact >= 0)
        return exact;
    for (int i = 0; i < meta->propertyCount(); ++i)
        if (QLatin1String(meta->property(i).name()).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool callable(const QMetaMethod &m)
{
    return m.access() == QMetaMethod::Public &&
           (m.methodType() == QMetaMethod::Method || m.methodType() == QMetaMethod::Slot);
}

int methodNamed(const QMetaObject *meta, const QString &name, int arguments = -1)
{
    for (int i = meta->methodCount() - 1; i >= 0; --i) {
        const QMetaMethod m = meta->method(i);
        if (callable(m) && QLatin1String(m.name()).compare(name, Qt::CaseInsensitive) == 0 &&
            (arguments < 0 || m.parameterCount() == arguments))
            return i;
    }
    return -1;
}

VtResult objectGetIDsOfNames(VtObject *self, const char *const *names, uint32_t count, int32_t *ids)
{
    if (!names || !ids || count == 0)
        return VT_E_POINTER;
    return guarded(nullptr, [&]() -> VtResult {
        const QObject *object = ServerObject::from(self)->require();
        const QMetaObject *meta = object->metaObject();
        const QString member = QString::fromUtf8(names[0]);
        QStringList arguments; // the member's argument names, in order
        ids[0] = -1;
        if (const automation::DispatchTable *table = automation::dispatchTable(meta)) {
            for (const automation::Member &m : table->members)
                if (m.name.compare(member, Qt::CaseInsensitive) == 0) {
                    ids[0] = m.dispId;
                    for (const automation::Parameter &p : m.arguments)
                        arguments << p.name;
                    break;
                }
        } else if (const int property = propertyNamed(meta, member); property >= 0) {
            ids[0] = kPropertyIds + property;
        } else if (const int method = methodNamed(meta, member); method >= 0) {
            ids[0] = kMethodIds + method;
            for (const QByteArray &name : meta->method(method).parameterNames())
                arguments << QString::fromLatin1(name);
        }
        bool known = ids[0] != -1;
        for (uint32_t i = 1; i < count; ++i) {
            qsizetype at = -1;
            for (qsizetype a = 0; a < arguments.size() && at < 0; ++a)
                if (arguments.at(a).compare(QString::fromUtf8(names[i]), Qt::CaseInsensitive) == 0)
                    at = a;
            ids[i] = qint32(at);
            known = known && at >= 0;
        }
        return known ? VT_S_OK : VT_DISP_E_UNKNOWNNAME;
    });
}

void putAbi(const QVariant &value, VtVariant &out, const QString &source)
{
    QString why;
    VtVariantClear(&out);
    if (!toAbi(value, out, why))
        throw dispatchError(kDispTypeMismatch, source, why);
}

// A member of a class with a dispatch table; by-reference arguments go back into args.
QVariant callTable(QObject *object, const automation::DispatchTable &table, qint32 dispId, quint32 flags,
                   QVariantList &list, VtVariant *args)
{
    CallKind kind = (flags & VT_INVOKE_PROPERTYPUT) ? CallKind::PropertyPut
                    : (flags & VT_INVOKE_METHOD)    ? CallKind::Method
                                                    : CallKind::PropertyGet;
    if (kind == CallKind::Method && (flags & VT_INVOKE_PROPERTYGET) && !tableMember(table, dispId, kind))
        kind = CallKind::PropertyGet;
    const QVariant answer = automation::call(object, dispId, list, kind);
    if (const automation::Member *m = tableMember(table, dispId, kind))
        for (qsizetype i = 0; i < m->arguments.size() && i < list.size(); ++i)
            if (m->arguments.at(i).byRef)
                putAbi(list.at(i), args[i], table.className);
    return answer;
}

// The value an argument gives a parameter of a plain Qt method, or nullopt.
std::optional<QVariant> argumentFor(QVariant value, QMetaType type)
{
    if (type.id() == QMetaType::QVariant)
        return value;
    if (type.flags().testFlag(QMetaType::PointerToQObject)) {
        QObject *object = value.isValid() ? value.value<ObjectPtr>().data() : nullptr;
        if (value.isValid() && !object)
            return std::nullopt;
        QVariant raw(type);
        *static_cast<QObject **>(raw.data()) = object;
        return raw;
    }
    if (value.metaType() == QMetaType::fromType<ObjectPtr>() && type == QMetaType::fromType<ObjectPtr>())
        return value;
    if (!value.convert(type))
        return std::nullopt;
    return value;
}

// A member of a class without a dispatch table: a property or a public method or slot.
QVariant callMeta(QObject *object, qint32 dispId, quint32 flags, QVariantList &list)
{
    const QMetaObject *meta = object->metaObject();
    const QString className = QString::fromLatin1(meta->className());
    const auto notFound = [&] {
        return dispatchError(
            kDispMemberNotFound, className,
            QStringLiteral("no member with dispatch id 0x%1").arg(quint32(dispId), 8, 16, QLatin1Char('0')));
    };
    if (dispId >= kPropertyIds && dispId < kPropertyIds + kIdRange) {
        const QMetaProperty property = meta->property(dispId - kPropertyIds);
        if (!property.isValid())
            throw notFound();
        const bool put = flags & VT_INVOKE_PROPERTYPUT;
        if (list.size() != (put ? 1 : 0))
            throw dispatchError(kDispBadParamCount, className,
                                QStringLiteral("%1 takes %2 argument(s)").arg(QLatin1String(property.name())).arg(put));
        if (!put)
            return property.read(object);
        if (!property.isWritable() || !property.write(object, list.first()))
            throw dispatchError(kDispTypeMismatch, className,
                                QStringLiteral("%1 cannot be set to that value").arg(QLatin1String(property.name())));
        return {};
    }
    if (dispId < kMethodIds || dispId >= kMethodIds + kIdRange || !(flags & VT_INVOKE_METHOD))
        throw notFound();
    QMetaMethod method = meta->method(dispId - kMethodIds);
    if (!method.isValid() || !callable(method))
        throw notFound();
    if (method.parameterCount() != list.size()) {
        const int overload = methodNamed(meta, QString::fromLatin1(method.name()), int(list.size()));
        if (overload < 0)
            throw dispatchError(kDispBadParamCount, className,
                                QStringLiteral("%1 takes %2 argument(s), not %3")
                                    .arg(QString::fromLatin1(method.name()))
                                    .arg(method.parameterCount())
                                    .arg(list.size()));
        method = meta->method(overload);
    }
    QList<QVariant> values;
    QVarLengthArray<void *, 5> argv(list.size() + 1);
    for (int i = 0; i < list.size(); ++i) {
        std::optional<QVariant> v = argumentFor(list.at(i), method.parameterMetaType(i));
        if (!v)
            throw dispatchError(kDispTypeMismatch, className,
                                QStringLiteral("argument %1 of %2").arg(i + 1).arg(QString::fromLatin1(method.name())));
        values.append(std::move(*v));
    }
    for (int i = 0; i < list.size(); ++i)
        argv[i + 1] = method.parameterMetaType(i).id() == QMetaType::QVariant ? static_cast<void *>(&values[i])
                                                                              : values[i].data();
    const QMetaType returns = method.returnMetaType();
    QVariant result;
    if (returns.isValid() && returns.id() != QMetaType::Void && returns.id() != QMetaType::QVariant)
        result = QVariant(returns);
    argv[0] = returns.id() == QMetaType::QVariant ? static_cast<void *>(&result)
              : result.isValid()                  ? result.data()
                                                  : nullptr;
    QMetaObject::metacall(object, QMetaObject::InvokeMetaMethod, method.methodIndex(), argv.data());
    return result;
}

VtResult objectInvoke(VtObject *self, int32_t dispId, uint32_t flags, VtVariant *args, uint32_t argCount,
                      VtVariant *result, VtError *error)
{
    if (result)
        *result = VtVariant{};
    if (error)
        *error = VtError{};
    if (argCount > 0 && !args)
        return VT_E_POINTER;
    return guarded(error, [&]() -> VtResult {
        QObject *object = ServerObject::from(self)->require();
        QVariantList list;
        list.reserve(qsizetype(argCount));
        for (uint32_t i = 0; i < argCount; ++i)
            list << fromAbi(args[i]);
        const automation::DispatchTable *table = automation::dispatchTable(object->metaObject());
        const QVariant answer =
            table ? callTable(object, *table, dispId, flags, list, args) : callMeta(object, dispId, flags, list);
        if (result)
            putAbi(answer, *result, QString::fromLatin1(object->metaObject()->className()));
        return VT_S_OK;
    });
}

// ---- factories ------------------------------------------------------------------------------------

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
    return m_objects == 0 && m_locks == 0 && g_handedOut == 0 ? VT_S_OK : VT_S_FALSE;
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

bool toAbi(const QVariant &value, VtVariant &out, QString &why)
{
    out = VtVariant{};
    if (!value.isValid())
        return true;
    const QMetaType type = value.metaType();
    const auto object = [&out](VtDispatch *dispatch) {
        out.kind = VT_OBJECT;
        out.value.object = dispatch;
        return true;
    };
    switch (type.id()) {
    case QMetaType::Bool:
        out.kind = VT_BOOL;
        out.value.boolean = value.toBool() ? -1 : 0;
        return true;
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        out.kind = VT_I2;
        out.value.i2 = qint16(value.toInt());
        return true;
    case QMetaType::Float:
    case QMetaType::Double:
        out.kind = VT_R8;
        out.value.r8 = value.toDouble();
        return true;
    case QMetaType::QString:
        out.kind = VT_STRING;
        out.value.string = copyText(value.toString());
        return true;
    default:
        break;
    }
    if (type.id() == QMetaType::UShort || type.id() == QMetaType::Int || type.id() == QMetaType::UInt ||
        type.id() == QMetaType::Long || type.id() == QMetaType::ULong || type.id() == QMetaType::LongLong ||
        type.id() == QMetaType::ULongLong) {
        bool fits = false;
        const qlonglong n = value.toLongLong(&fits);
        if (fits && n >= std::numeric_limits<qint32>::min() && n <= std::numeric_limits<qint32>::max()) {
            out.kind = VT_I4;
            out.value.i4 = qint32(n);
        } else {
            out.kind = VT_R8;
            out.value.r8 = value.toDouble();
        }
        return true;
    }
    if (type == QMetaType::fromType<ObjectPtr>()) {
        const ObjectPtr shared = value.value<ObjectPtr>();
        if (auto *foreign = qobject_cast<ForeignObject *>(shared.data())) {
            foreign->dispatch()->vtbl->AddRef(foreign->dispatch());
            return object(foreign->dispatch());
        }
        return object(shared ? reinterpret_cast<VtDispatch *>(shareObject(shared)) : nullptr);
    }
    if (type == QMetaType::fromType<CollectionPtr>()) {
        const CollectionPtr collection = value.value<CollectionPtr>();
        return object(collection
                          ? reinterpret_cast<VtDispatch *>(shareObject(ObjectPtr(new CollectionObject(collection))))
                          : nullptr);
    }
    if (type.flags().testFlag(QMetaType::PointerToQObject)) {
        QObject *borrowed = *static_cast<QObject *const *>(value.constData());
        return object(borrowed ? reinterpret_cast<VtDispatch *>(lendObject(borrowed)) : nullptr);
    }
    if (value.canConvert<QVariantList>()) {
        const QVariantList items = value.value<QVariantList>();
        out.kind = VT_ARRAY;
        out.count = uint32_t(items.size());
        out.value.items =
            static_cast<VtVariant *>(std::calloc(std::max<size_t>(1, size_t(items.size())), sizeof(VtVariant)));
        for (qsizetype i = 0; i < items.size(); ++i)
            if (!toAbi(items.at(i), out.value.items[i], why)) {
                VtVariantClear(&out);
                return false;
            }
        return true;
    }
    if (value.canConvert<QString>()) {
        out.kind = VT_STRING;
        out.value.string = copyText(value.toString());
        return true;
    }
    why = QStringLiteral("a value of type %1 has no variant").arg(QLatin1String(type.name()));
    return false;
}

QVariant fromAbi(const VtVariant &value)
{
    switch (value.kind) {
    case VT_EMPTY:
        return {};
    case VT_BOOL:
        return QVariant(value.value.boolean != 0);
    case VT_I2:
        return QVariant::fromValue(qint16(value.value.i2));
    case VT_I4:
        return QVariant::fromValue(qint32(value.value.i4));
    case VT_R8:
        return QVariant(value.value.r8);
    case VT_STRING:
        return QVariant(value.value.string ? QString::fromUtf8(value.value.string) : QString());
    case VT_OBJECT: {
        VtDispatch *dispatch = value.value.object;
        if (!dispatch)
            return {};
        if (!isServerObject(dispatch))
            return toVariant(ObjectPtr(new ForeignObject(dispatch)));
        ServerObject *o = ServerObject::from(reinterpret_cast<VtObject *>(dispatch));
        if (o->shared) {
            if (auto *collection = qobject_cast<CollectionObject *>(o->shared.data()))
                return QVariant::fromValue(collection->collection());
            return toVariant(o->shared);
        }
        // An object someone else owns, passed on: a reference that deletes nothing.
        return toVariant(ObjectPtr(o->require(), [](QObject *) {}));
    }
    case VT_ARRAY: {
        QVariantList items;
        for (uint32_t i = 0; i < value.count && value.value.items; ++i)
            items << fromAbi(value.value.items[i]);
        return items;
    }
    default:
        throw Error(kInvalidArgument, QStringLiteral("ComponentServer"),
                    componentErrorText(kInvalidArgument) +
                        QStringLiteral(": no variant is of kind %1").arg(value.kind));
    }
}

ForeignObject::ForeignObject(VtDispatch *dispatch)
    : m_dispatch(dispatch)
{
    m_dispatch->vtbl->AddRef(m_dispatch);
}

ForeignObject::~ForeignObject()
{
    m_dispatch->vtbl->Release(m_dispatch);
}

QVariant ForeignObject::invoke(qint32 dispId, QVariantList args, quint32 flags)
{
    std::vector<VtVariant> abi(size_t(args.size()));
    const auto clear = [&abi] {
        for (VtVariant &v : abi)
            VtVariantClear(&v);
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString why;
        if (!toAbi(args.at(i), abi[size_t(i)], why)) {
            clear();
            throw dispatchError(kDispTypeMismatch, QStringLiteral("ForeignObject"), why);
        }
    }
    VtVariant result{};
    VtError error{};
    const VtResult status =
        m_dispatch->vtbl->Invoke(m_dispatch, dispId, flags, abi.data(), uint32_t(abi.size()), &result, &error);
    clear();
    if (status != VT_S_OK) {
        const qint32 number = status == VT_DISP_E_EXCEPTION && error.number ? error.number : status;
        QString description = error.description ? QString::fromUtf8(error.description) : componentErrorText(number);
        const Error e(number, error.source ? QString::fromUtf8(error.source) : QStringLiteral("host object"),
                      description.isEmpty()
                          ? QStringLiteral("Failure 0x%1").arg(quint32(number), 8, 16, QLatin1Char('0'))
                          : description);
        VtErrorClear(&error);
        VtVariantClear(&result);
        throw e;
    }
    VtErrorClear(&error);
    QVariant answer;
    try {
        answer = fromAbi(result);
    } catch (...) {
        VtVariantClear(&result);
        throw;
    }
    VtVariantClear(&result);
    return answer;
}

QVariant CollectionObject::Item(const QVariant &vIndex) const
{
    if (vIndex.metaType().id() == QMetaType::QString)
        return m_collection->Item(vIndex.toString());
    bool number = false;
    const int index = vIndex.toInt(&number);
    if (!number)
        throw Error::typeMismatch(QStringLiteral("Collection"),
                                  QStringLiteral("an item is asked for by number or key"));
    return m_collection->Item(index);
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

namespace {

void registerCollectionTable()
{
    using automation::Type;
    automation::registerDispatchTable(
        &CollectionObject::staticMetaObject,
        {QStringLiteral("Collection"),
         {typelib::method(QStringLiteral("Item"), VT_DISPID_VALUE,
                          {automation::Parameter{QStringLiteral("vIndex"), Type::Variant, {}, false}},
                          typelib::value(Type::Variant)),
          typelib::get(QStringLiteral("Count"), 1, typelib::value(Type::Int32))}});
}
Q_CONSTRUCTOR_FUNCTION(registerCollectionTable)

} // namespace

} // namespace veltrane::components
