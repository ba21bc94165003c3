#pragma once

#include "platform/forms/form_control.h"

#include <QLineEdit>

namespace veltrane {

// Single-line text box.
//
// Events as the pages expect them: Change on every change of the text, typed or set by code (not
// when the same text is set again); KeyPress for each *typed* character before it reaches the field,
// with its character code (backspace 8, control keys as their control codes, e.g. Ctrl+V 22), which
// the handler may set to 0 to discard it or replace by another code; text that is pasted or set is
// not filtered. Return, Enter, Escape and Tab are dialog keys and raise no KeyPress. GotFocus and
// LostFocus follow the focus within the window; a context menu or a switch to another window does
// not count as leaving the field.
class TextBox : public QLineEdit, public FormControl
{
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE setText)
    Q_PROPERTY(int MaxLength READ MaxLength WRITE setMaxLength)
    Q_PROPERTY(int SelStart READ SelStart WRITE setSelStart)
    Q_PROPERTY(int SelLength READ SelLength WRITE setSelLength)
    Q_PROPERTY(QString SelText READ SelText)
    Q_PROPERTY(bool Locked READ isReadOnly WRITE setReadOnly)
    VELTRANE_FORM_CONTROL_PROPERTIES
public:
    explicit TextBox(QWidget *parent = nullptr);
    ~TextBox() override;

    QString Text() const { return text(); }
    // Like the platform's text box, setting the text leaves the caret at the start, so that a
    // following SelLength selects from the first character.
    void setText(const QString &text);

    // The longest text the user can type or paste; 0 means no limit. Text set by code is never cut.
    // (Hides QLineEdit::setMaxLength, which would cut text set by code.)
    int MaxLength() const { return m_maxLength; }
    void setMaxLength(int length);

    int SelStart() const;
    void setSelStart(int start); // moves the caret, nothing selected
    int SelLength() const;
    void setSelLength(int length); // selects from SelStart
    QString SelText() const { return selectedText(); }

    // The character code a key event types, as KeyPress reports it, or -1 when the key types none.
    static int characterCode(const QKeyEvent *event);

signals:
    void Change();
    void KeyPress(qint16 &keyAscii);
    void GotFocus();
    void LostFocus();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    bool roomFor(int characters) const;
    void typeCharacter(int code);

    int m_maxLength = 0;
    class LengthValidator;
    LengthValidator *m_validator;
};

} // namespace veltrane
