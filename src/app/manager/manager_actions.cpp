#include "app/import_window.h"
#include "app/manager/compare_window.h"
#include "app/manager/history_window.h"
#include "app/manager/manager_window.h"
#include "app/manager/reason_dialog.h"
#include "app/manager/set_list_model.h"
#include "host/objects/json_exchange.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"

// What the manager's commands do: New and Edit through the library's editor flow, History and Compare,
// the life-cycle actions with their reasons, import and export.

#include <QFileDialog>
#include <QProgressDialog>
#include <QSet>
#include <QTableView>

namespace veltrane::app {

namespace {

// The stored sets as the library's pages receive them: objects of the shared object manager.
CollectionPtr storedSets()
{
    return ObjectManager().LoadCollection(queries::kAnalysisParameters, QString(), QString(), fields::kName, false,
                                          true);
}

} // namespace
void ManagerWindow::change(const QString &title, const QString &question, bool askName, const QString &name,
                           const std::function<host::Revision(const QString &, const QString &)> &change,
                           const std::function<QString(const host::Revision &)> &done)
{
    ReasonDialog ask(title, question, askName, name, this);
    if (ask.exec() != QDialog::Accepted)
        return;
    try {
        const host::Revision r = change(ask.name(), ask.reason());
        reload();
        select(r.setId);
        say(done(r));
    } catch (const Error &e) {
        // The store changed nothing; the list is read again, since someone else may have changed it.
        reload();
        refuse(e.description());
    }
}

void ManagerWindow::newSet()
{
    const CollectionPtr sets = storedSets();
    if (!sets->Contains(stored::kDefaultParameterSet)) {
        refuse(tr("The parameter set \"%1\" is not stored, so there is no template for a new set.")
                   .arg(stored::kDefaultParameterSet));
        return;
    }
    QSet<qint32> before;
    for (const host::SetOverview &s : m_model->sets())
        before.insert(s.setId);
    try {
        CollectionPtr context = newCollection();
        context->Add(QStringLiteral("1"), keys::kIsNew);
        context->Add(toVariant(sets->Object<AnalysisParameter>(stored::kDefaultParameterSet)),
                     keys::kAnalysisParameter);
        const ServiceWindowPtr window =
            App().RunService(flows::kEditAnalysisParameters, context, this, flow_options::kEditNewSet);
        reload();
        for (const host::SetOverview &s : m_model->sets())
            if (!before.contains(s.setId)) {
                select(s.setId);
                say(tr("Created \"%1\".").arg(s.name));
                return;
            }
        if (window && window->WasCancelled())
            say(tr("No set was created."));
    } catch (const Error &e) {
        refuse(e.description());
    }
}

void ManagerWindow::editSet()
{
    const std::optional<host::SetOverview> set = current();
    if (!set || set->deleted)
        return;
    try {
        const CollectionPtr sets = storedSets();
        if (!sets->Contains(set->name)) {
            reload();
            refuse(tr("\"%1\" is no longer stored; the list was read again.").arg(set->name));
            return;
        }
        CollectionPtr context = newCollection();
        context->Add(toVariant(sets->Object<AnalysisParameter>(set->name)), keys::kAnalysisParameter);
        const ServiceWindowPtr window =
            App().RunService(flows::kEditAnalysisParameters, context, this, flow_options::kEditExistingSet);
        reload();
        if (Utilities().KeyExists(context, keys::kNewSaveAs)) {
            const auto saved = context->Object<AnalysisParameter>(keys::kNewSaveAs);
            if (saved && choose(saved->Name()))
                say(tr("Saved as \"%1\".").arg(saved->Name()));
        } else if (window && !window->WasCancelled()) {
            say(tr("Saved \"%1\".").arg(set->name));
        }
    } catch (const Error &e) {
        refuse(e.description());
    }
}

void ManagerWindow::showHistory()
{
    const std::optional<host::SetOverview> set = current();
    if (!set)
        return;
    try {
        HistoryWindow window(m_store, set->setId, m_permissions, this);
        window.exec();
        if (window.restored()) {
            reload();
            say(window.outcome());
        }
    } catch (const Error &e) {
        refuse(e.description());
    }
}

void ManagerWindow::compareSets()
{
    QList<host::SetOverview> sets = chosen();
    if (sets.size() != 2)
        return;
    // The one the cursor is on goes right: the user chose the other first.
    if (const auto now = current(); now && now->setId == sets.first().setId)
        std::swap(sets.first(), sets.last());
    try {
        CompareWindow window(currentSet(m_store, sets.first()), currentSet(m_store, sets.last()), this);
        window.exec();
    } catch (const Error &e) {
        reload();
        refuse(e.description());
    }
}

void ManagerWindow::renameSet()
{
    const auto set = current();
    if (!set || set->deleted)
        return;
    change(
        tr("Rename Parameter Set"), tr("Give \"%1\" another name:").arg(set->name), true, set->name,
        [this, set](const QString &name, const QString &reason) {
            return host::renameSet(m_store, set->name, name, reason);
        },
        [set](const host::Revision &r) { return tr("Renamed \"%1\" to \"%2\".").arg(set->name, r.name); });
}

void ManagerWindow::lockOrUnlock()
{
    const auto set = current();
    if (!set || set->deleted)
        return;
    const bool locked = set->readOnly();
    change(
        locked ? tr("Unlock Parameter Set") : tr("Lock Parameter Set"),
        locked ? tr("Make \"%1\" writable again?").arg(set->name)
               : tr("Make \"%1\" read-only? Nobody can change, rename, restore over or delete it until it is "
                    "unlocked.")
                     .arg(set->name),
        false, QString(),
        [this, set, locked](const QString &, const QString &reason) {
            return locked ? host::unlockSet(m_store, set->name, reason) : host::lockSet(m_store, set->name, reason);
        },
        [locked](const host::Revision &r) {
            return (locked ? tr("Unlocked \"%1\".") : tr("Locked \"%1\".")).arg(r.name);
        });
}

void ManagerWindow::hideOrUnhide()
{
    const auto set = current();
    if (!set || set->deleted)
        return;
    const bool hidden = set->hidden();
    change(
        hidden ? tr("List Parameter Set Again") : tr("Hide Parameter Set"),
        hidden ? tr("List \"%1\" again where users pick sets?").arg(set->name)
               : tr("Leave \"%1\" out of the lists users pick sets from?").arg(set->name),
        false, QString(),
        [this, set, hidden](const QString &, const QString &reason) {
            return hidden ? host::showSet(m_store, set->name, reason) : host::hideSet(m_store, set->name, reason);
        },
        [hidden](const host::Revision &r) {
            return (hidden ? tr("Listed \"%1\" again.") : tr("Hid \"%1\".")).arg(r.name);
        });
}

void ManagerWindow::deleteSet()
{
    const auto set = current();
    if (!set || set->deleted)
        return;
    change(
        tr("Delete Parameter Set"),
        tr("Delete \"%1\"? Its history is kept, and Undelete brings it back.").arg(set->name), false, QString(),
        [this, set](const QString &, const QString &reason) { return host::deleteSet(m_store, set->name, reason); },
        [](const host::Revision &r) {
            return tr("Deleted \"%1\". Show deleted sets lists it; Undelete brings it back.").arg(r.name);
        });
}

void ManagerWindow::undeleteSet()
{
    const auto set = current();
    if (!set || !set->deleted)
        return;
    change(
        tr("Undelete Parameter Set"), tr("Bring \"%1\" back, under this name:").arg(set->name), true, set->name,
        [this, set](const QString &name, const QString &reason) {
            return host::undeleteSet(m_store, set->setId, name == set->name ? QString() : name, reason);
        },
        [](const host::Revision &r) { return tr("Brought \"%1\" back.").arg(r.name); });
}

void ManagerWindow::askImport()
{
    const QString file = QFileDialog::getOpenFileName(this, tr("Import Parameter Sets"), QString(),
                                                      tr("Exchange files (*.json);;All files (*)"));
    if (!file.isEmpty())
        importFile(file);
}

void ManagerWindow::importFile(const QString &file)
{
    ImportWindow window(m_store, file, this);
    connect(&window, &ImportWindow::progressed, this, &ManagerWindow::exchangeProgressed);
    window.exec();
    reload();
    if (window.imported() && !window.setNames().isEmpty())
        choose(window.setNames().constFirst());
    say(window.outcome());
}

void ManagerWindow::askExport()
{
    const QString file =
        QFileDialog::getSaveFileName(this, tr("Export Parameter Sets"), QStringLiteral("parameter-sets.veltrane.json"),
                                     tr("Exchange files (*.json);;All files (*)"));
    if (!file.isEmpty())
        exportTo(file);
}

void ManagerWindow::exportTo(const QString &file)
{
    QStringList names;
    const QList<host::SetOverview> sets = chosen();
    for (const host::SetOverview &s : sets)
        if (!s.deleted)
            names << s.name;
    // Only deleted sets chosen: exporting every set instead would not be what was asked.
    if (!sets.isEmpty() && names.isEmpty()) {
        refuse(tr("A deleted set is not stored, so it cannot be exported; undelete it first."));
        return;
    }
    QProgressDialog progress(tr("Exporting parameter sets..."), tr("&Cancel"), 0, 1, this);
    progress.setObjectName(QStringLiteral("ExportProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    try {
        host::OutputRules rules;
        rules.store = &m_store;
        host::exportStoreToFile(m_store, file, names, host::ExportScope::ReferencedObjects, rules,
                                [this, &progress](qsizetype done, qsizetype total) {
                                    progress.setMaximum(int(total));
                                    progress.setValue(int(done));
                                    emit exchangeProgressed(done, total);
                                    return !progress.wasCanceled();
                                });
        progress.setValue(progress.maximum());
        say(names.isEmpty() ? tr("Exported every set to %1.").arg(file)
                            : tr("Exported %n set(s) to %1.", nullptr, int(names.size())).arg(file));
    } catch (const Error &e) {
        if (progress.wasCanceled())
            say(tr("The export was cancelled; no file was written."));
        else
            refuse(e.description());
    }
}

} // namespace veltrane::app
