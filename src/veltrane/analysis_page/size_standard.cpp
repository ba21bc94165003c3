// The size standard, its selected peaks and the calibration model.

#include "veltrane/analysis_page/size_standard.h"

#include "platform/forms/colors.h"
#include "platform/forms/combo_box.h"
#include "platform/forms/command_button.h"
#include "platform/forms/label.h"
#include "platform/forms/option_button.h"
#include "platform/grid/grid_control.h"
#include "veltrane/analysis_page/analysis_param_page.h"
#include "veltrane/common/formats.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"

namespace veltrane {

namespace editor {

const ModelRequirement *requirementOf(const QString &model)
{
    static const ModelRequirement requirements[] = {
        {"Linear", 2, "Requires a minimum of 2 selected peaks."},
        {"Quadratic", 3, "Requires a minimum of 3 selected peaks."},
        {"Local Southern", 3, "Requires a minimum of 3 selected peaks."},
        {"Cubic", 4, "Requires a minimum of 4 selected peaks."},
        {"Quartic", 5, "Requires a minimum of 5 selected peaks."},
    };
    for (const ModelRequirement &r : requirements)
        if (sameText(model, QLatin1String(r.model)))
            return &r;
    return nullptr;
}

} // namespace editor

using namespace editor;

void AnalysisParamPage::cmbSizeStandard_Click()
{
    guard(ReportAndStop, "cmbSizeStandard_Click", [&] {
        grdSizeStandard->setReadOnly(false);
        if (sameText(cmbSizeStandard->Text(), stored::kNone)) {
            ShowSizeStandardControls(false);
        } else {
            ShowSizeStandardControls(true);
            OnSizeStandardChange();
            if (m_colSelectedPeaks && m_colSelectedPeaks->Count() >= 1)
                lblRequirements->setForeColor(colors::kBlack);
        }
        CheckedItems();
    });
}

void AnalysisParamPage::ShowSizeStandardControls(bool bShow)
{
    for (QWidget *control : {static_cast<QWidget *>(lblRequirements), static_cast<QWidget *>(lblSizeStandardFitCoef),
                             static_cast<QWidget *>(lblDye), static_cast<QWidget *>(cmbModel)})
        control->setVisible(bShow);
    for (QWidget *control : {static_cast<QWidget *>(optMigrationTime), static_cast<QWidget *>(cmdDeselectAll),
                             static_cast<QWidget *>(cmdSelectAll)})
        control->setEnabled(bShow);
    optMobility->setEnabled(bShow && !snpHoldsMobility());
    if (bShow && !optMigrationTime->Value() && !optMobility->Value())
        optMigrationTime->setValue(true);
    if (!bShow) {
        grdSizeStandard->setRowCount(0);
        optMigrationTime->setValue(false);
        optMobility->setValue(false);
    }
}

void AnalysisParamPage::OnSizeStandardChange()
{
    guard(Propagate, "OnSizeStandardChange", [&] {
        const QString name = cmbSizeStandard->Text();
        if (!m_colSizeStandards || !m_colSizeStandards->Contains(name))
            return;
        const SizeStandardPtr standard = m_colSizeStandards->Object<SizeStandard>(name);
        const SizeStandardSettingsPtr data = standard ? standard->Data() : SizeStandardSettingsPtr();
        if (!data)
            return;
        lblDye->setCaption(QStringLiteral("D%1").arg(data->DyeIndex() + 1));
        lblSizeStandardFitCoef->setCaption(singleText(data->FitCoefficient()));
        const qint32 n = data->FragmentCount();
        const bool storedSelectionCounts = !m_bLoaded && m_oAnalysisParameter && m_oAnalysisParameter->ID() > 0;
        grdSizeStandard->lockUpdates(true);
        grdSizeStandard->setRowCount(n);
        for (qint32 r = 1; r <= n; ++r) {
            const qint32 k = r - 1;
            const bool ticked =
                !(storedSelectionCounts && !Utilities().KeyExists(m_colSelectedPeaks, QString::number(k)));
            grdSizeStandard->setCellText(r, 1, ticked ? QStringLiteral("1") : QStringLiteral("0"));
            grdSizeStandard->setCellText(r, 2, QString::number(r));
            grdSizeStandard->setCellText(r, 3, singleText(data->FragmentSize(k)));
        }
        grdSizeStandard->lockUpdates(false);
    });
}

void AnalysisParamPage::CheckedItems()
{
    guard(Propagate, "CheckedItems", [&] {
        const qint32 n = grdSizeStandard->rowCount();
        QList<qint16> peaks;
        peaks.reserve(n);
        for (qint32 r = 1; r <= n; ++r)
            if (grdSizeStandard->cellText(r, 1) == QLatin1String("1"))
                peaks.append(qint16(r - 1));
        if (peaks.isEmpty()) {
            peaks = {0};
            lblRequirements->setForeColor(colors::kRed);
        }
        m_aiSelectedPeaks = peaks;

        // With no peak ticked the array still holds one element, so the colour tells the two apart.
        const qint32 upperBound = qint32(m_aiSelectedPeaks.size()) - 1;
        const QString model = cmbModel->Text();
        if (const ModelRequirement *requirement = requirementOf(model)) {
            lblRequirements->setCaption(QLatin1String(requirement->text));
            lblRequirements->setForeColor(upperBound < requirement->minimumPeaks - 1 ? colors::kRed : colors::kBlack);
        }

        if (sameText(model, kLocalSouthern)) {
            m_bLocalSouthernLock = true;
            m_bSavedMobility = optMobility->Value();
            m_bSavedMigrationTime = optMigrationTime->Value();
            optMobility->setValue(true);
            optMobility->setEnabled(false);
            optMigrationTime->setEnabled(false);
        } else if (!sameText(cmbSizeStandard->Text(), stored::kNone)) {
            optMobility->setEnabled(!snpHoldsMobility());
            optMigrationTime->setEnabled(true);
            if (m_bLocalSouthernLock) {
                m_bLocalSouthernLock = false;
                optMobility->setValue(m_bSavedMobility);
                optMigrationTime->setValue(m_bSavedMigrationTime);
            }
        }
        m_oPageBase->MarkDirty();
    });
}

void AnalysisParamPage::cmbModel_Click()
{
    guard(ReportAndStop, "cmbModel_Click", [&] { CheckedItems(); });
}

void AnalysisParamPage::cmdSelectAll_Click()
{
    guard(ReportAndStop, "cmdSelectAll_Click", [&] {
        grdSizeStandard->setReadOnly(false);
        for (qint32 r = 1; r <= grdSizeStandard->rowCount(); ++r)
            grdSizeStandard->setCellText(r, 1, QStringLiteral("1"));
        CheckedItems();
    });
}

void AnalysisParamPage::cmdDeselectAll_Click()
{
    guard(ReportAndStop, "cmdDeselectAll_Click", [&] {
        grdSizeStandard->setReadOnly(false);
        for (qint32 r = 1; r <= grdSizeStandard->rowCount(); ++r)
            grdSizeStandard->setCellText(r, 1, QStringLiteral("0"));
        CheckedItems();
    });
}

void AnalysisParamPage::grdSizeStandard_OnClickedButtonRowCol(double, double dCol)
{
    guard(ReportAndStop, "grdSizeStandard_OnClickedButtonRowCol", [&] {
        if (dCol == 1)
            CheckedItems();
    });
}

void AnalysisParamPage::grdSizeStandard_OnGridKeyDown()
{
    // While a key is down the boxes cannot change: they change by mouse clicks only, which are
    // the ones that reach CheckedItems.
    guard(ReportAndStop, "grdSizeStandard_OnGridKeyDown", [&] { grdSizeStandard->setReadOnly(true); });
}

void AnalysisParamPage::grdSizeStandard_OnGridKeyUp()
{
    guard(ReportAndStop, "grdSizeStandard_OnGridKeyUp", [&] { grdSizeStandard->setReadOnly(false); });
}

} // namespace veltrane
