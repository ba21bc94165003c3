#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace veltrane {

// The first application-defined error number (hexadecimal 80040000).
constexpr qint32 kApplicationError = qint32(0x80040000u);

// Error numbers of the platform's run-time errors that the library and its host raise.
enum RuntimeError : qint32 {
    kInvalidProcedureCall = 5,
    kSubscriptOutOfRange = 9,
    kTypeMismatch = 13,
    kObjectNotSet = 91,
    kDuplicateKey = 457,
};

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

    // Any exception caught in flight, as an Error (std::exception keeps its text).
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
