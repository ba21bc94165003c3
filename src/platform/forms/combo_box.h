#pragma once

#include "platform/forms/form_control.h"

#include <QComboBox>

namespace veltrane {

// Drop-down list: the user picks an entry and cannot type.
//
// Click is raised whenever the selected entry changes, by the user or by code, and every time code
// assigns ListIndex (or Text), even to the entry already selected: handlers that rebuild something
// from the selection run again, as on the platform the pages were written for. A user who picks the
// entry already selected raises nothing. Adding entries never selects one (ListIndex stays -1 until
// set); Clear and RemoveItem raise no Click.
class ComboBox : public QComboBox, public FormControl
{
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE setText)
    Q_PROPERTY(int ListIndex READ ListIndex WRITE setListIndex)
    Q_PROPERTY(int ListCount READ ListCount)
    Q_PROPERTY(int NewIndex READ NewIndex)
    VELTRANE_FORM_CONTROL_PROPERTIES
public:
    explicit ComboBox(QWidget *parent = nullptr);

    Q_INVOKABLE void AddItem(const QString &text);
    Q_INVOKABLE void RemoveItem(int index);
    Q_INVOKABLE void Clear();
    // The entry's text; empty for an index that is not an entry.
    Q_INVOKABLE QString List(int index) const;
    // The number stored with an entry (0 until set). An index that is not an entry raises
    // ControlError 381 (invalid property array index).
    Q_INVOKABLE qint32 ItemData(int index) const;
    Q_INVOKABLE void SetItemData(int index, qint32 data);

    int ListCount() const { return count(); }
    // The index of the last entry added; -1 when none was added since the last Clear or RemoveItem.
    int NewIndex() const { return m_newIndex; }

    int ListIndex() const { return currentIndex(); }
    // -1 selects nothing. An index that is not an entry raises ControlError 380 (invalid property value).
    void setListIndex(int index);

    // The selected entry's text, empty when none is selected.
    QString Text() const;
    // Selects the entry with that text (compared without regard to case); a text that is no entry
    // leaves the selection as it is and raises nothing.
    void setText(const QString &text);

    // Whether the list asks to be as wide as its longest entry, following every change of its entries
    // (as QComboBox::AdjustToContents does, without making the drop-down's popup until it is opened).
    // Its least size is QComboBox's, as with AdjustToContents.
    void setFitsContents(bool on);
    bool fitsContents() const { return m_fitsContents; }
    QSize sizeHint() const override;

signals:
    void Click();

protected:
    void changeEvent(QEvent *event) override;

private:
    void checkIndex(int index) const;
    void contentsChanged();

    bool m_byCode = false;
    int m_newIndex = -1;
    bool m_fitsContents = false;
    mutable QSize m_fittingHint; // invalid until asked for after a change
};

} // namespace veltrane
