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

// How well text in one colour reads on the other: the ratio of their relative luminances as the web's
// accessibility guidelines (WCAG 2) define it, from 1 (no contrast) to 21 (black on white).
double contrastRatio(const QColor &a, const QColor &b);
// The least ratio at which normal text reads well (WCAG AA).
constexpr double kReadableContrast = 4.5;

// A colour to draw text in on the background so that it reads (kReadableContrast at least): the text
// colour itself when it reads already. Otherwise, when keepHue, the colour moved just far enough
// towards black or white, whichever reads on the background, so that red stays a red and grey a
// grey; without keepHue, black or white, whichever reads better.
QColor readableOn(const QColor &text, const QColor &background, bool keepHue);
// Whether text set in this colour keeps its look when it is made readable: a colour (red stays a red)
// and a system colour (grey text stays grey); plain black, white and greys turn into whichever of
// black and white reads.
bool keepsHue(quint32 value);

// Fusion's palette in dark colours, as a dark desktop theme gives it.
QPalette darkPalette();

} // namespace veltrane::colors
