#pragma once

#include "veltrane/contracts/error_numbers.h"

#include <QByteArray>
#include <QString>
#include <exception>

namespace veltrane {

// One error as it travels between the library, its host and the user:
// number, source, description, help file and help context.
class Error : public std::exception
{
public:
    Error() = default;
    Error(qint32 number, QString source, QString description, QString helpFile = {}, qint32 helpContext = 0);

    qint32 number() const { return m_number; }
    const QString &source() const { return m_source; }
    const QString &description() const { return m_description; }
    const QString &helpFile() const { return m_helpFile; }
    qint32 helpContext() const { return m_helpContext; }

    const char *what() const noexcept override { return m_what.constData(); }

    // Errors of the platform's run time, with its usual texts.
    static Error subscriptOutOfRange(const QString &source);
    static Error invalidProcedureCall(const QString &source, const QString &detail = {});
    static Error typeMismatch(const QString &source, const QString &detail = {});
    static Error objectNotSet(const QString &source, const QString &detail = {});
    static Error duplicateKey(const QString &source);

    // Any exception caught in flight, as an Error: a control's error keeps its number with the control
    // as source; any other std::exception keeps its text.
    static Error fromCurrentException();

    bool operator==(const Error &other) const;

private:
    qint32 m_number = 0;
    QString m_source;
    QString m_description;
    QString m_helpFile;
    qint32 m_helpContext = 0;
    QByteArray m_what;
};

} // namespace veltrane
