#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace veltrane::editor {

// The editor's six tabs, in order, with their captions ("&" marks the access key).
enum Tab : int { General = 0, AnalysisMethod, Quantitation, STRLocusTags, SNPLocusTags, Advanced, TabCount };

inline QString tabCaption(Tab tab)
{
    static const char *const captions[TabCount] = {"&General",        "Analysis &Method", "&Quantitation",
                                                   "S&TR Locus Tags", "SN&P Locus Tags",  "Ad&vanced"};
    return QString::fromLatin1(captions[tab]);
}

// What a screen reader calls a field of quantitation row `row` (from 0) under the column titled so.
inline QString quantitationFieldName(int row, const QString &column)
{
    return QStringLiteral("D%1 %2").arg(row + 1).arg(column);
}

// The quantity units, by list index (the index is what a set stores).
inline QStringList unitNames()
{
    return {QStringLiteral("g"), QStringLiteral("mol"), QStringLiteral("M"), QStringLiteral("g/L")};
}

// Heights the editor gives its grids, in twips.
constexpr qint32 kMobilityGridHeightTwips = 1508;
constexpr qint32 kSizeStandardGridHeightTwips = 3735;

} // namespace veltrane::editor
