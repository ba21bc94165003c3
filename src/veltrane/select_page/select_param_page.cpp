#include "veltrane/select_page/select_param_page.h"

#include "platform/forms/colors.h"
#include "platform/forms/combo_box.h"
#include "platform/forms/command_button.h"
#include "platform/forms/frame.h"
#include "platform/forms/label.h"
#include "platform/grid/grid_control.h"
#include "veltrane/common/formats.h"
#include "veltrane/contracts/error_trap.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/select_page/parameter_summary.h"
#include "veltrane/contracts/vocabulary.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace veltrane {

namespace {
constexpr const char *kClass = "SelectParamPage";
constexpr qint32 kLocusTagLayout = 16;
constexpr qint32 kLocusTagGridHeightTwips = 1530;
} // namespace

SelectParamPage::SelectParamPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("SelectParamPage"));
    buildControls();
    trap(Ending::ReportAndStop, kClass, "UserControl_Initialize", [this] { UserControl_Initialize(); });
}

SelectParamPage::~SelectParamPage() = default;

void SelectParamPage::buildControls()
{
    auto *outer = new QVBoxLayout(this);

    fraSelect = new Frame(this);
    fraSelect->setObjectName(QStringLiteral("fraSelect"));
    fraSelect->setCaption(QStringLiteral("Select Analysis Parameter Set"));
    auto *selectRow = new QHBoxLayout(fraSelect);
    cmbAnalysisParams = new ComboBox(fraSelect);
    cmbAnalysisParams->setObjectName(QStringLiteral("cmbAnalysisParams"));
    cmbAnalysisParams->setMinimumContentsLength(36);
    cmdNew = new CommandButton(fraSelect);
    cmdNew->setObjectName(QStringLiteral("cmdNew"));
    cmdNew->setCaption(QStringLiteral("&New"));
    cmdEdit = new CommandButton(fraSelect);
    cmdEdit->setObjectName(QStringLiteral("cmdEdit"));
    cmdEdit->setCaption(QStringLiteral("E&dit"));
    selectRow->addWidget(cmbAnalysisParams, 1);
    selectRow->addWidget(cmdNew);
    selectRow->addWidget(cmdEdit);
    outer->addWidget(fraSelect);

    fraSummary = new Frame(this);
    fraSummary->setObjectName(QStringLiteral("fraSummary"));
    fraSummary->setCaption(QStringLiteral("Parameter Set Summary"));
    auto *summary = new QGridLayout(fraSummary);
    auto addRow = [&](int row, const char *caption, const char *name, const char *captionName) {
        auto *title = new Label(fraSummary);
        title->setObjectName(QLatin1String(captionName));
        title->setCaption(QLatin1String(caption));
        auto *value = new Label(fraSummary);
        value->setObjectName(QLatin1String(name));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        title->setWordWrap(false); // captions stay on one line beside their values
        summary->addWidget(title, row, 0, Qt::AlignRight);
        summary->addWidget(value, row, 1);
        return value;
    };
    lblProject = addRow(0, "Project:", "lblProject", "lblProjectCaption");
    lblDateModified = addRow(1, "Date Modified:", "lblDateModified", "lblDateModifiedCaption");
    lblStandard = addRow(2, "Size Standard:", "lblStandard", "lblStandardCaption");
    lblModel = addRow(3, "Model:", "lblModel", "lblModelCaption");
    lblCalibrationMatrix = addRow(4, "Dye Mobility Calibration:", "lblCalibrationMatrix", "lblCalibrationCaption");
    summary->setColumnStretch(1, 1);
    outer->addWidget(fraSummary);

    fraLocusTags = new Frame(this);
    fraLocusTags->setObjectName(QStringLiteral("fraLocusTags"));
    fraLocusTags->setCaption(QStringLiteral("Locus Tags"));
    auto *tags = new QVBoxLayout(fraLocusTags);
    grdLocusTags = new GridControl(fraLocusTags);
    grdLocusTags->setObjectName(QStringLiteral("grdLocusTags"));
    tags->addWidget(grdLocusTags);
    outer->addWidget(fraLocusTags);
    outer->addStretch(1);

    connect(cmbAnalysisParams, &ComboBox::Click, this, [this] {
        trap(Ending::ReportAndStop, kClass, "cmbAnalysisParams_Click", [this] { cmbAnalysisParams_Click(); });
    });
    connect(cmdNew, &CommandButton::Click, this,
            [this] { trap(Ending::ReportAndStop, kClass, "cmdNew_Click", [this] { cmdNew_Click(); }); });
    connect(cmdEdit, &CommandButton::Click, this,
            [this] { trap(Ending::ReportAndStop, kClass, "cmdEdit_Click", [this] { cmdEdit_Click(); }); });
}

void SelectParamPage::UserControl_Initialize()
{
    m_oPageBase = new PageBase(this);
    m_oPageBase->handlers.Initialize = [this](QObject *o) {
        trap(Ending::Propagate, kClass, "m_oPageBase_Initialize", [&] { m_oPageBase_Initialize(o); });
    };
    m_oPageBase->handlers.Activate = [this] {
        trap(Ending::Propagate, kClass, "m_oPageBase_Activate", [this] { m_oPageBase_Activate(); });
    };
    m_oPageBase->handlers.Deactivate = [this] {
        trap(Ending::Propagate, kClass, "m_oPageBase_Deactivate", [this] { m_oPageBase_Deactivate(); });
    };

    Grids().InitGrid(grdLocusTags, true);
    auto layout = qSharedPointerObjectCast<GridType>(ObjectManager().LoadObject(
        types::kGridType, fields::kGridTypeID, QString::number(kLocusTagLayout), false, true));
    if (!layout)
        throw Error::objectNotSet(QString::fromLatin1(kClass), QStringLiteral("grid layout 16 is not stored"));
    Grids().ApplyGridType(grdLocusTags, layout, true, false, false);
    grdLocusTags->setHeightTwips(kLocusTagGridHeightTwips);
    MakeGridStatic(grdLocusTags);
}

PageBase *SelectParamPage::Page()
{
    return trap(Ending::Propagate, kClass, "IPageAccess_Page (Get)", [this] { return m_oPageBase; });
}

AnalysisParameterPtr SelectParamPage::SelectedParameter() const
{
    return trap(Ending::Propagate, kClass, "SelectedParameter (Get)", [this] { return m_oSelectedParameter; });
}

void SelectParamPage::m_oPageBase_Initialize(QObject *)
{
    RefreshView(stored::kDefaultParameterSet);
}

void SelectParamPage::RefreshView(QString &sParamName)
{
    trap(Ending::Propagate, kClass, "RefreshView", [&] {
        m_colAnalysisParameters =
            ObjectManager().LoadCollection(queries::kAnalysisParametersNotHidden, QString(), QString(), QString(), false, true);
        cmbAnalysisParams->Clear();
        if (m_colAnalysisParameters->Count() < 1)
            return; // the summary and the selected set keep what they held

        qint32 toSelect = 0;
        qint32 i = 0;
        for (const QVariant &item : *m_colAnalysisParameters) {
            auto set = objectFrom<AnalysisParameter>(item);
            if (!set)
                throw Error::typeMismatch(QString::fromLatin1(kClass), QStringLiteral("AnalysisParameter expected"));
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
    grdLocusTags->setReadOnly(false);
    DisplayParameter();
    grdLocusTags->setReadOnly(true);
}

void SelectParamPage::DisplayParameter()
{
    trap(Ending::Propagate, kClass, "DisplayParameter", [this] {
        Clear();
        const qint32 id = cmbAnalysisParams->ItemData(cmbAnalysisParams->ListIndex());
        m_oSelectedParameter = m_colAnalysisParameters->Object<AnalysisParameter>(QString::number(id));
        if (!m_oSelectedParameter)
            throw Error::objectNotSet(QString::fromLatin1(kClass), QStringLiteral("the listed set is gone"));

        const ParameterSummary s = summarizeParameterSet(*m_oSelectedParameter);
        lblProject->setCaption(s.project);
        lblDateModified->setCaption(s.dateModified);
        lblCalibrationMatrix->setCaption(s.calibration);
        lblStandard->setCaption(s.standard);
        if (!s.hasEntries)
            return;
        lblModel->setCaption(s.model);
        grdLocusTags->setRowCount(qint32(s.tags.size()));
        qint32 r = 1;
        for (const auto &tag : s.tags) {
            grdLocusTags->setCellText(r, 1, tag.name);
            grdLocusTags->setCellText(r, 2, tag.dateModified);
            ++r;
        }
    });
}

void SelectParamPage::Clear()
{
    trap(Ending::Propagate, kClass, "Clear", [this] {
        lblDateModified->setCaption(QString());
        lblCalibrationMatrix->setCaption(QString());
        lblModel->setCaption(QString());
        lblStandard->setCaption(QString());
        grdLocusTags->setRowCount(0);
    });
}

void SelectParamPage::MakeGridStatic(GridControl *grid)
{
    trap(Ending::Propagate, kClass, "MakeGridStatic", [grid] {
        grid->setStaticLook(true);
        grid->setBackColor(colors::kButtonFace);
    });
}

void SelectParamPage::m_oPageBase_Activate()
{
    const CollectionPtr context = m_oPageBase->BusinessContext();
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
}

void SelectParamPage::m_oPageBase_Deactivate()
{
    const CollectionPtr context = m_oPageBase->BusinessContext();
    if (Utilities().KeyExists(context, keys::kAnalysisParameter))
        context->Remove(keys::kAnalysisParameter);
    context->Add(toVariant(m_oSelectedParameter), keys::kAnalysisParameter);
}

void SelectParamPage::cmdNew_Click()
{
    if (m_lDefaultPosition < 1 || !m_colAnalysisParameters || m_lDefaultPosition > m_colAnalysisParameters->Count())
        throw Error(kApplicationError, QString::fromLatin1(kClass),
                    QStringLiteral("The parameter set \"%1\" is not stored, so there is no template for a new set.")
                        .arg(stored::kDefaultParameterSet));
    const auto templateSet = m_colAnalysisParameters->Object<AnalysisParameter>(m_lDefaultPosition);

    CollectionPtr context = newCollection();
    context->Add(QStringLiteral("1"), keys::kIsNew);
    context->Add(toVariant(templateSet), keys::kAnalysisParameter);
    ServiceWindowPtr window =
        App().RunService(flows::kEditAnalysisParameters, context, nullptr, 1, -1, -1, -1, -1, -1, QString(), 0, 0);
    if (window && !window->WasCancelled())
        RefreshView(templateSet ? templateSet->Name() : QString());
}

void SelectParamPage::cmdEdit_Click()
{
    CollectionPtr context = newCollection();
    context->Add(toVariant(m_oSelectedParameter), keys::kAnalysisParameter);
    App().RunService(flows::kEditAnalysisParameters, context, nullptr, 1, -1, -1, 3, -1, 0, QString(), 0, 0);
    if (Utilities().KeyExists(context, keys::kNewSaveAs)) {
        const auto saved = context->Object<AnalysisParameter>(keys::kNewSaveAs);
        RefreshView(saved ? saved->Name() : QString());
        context->Remove(keys::kNewSaveAs);
    }
}

} // namespace veltrane
