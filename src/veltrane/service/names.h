#pragma once

#include <QString>

namespace veltrane::names {

// Flow names.
inline const QString kFlowSelect = QStringLiteral("SelectAnalysisParameters");
inline const QString kFlowEdit = QStringLiteral("EditAnalysisParameters");
inline const QString kFlowSaveAs = QStringLiteral("SaveAnalyisParameterAs");
inline const QString kFlowSnpTagEditor = QStringLiteral("SNPLocusTagEditor");

// Business context keys.
inline const QString kKeyAnalysisParameter = QStringLiteral("AnalysisParameter");
inline const QString kKeyIsNew = QStringLiteral("IsNew");
inline const QString kKeySaveParamAs = QStringLiteral("SaveParamAs");
inline const QString kKeyParamName = QStringLiteral("ParamName");
inline const QString kKeyNewSaveAs = QStringLiteral("NewSaveAs");
inline const QString kKeySnpLocusTag = QStringLiteral("SNPLocusTag");
inline const QString kKeySaveTimes = QStringLiteral("SaveTimes");
inline const QString kKeySkipForward = QStringLiteral("Skip>>");
inline const QString kKeySkipBack = QStringLiteral("<<Skip");
inline const QString kKeyStudy = QStringLiteral("Study");
inline const QString kKeySamples = QStringLiteral("Samples");

// Stored names the library relies on.
inline const QString kDefaultParameterSet = QStringLiteral("DefaultFragmentAnalysisParameters");
inline const QString kWorkingParameters = QStringLiteral("WorkingAnalysisParameters");
inline const QString kNone = QStringLiteral("[None]");

// Type and query names of the business-object layer.
inline const QString kTypeAnalysisParameter = QStringLiteral("AnalysisParameter");
inline const QString kTypeGridType = QStringLiteral("GridType");
inline const QString kFieldGridTypeId = QStringLiteral("GridTypeID");
inline const QString kQueryParametersNotHidden = QStringLiteral("AnalysisParametersNotHidden");

} // namespace veltrane::names
