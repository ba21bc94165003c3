#include "veltrane/contracts/stored_rules.h"

#include "veltrane/contracts/keyed_collection.h"
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

// The characters Unicode lets a screen leave out (Default_Ignorable_Code_Point), beyond the formatting
// ones: they make two names that look the same.
bool defaultIgnorable(char32_t c)
{
    static constexpr std::pair<char32_t, char32_t> kRanges[] = {
        {0x00AD, 0x00AD},   {0x034F, 0x034F},   {0x061C, 0x061C}, {0x115F, 0x1160}, {0x17B4, 0x17B5},
        {0x180B, 0x180F},   {0x200B, 0x200F},   {0x202A, 0x202E}, {0x2060, 0x206F}, {0x3164, 0x3164},
        {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFF8}, {0x1BCA0, 0x1BCA3},
        {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
    };
    for (const auto &[first, last] : kRanges)
        if (c >= first && c <= last)
            return true;
    return false;
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
        return QChar::isNonCharacter(c) || defaultIgnorable(c);
    }
}

// Calls visit(c) for each character of the text and answers what it answers first, or why the text is
// not valid Unicode.
template <typename Visit> std::optional<QString> forEachCharacter(const QString &text, Visit &&visit)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text.at(i);
        char32_t c = unit.unicode();
        if (unit.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(unit, text.at(i + 1));
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
        default:
            break;
        }
        if (std::optional<QString> fault = visit(c))
            return fault;
    }
    return std::nullopt;
}

std::optional<QString> tooLong(qsizetype characters, qint32 limit, const char *what)
{
    if (characters <= limit)
        return std::nullopt;
    return QStringLiteral("it is %1 characters long, and %2 has at most %3")
        .arg(characters)
        .arg(QLatin1String(what))
        .arg(limit);
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

// Whether every character is a printable ASCII one (space to tilde): no rule but the length can
// refuse such a text, and nearly every name and text is one, so they skip the Unicode checks.
bool plainAscii(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    return true;
}

} // namespace

QString storedName(const QString &name)
{
    for (const QChar c : name)
        if (c.unicode() >= 0x80)
            return name.normalized(QString::NormalizationForm_C);
    return name;
}

std::optional<QString> nameFault(const QString &raw)
{
    if (plainAscii(raw))
        return tooLong(raw.size(), limits::kNameLength, "a name");
    // Broken Unicode is told before composing, which might hide it.
    if (std::optional<QString> broken = forEachCharacter(raw, [](char32_t) { return std::optional<QString>(); }))
        return broken;
    const QString name = storedName(raw);
    Family word = Family::None;
    QString wordText;
    qsizetype characters = 0;
    const std::optional<QString> fault = forEachCharacter(name, [&](char32_t c) -> std::optional<QString> {
        ++characters;
        switch (QChar::category(c)) {
        case QChar::Other_Format:
            return QStringLiteral("it holds an invisible formatting character (%1)").arg(codePoint(c));
        case QChar::Separator_Space:
            if (c != U' ')
                return QStringLiteral("it holds a space other than the ordinary one (%1)").arg(codePoint(c));
            break;
        case QChar::Other_NotAssigned:
            return QStringLiteral("it holds a character Unicode has not assigned (%1)").arg(codePoint(c));
        default:
            break;
        }
        if (defaultIgnorable(c))
            return QStringLiteral("it holds an invisible character (%1)").arg(codePoint(c));
        if (!QChar::isLetter(c)) {
            if (!QChar::isMark(c)) {
                word = Family::None;
                wordText.clear();
            }
            return std::nullopt;
        }
        wordText += QString::fromUcs4(&c, 1);
        const Family family = familyOf(c);
        if (family == Family::None)
            return std::nullopt;
        if (word != Family::None && word != family)
            return QStringLiteral("a word of it mixes Latin letters with Cyrillic or Greek ones, which look alike "
                                  "(\"%1...\")")
                .arg(wordText);
        word = family;
        return std::nullopt;
    });
    if (fault)
        return fault;
    return tooLong(characters, limits::kNameLength, "a name");
}

std::optional<QString> textFault(const QString &text)
{
    if (plainAscii(text))
        return tooLong(text.size(), limits::kTextLength, "a text");
    qsizetype characters = 0;
    if (std::optional<QString> fault = forEachCharacter(text, [&characters](char32_t c) -> std::optional<QString> {
            ++characters;
            // SQLite takes one at the start of a text for the mark of its byte order, and drops it.
            if (c == 0xFEFF)
                return QStringLiteral("it holds a byte order mark (U+FEFF)");
            return std::nullopt;
        }))
        return fault;
    return tooLong(characters, limits::kTextLength, "a text");
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
    case Part::Definition:
        if (field == QLatin1String("Coefficient"))
            return QStringLiteral("%1(%2, %3)").arg(field).arg(index / 4).arg(index % 4);
        return index < 0 ? field : QStringLiteral("%1(%2)").arg(field).arg(index);
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
    void finite(const RuleBreak &at, double v)
    {
        if (!std::isfinite(v))
            add(at, QStringLiteral("is %1, not a finite number").arg(number(v)));
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

// The key a name is told apart by, as collections compare it (trailing blanks do not count).
QString nameKeyOf(const QString &name)
{
    qsizetype n = name.size();
    while (n > 0 && name.at(n - 1) == QLatin1Char(' '))
        --n;
    return KeyedCollection::fold(name.left(n));
}

// A locus tag named twice in one entry's list.
void judgeTagList(Judge &judge, const CollectionPtr &list, const char *field, qint32 e)
{
    if (!list)
        return;
    QSet<QString> seen;
    qint32 position = 0;
    for (const QVariant &item : *list) {
        if (const auto tag = objectFrom<BusinessObject>(item)) {
            const QString key = nameKeyOf(tag->Name());
            if (seen.contains(key))
                judge.add(at(RuleBreak::Part::Entry, field, e, position),
                          QStringLiteral("lists the locus tag \"%1\" a second time").arg(printable(tag->Name())));
            seen.insert(key);
        }
        ++position;
    }
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
        judgeTagList(judge, s.STRLocusTagsOf(e), "STRLocusTags", e);
        judgeTagList(judge, s.SNPLocusTagsOf(e), "SNPLocusTags", e);
    }
    // What the editor's controls can hold together: the two analyses exclude each other, and the set's
    // size standard is the one its first entry is calibrated with ("[None]" leaves both empty).
    if (s.EntryCount() > 0) {
        if (s.SNPAnalysis() && s.IdentifyAlleles(0))
            judge.add(at(P::Entry, "IdentifyAlleles", 0),
                      QStringLiteral("is on together with SNPAnalysis; a set identifies STR alleles or does SNP "
                                     "analysis, not both"));
        const SizeCalibrationPtr first = s.SizeCalibration(0);
        const SizeStandardSettingsPtr standard = s.SizeStandard();
        const SizeStandardSettingsPtr calibrated = first ? first->SizeStandard() : SizeStandardSettingsPtr();
        if (!standard && first)
            judge.add(at(P::Set, "SizeStandard"),
                      QStringLiteral("is none, but entry 0 has a calibration (model %1); a set without a size "
                                     "standard has no calibration")
                          .arg(first->ModelIndex()));
        else if (standard && !first)
            judge.add(
                at(P::Set, "SizeStandard"),
                QStringLiteral("is \"%1\", but entry 0 has no calibration with it").arg(printable(standard->Name())));
        else if (standard && (!calibrated || nameKeyOf(calibrated->Name()) != nameKeyOf(standard->Name())))
            judge.add(at(P::Set, "SizeStandard"),
                      QStringLiteral("is \"%1\", but entry 0 is calibrated with %2")
                          .arg(printable(standard->Name()),
                               calibrated ? QStringLiteral("\"%1\"").arg(printable(calibrated->Name()))
                                          : QStringLiteral("no size standard")));
    }
    return out;
}

namespace {

RuleBreak definitionAt(const char *field, qint32 index = -1)
{
    return at(RuleBreak::Part::Definition, field, -1, index);
}

void judgeDye(Judge &judge, const char *field, qint32 dye)
{
    judge.choice(definitionAt(field), dye, limits::kQuantitationRows);
}

} // namespace

QList<RuleBreak> ruleBreaks(const SizeStandardSettings &standard)
{
    QList<RuleBreak> out;
    Judge judge(out);
    judgeDye(judge, "DyeIndex", standard.DyeIndex());
    judge.within(definitionAt("FitCoefficient"), standard.FitCoefficient(), limits::Range{0, 1});
    const QList<float> sizes = standard.FragmentSizes();
    if (sizes.size() < kModelMinimumPeaks[0])
        judge.add(definitionAt("FragmentSizes"),
                  QStringLiteral("holds %1 fragments; a size standard has at least %2, as the simplest model needs")
                      .arg(sizes.size())
                      .arg(kModelMinimumPeaks[0]));
    for (qsizetype f = 0; f < sizes.size(); ++f) {
        const RuleBreak place = definitionAt("FragmentSizes", qint32(f));
        if (!std::isfinite(sizes[f]) || sizes[f] <= 0)
            judge.add(place, QStringLiteral("is %1, not a size greater than 0").arg(number(sizes[f])));
        else if (f > 0 && std::isfinite(sizes[f - 1]) && sizes[f] <= sizes[f - 1])
            judge.add(place, QStringLiteral("is %1, not larger than the fragment before it (%2); fragments ascend")
                                 .arg(number(sizes[f]), number(sizes[f - 1])));
    }
    return out;
}

QList<RuleBreak> ruleBreaks(const MobilityCalibrationSettings &calibration)
{
    QList<RuleBreak> out;
    Judge judge(out);
    for (qint16 row = 0; row < 4; ++row)
        for (qint16 column = 0; column < 4; ++column)
            judge.finite(definitionAt("Coefficient", row * 4 + column), calibration.Coefficient(row, column));
    return out;
}

QList<RuleBreak> ruleBreaks(const STRLocusTag &tag)
{
    QList<RuleBreak> out;
    Judge judge(out);
    judgeDye(judge, "Dye", tag.Dye());
    for (const auto &[field, size] : {std::pair{"MinSize", tag.MinSize()}, std::pair{"MaxSize", tag.MaxSize()}})
        if (!std::isfinite(size) || size < 0)
            judge.add(definitionAt(field), QStringLiteral("is %1, not a size of 0 or more").arg(number(size)));
    if (std::isfinite(tag.MinSize()) && std::isfinite(tag.MaxSize()) && tag.MinSize() > tag.MaxSize())
        judge.add(definitionAt("MaxSize"),
                  QStringLiteral("is %1, smaller than MinSize %2").arg(number(tag.MaxSize()), number(tag.MinSize())));
    return out;
}

QList<RuleBreak> ruleBreaks(const SNPLocusTagSettings &tag)
{
    QList<RuleBreak> out;
    Judge judge(out);
    judge.finite(definitionAt("TagNumber"), tag.TagNumber());
    return out;
}

} // namespace veltrane
