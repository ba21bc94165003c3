#pragma once

#include <QObject>

namespace veltrane {

// A value a notification handler hands back to whoever raised the notification: the grid passes
// one with its double-click notification, and a handler that sets Value to 1 tells the grid it has
// dealt with the double click (the grid then starts no cell editor).
class ReturnHolder : public QObject
{
    Q_OBJECT
    Q_PROPERTY(qint32 Value READ Value WRITE setValue)
public:
    explicit ReturnHolder(QObject *parent = nullptr)
        : QObject(parent)
    {}

    qint32 Value() const { return m_value; }
    void setValue(qint32 value) { m_value = value; }

private:
    qint32 m_value = 0;
};

} // namespace veltrane
