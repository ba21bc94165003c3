#include "platform/forms/colors.h"

#include <QApplication>
#include <algorithm>
#include <cmath>

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

namespace {

double luminance(const QColor &color)
{
    const auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    const QColor rgb = color.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

QColor mixed(const QColor &from, const QColor &to, double share)
{
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * share),
                            float(a.greenF() + (b.greenF() - a.greenF()) * share),
                            float(a.blueF() + (b.blueF() - a.blueF()) * share));
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor &text, const QColor &background, bool keepHue)
{
    if (contrastRatio(text, background) >= kReadableContrast)
        return text;
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    const QColor end = contrastRatio(black, background) >= contrastRatio(white, background) ? black : white;
    if (!keepHue)
        return end;
    // The contrast grows steadily on the way to the end colour: halve the interval to the least
    // share of it that reads, then round up to whole colour steps so the result still reads.
    double low = 0;
    double high = 1;
    for (int step = 0; step < 24; ++step) {
        const double middle = (low + high) / 2;
        (contrastRatio(mixed(text, end, middle), background) >= kReadableContrast ? high : low) = middle;
    }
    QColor result = mixed(text, end, high);
    for (int step = 0; step < 8 && contrastRatio(result, background) < kReadableContrast; ++step)
        result = mixed(result, end, 0.02);
    return contrastRatio(result, background) >= kReadableContrast ? result : end;
}

bool keepsHue(quint32 value)
{
    return isSystemColor(value) || toQColor(value, QPalette()).hsvSaturation() > 0;
}

QPalette darkPalette()
{
    const QColor window(53, 53, 53);
    const QColor base(35, 35, 35);
    const QColor text(240, 240, 240);
    const QColor disabledText(127, 127, 127);
    const QColor highlight(28, 95, 168); // white text on it still reads
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, QColor(25, 25, 25));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabledText);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(255, 80, 80));
    p.setColor(QPalette::Light, QColor(90, 90, 90));
    p.setColor(QPalette::Midlight, QColor(70, 70, 70));
    p.setColor(QPalette::Mid, QColor(45, 45, 45));
    p.setColor(QPalette::Dark, QColor(30, 30, 30));
    p.setColor(QPalette::Shadow, QColor(10, 10, 10));
    p.setColor(QPalette::Link, QColor(100, 170, 240));
    p.setColor(QPalette::LinkVisited, QColor(170, 140, 240));
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabledText);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(80, 80, 80));
    p.setColor(QPalette::Disabled, QPalette::HighlightedText, disabledText);
    return p;
}

} // namespace veltrane::colors
