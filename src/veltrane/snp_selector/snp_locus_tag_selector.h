#pragma once

#include "veltrane/common/page_kit.h"
#include "veltrane/contracts/business_objects.h"
#include "veltrane/snp_selector/selector_commands.h"
#include "veltrane/snp_selector/selector_grids.h"

#include <QByteArray>
#include <QWidget>

namespace veltrane {

class CommandButton;
class GridControl;
class Label;
class MenuItem;
class PopupMenu;

// One of the selector's two grids with everything that differs between them. The two grids are
// mirror images: every behaviour is written once and given the side it acts on.
struct SelectorSide
{
    GridControl *grid = nullptr;
    GridPtr &layout;                     // m_oAvailableLayout or m_oSelectedLayout
    double &row;                         // the current row field: m_dAvailableRow or m_dSelectedRow (0: none)
    CommandButton *moveSingle = nullptr; // cmdAddSingle or cmdRemoveSingle
    CommandButton *moveAll = nullptr;    // cmdAddAll or cmdRemoveAll
    PopupMenu *menu = nullptr;           // mnuSNPLocusAvailable or mnuSNPLocusSelected
    MenuItem *editItem = nullptr;        // mnuEditAvailable or mnuEditSelected
    SelectorSide *other = nullptr;       // the opposite grid, where this grid's rows move to

    // "gridAvailable_Click" and the like: how a failure names the handler that met it.
    QByteArray procedure(const char *event) const;
};

// The control with which the user chooses the SNP locus tags of a parameter set: every stored tag
// the set does not use on the left (gridAvailable), the tags it uses on the right (gridSelected).
// Tags move between the grids with the buttons, double clicks and context menus; New Locus and Edit
// Locus run the host's "SNPLocusTagEditor" flow. The set's list changes only in Save.
//
// A host creates it on its page and calls it through its public members, by name or dispatch id:
//
//     auto *selector = new SNPLocusTagSelector(tab);
//     selector->Initialize(set);        // when the set is loaded (any number of times)
//     selector->Save(newSettings);      // each time the set is stored
//
// The members have no error trap: a failure (a query, a name no longer stored) reaches the caller.
// The control's own buttons, menus and grid notifications report a failure to the user through
// FrameworkUtilities::ReportError and end the action; the host application goes on.
class SNPLocusTagSelector : public QWidget, private PageKit<SNPLocusTagSelector>
{
    Q_OBJECT
    Q_PROPERTY(veltrane::CollectionPtr AllLocusTags READ AllLocusTags)
    Q_PROPERTY(veltrane::CollectionPtr SelectedLocusTags READ SelectedLocusTags)
    Q_PROPERTY(qint32 NumberOfSelectedLocusTags READ NumberOfSelectedLocusTags)
    // The selector's own state (colours, buttons, whether the grids react), not QWidget's enabled.
    Q_PROPERTY(bool Enabled READ Enabled WRITE putEnabled)

public:
    explicit SNPLocusTagSelector(QWidget *parent = nullptr);
    ~SNPLocusTagSelector() override;

    // Shows the stored tags split by the set's list (matched by ID), both grids sorted by name.
    // The argument is not replaced.
    Q_INVOKABLE void Initialize(veltrane::ObjectPtr &oAnalysisParameter);
    void Initialize(const AnalysisParameterPtr &oAnalysisParameter);
    // Rewrites the settings' SNP list from gridSelected, top to bottom; settings without size-calling
    // entries are left as they are. The argument is not replaced.
    Q_INVOKABLE void Save(veltrane::ObjectPtr &oFragAnalysisParam);
    void Save(const FragAnalysisParamPtr &oFragAnalysisParam);

    // Every stored tag as Initialize loaded it plus the tags created since; null before Initialize.
    CollectionPtr AllLocusTags() const { return m_colSNPLocusTags; }
    // The tags of gridSelected, top to bottom, in a new collection without keys.
    CollectionPtr SelectedLocusTags() const;
    qint32 NumberOfSelectedLocusTags() const;
    bool Enabled() const { return m_bEnabled; }
    void putEnabled(bool bValue);

private:
    friend class PageKit<SNPLocusTagSelector>;
    friend class SelectorCommands;
    friend class SelectorGrids;

    void buildControls();
    void buildMenus();
    // Runs a handler of a control's event: a failure is shown to the user and ends the handler.
    template <class F> void userAction(const QByteArray &procedure, F &&body)
    {
        guard(ReportOnly, procedure.constData(), std::forward<F>(body));
    }
    // Writes a tag into a row: column 1 its name (unless from is greater), column 2 its number,
    // columns 3 to 6 its texts.
    static void writeRow(GridControl *grid, qint32 row, const SNPLocusTag &tag, qint32 from = 1);
    const CollectionPtr &requireTags() const;

    Label *strAvailable = nullptr;
    Label *strSelected = nullptr;
    GridControl *gridAvailable = nullptr;
    GridControl *gridSelected = nullptr;
    CommandButton *cmdAddSingle = nullptr;
    CommandButton *cmdRemoveSingle = nullptr;
    CommandButton *cmdAddAll = nullptr;
    CommandButton *cmdRemoveAll = nullptr;
    CommandButton *cmdEditSNPLocus = nullptr;
    CommandButton *cmdNewSNPLocus = nullptr;
    PopupMenu *mnuSNPLocusAvailable = nullptr;
    PopupMenu *mnuSNPLocusColumn = nullptr;
    PopupMenu *mnuSNPLocusSelected = nullptr;

    AnalysisParameterPtr m_oParameterSet;
    CollectionPtr m_colSNPLocusTags;
    GridPtr m_oAvailableLayout;
    GridPtr m_oSelectedLayout;
    double m_dAvailableRow = 0;
    double m_dSelectedRow = 0;
    double m_dLastRow = 0;
    SelectorSide m_available{nullptr, m_oAvailableLayout, m_dAvailableRow};
    SelectorSide m_selected{nullptr, m_oSelectedLayout, m_dSelectedRow};
    SelectorSide *m_oActiveGrid = &m_available; // the grid the sort menu acts on
    bool m_bEnabled = true;
    bool m_bResyncNeeded = false;

    SelectorCommands m_commands{*this};
    SelectorGrids m_grids{*this};
};

} // namespace veltrane
