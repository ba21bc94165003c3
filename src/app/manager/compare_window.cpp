#include "app/manager/compare_window.h"

#include "app/history_commands.h"
#include "veltrane/contracts/error.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace veltrane::app {

QString counted(qsizetype n, const QString &one, const QString &many)
{
    return QStringLiteral("%1 %2").arg(n).arg(n == 1 ? one : many);
}

ComparedSet currentSet(host::SqlStore &store, const host::SetOverview &set)
{
    if (set.deleted)
        return ComparedSet{QObject::tr("%1 (deleted)").arg(set.name), host::setRevision(store, set.setId).settings};
    const AnalysisParameterPtr stored = store.parameterSet(0, set.name);
    if (!stored)
        throw Error(kStoreNotFound, QStringLiteral("veltrane"),
                    QObject::tr("No parameter set is named \"%1\" any more; the list is read again.").arg(set.name));
    return ComparedSet{stored->Name(), stored->FragAnalysisParam()};
}

ComparedSet revisionOf(host::SqlStore &store, qint32 setId, qint32 number)
{
    const host::SetSnapshot snapshot = host::setRevision(store, setId, number);
    return ComparedSet{QObject::tr("%1, revision %2").arg(snapshot.revision.name).arg(snapshot.revision.number),
                       snapshot.settings};
}

namespace {

enum Column { Field, Left, Right };

} // namespace

CompareWindow::CompareWindow(const ComparedSet &left, const ComparedSet &right, QWidget *parent)
    : QDialog(parent)
    , m_comparison(host::compareSets(*left.settings, *right.settings))
{
    setObjectName(QStringLiteral("CompareWindow"));
    setWindowTitle(tr("Compare Parameter Sets"));
    resize(820, 560);
    auto *layout = new QVBoxLayout(this);

    const qsizetype n = m_comparison.changedCount();
    m_summary = new QLabel(n == 0 ? tr("\"%1\" and \"%2\" are alike.").arg(left.label, right.label)
                                  : tr("\"%1\" and \"%2\": %3. %4")
                                        .arg(left.label, right.label, counted(n, tr("difference"), tr("differences")),
                                             m_comparison.summary()),
                           this);
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);

    m_differencesOnly = new QCheckBox(tr("&Differences only"), this);
    m_differencesOnly->setObjectName(QStringLiteral("chkDifferencesOnly"));
    m_differencesOnly->setChecked(n > 0);
    layout->addWidget(m_differencesOnly);

    auto *tableLabel = new QLabel(tr("&Fields:"), this);
    layout->addWidget(tableLabel);
    m_table = new QTableWidget(int(m_comparison.rows.size()), 3, this);
    m_table->setObjectName(QStringLiteral("tblComparison"));
    m_table->setAccessibleName(tr("Fields"));
    tableLabel->setBuddy(m_table);
    m_table->setHorizontalHeaderLabels({tr("Field"), left.label, right.label});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setTabKeyNavigation(false);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // A changed row stands out by colour and weight, and says so to a screen reader.
    QColor highlight = palette().color(QPalette::Highlight);
    highlight.setAlpha(70);
    QFont bold = m_table->font();
    bold.setBold(true);
    for (int row = 0; row < m_comparison.rows.size(); ++row) {
        const host::ComparedField &f = m_comparison.rows.at(row);
        const QString texts[] = {f.place(), f.inLeft ? f.left : absentValue(f.group),
                                 f.inRight ? f.right : absentValue(f.group)};
        for (int column = Field; column <= Right; ++column) {
            auto *item = new QTableWidgetItem(texts[column]);
            if (f.changed) {
                item->setBackground(highlight);
                item->setFont(bold);
                item->setData(Qt::AccessibleDescriptionRole, tr("differs"));
            }
            m_table->setItem(row, column, item);
        }
    }
    layout->addWidget(m_table, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("cmdClose"));
    buttons->button(QDialogButtonBox::Close)->setText(tr("&Close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(m_differencesOnly, &QCheckBox::toggled, this, &CompareWindow::showRows);
    showRows();
    m_table->setFocus();
}

void CompareWindow::showRows()
{
    const bool only = m_differencesOnly->isChecked();
    for (int row = 0; row < m_comparison.rows.size(); ++row)
        m_table->setRowHidden(row, only && !m_comparison.rows.at(row).changed);
}

QStringList CompareWindow::shownRows() const
{
    QStringList rows;
    for (int row = 0; row < m_table->rowCount(); ++row)
        if (!m_table->isRowHidden(row))
            rows << QStringLiteral("%1: %2 | %3")
                        .arg(m_table->item(row, Field)->text(), m_table->item(row, Left)->text(),
                             m_table->item(row, Right)->text());
    return rows;
}

} // namespace veltrane::app
