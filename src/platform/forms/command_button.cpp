#include "platform/forms/command_button.h"

namespace veltrane {

CommandButton::CommandButton(QWidget *parent)
    : CommandButton(QString(), parent)
{}

CommandButton::CommandButton(const QString &caption, QWidget *parent)
    : QPushButton(caption, parent)
    , FormControl(this, buttonFaceScheme({QPalette::Button}, {QPalette::ButtonText}, false))
{
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, &CommandButton::Click);
}

void CommandButton::changeEvent(QEvent *event)
{
    colorEvent(event);
    QPushButton::changeEvent(event);
}

} // namespace veltrane
