#include "veltrane/snp_selector/selector_commands.h"

#include "platform/forms/command_button.h"
#include "platform/forms/popup_menu.h"
#include "platform/grid/grid_control.h"
#include "veltrane/common/formats.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"
#include "veltrane/snp_selector/snp_locus_tag_selector.h"

#include <QSet>
#include <cmath>
#include <limits>

namespace veltrane {

namespace {

const QString kClassName = QStringLiteral("SNPLocusTagSelector");

// Row fields hold whole row numbers as doubles; the procedures take them as 32-bit integers.
qint32 rowOf(double row)
{
    if (!std::isfinite(row) || std::abs(row) > double(std::numeric_limits<qint32>::max()))
        throw Error::invalidProcedureCall(kClassName, QStringLiteral("row %1 is out of range").arg(row));
    return qint32(std::lround(row));
}

SNPLocusTagPtr tagFrom(const QVariant &item)
{
    const SNPLocusTagPtr tag = objectFrom<SNPLocusTag>(item);
    if (!tag)
        throw Error::typeMismatch(kClassName, QStringLiteral("SNPLocusTag expected"));
    if (!tag->TagData())
        throw Error::objectNotSet(kClassName,
                                  QStringLiteral("the SNP locus tag \"%1\" has no settings").arg(tag->Name()));
    return tag;
}

// A save count handed back by the editor, as a 16-bit number.
qint16 saveCount(const QVariant &value)
{
    bool ok = false;
    const qlonglong n = value.toLongLong(&ok);
    if (!ok || n < std::numeric_limits<qint16>::min() || n > std::numeric_limits<qint16>::max())
        throw Error::typeMismatch(kClassName, QStringLiteral("the editor's save count is no 16-bit number"));
    return qint16(n);
}

} // namespace

void SelectorCommands::connectControls()
{
    const auto wire = [this](auto *sender, auto signal, const char *procedure, auto body) {
        QObject::connect(sender, signal, &s, [this, procedure, body] { s.userAction(procedure, body); });
    };
    wire(s.cmdAddSingle, &CommandButton::Click, "cmdAddSingle_Click", [this] { AddSelectedTags(); });
    wire(s.cmdAddAll, &CommandButton::Click, "cmdAddAll_Click", [this] { AddAllTags(); });
    wire(s.cmdRemoveSingle, &CommandButton::Click, "cmdRemoveSingle_Click", [this] { RemoveSelectedTags(); });
    wire(s.cmdRemoveAll, &CommandButton::Click, "cmdRemoveAll_Click", [this] { RemoveAllTags(); });
    wire(s.cmdNewSNPLocus, &CommandButton::Click, "cmdNewSNPLocus_Click", [this] { NewTag(); });
    wire(s.cmdEditSNPLocus, &CommandButton::Click, "cmdEditSNPLocus_Click", [this] { cmdEditSNPLocus_Click(); });

    for (SelectorSide *side : {&s.m_available, &s.m_selected}) {
        PopupMenu *menu = side->menu;
        const bool available = side == &s.m_available;
        wire(menu->item(available ? QStringLiteral("mnuAdd") : QStringLiteral("mnuRemove")), &MenuItem::Click,
             available ? "mnuAdd_Click" : "mnuRemove_Click", [this, side] { mnuMove_Click(*side); });
        wire(side->editItem, &MenuItem::Click, available ? "mnuEditAvailable_Click" : "mnuEditSelected_Click",
             [this, side] { mnuEdit_Click(*side); });
        wire(menu->item(available ? QStringLiteral("mnuNewAvailable") : QStringLiteral("mnuNewSelected")),
             &MenuItem::Click, available ? "mnuNewAvailable_Click" : "mnuNewSelected_Click",
             [this, side] { mnuNew_Click(*side); });
    }
}

void SelectorCommands::ShowButtons()
{
    trap(Ending::Propagate, "SNPLocusTagSelector", "ShowButtons", [&] {
        // The buttons follow the rows whether or not the selector is enabled: putEnabled(false)
        // turns them off itself, and a grid's activation may turn them on again.
        for (SelectorSide *side : {&s.m_available, &s.m_selected}) {
            const bool hasRows = side->grid->rowCount() > 0;
            side->moveAll->setEnabled(hasRows);
            side->moveSingle->setEnabled(hasRows && side->row > 0);
        }
        // Only a selection or a right click offers Edit; here it can only be withdrawn.
        if (s.m_dAvailableRow <= 0 && s.m_dSelectedRow <= 0)
            s.cmdEditSNPLocus->setEnabled(false);
    });
}

// ---- moving tags --------------------------------------------------------------------------------

void SelectorCommands::AddSelectedTags()
{
    MoveSelectedTags(s.m_available);
}

void SelectorCommands::RemoveSelectedTags()
{
    MoveSelectedTags(s.m_selected);
}

void SelectorCommands::AddTagAtRow(qint32 row)
{
    MoveTagAtRow(s.m_available, row);
}

void SelectorCommands::RemoveTagAtRow(qint32 row)
{
    MoveTagAtRow(s.m_selected, row);
}

void SelectorCommands::AddAllTags()
{
    MoveAllTags(s.m_available);
}

void SelectorCommands::RemoveAllTags()
{
    MoveAllTags(s.m_selected);
}

void SelectorCommands::MoveSelectedTags(SelectorSide &side)
{
    // The utility makes the row that takes the moved rows' place current and selected, so pressing
    // the button again moves the next one.
    side.row = Grids().MoveSelectedRows(side.grid, side.other->grid);
    if (side.row > 0) {
        s.m_dLastRow = side.row;
        side.editItem->setEnabled(true);
        s.cmdEditSNPLocus->setEnabled(true);
    }
    ShowButtons();
}

void SelectorCommands::MoveTagAtRow(SelectorSide &side, qint32 row)
{
    if (!s.m_bEnabled || row < 1)
        return;
    // The row below moves up into the moved row's place; after the last row the one above it is
    // current.
    const qint32 count = side.grid->rowCount();
    if (count > row)
        s.m_dLastRow = side.row = row;
    else if (count == row)
        s.m_dLastRow = side.row = row - 1;
    Grids().MoveRow(side.grid, side.other->grid, row);
    if (side.row > 0)
        Grids().SelectRow(side.grid, rowOf(side.row));
    ShowButtons();
}

void SelectorCommands::MoveAllTags(SelectorSide &side)
{
    Grids().MoveAllRows(side.grid, side.other->grid);
    side.row = 0;
    ShowButtons();
}

void SelectorCommands::mnuMove_Click(SelectorSide &side)
{
    if (Grids().SelectedRowCount(side.grid) >= 1)
        MoveSelectedTags(side);
    else
        MoveTagAtRow(side, rowOf(side.row));
}

// ---- creating and editing tags --------------------------------------------------------------------

void SelectorCommands::cmdEditSNPLocus_Click()
{
    if (s.m_dAvailableRow > 0)
        EditTag(s.m_available, rowOf(s.m_dAvailableRow));
    else if (s.m_dSelectedRow > 0)
        EditTag(s.m_selected, rowOf(s.m_dSelectedRow));
}

void SelectorCommands::mnuEdit_Click(SelectorSide &side)
{
    if (side.row <= 0)
        return;
    const qint32 row = rowOf(side.row);
    const bool hadSelection = Grids().SelectedRowCount(side.grid) >= 1;
    EditTag(side, row);
    if (hadSelection)
        Grids().SelectRow(side.grid, row);
}

void SelectorCommands::mnuNew_Click(SelectorSide &side)
{
    CollectionPtr remembered;
    if (Grids().SelectedRowCount(side.grid) >= 1)
        remembered = Grids().GetSelectedKeys(side.grid, 1);
    NewTag();
    if (remembered)
        Grids().SelectRowsByKey(side.grid, remembered);
}

bool SelectorCommands::ShowTagEditor(SNPLocusTagPtr &tag)
{
    const CollectionPtr context = newCollection();
    context->Add(tag, keys::kSNPLocusTag);
    s.m_bResyncNeeded = false;
    const ServiceWindowPtr window =
        App().RunService(flows::kSNPLocusTagEditor, context, nullptr, flow_options::kSNPLocusTagEditor);
    if (!window)
        throw Error::objectNotSet(kClassName, QStringLiteral("the editor flow answered no window"));
    FrameworkUtilities &utilities = Utilities();
    if (utilities.KeyExists(context, keys::kNewSaveAs))
        tag = tagFrom(context->Item(keys::kNewSaveAs));
    if (utilities.KeyExists(context, keys::kSaveTimes)) {
        const qint16 saves = saveCount(context->Item(keys::kSaveTimes));
        // More than one save, or a save and then Cancel: the editor stored tags that the tag in
        // hand does not tell of.
        if (saves > 1)
            s.m_bResyncNeeded = true;
        if (window->WasCancelled() && saves == 1)
            s.m_bResyncNeeded = true;
    }
    return !window->WasCancelled();
}

void SelectorCommands::NewTag()
{
    SNPLocusTagPtr tag = qSharedPointerObjectCast<SNPLocusTag>(ObjectManager().NewObject(types::kSNPLocusTag));
    if (!tag)
        throw Error::typeMismatch(kClassName, QStringLiteral("SNPLocusTag expected"));
    if (ShowTagEditor(tag))
        AppendTagRow(tag);
    // Tags the editor stored besides the one it handed back are listed too.
    if (s.m_bResyncNeeded)
        AppendNewStoredTags();
}

void SelectorCommands::EditTag(SelectorSide &side, qint32 row)
{
    SNPLocusTagPtr tag = tagFrom(s.requireTags()->Item(side.grid->cellText(row, 1)));
    const QString oldName = trimTrailing(tag->Name());
    if (ShowTagEditor(tag)) {
        const QString newName = trimTrailing(tagFrom(toVariant(tag))->TagData()->Name());
        if (!sameText(oldName, newName)) {
            // Saved under another name: a second tag. The edited row stays as it was.
            AppendTagRow(tag);
        } else {
            GridControl *grid = side.grid;
            grid->setRedraw(false);
            grid->lockUpdates(true);
            SNPLocusTagSelector::writeRow(grid, row, *tag, 2);
            grid->lockUpdates(false);
            grid->repaintGrid();
            grid->setRedraw(true);
        }
    }
    if (s.m_bResyncNeeded)
        AppendNewStoredTags();
}

void SelectorCommands::AppendTagRow(const SNPLocusTagPtr &tag)
{
    const CollectionPtr &tags = s.requireTags();
    const QString name = tagFrom(toVariant(tag))->TagData()->Name();
    GridControl *grid = s.gridAvailable;
    grid->setRedraw(false);
    grid->lockUpdates(true);
    const qint32 row = grid->rowCount() + 1;
    grid->setRowCount(row);
    SNPLocusTagSelector::writeRow(grid, row, *tag);
    grid->lockUpdates(false);
    grid->repaintGrid();
    grid->setRedraw(true);
    // Every appended tag counts (AppendNewStoredTags compares counts). Rows find their tag by name,
    // so where the name is still held by the tag known under it before, that one stays, without
    // the name, and the new tag takes it.
    if (tags->Contains(name)) {
        const QVariant earlier = tags->Item(name);
        tags->Remove(name);
        tags->Add(earlier);
    }
    tags->Add(tag, name);
}

void SelectorCommands::AppendNewStoredTags()
{
    const CollectionPtr fresh =
        ObjectManager().LoadCollection(queries::kSNPLocusTags, QString(), QString(), fields::kName, false, true);
    const CollectionPtr &tags = s.requireTags();
    if (fresh->Count() == tags->Count())
        return;
    // Known tags by ID; a tag listed twice (renamed in the editor, so appended again) is one ID.
    QSet<qint32> known;
    known.reserve(tags->Count());
    for (const QVariant &item : *tags)
        known.insert(tagFrom(item)->TagData()->ID());
    for (const QVariant &item : *fresh) {
        const SNPLocusTagPtr tag = tagFrom(item);
        if (known.contains(tag->TagData()->ID()))
            continue;
        AppendTagRow(tag);
        known.insert(tag->TagData()->ID());
        if (fresh->Count() == tags->Count())
            return;
    }
}

} // namespace veltrane
