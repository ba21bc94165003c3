#pragma once

#include <QList>
#include <QPalette>
#include <QString>

class QEvent;
class QWidget;

// The automation properties every control shares, read and written by name. Put it in the class
// body of a control that derives from FormControl (moc expands it like any Q_PROPERTY).
#define VELTRANE_FORM_CONTROL_PROPERTIES                                                                               \
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)                                                             \
    Q_PROPERTY(bool Visible READ Visible WRITE setVisible)                                                             \
    Q_PROPERTY(quint32 BackColor READ BackColor WRITE setBackColor)                                                    \
    Q_PROPERTY(quint32 ForeColor READ ForeColor WRITE setForeColor)                                                    \
    Q_PROPERTY(QString ToolTipText READ ToolTipText WRITE setToolTip)

namespace veltrane {

// What every form control answers by name, besides its own properties: its own Enabled and Visible
// flags, its colours as 32-bit values and its tool tip. Each control class inherits this next to its
// Qt widget and declares the Q_PROPERTYs that point here (moc cannot see through a base class).
class FormControl
{
public:
    // The control's own flags: a control on a hidden tab or in a disabled frame still answers true
    // unless it was itself hidden or disabled.
    bool Enabled() const;
    bool Visible() const;

    // Colours are read back exactly as they were set (system colours stay 0x800000NN); what is
    // drawn follows the palette for system colours.
    quint32 BackColor() const { return m_backColor; }
    void setBackColor(quint32 value);
    quint32 ForeColor() const { return m_foreColor; }
    void setForeColor(quint32 value);

    QString ToolTipText() const;

    // The colours the control draws its text and its background in now (while active): what the
    // colour values above come to in the current palette, the text made readable on the background.
    QColor drawnText() const;
    QColor drawnBackground() const;

protected:
    // Which palette roles the control paints its background and text with, and its colours as
    // created. A control whose colours are its defaults takes the palette as it is.
    struct ColorScheme
    {
        QList<QPalette::ColorRole> backRoles;
        QList<QPalette::ColorRole> foreRoles;
        quint32 defaultBack;
        quint32 defaultFore;
        bool fillsBackground; // controls drawn on their parent's background must fill it themselves
    };

    FormControl(QWidget *self, ColorScheme scheme);
    ~FormControl() = default;
    FormControl(const FormControl &) = delete;
    FormControl &operator=(const FormControl &) = delete;

    // Call from changeEvent(): re-resolves system colours when the surrounding palette changes.
    void colorEvent(QEvent *event);

    // Control and text box defaults.
    static ColorScheme buttonFaceScheme(QList<QPalette::ColorRole> back = {QPalette::Window},
                                        QList<QPalette::ColorRole> fore = {QPalette::WindowText},
                                        bool fillsBackground = true);
    static ColorScheme windowScheme(QList<QPalette::ColorRole> back = {QPalette::Base},
                                    QList<QPalette::ColorRole> fore = {QPalette::Text});

private:
    void applyColors();

    QWidget *m_self;
    ColorScheme m_scheme;
    quint32 m_backColor;
    quint32 m_foreColor;
    bool m_applying = false;
};

} // namespace veltrane
