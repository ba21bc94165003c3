#include "platform/forms/list_box.h"

#include "platform/runtime_errors.h"

#include <QLabel>
#include <QScopedValueRollback>

namespace veltrane {

ListBox::ListBox(QWidget *parent)
    : QListWidget(parent)
    , FormControl(this, windowScheme())
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The selection, not the current (focus) row, is what the list holds: the view makes a row
    // current when it gets the focus, which must not count as the user choosing it.
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (m_byCode)
            return;
        m_clickChangedSelection = true;
        emit Click();
    });
    // Clicking the entry already selected is a choice too (the save-as page refills its name box
    // from it), though the selection does not change.
    connect(this, &QListWidget::itemClicked, this, [this] {
        if (!m_clickChangedSelection)
            emit Click();
    });
}

void ListBox::mousePressEvent(QMouseEvent *event)
{
    m_clickChangedSelection = false;
    QListWidget::mousePressEvent(event);
}

void ListBox::AddItem(const QString &text)
{
    const QScopedValueRollback guard(m_byCode, true);
    auto *item = new QListWidgetItem(text);
    item->setData(Qt::UserRole, QVariant(qint32(0)));
    addItem(item);
    m_newIndex = count() - 1;
}

void ListBox::RemoveItem(int index)
{
    if (index < 0 || index >= count())
        throw ControlError(kInvalidPropertyArrayIndex, objectName());
    const QScopedValueRollback guard(m_byCode, true);
    delete takeItem(index);
    m_newIndex = -1;
}

void ListBox::Clear()
{
    const QScopedValueRollback guard(m_byCode, true);
    clear();
    m_newIndex = -1;
}

QString ListBox::List(int index) const
{
    const QListWidgetItem *entry = item(index);
    return entry ? entry->text() : QString();
}

qint32 ListBox::ItemData(int index) const
{
    const QListWidgetItem *entry = item(index);
    if (!entry)
        throw ControlError(kInvalidPropertyArrayIndex, objectName());
    return entry->data(Qt::UserRole).value<qint32>();
}

void ListBox::SetItemData(int index, qint32 data)
{
    QListWidgetItem *entry = item(index);
    if (!entry)
        throw ControlError(kInvalidPropertyArrayIndex, objectName());
    entry->setData(Qt::UserRole, QVariant(data));
}

int ListBox::ListIndex() const
{
    const QList<QListWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

void ListBox::setListIndex(int index)
{
    if (index < -1 || index >= count())
        throw ControlError(kInvalidPropertyValue, objectName());
    {
        const QScopedValueRollback guard(m_byCode, true);
        if (index < 0) {
            clearSelection();
        } else {
            setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
            scrollToItem(item(index));
        }
    }
    emit Click();
}

QString ListBox::Text() const
{
    const int index = ListIndex();
    return index < 0 ? QString() : item(index)->text();
}

void ListBox::showEvent(QShowEvent *event)
{
    // A screen reader names other controls after the label whose buddy they are; Qt's lists take
    // only their own accessible name, so the list takes the label's caption as it is first shown.
    if (accessibleName().isEmpty() && parentWidget())
        for (const QLabel *label : parentWidget()->findChildren<QLabel *>(Qt::FindDirectChildrenOnly))
            if (label->buddy() == this)
                setAccessibleName(QString(label->text()).remove(QLatin1Char('&')));
    QListWidget::showEvent(event);
}

void ListBox::changeEvent(QEvent *event)
{
    colorEvent(event);
    QListWidget::changeEvent(event);
}

} // namespace veltrane
