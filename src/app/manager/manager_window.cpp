#include "app/manager/manager_window.h"

#include "app/import_window.h"
#include "app/manager/compare_window.h"
#include "app/manager/history_window.h"
#include "app/manager/reason_dialog.h"
#include "app/manager/set_list_model.h"
#include "host/objects/json_exchange.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QVBoxLayout>

namespace veltrane::app {

namespace {

// The stored sets as the library's pages receive them: objects of the shared object manager.
CollectionPtr storedSets()
{
    return ObjectManager().LoadCollection(queries::kAnalysisParameters, QString(), QString(), fields::kName, false,
                                          true);
}

} // namespace

ManagerWindow::ManagerWindow(host::SqlStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_permissions(store)
{
    setObjectName(QStringLiteral("ManagerWindow"));
    setWindowTitle(tr("Parameter Sets - %1").arg(store.location()));
    resize(1000, 620);

    m_model = new SetListModel(this);
    m_proxy = new SetFilterModel(this);
    m_proxy->setSourceModel(m_model);
    m_proxy->setFilterKeyColumn(SetListModel::Name);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);

    auto *findLabel = new QLabel(tr("&Find:"), this);
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("txtFind"));
    m_filter->setPlaceholderText(tr("part of a name"));
    m_filter->setClearButtonEnabled(true);
    findLabel->setBuddy(m_filter);
    m_showDeleted = new QCheckBox(tr("Show dele&ted sets"), this);
    m_showDeleted->setObjectName(QStringLiteral("chkShowDeleted"));

    auto *listLabel = new QLabel(tr("Parameter &sets:"), this);
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("tblSets"));
    m_view->setAccessibleName(tr("Parameter sets"));
    listLabel->setBuddy(m_view);
    m_view->setModel(m_proxy);
    m_view->setSortingEnabled(true);
    m_view->sortByColumn(SetListModel::Name, Qt::AscendingOrder);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setTabKeyNavigation(false);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->horizontalHeader()->resizeSection(SetListModel::Name, 280);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lblCount"));
    m_outcome = new QLabel(this);
    m_outcome->setObjectName(QStringLiteral("lblOutcome"));
    m_outcome->setTextFormat(Qt::PlainText);
    m_outcome->setWordWrap(true);
    m_outcome->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_outcome->hide();

    addCommand(Command::New, tr("&New..."), QKeySequence::New, "New", &ManagerWindow::newSet);
    addCommand(Command::Edit, tr("&Edit..."), QKeySequence(Qt::CTRL | Qt::Key_E), "Edit", &ManagerWindow::editSet);
    addCommand(Command::History, tr("&History..."), QKeySequence(Qt::CTRL | Qt::Key_H), "History",
               &ManagerWindow::showHistory);
    addCommand(Command::Compare, tr("Com&pare..."), QKeySequence(Qt::CTRL | Qt::Key_D), "Compare",
               &ManagerWindow::compareSets);
    addCommand(Command::Rename, tr("&Rename..."), QKeySequence(Qt::Key_F2), "Rename", &ManagerWindow::renameSet);
    addCommand(Command::Lock, tr("&Lock..."), QKeySequence(Qt::CTRL | Qt::Key_L), "Lock", &ManagerWindow::lockOrUnlock);
    addCommand(Command::Hide, tr("H&ide..."), QKeySequence(Qt::CTRL | Qt::Key_I), "Hide", &ManagerWindow::hideOrUnhide);
    addCommand(Command::Delete, tr("&Delete..."), QKeySequence::Delete, "Delete", &ManagerWindow::deleteSet);
    addCommand(Command::Undelete, tr("&Undelete..."), QKeySequence(Qt::CTRL | Qt::Key_U), "Undelete",
               &ManagerWindow::undeleteSet);
    addCommand(Command::Import, tr("I&mport..."), QKeySequence::Open, "Import", &ManagerWindow::askImport);
    addCommand(Command::Export, tr("E&xport..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), "Export",
               &ManagerWindow::askExport);
    addCommand(Command::Refresh, tr("Re&fresh"), QKeySequence::Refresh, "Refresh", &ManagerWindow::reload);
    auto *close = new QPushButton(tr("&Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto *focusFind = new QAction(this);
    focusFind->setShortcut(QKeySequence::Find);
    connect(focusFind, &QAction::triggered, m_filter, [this] { m_filter->setFocus(Qt::ShortcutFocusReason); });
    addAction(focusFind);

    auto *top = new QHBoxLayout;
    top->addWidget(findLabel);
    top->addWidget(m_filter, 1);
    top->addWidget(m_showDeleted);
    auto *buttons = new QVBoxLayout;
    for (const Command c :
         {Command::New, Command::Edit, Command::History, Command::Compare, Command::Rename, Command::Lock,
          Command::Hide, Command::Delete, Command::Undelete, Command::Import, Command::Export, Command::Refresh}) {
        buttons->addWidget(m_buttons.value(c));
        if (c == Command::Compare || c == Command::Undelete)
            buttons->addSpacing(12);
    }
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto *grid = new QGridLayout(this);
    grid->addLayout(top, 0, 0);
    grid->addWidget(listLabel, 1, 0);
    grid->addWidget(m_view, 2, 0);
    grid->addWidget(m_count, 3, 0);
    grid->addWidget(m_outcome, 4, 0);
    grid->addLayout(buttons, 0, 1, 5, 1);
    grid->setRowStretch(2, 1);
    setTabOrder(m_filter, m_showDeleted);
    setTabOrder(m_showDeleted, m_view);

    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_proxy->setFilterFixedString(text);
        judgeActions();
    });
    connect(m_showDeleted, &QCheckBox::toggled, this, &ManagerWindow::reload);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &ManagerWindow::judgeActions);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this, &ManagerWindow::judgeActions);
    // Enter or a double click edits the set; a deleted one shows its history.
    connect(m_view, &QTableView::activated, this, [this] {
        const auto set = current();
        if (set)
            (set->deleted ? m_actions.value(Command::History) : m_actions.value(Command::Edit))->trigger();
    });
    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu menu(this);
        menu.setObjectName(QStringLiteral("mnuSet"));
        for (const Command c : {Command::Edit, Command::History, Command::Compare, Command::Rename, Command::Lock,
                                Command::Hide, Command::Delete, Command::Undelete, Command::Export})
            menu.addAction(m_actions.value(c));
        menu.exec(m_view->viewport()->mapToGlobal(at));
    });
    judgeActions();
    m_view->setFocus();
}

ManagerWindow::~ManagerWindow() = default;

void ManagerWindow::addCommand(Command command, const QString &text, const QKeySequence &shortcut, const char *name,
                               void (ManagerWindow::*slot)())
{
    auto *action = new QAction(text, this);
    action->setObjectName(QStringLiteral("act") + QLatin1String(name));
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    connect(action, &QAction::triggered, this, slot);
    auto *button = new QPushButton(text, this);
    button->setObjectName(QStringLiteral("cmd") + QLatin1String(name));
    button->setToolTip(shortcut.isEmpty() ? QString() : shortcut.toString(QKeySequence::NativeText));
    connect(button, &QPushButton::clicked, action, &QAction::trigger);
    // The button shows what its action is now: enabled or not, and its caption (Lock or Unlock).
    connect(action, &QAction::changed, button, [button, action] {
        button->setEnabled(action->isEnabled());
        button->setText(action->text());
    });
    m_actions.insert(command, action);
    m_buttons.insert(command, button);
}

void ManagerWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The window comes up at once; the list follows as soon as it has been drawn.
    if (!m_loaded)
        QMetaObject::invokeMethod(this, &ManagerWindow::reload, Qt::QueuedConnection);
}

void ManagerWindow::reload()
{
    const std::optional<host::SetOverview> was = current();
    try {
        m_model->reload(m_store, m_showDeleted->isChecked());
        m_loaded = true;
    } catch (const Error &e) {
        say(tr("The list cannot be read: %1").arg(e.description()));
    }
    const auto deleted = std::count_if(m_model->sets().cbegin(), m_model->sets().cend(),
                                       [](const host::SetOverview &s) { return s.deleted; });
    const QString stored = counted(m_model->rowCount() - deleted, tr("parameter set"), tr("parameter sets"));
    m_count->setText(deleted ? tr("%1 stored, %2 deleted.").arg(stored).arg(deleted) : tr("%1 stored.").arg(stored));
    select(was ? was->setId : 0);
}

void ManagerWindow::select(qint32 setId)
{
    int row = setId ? m_model->rowOfId(setId) : -1;
    QModelIndex index = row >= 0 ? m_proxy->mapFromSource(m_model->index(row, 0)) : QModelIndex();
    if (!index.isValid())
        index = m_proxy->index(0, 0);
    if (index.isValid()) {
        m_view->selectionModel()->setCurrentIndex(index,
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_view->scrollTo(index);
    }
    judgeActions();
}

bool ManagerWindow::choose(const QString &name, bool deleted)
{
    for (int row = 0; row < m_proxy->rowCount(); ++row) {
        const host::SetOverview &s = m_model->set(m_proxy->mapToSource(m_proxy->index(row, 0)).row());
        if (s.deleted == deleted && s.name.compare(name, Qt::CaseInsensitive) == 0) {
            select(s.setId);
            return true;
        }
    }
    return false;
}

QStringList ManagerWindow::shownSets() const
{
    QStringList names;
    for (int row = 0; row < m_proxy->rowCount(); ++row) {
        const host::SetOverview &s = m_model->set(m_proxy->mapToSource(m_proxy->index(row, 0)).row());
        names << (s.deleted ? tr("%1 (deleted)").arg(s.name) : s.name);
    }
    return names;
}

QString ManagerWindow::outcome() const
{
    return m_outcome->text();
}

void ManagerWindow::say(const QString &text)
{
    m_outcome->setText(text);
    m_outcome->setVisible(!text.isEmpty()); // an empty line tells a screen reader nothing
}

std::optional<host::SetOverview> ManagerWindow::current() const
{
    const QModelIndex index = m_view->currentIndex();
    if (!index.isValid() || !m_view->selectionModel()->isRowSelected(index.row(), index.parent()))
        return std::nullopt;
    return m_model->set(m_proxy->mapToSource(index).row());
}

QList<host::SetOverview> ManagerWindow::chosen() const
{
    QList<host::SetOverview> sets;
    for (const QModelIndex &index : m_view->selectionModel()->selectedRows())
        sets << m_model->set(m_proxy->mapToSource(index).row());
    return sets;
}

void ManagerWindow::judgeActions()
{
    const std::optional<host::SetOverview> set = current();
    const bool stored = set && !set->deleted;
    const auto enable = [this](Command c, bool on, SetAction what) {
        m_actions.value(c)->setEnabled(on && m_permissions.allows(what));
    };
    enable(Command::New, true, SetAction::New);
    enable(Command::Edit, stored, SetAction::Edit);
    m_actions.value(Command::History)->setEnabled(set.has_value());
    m_actions.value(Command::Compare)->setEnabled(chosen().size() == 2);
    enable(Command::Rename, stored, SetAction::Rename);
    const bool locked = stored && set->readOnly();
    m_actions.value(Command::Lock)->setText(locked ? tr("Un&lock...") : tr("&Lock..."));
    enable(Command::Lock, stored, locked ? SetAction::Unlock : SetAction::Lock);
    const bool hidden = stored && set->hidden();
    m_actions.value(Command::Hide)->setText(hidden ? tr("Unh&ide...") : tr("H&ide..."));
    enable(Command::Hide, stored, hidden ? SetAction::Unhide : SetAction::Hide);
    enable(Command::Delete, stored, SetAction::Delete);
    enable(Command::Undelete, set && set->deleted, SetAction::Undelete);
    enable(Command::Import, true, SetAction::Import);
    enable(Command::Export, m_model->rowCount() > 0, SetAction::Export);
    m_buttons.value(Command::Compare)
        ->setToolTip(tr("Choose two sets to compare (Shift+Down adds the next one). History compares a set with its "
                        "revisions."));
}

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
        say(tr("Not done: %1").arg(e.description()));
    }
}

void ManagerWindow::newSet()
{
    const CollectionPtr sets = storedSets();
    if (!sets->Contains(stored::kDefaultParameterSet)) {
        say(tr("Not done: the parameter set \"%1\" is not stored, so there is no template for a new set.")
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
        say(tr("Not done: %1").arg(e.description()));
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
            say(tr("Not done: \"%1\" is no longer stored; the list was read again.").arg(set->name));
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
        say(tr("Not done: %1").arg(e.description()));
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
        say(tr("Not done: %1").arg(e.description()));
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
        say(tr("Not done: %1").arg(e.description()));
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
        say(tr("Not done: a deleted set is not stored, so it cannot be exported; undelete it first."));
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
        say(progress.wasCanceled() ? tr("The export was cancelled; no file was written.")
                                   : tr("Not done: %1").arg(e.description()));
    }
}

// ---- drawn for the user guide -------------------------------------------------------------------

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
