#pragma once

#include "veltrane/contracts/automation.h"
#include "veltrane/contracts/keyed_collection.h"

#include <QSharedPointer>
#include <QString>
#include <QWidget>

namespace veltrane::editor {

// Hands an object by reference to a locus tag selector's member and keeps what the selector leaves
// in the argument. A selector that leaves nothing, or an object of another class, fails here (object
// not set, type mismatch), in the procedure that called it, rather than where the page next uses
// the object.
template <typename T> void handOver(QWidget *selector, qint32 dispId, QSharedPointer<T> &object, const char *what)
{
    QVariantList args{toVariant(object)};
    automation::call(selector, dispId, args);
    const ObjectPtr handedBack = objectFrom<QObject>(args.first());
    QSharedPointer<T> typed = qSharedPointerObjectCast<T>(handedBack);
    if (!handedBack)
        throw Error::objectNotSet(selector->objectName(),
                                  QStringLiteral("the selector handed back no %1").arg(QLatin1String(what)));
    if (!typed)
        throw Error::typeMismatch(
            selector->objectName(),
            QStringLiteral("the selector handed back a %1, not a %2")
                .arg(QString::fromLatin1(handedBack->metaObject()->className()), QLatin1String(what)));
    object = std::move(typed);
}

} // namespace veltrane::editor
