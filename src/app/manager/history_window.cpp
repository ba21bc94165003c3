#include "app/manager/history_window.h"

#include "app/history_commands.h"
#include "app/manager/compare_window.h"
#include "app/manager/reason_dialog.h"
#include "app/manager/refusal_box.h"
#include "veltrane/contracts/display_formats.h"
#include "veltrane/contracts/error.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace veltrane::app {

namespace {

enum RevisionColumn { Number, Time, Who, Action, Summary, Reason, RevisionColumns };

QTableWidget *makeTable(QWidget *parent, const QString &name, const QString &accessibleName, const QStringList &headers)
{
    auto *table = new QTableWidget(0, int(headers.size()), parent);
    table->setObjectName(name);
    table->setAccessibleName(accessibleName);
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setTabKeyNavigation(false);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

} // namespace

HistoryWindow::HistoryWindow(host::SqlStore &store, qint32 setId, const Permissions &permissions, QWidget *parent)
    : QDialog(parent)
    , m_store(store)
    , m_setId(setId)
    , m_permissions(permissions)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    resize(900, 600);
    auto *layout = new QVBoxLayout(this);
    m_heading = new QLabel(this);
    m_heading->setObjectName(QStringLiteral("lblHeading"));
    layout->addWidget(m_heading);

    auto *revisionsLabel = new QLabel(tr("Re&visions:"), this);
    layout->addWidget(revisionsLabel);
    m_revisions = makeTable(this, QStringLiteral("tblRevisions"), tr("Revisions"),
                            {tr("Revision"), tr("Time"), tr("Who"), tr("Action"), tr("What Changed"), tr("Reason")});
    m_revisions->setSelectionMode(QAbstractItemView::ExtendedSelection);
    revisionsLabel->setBuddy(m_revisions);
    layout->addWidget(m_revisions, 2);

    auto *changesLabel = new QLabel(tr("C&hanges in this revision:"), this);
    layout->addWidget(changesLabel);
    m_changes = makeTable(this, QStringLiteral("tblChanges"), tr("Changes in this revision"),
                          {tr("Field"), tr("Before"), tr("After")});
    changesLabel->setBuddy(m_changes);
    layout->addWidget(m_changes, 3);

    m_outcome = new QLabel(this);
    m_outcome->setObjectName(QStringLiteral("lblOutcome"));
    m_outcome->setWordWrap(true);
    m_outcome->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_outcome->hide();
    layout->addWidget(m_outcome);

    auto *buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton(tr("&Restore..."), QDialogButtonBox::ActionRole);
    m_restore->setObjectName(QStringLiteral("cmdRestore"));
    m_compare = buttons->addButton(tr("Com&pare..."), QDialogButtonBox::ActionRole);
    m_compare->setObjectName(QStringLiteral("cmdCompare"));
    QPushButton *close = buttons->addButton(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setText(tr("&Close"));
    connect(m_restore, &QPushButton::clicked, this, &HistoryWindow::restoreChosen);
    connect(m_compare, &QPushButton::clicked, this, &HistoryWindow::compareChosen);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(m_revisions, &QTableWidget::itemSelectionChanged, this, [this] {
        showChanges();
        judgeButtons();
    });
    reload();
    m_revisions->setFocus();
}

QString HistoryWindow::outcome() const
{
    return m_outcome->text();
}

void HistoryWindow::say(const QString &text, bool refused)
{
    m_outcome->setText(refused ? tr("Not done: %1").arg(text) : text);
    m_outcome->setVisible(!text.isEmpty()); // an empty line tells a screen reader nothing
}

void HistoryWindow::reload()
{
    m_list = host::setHistory(m_store, m_setId);
    const host::Revision &last = m_list.first();
    const bool deleted = last.action == host::RevisionAction::Deleted;
    setWindowTitle(tr("History of %1").arg(last.name));
    m_heading->setText(
        tr("\"%1\" (number %2%3): %4, newest first.")
            .arg(last.name)
            .arg(last.setId)
            .arg(deleted ? tr(", deleted") : QString(), counted(m_list.size(), tr("revision"), tr("revisions"))));
    const QSignalBlocker blocker(m_revisions);
    m_revisions->setRowCount(int(m_list.size()));
    for (int row = 0; row < m_list.size(); ++row) {
        const host::Revision &r = m_list.at(row);
        const QString texts[] = {QString::number(r.number),
                                 generalDate(r.time.toLocalTime()),
                                 r.who,
                                 host::actionName(r.action),
                                 r.summary,
                                 r.reason};
        for (int column = 0; column < RevisionColumns; ++column)
            m_revisions->setItem(row, column, new QTableWidgetItem(texts[column]));
    }
    m_revisions->resizeColumnsToContents();
    // A long summary keeps the reason in view; the whole text is in the cell.
    m_revisions->setColumnWidth(Summary, std::min(m_revisions->columnWidth(Summary), 380));
    m_revisions->setCurrentCell(0, 0);
    m_revisions->selectRow(0);
    showChanges();
    judgeButtons();
}

QList<qint32> HistoryWindow::chosenNumbers() const
{
    QList<qint32> numbers;
    for (const QModelIndex &index : m_revisions->selectionModel()->selectedRows())
        numbers << m_list.at(index.row()).number;
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

void HistoryWindow::judgeButtons()
{
    const qsizetype chosen = chosenNumbers().size();
    const bool deleted = !m_list.isEmpty() && m_list.first().action == host::RevisionAction::Deleted;
    // A deleted set is brought back first (Undelete in the list); then any revision can be restored.
    m_restore->setEnabled(chosen == 1 && !deleted && m_permissions.allows(SetAction::Restore));
    m_restore->setToolTip(deleted ? tr("The set is deleted: undelete it first, then restore a revision.") : QString());
    m_compare->setEnabled(chosen == 1 || chosen == 2);
}

// What the chosen revision changed: its fields against the revision before, or what the first holds.
void HistoryWindow::showChanges()
{
    m_changes->setRowCount(0);
    const QList<qint32> chosen = chosenNumbers();
    if (chosen.size() != 1)
        return;
    try {
        const host::SetSnapshot now = host::setRevision(m_store, m_setId, chosen.first());
        const host::SetComparison comparison =
            chosen.first() > 1
                ? host::compareSets(*host::setRevision(m_store, m_setId, chosen.first() - 1).settings, *now.settings)
                : host::describeNewSet(*now.settings);
        const QList<host::ComparedField> rows = comparison.hasLeft ? comparison.differences() : comparison.rows;
        m_changes->setRowCount(int(rows.size()));
        for (int row = 0; row < rows.size(); ++row) {
            const host::ComparedField &f = rows.at(row);
            m_changes->setItem(row, 0, new QTableWidgetItem(f.place()));
            m_changes->setItem(row, 1, new QTableWidgetItem(f.inLeft ? f.left : absentValue(f.group)));
            m_changes->setItem(row, 2, new QTableWidgetItem(f.inRight ? f.right : absentValue(f.group)));
        }
        m_changes->resizeColumnsToContents();
    } catch (const Error &e) {
        say(e.description(), true);
    }
}

void HistoryWindow::restoreChosen()
{
    const QList<qint32> chosen = chosenNumbers();
    if (chosen.size() != 1 || !m_restore->isEnabled())
        return;
    const QString name = m_list.first().name;
    ReasonDialog ask(tr("Restore Revision"),
                     tr("Make \"%1\" what revision %2 held? This is kept as a new revision; nothing is lost.")
                         .arg(name)
                         .arg(chosen.first()),
                     false, QString(), this);
    if (ask.exec() != QDialog::Accepted)
        return;
    try {
        const host::Revision r = host::restoreSet(m_store, name, chosen.first(), ask.reason());
        m_restored = true;
        reload();
        say(tr("Restored \"%1\" to revision %2: revision %3.").arg(name).arg(chosen.first()).arg(r.number), false);
    } catch (const Error &e) {
        say(e.description(), true);
        reload();
        showRefusal(this, e.description());
    }
}

void HistoryWindow::compareChosen()
{
    const QList<qint32> chosen = chosenNumbers();
    if (chosen.isEmpty() || chosen.size() > 2)
        return;
    try {
        const ComparedSet left = revisionOf(m_store, m_setId, chosen.first());
        ComparedSet right;
        if (chosen.size() == 2) {
            right = revisionOf(m_store, m_setId, chosen.last());
        } else {
            host::SetOverview now;
            now.setId = m_setId;
            now.name = m_list.first().name;
            now.deleted = m_list.first().action == host::RevisionAction::Deleted;
            right = currentSet(m_store, now);
            right.label = tr("%1 now").arg(right.label);
        }
        CompareWindow window(left, right, this);
        window.exec();
    } catch (const Error &e) {
        say(e.description(), true);
        showRefusal(this, e.description());
    }
}

} // namespace veltrane::app
