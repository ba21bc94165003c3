#include "platform/forms/frame.h"

#include <QStyleOptionGroupBox>
#include <QStylePainter>

namespace veltrane {

Frame::Frame(QWidget *parent)
    : Frame(QString(), parent)
{}

Frame::Frame(const QString &caption, QWidget *parent)
    : QGroupBox(caption, parent)
    , FormControl(this, buttonFaceScheme())
{}

void Frame::setBorderStyle(int style)
{
    m_borderStyle = style == 0 ? 0 : 1;
    update();
}

void Frame::paintEvent(QPaintEvent *event)
{
    if (m_borderStyle != 0) {
        QGroupBox::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    option.subControls &= ~QStyle::SC_GroupBoxFrame;
    if (title().isEmpty())
        option.subControls &= ~QStyle::SC_GroupBoxLabel;
    painter.drawComplexControl(QStyle::CC_GroupBox, option);
}

void Frame::changeEvent(QEvent *event)
{
    colorEvent(event);
    QGroupBox::changeEvent(event);
}

} // namespace veltrane
