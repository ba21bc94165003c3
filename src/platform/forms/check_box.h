#pragma once

#include "platform/forms/form_control.h"

#include <QCheckBox>

namespace veltrane {

// Check box holding 0 (cleared), 1 (ticked) or 2 (greyed). Click is raised whenever the value
// changes, by the user or by code; setting the value it already has raises nothing.
class CheckBox : public QCheckBox, public FormControl
{
    Q_OBJECT
    Q_PROPERTY(int Value READ Value WRITE setValue)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    VELTRANE_FORM_CONTROL_PROPERTIES
public:
    explicit CheckBox(QWidget *parent = nullptr);
    explicit CheckBox(const QString &caption, QWidget *parent = nullptr);

    int Value() const;
    // 0, 1 or 2; any other value raises ControlError (380, invalid property value).
    void setValue(int value);

    QString Caption() const { return text(); }
    void setCaption(const QString &caption) { setText(caption); }

signals:
    void Click();

protected:
    void changeEvent(QEvent *event) override;
};

} // namespace veltrane
