#include "platform/forms/form_control.h"

#include "platform/forms/colors.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace veltrane {

FormControl::FormControl(QWidget *self, ColorScheme scheme)
    : m_self(self)
    , m_scheme(std::move(scheme))
    , m_backColor(m_scheme.defaultBack)
    , m_foreColor(m_scheme.defaultFore)
{}

bool FormControl::Enabled() const
{
    return !m_self->testAttribute(Qt::WA_ForceDisabled);
}

bool FormControl::Visible() const
{
    // A control without a parent counts as hidden only once it was hidden on purpose, not merely
    // because it was never shown.
    if (m_self->isWindow())
        return !(m_self->testAttribute(Qt::WA_WState_ExplicitShowHide) && m_self->testAttribute(Qt::WA_WState_Hidden));
    return !m_self->isHidden();
}

QString FormControl::ToolTipText() const
{
    return m_self->toolTip();
}

void FormControl::setBackColor(quint32 value)
{
    if (value == m_backColor)
        return;
    m_backColor = value;
    applyColors();
}

void FormControl::setForeColor(quint32 value)
{
    if (value == m_foreColor)
        return;
    m_foreColor = value;
    applyColors();
}

void FormControl::colorEvent(QEvent *event)
{
    // A system colour we resolved ourselves goes stale when the palette around the control changes
    // (theme switch, new application palette); our own setPalette() raises the same event.
    const QEvent::Type type = event->type();
    if ((type != QEvent::PaletteChange && type != QEvent::ApplicationPaletteChange) || m_applying)
        return;
    const bool backResolved = m_backColor != m_scheme.defaultBack && colors::isSystemColor(m_backColor);
    const bool foreResolved = m_foreColor != m_scheme.defaultFore && colors::isSystemColor(m_foreColor);
    if (backResolved || foreResolved)
        applyColors();
}

void FormControl::applyColors()
{
    // Only the roles whose colour differs from the control's default are set, so everything else
    // keeps following the palette the widget inherits. System colours are resolved against the
    // application's palette for this kind of widget, never against our own overrides.
    const QPalette base = QApplication::palette(m_self);
    QPalette palette;
    const auto setRoles = [&](const QList<QPalette::ColorRole> &roles, quint32 value, bool allGroups) {
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            // Disabled text keeps the style's greyed look; a background stays what the user chose.
            if (group == QPalette::Disabled && !allGroups)
                continue;
            for (const QPalette::ColorRole role : roles)
                palette.setColor(group, role, colors::toQColor(value, base, group));
        }
    };
    const bool customBack = m_backColor != m_scheme.defaultBack;
    if (customBack)
        setRoles(m_scheme.backRoles, m_backColor, true);
    if (m_foreColor != m_scheme.defaultFore)
        setRoles(m_scheme.foreRoles, m_foreColor, false);
    m_applying = true;
    m_self->setPalette(palette);
    m_applying = false;
    if (m_scheme.fillsBackground)
        m_self->setAutoFillBackground(customBack);
}

FormControl::ColorScheme FormControl::buttonFaceScheme(QList<QPalette::ColorRole> back, QList<QPalette::ColorRole> fore,
                                                       bool fillsBackground)
{
    return ColorScheme{std::move(back), std::move(fore), colors::kButtonFace, colors::kButtonText, fillsBackground};
}

FormControl::ColorScheme FormControl::windowScheme(QList<QPalette::ColorRole> back, QList<QPalette::ColorRole> fore)
{
    return ColorScheme{std::move(back), std::move(fore), colors::kWindowBackground, colors::kWindowText, false};
}

} // namespace veltrane
