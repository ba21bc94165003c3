#include "platform/forms/combo_box.h"

#include "platform/runtime_errors.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QtMath>
#include <algorithm>

namespace veltrane {

ComboBox::ComboBox(QWidget *parent)
    : QComboBox(parent)
    , FormControl(this, windowScheme({QPalette::Base, QPalette::Button}, {QPalette::Text, QPalette::ButtonText}))
{
    setEditable(false);
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_byCode)
            emit Click();
    });
}

void ComboBox::setFitsContents(bool on)
{
    if (on && !m_fitsContents) {
        // Lists that do not fit their contents hear nothing of their entries' changes.
        QAbstractItemModel *entries = model();
        connect(entries, &QAbstractItemModel::rowsInserted, this, &ComboBox::contentsChanged, Qt::UniqueConnection);
        connect(entries, &QAbstractItemModel::rowsRemoved, this, &ComboBox::contentsChanged, Qt::UniqueConnection);
        connect(entries, &QAbstractItemModel::modelReset, this, &ComboBox::contentsChanged, Qt::UniqueConnection);
        connect(entries, &QAbstractItemModel::dataChanged, this, &ComboBox::contentsChanged, Qt::UniqueConnection);
    }
    m_fitsContents = on;
    m_fittingHint = QSize();
    updateGeometry();
}

void ComboBox::contentsChanged()
{
    if (!m_fitsContents)
        return;
    m_fittingHint = QSize();
    updateGeometry();
}

// As QComboBox measures its entries for AdjustToContents: the widest entry's text (seven x wide when
// there is none), a line's height, and the frame and arrow the style adds.
QSize ComboBox::sizeHint() const
{
    if (!m_fitsContents)
        return QComboBox::sizeHint();
    if (!m_fittingHint.isValid()) {
        const QFontMetrics metrics = fontMetrics();
        int width = count() == 0 ? 7 * metrics.horizontalAdvance(QLatin1Char('x')) : 0;
        for (int i = 0; i < count(); ++i)
            width = std::max(width, metrics.boundingRect(itemText(i)).width());
        const QSize text(width, std::max(qCeil(QFontMetricsF(metrics).height()), 14) + 2);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        m_fittingHint = style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, this);
    }
    return m_fittingHint;
}

void ComboBox::AddItem(const QString &text)
{
    const QScopedValueRollback guard(m_byCode, true);
    const int before = currentIndex();
    addItem(text); // item data reads 0 until set
    // QComboBox selects the first entry added to an empty list; a drop-down list starts unselected.
    if (before < 0 && currentIndex() >= 0)
        setCurrentIndex(-1);
    m_newIndex = count() - 1;
}

void ComboBox::RemoveItem(int index)
{
    checkIndex(index);
    const QScopedValueRollback guard(m_byCode, true);
    const bool wasSelected = index == currentIndex();
    removeItem(index);
    if (wasSelected)
        setCurrentIndex(-1);
    m_newIndex = -1;
}

void ComboBox::Clear()
{
    const QScopedValueRollback guard(m_byCode, true);
    clear();
    m_newIndex = -1;
}

QString ComboBox::List(int index) const
{
    return itemText(index);
}

void ComboBox::checkIndex(int index) const
{
    if (index < 0 || index >= count())
        throw ControlError(kInvalidPropertyArrayIndex, objectName());
}

qint32 ComboBox::ItemData(int index) const
{
    checkIndex(index);
    return itemData(index).value<qint32>();
}

void ComboBox::SetItemData(int index, qint32 data)
{
    checkIndex(index);
    // Item data is never drawn, so the list and its size need not hear of it: telling them costs
    // as much again as adding the entry (lists of every stored set are refilled on each visit).
    const QSignalBlocker quiet(model());
    model()->setData(model()->index(index, modelColumn(), rootModelIndex()), QVariant(data), Qt::UserRole);
}

void ComboBox::setListIndex(int index)
{
    if (index < -1 || index >= count())
        throw ControlError(kInvalidPropertyValue, objectName());
    {
        const QScopedValueRollback guard(m_byCode, true);
        setCurrentIndex(index);
    }
    emit Click();
}

QString ComboBox::Text() const
{
    return currentIndex() < 0 ? QString() : currentText();
}

void ComboBox::setText(const QString &text)
{
    const int index = findText(text, Qt::MatchFixedString);
    if (index >= 0)
        setListIndex(index);
}

void ComboBox::changeEvent(QEvent *event)
{
    colorEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        contentsChanged();
    QComboBox::changeEvent(event);
}

} // namespace veltrane
