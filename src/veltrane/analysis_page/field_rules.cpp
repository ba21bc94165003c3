// The numeric fields: which keys they take, what they do on getting and losing the focus, and the
// two checks validation runs over them.

#include "veltrane/analysis_page/field_rules.h"

#include "platform/forms/colors.h"
#include "platform/forms/text_box.h"
#include "veltrane/analysis_page/analysis_param_page.h"

#include <QLocale>
#include <cfenv>
#include <cmath>
#include <limits>

namespace veltrane {

namespace editor {

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

std::optional<double> parseNumber(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
        ++i;
    const qsizetype mantissaStart = i;
    qsizetype digits = 0;
    bool point = false;
    for (; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (isDigit(c))
            ++digits;
        else if (c == QLatin1Char('.') && !point)
            point = true;
        else
            break;
    }
    if (digits == 0 || i == mantissaStart)
        return std::nullopt;
    if (i < t.size() && (t.at(i) == QLatin1Char('e') || t.at(i) == QLatin1Char('E'))) {
        ++i;
        if (i < t.size() && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
            ++i;
        const qsizetype exponentStart = i;
        while (i < t.size() && isDigit(t.at(i)))
            ++i;
        if (i == exponentStart)
            return std::nullopt;
    }
    if (i != t.size())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double wholeValue(double value)
{
    // nearbyint rounds in the current mode, which is to nearest with ties to even unless changed.
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double whole = std::nearbyint(value);
    std::fesetround(mode);
    return whole;
}

qint32 powerOf(const QString &text)
{
    // The value is stepped by ten until it crosses 1, each step kept in a double. In binary some
    // steps drift, 0.00000000001 takes twelve steps up and its power is -12; FormatNotation therefore
    // counts digits instead (writtenPower).
    const std::optional<double> value = parseNumber(text);
    if (!value || *value == 0)
        return 0;
    double a = std::fabs(*value);
    qint32 count = 0;
    // At most 324 steps up from the smallest subnormal double, 309 down from the largest.
    if (a < 1) {
        while (a < 1) {
            a *= 10;
            ++count;
        }
        return -count;
    }
    while (a >= 1) {
        a /= 10;
        ++count;
    }
    return count - 1;
}

qint32 writtenPower(const QString &text)
{
    const std::optional<double> value = parseNumber(text);
    if (!value || *value == 0)
        return 0;
    QString t = text.trimmed();
    if (t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-')))
        t.remove(0, 1);
    qint64 exponent = 0;
    const qsizetype e = t.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
    if (e >= 0) {
        // A finite, non-zero value keeps the exponent within a few hundred past its digits, but
        // the text may pad it with zeros.
        const qint64 sign = t.at(e + 1) == QLatin1Char('-') ? -1 : 1;
        for (qsizetype i = e + 1; i < t.size(); ++i)
            if (isDigit(t.at(i)))
                exponent = qMin<qint64>(exponent * 10 + t.at(i).digitValue(), 1'000'000'000);
        exponent *= sign;
        t.truncate(e);
    }
    const qsizetype point = t.indexOf(QLatin1Char('.'));
    const qsizetype wholeDigits = point >= 0 ? point : t.size();
    t.remove(QLatin1Char('.'));
    qsizetype first = 0;
    while (t.at(first) == QLatin1Char('0'))
        ++first; // a non-zero value has a non-zero digit
    return qint32(qBound<qint64>(qint64(std::numeric_limits<qint32>::min()), wholeDigits - 1 - first + exponent,
                                 qint64(std::numeric_limits<qint32>::max())));
}

bool isAmount(const QString &text)
{
    // A minus in front is a negative quantity, which no amount can be; one in the exponent is fine.
    return parseNumber(text).has_value() && !text.trimmed().startsWith(QLatin1Char('-'));
}

QString normalizedMantissa(const QString &text)
{
    // The digits come from the text as written, so "1.50" keeps its zero; an exponent only moves the
    // power (FormatNotation reads it from the whole value).
    QString s = isAmount(text) ? text.trimmed() : QStringLiteral("0.0");
    if (s.startsWith(QLatin1Char('+')))
        s.remove(0, 1);
    const qsizetype exponent = s.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
    if (exponent >= 0)
        s.truncate(exponent);
    s.remove(QLatin1Char('.'));
    qsizetype zeros = 0;
    while (zeros < s.size() - 1 && s.at(zeros) == QLatin1Char('0'))
        ++zeros;
    s.remove(0, zeros);
    const QString rest = s.size() >= 2 ? s.mid(1) : QStringLiteral("00");
    return s.left(1) + QLatin1Char('.') + rest;
}

QString fieldText(float value)
{
    return QLocale::c().toString(double(value), 'g', 7);
}

QString limitText(double value)
{
    return QLocale::c().toString(value, 'f', QLocale::FloatingPointShortest);
}

float singleOf(const QString &text, const QString &field)
{
    const std::optional<double> value = parseNumber(text);
    if (!value)
        throw Error::typeMismatch(field, QStringLiteral("\"%1\" in %2 is not a number").arg(text, field));
    return float(*value);
}

} // namespace editor

using namespace editor;

namespace {

constexpr qint16 kBackspace = 8;
constexpr qint16 kPoint = 46;
constexpr qint16 kMinus = 45;

bool isDigitKey(qint16 key)
{
    return key >= '0' && key <= '9';
}

// The filter of the plain numeric fields: digits, backspace and ".".
void digitsAndPoint(qint16 &KeyAscii)
{
    if (!isDigitKey(KeyAscii) && KeyAscii != kBackspace && KeyAscii != kPoint)
        KeyAscii = 0;
}

// The rule on leaving a field with bounds: not a number gives `fallback`, a whole value beyond a
// bound gives that bound; a text within bounds stays as typed.
void keepWithin(TextBox *field, const QString &fallback, double minimum, double maximum)
{
    const std::optional<double> value = parseNumber(field->Text());
    if (!value) {
        field->setText(fallback);
        return;
    }
    const double whole = wholeValue(*value);
    if (whole > maximum)
        field->setText(limitText(maximum));
    else if (whole < minimum)
        field->setText(limitText(minimum));
}

void zeroUnlessNumber(TextBox *field)
{
    if (!isNumber(field->Text()))
        field->setText(QStringLiteral("0"));
}

void selectAll(TextBox *field)
{
    field->setSelLength(int(field->Text().length()));
}

} // namespace

// ---- public members -----------------------------------------------------------------------------

qint32 AnalysisParamPage::GetPower(QString &sString)
{
    return powerOf(sString);
}

QString AnalysisParamPage::FormatNotation(qint16 &Index, QString &sString)
{
    return guard(Propagate, "FormatNotation", [&] {
        TextBox *power = txtPower.at(Index);
        if (!power)
            throw Error::subscriptOutOfRange(QString::fromLatin1(className()));
        const QString s = isAmount(sString) ? sString : QStringLiteral("0.0");
        const QString &remembered = m_sAmountOnFocus;
        const QString &current = s;
        // The exponents come from the digits as written, not from GetPower's loop: a pasted "1e-12"
        // would otherwise take one step too many and store a tenth of the amount the user gave.
        const qint32 oldPower = writtenPower(remembered);
        const qint32 newPower = writtenPower(current);
        if (oldPower != newPower) {
            const std::optional<double> shown = parseNumber(power->Text());
            if (!shown)
                throw Error::typeMismatch(power->objectName(),
                                          QStringLiteral("the power \"%1\" is not a number").arg(power->Text()));
            power->setText(limitText(wholeValue(*shown) + newPower));
        }
        return normalizedMantissa(s);
    });
}

// ---- changes: the fields that count as the user's data mark the page dirty ---------------------

void AnalysisParamPage::txtParameterSetName_Change()
{
    guard(ReportAndStop, "txtParameterSetName_Change", [&] { m_oPageBase->MarkDirty(); });
}

void AnalysisParamPage::txtConfidenceLevel_Change()
{
    m_oPageBase->MarkDirty();
}

void AnalysisParamPage::txtIncludePeaks_Change()
{
    m_oPageBase->MarkDirty();
}

void AnalysisParamPage::txtSlopeThreshold_Change()
{
    m_oPageBase->MarkDirty();
}

void AnalysisParamPage::txtSizeTime_Change(int)
{
    m_oPageBase->MarkDirty();
}

void AnalysisParamPage::txtWindow_Change(int)
{
    m_oPageBase->MarkDirty();
}

// ---- keystrokes ------------------------------------------------------------------------------------

void AnalysisParamPage::txtConfidenceLevel_KeyPress(qint16 &KeyAscii)
{
    guard(ReportAndStop, "txtConfidenceLevel_KeyPress", [&] { digitsAndPoint(KeyAscii); });
}

void AnalysisParamPage::txtIncludePeaks_KeyPress(qint16 &KeyAscii)
{
    guard(ReportAndStop, "txtIncludePeaks_KeyPress", [&] { digitsAndPoint(KeyAscii); });
}

void AnalysisParamPage::txtSlopeThreshold_KeyPress(qint16 &KeyAscii)
{
    guard(ReportAndStop, "txtSlopeThreshold_KeyPress", [&] { digitsAndPoint(KeyAscii); });
}

void AnalysisParamPage::txtSizeTime_KeyPress(int, qint16 &KeyAscii)
{
    guard(ReportAndStop, "txtSizeTime_KeyPress", [&] { digitsAndPoint(KeyAscii); });
}

void AnalysisParamPage::txtWindow_KeyPress(int, qint16 &KeyAscii)
{
    guard(ReportAndStop, "txtWindow_KeyPress", [&] { digitsAndPoint(KeyAscii); });
}

void AnalysisParamPage::txtAmount_KeyPress(int Index, qint16 &KeyAscii)
{
    guard(ReportAndStop, "txtAmount_KeyPress", [&] {
        if (KeyAscii == kBackspace || KeyAscii == kPoint) {
            // A second "." is refused even when the selection it would replace holds the first.
            if (IsDecimalPresent(KeyAscii, txtAmount.at(Index)->Text()))
                KeyAscii = 0;
        } else if (!isDigitKey(KeyAscii)) {
            KeyAscii = 0;
        }
    });
}

void AnalysisParamPage::txtPower_KeyPress(int, qint16 &KeyAscii)
{
    guard(ReportAndStop, "txtPower_KeyPress", [&] {
        if (!isDigitKey(KeyAscii) && KeyAscii != kBackspace && KeyAscii != kMinus && KeyAscii != kPoint)
            KeyAscii = 0;
    });
}

bool AnalysisParamPage::IsDecimalPresent(qint16 iKeyAscii, const QString &sText)
{
    return guard(Propagate, "IsDecimalPresent",
                 [&] { return sText.contains(QChar(char16_t(quint16(iKeyAscii))), Qt::CaseInsensitive); });
}

// ---- focus -----------------------------------------------------------------------------------------

void AnalysisParamPage::txtSizeTime_GotFocus(int Index)
{
    guard(ReportAndStop, "txtSizeTime_GotFocus", [&] { selectAll(txtSizeTime.at(Index)); });
}

void AnalysisParamPage::txtWindow_GotFocus(int Index)
{
    guard(ReportAndStop, "txtWindow_GotFocus", [&] { selectAll(txtWindow.at(Index)); });
}

void AnalysisParamPage::txtAmount_GotFocus(int Index)
{
    guard(ReportAndStop, "txtAmount_GotFocus", [&] {
        m_sAmountOnFocus = txtAmount.at(Index)->Text();
        selectAll(txtAmount.at(Index));
    });
}

void AnalysisParamPage::txtConfidenceLevel_LostFocus()
{
    guard(ReportAndStop, "txtConfidenceLevel_LostFocus", [&] {
        keepWithin(txtConfidenceLevel, QStringLiteral("95"), limits::kConfidenceLevel.minimum,
                   limits::kConfidenceLevel.maximum);
    });
}

void AnalysisParamPage::txtIncludePeaks_LostFocus()
{
    guard(ReportAndStop, "txtIncludePeaks_LostFocus", [&] {
        keepWithin(txtIncludePeaks, QStringLiteral("1"), limits::kRelativePeakHeight.minimum,
                   limits::kRelativePeakHeight.maximum);
    });
}

void AnalysisParamPage::txtSlopeThreshold_LostFocus()
{
    guard(ReportAndStop, "txtSlopeThreshold_LostFocus", [&] {
        keepWithin(txtSlopeThreshold, QStringLiteral("1"), limits::kSlopeThreshold.minimum,
                   limits::kSlopeThreshold.maximum);
    });
}

void AnalysisParamPage::txtSizeTime_LostFocus(int Index)
{
    guard(ReportAndStop, "txtSizeTime_LostFocus", [&] { zeroUnlessNumber(txtSizeTime.at(Index)); });
}

void AnalysisParamPage::txtWindow_LostFocus(int Index)
{
    guard(ReportAndStop, "txtWindow_LostFocus", [&] { zeroUnlessNumber(txtWindow.at(Index)); });
}

void AnalysisParamPage::txtAmount_LostFocus(int Index)
{
    guard(ReportAndStop, "txtAmount_LostFocus", [&] {
        TextBox *amount = txtAmount.at(Index);
        QString text = amount->Text();
        if (text.compare(m_sAmountOnFocus, Qt::CaseInsensitive) == 0)
            return;
        qint16 row = qint16(Index);
        amount->setText(FormatNotation(row, text));
    });
}

void AnalysisParamPage::txtPower_LostFocus(int Index)
{
    guard(ReportAndStop, "txtPower_LostFocus", [&] {
        keepWithin(txtPower.at(Index), QStringLiteral("0"), limits::kAmountPower.minimum, limits::kAmountPower.maximum);
    });
}

// ---- the checks validation runs --------------------------------------------------------------------

void AnalysisParamPage::CheckNumericRange(TextBox *txtField, double dMin, double dMax, bool &bIsValid)
{
    guard(Propagate, "CheckNumericRange", [&] {
        txtField->setToolTip(QString());
        const std::optional<double> value = parseNumber(txtField->Text());
        if (!value)
            return; // an empty or unreadable field is left as it is and does not fail the page
        if (*value >= dMin && *value <= dMax) {
            txtField->setBackColor(colors::kWindowBackground);
            return;
        }
        txtField->setBackColor(colors::kYellow);
        txtField->setToolTip(QStringLiteral("Value should be between ") + limitText(dMin) + QStringLiteral(" and ") +
                             limitText(dMax));
        bIsValid = false;
    });
}

void AnalysisParamPage::CheckSizeTimeWindow(TextBox *txtSizeTimeField, TextBox *txtWindowField, bool &bIsValid)
{
    const QString sizeText = txtSizeTimeField->Text().trimmed();
    const QString windowText = txtWindowField->Text().trimmed();
    const std::optional<double> s = parseNumber(sizeText);
    const std::optional<double> w = parseNumber(windowText);
    if (!s || !w || windowText.isEmpty())
        return;
    const double a = std::fabs(*w);
    if (a == 0)
        return;
    if (*s - a <= 0) {
        const QString tip = QStringLiteral("Size/Time field has to be greater than reference window field ");
        for (TextBox *field : {txtSizeTimeField, txtWindowField}) {
            field->setBackColor(colors::kYellow);
            field->setToolTip(tip);
        }
        bIsValid = false;
    }
}

} // namespace veltrane
