// Validation, saving and Save As.

#include "veltrane/analysis_page/validation_saving.h"

#include "platform/forms/check_box.h"
#include "platform/forms/colors.h"
#include "platform/forms/combo_box.h"
#include "platform/forms/label.h"
#include "platform/forms/mouse_pointer.h"
#include "platform/forms/option_button.h"
#include "platform/forms/text_box.h"
#include "platform/grid/grid_control.h"
#include "veltrane/analysis_page/analysis_param_page.h"
#include "veltrane/analysis_page/field_rules.h"
#include "veltrane/analysis_page/hand_over.h"
#include "veltrane/common/formats.h"
#include "veltrane/contracts/automation.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace veltrane {

namespace editor {

double leadingNumber(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype end = 0;
    const auto digitsFrom = [&t](qsizetype i) {
        while (i < t.size() && t.at(i).isDigit() && t.at(i).unicode() < 128)
            ++i;
        return i;
    };
    qsizetype i = 0;
    if (i < t.size() && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
        ++i;
    qsizetype afterInt = digitsFrom(i);
    bool anyDigit = afterInt > i;
    i = afterInt;
    if (i < t.size() && t.at(i) == QLatin1Char('.')) {
        const qsizetype afterFraction = digitsFrom(i + 1);
        anyDigit = anyDigit || afterFraction > i + 1;
        i = afterFraction;
    }
    if (!anyDigit)
        return 0;
    end = i;
    if (i < t.size() && (t.at(i) == QLatin1Char('e') || t.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < t.size() && (t.at(j) == QLatin1Char('+') || t.at(j) == QLatin1Char('-')))
            ++j;
        const qsizetype afterExponent = digitsFrom(j);
        if (afterExponent > j)
            end = afterExponent;
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(t.left(end), &ok);
    // A number beyond any double reads as infinite, so that it counts as too large rather than as 0.
    return ok || std::isinf(value) ? value : 0;
}

float joinAmount(const QString &mantissa, const QString &power, const QString &powerField)
{
    const std::optional<double> exponent = parseNumber(power);
    if (!exponent || std::fabs(wholeValue(*exponent)) > double(std::numeric_limits<qint32>::max()))
        throw Error::typeMismatch(powerField, QStringLiteral("the power \"%1\" is not a whole number").arg(power));
    // A quantity beyond single precision cannot be stored; one too small to tell from 0 is 0.
    const double quantity = leadingNumber(mantissa + QLatin1Char('e') + power);
    if (!std::isfinite(quantity) || std::fabs(quantity) > double(std::numeric_limits<float>::max()))
        throw Error(
            kOverflow, powerField,
            QStringLiteral("%1: %2e%3 is too large an amount").arg(runtimeErrorText(kOverflow), mantissa, power));
    return float(quantity);
}

} // namespace editor

using namespace editor;

void AnalysisParamPage::m_oPageBase_Validate(bool &bIsValid)
{
    guard(Propagate, "m_oPageBase_Validate", [&] {
        bIsValid = true;
        const QString name = trimTrailing(txtParameterSetName->Text());
        const bool taken = Utilities().KeyExists(m_colAnalysisParameters, name);

        // From the second validation on, SNP analysis needs a size standard of exactly two fragments,
        // both selected.
        if (!sameText(cmbSizeStandard->Text(), stored::kNone) && m_bValidatedOnce && chkSNP->Value() != 0) {
            bIsValid = false;
            if (grdSizeStandard->rowCount() == 2 && m_aiSelectedPeaks.size() - 1 == 1)
                bIsValid = true;
        }
        m_bValidatedOnce = true;

        const bool tooFewPeaks = lblRequirements->Visible() && lblRequirements->ForeColor() == colors::kRed;
        if (name.isEmpty() || (m_bIsNew && taken) || tooFewPeaks)
            bIsValid = false;

        if (name.isEmpty()) {
            txtParameterSetName->setBackColor(colors::kYellow);
            txtParameterSetName->setToolTip(QStringLiteral("Fragment Analysis Parameters Name is required"));
        } else if (m_bIsNew && taken) {
            txtParameterSetName->setToolTip(QStringLiteral("Fragment Analysis Parameters Name is not unique"));
        } else {
            txtParameterSetName->setBackColor(colors::kWindowBackground);
            txtParameterSetName->setToolTip(QString());
        }

        for (qint32 i = 0; i < limits::kQuantitationRows; ++i) {
            CheckNumericRange(txtSizeTime.at(i), limits::kSizeTime.minimum, limits::kSizeTime.maximum, bIsValid);
            CheckNumericRange(txtWindow.at(i), limits::kWindow.minimum, limits::kWindow.maximum, bIsValid);
        }
        for (qint32 i = 0; i < limits::kQuantitationRows; ++i)
            CheckSizeTimeWindow(txtSizeTime.at(i), txtWindow.at(i), bIsValid);
        CheckNumericRange(txtSlopeThreshold, limits::kSlopeThreshold.minimum, limits::kSlopeThreshold.maximum,
                          bIsValid);
        CheckNumericRange(txtIncludePeaks, limits::kRelativePeakHeight.minimum, limits::kRelativePeakHeight.maximum,
                          bIsValid);
        CheckNumericRange(txtConfidenceLevel, limits::kConfidenceLevel.minimum, limits::kConfidenceLevel.maximum,
                          bIsValid);
    });
}

void AnalysisParamPage::m_oPageBase_Save()
{
    guard(Propagate, "m_oPageBase_Save", [&] {
        // A page without a set (its Initialize failed) stores nothing: the settings would be committed
        // and then belong to no set.
        if (!m_oAnalysisParameter)
            throw Error::objectNotSet(QString::fromLatin1(className()),
                                      QStringLiteral("the page shows no parameter set"));
        // Every save writes a complete new settings object: what the page does not show is not kept.
        FragAnalysisParamPtr fresh =
            qSharedPointerObjectCast<FragAnalysisParam>(ObjectManager().NewObject(types::kFragAnalysisParam));
        if (!fresh)
            throw Error::objectNotSet(QString::fromLatin1(className()), QStringLiteral("no new settings object"));

        fresh->setName(txtParameterSetName->Text());
        fresh->setProjectID(QString::number(cmbProjects->ItemData(cmbProjects->ListIndex())));
        fresh->setProjectName(cmbProjects->Text());
        fresh->setTypeCode(limits::kFragAnalysisTypeCode);

        fresh->setIdentifyAlleles(0, chkIDAlleles->Value() != 0);
        fresh->setSlopeThreshold(singleOf(txtSlopeThreshold->Text(), txtSlopeThreshold->objectName()));
        fresh->setRelativePeakHeightThreshold(0, singleOf(txtIncludePeaks->Text(), txtIncludePeaks->objectName()));
        fresh->setConfidenceLevel(0, singleOf(txtConfidenceLevel->Text(), txtConfidenceLevel->objectName()));
        fresh->setSNPAnalysis(chkSNP->Value() != 0);

        if (sameText(cmbSizeStandard->Text(), stored::kNone)) {
            fresh->setSizeCalibration(0, {});
            fresh->setSizeStandard({});
        } else {
            const SizeStandardPtr standard = m_colSizeStandards->Object<SizeStandard>(cmbSizeStandard->Text());
            if (!standard)
                throw Error::objectNotSet(QString::fromLatin1(className()), QStringLiteral("no size standard"));
            SizeCalibrationPtr entry = fresh->SizeCalibration(0);
            if (!entry) {
                entry = qSharedPointerObjectCast<SizeCalibration>(ObjectManager().NewObject(types::kSizeCalibration));
                fresh->setSizeCalibration(0, entry);
            }
            fresh->setSizeStandard(standard->Data());
            entry->setSizeStandard(standard->Data());
            entry->setModelIndex(cmbModel->ItemData(cmbModel->ListIndex()));
            entry->setMigrationVariable(optMigrationTime->Value() ? 0 : 1);
            entry->setSelectedPeaks(m_aiSelectedPeaks);
        }

        const MobilityCalibrationPtr calibration =
            m_colMobilityCalibrations->Object<MobilityCalibration>(cmbMobility->Text());
        fresh->setDyeMobilityCalibration(calibration ? calibration->Data() : MobilityCalibrationSettingsPtr());

        auto lookup = qSharedPointerObjectCast<SizeCalibration>(ObjectManager().NewObject(types::kSizeCalibration));
        lookup->setKind(SizeCalibration::kMobilityReference);
        const QString reference = trimTrailing(cmbMobilityReference->Text());
        if (reference == stored::kNone || cmbMobilityReference->Text().isEmpty()) {
            fresh->setStandardMobilityReference({});
        } else {
            lookup->setName(reference);
            if (lookup->Retrieve() != 0)
                return; // a reference that is no longer stored ends the save quietly: nothing is stored
            fresh->setStandardMobilityReference(lookup);
        }

        fresh->setUseCalculatedDyeSpectra(optUseCalculatedDS->Value());
        for (qint32 i = 0; i < limits::kQuantitationRows; ++i)
            fresh->setDyeSpectra(i, chkDyeSpectra.at(i)->Value() == 1);
        fresh->setIDStandardBySize(optDuration.at(0)->Value() ? 1 : 0);
        fresh->setQuantityByHeight(optQuantity.at(0)->Value() ? 1 : 0);
        for (qint32 i = 0; i < limits::kQuantitationRows; ++i)
            fresh->setQuantSizeTime(i, singleOf(txtSizeTime.at(i)->Text(), txtSizeTime.at(i)->objectName()));
        for (qint32 i = 0; i < limits::kQuantitationRows; ++i)
            fresh->setQuantWindow(i, singleOf(txtWindow.at(i)->Text(), txtWindow.at(i)->objectName()));
        for (qint32 i = 0; i < limits::kQuantitationRows; ++i)
            fresh->setQuantAmount(
                i, joinAmount(txtAmount.at(i)->Text(), txtPower.at(i)->Text(), txtPower.at(i)->objectName()));
        for (qint32 i = 0; i < limits::kQuantitationRows; ++i)
            fresh->setQuantUnit(i, cmbUnits.at(i)->ItemData(cmbUnits.at(i)->ListIndex()));

        handOver(ctlSNPLocusTagSelector, snp_selector::kSave, fresh, "FragAnalysisParam");
        handOver(ctlSTRLocusTagSelector, str_selector::kSave, fresh, "FragAnalysisParam");

        fresh->Commit();
        m_oAnalysisParameter->setFragAnalysisParam(fresh);

        if (m_bSaveAsPending) {
            const CollectionPtr context = requireContext();
            if (Utilities().KeyExists(context, keys::kNewSaveAs))
                context->Remove(keys::kNewSaveAs);
            context->Add(toVariant(m_oAnalysisParameter), keys::kNewSaveAs);
        }
    });
}

void AnalysisParamPage::m_oPageBase_CommandClick(qint32 eCommand)
{
    guard(ReportAndStop, "cmdSaveAs_Click", [&] {
        if (eCommand != kCommandSaveAs)
            return;
        const CollectionPtr context = requireContext();
        context->Add(toVariant(ObjectManager().NewObject(types::kAnalysisParameter)), keys::kSaveParamAs);
        const ServiceWindowPtr window =
            App().RunService(flows::kSaveAnalysisParameterAs, context, nullptr, flow_options::kSaveAnalysisParameterAs);
        if (!window || window->WasCancelled())
            return;

        const HourglassPointer hourglass;
        txtParameterSetName->setText(context->Item(keys::kParamName).toString());
        txtParameterSetName->setVisible(false);
        lblAnalysisParameter->setCaption(txtParameterSetName->Text());
        cmbProjects->setVisible(false);
        lblProject->setVisible(true);
        txtParameterSetName->setSelLength(int(txtParameterSetName->Text().length()));
        m_bSaveAsPending = true;
        m_bIsNew = true;
        m_oPageBase->MarkDirty();
        m_oPageBase->Window()->Refresh();
        m_oPageBase->Window()->Proceed();
    });
}

} // namespace veltrane
