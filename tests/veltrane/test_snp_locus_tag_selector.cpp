#include "host/framework/flow_registry.h"
#include "host/snp_tag_editor/snp_tag_editor_page.h"
#include "page_host.h"
#include "platform/forms/command_button.h"
#include "platform/forms/label.h"
#include "platform/forms/mouse_pointer.h"
#include "platform/forms/popup_menu.h"
#include "platform/forms/text_box.h"
#include "platform/grid/grid_control.h"
#include "veltrane/contracts/automation.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/service/class_table.h"
#include "veltrane/snp_selector/snp_locus_tag_selector.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>
#include <memory>

using namespace veltrane;
using namespace veltrane::test;

namespace {

// One stored tag of a test: its name and number (the texts derive from the name).
struct TagSpec
{
    QString name;
    float number = 0;
};

// The selector over a store of its own, shown so that the mouse can reach it.
struct Rig
{
    explicit Rig(const QList<TagSpec> &tags)
    {
        for (const TagSpec &spec : tags)
            storeTag(spec.name, spec.number);
        selector = std::make_unique<SNPLocusTagSelector>();
        selector->resize(900, 420);
        selector->show();
        selector->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(selector.get()));
    }
    ~Rig() { PopupMenu::setPopupHook({}); }

    static SNPLocusTagPtr storeTag(const QString &name, float number)
    {
        auto tag = qSharedPointerObjectCast<SNPLocusTag>(ObjectManager().NewObject(QStringLiteral("SNPLocusTag")));
        tag->TagData()->setName(name);
        tag->TagData()->setTagNumber(number);
        tag->TagData()->setTagText(1, QStringLiteral("chr ") + name.right(1));
        tag->TagData()->setTagText(4, name.toUpper());
        tag->Commit();
        return tag;
    }
    static SNPLocusTagSettingsPtr stored(const QString &name)
    {
        return qSharedPointerObjectCast<SNPLocusTag>(
                   ObjectManager().LoadObject(QStringLiteral("SNPLocusTag"), QStringLiteral("Name"), name))
            ->TagData();
    }
    // A set listing these tags (in this order); without entries when entries is false.
    AnalysisParameterPtr set(const QStringList &listed, bool entries = true)
    {
        return host.commitSet(QStringLiteral("Set %1").arg(++sets), [&](FragAnalysisParam &s) {
            if (!entries)
                return;
            s.setIdentifyAlleles(0, false);
            for (const QString &name : listed)
                s.SNPLocusTagsOf(0)->Add(stored(name));
        });
    }
    void init(const QStringList &listed, bool entries = true) { selector->Initialize(set(listed, entries)); }

    GridControl *grid(const char *name) const { return selector->findChild<GridControl *>(QLatin1String(name)); }
    GridControl *available() const { return grid("gridAvailable"); }
    GridControl *selected() const { return grid("gridSelected"); }
    CommandButton *button(const char *name) const { return selector->findChild<CommandButton *>(QLatin1String(name)); }
    MenuItem *item(const char *name) const { return selector->findChild<MenuItem *>(QLatin1String(name)); }
    // The buttons that are enabled, by name.
    QStringList enabledButtons() const
    {
        QStringList on;
        for (const char *name :
             {"cmdAddSingle", "cmdRemoveSingle", "cmdAddAll", "cmdRemoveAll", "cmdEditSNPLocus", "cmdNewSNPLocus"})
            if (button(name)->isEnabled())
                on << QLatin1String(name);
        return on;
    }

    PageHost host{false};
    std::unique_ptr<SNPLocusTagSelector> selector;
    int sets = 0;
};

QStringList names(const GridControl *grid, qint32 col = 1)
{
    QStringList out;
    for (qint32 r = 1; r <= grid->rowCount(); ++r)
        out << grid->cellText(r, col);
    return out;
}

void mouse(GridControl *grid, const QString &action, qint32 row, qint32 col = 1,
           Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const GridControl::CellPoint at = grid->cellPoint(row, col);
    QVERIFY(at.widget);
    if (action == QLatin1String("click")) {
        QTest::mouseClick(at.widget, Qt::LeftButton, modifiers, at.pos);
    } else if (action == QLatin1String("right")) {
        QTest::mouseClick(at.widget, Qt::RightButton, modifiers, at.pos);
    } else if (action == QLatin1String("double")) {
        QTest::mouseClick(at.widget, Qt::LeftButton, modifiers, at.pos);
        QTest::mouseDClick(at.widget, Qt::LeftButton, modifiers, at.pos);
        QTest::mouseRelease(at.widget, Qt::LeftButton, modifiers, at.pos);
    }
}

// Right-clicks a cell and chooses an entry of whichever menu pops up; answers that menu's name.
QString rightClickAndChoose(GridControl *grid, qint32 row, qint32 col, const QString &entry)
{
    QString shown;
    PopupMenu::setPopupHook([&](PopupMenu *menu) {
        shown = menu->objectName();
        if (MenuItem *item = entry.isEmpty() ? nullptr : menu->item(entry))
            item->Trigger();
    });
    mouse(grid, QStringLiteral("right"), row, col);
    PopupMenu::setPopupHook({});
    return shown;
}

QStringList namesOf(const CollectionPtr &tags)
{
    QStringList out;
    for (const QVariant &item : *tags) {
        if (auto tag = objectFrom<SNPLocusTag>(item))
            out << tag->Name();
        else if (auto data = objectFrom<SNPLocusTagSettings>(item))
            out << data->Name();
    }
    return out;
}

// Starts the editor with the selector's button or menu (start: "new" or "edit GRID ROW") and plays
// the steps in its window: "name=..;number=.." fills fields, "as:NAME" saves a copy, "save" and
// "cancel" end it.
void runEditor(Rig &rig, const QString &start, QStringList steps)
{
    host::SnpTagEditorPage::setNameAsker(
        [&](QWidget *, const QString &,
            const std::function<QString(const QString &)> &problem) -> std::optional<QString> {
            const QString name = steps.takeFirst().mid(3);
            if (!problem(name).isEmpty())
                return std::nullopt;
            return name;
        });
    bool ran = false;
    onNextWindow([&](host::ServiceWindowDialog &window) {
        ran = true;
        while (!steps.isEmpty()) {
            const QString step = steps.first();
            if (step.startsWith(QLatin1String("as:"))) {
                clickCommand(window, 3); // the asker takes the step
                continue;
            }
            steps.removeFirst();
            if (step == QLatin1String("save"))
                clickCommand(window, 1);
            else if (step == QLatin1String("cancel"))
                clickCommand(window, 2);
            else
                for (const QString &assignment : step.split(QLatin1Char(';'))) {
                    const QString field = assignment.section(QLatin1Char('='), 0, 0);
                    auto *box = window.findChild<TextBox *>(
                        field == QLatin1String("name") ? QStringLiteral("txtName") : QStringLiteral("txtTagNumber"));
                    box->selectAll();
                    QTest::keyClicks(box, assignment.section(QLatin1Char('='), 1));
                }
        }
    });
    if (start == QLatin1String("new")) {
        QTest::mouseClick(rig.button("cmdNewSNPLocus"), Qt::LeftButton);
    } else {
        const QStringList words = start.split(QLatin1Char(' '));
        GridControl *grid = rig.grid(words.at(1).toLatin1().constData());
        mouse(grid, QStringLiteral("click"), words.at(2).toInt());
        QTest::mouseClick(rig.button("cmdEditSNPLocus"), Qt::LeftButton);
    }
    host::SnpTagEditorPage::setNameAsker({});
    QVERIFY(ran);
    QVERIFY2(rig.host.shownReports().isEmpty(), qPrintable(rig.host.shownReports().value(0).error.description()));
}

const QList<TagSpec> kFive{{"rs5", 5}, {"rs1", 1}, {"rs4", 4}, {"rs2", 2}, {"rs3", 3}};

} // namespace

class TestSNPLocusTagSelector : public QObject
{
    Q_OBJECT
private slots:
    void initializeSplitsByIdAndSortsByName_data();
    void initializeSplitsByIdAndSortsByName();
    void rowsShowNumbersAndTexts();
    void saveWritesSelectedGridInItsOrder();
    void doubleClickMovesAndMakesTheNextRowCurrent_data();
    void doubleClickMovesAndMakesTheNextRowCurrent();
    void buttonsAndMenusMoveTags_data();
    void buttonsAndMenusMoveTags();
    void headerClickSortsAndLeavesNoCurrentRow();
    void rightClicks_data();
    void rightClicks();
    void sortMenuSortsBySixColumns_data();
    void sortMenuSortsBySixColumns();
    void workingInOneGridClearsTheOther();
    void editIsOfferedForExactlyOneSelectedTag();
    void disabledSelectorIgnoresTheUser();
    void editorRuns_data();
    void editorRuns();
    void renamedTagsAreFollowed();
    void menuNewKeepsTheSelection_data();
    void menuNewKeepsTheSelection();
    void failuresAreShownAndEndTheAction();
    void publicSurfaceAnswersByName();
    void randomCommandsKeepEveryTagOnceAndTheButtonsRight();
};

void TestSNPLocusTagSelector::initializeSplitsByIdAndSortsByName_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<bool>("entries");
    QTest::addColumn<QStringList>("available");
    QTest::addColumn<QStringList>("selected");
    const QStringList mixed{"b2", "B1", "10", "9", "a"};
    QTest::newRow("set without entries: everything available")
        << mixed << QStringList{} << false << QStringList{"9", "10", "a", "B1", "b2"} << QStringList{};
    QTest::newRow("listed in reverse, shown by name")
        << mixed << QStringList{"b2", "a", "10"} << true << QStringList{"9", "B1"} << QStringList{"10", "a", "b2"};
    QTest::newRow("all listed") << QStringList{"x", "y"} << QStringList{"y", "x"} << true << QStringList{}
                                << QStringList{"x", "y"};
    QTest::newRow("listed twice shows once")
        << QStringList{"x", "y"} << QStringList{"y", "y"} << true << QStringList{"x"} << QStringList{"y"};
}

void TestSNPLocusTagSelector::initializeSplitsByIdAndSortsByName()
{
    QFETCH(QStringList, stored);
    QFETCH(QStringList, listed);
    QFETCH(bool, entries);
    QFETCH(QStringList, available);
    QFETCH(QStringList, selected);
    QList<TagSpec> specs;
    for (const QString &name : stored)
        specs << TagSpec{name, 1};
    Rig rig(specs);
    rig.init(listed, entries);
    QCOMPARE(names(rig.available()), available);
    QCOMPARE(names(rig.selected()), selected);
    QCOMPARE(rig.selector->NumberOfSelectedLocusTags(), selected.size());
    QCOMPARE(namesOf(rig.selector->SelectedLocusTags()), selected);
    QCOMPARE(rig.selector->AllLocusTags()->Count(), stored.size());
    QCOMPARE(rig.available()->cellText(0, 1), QStringLiteral("Name")); // laid out from layout 24
    QCOMPARE(rig.available()->columnCount(), 6);

    // A second Initialize starts from scratch, whatever the user did meanwhile.
    rig.button("cmdAddAll")->click();
    rig.init(listed, entries);
    QCOMPARE(names(rig.available()), available);
    QCOMPARE(names(rig.selected()), selected);
}

void TestSNPLocusTagSelector::rowsShowNumbersAndTexts()
{
    Rig rig({{"rs1", 1.5f}, {"rs2", 1234567.8f}, {"rs3", 0.1f}, {"rs4", -2}});
    rig.init({});
    QCOMPARE(names(rig.available(), 2), (QStringList{"1.5", "1234568", "0.1", "-2"}));
    QCOMPARE(rig.available()->cellText(1, 3), QStringLiteral("chr 1"));
    QCOMPARE(rig.available()->cellText(1, 4), QString());
    QCOMPARE(rig.available()->cellText(2, 6), QStringLiteral("RS2"));
}

void TestSNPLocusTagSelector::saveWritesSelectedGridInItsOrder()
{
    Rig rig(kFive);
    // A tag the set lists that is no longer stored is neither shown nor saved again.
    const AnalysisParameterPtr set = rig.set({"rs4", "rs1"});
    auto gone = SNPLocusTagSettingsPtr::create();
    gone->setID(99999);
    gone->setName(QStringLiteral("deleted meanwhile"));
    set->FragAnalysisParam()->SNPLocusTagsOf(0)->Add(gone);
    rig.selector->Initialize(set);
    QCOMPARE(names(rig.selected()), (QStringList{"rs1", "rs4"}));

    mouse(rig.available(), QStringLiteral("double"), 3); // rs5 moves to the bottom
    rightClickAndChoose(rig.selected(), 0, 1, QStringLiteral("mnuDescending"));
    QCOMPARE(names(rig.selected()), (QStringList{"rs5", "rs4", "rs1"}));

    const FragAnalysisParamPtr fresh = set->FragAnalysisParam();
    rig.selector->Save(fresh);
    QCOMPARE(namesOf(fresh->SNPLocusTagsOf(0)), (QStringList{"rs5", "rs4", "rs1"}));
    fresh->Commit();
    QCOMPARE(namesOf(rig.host.loadSet(set->Name())->FragAnalysisParam()->SNPLocusTagsOf(0)),
             (QStringList{"rs5", "rs4", "rs1"}));

    // Settings without size-calling entries keep their (empty) list.
    auto empty = FragAnalysisParamPtr::create();
    rig.selector->Save(empty);
    QCOMPARE(empty->EntryCount(), qint16(0));
}

void TestSNPLocusTagSelector::doubleClickMovesAndMakesTheNextRowCurrent_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("current"); // name of the row that is current and selected afterwards
    QTest::addColumn<QStringList>("enabled");
    QTest::newRow("last of five") << QStringList{"a", "b", "c", "d", "e"} << 5 << "d"
                                  << QStringList{"cmdAddSingle", "cmdAddAll", "cmdRemoveAll", "cmdEditSNPLocus",
                                                 "cmdNewSNPLocus"};
    QTest::newRow("second of five") << QStringList{"a", "b", "c", "d", "e"} << 2 << "c"
                                    << QStringList{"cmdAddSingle", "cmdAddAll", "cmdRemoveAll", "cmdEditSNPLocus",
                                                   "cmdNewSNPLocus"};
    QTest::newRow("the only row") << QStringList{"a"} << 1 << "" << QStringList{"cmdRemoveAll", "cmdNewSNPLocus"};
    QTest::newRow("the header row") << QStringList{"a", "b"} << 0 << "" << QStringList{"cmdAddAll", "cmdNewSNPLocus"};
}

void TestSNPLocusTagSelector::doubleClickMovesAndMakesTheNextRowCurrent()
{
    QFETCH(QStringList, stored);
    QFETCH(int, row);
    QFETCH(QString, current);
    QFETCH(QStringList, enabled);
    QList<TagSpec> specs;
    for (const QString &name : stored)
        specs << TagSpec{name, 1};
    Rig rig(specs);
    rig.init({});
    mouse(rig.available(), QStringLiteral("double"), row);
    if (row > 0) {
        QCOMPARE(names(rig.selected()), QStringList{stored.at(row - 1)});
        QCOMPARE(rig.available()->rowCount(), stored.size() - 1);
    } else {
        QCOMPARE(rig.available()->rowCount(), stored.size());
    }
    const qint32 currentRow = qint32(names(rig.available()).indexOf(current)) + 1;
    QCOMPARE(rig.available()->currentRow(), current.isEmpty() ? rig.available()->currentRow() : currentRow);
    QCOMPARE(rig.available()->selectedRows(), current.isEmpty() ? QList<qint32>{} : QList<qint32>{currentRow});
    QCOMPARE(rig.enabledButtons(), enabled);
    QVERIFY(rig.host.shownReports().isEmpty());
}

void TestSNPLocusTagSelector::buttonsAndMenusMoveTags_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("available");
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QStringList>("enabled");
    // Five tags a..e, b and d listed; the user works in the grid the action acts on.
    QTest::newRow("Add All") << "cmdAddAll" << QStringList{} << QStringList{"b", "d", "a", "c", "e"}
                             << QStringList{"cmdRemoveAll", "cmdNewSNPLocus"};
    QTest::newRow("Remove All") << "cmdRemoveAll" << QStringList{"a", "c", "e", "b", "d"} << QStringList{}
                                << QStringList{"cmdAddAll", "cmdNewSNPLocus"};
    QTest::newRow("Add two selected rows")
        << "select a, e; cmdAddSingle" << QStringList{"c"} << QStringList{"b", "d", "a", "e"}
        << QStringList{"cmdAddSingle", "cmdAddAll", "cmdRemoveAll", "cmdEditSNPLocus", "cmdNewSNPLocus"};
    QTest::newRow("menu Add on selected rows")
        << "select a, c; menu mnuAdd" << QStringList{"e"} << QStringList{"b", "d", "a", "c"}
        << QStringList{"cmdAddSingle", "cmdAddAll", "cmdRemoveAll", "cmdEditSNPLocus", "cmdNewSNPLocus"};
    QTest::newRow("menu Remove on the right-clicked row")
        << "select d; menu mnuRemove" << QStringList{"a", "c", "e", "d"} << QStringList{"b"}
        << QStringList{"cmdRemoveSingle", "cmdAddAll", "cmdRemoveAll", "cmdEditSNPLocus", "cmdNewSNPLocus"};
}

void TestSNPLocusTagSelector::buttonsAndMenusMoveTags()
{
    QFETCH(QString, how);
    QFETCH(QStringList, available);
    QFETCH(QStringList, selected);
    QFETCH(QStringList, enabled);
    Rig rig({{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}, {"e", 5}});
    rig.init({"b", "d"});
    const bool right = how.contains(QLatin1String("Remove")) || how == QLatin1String("cmdRemoveAll");
    GridControl *grid = right ? rig.selected() : rig.available();
    if (how.startsWith(QLatin1String("select "))) {
        const QStringList parts = how.mid(7).split(QLatin1String("; "));
        bool first = true;
        for (const QString &name : parts.first().split(QLatin1String(", "))) {
            mouse(grid, QStringLiteral("click"), qint32(names(grid).indexOf(name)) + 1, 1,
                  first ? Qt::NoModifier : Qt::ControlModifier);
            first = false;
        }
        const QString action = parts.last();
        if (action.startsWith(QLatin1String("menu ")))
            QCOMPARE(rightClickAndChoose(grid, grid->selectedRows().first(), 1, action.mid(5)),
                     right ? QStringLiteral("mnuSNPLocusSelected") : QStringLiteral("mnuSNPLocusAvailable"));
        else
            QTest::mouseClick(rig.button(action.toLatin1().constData()), Qt::LeftButton);
    } else {
        QTest::mouseClick(rig.button(how.toLatin1().constData()), Qt::LeftButton);
    }
    QCOMPARE(names(rig.available()), available);
    QCOMPARE(names(rig.selected()), selected);
    QCOMPARE(rig.enabledButtons(), enabled);
}

void TestSNPLocusTagSelector::headerClickSortsAndLeavesNoCurrentRow()
{
    Rig rig({{"a", 3}, {"b", 1}, {"c", 2}});
    rig.init({});
    mouse(rig.available(), QStringLiteral("click"), 2);
    QVERIFY(rig.button("cmdAddSingle")->isEnabled());
    mouse(rig.available(), QStringLiteral("click"), 0, 2);
    QCOMPARE(names(rig.available()), (QStringList{"b", "c", "a"}));
    QVERIFY(!rig.button("cmdAddSingle")->isEnabled());
    QVERIFY(rig.button("cmdAddAll")->isEnabled());
    mouse(rig.available(), QStringLiteral("click"), 0, 2); // the same header again: the other way
    QCOMPARE(names(rig.available()), (QStringList{"a", "c", "b"}));
    mouse(rig.available(), QStringLiteral("click"), 1);
    QVERIFY(rig.button("cmdAddSingle")->isEnabled());
}

void TestSNPLocusTagSelector::rightClicks_data()
{
    QTest::addColumn<QString>("gridName");
    QTest::addColumn<QList<int>>("selectFirst"); // rows selected by left clicks (Ctrl for the second)
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QList<int>>("selectedAfter");
    QTest::addColumn<bool>("editEnabled");
    QTest::addColumn<bool>("editItemEnabled");
    QTest::newRow("unselected row") << "gridAvailable" << QList<int>{} << 2 << "mnuSNPLocusAvailable" << QList<int>{2}
                                    << true << true;
    QTest::newRow("second unselected row")
        << "gridAvailable" << QList<int>{1} << 3 << "mnuSNPLocusAvailable" << QList<int>{3} << true << true;
    QTest::newRow("row of a selection of two")
        << "gridSelected" << QList<int>{1, 2} << 2 << "mnuSNPLocusSelected" << QList<int>{1, 2} << false << false;
    // No row is current any more, so the button goes; the menu entry stays as the last selection left it.
    QTest::newRow("header of gridSelected")
        << "gridSelected" << QList<int>{1} << 0 << "mnuSNPLocusColumn" << QList<int>{} << false << true;
}

void TestSNPLocusTagSelector::rightClicks()
{
    QFETCH(QString, gridName);
    QFETCH(QList<int>, selectFirst);
    QFETCH(int, row);
    QFETCH(QString, menu);
    QFETCH(QList<int>, selectedAfter);
    QFETCH(bool, editEnabled);
    QFETCH(bool, editItemEnabled);
    Rig rig({{"a", 1}, {"b", 2}, {"c", 3}, {"x", 4}, {"y", 5}, {"z", 6}});
    rig.init({"x", "y", "z"});
    GridControl *grid = rig.grid(gridName.toLatin1().constData());
    GridControl *other = grid == rig.available() ? rig.selected() : rig.available();
    mouse(other, QStringLiteral("click"), 1); // something to clear in the other grid
    for (int i = 0; i < selectFirst.size(); ++i)
        mouse(grid, QStringLiteral("click"), selectFirst[i], 1, i == 0 ? Qt::NoModifier : Qt::ControlModifier);
    QCOMPARE(rightClickAndChoose(grid, row, 1, QString()), menu);
    QCOMPARE(grid->selectedRows(), selectedAfter);
    QCOMPARE(other->selectedRowCount(), 0);
    QCOMPARE(rig.button("cmdEditSNPLocus")->isEnabled(), editEnabled);
    QCOMPARE(rig.item(grid == rig.available() ? "mnuEditAvailable" : "mnuEditSelected")->isEnabled(), editItemEnabled);
    // The single-move button follows the row the right click left current.
    const bool single = row > 0;
    QCOMPARE(rig.button(grid == rig.available() ? "cmdAddSingle" : "cmdRemoveSingle")->isEnabled(), single);
    QVERIFY(!rig.button(grid == rig.available() ? "cmdRemoveSingle" : "cmdAddSingle")->isEnabled());
}

void TestSNPLocusTagSelector::sortMenuSortsBySixColumns_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("order");
    // Capitals come before small letters only where case counts.
    QTest::newRow("ascending ignores case") << "mnuAscending" << QStringList{"alpha", "Beta", "Zeta"};
    QTest::newRow("descending counts case") << "mnuDescending" << QStringList{"alpha", "Zeta", "Beta"};
}

void TestSNPLocusTagSelector::sortMenuSortsBySixColumns()
{
    QFETCH(QString, entry);
    QFETCH(QStringList, order);
    Rig rig({{"Zeta", 1}, {"alpha", 2}, {"Beta", 1}, {"rs9", 1}});
    rig.init({"Zeta", "alpha", "Beta"});
    mouse(rig.selected(), QStringLiteral("click"), 0, 2); // by number first, so that either sort moves rows
    QCOMPARE(names(rig.selected()), (QStringList{"Beta", "Zeta", "alpha"}));
    QList<int> pointerWhileSorting;
    QObject::connect(rig.selected()->model(), &QAbstractItemModel::layoutAboutToBeChanged, rig.selector.get(),
                     [&] { pointerWhileSorting << MousePointer::value(); });
    // The sort menu acts on the grid last right-clicked, whichever column was clicked.
    QCOMPARE(rightClickAndChoose(rig.selected(), 0, 4, entry), QStringLiteral("mnuSNPLocusColumn"));
    QCOMPARE(names(rig.selected()), order);
    QCOMPARE(pointerWhileSorting, QList<int>{MousePointer::Hourglass});
    QCOMPARE(MousePointer::value(), int(MousePointer::Default));
    QCOMPARE(names(rig.available()), QStringList{"rs9"});
}

void TestSNPLocusTagSelector::workingInOneGridClearsTheOther()
{
    Rig rig({{"a", 1}, {"b", 2}, {"x", 3}, {"y", 4}});
    rig.init({"x", "y"});
    mouse(rig.available(), QStringLiteral("click"), 1);
    mouse(rig.available(), QStringLiteral("click"), 2, 1, Qt::ControlModifier);
    QCOMPARE(rig.available()->selectedRowCount(), 2);
    mouse(rig.selected(), QStringLiteral("click"), 2);
    QCOMPARE(rig.available()->selectedRowCount(), 0);
    QCOMPARE(rig.selected()->selectedRows(), QList<qint32>{2});
    QVERIFY(!rig.button("cmdAddSingle")->isEnabled());
    QVERIFY(rig.button("cmdRemoveSingle")->isEnabled());
    // Add moves nothing now: no row of gridAvailable is selected any more.
    QTest::mouseClick(rig.button("cmdAddAll"), Qt::LeftButton);
    QCOMPARE(names(rig.selected()), (QStringList{"x", "y", "a", "b"}));
}

void TestSNPLocusTagSelector::editIsOfferedForExactlyOneSelectedTag()
{
    Rig rig({{"a", 1}, {"b", 2}, {"c", 3}});
    rig.init({});
    QVERIFY(!rig.button("cmdEditSNPLocus")->isEnabled());
    mouse(rig.available(), QStringLiteral("click"), 1);
    QVERIFY(rig.button("cmdEditSNPLocus")->isEnabled());
    mouse(rig.available(), QStringLiteral("click"), 3, 1, Qt::ControlModifier);
    QVERIFY(!rig.button("cmdEditSNPLocus")->isEnabled());
    QVERIFY(!rig.item("mnuEditAvailable")->isEnabled());
    mouse(rig.available(), QStringLiteral("click"), 1, 1, Qt::ControlModifier);
    QVERIFY(rig.button("cmdEditSNPLocus")->isEnabled());
    QVERIFY(rig.item("mnuEditAvailable")->isEnabled());
}

void TestSNPLocusTagSelector::disabledSelectorIgnoresTheUser()
{
    Rig rig({{"a", 1}, {"b", 2}, {"x", 3}});
    rig.init({"x"});
    mouse(rig.available(), QStringLiteral("click"), 1);
    rig.selector->putEnabled(false);
    QVERIFY(!rig.selector->Enabled());
    QCOMPARE(rig.enabledButtons(), QStringList{});
    QCOMPARE(rig.available()->property("BackColor").toUInt(), 0x8000000Fu);
    QCOMPARE(rig.selected()->property("ForeColor").toUInt(), 0x80000011u);
    QVERIFY(!rig.selector->findChild<Label *>(QStringLiteral("strAvailable"))->isEnabled());

    QString menu;
    PopupMenu::setPopupHook([&](PopupMenu *m) { menu = m->objectName(); });
    mouse(rig.available(), QStringLiteral("double"), 2);
    mouse(rig.selected(), QStringLiteral("click"), 1);
    mouse(rig.selected(), QStringLiteral("right"), 1);
    mouse(rig.available(), QStringLiteral("click"), 0, 1);
    QVERIFY(menu.isEmpty());
    QCOMPARE(names(rig.available()), (QStringList{"a", "b"}));
    QCOMPARE(names(rig.selected()), QStringList{"x"});
    QCOMPARE(rig.selected()->selectedRowCount(), 0);
    QCOMPARE(rig.enabledButtons(), QStringList{});

    rig.selector->putEnabled(true);
    QCOMPARE(rig.available()->property("BackColor").toUInt(), 0xFFFFFFu);
    QCOMPARE(rig.enabledButtons(), (QStringList{"cmdAddAll", "cmdRemoveAll", "cmdNewSNPLocus"}));
    mouse(rig.selected(), QStringLiteral("click"), 1);
    QCOMPARE(rig.enabledButtons(),
             (QStringList{"cmdRemoveSingle", "cmdAddAll", "cmdRemoveAll", "cmdEditSNPLocus", "cmdNewSNPLocus"}));
}

void TestSNPLocusTagSelector::editorRuns_data()
{
    // In the editor: "name=..;number=.." fills the fields, "as:NAME" saves a copy, "save"/"cancel"
    // end the flow. The selector starts with a, b, c available and x selected.
    QTest::addColumn<QString>("start"); // "edit GRID ROW" or "new"
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("available");
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QString>("numberOfX"); // column 2 of the row x
    QTest::newRow("same name in other case: row updated in place")
        << "edit gridSelected 1" << QStringList{"name=X", "number=7.25", "save"} << QStringList{"a", "b", "c"}
        << QStringList{"x"} << "7.25";
    QTest::newRow("new name: a second row at the bottom of gridAvailable")
        << "edit gridSelected 1" << QStringList{"name=x2", "save"} << QStringList{"a", "b", "c", "x2"}
        << QStringList{"x"} << "4";
    QTest::newRow("cancelled: nothing changes") << "edit gridSelected 1" << QStringList{"name=zz", "cancel"}
                                                << QStringList{"a", "b", "c"} << QStringList{"x"} << "4";
    QTest::newRow("saved twice then cancelled: the stored tags appended")
        << "edit gridAvailable 2" << QStringList{"as:b2", "as:b3", "cancel"} << QStringList{"a", "b", "c", "b2", "b3"}
        << QStringList{"x"} << "4";
    QTest::newRow("save as then save: the copy once") << "edit gridAvailable 1" << QStringList{"as:a2", "save"}
                                                      << QStringList{"a", "b", "c", "a2"} << QStringList{"x"} << "4";
    QTest::newRow("new tag") << "new" << QStringList{"name=n1", "number=9", "save"} << QStringList{"a", "b", "c", "n1"}
                             << QStringList{"x"} << "4";
    QTest::newRow("new tag saved under two names") << "new" << QStringList{"name=n1", "as:n2", "as:n3", "save"}
                                                   << QStringList{"a", "b", "c", "n3", "n2"} << QStringList{"x"} << "4";
    QTest::newRow("new tag cancelled after a save") << "new" << QStringList{"name=n1", "as:n2", "cancel"}
                                                    << QStringList{"a", "b", "c", "n2"} << QStringList{"x"} << "4";
}

void TestSNPLocusTagSelector::editorRuns()
{
    QFETCH(QString, start);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, available);
    QFETCH(QStringList, selected);
    QFETCH(QString, numberOfX);
    Rig rig({{"a", 1}, {"b", 2}, {"c", 3}, {"x", 4}});
    rig.init({"x"});
    runEditor(rig, start, steps);
    QCOMPARE(names(rig.available()), available);
    QCOMPARE(names(rig.selected()), selected);
    QCOMPARE(rig.selected()->cellText(1, 2), numberOfX);
    // Every row still finds its tag.
    for (GridControl *grid : {rig.available(), rig.selected()})
        for (const QString &name : names(grid))
            QVERIFY2(rig.selector->AllLocusTags()->Object<SNPLocusTag>(name), qPrintable(name));
}

void TestSNPLocusTagSelector::renamedTagsAreFollowed()
{
    Rig rig({{"a", 1}, {"b", 2}, {"c", 3}});
    rig.init({});
    // Renamed: a second row, and the collection holds the tag under both names.
    runEditor(rig, QStringLiteral("edit gridAvailable 1"), {"name=a2", "save"});
    QCOMPARE(names(rig.available()), (QStringList{"a", "b", "c", "a2"}));
    // A copy saved and then cancelled is still found among three stored tags that are listed
    // four times.
    runEditor(rig, QStringLiteral("edit gridAvailable 2"), {"as:x", "cancel"});
    QCOMPARE(names(rig.available()), (QStringList{"a", "b", "c", "a2", "x"}));
    // A new tag may take the name the renamed one gave up; the name then finds the new tag.
    runEditor(rig, QStringLiteral("new"), {"name=a", "number=9", "save"});
    QCOMPARE(names(rig.available()), (QStringList{"a", "b", "c", "a2", "x", "a"}));
    QCOMPARE(rig.selector->AllLocusTags()->Object<SNPLocusTag>(QStringLiteral("a"))->TagData()->TagNumber(), 9.0f);
}

void TestSNPLocusTagSelector::menuNewKeepsTheSelection_data()
{
    QTest::addColumn<bool>("create");
    QTest::newRow("tag created") << true;
    QTest::newRow("editor cancelled") << false;
}

void TestSNPLocusTagSelector::menuNewKeepsTheSelection()
{
    QFETCH(bool, create);
    Rig rig({{"a", 1}, {"b", 2}, {"c", 3}});
    rig.init({});
    mouse(rig.available(), QStringLiteral("click"), 1);
    mouse(rig.available(), QStringLiteral("click"), 3, 1, Qt::ControlModifier);
    onNextWindow([&](host::ServiceWindowDialog &window) {
        if (create) {
            QTest::keyClicks(window.findChild<TextBox *>(QStringLiteral("txtName")), QStringLiteral("new one"));
            clickCommand(window, 1);
        } else {
            clickCommand(window, 2);
        }
    });
    QCOMPARE(rightClickAndChoose(rig.available(), 3, 1, QStringLiteral("mnuNewAvailable")),
             QStringLiteral("mnuSNPLocusAvailable"));
    QCOMPARE(names(rig.available()).size(), create ? 4 : 3);
    QCOMPARE(rig.available()->selectedRows(), (QList<qint32>{1, 3}));
}

void TestSNPLocusTagSelector::failuresAreShownAndEndTheAction()
{
    Rig rig({{"a", 1}});
    rig.init({});
    host::FlowRegistry::instance().unregisterFlow(QStringLiteral("SNPLocusTagEditor"));
    QTest::mouseClick(rig.button("cmdNewSNPLocus"), Qt::LeftButton);
    const auto shown = rig.host.shownReports();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().className, QStringLiteral("SNPLocusTagSelector"));
    QCOMPARE(shown.first().procedureName, QStringLiteral("cmdNewSNPLocus_Click"));
    QCOMPARE(shown.first().error.number(), qint32(kFlowNotRegistered));
    QCOMPARE(names(rig.available()), QStringList{"a"});
    // The selector goes on working.
    mouse(rig.available(), QStringLiteral("double"), 1);
    QCOMPARE(names(rig.selected()), QStringList{"a"});
}

void TestSNPLocusTagSelector::publicSurfaceAnswersByName()
{
    Rig rig({{"a", 1}, {"b", 2}});
    std::unique_ptr<QObject> made(createObject(QStringLiteral("Veltrane.SNPLocusTagSelector")));
    QVERIFY(qobject_cast<SNPLocusTagSelector *>(made.get()));
    QVERIFY(!dynamic_cast<IPageAccess *>(made.get()));
    QVERIFY(!made->property("AllLocusTags").value<CollectionPtr>());

    // As the editor calls it: by dispatch id, the set by reference (and not replaced).
    const ObjectPtr set = rig.set({"b"});
    QVariantList args{toVariant(set)};
    automation::call(made.get(), 0x60030002, args);
    QCOMPARE(objectFrom(args.first()), set);
    QCOMPARE(automation::call(made.get(), 0x68030005, {}, automation::CallKind::PropertyGet).toInt(), 1);
    QCOMPARE(made->property("NumberOfSelectedLocusTags").toInt(), 1);
    QCOMPARE(namesOf(made->property("SelectedLocusTags").value<CollectionPtr>()), QStringList{"b"});
    QCOMPARE(made->property("AllLocusTags").value<CollectionPtr>()->Count(), 2);
    QVERIFY(made->setProperty("Enabled", false));
    QCOMPARE(made->property("Enabled").toBool(), false);
    QVERIFY(qobject_cast<QWidget *>(made.get())->isEnabled()); // QWidget's own flag is not the selector's

    ObjectPtr settings = FragAnalysisParamPtr::create();
    qSharedPointerObjectCast<FragAnalysisParam>(settings)->setIdentifyAlleles(0, false);
    const ObjectPtr given = settings;
    QVERIFY(QMetaObject::invokeMethod(made.get(), "Save", Q_ARG(veltrane::ObjectPtr &, settings)));
    QCOMPARE(settings, given); // not replaced
    QCOMPARE(namesOf(qSharedPointerObjectCast<FragAnalysisParam>(settings)->SNPLocusTagsOf(0)), QStringList{"b"});
}

void TestSNPLocusTagSelector::randomCommandsKeepEveryTagOnceAndTheButtonsRight()
{
    constexpr int kTags = 24;
    constexpr int kCommands = 300;
    const quint32 seed = qEnvironmentVariableIsSet("VELTRANE_TEST_SEED")
                             ? quint32(qEnvironmentVariableIntValue("VELTRANE_TEST_SEED"))
                             : QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    QList<TagSpec> specs;
    QStringList all;
    for (int i = 0; i < kTags; ++i) {
        specs << TagSpec{QStringLiteral("rs%1").arg(random.bounded(1000) * 100 + i), float(random.bounded(50))};
        all << specs.last().name;
    }
    Rig rig(specs);
    rig.init(all.mid(0, kTags / 3));
    std::sort(all.begin(), all.end());
    QString menuToChoose;
    PopupMenu::setPopupHook([&](PopupMenu *menu) {
        if (MenuItem *item = menuToChoose.isEmpty() ? nullptr : menu->item(menuToChoose))
            item->Trigger();
    });

    QElapsedTimer clock;
    clock.start();
    QString done;
    for (int step = 0; step < kCommands && clock.elapsed() < 60000; ++step) {
        const auto where = [&] { return QStringLiteral("seed %1, step %2: %3").arg(seed).arg(step).arg(done); };
        GridControl *grid = random.bounded(2) ? rig.available() : rig.selected();
        const qint32 rows = grid->rowCount();
        const qint32 row = rows > 0 ? qint32(random.bounded(rows)) + 1 : 0;
        switch (random.bounded(9)) {
        case 0:
            done = QStringLiteral("click %1 %2").arg(grid->objectName()).arg(row);
            mouse(grid, QStringLiteral("click"), row, 1, random.bounded(3) == 0 ? Qt::ControlModifier : Qt::NoModifier);
            break;
        case 1:
            done = QStringLiteral("double click %1 %2").arg(grid->objectName()).arg(row);
            mouse(grid, QStringLiteral("double"), row);
            break;
        case 2: {
            static const char *const buttons[] = {"cmdAddSingle", "cmdRemoveSingle", "cmdAddAll", "cmdRemoveAll"};
            const char *name = buttons[random.bounded(4)];
            done = QLatin1String(name);
            QTest::mouseClick(rig.button(name), Qt::LeftButton);
            break;
        }
        case 3:
            menuToChoose = grid == rig.available() ? QStringLiteral("mnuAdd") : QStringLiteral("mnuRemove");
            done = QStringLiteral("right %1 %2, %3").arg(grid->objectName()).arg(row).arg(menuToChoose);
            mouse(grid, QStringLiteral("right"), row);
            break;
        case 4:
            menuToChoose = random.bounded(2) ? QStringLiteral("mnuAscending") : QStringLiteral("mnuDescending");
            done = QStringLiteral("right header %1, %2").arg(grid->objectName(), menuToChoose);
            mouse(grid, QStringLiteral("right"), 0, 1 + qint32(random.bounded(6)));
            break;
        case 5:
            done = QStringLiteral("header click %1").arg(grid->objectName());
            mouse(grid, QStringLiteral("click"), 0, 1 + qint32(random.bounded(6)));
            break;
        case 6:
            done = QStringLiteral("Enabled %1").arg(!rig.selector->Enabled());
            rig.selector->putEnabled(!rig.selector->Enabled());
            break;
        default:
            done = QStringLiteral("shift click %1 %2").arg(grid->objectName()).arg(row);
            mouse(grid, QStringLiteral("click"), row, 1, Qt::ShiftModifier);
            break;
        }

        QStringList both = names(rig.available()) + names(rig.selected());
        std::sort(both.begin(), both.end());
        QVERIFY2(both == all, qPrintable(where()));
        auto settings = FragAnalysisParamPtr::create();
        settings->setIdentifyAlleles(0, false);
        rig.selector->Save(settings);
        QVERIFY2(namesOf(settings->SNPLocusTagsOf(0)) == names(rig.selected()), qPrintable(where()));
        QVERIFY2(rig.selector->NumberOfSelectedLocusTags() == rig.selected()->rowCount(), qPrintable(where()));
        const bool on = rig.selector->Enabled();
        QVERIFY2(rig.button("cmdAddAll")->isEnabled() == (on && rig.available()->rowCount() > 0), qPrintable(where()));
        QVERIFY2(rig.button("cmdRemoveAll")->isEnabled() == (on && rig.selected()->rowCount() > 0),
                 qPrintable(where()));
        QVERIFY2(!rig.button("cmdAddSingle")->isEnabled() || rig.available()->rowCount() > 0, qPrintable(where()));
        QVERIFY2(!rig.button("cmdRemoveSingle")->isEnabled() || rig.selected()->rowCount() > 0, qPrintable(where()));
        QVERIFY2(rig.button("cmdNewSNPLocus")->isEnabled() == on, qPrintable(where()));
        QVERIFY2(on || rig.enabledButtons().isEmpty(), qPrintable(where()));
        QVERIFY2(rig.host.shownReports().isEmpty(), qPrintable(where()));
    }
}

QTEST_MAIN(TestSNPLocusTagSelector)
#include "test_snp_locus_tag_selector.moc"
