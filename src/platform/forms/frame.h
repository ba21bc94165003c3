#pragma once

#include "platform/forms/form_control.h"

#include <QGroupBox>

namespace veltrane {

// Group box around other controls; its caption may be empty. BorderStyle 0 draws no border (a
// plain container, e.g. the content of a tab), 1 the usual frame.
class Frame : public QGroupBox, public FormControl
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(int BorderStyle READ BorderStyle WRITE setBorderStyle)
    VELTRANE_FORM_CONTROL_PROPERTIES
public:
    explicit Frame(QWidget *parent = nullptr);
    explicit Frame(const QString &caption, QWidget *parent = nullptr);

    QString Caption() const { return title(); }
    void setCaption(const QString &caption) { setTitle(caption); }

    int BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(int style);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    int m_borderStyle = 1;
};

} // namespace veltrane
