#pragma once

#include "platform/forms/form_control.h"

#include <QLabel>

namespace veltrane {

// Caption text. Shown as plain text (no markup), wrapped at word boundaries within its width.
class Label : public QLabel, public FormControl
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    VELTRANE_FORM_CONTROL_PROPERTIES
public:
    explicit Label(QWidget *parent = nullptr);
    explicit Label(const QString &caption, QWidget *parent = nullptr);

    QString Caption() const { return text(); }
    void setCaption(const QString &caption) { setText(caption); }

protected:
    void changeEvent(QEvent *event) override;
};

} // namespace veltrane
