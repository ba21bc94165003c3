#pragma once

#include "app/manager/permissions.h"
#include "host/objects/set_history.h"

#include <QHash>
#include <QWidget>
#include <functional>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace veltrane::app {

class SetFilterModel;
class SetListModel;

// The application's own window: every set of the store with its project, state and last change,
// sortable and filtered by name; the sets' life cycle from buttons, a context menu and shortcuts,
// each asking for an optional reason; New and Edit open the library's editor flow; History, Compare,
// Import and Export. What the store refuses is told in a warning box and kept in a line below the list,
// and the store stays as it was.
class ManagerWindow : public QWidget
{
    Q_OBJECT
public:
    enum class Command { New, Edit, History, Compare, Rename, Lock, Hide, Delete, Undelete, Import, Export, Refresh };

    explicit ManagerWindow(host::SqlStore &store, QWidget *parent = nullptr);
    ~ManagerWindow() override;

    // Reads the store's list again, the chosen set kept chosen. The first read waits for the first paint.
    void reload();

    QTableView *list() const { return m_view; }
    QLineEdit *filter() const { return m_filter; }
    QCheckBox *showDeleted() const { return m_showDeleted; }
    QAction *action(Command command) const { return m_actions.value(command); }
    // What the last action did, or why it was not done ("Not done: " and what the box said).
    QString outcome() const;
    // The sets shown, in the order shown, by name ("name (deleted)" for a deleted one).
    QStringList shownSets() const;
    // Chooses the shown set of that name (a deleted one with deleted); answers whether there is one.
    bool choose(const QString &name, bool deleted = false);

    // Import and export without asking for a file (the buttons ask).
    void importFile(const QString &file);
    void exportTo(const QString &file);

signals:
    // An import or export went a step further (sets done of all); connected before the step is judged,
    // so a slot may still cancel it.
    void exchangeProgressed(qsizetype done, qsizetype total);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void addCommand(Command command, const QString &text, const QKeySequence &shortcut, const char *name,
                    void (ManagerWindow::*slot)());
    std::optional<host::SetOverview> current() const;
    QList<host::SetOverview> chosen() const;
    void judgeActions();
    void say(const QString &text);
    // Says why an action was not done, in the line and in a warning box.
    void refuse(const QString &why);
    // Asks for the reason (and a name, with askName), runs change and shows what it did or why not.
    void change(const QString &title, const QString &question, bool askName, const QString &name,
                const std::function<host::Revision(const QString &name, const QString &reason)> &change,
                const std::function<QString(const host::Revision &)> &done);
    void select(qint32 setId);

    void newSet();
    void editSet();
    void showHistory();
    void compareSets();
    void renameSet();
    void lockOrUnlock();
    void hideOrUnhide();
    void deleteSet();
    void undeleteSet();
    void askImport();
    void askExport();

    host::SqlStore &m_store;
    Permissions m_permissions;
    bool m_loaded = false;
    SetListModel *m_model;
    SetFilterModel *m_proxy;
    QTableView *m_view;
    QLineEdit *m_filter;
    QCheckBox *m_showDeleted;
    QLabel *m_count;
    QLabel *m_outcome;
    QHash<Command, QAction *> m_actions;
    QHash<Command, QPushButton *> m_buttons;
};

} // namespace veltrane::app
