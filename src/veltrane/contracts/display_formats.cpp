#include "veltrane/contracts/display_formats.h"

#include <QLocale>

namespace veltrane {

static QString longTimeFormat(const QLocale &locale)
{
    // The locale's long time format without a time-zone part.
    QString f = locale.timeFormat(QLocale::LongFormat);
    f.remove(QLatin1Char('t'));
    return f.trimmed();
}

QString generalDate(const QDateTime &dateTime)
{
    const QLocale locale;
    QString text = locale.toString(dateTime.date(), QLocale::ShortFormat);
    if (dateTime.time() != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(dateTime.time(), longTimeFormat(locale));
    return text;
}

QString shortDate(const QDate &date)
{
    return QLocale().toString(date, QLocale::ShortFormat);
}

QString singleText(float value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(double(value), 'g', 7);
}

namespace editor {

QString scientificText(float quantity)
{
    // Three decimals, rounded once; then the third goes when it is a zero.
    QString text = QLocale::c().toString(double(quantity), 'e', 3); // "1.500e-04"
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    QString mantissa = text.left(e);
    if (mantissa.endsWith(QLatin1Char('0')))
        mantissa.chop(1);
    const QChar sign = text.at(e + 1);
    const int exponent = text.mid(e + 2).toInt();
    return mantissa + QLatin1Char('e') + sign + QString::number(exponent);
}

AmountText splitAmount(float quantity)
{
    const QString s = scientificText(quantity);
    const qsizetype p = s.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
    AmountText amount;
    amount.mantissa = s.left(p);
    if (s.at(p + 1) == QLatin1Char('-'))
        amount.power = s.mid(p + 1);
    else
        amount.power = s.mid(p + 2);
    return amount;
}

QString coefficientText(float coefficient)
{
    return QLocale().toString(double(coefficient), 'f', 6);
}

} // namespace editor

} // namespace veltrane
