// Fuzzes the editor's conversions between number texts and values: what counts as a number, whole
// values, powers of ten, normalised mantissas, the text a field shows for a single, and an amount
// split into mantissa and power and joined again.
//
// Input: the first four bytes, when there are four, are also read as a single-precision value; the
// whole input is read as UTF-8 text.

#include "veltrane/analysis_page/field_rules.h"
#include "veltrane/analysis_page/loading.h"
#include "veltrane/analysis_page/validation_saving.h"
#include "veltrane/contracts/error.h"

#include <QRegularExpression>
#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace veltrane::editor;

namespace {

void require(bool condition, const char *what, const QString &text)
{
    if (condition)
        return;
    std::fprintf(stderr, "broken: %s, for \"%s\"\n", what, text.toUtf8().constData());
    std::abort();
}

bool closeTo(long double a, long double b, long double relative)
{
    return std::fabs(a - b) <= std::fabs(b) * relative;
}

void checkText(const QString &text)
{
    static const QRegularExpression mantissaForm(QStringLiteral("^[0-9]\\.[0-9]+$"));
    const std::optional<double> number = parseNumber(text);
    require(!number || std::isfinite(*number), "a number is finite", text);
    require(isNumber(text) == number.has_value(), "isNumber agrees with parseNumber", text);

    if (number) {
        // The value read from the front of a text that is a number is that number.
        require(leadingNumber(text) == *number, "leadingNumber agrees with parseNumber", text);

        const double whole = wholeValue(*number);
        require(wholeValue(whole) == whole, "a whole value is its own whole value", text);
        require(std::fabs(whole - *number) <= 0.5, "the whole value is the nearest", text);
        if (std::fabs(whole - *number) == 0.5)
            require(std::fmod(whole, 2.0) == 0, "a half goes to the even neighbour", text);
    }

    const qint32 power = writtenPower(text);
    // GetPower's loop drifts by a step at most where the digits and the double disagree.
    require(std::abs(qint64(powerOf(text)) - power) <= 1, "the loop's power is within a step of the digits'", text);
    if (!number || *number == 0) {
        require(power == 0, "no number and zero have power 0", text);
    } else if (std::fabs(*number) >= 1e-300) {
        // 10^power <= |x| < 10^(power + 1), give or take the rounding of the repeated steps.
        const long double a = std::fabs((long double)*number);
        const long double low = std::pow(10.0L, (long double)power);
        require(a >= low * (1 - 1e-12L) && a < low * 10 * (1 + 1e-12L), "the power brackets the number", text);
    }

    const QString mantissa = normalizedMantissa(text);
    require(mantissaForm.match(mantissa).hasMatch(), "a mantissa has one digit before the point", text);
    if (!isAmount(text)) {
        require(mantissa == QLatin1String("0.00"), "no amount gives 0.00", text);
    } else {
        require(*number >= 0, "an amount is not negative", text);
        // The mantissa times ten to the text's power is the amount, as far as its digits reach.
        const long double shown = mantissa.toDouble() * std::pow(10.0L, (long double)power);
        if (*number == 0)
            require(mantissa == QLatin1String("0.00"), "zero gives 0.00", text);
        else if (std::fabs(*number) >= 1e-300 && text.size() < 40)
            require(closeTo(shown, *number, 1e-9L), "mantissa and power keep the amount", text);
        // Normalising a normalised mantissa changes nothing.
        require(normalizedMantissa(mantissa) == mantissa, "normalising is idempotent", text);
    }
}

void checkSingle(float value)
{
    if (!std::isfinite(value))
        return;
    const QString shown = fieldText(value);
    const std::optional<double> back = parseNumber(shown);
    require(back.has_value(), "a field's text is a number", shown);
    require(value == 0 ? *back == 0 : closeTo(*back, value, 5e-7L), "a field shows a single to seven digits", shown);
    require(fieldText(float(*back)) == shown, "showing what a field shows changes nothing", shown);

    if (value < 0 || std::fabs(value) > 1e37f || (value != 0 && std::fabs(value) < 1e-37f))
        return;
    const AmountText split = splitAmount(value);
    const QString joined = split.mantissa + QLatin1Char('e') + split.power;
    require(split.mantissa.size() >= 4 && split.mantissa.size() <= 5, "a loaded mantissa has two or three decimals",
            joined);
    require(!split.power.startsWith(QLatin1Char('+')), "a loaded power has no plus", joined);
    float again = 0;
    try {
        again = joinAmount(split.mantissa, split.power, QStringLiteral("txtPower(0)"));
    } catch (const veltrane::Error &) {
        require(false, "a loaded amount can be saved", joined);
    }
    require(value == 0 ? again == 0 : closeTo(again, value, 5.01e-4L), "saving keeps four digits", joined);
    const AmountText twice = splitAmount(again);
    require(twice.mantissa == split.mantissa && twice.power == split.power, "loading a saved amount shows it again",
            joined);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 4096)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    checkText(text);
    checkText(normalizedMantissa(text));
    if (size >= 4) {
        float value;
        std::memcpy(&value, data, sizeof value);
        checkSingle(value);
    }
    // An amount typed into the editor and its power, as Save joins them.
    const qsizetype split = text.indexOf(QLatin1Char('|'));
    if (split >= 0) {
        try {
            const float joined = joinAmount(text.left(split), text.mid(split + 1), QStringLiteral("txtPower(0)"));
            (void)joined;
        } catch (const veltrane::Error &) {
        }
    }
    return 0;
}
