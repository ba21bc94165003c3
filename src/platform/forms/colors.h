#pragma once

#include <QColor>
#include <QPalette>

namespace veltrane::colors {

// Colours are 32-bit values: 0x00BBGGRR for plain colours, 0x800000NN for the system colour NN.
constexpr quint32 kBlack = 0x000000;
constexpr quint32 kRed = 0x0000FF;    // 255
constexpr quint32 kYellow = 0x00FFFF; // 65535
constexpr quint32 kWhite = 0xFFFFFF;
constexpr quint32 kWindowText = 0x80000008;
constexpr quint32 kWindowBackground = 0x80000005;
constexpr quint32 kButtonFace = 0x8000000F;
constexpr quint32 kGrayText = 0x80000011;
constexpr quint32 kButtonText = 0x80000012;
constexpr quint32 kHighlight = 0x8000000D;
constexpr quint32 kHighlightText = 0x8000000E;

constexpr bool isSystemColor(quint32 value)
{
    return (value & 0xFF000000u) == 0x80000000u;
}

// The colour a value stands for now; system colours follow the palette. The group is the state
// the colour is drawn in (a system colour may name a fixed group, as grey text does).
QColor toQColor(quint32 value, const QPalette &palette, QPalette::ColorGroup group);
QColor toQColor(quint32 value, const QPalette &palette);
QColor toQColor(quint32 value);

// The plain 32-bit value of a colour (never a system colour).
quint32 fromQColor(const QColor &color);

} // namespace veltrane::colors
