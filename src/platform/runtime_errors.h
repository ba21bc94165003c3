#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <exception>

namespace veltrane {

// The run-time error numbers of the platform the pages were written for, with their usual texts.
// Controls raise the ones that concern them; the library's error type knows all of them.
#define VELTRANE_RUNTIME_ERRORS(X)                                                                                     \
    X(kInvalidProcedureCall, 5, "Invalid procedure call or argument")                                                  \
    X(kOverflow, 6, "Overflow")                                                                                        \
    X(kSubscriptOutOfRange, 9, "Subscript out of range")                                                               \
    X(kTypeMismatch, 13, "Type mismatch")                                                                              \
    X(kObjectNotSet, 91, "Object variable not set")                                                                    \
    X(kInvalidPropertyValue, 380, "Invalid property value")                                                            \
    X(kInvalidPropertyArrayIndex, 381, "Invalid property array index")                                                 \
    X(kDuplicateKey, 457, "This key is already associated with an element of this collection")

enum RuntimeError : qint32 {
#define VELTRANE_RUNTIME_ERROR_ENUM(name, number, text) name = number,
    VELTRANE_RUNTIME_ERRORS(VELTRANE_RUNTIME_ERROR_ENUM)
#undef VELTRANE_RUNTIME_ERROR_ENUM
};

// The platform's text of a run-time error number; empty for a number that is none of them.
inline QString runtimeErrorText(qint32 number)
{
    switch (number) {
#define VELTRANE_RUNTIME_ERROR_TEXT(name, value, text)                                                                 \
    case value:                                                                                                        \
        return QStringLiteral(text);
        VELTRANE_RUNTIME_ERRORS(VELTRANE_RUNTIME_ERROR_TEXT)
#undef VELTRANE_RUNTIME_ERROR_TEXT
    default:
        return QString();
    }
}

// What a control throws when code asks of it what it cannot do (a list index that is no entry, a
// check box value other than 0, 1 or 2): the platform's number and text, and the control's name.
// The library's error trap turns it into an error of that number whose source is the control.
class ControlError : public std::exception
{
public:
    ControlError(RuntimeError number, QString control)
        : m_number(number)
        , m_control(std::move(control))
        , m_what((m_control + QLatin1String(": ") + runtimeErrorText(number)).toUtf8())
    {}

    qint32 number() const { return m_number; }
    const QString &control() const { return m_control; }
    QString description() const { return runtimeErrorText(m_number); }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    qint32 m_number;
    QString m_control;
    QByteArray m_what;
};

} // namespace veltrane
