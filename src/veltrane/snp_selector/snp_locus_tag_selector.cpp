#include "veltrane/snp_selector/snp_locus_tag_selector.h"

#include "platform/forms/colors.h"
#include "platform/forms/command_button.h"
#include "platform/forms/label.h"
#include "platform/forms/popup_menu.h"
#include "platform/forms/twips.h"
#include "platform/grid/grid_control.h"
#include "veltrane/common/formats.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QScopeGuard>
#include <QSet>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <vector>

namespace veltrane {

namespace {

const QString kClassName = QStringLiteral("SNPLocusTagSelector");

// The design's proportions: the move buttons are squares of 375 twips beside grids 3,570 wide and
// 3,735 high; the grids grow with the control, the buttons keep their size.
constexpr int kMoveButtonTwips = 375;
constexpr int kGridWidthTwips = 3570;
constexpr int kGridHeightTwips = 3735;
constexpr int kLocusButtonWidthTwips = 1065;

SNPLocusTagSettings &settingsOf(const SNPLocusTag &tag)
{
    const SNPLocusTagSettingsPtr data = tag.TagData();
    if (!data)
        throw Error::objectNotSet(kClassName,
                                  QStringLiteral("the SNP locus tag \"%1\" has no settings").arg(tag.Name()));
    return *data;
}

template <class T> QSharedPointer<T> argumentAs(const ObjectPtr &object, const char *what)
{
    auto typed = qSharedPointerObjectCast<T>(object);
    if (object && !typed)
        throw Error::typeMismatch(kClassName, QStringLiteral("%1 expected").arg(QLatin1String(what)));
    if (!typed)
        throw Error::objectNotSet(kClassName, QStringLiteral("no %1 was given").arg(QLatin1String(what)));
    return typed;
}

} // namespace

QByteArray SelectorSide::procedure(const char *event) const
{
    return grid->objectName().toLatin1() + '_' + event;
}

SNPLocusTagSelector::SNPLocusTagSelector(QWidget *parent)
    : QWidget(parent)
    , PageKit("SNPLocusTagSelector")
{
    setObjectName(QStringLiteral("SNPLocusTagSelector"));
    buildControls();
    buildMenus();
    m_available.other = &m_selected;
    m_selected.other = &m_available;
    m_commands.connectControls();
    m_grids.connectGrids();

    for (GridControl *grid : {gridAvailable, gridSelected}) {
        Grids().InitGrid(grid, true, 0);
        // Rows are chosen and moved, never typed into; no header column.
        grid->setCellsEditable(false);
        grid->setHeaderColumnVisible(false);
    }
    m_commands.ShowButtons();
}

SNPLocusTagSelector::~SNPLocusTagSelector() = default;

void SNPLocusTagSelector::buildControls()
{
    strAvailable = make<Label>(this, QStringLiteral("strAvailable"), QStringLiteral("Available:"));
    strSelected = make<Label>(this, QStringLiteral("strSelected"), QStringLiteral("Selected:"));
    gridAvailable = make<GridControl>(this, QStringLiteral("gridAvailable"));
    gridSelected = make<GridControl>(this, QStringLiteral("gridSelected"));
    m_available.grid = gridAvailable;
    m_selected.grid = gridSelected;

    const auto moveButton = [this](const char *name, const char *caption, const char *tip) {
        auto *button = make<CommandButton>(this, QLatin1String(name), QLatin1String(caption));
        button->setToolTip(QLatin1String(tip));
        // A screen reader says what the button does, not its arrows.
        button->setAccessibleName(QLatin1String(tip));
        const int side = std::max(twips::toPixels(kMoveButtonTwips, this), button->fontMetrics().height() + 8);
        button->setFixedSize(side, side);
        return button;
    };
    cmdAddSingle = moveButton("cmdAddSingle", ">", "Add Selected SNP Locus Tags");
    cmdRemoveSingle = moveButton("cmdRemoveSingle", "<", "Remove Selected SNP Locus Tags");
    cmdAddAll = moveButton("cmdAddAll", ">>", "Add All SNP Locus Tags");
    cmdRemoveAll = moveButton("cmdRemoveAll", "<<", "Remove all SNP Locus Tags");
    cmdEditSNPLocus = make<CommandButton>(this, QStringLiteral("cmdEditSNPLocus"), QStringLiteral("&Edit Locus"));
    cmdNewSNPLocus = make<CommandButton>(this, QStringLiteral("cmdNewSNPLocus"), QStringLiteral("&New Locus"));
    for (CommandButton *button : {cmdEditSNPLocus, cmdNewSNPLocus})
        button->setMinimumWidth(twips::toPixels(kLocusButtonWidthTwips, this));
    m_available.moveSingle = cmdAddSingle;
    m_available.moveAll = cmdAddAll;
    m_selected.moveSingle = cmdRemoveSingle;
    m_selected.moveAll = cmdRemoveAll;

    for (GridControl *grid : {gridAvailable, gridSelected}) {
        grid->setMinimumSize(twips::toPixels(kGridWidthTwips, this) / 2, twips::toPixels(kGridHeightTwips, this) / 2);
        grid->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }
    strAvailable->setBuddy(gridAvailable);
    strSelected->setBuddy(gridSelected);

    auto *moves = new QVBoxLayout;
    moves->addStretch(1);
    for (CommandButton *button : {cmdAddSingle, cmdRemoveSingle, cmdAddAll, cmdRemoveAll})
        moves->addWidget(button);
    moves->addStretch(1);

    auto *locus = new QHBoxLayout;
    locus->addWidget(cmdEditSNPLocus);
    locus->addWidget(cmdNewSNPLocus);
    locus->addStretch(1);

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(strAvailable, 0, 0);
    layout->addWidget(strSelected, 0, 2);
    layout->addWidget(gridAvailable, 1, 0);
    layout->addLayout(moves, 1, 1);
    layout->addWidget(gridSelected, 1, 2);
    layout->addLayout(locus, 2, 0, 1, 3);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(2, 1);
    layout->setRowStretch(1, 1);
    // The keyboard goes the way the eye does: the available tags, the buttons between the lists,
    // the selected tags, then the buttons below.
    QWidget *const order[] = {gridAvailable, cmdAddSingle, cmdRemoveSingle, cmdAddAll,
                              cmdRemoveAll,  gridSelected, cmdEditSNPLocus, cmdNewSNPLocus};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void SNPLocusTagSelector::buildMenus()
{
    mnuSNPLocusAvailable = new PopupMenu(QStringLiteral("mnuSNPLocusAvailable"), QStringLiteral("SNP Locus"), this);
    mnuSNPLocusAvailable->AddItem(QStringLiteral("mnuAdd"), QStringLiteral("Add"));
    mnuSNPLocusAvailable->AddItem(QStringLiteral("mnuSeparator"), QStringLiteral("-"));
    m_available.editItem = mnuSNPLocusAvailable->AddItem(QStringLiteral("mnuEditAvailable"), QStringLiteral("Edit"));
    mnuSNPLocusAvailable->AddItem(QStringLiteral("mnuNewAvailable"), QStringLiteral("New"));
    m_available.menu = mnuSNPLocusAvailable;

    mnuSNPLocusColumn = new PopupMenu(QStringLiteral("mnuSNPLocusColumn"), QStringLiteral("SNP Locus Column"), this);
    mnuSNPLocusColumn->AddItem(QStringLiteral("mnuAscending"), QStringLiteral("Sort Ascending"));
    mnuSNPLocusColumn->AddItem(QStringLiteral("mnuDescending"), QStringLiteral("Sort Descending"));

    mnuSNPLocusSelected = new PopupMenu(QStringLiteral("mnuSNPLocusSelected"), QStringLiteral("SNP Locus"), this);
    mnuSNPLocusSelected->AddItem(QStringLiteral("mnuRemove"), QStringLiteral("Remove"));
    mnuSNPLocusSelected->AddItem(QStringLiteral("mnuSep2"), QStringLiteral("-"));
    m_selected.editItem = mnuSNPLocusSelected->AddItem(QStringLiteral("mnuEditSelected"), QStringLiteral("Edit"));
    mnuSNPLocusSelected->AddItem(QStringLiteral("mnuNewSelected"), QStringLiteral("New"));
    m_selected.menu = mnuSNPLocusSelected;

    // Edit is offered once exactly one tag is selected or right-clicked.
    m_available.editItem->setEnabled(false);
    m_selected.editItem->setEnabled(false);
}

void SNPLocusTagSelector::writeRow(GridControl *grid, qint32 row, const SNPLocusTag &tag, qint32 from)
{
    const SNPLocusTagSettings &data = settingsOf(tag);
    if (from <= 1)
        grid->setCellText(row, 1, tag.Name());
    grid->setCellText(row, 2, singleText(data.TagNumber()));
    for (qint32 i = 1; i <= 4; ++i)
        grid->setCellText(row, 2 + i, data.TagText(i));
}

const CollectionPtr &SNPLocusTagSelector::requireTags() const
{
    if (!m_colSNPLocusTags)
        throw Error::objectNotSet(kClassName, QStringLiteral("the selector has not been initialised with a set"));
    return m_colSNPLocusTags;
}

void SNPLocusTagSelector::Initialize(ObjectPtr &oAnalysisParameter)
{
    Initialize(argumentAs<AnalysisParameter>(oAnalysisParameter, "AnalysisParameter"));
}

void SNPLocusTagSelector::Initialize(const AnalysisParameterPtr &oAnalysisParameter)
{
    if (!oAnalysisParameter)
        throw Error::objectNotSet(kClassName, QStringLiteral("no AnalysisParameter was given"));
    m_oParameterSet = oAnalysisParameter;

    for (SelectorSide *side : {&m_available, &m_selected}) {
        side->layout = argumentAs<Grid>(ObjectManager().NewObject(types::kGrid), "Grid");
        side->layout->setLayoutNumber(layouts::kSNPLocusTags);
        qint32 columns = 0, width = 0, headerHeight = 0, rowHeight = 0;
        Grids().ApplyLayout(side->grid, side->layout, columns, width, headerHeight, rowHeight);
    }

    m_colSNPLocusTags =
        ObjectManager().LoadCollection(queries::kSNPLocusTags, QString(), QString(), fields::kName, false, true);

    // The set's tags are matched to stored tags by ID, not by name. A set that lists a tag twice is
    // refused, as the keyed collection of its IDs refuses the second.
    QSet<qint32> inSet;
    const FragAnalysisParamPtr settings = m_oParameterSet->FragAnalysisParam();
    if (!settings)
        throw Error::objectNotSet(kClassName, QStringLiteral("the parameter set has no settings"));
    if (settings->EntryCount() > 0) {
        const CollectionPtr listed = settings->SNPLocusTagsOf(0);
        inSet.reserve(listed->Count());
        for (const QVariant &item : *listed) {
            const auto tag = objectFrom<SNPLocusTagSettings>(item);
            if (!tag)
                throw Error::typeMismatch(kClassName, QStringLiteral("SNP locus tag settings expected"));
            if (inSet.contains(tag->ID()))
                throw Error(kDuplicateKey, kClassName,
                            runtimeErrorText(kDuplicateKey) +
                                QStringLiteral(": the set lists the SNP locus tag \"%1\" (ID %2) twice")
                                    .arg(tag->Name())
                                    .arg(tag->ID()));
            inSet.insert(tag->ID());
        }
    }

    for (GridControl *grid : {gridAvailable, gridSelected}) {
        grid->setRedraw(false);
        grid->lockUpdates(true);
    }
    // A failure part-way leaves the rows written so far, shown: a grid left locked would show none.
    auto paintAgain = qScopeGuard([this] {
        for (GridControl *grid : {gridAvailable, gridSelected}) {
            grid->lockUpdates(false);
            grid->setRedraw(true);
        }
    });
    gridAvailable->setRowCount(0);
    gridSelected->setRowCount(0);

    // Row by row in the collection's order, each grid growing by one: a tag that cannot be shown
    // stops the filling with the rows before it in place.
    for (const QVariant &item : *m_colSNPLocusTags) {
        const auto tag = objectFrom<SNPLocusTag>(item);
        if (!tag)
            throw Error::typeMismatch(kClassName, QStringLiteral("SNPLocusTag expected"));
        GridControl *grid = inSet.contains(settingsOf(*tag).ID()) ? gridSelected : gridAvailable;
        const qint32 row = grid->rowCount() + 1;
        grid->setRowCount(row);
        writeRow(grid, row, *tag);
    }

    for (SelectorSide *side : {&m_available, &m_selected})
        Grids().SortByColumn(side->grid, side->layout, side->grid->cellText(0, 1), true);

    paintAgain.dismiss();
    for (GridControl *grid : {gridAvailable, gridSelected}) {
        grid->lockUpdates(false);
        grid->repaintGrid();
        grid->setReadOnly(true);
        grid->setRedraw(true);
    }
    m_commands.ShowButtons();
    m_oActiveGrid = &m_available;
}

void SNPLocusTagSelector::Save(ObjectPtr &oFragAnalysisParam)
{
    Save(argumentAs<FragAnalysisParam>(oFragAnalysisParam, "FragAnalysisParam"));
}

void SNPLocusTagSelector::Save(const FragAnalysisParamPtr &oFragAnalysisParam)
{
    if (!oFragAnalysisParam)
        throw Error::objectNotSet(kClassName, QStringLiteral("no FragAnalysisParam was given"));
    if (oFragAnalysisParam->EntryCount() <= 0)
        return;
    const CollectionPtr list = oFragAnalysisParam->SNPLocusTagsOf(0);
    list->Clear();
    const CollectionPtr selected = SelectedLocusTags();
    list->reserve(selected->Count());
    for (const QVariant &item : *selected) {
        const SNPLocusTagPtr tag = objectFrom<SNPLocusTag>(item);
        settingsOf(*tag);
        list->Add(tag->TagData());
    }
}

CollectionPtr SNPLocusTagSelector::SelectedLocusTags() const
{
    const qint32 n = NumberOfSelectedLocusTags();
    CollectionPtr selected = newCollection();
    if (n == 0)
        return selected;
    const CollectionPtr &tags = requireTags();
    selected->reserve(n);
    for (qint32 row = 1; row <= n; ++row)
        selected->Add(tags->Item(gridSelected->cellText(row, 1)));
    return selected;
}

qint32 SNPLocusTagSelector::NumberOfSelectedLocusTags() const
{
    return gridSelected->rowCount();
}

void SNPLocusTagSelector::putEnabled(bool bValue)
{
    struct Remembered
    {
        bool locked;
        bool loadDone;
    };
    std::array<Remembered, 2> remembered{};
    std::array<GridControl *, 2> grids{gridAvailable, gridSelected};
    for (size_t i = 0; i < grids.size(); ++i) {
        remembered[i] = {grids[i]->lockUpdates(false), grids[i]->readOnly()};
        grids[i]->setReadOnly(false);
    }

    strAvailable->setEnabled(bValue);
    strSelected->setEnabled(bValue);
    for (GridControl *grid : grids) {
        grid->setBackColor(bValue ? colors::kWhite : colors::kButtonFace);
        grid->setTextColor(bValue ? colors::kBlack : colors::kGrayText);
        // The grid's own disabled state: rows can be seen but not picked, until UnHighlightRows gives
        // the selection back.
        grid->setSelectionEnabled(bValue);
    }
    if (bValue) {
        m_commands.ShowButtons();
        cmdNewSNPLocus->setEnabled(true);
    } else {
        for (CommandButton *button :
             {cmdAddAll, cmdAddSingle, cmdRemoveAll, cmdRemoveSingle, cmdEditSNPLocus, cmdNewSNPLocus})
            button->setEnabled(false);
    }

    for (size_t i = 0; i < grids.size(); ++i) {
        grids[i]->repaintGrid();
        grids[i]->lockUpdates(remembered[i].locked);
        grids[i]->setReadOnly(remembered[i].loadDone);
    }
    // Last: ShowButtons above ran with the state as it was, as do the grids' notifications until now.
    m_bEnabled = bValue;
}

} // namespace veltrane
