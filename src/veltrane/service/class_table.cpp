#include "veltrane/service/class_table.h"

#include "veltrane/analysis_page/analysis_param_page.h"
#include "veltrane/contracts/automation.h"
#include "veltrane/contracts/component_loader.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/vocabulary.h"
#include "veltrane/save_as_page/save_as_param_page.h"
#include "veltrane/select_page/select_param_page.h"
#include "veltrane/service/service.h"
#include "veltrane/service/type_library.h"
#include "veltrane/snp_selector/snp_locus_tag_selector.h"

#include <QHash>
#include <QMutex>
#include <QWidget>

namespace veltrane {

namespace {

PublicClass described(const QString &className)
{
    const typelib::CoClass *c = typelib::typeLibrary().coClass(className);
    Q_ASSERT_X(c, "publicClasses", "every public class is in the type library");
    PublicClass p;
    p.className = c->name;
    p.classId = c->clsid;
    p.isPage = c->implements(QStringLiteral("IPageAccess"));
    p.isControl = c->kind == typelib::ClassKind::Control;
    return p;
}

template <typename T> PublicClass built(const QString &className)
{
    PublicClass p = described(className);
    p.meta = &T::staticMetaObject;
    p.create = [](QWidget *parent) -> QObject * {
        if constexpr (std::is_base_of_v<QWidget, T>)
            return new T(parent);
        else
            return new T(static_cast<QObject *>(parent));
    };
    return p;
}

// Objects of the public classes answer late-bound calls from the moment the library is loaded, also
// when the host creates them directly.
void registerDispatchTables()
{
    const typelib::TypeLibrary &lib = typelib::typeLibrary();
    for (const PublicClass &c : publicClasses())
        if (c.meta)
            automation::registerDispatchTable(c.meta, lib.dispatchTable(*lib.coClass(c.className)));
}
Q_CONSTRUCTOR_FUNCTION(registerDispatchTables)

Error noClass(const QString &what, const QString &name)
{
    return Error(kApplicationError, QStringLiteral("Veltrane"),
                 QStringLiteral("No %1 is named \"%2\".").arg(what, name));
}

} // namespace

const QList<PublicClass> &publicClasses()
{
    // One line per class of the type library (a class not built would be described(name) alone).
    static const QList<PublicClass> table = {
        built<Service>(QStringLiteral("Service")),
        built<AnalysisParamPage>(pages::kAnalysisParamPage),
        built<SaveAsParamPage>(pages::kSaveAsParamPage),
        built<SelectParamPage>(pages::kSelectParamPage),
        built<SNPLocusTagSelector>(QStringLiteral("SNPLocusTagSelector")),
    };
    return table;
}

const PublicClass *findPublicClass(const QString &name)
{
    const QUuid classId(name);
    for (const PublicClass &c : publicClasses())
        if (c.className.compare(name, Qt::CaseInsensitive) == 0 || c.progId().compare(name, Qt::CaseInsensitive) == 0 ||
            (!classId.isNull() && c.classId == classId))
            return &c;
    return nullptr;
}

namespace {

struct OutsideControls
{
    QMutex mutex;
    QHash<QString, std::function<QWidget *(QWidget *)>> byProgId; // case-folded identifier
};

OutsideControls &outsideControls()
{
    static OutsideControls controls;
    return controls;
}

std::function<QWidget *(QWidget *)> outsideControl(const QString &progId)
{
    OutsideControls &controls = outsideControls();
    QMutexLocker lock(&controls.mutex);
    return controls.byProgId.value(progId.toCaseFolded());
}

// A control another component library registered: made by its class factory, then the page's.
QObject *registeredControl(const QString &progId, QWidget *parent)
{
    VtObject *made = components::createRegisteredObject(progId, true);
    auto *control = qobject_cast<QWidget *>(static_cast<QObject *>(made->vtbl->TakeQtObject(made)));
    QObject *other = control ? nullptr : static_cast<QObject *>(made->vtbl->QtObject(made));
    made->vtbl->Release(made); // the wrapper only: the page owns the control from here
    if (!control) {
        delete other;
        throw Error(kApplicationError, QStringLiteral("Veltrane"),
                    QStringLiteral("The class registered as \"%1\" is no control.").arg(progId));
    }
    control->setParent(parent);
    return control;
}

} // namespace

void registerOutsideControl(const QString &progId, std::function<QWidget *(QWidget *parent)> create)
{
    OutsideControls &controls = outsideControls();
    QMutexLocker lock(&controls.mutex);
    if (create)
        controls.byProgId.insert(progId.toCaseFolded(), std::move(create));
    else
        controls.byProgId.remove(progId.toCaseFolded());
}

QObject *createObject(const QString &name, QWidget *parent)
{
    const PublicClass *c = findPublicClass(name);
    if (!c) {
        if (const auto create = outsideControl(name))
            return create(parent);
        return registeredControl(name, parent);
    }
    if (!c->isBuilt())
        throw Error(kApplicationError, QStringLiteral("Veltrane"),
                    QStringLiteral("The class %1 is not available in this build.").arg(c->className));
    return c->create(parent);
}

QWidget *createPage(const QString &className, QWidget *parent)
{
    const PublicClass *c = findPublicClass(className);
    if (!c || !c->isPage || !c->isBuilt())
        throw noClass(QStringLiteral("page class"), className);
    return static_cast<QWidget *>(c->create(parent));
}

} // namespace veltrane
