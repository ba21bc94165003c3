#include "veltrane/select_page/parameter_summary.h"

#include "veltrane/common/formats.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/stored_rules.h"
#include "veltrane/contracts/vocabulary.h"

namespace veltrane {

namespace {

const QString kSource = QStringLiteral("SelectParamPage");

FragAnalysisParamPtr settingsOf(const AnalysisParameter &set)
{
    FragAnalysisParamPtr settings = set.FragAnalysisParam();
    if (!settings)
        throw Error::objectNotSet(kSource, QStringLiteral("the set has no settings"));
    return settings;
}

template <typename Tag>
void appendTags(QList<LocusTagLine> &lines, const FragAnalysisParam &settings, const CollectionPtr &tags,
                const char *expected)
{
    for (const QVariant &item : *tags) {
        auto tag = objectFrom<Tag>(item);
        if (!tag)
            throw Error::typeMismatch(kSource, QLatin1String(expected));
        lines.append({tag->Name(), generalDate(settings.ConvertDate(tag->DateModified()))});
    }
}

// A failure caused by a stored value the editor would never have saved (an old store, another
// program) names the set and the value.
Error outOfRule(const Error &e, const FragAnalysisParam &settings)
{
    const QList<RuleBreak> breaks = ruleBreaks(settings);
    if (breaks.isEmpty())
        return e;
    return Error(e.number(), e.source(),
                 QStringLiteral("The parameter set \"%1\" cannot be shown: its %2.")
                     .arg(printable(settings.Name()), breaks.first().text()));
}

} // namespace

QString summaryProject(const AnalysisParameter &set)
{
    return settingsOf(set)->ProjectName();
}

QString summaryDateModified(const AnalysisParameter &set)
{
    const FragAnalysisParamPtr settings = settingsOf(set);
    return generalDate(settings->ConvertDate(settings->DateModified()));
}

QString summaryCalibration(const AnalysisParameter &set)
{
    const MobilityCalibrationSettingsPtr calibration = settingsOf(set)->DyeMobilityCalibration();
    return calibration ? calibration->Name() : QString();
}

QString summaryStandard(const AnalysisParameter &set)
{
    const SizeStandardSettingsPtr standard = settingsOf(set)->SizeStandard();
    return standard ? standard->Name() : stored::kNone;
}

bool summaryHasEntries(const AnalysisParameter &set)
{
    return settingsOf(set)->EntryCount() > 0;
}

QString summaryModel(const AnalysisParameter &set)
{
    const FragAnalysisParamPtr settings = settingsOf(set);
    const SizeCalibrationPtr entry = settings->SizeCalibration(0);
    if (!entry)
        return stored::kNoModel;
    try {
        return entry->ModelName(entry->ModelIndex());
    } catch (const Error &e) {
        throw outOfRule(e, *settings);
    }
}

QList<LocusTagLine> summaryLocusTags(const AnalysisParameter &set)
{
    const FragAnalysisParamPtr settings = settingsOf(set);
    const CollectionPtr str = settings->STRLocusTagsOf(0);
    const CollectionPtr snp = settings->SNPLocusTagsOf(0);
    QList<LocusTagLine> lines;
    lines.reserve(str->Count() + snp->Count());
    appendTags<STRLocusTag>(lines, *settings, str, "STR locus tag expected");
    appendTags<SNPLocusTagSettings>(lines, *settings, snp, "SNP locus tag expected");
    return lines;
}

ParameterSummary summarizeParameterSet(const AnalysisParameter &set)
{
    ParameterSummary s;
    s.project = summaryProject(set);
    s.dateModified = summaryDateModified(set);
    s.calibration = summaryCalibration(set);
    s.standard = summaryStandard(set);
    s.hasEntries = summaryHasEntries(set);
    if (!s.hasEntries)
        return s;
    s.model = summaryModel(set);
    s.tags = summaryLocusTags(set);
    return s;
}

} // namespace veltrane
