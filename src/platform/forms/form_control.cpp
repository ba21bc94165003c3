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

QColor FormControl::drawnText() const
{
    return m_self->palette().color(QPalette::Active, m_scheme.foreRoles.constFirst());
}

QColor FormControl::drawnBackground() const
{
    return m_self->palette().color(QPalette::Active, m_scheme.backRoles.constFirst());
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
    // (theme switch, new application palette), and so does a colour of ours drawn against one of the
    // palette's (text on a yellow field, red text on the window); our own setPalette() raises the
    // same event.
    const QEvent::Type type = event->type();
    if ((type != QEvent::PaletteChange && type != QEvent::ApplicationPaletteChange) || m_applying)
        return;
    if (m_backColor != m_scheme.defaultBack || m_foreColor != m_scheme.defaultFore)
        applyColors();
}

void FormControl::applyColors()
{
    // Only the roles whose colour differs from the control's default are set, so everything else
    // keeps following the palette the widget inherits. System colours are resolved against the
    // application's palette for this kind of widget, never against our own overrides.
    //
    // Whichever of the two colours is our own, the text is drawn so that it reads on the background
    // in any palette: a yellow field keeps dark text in a dark theme, red text stays a red that
    // reads. What the properties answer is still the colour that was set.
    const QPalette base = QApplication::palette(m_self);
    QPalette palette;
    const bool customBack = m_backColor != m_scheme.defaultBack;
    const bool customFore = m_foreColor != m_scheme.defaultFore;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QColor back = customBack ? colors::toQColor(m_backColor, base, group)
                                       : base.color(group, m_scheme.backRoles.constFirst());
        if (customBack)
            for (const QPalette::ColorRole role : m_scheme.backRoles)
                palette.setColor(group, role, back);
        // Disabled text keeps the style's greyed look unless it stands on a background of ours.
        if (!customBack && (!customFore || group == QPalette::Disabled))
            continue;
        const QColor fore = customFore && group != QPalette::Disabled
                                ? colors::toQColor(m_foreColor, base, group)
                                : base.color(group, m_scheme.foreRoles.constFirst());
        const bool keepHue = group == QPalette::Disabled || (customFore && colors::keepsHue(m_foreColor));
        const QColor drawn = colors::readableOn(fore, back, keepHue);
        for (const QPalette::ColorRole role : m_scheme.foreRoles)
            palette.setColor(group, role, drawn);
    }
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
