#include "platform/forms/mouse_pointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace veltrane {

namespace {

int g_value = MousePointer::Default;
bool g_overriding = false; // whether we pushed an override cursor that is still on the stack

Qt::CursorShape cursorShape(int shape)
{
    switch (shape) {
    case MousePointer::Cross:
        return Qt::CrossCursor;
    case MousePointer::IBeam:
        return Qt::IBeamCursor;
    case MousePointer::SizeNESW:
        return Qt::SizeBDiagCursor;
    case MousePointer::SizeNS:
        return Qt::SizeVerCursor;
    case MousePointer::SizeNWSE:
        return Qt::SizeFDiagCursor;
    case MousePointer::SizeWE:
        return Qt::SizeHorCursor;
    case MousePointer::UpArrow:
        return Qt::UpArrowCursor;
    case MousePointer::Hourglass:
        return Qt::WaitCursor;
    case MousePointer::NoDrop:
        return Qt::ForbiddenCursor;
    case MousePointer::ArrowHourglass:
        return Qt::BusyCursor;
    case MousePointer::ArrowQuestion:
        return Qt::WhatsThisCursor;
    case MousePointer::SizeAll:
        return Qt::SizeAllCursor;
    default:
        return Qt::ArrowCursor;
    }
}

} // namespace

int MousePointer::value()
{
    return g_value;
}

void MousePointer::setValue(int shape)
{
    g_value = shape;
    if (!qGuiApp)
        return;
    if (shape == Default) {
        if (g_overriding)
            QGuiApplication::restoreOverrideCursor();
        g_overriding = false;
    } else if (g_overriding) {
        QGuiApplication::changeOverrideCursor(QCursor(cursorShape(shape)));
    } else {
        QGuiApplication::setOverrideCursor(QCursor(cursorShape(shape)));
        g_overriding = true;
    }
}

HourglassPointer::HourglassPointer()
    : m_remembered(MousePointer::value())
{
    MousePointer::setValue(MousePointer::Hourglass);
}

HourglassPointer::~HourglassPointer()
{
    MousePointer::setValue(m_remembered);
}

} // namespace veltrane
