#include "platform/forms/up_down.h"

#include "platform/forms/text_box.h"

#include <QKeyEvent>
#include <QLocale>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

namespace veltrane {

namespace {

QToolButton *makeButton(QWidget *parent, Qt::ArrowType arrow, const char *name)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    // The two halves share the height of the field beside them, however small.
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
    button->setFixedWidth(16);
    return button;
}

} // namespace

UpDown::UpDown(QWidget *parent)
    : QWidget(parent)
    , FormControl(this, buttonFaceScheme({QPalette::Button}, {QPalette::ButtonText}, false))
    , m_up(makeButton(this, Qt::UpArrow, "up"))
    , m_down(makeButton(this, Qt::DownArrow, "down"))
{
    // The arrows mean nothing read aloud; the field beside them gives the context.
    m_up->setAccessibleName(QStringLiteral("Increase"));
    m_down->setAccessibleName(QStringLiteral("Decrease"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_up, &QToolButton::clicked, this, &UpDown::stepUp);
    connect(m_down, &QToolButton::clicked, this, &UpDown::stepDown);
}

UpDown::UpDown(TextBox *buddy, int min, int max, int increment, QWidget *parent)
    : UpDown(parent)
{
    setRange(min, max);
    setIncrement(increment);
    setBuddy(buddy);
}

UpDown::~UpDown()
{
    if (m_buddy)
        m_buddy->removeEventFilter(this);
}

void UpDown::setBuddy(TextBox *buddy)
{
    if (m_buddy)
        m_buddy->removeEventFilter(this);
    m_buddy = buddy;
    if (m_buddy)
        m_buddy->installEventFilter(this);
}

QSize UpDown::sizeHint() const
{
    const QSize own = QWidget::sizeHint();
    return m_buddy ? QSize(own.width(), m_buddy->sizeHint().height()) : own;
}

void UpDown::setMin(int min)
{
    setRange(min, m_max);
}

void UpDown::setMax(int max)
{
    setRange(m_min, max);
}

void UpDown::setRange(int min, int max)
{
    m_min = min;
    m_max = max;
    m_value = bounded(m_value);
}

int UpDown::bounded(int value) const
{
    return qBound(qMin(m_min, m_max), value, qMax(m_min, m_max));
}

void UpDown::setValue(int value)
{
    moveTo(bounded(value));
}

void UpDown::moveTo(int value)
{
    const bool changed = value != m_value;
    m_value = value;
    if (m_buddy)
        m_buddy->setText(QString::number(value)); // raises the buddy's Change when the text differs
    if (changed)
        emit Change();
}

void UpDown::stepUp()
{
    step(+1);
    emit UpClick();
}

void UpDown::stepDown()
{
    step(-1);
    emit DownClick();
}

void UpDown::step(int direction)
{
    if (!isEnabled())
        return;
    long long start = m_value;
    if (m_buddy) {
        bool ok = false;
        const double number = QLocale::c().toDouble(m_buddy->text().trimmed(), &ok);
        if (ok && std::isfinite(number)) {
            const double whole = std::nearbyint(number); // half to even
            start = qBound<double>(std::numeric_limits<int>::min(), whole, std::numeric_limits<int>::max());
        }
    }
    const long long low = qMin(m_min, m_max);
    const long long high = qMax(m_min, m_max);
    long long next = start + direction * static_cast<long long>(m_increment);
    if (m_wrap && (next > high || next < low))
        next = next > high ? low : high;
    moveTo(int(qBound(low, next, high)));
}

bool UpDown::eventFilter(QObject *watched, QEvent *event)
{
    // The type first: a buddy being destroyed still sends events, and is no longer a text box then.
    if (event->type() == QEvent::KeyPress && watched == m_buddy && isEnabled()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            if (key->key() == Qt::Key_Up) {
                stepUp();
                return true;
            }
            if (key->key() == Qt::Key_Down) {
                stepDown();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDown::changeEvent(QEvent *event)
{
    colorEvent(event);
    QWidget::changeEvent(event);
}

} // namespace veltrane
