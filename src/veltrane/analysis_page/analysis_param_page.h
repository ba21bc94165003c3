#pragma once

#include "platform/forms/control_array.h"
#include "veltrane/common/page_kit.h"
#include "veltrane/contracts/business_objects.h"
#include "veltrane/contracts/page_framework.h"

#include <QList>
#include <QWidget>
#include <optional>

namespace veltrane {

class CheckBox;
class ComboBox;
class CommandButton;
class Frame;
class GridControl;
class Label;
class OptionButton;
class TabControl;
class TextBox;
class UpDown;

// The editor of one fragment analysis parameter set: a header with the set's name and project, and
// six tabs of settings. The framework hands it the set under "AnalysisParameter"; Save writes a
// complete new settings object into that same set.
//
// The page's procedures are spread over one file per concern, all sharing these members:
//   analysis_param_page.cpp   life cycle: creation, framework events, public members
//   layout_lists.cpp          controls, tabs, grids and the lists filled at creation
//   loading.cpp               Initialize: the set's values into the controls
//   field_rules.cpp           keystrokes, focus and the checks of the numeric fields
//   size_standard.cpp         size standard, selected peaks and calibration model
//   mobility_options.cpp      mobility, dye spectra, STR/SNP switches, size or time
//   validation_saving.cpp     Validate, Save and Save As
class AnalysisParamPage : public QWidget, public IPageAccess, private PageKit<AnalysisParamPage>
{
    Q_OBJECT
    Q_PROPERTY(veltrane::ObjectPtr AnalysisParameter READ analysisParameterObject)
    Q_PROPERTY(veltrane::PageBase *Page READ Page)
public:
    explicit AnalysisParamPage(QWidget *parent = nullptr);
    ~AnalysisParamPage() override;

    // Fills the controls from the set under edit (or with a new set's defaults).
    Q_INVOKABLE void Initialize();
    // The set under edit: the very object taken from the business context.
    AnalysisParameterPtr analysisParameter() const;
    veltrane::ObjectPtr analysisParameterObject() const { return analysisParameter(); }
    // Nothing to refresh: the controls show the set from Initialize on.
    Q_INVOKABLE void RefreshView();
    // The decimal exponent of the number in a text (0 for no number).
    Q_INVOKABLE qint32 GetPower(QString &sString);
    // The normalised mantissa of a text for quantitation row Index; moves the row's power by the
    // change of exponent against the amount's text when it got the focus.
    Q_INVOKABLE QString FormatNotation(qint16 &Index, QString &sString);

    PageBase *Page() override;

private:
    friend class PageKit<AnalysisParamPage>;

    // ---- life cycle (analysis_param_page.cpp) ---------------------------------------------------
    void m_oPageBase_Initialize(QObject *oLastPanePositions);
    void m_oPageBase_Activate();
    void m_oPageBase_OnExit(ServiceWindow *oWindow, bool bWasCancelled);
    // The settings of the set under edit; an Error (object not set) when the page has none, as after
    // an Initialize that failed.
    FragAnalysisParamPtr requireSettings() const;

    // ---- layout and lists (layout_lists.cpp) ----------------------------------------------------
    void buildControls();
    QWidget *buildHeader();
    Frame *buildGeneral();
    Frame *buildAnalysisMethod();
    Frame *buildQuantitation();
    Frame *buildAdvanced();
    void wireEvents();
    void UserControl_Initialize();
    void PopulateLists();
    void LoadProjects();
    void HideTabFrames();
    void fitTabContents();
    void SSTab1_Click();
    void MakeGridStatic(GridControl *grid);

    // ---- field rules (field_rules.cpp) ----------------------------------------------------------
    void txtParameterSetName_Change();
    void txtConfidenceLevel_Change();
    void txtIncludePeaks_Change();
    void txtSlopeThreshold_Change();
    void txtSizeTime_Change(int Index);
    void txtWindow_Change(int Index);
    void txtConfidenceLevel_KeyPress(qint16 &KeyAscii);
    void txtIncludePeaks_KeyPress(qint16 &KeyAscii);
    void txtSlopeThreshold_KeyPress(qint16 &KeyAscii);
    void txtSizeTime_KeyPress(int Index, qint16 &KeyAscii);
    void txtWindow_KeyPress(int Index, qint16 &KeyAscii);
    void txtAmount_KeyPress(int Index, qint16 &KeyAscii);
    void txtPower_KeyPress(int Index, qint16 &KeyAscii);
    void txtSizeTime_GotFocus(int Index);
    void txtWindow_GotFocus(int Index);
    void txtAmount_GotFocus(int Index);
    void txtConfidenceLevel_LostFocus();
    void txtIncludePeaks_LostFocus();
    void txtSlopeThreshold_LostFocus();
    void txtSizeTime_LostFocus(int Index);
    void txtWindow_LostFocus(int Index);
    void txtAmount_LostFocus(int Index);
    void txtPower_LostFocus(int Index);
    bool IsDecimalPresent(qint16 iKeyAscii, const QString &sText);
    void CheckNumericRange(TextBox *txtField, double dMin, double dMax, bool &bIsValid);
    void CheckSizeTimeWindow(TextBox *txtSizeTime, TextBox *txtWindow, bool &bIsValid);

    // ---- size standard and calibration model (size_standard.cpp) --------------------------------
    void cmbSizeStandard_Click();
    void ShowSizeStandardControls(bool bShow);
    void OnSizeStandardChange();
    void CheckedItems();
    void cmbModel_Click();
    void cmdSelectAll_Click();
    void cmdDeselectAll_Click();
    void grdSizeStandard_OnClickedButtonRowCol(double dRow, double dCol);
    void grdSizeStandard_OnGridKeyDown();
    void grdSizeStandard_OnGridKeyUp();

    // ---- mobility, dye spectra and options (mobility_options.cpp) -------------------------------
    void cmbMobility_Click();
    void OnMobilityCalibrationChange();
    void optSystemDS_Click();
    void optUseCalculatedDS_Click();
    void chkDyeSpectra_Click(int Index);
    void chkIDAlleles_Click();
    void chkSNP_Click();
    void optDuration_Click(int Index);
    void DisplayControls();
    bool snpHoldsMobility() const;

    // ---- validation and saving (validation_saving.cpp) ------------------------------------------
    void m_oPageBase_Validate(bool &bIsValid);
    void m_oPageBase_Save();
    void m_oPageBase_CommandClick(qint32 eCommand);

    // ---- members ------------------------------------------------------------------------------
    PageBase *m_oPageBase = nullptr;
    AnalysisParameterPtr m_oAnalysisParameter;
    CollectionPtr m_colAnalysisParameters;
    SizeCalibrationPtr m_oSizeCalibration;
    CollectionPtr m_colSelectedPeaks;
    QList<qint16> m_aiSelectedPeaks{0};
    CollectionPtr m_colSizeStandards;
    CollectionPtr m_colMobilityCalibrations;
    bool m_bIsNew = false;
    bool m_bSaveAsPending = false;
    bool m_bLoaded = false;
    bool m_bValidatedOnce = false;
    QString m_sAmountOnFocus;
    bool m_bLocalSouthernLock = false;
    bool m_bSavedMobility = false;
    bool m_bSavedMigrationTime = false;
    std::optional<Error> m_strSelectorMissing; // why the host's STR selector could not be made

    // ---- controls -----------------------------------------------------------------------------
    // Header
    TextBox *txtParameterSetName = nullptr;
    Label *lblAnalysisParameter = nullptr;
    ComboBox *cmbProjects = nullptr;
    Label *lblProject = nullptr;
    TabControl *SSTab1 = nullptr;

    // "&General"
    Frame *fraGeneral = nullptr;
    Label *lblDateCreated = nullptr;
    Label *lblDateModified = nullptr;
    TextBox *txtConfidenceLevel = nullptr;
    UpDown *udConfidenceLevel = nullptr;
    CheckBox *chkIDAlleles = nullptr;
    CheckBox *chkSNP = nullptr;
    TextBox *txtIncludePeaks = nullptr;
    UpDown *udIncludePeaks = nullptr;
    TextBox *txtSlopeThreshold = nullptr;
    UpDown *udSlopeThreshold = nullptr;
    Label *lblSNPWarning = nullptr;

    // "Analysis &Method"
    Frame *fraAnalysisMethod = nullptr;
    ComboBox *cmbSizeStandard = nullptr;
    Label *lblDye = nullptr;
    Label *lblSizeStandardFitCoef = nullptr;
    ComboBox *cmbModel = nullptr;
    Label *lblRequirements = nullptr;
    OptionButton *optMigrationTime = nullptr;
    OptionButton *optMobility = nullptr;
    GridControl *grdSizeStandard = nullptr;
    CommandButton *cmdSelectAll = nullptr;
    CommandButton *cmdDeselectAll = nullptr;

    // "&Quantitation"
    Frame *fraQuantitation = nullptr;
    ControlArray<OptionButton> optDuration{QStringLiteral("optDuration")};
    ControlArray<OptionButton> optQuantity{QStringLiteral("optQuantity")};
    Label *lblStandard = nullptr;
    Label *lblWindowTitle = nullptr;
    Label *lblAmountTitle = nullptr;
    Label *lblUnits = nullptr;
    QList<Label *> lblD; // lblD1 to lblD4
    ControlArray<TextBox> txtSizeTime{QStringLiteral("txtSizeTime")};
    ControlArray<TextBox> txtWindow{QStringLiteral("txtWindow")};
    ControlArray<Label> lblWindow{QStringLiteral("lblWindow")};
    ControlArray<TextBox> txtAmount{QStringLiteral("txtAmount")};
    ControlArray<Label> lblAmount{QStringLiteral("lblAmount")};
    ControlArray<TextBox> txtPower{QStringLiteral("txtPower")};
    ControlArray<UpDown> udeSize{QStringLiteral("udeSize")}; // the power spin of row 0
    ControlArray<UpDown> udeTime{QStringLiteral("udeTime")}; // the power spins of rows 1 to 3
    ControlArray<ComboBox> cmbUnits{QStringLiteral("cmbUnits")};

    // The locus tag selectors: outside controls reached only late-bound.
    QWidget *ctlSTRLocusTagSelector = nullptr;
    QWidget *ctlSNPLocusTagSelector = nullptr;

    // "Ad&vanced"
    Frame *fraAdvanced = nullptr;
    OptionButton *optUseCalculatedDS = nullptr;
    OptionButton *optSystemDS = nullptr;
    ControlArray<CheckBox> chkDyeSpectra{QStringLiteral("chkDyeSpectra")};
    ComboBox *cmbMobility = nullptr;
    GridControl *grdMobility = nullptr;
    ComboBox *cmbMobilityReference = nullptr;
};

} // namespace veltrane
