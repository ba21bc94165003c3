#include "veltrane/contracts/automation.h"
#include "veltrane/contracts/dispatch_error.h"
#include "veltrane/contracts/server_object.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

// Values between a host and the library's Qt objects: variants both ways, a host's own objects, and
// keyed collections as a host calls them.

namespace veltrane::components {

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
