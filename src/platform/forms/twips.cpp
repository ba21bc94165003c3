#include "platform/forms/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace veltrane::twips {

static double dpi(const QWidget *widget)
{
    if (widget)
        return widget->logicalDpiY();
    if (QScreen *s = QGuiApplication::primaryScreen())
        return s->logicalDotsPerInchY();
    return 96.0;
}

int toPixels(int twips, const QWidget *widget)
{
    return int(std::lround(twips * dpi(widget) / kPerInch));
}

int fromPixels(int pixels, const QWidget *widget)
{
    return int(std::lround(pixels * kPerInch / dpi(widget)));
}

} // namespace veltrane::twips
