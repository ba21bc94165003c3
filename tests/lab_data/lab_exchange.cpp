#include "lab_data/lab_exchange.h"

#include "host/objects/json_exchange.h"

#include <QJsonArray>
#include <QJsonObject>

namespace veltrane::testing {

QJsonDocument labExchange(int setCount, int snpTagCount, const QString &prefix, int sizeStandardCount)
{
    const QString ladder = prefix + QStringLiteral(" Ladder");
    const QString mobility = prefix + QStringLiteral(" Mobility");
    const QString reference = prefix + QStringLiteral(" Reference");
    QJsonArray fragments;
    for (float size : {35, 50, 75, 100, 139, 150, 160, 200, 250, 300, 340, 350, 400, 450, 490, 500})
        fragments.append(size);
    QJsonArray strTags, snpTags, sets;
    for (int i = 0; i < 30; ++i)
        strTags.append(QJsonObject{{"name", QStringLiteral("STR-%1").arg(i, 2, 10, QLatin1Char('0'))},
                                   {"dye", i % 4},
                                   {"minSize", 100 + i},
                                   {"maxSize", 150 + i},
                                   {"dateModified", "2024-01-15T09:30:00Z"}});
    for (int i = 0; i < snpTagCount; ++i)
        snpTags.append(
            QJsonObject{{"name", QStringLiteral("rs%1").arg(1000000 + i * 7)},
                        {"tagNumber", 40 + (i % 400) * 0.5},
                        {"texts", QJsonArray{QStringLiteral("Chr %1").arg(1 + i % 22), "A/G", "Identity", ""}},
                        {"dateModified", "2024-01-15T09:30:00Z"}});
    QJsonArray peaks;
    for (int p = 0; p < 16; ++p)
        if (p != 8 && p != 10)
            peaks.append(p);
    QJsonArray rows;
    for (int r = 0; r < 4; ++r)
        rows.append(QJsonObject{{"sizeTime", 100 * (r + 1)}, {"window", 5}, {"amount", 1e-9}, {"unit", 0}});
    for (int s = 0; s < setCount; ++s) {
        QJsonArray str, snp;
        for (int t = 0; t < 15; ++t)
            str.append(strTags.at((s + t) % strTags.size())[QStringLiteral("name")]);
        for (int t = 0; t < 4; ++t)
            snp.append(snpTags.at((s * 4 + t) % snpTagCount)[QStringLiteral("name")]);
        const QJsonObject entry{{"identifyAlleles", true},
                                {"relativePeakHeightThreshold", 10},
                                {"confidenceLevel", 95},
                                {"calibration", QJsonObject{{"name", ""},
                                                            {"kind", 1},
                                                            {"modelIndex", 2},
                                                            {"migrationVariable", 1},
                                                            {"enumTypeId", 0},
                                                            {"selectedPeaks", peaks},
                                                            {"sizeStandard", ladder}}},
                                {"strLocusTags", str},
                                {"snpLocusTags", snp}};
        sets.append(QJsonObject{{"name", QStringLiteral("Set %1").arg(s, 5, 10, QLatin1Char('0'))},
                                {"project", prefix},
                                {"projectId", ""},
                                {"projectName", prefix},
                                {"typeCode", 1011},
                                {"attributes", 0},
                                {"dateCreated", "2024-01-15T09:30:00Z"},
                                {"dateModified", "2024-02-01T12:00:00Z"},
                                {"slopeThreshold", 10},
                                {"snpAnalysis", false},
                                {"sizeStandard", ladder},
                                {"mobilityCalibration", mobility},
                                {"mobilityReference", reference},
                                {"useCalculatedDyeSpectra", false},
                                {"dyeSpectra", QJsonArray{true, true, true, true}},
                                {"idStandardBySize", 1},
                                {"quantityByHeight", 1},
                                {"quantitation", rows},
                                {"entries", QJsonArray{entry}}});
    }
    QJsonArray coefficients;
    for (int r = 0; r < 4; ++r)
        coefficients.append(QJsonArray{1.0, 0.01 * r, -0.0001 * r, 0.0});
    QJsonArray standards;
    for (int i = 0; i < sizeStandardCount; ++i)
        standards.append(
            QJsonObject{{"name", i == 0 ? ladder : QStringLiteral("%1 %2").arg(ladder).arg(i, 5, 10, QLatin1Char('0'))},
                        {"attributes", 0},
                        {"dyeIndex", 3 - i % 4},
                        {"fitCoefficient", 0.9996},
                        {"fragments", fragments}});
    return QJsonDocument(QJsonObject{
        {"format", host::kExchangeFormatName},
        {"version", host::kExchangeFormatVersion},
        {"projects", QJsonArray{QJsonObject{{"name", prefix}}}},
        {"sizeStandards", standards},
        {"mobilityCalibrations", QJsonArray{QJsonObject{{"name", mobility}, {"coefficients", coefficients}}}},
        {"mobilityReferences", QJsonArray{QJsonObject{{"name", reference}, {"enumTypeId", 1}}}},
        {"strLocusTags", strTags},
        {"snpLocusTags", snpTags},
        {"sets", sets}});
}

} // namespace veltrane::testing
