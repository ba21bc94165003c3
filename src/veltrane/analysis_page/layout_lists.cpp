// The editor's controls, tabs and grids, and the lists it fills when it is created.

#include "veltrane/analysis_page/layout_lists.h"

#include "platform/forms/check_box.h"
#include "platform/forms/colors.h"
#include "platform/forms/combo_box.h"
#include "platform/forms/command_button.h"
#include "platform/forms/frame.h"
#include "platform/forms/label.h"
#include "platform/forms/option_button.h"
#include "platform/forms/tab_control.h"
#include "platform/forms/text_box.h"
#include "platform/forms/up_down.h"
#include "platform/grid/grid_control.h"
#include "veltrane/analysis_page/analysis_param_page.h"
#include "veltrane/common/formats.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"
#include "veltrane/service/class_table.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace veltrane {

namespace captions = editor::captions;

namespace {

// A field wide enough for this many digits (and a little room), at any screen scale.
void fitDigits(QWidget *field, int digits)
{
    const QFontMetrics metrics = field->fontMetrics();
    field->setFixedWidth(metrics.horizontalAdvance(QString(digits + 1, QLatin1Char('0'))) + 2 * metrics.height() / 3);
}

// Two controls in one place: the top one covers the other while it is visible, so whichever of the
// two the page shows is what the user sees (a name box over the name label, for example).
QWidget *samePlace(QWidget *parent, QWidget *top, QWidget *under)
{
    auto *place = new QWidget(parent);
    auto *stack = new QStackedLayout(place);
    stack->setStackingMode(QStackedLayout::StackAll);
    stack->setContentsMargins(0, 0, 0, 0);
    under->setParent(place);
    top->setParent(place);
    stack->addWidget(under);
    stack->addWidget(top);
    stack->setCurrentWidget(top);
    return place;
}

QHBoxLayout *row(std::initializer_list<QWidget *> widgets, bool stretch = true)
{
    auto *layout = new QHBoxLayout;
    for (QWidget *w : widgets)
        layout->addWidget(w);
    if (stretch)
        layout->addStretch(1);
    return layout;
}

} // namespace

// ---- the controls --------------------------------------------------------------------------------

void AnalysisParamPage::buildControls()
{
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(buildHeader());

    SSTab1 = make<TabControl>(this, QStringLiteral("SSTab1"));
    for (int tab = editor::General; tab < editor::TabCount; ++tab)
        SSTab1->AddTab(editor::tabCaption(editor::Tab(tab)));
    SSTab1->tabBar()->setAccessibleName(QStringLiteral("Settings"));
    outer->addWidget(SSTab1, 1);

    auto *general = new QVBoxLayout(SSTab1->tabPage(editor::General));
    general->addWidget(fraGeneral = buildGeneral());
    lblSNPWarning = make<Label>(SSTab1->tabPage(editor::General), QStringLiteral("lblSNPWarning"),
                                QStringLiteral("To allow Save: SNP Analysis requires selecting a size standard "
                                               "consisting of only two standard fragments."));
    lblSNPWarning->setWordWrap(true);
    lblSNPWarning->setVisible(false);
    general->addWidget(lblSNPWarning);
    general->addStretch(1);

    (new QVBoxLayout(SSTab1->tabPage(editor::AnalysisMethod)))->addWidget(fraAnalysisMethod = buildAnalysisMethod());
    auto *quantitation = new QVBoxLayout(SSTab1->tabPage(editor::Quantitation));
    quantitation->addWidget(fraQuantitation = buildQuantitation());
    quantitation->addStretch(1);

    // The STR locus tag selector is the host's control; the editor makes it by its identifier and
    // speaks to it only late-bound.
    // A host that provides no such control still gets an editor: the tab says what is missing, and
    // loading a set reports it.
    QWidget *strPage = SSTab1->tabPage(editor::STRLocusTags);
    try {
        ctlSTRLocusTagSelector = qobject_cast<QWidget *>(createObject(str_selector::kProgId, strPage));
        if (!ctlSTRLocusTagSelector)
            fail(QStringLiteral("The STR locus tag selector \"%1\" is not a control.").arg(str_selector::kProgId));
    } catch (const Error &e) {
        m_strSelectorMissing = e;
        ctlSTRLocusTagSelector = new Label(e.description(), strPage);
    }
    ctlSTRLocusTagSelector->setObjectName(QStringLiteral("ctlSTRLocusTagSelector"));
    (new QVBoxLayout(strPage))->addWidget(ctlSTRLocusTagSelector);

    QWidget *snpPage = SSTab1->tabPage(editor::SNPLocusTags);
    ctlSNPLocusTagSelector = qobject_cast<QWidget *>(createObject(QStringLiteral("SNPLocusTagSelector"), snpPage));
    if (!ctlSNPLocusTagSelector)
        fail(QStringLiteral("The SNP locus tag selector is not a control."));
    ctlSNPLocusTagSelector->setObjectName(QStringLiteral("ctlSNPLocusTagSelector"));
    (new QVBoxLayout(snpPage))->addWidget(ctlSNPLocusTagSelector);

    auto *advanced = new QVBoxLayout(SSTab1->tabPage(editor::Advanced));
    advanced->addWidget(fraAdvanced = buildAdvanced());
    advanced->addStretch(1);

    // The page hides every tab's contents but the current one's; hidden, they would still count
    // for the window's size, so that it fits the largest tab from the start and never grows or
    // jumps as the user changes tabs.
    // Lists are filled from the store as a set loads: each is as wide as its longest entry, whether
    // or not its tab has been shown yet.
    for (ComboBox *list : findChildren<ComboBox *>())
        list->setFitsContents(true);

    for (QWidget *content : {static_cast<QWidget *>(fraGeneral), static_cast<QWidget *>(lblSNPWarning),
                             static_cast<QWidget *>(fraAnalysisMethod), static_cast<QWidget *>(fraQuantitation),
                             ctlSTRLocusTagSelector, ctlSNPLocusTagSelector, static_cast<QWidget *>(fraAdvanced)}) {
        QSizePolicy policy = content->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        content->setSizePolicy(policy);
    }
}

QWidget *AnalysisParamPage::buildHeader()
{
    auto *header = new QWidget(this);
    header->setObjectName(QStringLiteral("header"));
    auto *grid = new QGridLayout(header);
    grid->setContentsMargins(0, 0, 0, 0);

    txtParameterSetName = make<TextBox>(header, QStringLiteral("txtParameterSetName"));
    txtParameterSetName->setMaxLength(127);
    txtParameterSetName->setEnabled(false);
    lblAnalysisParameter = make<Label>(header, QStringLiteral("lblAnalysisParameter"));
    lblAnalysisParameter->setTextInteractionFlags(Qt::TextSelectableByMouse);
    addRow(grid, captions::kParameterSetName, {samePlace(header, txtParameterSetName, lblAnalysisParameter)})
        ->setBuddy(txtParameterSetName);
    // The caption stands outside the place the field shares with its label, so a screen reader does
    // not find it by itself.
    txtParameterSetName->setAccessibleName(editor::plainCaption(captions::kParameterSetName));

    cmbProjects = make<ComboBox>(header, QStringLiteral("cmbProjects"));
    cmbProjects->setMinimumContentsLength(24);
    cmbProjects->setEnabled(false);
    lblProject = make<Label>(header, QStringLiteral("lblProject"));
    auto *projectPlace = samePlace(header, cmbProjects, lblProject);
    addRow(grid, captions::kProject, {projectPlace})->setBuddy(cmbProjects);
    cmbProjects->setAccessibleName(editor::plainCaption(captions::kProject));
    cmbProjects->setAccessibleDescription(cmbProjects->accessibleName());
    grid->setColumnStretch(1, 1);
    txtParameterSetName->setMinimumWidth(cmbProjects->sizeHint().width());
    return header;
}

Frame *AnalysisParamPage::buildGeneral()
{
    auto *frame = make<Frame>(this, QStringLiteral("fraGeneral"), QString());
    frame->setBorderStyle(0);
    auto *grid = new QGridLayout(frame);

    auto *parameterSet = make<Frame>(frame, QStringLiteral("fraParameterSet"), captions::kParameterSet);
    auto *dates = new QGridLayout(parameterSet);
    addRow(dates, captions::kDateCreated,
           {lblDateCreated = make<Label>(parameterSet, QStringLiteral("lblDateCreated"))});
    addRow(dates, captions::kDateModified,
           {lblDateModified = make<Label>(parameterSet, QStringLiteral("lblDateModified"))});
    dates->setColumnStretch(1, 1);
    grid->addWidget(parameterSet, 0, 0);

    auto *alleles = make<Frame>(frame, QStringLiteral("fraAlleleIdentification"), captions::kAlleleIdentification);
    auto *allelesLayout = new QVBoxLayout(alleles);
    allelesLayout->addWidget(chkIDAlleles =
                                 make<CheckBox>(alleles, QStringLiteral("chkIDAlleles"), captions::kIdentifyAlleles));
    allelesLayout->addWidget(chkSNP = make<CheckBox>(alleles, QStringLiteral("chkSNP"), captions::kSNPAnalysis));
    grid->addWidget(alleles, 0, 1);

    auto *confidence = make<Frame>(frame, QStringLiteral("fraConfidence"), captions::kConfidence);
    auto *confidenceLayout = new QGridLayout(confidence);
    txtConfidenceLevel = make<TextBox>(confidence, QStringLiteral("txtConfidenceLevel"));
    udConfidenceLevel = new UpDown(txtConfidenceLevel, 75, 99, 1, confidence);
    udConfidenceLevel->setObjectName(QStringLiteral("udConfidenceLevel"));
    addRow(confidenceLayout, captions::kConfidenceLevel,
           {txtConfidenceLevel, udConfidenceLevel, new Label(captions::kPercent, confidence)});
    confidenceLayout->setColumnStretch(4, 1);
    grid->addWidget(confidence, 1, 0);

    auto *peaks = make<Frame>(frame, QStringLiteral("fraPeakCriteria"), captions::kPeakCriteria);
    auto *peaksLayout = new QGridLayout(peaks);
    txtIncludePeaks = make<TextBox>(peaks, QStringLiteral("txtIncludePeaks"));
    udIncludePeaks = new UpDown(txtIncludePeaks, 0, 100, 1, peaks);
    udIncludePeaks->setObjectName(QStringLiteral("udIncludePeaks"));
    addRow(peaksLayout, captions::kRelativePeakHeight,
           {txtIncludePeaks, udIncludePeaks, new Label(captions::kPercent, peaks)});
    txtSlopeThreshold = make<TextBox>(peaks, QStringLiteral("txtSlopeThreshold"));
    udSlopeThreshold = new UpDown(txtSlopeThreshold, 1, 1000, 1, peaks);
    udSlopeThreshold->setObjectName(QStringLiteral("udSlopeThreshold"));
    addRow(peaksLayout, captions::kSlopeThreshold, {txtSlopeThreshold, udSlopeThreshold});
    peaksLayout->setColumnStretch(4, 1);
    grid->addWidget(peaks, 1, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    // What the fields hold when the editor is made; a set's values replace them as it loads.
    txtConfidenceLevel->setMaxLength(3);
    txtConfidenceLevel->setText(QStringLiteral("95"));
    txtIncludePeaks->setMaxLength(3);
    txtIncludePeaks->setText(QStringLiteral("10"));
    txtSlopeThreshold->setMaxLength(4);
    txtSlopeThreshold->setText(QStringLiteral("10"));
    for (TextBox *field : {txtConfidenceLevel, txtIncludePeaks, txtSlopeThreshold})
        fitDigits(field, 4);
    chkIDAlleles->setValue(1);
    return frame;
}

Frame *AnalysisParamPage::buildAnalysisMethod()
{
    auto *frame = make<Frame>(this, QStringLiteral("fraAnalysisMethod"), QString());
    frame->setBorderStyle(0);
    auto *layout = new QVBoxLayout(frame);
    auto *top = new QGridLayout;
    layout->addLayout(top);

    cmbSizeStandard = make<ComboBox>(frame, QStringLiteral("cmbSizeStandard"));
    cmbSizeStandard->setMinimumContentsLength(24);
    addRow(top, captions::kSizeStandard, {cmbSizeStandard});
    addRow(top, captions::kDye, {lblDye = make<Label>(frame, QStringLiteral("lblDye"))});
    addRow(top, captions::kFitCoefficient,
           {lblSizeStandardFitCoef = make<Label>(frame, QStringLiteral("lblSizeStandardFitCoef"))});

    auto *model = new QGridLayout;
    cmbModel = make<ComboBox>(frame, QStringLiteral("cmbModel"));
    cmbModel->setMinimumContentsLength(16);
    addRow(model, captions::kModel, {cmbModel});
    lblRequirements = make<Label>(frame, QStringLiteral("lblRequirements"));
    lblRequirements->setWordWrap(false); // a wrapping label would be given too little height
    model->addWidget(lblRequirements, model->rowCount(), 0, 1, 2);
    auto *migration = make<Frame>(frame, QStringLiteral("fraMigrationVariable"), captions::kMigrationVariable);
    auto *migrationLayout = new QVBoxLayout(migration);
    migrationLayout->addWidget(
        optMigrationTime = make<OptionButton>(migration, QStringLiteral("optMigrationTime"), captions::kMigrationTime));
    migrationLayout->addWidget(optMobility =
                                   make<OptionButton>(migration, QStringLiteral("optMobility"), captions::kMobility));
    model->addWidget(migration, model->rowCount(), 0, 1, 2);
    model->setRowStretch(model->rowCount(), 1);
    top->addLayout(model, 0, 2, 4, 1);
    top->setRowStretch(3, 1); // both columns start at the top
    top->setColumnStretch(1, 1);
    top->setColumnStretch(2, 1);

    auto *peaksCaption = new Label(captions::kSelectedPeaks, frame);
    layout->addWidget(peaksCaption);
    grdSizeStandard = make<GridControl>(frame, QStringLiteral("grdSizeStandard"));
    peaksCaption->setBuddy(grdSizeStandard);
    layout->addWidget(grdSizeStandard, 1);
    cmdSelectAll = make<CommandButton>(frame, QStringLiteral("cmdSelectAll"), QStringLiteral("&Select All"));
    cmdDeselectAll = make<CommandButton>(frame, QStringLiteral("cmdDeselectAll"), QStringLiteral("&Deselect All"));
    layout->addLayout(row({cmdSelectAll, cmdDeselectAll}));
    return frame;
}

Frame *AnalysisParamPage::buildQuantitation()
{
    auto *frame = make<Frame>(this, QStringLiteral("fraQuantitation"), QString());
    frame->setBorderStyle(0);
    auto *layout = new QVBoxLayout(frame);

    auto *idStandard = make<Frame>(frame, QStringLiteral("fraIDStandard"), captions::kIDStandard);
    auto *idLayout = new QHBoxLayout(idStandard);
    idLayout->addWidget(make(idStandard, optDuration, 0, captions::kSize));
    idLayout->addWidget(make(idStandard, optDuration, 1, captions::kTime));
    idLayout->addStretch(1);
    auto *calculate = make<Frame>(frame, QStringLiteral("fraCalculateUsing"), captions::kCalculateUsing);
    auto *calculateLayout = new QHBoxLayout(calculate);
    calculateLayout->addWidget(make(calculate, optQuantity, 0, captions::kHeight));
    calculateLayout->addWidget(make(calculate, optQuantity, 1, captions::kArea));
    calculateLayout->addStretch(1);
    auto *options = new QHBoxLayout;
    options->addWidget(idStandard, 1);
    options->addWidget(calculate, 1);
    layout->addLayout(options);

    auto *values = make<Frame>(frame, QStringLiteral("fraQuantitationValues"), captions::kQuantitationValues);
    auto *grid = new QGridLayout(values);
    // Columns: dye, size/time, window and its unit, amount, "E", power and its spin, units.
    grid->addWidget(lblStandard = make<Label>(values, QStringLiteral("lblStandard"), captions::kSize), 0, 1);
    grid->addWidget(lblWindowTitle = make<Label>(values, QStringLiteral("lblWindowTitle"), captions::kWindow), 0, 2, 1,
                    2);
    grid->addWidget(lblAmountTitle = make<Label>(values, QStringLiteral("lblAmountTitle"), captions::kAmount), 0, 4, 1,
                    4);
    grid->addWidget(lblUnits = make<Label>(values, QStringLiteral("lblUnits"), captions::kUnits), 0, 8);
    for (int i = 0; i < limits::kQuantitationRows; ++i) {
        const int r = i + 1;
        const QString dye = captions::dyeName(i);
        lblD.append(make<Label>(values, QStringLiteral("lbl") + dye, dye));
        grid->addWidget(lblD.last(), r, 0);
        TextBox *sizeTime = make(values, txtSizeTime, i);
        sizeTime->setMaxLength(7);
        fitDigits(sizeTime, 7);
        grid->addWidget(sizeTime, r, 1);
        TextBox *window = make(values, txtWindow, i);
        window->setMaxLength(7);
        fitDigits(window, 7);
        grid->addWidget(window, r, 2);
        grid->addWidget(make(values, lblWindow, i, QStringLiteral("nt")), r, 3);
        TextBox *amount = make(values, txtAmount, i);
        amount->setMaxLength(6);
        fitDigits(amount, 6);
        grid->addWidget(amount, r, 4);
        grid->addWidget(make(values, lblAmount, i, captions::kAmountPower), r, 5);
        TextBox *power = make(values, txtPower, i);
        power->setMaxLength(3);
        fitDigits(power, 3);
        grid->addWidget(power, r, 6);
        // The first row's power spin and those of the others were made as two arrays.
        ControlArray<UpDown> &spins = i == 0 ? udeSize : udeTime;
        UpDown *spin = spins.add(i, new UpDown(power, -25, 25, 1, values));
        grid->addWidget(spin, r, 7);
        ComboBox *units = make(values, cmbUnits, i);
        units->setMinimumContentsLength(4);
        grid->addWidget(units, r, 8);
        // The fields of a row stand under column titles and beside the row's dye: a screen reader
        // hears both (the size or time and the window's unit follow the ID standard).
        window->setAccessibleName(editor::quantitationFieldName(i, QStringLiteral("+/- Window")));
        amount->setAccessibleName(editor::quantitationFieldName(i, QStringLiteral("Amount")));
        power->setAccessibleName(editor::quantitationFieldName(i, QStringLiteral("Amount power of ten")));
        // Lists on Linux speak their current entry as their name, so the column goes in the description.
        units->setAccessibleName(editor::quantitationFieldName(i, QStringLiteral("Units")));
        units->setAccessibleDescription(units->accessibleName());
        sizeTime->setAccessibleName(editor::quantitationFieldName(i, lblStandard->Caption()));
    }
    grid->setColumnStretch(9, 1);
    layout->addWidget(values);
    return frame;
}

Frame *AnalysisParamPage::buildAdvanced()
{
    auto *frame = make<Frame>(this, QStringLiteral("fraAdvanced"), QString());
    frame->setBorderStyle(0);
    auto *layout = new QVBoxLayout(frame);

    auto *spectra = make<Frame>(frame, QStringLiteral("fraDyeSpectra"), captions::kDyeSpectra);
    auto *spectraLayout = new QVBoxLayout(spectra);
    optUseCalculatedDS =
        make<OptionButton>(spectra, QStringLiteral("optUseCalculatedDS"), captions::kUseCalculatedDyeSpectra);
    spectraLayout->addWidget(optUseCalculatedDS);
    optSystemDS = make<OptionButton>(spectra, QStringLiteral("optSystemDS"), captions::kUseSystemDyeSpectra);
    auto *systemLine = row({optSystemDS});
    systemLine->insertSpacing(1, fontMetrics().height());
    for (int i = 0; i < limits::kQuantitationRows; ++i)
        systemLine->insertWidget(2 + i, make(spectra, chkDyeSpectra, i, captions::dyeName(i)));
    spectraLayout->addLayout(systemLine);
    layout->addWidget(spectra);

    auto *mobility = make<Frame>(frame, QStringLiteral("fraMobility"), captions::kMobilityFrame);
    auto *mobilityLayout = new QGridLayout(mobility);
    cmbMobility = make<ComboBox>(mobility, QStringLiteral("cmbMobility"));
    cmbMobility->setMinimumContentsLength(24);
    addRow(mobilityLayout, captions::kDyeMobilityCalibration, {cmbMobility});
    grdMobility = make<GridControl>(mobility, QStringLiteral("grdMobility"));
    grdMobility->setAccessibleName(QStringLiteral("Dye Mobility Calibration coefficients"));
    mobilityLayout->addWidget(grdMobility, mobilityLayout->rowCount(), 0, 1, 3);
    cmbMobilityReference = make<ComboBox>(mobility, QStringLiteral("cmbMobilityReference"));
    cmbMobilityReference->setMinimumContentsLength(24);
    addRow(mobilityLayout, captions::kStandardMobilityReference, {cmbMobilityReference});
    mobilityLayout->setColumnStretch(2, 1);
    layout->addWidget(mobility);

    // As made: calculated dye spectra, every dye ticked (the boxes wait for system spectra).
    optUseCalculatedDS->setValue(true);
    for (CheckBox *dye : chkDyeSpectra.members()) {
        dye->setValue(1);
        dye->setEnabled(false);
    }
    return frame;
}

void AnalysisParamPage::wireEvents()
{
    on(SSTab1, &TabControl::Click, &AnalysisParamPage::SSTab1_Click);

    on(txtParameterSetName, &TextBox::Change, &AnalysisParamPage::txtParameterSetName_Change);
    on(txtConfidenceLevel, &TextBox::Change, &AnalysisParamPage::txtConfidenceLevel_Change);
    on(txtConfidenceLevel, &TextBox::KeyPress, &AnalysisParamPage::txtConfidenceLevel_KeyPress);
    on(txtConfidenceLevel, &TextBox::LostFocus, &AnalysisParamPage::txtConfidenceLevel_LostFocus);
    on(txtIncludePeaks, &TextBox::Change, &AnalysisParamPage::txtIncludePeaks_Change);
    on(txtIncludePeaks, &TextBox::KeyPress, &AnalysisParamPage::txtIncludePeaks_KeyPress);
    on(txtIncludePeaks, &TextBox::LostFocus, &AnalysisParamPage::txtIncludePeaks_LostFocus);
    on(txtSlopeThreshold, &TextBox::Change, &AnalysisParamPage::txtSlopeThreshold_Change);
    on(txtSlopeThreshold, &TextBox::KeyPress, &AnalysisParamPage::txtSlopeThreshold_KeyPress);
    on(txtSlopeThreshold, &TextBox::LostFocus, &AnalysisParamPage::txtSlopeThreshold_LostFocus);
    on(txtSizeTime, &TextBox::Change, &AnalysisParamPage::txtSizeTime_Change);
    on(txtSizeTime, &TextBox::KeyPress, &AnalysisParamPage::txtSizeTime_KeyPress);
    on(txtSizeTime, &TextBox::GotFocus, &AnalysisParamPage::txtSizeTime_GotFocus);
    on(txtSizeTime, &TextBox::LostFocus, &AnalysisParamPage::txtSizeTime_LostFocus);
    on(txtWindow, &TextBox::Change, &AnalysisParamPage::txtWindow_Change);
    on(txtWindow, &TextBox::KeyPress, &AnalysisParamPage::txtWindow_KeyPress);
    on(txtWindow, &TextBox::GotFocus, &AnalysisParamPage::txtWindow_GotFocus);
    on(txtWindow, &TextBox::LostFocus, &AnalysisParamPage::txtWindow_LostFocus);
    on(txtAmount, &TextBox::KeyPress, &AnalysisParamPage::txtAmount_KeyPress);
    on(txtAmount, &TextBox::GotFocus, &AnalysisParamPage::txtAmount_GotFocus);
    on(txtAmount, &TextBox::LostFocus, &AnalysisParamPage::txtAmount_LostFocus);
    on(txtPower, &TextBox::KeyPress, &AnalysisParamPage::txtPower_KeyPress);
    on(txtPower, &TextBox::LostFocus, &AnalysisParamPage::txtPower_LostFocus);

    on(cmbSizeStandard, &ComboBox::Click, &AnalysisParamPage::cmbSizeStandard_Click);
    on(cmbModel, &ComboBox::Click, &AnalysisParamPage::cmbModel_Click);
    on(cmdSelectAll, &CommandButton::Click, &AnalysisParamPage::cmdSelectAll_Click);
    on(cmdDeselectAll, &CommandButton::Click, &AnalysisParamPage::cmdDeselectAll_Click);
    on(grdSizeStandard, &GridControl::clickedButtonRowCol, &AnalysisParamPage::grdSizeStandard_OnClickedButtonRowCol);
    on(grdSizeStandard, &GridControl::gridKeyDown, &AnalysisParamPage::grdSizeStandard_OnGridKeyDown);
    on(grdSizeStandard, &GridControl::gridKeyUp, &AnalysisParamPage::grdSizeStandard_OnGridKeyUp);

    on(cmbMobility, &ComboBox::Click, &AnalysisParamPage::cmbMobility_Click);
    on(optSystemDS, &OptionButton::Click, &AnalysisParamPage::optSystemDS_Click);
    on(optUseCalculatedDS, &OptionButton::Click, &AnalysisParamPage::optUseCalculatedDS_Click);
    on(chkDyeSpectra, &CheckBox::Click, &AnalysisParamPage::chkDyeSpectra_Click);
    on(chkIDAlleles, &CheckBox::Click, &AnalysisParamPage::chkIDAlleles_Click);
    on(chkSNP, &CheckBox::Click, &AnalysisParamPage::chkSNP_Click);
    on(optDuration, &OptionButton::Click, &AnalysisParamPage::optDuration_Click);
}

// ---- created ---------------------------------------------------------------------------------------

void AnalysisParamPage::UserControl_Initialize()
{
    guard(ReportAndStop, "UserControl_Initialize", [&] {
        m_oPageBase = new PageBase(this);
        handle(m_oPageBase->handlers.Initialize, &AnalysisParamPage::m_oPageBase_Initialize);
        handle(m_oPageBase->handlers.Activate, &AnalysisParamPage::m_oPageBase_Activate);
        handle(m_oPageBase->handlers.Validate, &AnalysisParamPage::m_oPageBase_Validate);
        handle(m_oPageBase->handlers.Save, &AnalysisParamPage::m_oPageBase_Save);
        handle(m_oPageBase->handlers.CommandClick, &AnalysisParamPage::m_oPageBase_CommandClick);
        handle(m_oPageBase->handlers.OnExit, &AnalysisParamPage::m_oPageBase_OnExit);

        Grids().InitGrid(grdMobility, true);
        Grids().InitGrid(grdSizeStandard, true);

        const auto layout = [](qint32 number) {
            auto type = qSharedPointerObjectCast<GridType>(ObjectManager().LoadObject(
                types::kGridType, fields::kGridTypeID, QString::number(number), false, true));
            if (!type)
                throw Error::objectNotSet(QStringLiteral("AnalysisParamPage"),
                                          QStringLiteral("grid layout %1 is not stored").arg(number));
            return type;
        };
        Grids().ApplyGridType(grdMobility, layout(layouts::kMobility), true, true, false);
        grdMobility->setRowCount(4);
        for (qint32 r = 1; r <= 4; ++r)
            grdMobility->setCellText(r, 0, captions::coefficientRow(r - 1));

        Grids().ApplyGridType(grdSizeStandard, layout(layouts::kSizeStandard), true, false, false);
        grdSizeStandard->setColumnAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        grdSizeStandard->setColumnAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        grdSizeStandard->setColumnAlignment(1, Qt::AlignCenter);
        grdSizeStandard->setColumnCheckBox(1, true);

        PopulateLists();
    });
}

void AnalysisParamPage::PopulateLists()
{
    guard(Propagate, "PopulateLists", [&] {
        m_colSizeStandards =
            ObjectManager().LoadCollection(queries::kSizeStandards, QString(), QString(), fields::kName, false, true);
        m_colMobilityCalibrations = ObjectManager().LoadCollection(queries::kMobilityCalibrations, QString(), QString(),
                                                                   fields::kName, false, true);
        qint32 k = 1;
        for (const auto &standard : m_colSizeStandards->objects<SizeStandard>()) {
            const qint32 flags = standard->Data() ? standard->Data()->Attributes() : 0;
            if (flags & limits::kHiddenBit)
                continue;
            cmbSizeStandard->AddItem(standard->Name());
            cmbSizeStandard->SetItemData(cmbSizeStandard->NewIndex(), k++);
        }
        for (const auto &calibration : m_colMobilityCalibrations->objects<MobilityCalibration>())
            cmbMobility->AddItem(calibration->Name());
    });
}

void AnalysisParamPage::LoadProjects()
{
    guard(Propagate, "LoadProjects", [&] {
        const CollectionPtr projects =
            ObjectManager().LoadCollection(queries::kProjects, QString(), QString(), QString(), false, true);
        cmbProjects->Clear();
        if (projects->Count() < 1)
            return;
        qint32 d = 0;
        for (qint32 i = 1; i <= projects->Count(); ++i) {
            const ObjectPtr project = projects->Object(i);
            if (!project)
                throw Error::typeMismatch(QString::fromLatin1(className()), QStringLiteral("a project was expected"));
            const QString name = trimTrailing(project->property("Name").toString());
            cmbProjects->AddItem(name);
            cmbProjects->SetItemData(cmbProjects->NewIndex(), project->property("ProjectID").toInt());
            if (sameText(name, stored::kDefaultProject))
                d = i - 1;
        }
        cmbProjects->setListIndex(d);
        lblProject->setCaption(cmbProjects->Text());
    });
}

// ---- tabs ------------------------------------------------------------------------------------------

void AnalysisParamPage::HideTabFrames()
{
    guard(Propagate, "HideTabFrames", [&] {
        for (QWidget *content : {static_cast<QWidget *>(fraGeneral), static_cast<QWidget *>(fraAnalysisMethod),
                                 static_cast<QWidget *>(fraQuantitation), ctlSTRLocusTagSelector,
                                 ctlSNPLocusTagSelector, static_cast<QWidget *>(fraAdvanced)})
            content->setVisible(false);
    });
}

void AnalysisParamPage::fitTabContents()
{
    // Layouts measure again only once their widget is shown, and loading fills every tab while all
    // but one are hidden: measure each tab's contents now, polished as they will be shown and down
    // to their innermost frames, so that the window fits the largest tab from the start.
    for (QWidget *content : {static_cast<QWidget *>(fraGeneral), static_cast<QWidget *>(fraAnalysisMethod),
                             static_cast<QWidget *>(fraQuantitation), ctlSTRLocusTagSelector, ctlSNPLocusTagSelector,
                             static_cast<QWidget *>(fraAdvanced)}) {
        content->ensurePolished();
        // Layouts, and what they keep of each widget's measure, are refreshed as widgets change
        // while shown; the hidden ones could not pass their changes on.
        for (QLayout *layout : content->findChildren<QLayout *>())
            layout->invalidate();
        for (QWidget *w : content->findChildren<QWidget *>())
            w->updateGeometry();
        content->updateGeometry();
    }
}

void AnalysisParamPage::SSTab1_Click()
{
    guard(ReportAndStop, "SSTab1_Click", [&] {
        HideTabFrames();
        QWidget *const contents[editor::TabCount] = {
            fraGeneral, fraAnalysisMethod, fraQuantitation, ctlSTRLocusTagSelector, ctlSNPLocusTagSelector,
            fraAdvanced};
        const int tab = SSTab1->Tab();
        if (tab >= 0 && tab < editor::TabCount)
            contents[tab]->setVisible(true);
    });
}

void AnalysisParamPage::MakeGridStatic(GridControl *grid)
{
    guard(Propagate, "MakeGridStatic", [&] {
        // A fixed display: no typing, no selection; the size standard grid's boxes still follow its
        // read-only state. Only the mobility grid takes the button face as its colour.
        grid->setStaticLook(true);
        if (!sameText(grid->objectName(), QStringLiteral("grdMobility")))
            grid->setBackColor(colors::kWindowBackground);
    });
}

} // namespace veltrane
