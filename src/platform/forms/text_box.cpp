#include "platform/forms/text_box.h"

#include <QKeyEvent>
#include <QValidator>

namespace veltrane {

// Refuses user edits (typing, pasting, dropping) that would make the text longer than the maximum.
// Text set by code is not validated by QLineEdit, so it is never cut.
class TextBox::LengthValidator : public QValidator
{
public:
    explicit LengthValidator(QObject *parent)
        : QValidator(parent)
    {}
    int maximum = 0;
    State validate(QString &input, int &) const override
    {
        return maximum > 0 && input.length() > maximum ? Invalid : Acceptable;
    }
};

namespace {

bool raisesFocusEvents(Qt::FocusReason reason)
{
    // A pop-up (the field's context menu, a drop-down) or another window taking the keyboard does
    // not move the focus away from the field inside its window.
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}

} // namespace

TextBox::TextBox(QWidget *parent)
    : QLineEdit(parent)
    , FormControl(this, windowScheme())
    , m_validator(new LengthValidator(this))
{
    setValidator(m_validator);
    connect(this, &QLineEdit::textChanged, this, &TextBox::Change);
}

TextBox::~TextBox() = default;

void TextBox::setText(const QString &text)
{
    QLineEdit::setText(text);
    setCursorPosition(0);
}

void TextBox::setMaxLength(int length)
{
    m_maxLength = qMax(0, length);
    m_validator->maximum = m_maxLength;
}

int TextBox::SelStart() const
{
    return hasSelectedText() ? selectionStart() : cursorPosition();
}

void TextBox::setSelStart(int start)
{
    setCursorPosition(qBound(0, start, int(text().length())));
}

int TextBox::SelLength() const
{
    return int(selectedText().length());
}

void TextBox::setSelLength(int length)
{
    const int start = SelStart();
    const int clamped = qBound(0, length, int(text().length()) - start);
    if (clamped == 0)
        setCursorPosition(start);
    else
        setSelection(start, clamped);
}

int TextBox::characterCode(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    const int key = event->key();
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return -1;
    case Qt::Key_Backspace:
        if (mods == Qt::NoModifier)
            return 8;
        return mods == Qt::ControlModifier ? 127 : -1;
    default:
        break;
    }
    // Alt and Meta count for nothing here: an access key or shortcut that matched never reaches the
    // field, and a key that did reach it with text would be typed, so it passes the filter too.
    if (mods == Qt::ControlModifier) {
        // Ctrl+letter types the control code of that letter (Ctrl+C 3, Ctrl+V 22, Ctrl+X 24).
        if (key >= Qt::Key_A && key <= Qt::Key_Z)
            return key - Qt::Key_A + 1;
        return -1;
    }
    const QString text = event->text();
    if (text.isEmpty())
        return -1;
    const char16_t c = text.at(0).unicode();
    if (c < 32 || c == 127)
        return -1;
    return c;
}

bool TextBox::roomFor(int characters) const
{
    if (m_maxLength <= 0)
        return true;
    return text().length() - selectedText().length() + characters <= m_maxLength;
}

void TextBox::typeCharacter(int code)
{
    // A handler replaced the typed character with another one.
    if (code == 8) {
        backspace();
    } else if (code >= 32 && roomFor(1)) {
        insert(QString(QChar(char16_t(code))));
    }
}

void TextBox::keyPressEvent(QKeyEvent *event)
{
    const int code = isReadOnly() ? -1 : characterCode(event);
    if (code < 0) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    // An input method may deliver several characters in one event; each passes the filter.
    const QString typed = event->text();
    if (code >= 32 && typed.length() > 1) {
        QString accepted;
        for (const QChar ch : typed) {
            qint16 keyAscii = qint16(ch.unicode());
            emit KeyPress(keyAscii);
            if (keyAscii != 0)
                accepted += QChar(char16_t(quint16(keyAscii)));
        }
        if (!accepted.isEmpty() && roomFor(int(accepted.length())))
            insert(accepted);
        event->accept();
        return;
    }

    const qint16 original = qint16(code);
    qint16 keyAscii = original;
    emit KeyPress(keyAscii);
    event->accept();
    if (keyAscii == 0)
        return;
    if (keyAscii != original) {
        typeCharacter(quint16(keyAscii));
        return;
    }
    if (code >= 32 && !roomFor(1))
        return;
    QLineEdit::keyPressEvent(event);
}

void TextBox::focusInEvent(QFocusEvent *event)
{
    // Tabbing in selects the whole text (QLineEdit's habit), so the handlers that select the text
    // on GotFocus from SelStart find it selected from the start, wherever the caret was left.
    QLineEdit::focusInEvent(event);
    if (raisesFocusEvents(event->reason()))
        emit GotFocus();
}

void TextBox::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (raisesFocusEvents(event->reason()))
        emit LostFocus();
}

void TextBox::changeEvent(QEvent *event)
{
    colorEvent(event);
    QLineEdit::changeEvent(event);
}

} // namespace veltrane
