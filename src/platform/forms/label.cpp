#include "platform/forms/label.h"

namespace veltrane {

Label::Label(QWidget *parent)
    : Label(QString(), parent)
{}

Label::Label(const QString &caption, QWidget *parent)
    : QLabel(parent)
    , FormControl(this, buttonFaceScheme())
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setText(caption);
}

void Label::changeEvent(QEvent *event)
{
    colorEvent(event);
    QLabel::changeEvent(event);
}

} // namespace veltrane
