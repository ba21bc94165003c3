#pragma once

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace veltrane::app {

// Asks before a change of a set: what is about to happen, a name where the change needs one (rename,
// undelete), and an optional reason, which the set's history keeps with the change.
class ReasonDialog : public QDialog
{
    Q_OBJECT
public:
    // With askName, the dialog asks for a name too, starting with name.
    ReasonDialog(const QString &title, const QString &question, bool askName, const QString &name,
                 QWidget *parent = nullptr);

    QString name() const;
    QString reason() const;

private:
    void judge();

    QLineEdit *m_name = nullptr;
    QLineEdit *m_reason;
    QDialogButtonBox *m_buttons;
};

} // namespace veltrane::app
