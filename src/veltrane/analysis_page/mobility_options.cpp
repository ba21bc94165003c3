// Mobility calibration, dye spectra, the STR and SNP switches and the size or time captions.

#include "veltrane/analysis_page/mobility_options.h"

#include "platform/forms/check_box.h"
#include "platform/forms/combo_box.h"
#include "platform/forms/label.h"
#include "platform/forms/option_button.h"
#include "platform/forms/text_box.h"
#include "platform/grid/grid_control.h"
#include "veltrane/analysis_page/analysis_param_page.h"
#include "veltrane/analysis_page/layout_lists.h"

#include <QLocale>

namespace veltrane {

using namespace editor;

void AnalysisParamPage::cmbMobility_Click()
{
    guard(ReportAndStop, "cmbMobility_Click", [&] {
        grdMobility->setReadOnly(false);
        OnMobilityCalibrationChange();
        grdMobility->setReadOnly(true);
    });
}

void AnalysisParamPage::OnMobilityCalibrationChange()
{
    guard(Propagate, "OnMobilityCalibrationChange", [&] {
        const QString name = cmbMobility->Text();
        if (!m_colMobilityCalibrations || !m_colMobilityCalibrations->Contains(name))
            return;
        const MobilityCalibrationPtr calibration = m_colMobilityCalibrations->Object<MobilityCalibration>(name);
        const MobilityCalibrationSettingsPtr data =
            calibration ? calibration->Data() : MobilityCalibrationSettingsPtr();
        if (!data)
            return;
        for (qint16 r = 0; r < 4; ++r)
            for (qint16 c = 0; c < 4; ++c)
                grdMobility->setCellText(r + 1, c + 1, coefficientText(data->Coefficient(r, c)));
    });
}

void AnalysisParamPage::optSystemDS_Click()
{
    guard(ReportAndStop, "optSystemDS_Click", [&] {
        for (CheckBox *dye : chkDyeSpectra.members())
            dye->setEnabled(optSystemDS->Value());
    });
}

void AnalysisParamPage::optUseCalculatedDS_Click()
{
    guard(ReportAndStop, "optUseCalculatedDS_Click", [&] { optSystemDS_Click(); });
}

void AnalysisParamPage::chkDyeSpectra_Click(int Index)
{
    guard(ReportAndStop, "chkDyeSpectra_Click", [&] {
        for (CheckBox *dye : chkDyeSpectra.members())
            if (dye->Value() == 1)
                return;
        chkDyeSpectra.at(Index)->setValue(1); // one dye always stays ticked
    });
}

void AnalysisParamPage::chkIDAlleles_Click()
{
    guard(ReportAndStop, "chkIDAlleles_Click", [&] {
        if (chkIDAlleles->Value() == 1 && chkSNP->Value() == 1)
            chkSNP->setValue(0);
    });
}

void AnalysisParamPage::chkSNP_Click()
{
    guard(ReportAndStop, "chkSNP_Click", [&] {
        if (chkIDAlleles->Value() == 1 && chkSNP->Value() == 1)
            chkIDAlleles->setValue(0);
        if (chkSNP->Value() == 1) {
            // SNP analysis sizes with the first model by migration time and quantifies by height.
            if (cmbModel->ListCount() > 0 && cmbModel->ListIndex() != 0)
                cmbModel->setListIndex(0);
            optMigrationTime->setValue(true);
            optQuantity.at(0)->setValue(true);
            cmbModel->setEnabled(false);
            optMobility->setEnabled(false);
            optQuantity.at(1)->setEnabled(false);
            lblSNPWarning->setVisible(true);
        } else {
            cmbModel->setEnabled(true);
            optMobility->setEnabled(true);
            optQuantity.at(1)->setEnabled(true);
            m_oPageBase->MarkDirty();
            lblSNPWarning->setVisible(false);
        }
    });
}

// SNP analysis sizes by migration time, so while it is ticked "Mobility" stays off, also when a
// size standard is chosen or the peaks are evaluated again; unticking it lets "Mobility" go.
bool AnalysisParamPage::snpHoldsMobility() const
{
    return chkSNP->Value() == 1;
}

void AnalysisParamPage::optDuration_Click(int)
{
    guard(ReportAndStop, "optDuration_Click", [&] { DisplayControls(); });
}

void AnalysisParamPage::DisplayControls()
{
    guard(Propagate, "DisplayControls", [&] {
        const bool bySize = optDuration.at(0)->Value();
        lblStandard->setCaption(optDuration.at(bySize ? 0 : 1)->Caption());
        for (Label *unit : lblWindow.members())
            unit->setCaption(bySize ? QStringLiteral("nt") : QStringLiteral("min"));
        for (int i : txtSizeTime.indices())
            txtSizeTime.at(i)->setAccessibleName(editor::quantitationFieldName(i, lblStandard->Caption()));
    });
}

} // namespace veltrane
