#include "app/manager/window_drawing.h"

#include "app/manager/compare_window.h"
#include "app/manager/history_window.h"
#include "app/manager/manager_window.h"
#include "veltrane/contracts/error.h"

#include <QCoreApplication>
#include <QImage>

namespace veltrane::app {

namespace {

QImage drawn(QWidget &window)
{
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.show();
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    return window.grab().toImage();
}

qint32 setNumber(host::SqlStore &store, const QString &name)
{
    return host::setIdByName(store, name, true);
}

} // namespace

QImage drawWindow(host::SqlStore &store, const QString &window, const QStringList &sets)
{
    const Permissions permissions(store);
    if (window.compare(kManagerWindow, Qt::CaseInsensitive) == 0) {
        ManagerWindow manager(store);
        manager.reload();
        if (!sets.isEmpty())
            manager.choose(sets.first());
        return drawn(manager);
    }
    if (sets.isEmpty())
        throw Error(kApplicationError, QStringLiteral("veltrane"),
                    QStringLiteral("screenshot %1 needs the set to show: --set NAME").arg(window));
    if (window.compare(kHistoryWindow, Qt::CaseInsensitive) == 0) {
        HistoryWindow history(store, setNumber(store, sets.first()), permissions);
        return drawn(history);
    }
    ComparedSet left, right;
    if (sets.size() > 1) {
        const QList<host::SetOverview> all = host::setOverview(store);
        const auto find = [&](const QString &name) {
            for (const host::SetOverview &s : all)
                if (s.name.compare(name, Qt::CaseInsensitive) == 0)
                    return currentSet(store, s);
            throw Error(kStoreNotFound, QStringLiteral("veltrane"),
                        QStringLiteral("No parameter set is named \"%1\".").arg(name));
        };
        left = find(sets.at(0));
        right = find(sets.at(1));
    } else {
        const qint32 id = setNumber(store, sets.first());
        const host::Revision last = host::setHistory(store, id).first();
        if (last.number < 2)
            throw Error(
                kApplicationError, QStringLiteral("veltrane"),
                QStringLiteral("\"%1\" has one revision only: give two sets (--set A --set B)").arg(sets.first()));
        left = revisionOf(store, id, last.number - 1);
        right = revisionOf(store, id, last.number);
    }
    CompareWindow compare(left, right);
    return drawn(compare);
}

} // namespace veltrane::app
