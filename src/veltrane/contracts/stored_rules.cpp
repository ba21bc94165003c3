#include "veltrane/contracts/stored_rules.h"

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

} // namespace veltrane
