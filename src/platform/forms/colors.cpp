#include "platform/forms/colors.h"

#include <QApplication>

namespace veltrane::colors {

namespace {

QPalette::ColorRole roleFor(quint32 index, QPalette::ColorGroup &group)
{
    group = QPalette::Active;
    switch (index) {
    case 0x05: // window background
        return QPalette::Base;
    case 0x08: // window text
        return QPalette::Text;
    case 0x0D:
        return QPalette::Highlight;
    case 0x0E:
        return QPalette::HighlightedText;
    case 0x0F: // button face
        return QPalette::Button;
    case 0x11: // grey text
        group = QPalette::Disabled;
        return QPalette::Text;
    case 0x12:
        return QPalette::ButtonText;
    case 0x18: // tool tip background
        return QPalette::ToolTipBase;
    case 0x17:
        return QPalette::ToolTipText;
    default:
        return QPalette::Window;
    }
}

} // namespace

QColor toQColor(quint32 value, const QPalette &palette, QPalette::ColorGroup group)
{
    if (isSystemColor(value)) {
        QPalette::ColorGroup fixedGroup;
        const QPalette::ColorRole role = roleFor(value & 0xFFu, fixedGroup);
        // Grey text is the disabled text colour whatever state it is drawn in.
        return palette.color(fixedGroup == QPalette::Disabled ? fixedGroup : group, role);
    }
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

QColor toQColor(quint32 value, const QPalette &palette)
{
    return toQColor(value, palette, QPalette::Active);
}

QColor toQColor(quint32 value)
{
    return toQColor(value, QApplication::palette());
}

quint32 fromQColor(const QColor &color)
{
    return quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16);
}

} // namespace veltrane::colors
