#pragma once

#include "app/manager/permissions.h"
#include "host/objects/set_history.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

namespace veltrane::app {

// The revisions of one set, newest first, with what each changed; one can be compared with the set as
// it is now (or two with each other) and restored.
class HistoryWindow : public QDialog
{
    Q_OBJECT
public:
    HistoryWindow(host::SqlStore &store, qint32 setId, const Permissions &permissions, QWidget *parent = nullptr);

    QTableWidget *revisions() const { return m_revisions; }
    QTableWidget *changes() const { return m_changes; }
    QString outcome() const;
    // Whether a revision was restored while the window was open (the set list is read again).
    bool restored() const { return m_restored; }

    // Reads the revisions again, the newest chosen.
    void reload();
    // Asks for a reason and restores the chosen revision.
    void restoreChosen();
    // Compares the chosen revision with the set as it is now; two chosen revisions with each other.
    void compareChosen();

private:
    QList<qint32> chosenNumbers() const;
    void showChanges();
    void judgeButtons();
    void say(const QString &text, bool refused); // refused: the store said no; nothing changed

    host::SqlStore &m_store;
    qint32 m_setId;
    Permissions m_permissions;
    QList<host::Revision> m_list;
    bool m_restored = false;

    QLabel *m_heading;
    QTableWidget *m_revisions;
    QTableWidget *m_changes;
    QLabel *m_outcome;
    QPushButton *m_restore;
    QPushButton *m_compare;
};

} // namespace veltrane::app
