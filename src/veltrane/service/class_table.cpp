#include "veltrane/service/class_table.h"

#include "veltrane/contracts/error.h"
#include "veltrane/select_page/select_param_page.h"
#include "veltrane/service/service.h"
#include "veltrane/snp_selector/snp_locus_tag_selector.h"

namespace veltrane {

const QList<PublicClass> &publicClasses()
{
    static const QList<PublicClass> table = {
        {QStringLiteral("Service"), QUuid(QStringLiteral("{C8FE094E-FDC7-4B52-AE2E-CF582DB72750}")), false,
         [](QWidget *) -> QObject * { return new Service(); }},
        {QStringLiteral("SelectParamPage"), QUuid(QStringLiteral("{8DA3BA8E-8719-4795-8B35-589F90606E4D}")), true,
         [](QWidget *parent) -> QObject * { return new SelectParamPage(parent); }},
        {QStringLiteral("SNPLocusTagSelector"), QUuid(QStringLiteral("{40923E03-0DFC-4C62-A4D0-2C0339A4FDE7}")), false,
         [](QWidget *parent) -> QObject * { return new SNPLocusTagSelector(parent); }},
    };
    return table;
}

static const PublicClass *find(const QString &name)
{
    for (const PublicClass &c : publicClasses())
        if (c.className.compare(name, Qt::CaseInsensitive) == 0 || c.progId().compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

QObject *createObject(const QString &name, QWidget *parent)
{
    const PublicClass *c = find(name);
    if (!c)
        throw Error(kApplicationError, QStringLiteral("Veltrane"),
                    QStringLiteral("No public class is named \"%1\".").arg(name));
    return c->create(parent);
}

QWidget *createPage(const QString &className, QWidget *parent)
{
    const PublicClass *c = find(className);
    if (!c || !c->isPage)
        throw Error(kApplicationError, QStringLiteral("Veltrane"),
                    QStringLiteral("No page class is named \"%1\".").arg(className));
    return static_cast<QWidget *>(c->create(parent));
}

} // namespace veltrane
