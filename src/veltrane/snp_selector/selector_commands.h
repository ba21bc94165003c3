#pragma once

#include "veltrane/contracts/business_objects.h"

namespace veltrane {

class SNPLocusTagSelector;
struct SelectorSide;

// The selector's commands: moving tags between the grids one by one, by selection or all at once;
// keeping the buttons in step with the grids (ShowButtons); and creating or editing tags through
// the host's "SNPLocusTagEditor" flow, with the grids brought up to date afterwards.
//
// Each move is written once for a side (the grid the rows leave); the named procedures are the two
// directions of it. Only ShowButtons has an error trap; the others pass a failure to the handler
// that started them.
class SelectorCommands
{
public:
    explicit SelectorCommands(SNPLocusTagSelector &selector)
        : s(selector)
    {}

    // Wires the buttons and the Add, Remove, Edit and New menu entries.
    void connectControls();

    void ShowButtons();

    void AddSelectedTags();
    void RemoveSelectedTags();
    void AddTagAtRow(qint32 row);
    void RemoveTagAtRow(qint32 row);
    void AddAllTags();
    void RemoveAllTags();
    // The move of a side's selected rows, of one of its rows, and of all its rows to the other side.
    void MoveSelectedTags(SelectorSide &side);
    void MoveTagAtRow(SelectorSide &side, qint32 row);
    void MoveAllTags(SelectorSide &side);

    void EditTag(SelectorSide &side, qint32 row);
    void NewTag();
    // Runs the editor flow on the tag; a tag the editor saved under another name replaces it.
    // Answers whether the user left the editor other than by cancelling.
    bool ShowTagEditor(SNPLocusTagPtr &tag);
    void AppendTagRow(const SNPLocusTagPtr &tag);
    void AppendNewStoredTags();

private:
    void cmdEditSNPLocus_Click();
    // The Add or Remove menu entry of a side, and its Edit and New entries.
    void mnuMove_Click(SelectorSide &side);
    void mnuEdit_Click(SelectorSide &side);
    void mnuNew_Click(SelectorSide &side);

    SNPLocusTagSelector &s;
};

} // namespace veltrane
