#pragma once

// The parameter set editor's words: its tabs and the captions of its fields, spelled once for the
// editor that shows them and for whatever speaks about a set in the editor's terms (a comparison of
// two sets, the command line). "&" marks an access key; a trailing ":" belongs to a field's label.

#include <QString>
#include <QStringList>

namespace veltrane::editor {

// The editor's six tabs, in order, with their captions.
enum Tab : int { General = 0, AnalysisMethod, Quantitation, STRLocusTags, SNPLocusTags, Advanced, TabCount };

inline QString tabCaption(Tab tab)
{
    static const char *const captions[TabCount] = {"&General",        "Analysis &Method", "&Quantitation",
                                                   "S&TR Locus Tags", "SN&P Locus Tags",  "Ad&vanced"};
    return QString::fromLatin1(captions[tab]);
}

// The quantity units, by list index (the index is what a set stores).
inline QStringList unitNames()
{
    return {QStringLiteral("g"), QStringLiteral("mol"), QStringLiteral("M"), QStringLiteral("g/L")};
}

// A caption as text reads it: without the access key's "&" and the label's trailing ":".
inline QString plainCaption(QString caption)
{
    caption.remove(QLatin1Char('&'));
    if (caption.endsWith(QLatin1Char(':')))
        caption.chop(1);
    return caption;
}

namespace captions {
// The header, above the tabs.
inline const QString kParameterSetName = QStringLiteral("Parameter Set Name:");
inline const QString kProject = QStringLiteral("Project:");
// General.
inline const QString kParameterSet = QStringLiteral("Parameter Set");
inline const QString kDateCreated = QStringLiteral("Date created:");
inline const QString kDateModified = QStringLiteral("Date modified:");
inline const QString kAlleleIdentification = QStringLiteral("Allele Identification");
inline const QString kIdentifyAlleles = QStringLiteral("Identify STR Alleles");
inline const QString kSNPAnalysis = QStringLiteral("SNP Analysis");
inline const QString kConfidence = QStringLiteral("Size Estimation and Allele ID Confidence");
inline const QString kConfidenceLevel = QStringLiteral("Confidence level:");
inline const QString kPeakCriteria = QStringLiteral("Peak Criteria");
inline const QString kRelativePeakHeight = QStringLiteral("Relative peak height threshold:");
inline const QString kSlopeThreshold = QStringLiteral("Slope threshold:");
inline const QString kPercent = QStringLiteral("%");
// Analysis Method.
inline const QString kSizeStandard = QStringLiteral("Size standard:");
inline const QString kDye = QStringLiteral("Dye:");
inline const QString kFitCoefficient = QStringLiteral("Size Standard Fit Coefficient:");
inline const QString kModel = QStringLiteral("Model:");
inline const QString kMigrationVariable = QStringLiteral("Migration Variable");
inline const QString kMigrationTime = QStringLiteral("Migration time");
inline const QString kMobility = QStringLiteral("Mobility");
inline const QString kSelectedPeaks = QStringLiteral("Selected Peaks:");
// Quantitation.
inline const QString kIDStandard = QStringLiteral("ID Standard");
inline const QString kSize = QStringLiteral("Size");
inline const QString kTime = QStringLiteral("Time");
inline const QString kCalculateUsing = QStringLiteral("Calculate Using");
inline const QString kHeight = QStringLiteral("Height");
inline const QString kArea = QStringLiteral("Area");
inline const QString kQuantitationValues = QStringLiteral("Quantitation Values");
inline const QString kWindow = QStringLiteral("+/- Window");
inline const QString kAmount = QStringLiteral("Amount");
inline const QString kUnits = QStringLiteral("Units");
inline const QString kAmountPower = QStringLiteral("E"); // between an amount's mantissa and its power
// Advanced.
inline const QString kDyeSpectra = QStringLiteral("Dye Spectra");
inline const QString kUseCalculatedDyeSpectra = QStringLiteral("Use calculated dye spectra");
inline const QString kUseSystemDyeSpectra = QStringLiteral("Use system dye spectra");
inline const QString kMobilityFrame = QStringLiteral("Mobility");
inline const QString kDyeMobilityCalibration = QStringLiteral("Dye Mobility Calibration:");
inline const QString kStandardMobilityReference = QStringLiteral("Standard mobility reference:");

// "D1" to "D4": the dye of a quantitation row and of a dye spectra box (row from 0).
inline QString dyeName(int row)
{
    return QStringLiteral("D%1").arg(row + 1);
}
// "Coef. 1" to "Coef. 4": a row of the mobility grid's header column (row from 0).
inline QString coefficientRow(int row)
{
    return QStringLiteral("Coef. %1").arg(row + 1);
}
} // namespace captions

} // namespace veltrane::editor
