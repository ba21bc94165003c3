#include "app/manager/manager_window.h"

#include "app/manager/compare_window.h" // counted()
#include "app/manager/refusal_box.h"
#include "app/manager/set_list_model.h"
#include "veltrane/contracts/error.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace veltrane::app {

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

void ManagerWindow::refuse(const QString &why)
{
    // The line stays for whoever looks back at the window; the box is what a screen reader announces.
    say(tr("Not done: %1").arg(why));
    showRefusal(this, why);
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

} // namespace veltrane::app
