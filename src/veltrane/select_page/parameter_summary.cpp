#include "veltrane/select_page/parameter_summary.h"

#include "veltrane/common/formats.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/vocabulary.h"

namespace veltrane {

ParameterSummary summarizeParameterSet(const AnalysisParameter &set)
{
    const FragAnalysisParamPtr settings = set.FragAnalysisParam();
    if (!settings)
        throw Error::objectNotSet(QStringLiteral("SelectParamPage"), QStringLiteral("the set has no settings"));

    ParameterSummary s;
    s.project = settings->ProjectName();
    s.dateModified = generalDate(settings->ConvertDate(settings->DateModified()));
    if (auto calibration = settings->DyeMobilityCalibration())
        s.calibration = calibration->Name();
    if (auto standard = settings->SizeStandard())
        s.standard = standard->Name();
    else
        s.standard = stored::kNone;

    if (settings->EntryCount() <= 0)
        return s;
    s.hasEntries = true;

    if (SizeCalibrationPtr entry = settings->SizeCalibration(0))
        s.model = entry->ModelName(entry->ModelIndex());
    else
        s.model = stored::kNoModel;

    const CollectionPtr str = settings->STRLocusTagsOf(0);
    const CollectionPtr snp = settings->SNPLocusTagsOf(0);
    s.tags.reserve(str->Count() + snp->Count());
    for (const QVariant &item : *str) {
        auto tag = objectFrom<STRLocusTag>(item);
        if (!tag)
            throw Error::typeMismatch(QStringLiteral("SelectParamPage"), QStringLiteral("STR locus tag expected"));
        s.tags.append({tag->Name(), generalDate(settings->ConvertDate(tag->DateModified()))});
    }
    for (const QVariant &item : *snp) {
        auto tag = objectFrom<SNPLocusTagSettings>(item);
        if (!tag)
            throw Error::typeMismatch(QStringLiteral("SelectParamPage"), QStringLiteral("SNP locus tag expected"));
        s.tags.append({tag->Name(), generalDate(settings->ConvertDate(tag->DateModified()))});
    }
    return s;
}

} // namespace veltrane
