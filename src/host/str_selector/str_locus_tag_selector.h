#pragma once

#include "veltrane/contracts/automation.h"
#include "veltrane/contracts/business_objects.h"

#include <QWidget>

namespace veltrane {
class CommandButton;
class GridControl;
class Label;
} // namespace veltrane

namespace veltrane::host {

// The host's STR locus tag selector, which the editor places on its STR tab: the stored STR locus
// tags a set does not use ("Available") beside those it uses ("Selected"). Tags move with the
// buttons (">" the selected rows, ">>" all, and back), by double click, several at once with Ctrl
// and Shift; a click on a column title sorts by that column. The editor reaches it only late-bound,
// by its programmatic identifier and two dispatch ids:
//   Initialize (0x60030004): shows the stored tags, split by the set handed by reference;
//   Save (0x60030005): writes the selected tags, in their order, into the settings handed by
//   reference (sets without a size-calling entry have no tag list and are left as they are).
// Moving tags marks the page it stands on as changed.
class STRLocusTagSelector : public QWidget
{
    Q_OBJECT
public:
    explicit STRLocusTagSelector(QWidget *parent = nullptr);
    ~STRLocusTagSelector() override;

    Q_INVOKABLE void Initialize(veltrane::ObjectPtr &oAnalysisParameter);
    Q_INVOKABLE void Save(veltrane::ObjectPtr &oFragAnalysisParam);

    // The names of the selected tags, top to bottom.
    QStringList selectedNames() const;

    // What it answers late-bound: the two members above by their dispatch ids.
    static QList<automation::Member> members();
    // Makes the class callable late-bound by its two dispatch ids.
    static void registerDispatchTable();

private:
    void addSelected();
    void removeSelected();
    void addAll();
    void removeAll();
    void moveRow(GridControl *from, GridControl *to, double row);
    void sortByHeader(GridControl *grid, double row, double col);
    void showButtons();
    void changed();
    void appendRow(GridControl *grid, const STRLocusTag &tag);

    CollectionPtr m_tags; // every stored STR locus tag, by name
    Label *strAvailable = nullptr;
    Label *strSelected = nullptr;
    GridControl *gridAvailable = nullptr;
    GridControl *gridSelected = nullptr;
    CommandButton *cmdAddSingle = nullptr;
    CommandButton *cmdRemoveSingle = nullptr;
    CommandButton *cmdAddAll = nullptr;
    CommandButton *cmdRemoveAll = nullptr;
};

} // namespace veltrane::host
