#pragma once

#include "platform/forms/form_control.h"

#include <QListWidget>

namespace veltrane {

// List of text entries, one of which may be selected. Click is raised when the user selects an
// entry (also by clicking the one already selected) and on every assignment of ListIndex by code.
// Moving the keyboard focus into the list selects nothing.
class ListBox : public QListWidget, public FormControl
{
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text)
    Q_PROPERTY(int ListIndex READ ListIndex WRITE setListIndex)
    Q_PROPERTY(int ListCount READ ListCount)
    Q_PROPERTY(int NewIndex READ NewIndex)
    VELTRANE_FORM_CONTROL_PROPERTIES
public:
    explicit ListBox(QWidget *parent = nullptr);

    Q_INVOKABLE void AddItem(const QString &text);
    Q_INVOKABLE void RemoveItem(int index);
    Q_INVOKABLE void Clear();
    Q_INVOKABLE QString List(int index) const;    // empty for an index that is not an entry
    Q_INVOKABLE qint32 ItemData(int index) const; // off the list: ControlError 381
    Q_INVOKABLE void SetItemData(int index, qint32 data);

    int ListCount() const { return count(); }
    int NewIndex() const { return m_newIndex; }
    int ListIndex() const;
    void setListIndex(int index); // -1 selects nothing; off the list: ControlError 380
    QString Text() const;         // the selected entry's text, empty when none

signals:
    void Click();

protected:
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    bool m_byCode = false;
    bool m_clickChangedSelection = false;
    int m_newIndex = -1;
};

} // namespace veltrane
