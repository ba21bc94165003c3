#pragma once

#include "platform/forms/form_control.h"

#include <QCheckBox>

namespace veltrane {

// Check box holding 0 (cleared), 1 (ticked) or 2 (greyed). Click is raised whenever the value
// changes, by the user or by code; setting the value it already has raises nothing.
class CheckBox : public QCheckBox, public FormControl
{
    Q_OBJECT
    Q_PROPERTY(int Value READ Value WRITE setValue)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)
    Q_PROPERTY(bool Visible READ Visible WRITE setVisible)
    Q_PROPERTY(quint32 BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(quint32 ForeColor READ ForeColor WRITE setForeColor)
    Q_PROPERTY(QString ToolTipText READ ToolTipText WRITE setToolTip)
public:
    explicit CheckBox(QWidget *parent = nullptr);
    explicit CheckBox(const QString &caption, QWidget *parent = nullptr);

    int Value() const;
    // 0, 1 or 2; any other value throws std::out_of_range.
    void setValue(int value);

    QString Caption() const { return text(); }
    void setCaption(const QString &caption) { setText(caption); }

signals:
    void Click();

protected:
    void changeEvent(QEvent *event) override;
};

} // namespace veltrane
