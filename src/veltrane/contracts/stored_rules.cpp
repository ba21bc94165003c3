#include "veltrane/contracts/stored_rules.h"

#include "veltrane/contracts/vocabulary.h"

#include <QLocale>
#include <QSet>
#include <cmath>

namespace veltrane {

namespace {

QString codePoint(char32_t c)
{
    return QStringLiteral("U+") + QString::number(quint32(c), 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

// Characters a screen would act on or hide rather than show.
bool unprintable(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Surrogate:
        return true;
    default:
        return QChar::isNonCharacter(c);
    }
}

enum class Family { None, Latin, CyrillicOrGreek };

Family familyOf(char32_t c)
{
    switch (QChar::script(c)) {
    case QChar::Script_Latin:
        return Family::Latin;
    case QChar::Script_Cyrillic:
    case QChar::Script_Greek:
        return Family::CyrillicOrGreek;
    default:
        return Family::None;
    }
}

} // namespace

std::optional<QString> nameFault(const QString &name)
{
    Family word = Family::None;
    QString wordText;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar unit = name.at(i);
        char32_t c = unit.unicode();
        if (unit.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(unit, name.at(i + 1));
            ++i;
        } else if (unit.isSurrogate()) {
            return QStringLiteral("it is not valid Unicode text (a lone half of a surrogate pair)");
        }
        if (QChar::isNonCharacter(c))
            return QStringLiteral("it is not valid Unicode text (the noncharacter %1)").arg(codePoint(c));
        switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return QStringLiteral("it holds a control character (%1)").arg(codePoint(c));
        case QChar::Other_Format:
            return QStringLiteral("it holds an invisible formatting character (%1)").arg(codePoint(c));
        case QChar::Separator_Space:
            if (c != U' ')
                return QStringLiteral("it holds a space other than the ordinary one (%1)").arg(codePoint(c));
            break;
        default:
            break;
        }
        if (!QChar::isLetter(c)) {
            if (!QChar::isMark(c)) {
                word = Family::None;
                wordText.clear();
            }
            continue;
        }
        wordText += QString::fromUcs4(&c, 1);
        const Family family = familyOf(c);
        if (family == Family::None)
            continue;
        if (word != Family::None && word != family)
            return QStringLiteral("a word of it mixes Latin letters with Cyrillic or Greek ones, which look alike "
                                  "(\"%1...\")")
                .arg(wordText);
        word = family;
    }
    return std::nullopt;
}

QString printable(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text.at(i);
        char32_t c = unit.unicode();
        qsizetype units = 1;
        if (unit.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(unit, text.at(i + 1));
            units = 2;
        }
        if (unprintable(c)) {
            const QString hex = QString::number(quint32(c), 16).toUpper();
            out += c < 0x100 ? QStringLiteral("\\x") + hex.rightJustified(2, QLatin1Char('0'))
                             : QStringLiteral("\\u") + hex.rightJustified(4, QLatin1Char('0'));
        } else {
            out += text.mid(i, units);
        }
        i += units - 1;
    }
    return out;
}

QString RuleBreak::where() const
{
    switch (part) {
    case Part::Set:
        return index < 0 ? field : QStringLiteral("%1(%2)").arg(field).arg(index);
    case Part::Entry:
        return QStringLiteral("%1(%2)").arg(field).arg(entry);
    case Part::Calibration:
        return index < 0
                   ? QStringLiteral("%1 of the calibration of entry %2").arg(field).arg(entry)
                   : QStringLiteral("%1 of the calibration of entry %2 (item %3)").arg(field).arg(entry).arg(index);
    }
    return field;
}

namespace {

// The fewest selected peaks each calibration model needs (Linear, Quadratic, Local Southern, Cubic,
// Quartic).
constexpr int kModelMinimumPeaks[limits::kModelCount] = {2, 3, 3, 4, 5};

// A stored single-precision value as it was written: 1e+30, not 1.0000000150474662e+30.
QString number(double v)
{
    const float f = float(v);
    if (double(f) == v)
        for (int precision = 6; precision <= 9; ++precision) {
            const QString text = QString::number(v, 'g', precision);
            if (text.toFloat() == f)
                return text;
        }
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

class Judge
{
public:
    explicit Judge(QList<RuleBreak> &out)
        : m_out(out)
    {}

    void within(const RuleBreak &at, double v, const limits::Range &range)
    {
        if (!range.contains(v))
            add(at, QStringLiteral("is %1, not from %2 to %3")
                        .arg(number(v), number(range.minimum), number(range.maximum)));
    }
    void choice(const RuleBreak &at, qint32 v, qint32 count)
    {
        if (v < 0 || v >= count)
            add(at, QStringLiteral("is %1, not from 0 to %2").arg(v).arg(count - 1));
    }
    void add(RuleBreak at, const QString &problem)
    {
        at.problem = problem;
        m_out.append(at);
    }

private:
    QList<RuleBreak> &m_out;
};

RuleBreak at(RuleBreak::Part part, const char *field, qint32 entry = -1, qint32 index = -1)
{
    RuleBreak b;
    b.part = part;
    b.field = QLatin1String(field);
    b.entry = entry;
    b.index = index;
    return b;
}

void judgeCalibration(Judge &judge, const SizeCalibration &c, qint32 e)
{
    using P = RuleBreak::Part;
    judge.choice(at(P::Calibration, "Kind", e), c.Kind(), 2);
    judge.choice(at(P::Calibration, "ModelIndex", e), c.ModelIndex(), limits::kModelCount);
    judge.choice(at(P::Calibration, "MigrationVariable", e), c.MigrationVariable(), 2);
    const QList<qint16> peaks = c.SelectedPeaks();
    const SizeStandardSettingsPtr standard = c.SizeStandard();
    if (!standard) {
        if (!peaks.isEmpty())
            judge.add(at(P::Calibration, "SelectedPeaks", e),
                      QStringLiteral("name peaks, but the entry has no size standard"));
        return;
    }
    QSet<qint16> seen;
    for (qsizetype p = 0; p < peaks.size(); ++p) {
        if (peaks[p] < 0 || peaks[p] >= standard->FragmentCount())
            judge.add(at(P::Calibration, "SelectedPeaks", e, qint32(p)),
                      QStringLiteral("is %1, not a fragment of the size standard \"%2\" (0 to %3)")
                          .arg(peaks[p])
                          .arg(printable(standard->Name()))
                          .arg(standard->FragmentCount() - 1));
        else if (seen.contains(peaks[p]))
            judge.add(at(P::Calibration, "SelectedPeaks", e, qint32(p)),
                      QStringLiteral("selects the peak %1 a second time").arg(peaks[p]));
        seen.insert(peaks[p]);
    }
    if (c.ModelIndex() >= 0 && c.ModelIndex() < limits::kModelCount &&
        peaks.size() < kModelMinimumPeaks[c.ModelIndex()])
        judge.add(at(P::Calibration, "SelectedPeaks", e),
                  QStringLiteral("select %1 peaks, fewer than the model %2 needs (%3)")
                      .arg(peaks.size())
                      .arg(c.ModelName(c.ModelIndex()))
                      .arg(kModelMinimumPeaks[c.ModelIndex()]));
}

} // namespace

QList<RuleBreak> ruleBreaks(const FragAnalysisParam &s)
{
    using P = RuleBreak::Part;
    QList<RuleBreak> out;
    Judge judge(out);
    if (s.TypeCode() != limits::kFragAnalysisTypeCode)
        judge.add(at(P::Set, "TypeCode"),
                  QStringLiteral("is %1, not %2").arg(s.TypeCode()).arg(limits::kFragAnalysisTypeCode));
    judge.within(at(P::Set, "SlopeThreshold"), s.SlopeThreshold(), limits::kSlopeThreshold);
    judge.choice(at(P::Set, "IDStandardBySize"), s.IDStandardBySize(), 2);
    judge.choice(at(P::Set, "QuantityByHeight"), s.QuantityByHeight(), 2);
    for (qint32 i = 0; i < limits::kQuantitationRows; ++i) {
        const float sizeTime = s.QuantSizeTime(i);
        const float window = s.QuantWindow(i);
        judge.within(at(P::Set, "QuantSizeTime", -1, i), sizeTime, limits::kSizeTime);
        judge.within(at(P::Set, "QuantWindow", -1, i), window, limits::kWindow);
        if (window != 0 && sizeTime - std::fabs(window) <= 0)
            judge.add(at(P::Set, "QuantSizeTime", -1, i),
                      QStringLiteral("is %1, not greater than its window %2").arg(number(sizeTime), number(window)));
        // An amount is a mantissa from 1 to 9.999 times a power of ten within the editor's range, or 0.
        const float amount = s.QuantAmount(i);
        const double least = std::pow(10.0, limits::kAmountPower.minimum);
        const double beyond = std::pow(10.0, limits::kAmountPower.maximum + 1);
        if (!(amount == 0 || (amount >= least && amount < beyond)))
            judge.add(at(P::Set, "QuantAmount", -1, i), QStringLiteral("is %1, not 0 or from 1e%2 to below 1e%3")
                                                            .arg(number(amount))
                                                            .arg(limits::kAmountPower.minimum)
                                                            .arg(limits::kAmountPower.maximum + 1));
        judge.choice(at(P::Set, "QuantUnit", -1, i), s.QuantUnit(i), limits::kUnitCount);
    }
    if (s.EntryCount() < 1)
        judge.add(at(P::Set, "EntryCount"), QStringLiteral("is 0; a set has at least one size-calling entry"));
    for (qint32 e = 0; e < s.EntryCount(); ++e) {
        judge.within(at(P::Entry, "RelativePeakHeightThreshold", e), s.RelativePeakHeightThreshold(e),
                     limits::kRelativePeakHeight);
        judge.within(at(P::Entry, "ConfidenceLevel", e), s.ConfidenceLevel(e), limits::kConfidenceLevel);
        if (const SizeCalibrationPtr c = s.SizeCalibration(e))
            judgeCalibration(judge, *c, e);
    }
    return out;
}

} // namespace veltrane
