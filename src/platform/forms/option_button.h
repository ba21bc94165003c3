#pragma once

#include "platform/forms/form_control.h"

#include <QRadioButton>

namespace veltrane {

// Option button. The option buttons with the same parent widget form one group: selecting one
// clears the others. Click is raised when the button becomes selected, by the user or by code
// (selecting the one already selected raises nothing). Code may clear the selected button, which
// leaves the whole group unselected; the user cannot.
class OptionButton : public QRadioButton, public FormControl
{
    Q_OBJECT
    Q_PROPERTY(bool Value READ Value WRITE setValue)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    VELTRANE_FORM_CONTROL_PROPERTIES
public:
    explicit OptionButton(QWidget *parent = nullptr);
    explicit OptionButton(const QString &caption, QWidget *parent = nullptr);

    bool Value() const { return isChecked(); }
    void setValue(bool value);

    QString Caption() const { return text(); }
    void setCaption(const QString &caption) { setText(caption); }

signals:
    void Click();

protected:
    void changeEvent(QEvent *event) override;
};

} // namespace veltrane
