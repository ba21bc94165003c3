#include "app/manager/reason_dialog.h"

#include "host/objects/set_history.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace veltrane::app {

ReasonDialog::ReasonDialog(const QString &title, const QString &question, bool askName, const QString &name,
                           QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ReasonDialog"));
    setWindowTitle(title);
    auto *layout = new QVBoxLayout(this);
    auto *text = new QLabel(question, this);
    text->setObjectName(QStringLiteral("lblQuestion"));
    text->setWordWrap(true);
    layout->addWidget(text);

    auto *form = new QFormLayout;
    if (askName) {
        m_name = new QLineEdit(name, this);
        m_name->setObjectName(QStringLiteral("txtName"));
        m_name->selectAll();
        auto *label = new QLabel(tr("&Name:"), this);
        label->setBuddy(m_name);
        form->addRow(label, m_name);
        connect(m_name, &QLineEdit::textChanged, this, &ReasonDialog::judge);
    }
    m_reason = new QLineEdit(this);
    m_reason->setObjectName(QStringLiteral("txtReason"));
    m_reason->setMaxLength(int(host::kMaxReasonLength));
    m_reason->setPlaceholderText(tr("optional; kept in the set's history"));
    auto *reasonLabel = new QLabel(tr("&Reason:"), this);
    reasonLabel->setBuddy(m_reason);
    form->addRow(reasonLabel, m_reason);
    layout->addLayout(form);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOk"));
    m_buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(m_buttons);
    if (m_name)
        m_name->setFocus();
    else
        m_reason->setFocus();
    judge();
}

QString ReasonDialog::name() const
{
    return m_name ? m_name->text() : QString();
}

QString ReasonDialog::reason() const
{
    return m_reason->text().trimmed();
}

// A name is needed where one is asked for; the store judges the rest and says what is wrong.
void ReasonDialog::judge()
{
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!m_name || !m_name->text().trimmed().isEmpty());
}

} // namespace veltrane::app
