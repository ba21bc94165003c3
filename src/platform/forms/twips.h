#pragma once

class QWidget;

namespace veltrane::twips {

// Sizes and positions of controls are given in twips (1440 to the inch).
constexpr int kPerInch = 1440;

// Pixels for a length in twips on the widget's screen (the primary screen when none).
int toPixels(int twips, const QWidget *widget = nullptr);
int fromPixels(int pixels, const QWidget *widget = nullptr);

} // namespace veltrane::twips
