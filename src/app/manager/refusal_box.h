#pragma once

#include <QString>

class QWidget;

namespace veltrane::app {

// Tells the user why an action was not done, in a warning box over parent: a screen reader reads it out
// as it comes up, and Enter, Escape or Alt+O closes it. The box is "msgRefused", its button "cmdOk".
void showRefusal(QWidget *parent, const QString &why);

} // namespace veltrane::app
