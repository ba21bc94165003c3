#pragma once

// The words the library and its host share: flow names, business context keys, business-object
// type, query and field names, stored names the pages rely on, and the limits both sides enforce.
// Every such text is spelled here once; host and library both include this header.

#include <QString>
#include <QtGlobal>

namespace veltrane {

// Flows the library starts by name.
namespace flows {
inline const QString kSelectAnalysisParameters = QStringLiteral("SelectAnalysisParameters");
inline const QString kEditAnalysisParameters = QStringLiteral("EditAnalysisParameters");
// The name is spelled as hosts have always registered it.
inline const QString kSaveAnalysisParameterAs = QStringLiteral("SaveAnalyisParameterAs");
inline const QString kSNPLocusTagEditor = QStringLiteral("SNPLocusTagEditor");
// The name text the selection flow is started with (the window remembers its size under it).
inline const QString kWorkingAnalysisParameters = QStringLiteral("WorkingAnalysisParameters");
} // namespace flows

// Class names of the library's pages, by which a framework creates them for its flows.
namespace pages {
inline const QString kSelectParamPage = QStringLiteral("SelectParamPage");
inline const QString kAnalysisParamPage = QStringLiteral("AnalysisParamPage");
inline const QString kSaveAsParamPage = QStringLiteral("SaveAsParamPage");
} // namespace pages

// The host's STR locus tag selector, which the editor places on its STR tab: the editor knows it
// only by its programmatic identifier and two dispatch ids.
namespace str_selector {
inline const QString kProgId = QStringLiteral("VeltraneHost.STRLocusTagSelector");
constexpr qint32 kInitialize = 0x60030004; // (AnalysisParameter, by reference)
constexpr qint32 kSave = 0x60030005;       // (FragAnalysisParam, by reference)
} // namespace str_selector

// The dispatch ids by which the editor initialises and saves through the library's own SNP locus
// tag selector.
namespace snp_selector {
constexpr qint32 kInitialize = 0x60030002; // (AnalysisParameter, by reference)
constexpr qint32 kSave = 0x60030003;       // (FragAnalysisParam, by reference)
} // namespace snp_selector

// Window titles the pages set (a flow's window shows them until a page sets another).
namespace titles {
inline const QString kAnalysisParameters = QStringLiteral("Analysis Parameters");
inline const QString kEditParameters = QStringLiteral("Edit Fragment Analysis Parameters");
inline const QString kNewParameters = QStringLiteral("New Fragment Analysis Parameters");
} // namespace titles

// Business context keys (compared without regard to case).
namespace keys {
inline const QString kAnalysisParameter = QStringLiteral("AnalysisParameter");
inline const QString kIsNew = QStringLiteral("IsNew");
inline const QString kSaveParamAs = QStringLiteral("SaveParamAs");
inline const QString kParamName = QStringLiteral("ParamName");
inline const QString kNewSaveAs = QStringLiteral("NewSaveAs");
inline const QString kSNPLocusTag = QStringLiteral("SNPLocusTag");
inline const QString kSaveTimes = QStringLiteral("SaveTimes");
// Steering keys a host flow may put in front of the selection page.
inline const QString kSkipForward = QStringLiteral("Skip>>");
inline const QString kSkipBack = QStringLiteral("<<Skip");
inline const QString kStudy = QStringLiteral("Study");
inline const QString kSamples = QStringLiteral("Samples");
} // namespace keys

// Business-object type names (NewObject, LoadObject).
namespace types {
inline const QString kAnalysisParameter = QStringLiteral("AnalysisParameter");
inline const QString kFragAnalysisParam = QStringLiteral("FragAnalysisParam");
inline const QString kSizeCalibration = QStringLiteral("SizeCalibration");
inline const QString kSizeStandard = QStringLiteral("SizeStandard");
inline const QString kMobilityCalibration = QStringLiteral("MobilityCalibration");
inline const QString kStandardMobilityReference = QStringLiteral("StandardMobilityReference");
inline const QString kSNPLocusTag = QStringLiteral("SNPLocusTag");
inline const QString kSTRLocusTag = QStringLiteral("STRLocusTag");
inline const QString kProject = QStringLiteral("Project");
inline const QString kGrid = QStringLiteral("Grid");
inline const QString kGridType = QStringLiteral("GridType");
} // namespace types

// Query names (LoadCollection).
namespace queries {
inline const QString kAnalysisParametersNotHidden = QStringLiteral("AnalysisParametersNotHidden");
inline const QString kAnalysisParameters = QStringLiteral("AnalysisParameters");
inline const QString kSizeStandards = QStringLiteral("SizeStandards");
inline const QString kMobilityCalibrations = QStringLiteral("MobilityCalibrations");
inline const QString kSNPLocusTags = QStringLiteral("SNPLocusTags");
inline const QString kSTRLocusTags = QStringLiteral("STRLocusTags");
inline const QString kProjects = QStringLiteral("Projects");
inline const QString kStandardMobilityReference = QStringLiteral("StandardMobilityReference");
} // namespace queries

// Key fields of collections and objects.
namespace fields {
inline const QString kID = QStringLiteral("ID");
inline const QString kName = QStringLiteral("Name");
inline const QString kGridTypeID = QStringLiteral("GridTypeID");
} // namespace fields

// Stored names and list entries the pages rely on.
namespace stored {
inline const QString kDefaultParameterSet = QStringLiteral("DefaultFragmentAnalysisParameters");
inline const QString kDefaultProject = QStringLiteral("Default");
// The first entry of the size standard and mobility reference lists: no object chosen.
inline const QString kNone = QStringLiteral("[None]");
// What the summary shows for a set without a calibration model.
inline const QString kNoModel = QStringLiteral("None");
} // namespace stored

// Stored grid layout numbers.
namespace layouts {
constexpr qint32 kMobility = 12;
constexpr qint32 kSizeStandard = 15;
constexpr qint32 kLocusTagSummary = 16;
constexpr qint32 kSNPLocusTags = 24;
} // namespace layouts

// Limits both the library and the store enforce.
namespace limits {
// Size-calling entries of one parameter set (entries 0 to 255).
constexpr qint32 kSizeCallingEntries = 256;
// Attribute bits of a stored parameter set or size standard: either of the two lowest makes it
// read-only, 4 hides it. Other bits mean nothing here; they are stored and exported as they are.
constexpr qint32 kReadOnlyBits = 3;
constexpr qint32 kHiddenBit = 4;
// The type code of a fragment analysis parameter set's settings.
constexpr qint32 kFragAnalysisTypeCode = 1011;
// Calibration models 0 to 4 and quantity units 0 to 3 ("g", "mol", "M", "g/L").
constexpr qint32 kModelCount = 5;
constexpr qint32 kUnitCount = 4;
// Rows of the quantitation table and dyes of the dye spectra.
constexpr qint32 kQuantitationRows = 4;

// The longest name of a stored object (a parameter set, a size standard, a tag, a project, ...) and the
// longest of its other texts (an SNP locus tag's texts, a calibration's name), in characters as
// Unicode counts them (after the name is composed, see storedName()). A name is as long as the save-as
// page lets one be typed; lists, grids and the editor show either whole.
constexpr qint32 kNameLength = 128;
constexpr qint32 kTextLength = 255;

// The ranges the editor accepts (minimum and maximum, both included).
struct Range
{
    double minimum;
    double maximum;
    constexpr bool contains(double v) const { return v >= minimum && v <= maximum; }
};
constexpr Range kSizeTime{0, 2000};
constexpr Range kWindow{0, 1999};
constexpr Range kSlopeThreshold{1, 1000};
constexpr Range kRelativePeakHeight{0, 100};
constexpr Range kConfidenceLevel{75, 99};
// The power of ten of a quantitation amount.
constexpr Range kAmountPower{-25, 25};
} // namespace limits

} // namespace veltrane
