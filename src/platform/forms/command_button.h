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
    VELTRANE_FORM_CONTROL_PROPERTIES
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
