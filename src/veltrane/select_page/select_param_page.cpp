#include "veltrane/select_page/select_param_page.h"

#include "platform/forms/colors.h"
#include "platform/forms/combo_box.h"
#include "platform/forms/command_button.h"
#include "platform/forms/frame.h"
#include "platform/forms/label.h"
#include "platform/grid/grid_control.h"
#include "veltrane/common/formats.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"
#include "veltrane/select_page/parameter_summary.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace veltrane {

namespace {
constexpr qint32 kLocusTagGridHeightTwips = 1530;
} // namespace

SelectParamPage::SelectParamPage(QWidget *parent)
    : QWidget(parent)
    , PageKit("SelectParamPage")
{
    setObjectName(pages::kSelectParamPage);
    buildControls();
    UserControl_Initialize();
}

SelectParamPage::~SelectParamPage() = default;

void SelectParamPage::buildControls()
{
    auto *outer = new QVBoxLayout(this);

    fraSelect = make<Frame>(this, QStringLiteral("fraSelect"), QStringLiteral("Select Analysis Parameter Set"));
    auto *selectRow = new QHBoxLayout(fraSelect);
    cmbAnalysisParams = make<ComboBox>(fraSelect, QStringLiteral("cmbAnalysisParams"));
    cmbAnalysisParams->setMinimumContentsLength(36);
    cmdNew = make<CommandButton>(fraSelect, QStringLiteral("cmdNew"), QStringLiteral("&New"));
    cmdEdit = make<CommandButton>(fraSelect, QStringLiteral("cmdEdit"), QStringLiteral("E&dit"));
    selectRow->addWidget(cmbAnalysisParams, 1);
    selectRow->addWidget(cmdNew);
    selectRow->addWidget(cmdEdit);
    outer->addWidget(fraSelect);

    fraSummary = make<Frame>(this, QStringLiteral("fraSummary"), QStringLiteral("Parameter Set Summary"));
    auto *summary = new QGridLayout(fraSummary);
    const auto value = [this](const char *name) {
        auto *label = make<Label>(fraSummary, QLatin1String(name));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return label;
    };
    addRow(summary, QStringLiteral("Project:"), {lblProject = value("lblProject")});
    addRow(summary, QStringLiteral("Date Modified:"), {lblDateModified = value("lblDateModified")});
    addRow(summary, QStringLiteral("Size Standard:"), {lblStandard = value("lblStandard")});
    addRow(summary, QStringLiteral("Model:"), {lblModel = value("lblModel")});
    addRow(summary, QStringLiteral("Dye Mobility Calibration:"),
           {lblCalibrationMatrix = value("lblCalibrationMatrix")});
    summary->setColumnStretch(1, 1);
    outer->addWidget(fraSummary);

    fraLocusTags = make<Frame>(this, QStringLiteral("fraLocusTags"), QStringLiteral("Locus Tags"));
    auto *tags = new QVBoxLayout(fraLocusTags);
    grdLocusTags = make<GridControl>(fraLocusTags, QStringLiteral("grdLocusTags"));
    tags->addWidget(grdLocusTags);
    outer->addWidget(fraLocusTags);
    outer->addStretch(1);

    on(cmbAnalysisParams, &ComboBox::Click, &SelectParamPage::cmbAnalysisParams_Click);
    on(cmdNew, &CommandButton::Click, &SelectParamPage::cmdNew_Click);
    on(cmdEdit, &CommandButton::Click, &SelectParamPage::cmdEdit_Click);
}

void SelectParamPage::UserControl_Initialize()
{
    guard(ReportAndStop, "UserControl_Initialize", [&] {
        m_oPageBase = new PageBase(this);
        handle(m_oPageBase->handlers.Initialize, &SelectParamPage::m_oPageBase_Initialize);
        handle(m_oPageBase->handlers.Activate, &SelectParamPage::m_oPageBase_Activate);
        handle(m_oPageBase->handlers.Deactivate, &SelectParamPage::m_oPageBase_Deactivate);

        Grids().InitGrid(grdLocusTags, true);
        auto layout = qSharedPointerObjectCast<GridType>(ObjectManager().LoadObject(
            types::kGridType, fields::kGridTypeID, QString::number(layouts::kLocusTagSummary), false, true));
        if (!layout)
            throw Error::objectNotSet(QString::fromLatin1(className()), QStringLiteral("grid layout 16 is not stored"));
        Grids().ApplyGridType(grdLocusTags, layout, true, false, false);
        grdLocusTags->setHeightTwips(kLocusTagGridHeightTwips);
        MakeGridStatic(grdLocusTags);
    });
}

PageBase *SelectParamPage::Page()
{
    return guard(Propagate, "IPageAccess_Page (Get)", [&] { return m_oPageBase; });
}

AnalysisParameterPtr SelectParamPage::SelectedParameter() const
{
    return guard(Propagate, "SelectedParameter (Get)", [&] { return m_oSelectedParameter; });
}

void SelectParamPage::m_oPageBase_Initialize(QObject *)
{
    guard(Propagate, "m_oPageBase_Initialize", [&] { RefreshView(stored::kDefaultParameterSet); });
}

void SelectParamPage::RefreshView(QString &sParamName)
{
    guard(Propagate, "RefreshView", [&] {
        m_colAnalysisParameters = ObjectManager().LoadCollection(queries::kAnalysisParametersNotHidden, QString(),
                                                                 QString(), QString(), false, true);
        cmbAnalysisParams->Clear();
        if (m_colAnalysisParameters->Count() < 1)
            return; // the summary and the selected set keep what they held

        qint32 toSelect = 0;
        qint32 i = 0;
        for (const QVariant &item : *m_colAnalysisParameters) {
            auto set = objectFrom<AnalysisParameter>(item);
            if (!set)
                throw Error::typeMismatch(QString::fromLatin1(className()),
                                          QStringLiteral("AnalysisParameter expected"));
            const QString name = set->Name();
            cmbAnalysisParams->AddItem(name);
            cmbAnalysisParams->SetItemData(i, set->ID());
            if (sameText(name, sParamName))
                toSelect = i;
            if (sameText(name, stored::kDefaultParameterSet))
                m_lDefaultPosition = i + 1;
            ++i;
        }
        cmbAnalysisParams->setListIndex(toSelect); // runs cmbAnalysisParams_Click
    });
}

void SelectParamPage::cmbAnalysisParams_Click()
{
    guard(ReportAndStop, "cmbAnalysisParams_Click", [&] {
        grdLocusTags->setReadOnly(false);
        DisplayParameter();
        grdLocusTags->setReadOnly(true);
    });
}

void SelectParamPage::DisplayParameter()
{
    guard(Propagate, "DisplayParameter", [&] {
        Clear();
        const qint32 id = cmbAnalysisParams->ItemData(cmbAnalysisParams->ListIndex());
        m_oSelectedParameter = m_colAnalysisParameters->Object<AnalysisParameter>(QString::number(id));
        if (!m_oSelectedParameter)
            throw Error::objectNotSet(QString::fromLatin1(className()), QStringLiteral("the listed set is gone"));

        // Each caption is written as soon as its value is read, so a failure part-way leaves the
        // captions of the steps completed so far showing this set.
        const AnalysisParameter &set = *m_oSelectedParameter;
        lblProject->setCaption(summaryProject(set));
        lblDateModified->setCaption(summaryDateModified(set));
        lblCalibrationMatrix->setCaption(summaryCalibration(set));
        lblStandard->setCaption(summaryStandard(set));
        if (!summaryHasEntries(set))
            return;
        lblModel->setCaption(summaryModel(set));
        const QList<LocusTagLine> tags = summaryLocusTags(set);
        grdLocusTags->setRowCount(qint32(tags.size()));
        qint32 r = 1;
        for (const auto &tag : tags) {
            grdLocusTags->setCellText(r, 1, tag.name);
            grdLocusTags->setCellText(r, 2, tag.dateModified);
            ++r;
        }
    });
}

void SelectParamPage::Clear()
{
    guard(Propagate, "Clear", [&] {
        lblDateModified->setCaption(QString());
        lblCalibrationMatrix->setCaption(QString());
        lblModel->setCaption(QString());
        lblStandard->setCaption(QString());
        grdLocusTags->setRowCount(0);
    });
}

void SelectParamPage::MakeGridStatic(GridControl *grid)
{
    guard(Propagate, "MakeGridStatic", [&] {
        grid->setStaticLook(true);
        grid->setBackColor(colors::kButtonFace);
    });
}

void SelectParamPage::m_oPageBase_Activate()
{
    guard(Propagate, "m_oPageBase_Activate", [&] {
        const CollectionPtr context = requireContext();
        FrameworkUtilities &u = Utilities();
        if (u.KeyExists(context, keys::kAnalysisParameter))
            context->Remove(keys::kAnalysisParameter);

        if (u.KeyExists(context, keys::kSkipForward)) {
            m_oPageBase->Window()->ExecuteCommand(kCommandNext);
            return;
        }
        if (u.KeyExists(context, keys::kSkipBack)) {
            m_oPageBase->Window()->ExecuteCommand(kCommandBack);
            return;
        }
        if (u.KeyExists(context, keys::kStudy) && !u.KeyExists(context, keys::kSamples)) {
            m_oPageBase->Window()->ExecuteCommand(kCommandNext);
            return;
        }
        ServiceWindow *window = m_oPageBase->Window();
        if (window->Pages().Count == 1)
            window->SetButtonEnabled(kCommandCommit, false);
        window->SetTitle(titles::kAnalysisParameters);
        RefreshView(cmbAnalysisParams->Text());
    });
}

void SelectParamPage::m_oPageBase_Deactivate()
{
    guard(Propagate, "m_oPageBase_Deactivate", [&] {
        const CollectionPtr context = requireContext();
        if (Utilities().KeyExists(context, keys::kAnalysisParameter))
            context->Remove(keys::kAnalysisParameter);
        context->Add(toVariant(m_oSelectedParameter), keys::kAnalysisParameter);
    });
}

void SelectParamPage::cmdNew_Click()
{
    guard(ReportAndStop, "cmdNew_Click", [&] {
        if (m_lDefaultPosition < 1 || !m_colAnalysisParameters || m_lDefaultPosition > m_colAnalysisParameters->Count())
            fail(QStringLiteral("The parameter set \"%1\" is not stored, so there is no template for a new set.")
                     .arg(stored::kDefaultParameterSet));
        const auto templateSet = m_colAnalysisParameters->Object<AnalysisParameter>(m_lDefaultPosition);

        CollectionPtr context = newCollection();
        context->Add(QStringLiteral("1"), keys::kIsNew);
        context->Add(toVariant(templateSet), keys::kAnalysisParameter);
        ServiceWindowPtr window =
            App().RunService(flows::kEditAnalysisParameters, context, nullptr, flow_options::kEditNewSet);
        if (window && !window->WasCancelled())
            RefreshView(templateSet ? templateSet->Name() : QString());
    });
}

void SelectParamPage::cmdEdit_Click()
{
    guard(ReportAndStop, "cmdEdit_Click", [&] {
        CollectionPtr context = newCollection();
        context->Add(toVariant(m_oSelectedParameter), keys::kAnalysisParameter);
        App().RunService(flows::kEditAnalysisParameters, context, nullptr, flow_options::kEditExistingSet);
        if (Utilities().KeyExists(context, keys::kNewSaveAs)) {
            const auto saved = context->Object<AnalysisParameter>(keys::kNewSaveAs);
            RefreshView(saved ? saved->Name() : QString());
            context->Remove(keys::kNewSaveAs);
        }
    });
}

} // namespace veltrane
