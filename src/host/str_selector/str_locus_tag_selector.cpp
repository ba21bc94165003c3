#include "host/str_selector/str_locus_tag_selector.h"

#include "platform/forms/command_button.h"
#include "platform/forms/label.h"
#include "platform/grid/grid_control.h"
#include "veltrane/contracts/automation.h"
#include "veltrane/contracts/error_trap.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"

#include <QGridLayout>
#include <QLocale>
#include <QSet>
#include <QVBoxLayout>

namespace veltrane::host {

namespace {

const char *const kClass = "STRLocusTagSelector";

// The selector's own columns: the tag, its dye and its size range.
GridTypePtr columns()
{
    auto layout = GridTypePtr::create();
    layout->setColumns({{QStringLiteral("Locus Tag"), 1500, GridType::kLeft},
                        {QStringLiteral("Dye"), 600, GridType::kRight},
                        {QStringLiteral("Min Size"), 900, GridType::kRight},
                        {QStringLiteral("Max Size"), 900, GridType::kRight}});
    return layout;
}

QString sizeText(float size)
{
    return QLocale().toString(double(size), 'g', 7);
}

CommandButton *button(QWidget *parent, const char *name, const char *caption, const char *tip)
{
    auto *b = new CommandButton(QLatin1String(caption), parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(QLatin1String(tip));
    // A screen reader says what the button does, not its arrows.
    b->setAccessibleName(QLatin1String(tip));
    return b;
}

} // namespace

STRLocusTagSelector::STRLocusTagSelector(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("STRLocusTagSelector"));
    strAvailable = new Label(QStringLiteral("Available:"), this);
    strAvailable->setObjectName(QStringLiteral("strAvailable"));
    strSelected = new Label(QStringLiteral("Selected:"), this);
    strSelected->setObjectName(QStringLiteral("strSelected"));
    gridAvailable = new GridControl(this);
    gridAvailable->setObjectName(QStringLiteral("gridAvailable"));
    gridSelected = new GridControl(this);
    gridSelected->setObjectName(QStringLiteral("gridSelected"));
    strAvailable->setBuddy(gridAvailable);
    strSelected->setBuddy(gridSelected);
    cmdAddSingle = button(this, "cmdAddSingle", ">", "Add Selected STR Locus Tags");
    cmdRemoveSingle = button(this, "cmdRemoveSingle", "<", "Remove Selected STR Locus Tags");
    cmdAddAll = button(this, "cmdAddAll", ">>", "Add All STR Locus Tags");
    cmdRemoveAll = button(this, "cmdRemoveAll", "<<", "Remove all STR Locus Tags");

    auto *layout = new QGridLayout(this);
    layout->addWidget(strAvailable, 0, 0);
    layout->addWidget(strSelected, 0, 2);
    layout->addWidget(gridAvailable, 1, 0);
    auto *buttons = new QVBoxLayout;
    buttons->addStretch(1);
    for (CommandButton *b : {cmdAddSingle, cmdRemoveSingle, cmdAddAll, cmdRemoveAll}) {
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral(">>>>")) + b->fontMetrics().height());
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    layout->addLayout(buttons, 1, 1);
    layout->addWidget(gridSelected, 1, 2);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(2, 1);
    layout->setRowStretch(1, 1);
    // The keyboard goes the way the eye does: the available tags, the buttons between the lists,
    // then the selected tags.
    QWidget *const order[] = {gridAvailable, cmdAddSingle, cmdRemoveSingle, cmdAddAll, cmdRemoveAll, gridSelected};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    const GridTypePtr layoutColumns = columns();
    for (GridControl *grid : {gridAvailable, gridSelected}) {
        trap(Ending::ReportAndStop, kClass, "Class_Initialize", [&] {
            Grids().InitGrid(grid, true);
            Grids().ApplyGridType(grid, layoutColumns, true, false, false);
        });
        grid->setCellsEditable(false);
    }

    connect(cmdAddSingle, &CommandButton::Click, this, &STRLocusTagSelector::addSelected);
    connect(cmdRemoveSingle, &CommandButton::Click, this, &STRLocusTagSelector::removeSelected);
    connect(cmdAddAll, &CommandButton::Click, this, &STRLocusTagSelector::addAll);
    connect(cmdRemoveAll, &CommandButton::Click, this, &STRLocusTagSelector::removeAll);
    connect(gridAvailable, &GridControl::cellDoubleClicked, this, [this](double row, double, ReturnHolder *handled) {
        handled->setValue(1);
        moveRow(gridAvailable, gridSelected, row);
    });
    connect(gridSelected, &GridControl::cellDoubleClicked, this, [this](double row, double, ReturnHolder *handled) {
        handled->setValue(1);
        moveRow(gridSelected, gridAvailable, row);
    });
    for (GridControl *grid : {gridAvailable, gridSelected}) {
        connect(grid, &GridControl::cellClicked, this,
                [this, grid](double row, double col) { sortByHeader(grid, row, col); });
        connect(grid, &GridControl::selectionChanged, this, &STRLocusTagSelector::showButtons);
    }
    showButtons();
}

STRLocusTagSelector::~STRLocusTagSelector() = default;

QList<automation::Member> STRLocusTagSelector::members()
{
    using namespace automation;
    return {
        Member{
            QStringLiteral("Initialize"),
            CallKind::Method,
            str_selector::kInitialize,
            {Parameter{QStringLiteral("oAnalysisParameter"), Type::Object, QStringLiteral("AnalysisParameter"), true}},
            {},
            QStringLiteral("_STRLocusTagSelector")},
        Member{
            QStringLiteral("Save"),
            CallKind::Method,
            str_selector::kSave,
            {Parameter{QStringLiteral("oFragAnalysisParam"), Type::Object, QStringLiteral("FragAnalysisParam"), true}},
            {},
            QStringLiteral("_STRLocusTagSelector")},
    };
}

void STRLocusTagSelector::registerDispatchTable()
{
    automation::registerDispatchTable(&staticMetaObject, {QString::fromLatin1(kClass), members()});
}

void STRLocusTagSelector::appendRow(GridControl *grid, const STRLocusTag &tag)
{
    const qint32 row = grid->rowCount() + 1;
    grid->setRowCount(row);
    grid->setCellText(row, 1, tag.Name());
    grid->setCellText(row, 2, QStringLiteral("D%1").arg(tag.Dye() + 1));
    grid->setCellText(row, 3, sizeText(tag.MinSize()));
    grid->setCellText(row, 4, sizeText(tag.MaxSize()));
}

void STRLocusTagSelector::Initialize(ObjectPtr &oAnalysisParameter)
{
    const auto set = qSharedPointerObjectCast<AnalysisParameter>(oAnalysisParameter);
    if (!set)
        throw Error::typeMismatch(QString::fromLatin1(kClass), QStringLiteral("a parameter set was expected"));
    m_tags = ObjectManager().LoadCollection(queries::kSTRLocusTags, QString(), QString(), fields::kName, false, true);

    // The set's tags are matched to the stored ones by identifier.
    QSet<qint32> used;
    const FragAnalysisParamPtr settings = set->FragAnalysisParam();
    if (settings && settings->EntryCount() > 0)
        for (const auto &tag : settings->STRLocusTagsOf(0)->objects<STRLocusTag>())
            used.insert(tag->ID());

    for (GridControl *grid : {gridAvailable, gridSelected}) {
        grid->lockUpdates(true);
        grid->setRowCount(0);
    }
    for (const auto &tag : m_tags->objects<STRLocusTag>())
        appendRow(used.contains(tag->ID()) ? gridSelected : gridAvailable, *tag);
    for (GridControl *grid : {gridAvailable, gridSelected}) {
        grid->sortRows({SortKey{1, false, false}});
        grid->lockUpdates(false);
    }
    showButtons();
}

void STRLocusTagSelector::Save(ObjectPtr &oFragAnalysisParam)
{
    const auto settings = qSharedPointerObjectCast<FragAnalysisParam>(oFragAnalysisParam);
    if (!settings)
        throw Error::typeMismatch(QString::fromLatin1(kClass), QStringLiteral("parameter set settings were expected"));
    if (settings->EntryCount() <= 0 || !m_tags)
        return;
    const CollectionPtr list = settings->STRLocusTagsOf(0);
    list->Clear();
    for (qint32 row = 1; row <= gridSelected->rowCount(); ++row)
        list->Add(m_tags->Item(gridSelected->cellText(row, 1)));
}

QStringList STRLocusTagSelector::selectedNames() const
{
    QStringList names;
    for (qint32 row = 1; row <= gridSelected->rowCount(); ++row)
        names << gridSelected->cellText(row, 1);
    return names;
}

void STRLocusTagSelector::addSelected()
{
    trap(Ending::ReportAndStop, kClass, "cmdAddSingle_Click", [&] {
        Grids().MoveSelectedRows(gridAvailable, gridSelected);
        changed();
    });
}

void STRLocusTagSelector::removeSelected()
{
    trap(Ending::ReportAndStop, kClass, "cmdRemoveSingle_Click", [&] {
        Grids().MoveSelectedRows(gridSelected, gridAvailable);
        changed();
    });
}

void STRLocusTagSelector::addAll()
{
    trap(Ending::ReportAndStop, kClass, "cmdAddAll_Click", [&] {
        Grids().MoveAllRows(gridAvailable, gridSelected);
        changed();
    });
}

void STRLocusTagSelector::removeAll()
{
    trap(Ending::ReportAndStop, kClass, "cmdRemoveAll_Click", [&] {
        Grids().MoveAllRows(gridSelected, gridAvailable);
        changed();
    });
}

void STRLocusTagSelector::moveRow(GridControl *from, GridControl *to, double row)
{
    trap(Ending::ReportAndStop, kClass, "grid_DblClick", [&] {
        if (row < 1 || row > from->rowCount())
            return;
        Grids().MoveRow(from, to, qint32(row));
        changed();
    });
}

void STRLocusTagSelector::sortByHeader(GridControl *grid, double row, double col)
{
    trap(Ending::ReportAndStop, kClass, "grid_Click", [&] {
        if (row > 0 || col < 1)
            return;
        // The columns are the selector's own, not a stored layout: there is no layout to name.
        Grids().SortByColumn(grid, GridPtr(), grid->cellText(0, qint32(col)), true);
    });
}

void STRLocusTagSelector::showButtons()
{
    cmdAddAll->setEnabled(gridAvailable->rowCount() > 0);
    cmdAddSingle->setEnabled(gridAvailable->selectedRowCount() > 0);
    cmdRemoveAll->setEnabled(gridSelected->rowCount() > 0);
    cmdRemoveSingle->setEnabled(gridSelected->selectedRowCount() > 0);
}

void STRLocusTagSelector::changed()
{
    showButtons();
    // The tags are part of the set the page edits: tell the page, as its own fields do.
    for (QWidget *w = parentWidget(); w; w = w->parentWidget())
        if (auto *page = dynamic_cast<IPageAccess *>(w)) {
            if (PageBase *base = page->Page())
                base->MarkDirty();
            return;
        }
}

} // namespace veltrane::host
