#pragma once

#include "platform/forms/form_control.h"

#include <QPushButton>

namespace veltrane {

// Push button raising Click. It never becomes a dialog's default button by taking the focus, so
// Return in a text box of a page does not press a page's button.
class CommandButton : public QPushButton, public FormControl
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)
    Q_PROPERTY(bool Visible READ Visible WRITE setVisible)
    Q_PROPERTY(quint32 BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(quint32 ForeColor READ ForeColor WRITE setForeColor)
    Q_PROPERTY(QString ToolTipText READ ToolTipText WRITE setToolTip)
public:
    explicit CommandButton(QWidget *parent = nullptr);
    explicit CommandButton(const QString &caption, QWidget *parent = nullptr);

    QString Caption() const { return text(); }
    void setCaption(const QString &caption) { setText(caption); }

signals:
    void Click();

protected:
    void changeEvent(QEvent *event) override;
};

} // namespace veltrane
