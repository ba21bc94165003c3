#include "veltrane/contracts/error.h"

namespace veltrane {

Error::Error(qint32 number, QString source, QString description, QString helpFile, qint32 helpContext)
    : m_number(number)
    , m_source(std::move(source))
    , m_description(std::move(description))
    , m_helpFile(std::move(helpFile))
    , m_helpContext(helpContext)
    , m_what(QString(m_source + QLatin1String(": ") + m_description).toUtf8())
{}

static QString withDetail(RuntimeError number, const QString &detail)
{
    QString s = runtimeErrorText(number);
    if (!detail.isEmpty())
        s += QLatin1String(": ") + detail;
    return s;
}

Error Error::subscriptOutOfRange(const QString &source)
{
    return Error(kSubscriptOutOfRange, source, runtimeErrorText(kSubscriptOutOfRange));
}

Error Error::invalidProcedureCall(const QString &source, const QString &detail)
{
    return Error(kInvalidProcedureCall, source, withDetail(kInvalidProcedureCall, detail));
}

Error Error::typeMismatch(const QString &source, const QString &detail)
{
    return Error(kTypeMismatch, source, withDetail(kTypeMismatch, detail));
}

Error Error::objectNotSet(const QString &source, const QString &detail)
{
    return Error(kObjectNotSet, source, withDetail(kObjectNotSet, detail));
}

Error Error::duplicateKey(const QString &source)
{
    return Error(kDuplicateKey, source, runtimeErrorText(kDuplicateKey));
}

Error Error::fromCurrentException()
{
    try {
        throw;
    } catch (const Error &e) {
        return e;
    } catch (const ControlError &e) {
        return Error(e.number(), e.control(), e.description());
    } catch (const std::exception &e) {
        return Error(kApplicationError, QStringLiteral("Veltrane"), QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return Error(kApplicationError, QStringLiteral("Veltrane"), QStringLiteral("Unknown failure"));
    }
}

bool Error::operator==(const Error &other) const
{
    return m_number == other.m_number && m_source == other.m_source && m_description == other.m_description &&
           m_helpFile == other.m_helpFile && m_helpContext == other.m_helpContext;
}

} // namespace veltrane
