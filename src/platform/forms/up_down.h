#pragma once

#include "platform/forms/form_control.h"

#include <QPointer>
#include <QWidget>

class QToolButton;

namespace veltrane {

class TextBox;

// Spin buttons bound to a buddy text box. A step reads the whole number in the buddy's text (half
// to even; the control's own Value when the text is no number), adds or subtracts Increment, keeps
// the result within Min..Max (or wraps around when Wrap is set) and writes it back as the buddy's
// text, which raises the buddy's Change when the text differs. The up and down arrow keys in the
// buddy step as well. The buttons never take the focus, so the buddy keeps it.
class UpDown : public QWidget, public FormControl
{
    Q_OBJECT
    Q_PROPERTY(int Min READ Min WRITE setMin)
    Q_PROPERTY(int Max READ Max WRITE setMax)
    Q_PROPERTY(int Increment READ Increment WRITE setIncrement)
    Q_PROPERTY(int Value READ Value WRITE setValue)
    Q_PROPERTY(bool Wrap READ Wrap WRITE setWrap)
    VELTRANE_FORM_CONTROL_PROPERTIES
public:
    explicit UpDown(QWidget *parent = nullptr);
    UpDown(TextBox *buddy, int min, int max, int increment, QWidget *parent = nullptr);
    ~UpDown() override;

    TextBox *buddy() const { return m_buddy; }
    void setBuddy(TextBox *buddy);

    int Min() const { return m_min; }
    void setMin(int min);
    int Max() const { return m_max; }
    void setMax(int max);
    void setRange(int min, int max);
    int Increment() const { return m_increment; }
    void setIncrement(int increment) { m_increment = qMax(1, increment); }
    bool Wrap() const { return m_wrap; }
    void setWrap(bool wrap) { m_wrap = wrap; }

    // The position of the control; setting it (kept within range) also writes the buddy's text.
    int Value() const { return m_value; }
    void setValue(int value);

    // What a click on the upper or lower button does.
    Q_INVOKABLE void stepUp();
    Q_INVOKABLE void stepDown();

    QToolButton *upButton() const { return m_up; }
    QToolButton *downButton() const { return m_down; }

    // As tall as the buddy beside it, so the two line up whatever the row around them does.
    QSize sizeHint() const override;

signals:
    void Change();
    void UpClick();
    void DownClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void step(int direction);
    int bounded(int value) const;
    void moveTo(int value);

    QPointer<TextBox> m_buddy;
    QToolButton *m_up;
    QToolButton *m_down;
    int m_min = 0;
    int m_max = 10;
    int m_increment = 1;
    int m_value = 0;
    bool m_wrap = false;
};

} // namespace veltrane
