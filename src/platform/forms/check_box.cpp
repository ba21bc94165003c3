#include "platform/forms/check_box.h"

#include "platform/runtime_errors.h"

namespace veltrane {

CheckBox::CheckBox(QWidget *parent)
    : CheckBox(QString(), parent)
{}

CheckBox::CheckBox(const QString &caption, QWidget *parent)
    : QCheckBox(caption, parent)
    , FormControl(this, buttonFaceScheme())
{
    connect(this, &QCheckBox::stateChanged, this, &CheckBox::Click);
}

int CheckBox::Value() const
{
    switch (checkState()) {
    case Qt::Unchecked:
        return 0;
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    }
    return 0;
}

void CheckBox::setValue(int value)
{
    switch (value) {
    case 0:
        setCheckState(Qt::Unchecked);
        break;
    case 1:
        setCheckState(Qt::Checked);
        break;
    case 2:
        setCheckState(Qt::PartiallyChecked); // makes the box tri-state
        break;
    default:
        throw ControlError(kInvalidPropertyValue, objectName());
    }
}

void CheckBox::changeEvent(QEvent *event)
{
    colorEvent(event);
    QCheckBox::changeEvent(event);
}

} // namespace veltrane
