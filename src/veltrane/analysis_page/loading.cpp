// Loading a parameter set into the editor: every control from the set, or a new set's defaults.

#include "veltrane/analysis_page/loading.h"

#include "platform/forms/check_box.h"
#include "platform/forms/combo_box.h"
#include "platform/forms/label.h"
#include "platform/forms/option_button.h"
#include "platform/forms/text_box.h"
#include "platform/grid/grid_control.h"
#include "veltrane/analysis_page/analysis_param_page.h"
#include "veltrane/analysis_page/field_rules.h"
#include "veltrane/analysis_page/hand_over.h"
#include "veltrane/analysis_page/layout_lists.h"
#include "veltrane/common/formats.h"
#include "veltrane/contracts/automation.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"

#include <QDate>
#include <QLocale>

namespace veltrane {

using namespace editor;

namespace {

QString today()
{
    return shortDate(QDate::currentDate());
}

} // namespace

void AnalysisParamPage::Initialize()
{
    guard(Propagate, "Initialize", [&] {
        const FragAnalysisParamPtr settings = requireSettings();
        m_oSizeCalibration = settings->SizeCalibration(0);

        const CollectionPtr references = ObjectManager().LoadCollection(queries::kStandardMobilityReference, QString(),
                                                                        QString(), QString(), false, true);
        m_colSelectedPeaks = newCollection();

        cmbMobilityReference->Clear();
        cmbMobilityReference->AddItem(stored::kNone);
        cmbMobilityReference->SetItemData(0, 0);
        for (qint32 i = 1; i <= references->Count(); ++i) {
            const ObjectPtr reference = references->Object(i);
            if (!reference)
                throw Error::typeMismatch(QString::fromLatin1(className()),
                                          QStringLiteral("a standard mobility reference was expected"));
            cmbMobilityReference->AddItem(trimTrailing(reference->property("Name").toString()));
            cmbMobilityReference->SetItemData(cmbMobilityReference->NewIndex(),
                                              reference->property("EnumTypeID").toInt());
        }
        cmbMobilityReference->setListIndex(0);
        cmbSizeStandard->AddItem(stored::kNone);
        cmbSizeStandard->SetItemData(cmbSizeStandard->NewIndex(), 0);

        if (!m_oSizeCalibration)
            m_oSizeCalibration =
                qSharedPointerObjectCast<SizeCalibration>(ObjectManager().NewObject(types::kSizeCalibration));
        if (!m_oSizeCalibration)
            throw Error::objectNotSet(QString::fromLatin1(className()), QStringLiteral("no new size-calling entry"));
        for (qint32 i = 0; i < limits::kModelCount; ++i) {
            cmbModel->AddItem(m_oSizeCalibration->ModelName(i));
            cmbModel->SetItemData(cmbModel->NewIndex(), i);
        }

        LoadProjects();
        const QStringList units = unitNames();
        for (ComboBox *list : cmbUnits.members()) {
            for (qint32 u = 0; u < units.size(); ++u) {
                list->AddItem(units.at(u));
                list->SetItemData(list->NewIndex(), u);
            }
        }

        if (m_oAnalysisParameter->ID() < 1) {
            // A set never stored: the defaults of a new set.
            m_bIsNew = true;
            txtParameterSetName->setEnabled(true);
            cmbProjects->setEnabled(true);
            lblDateCreated->setCaption(today());
            lblDateModified->setCaption(today());
            if (cmbMobility->ListCount() > 0)
                cmbMobility->setListIndex(0);
            if (cmbSizeStandard->ListCount() > 0) {
                cmbSizeStandard->setListIndex(0);
                m_bLoaded = true;
            }
            if (references->Count() >= 1)
                cmbMobilityReference->setListIndex(0);
            if (cmbModel->ListCount() > 0)
                cmbModel->setListIndex(2);
            optDuration.at(0)->setValue(true);
            optQuantity.at(0)->setValue(true);
            optMigrationTime->setValue(true);
            for (qint32 i = 0; i < limits::kQuantitationRows; ++i) {
                txtSizeTime.at(i)->setText(QStringLiteral("0"));
                txtWindow.at(i)->setText(QStringLiteral("0"));
                txtAmount.at(i)->setText(QStringLiteral("0"));
                txtPower.at(i)->setText(QStringLiteral("0"));
                cmbUnits.at(i)->setListIndex(0);
            }
        } else {
            m_bIsNew = false;
            txtParameterSetName->setVisible(false);
            cmbProjects->setVisible(false);

            for (qint32 i = 0; i < cmbProjects->ListCount(); ++i) {
                if (cmbProjects->ItemData(i) == m_oAnalysisParameter->ProjectID()) {
                    cmbProjects->setListIndex(i);
                    lblProject->setCaption(cmbProjects->Text());
                }
            }

            if (const SizeCalibrationPtr reference = settings->StandardMobilityReference()) {
                const QString name = trimTrailing(reference->Name());
                for (qint32 i = 0; i < cmbMobilityReference->ListCount() - 1; ++i)
                    if (sameText(name, cmbMobilityReference->List(i + 1)))
                        cmbMobilityReference->setListIndex(i + 1);
            }

            const CollectionPtr context = m_oPageBase->BusinessContext();
            if (!Utilities().KeyExists(context, keys::kIsNew)) {
                lblAnalysisParameter->setCaption(settings->Name());
                txtParameterSetName->setText(settings->Name());
                m_oPageBase->Window()->SetTitle(titles::kEditParameters);
            } else {
                // A new set made from this one.
                txtParameterSetName->setText(QString());
                context->Remove(keys::kIsNew);
                txtParameterSetName->setEnabled(true);
                txtParameterSetName->setVisible(true);
                cmbProjects->setEnabled(true);
                cmbProjects->setVisible(true);
                lblAnalysisParameter->setVisible(false);
                lblProject->setVisible(false);
                m_oPageBase->Window()->SetTitle(titles::kNewParameters);
                m_bIsNew = true;
            }

            if (m_bIsNew) {
                lblDateCreated->setCaption(today());
                lblDateModified->setCaption(today());
            } else {
                lblDateCreated->setCaption(generalDate(settings->ConvertDate(settings->DateCreated())));
                lblDateModified->setCaption(generalDate(settings->ConvertDate(settings->DateModified())));
            }

            chkSNP->setValue(settings->SNPAnalysis() ? 1 : 0);
            const bool withEntry = settings->EntryCount() > 0;
            txtIncludePeaks->setText(fieldText(withEntry ? settings->RelativePeakHeightThreshold(0) : 0));
            txtSlopeThreshold->setText(fieldText(settings->SlopeThreshold()));
            txtConfidenceLevel->setText(fieldText(withEntry ? settings->ConfidenceLevel(0) : 0));

            optDuration.at(settings->IDStandardBySize() == 1 ? 0 : 1)->setValue(true);
            optQuantity.at(settings->QuantityByHeight() == 1 ? 0 : 1)->setValue(true);

            for (qint32 i = 0; i < limits::kQuantitationRows; ++i) {
                txtSizeTime.at(i)->setText(fieldText(settings->QuantSizeTime(i)));
                txtWindow.at(i)->setText(fieldText(settings->QuantWindow(i)));
                const AmountText amount = splitAmount(settings->QuantAmount(i));
                txtAmount.at(i)->setText(amount.mantissa);
                txtPower.at(i)->setText(amount.power);
                cmbUnits.at(i)->setListIndex(settings->QuantUnit(i));
            }

            if (settings->UseCalculatedDyeSpectra())
                optUseCalculatedDS->setValue(true);
            else
                optSystemDS->setValue(true);
            for (qint32 i = 0; i < limits::kQuantitationRows; ++i)
                chkDyeSpectra.at(i)->setValue(settings->DyeSpectra(i) ? 1 : 0);

            if (const MobilityCalibrationSettingsPtr calibration = settings->DyeMobilityCalibration())
                Utilities().SelectComboItem(cmbMobility, calibration->Name());

            if (const SizeStandardSettingsPtr standard = settings->SizeStandard()) {
                for (const qint16 peak : m_oSizeCalibration->SelectedPeaks())
                    m_colSelectedPeaks->Add(QVariant::fromValue(peak), QString::number(peak));
                Utilities().SelectComboItem(cmbSizeStandard, standard->Name());
            }

            if (withEntry) {
                chkIDAlleles->setValue(settings->IdentifyAlleles(0) ? 1 : 0);
                if (m_oSizeCalibration->MigrationVariable() == 1)
                    optMobility->setValue(true);
                else if (m_oSizeCalibration->MigrationVariable() == 0)
                    optMigrationTime->setValue(true);
                Utilities().SelectComboItem(cmbModel, m_oSizeCalibration->ModelName(m_oSizeCalibration->ModelIndex()));
            }

            if (!settings->SizeStandard())
                Utilities().SelectComboItem(cmbSizeStandard, stored::kNone);
        }

        RefreshView();
        grdMobility->setHeightTwips(kMobilityGridHeightTwips);
        grdSizeStandard->setHeightTwips(kSizeStandardGridHeightTwips);
        MakeGridStatic(grdMobility);
        MakeGridStatic(grdSizeStandard);

        handOver(ctlSNPLocusTagSelector, snp_selector::kInitialize, m_oAnalysisParameter, "AnalysisParameter");
        if (m_strSelectorMissing)
            throw *m_strSelectorMissing;
        handOver(ctlSTRLocusTagSelector, str_selector::kInitialize, m_oAnalysisParameter, "AnalysisParameter");
        m_bLoaded = true;
    });
}

} // namespace veltrane
