#include "platform/forms/option_button.h"

namespace veltrane {

OptionButton::OptionButton(QWidget *parent)
    : OptionButton(QString(), parent)
{}

OptionButton::OptionButton(const QString &caption, QWidget *parent)
    : QRadioButton(caption, parent)
    , FormControl(this, buttonFaceScheme())
{
    connect(this, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            emit Click();
    });
}

void OptionButton::setValue(bool value)
{
    if (value || !isChecked()) {
        setChecked(value);
        return;
    }
    // An exclusive group refuses to clear its selected button; the group is left without one.
    setAutoExclusive(false);
    setChecked(false);
    setAutoExclusive(true);
}

void OptionButton::changeEvent(QEvent *event)
{
    colorEvent(event);
    QRadioButton::changeEvent(event);
}

} // namespace veltrane
