#include "host/framework/flow_registry.h"
#include "host/snp_tag_editor/snp_tag_editor_page.h"
#include "page_host.h"
#include "platform/forms/colors.h"
#include "platform/forms/command_button.h"
#include "platform/forms/label.h"
#include "platform/forms/mouse_pointer.h"
#include "platform/forms/popup_menu.h"
#include "platform/forms/text_box.h"
#include "platform/grid/grid_control.h"
#include "support/data_rows.h"
#include "support/error_number.h"
#include "veltrane/contracts/automation.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/service/class_table.h"
#include "veltrane/snp_selector/snp_locus_tag_selector.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>
#include <memory>

using namespace veltrane;
using namespace veltrane::test;

namespace {

// The names a grid shows, top down.
QStringList names(const GridControl *grid)
{
    QStringList out;
    for (qint32 r = 1; r <= grid->rowCount(); ++r)
        out << grid->cellText(r, 1);
    return out;
}

// The names in a list of tags or of their settings.
QStringList namesOf(const CollectionPtr &tags)
{
    QStringList out;
    for (const QVariant &item : *tags)
        out << (objectFrom<SNPLocusTag>(item) ? objectFrom<SNPLocusTag>(item)->Name()
                                              : objectFrom<SNPLocusTagSettings>(item)->Name());
    return out;
}

// The selector over a store of its own, shown so that the mouse can reach it. The tags are given as
// "a b:2.5 | x y": stored tags by name (with a number after the colon, else their place in the
// list), those after the bar listed in the set that init() hands over.
struct Rig
{
    explicit Rig(const QString &tags)
    {
        const QStringList sides = tags.split(u'|');
        int place = 0;
        for (qsizetype side = 0; side < sides.size(); ++side)
            for (const QString &word : sides.at(side).split(u' ', Qt::SkipEmptyParts)) {
                const QString name = word.section(u':', 0, 0);
                auto tag =
                    qSharedPointerObjectCast<SNPLocusTag>(ObjectManager().NewObject(QStringLiteral("SNPLocusTag")));
                tag->TagData()->setName(name);
                tag->TagData()->setTagNumber(word.contains(u':') ? word.section(u':', 1).toFloat() : float(++place));
                tag->TagData()->setTagText(1, QStringLiteral("chr ") + name.right(1));
                tag->TagData()->setTagText(4, name.toUpper());
                tag->Commit();
                data.insert(name, tag->TagData());
                if (side == 1)
                    listed << name;
            }
        selector = std::make_unique<SNPLocusTagSelector>();
        selector->resize(900, 420);
        selector->show();
        selector->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(selector.get()));
        PopupMenu::setPopupHook([this](PopupMenu *menu) {
            menus << menu->objectName();
            if (MenuItem *item = entry.isEmpty() ? nullptr : menu->item(entry))
                item->Trigger();
        });
    }
    ~Rig()
    {
        PopupMenu::setPopupHook({});
        host::SnpTagEditorPage::setNameAsker({});
    }

    // A set listing these tags (in this order); without entries when entries is false.
    AnalysisParameterPtr set(const QStringList &tags, bool entries = true)
    {
        return host.commitSet(QStringLiteral("Set %1").arg(++sets), [&](FragAnalysisParam &s) {
            if (!entries)
                return;
            s.setIdentifyAlleles(0, false);
            for (const QString &name : tags)
                s.SNPLocusTagsOf(0)->Add(data.value(name));
        });
    }
    void init() { selector->Initialize(set(listed)); }

    GridControl *grid(const QString &letter) const
    {
        return selector->findChild<GridControl *>(letter == QLatin1String("A") ? QStringLiteral("gridAvailable")
                                                                               : QStringLiteral("gridSelected"));
    }
    GridControl *available() const { return grid(QStringLiteral("A")); }
    GridControl *selected() const { return grid(QStringLiteral("S")); }
    CommandButton *button(const QString &name) const { return selector->findChild<CommandButton *>(name); }
    // The enabled buttons, Add and Remove being the single moves.
    QStringList enabledButtons() const
    {
        QStringList on;
        for (const char *name : {"AddSingle", "RemoveSingle", "AddAll", "RemoveAll", "EditSNPLocus", "NewSNPLocus"})
            if (button(QStringLiteral("cmd") + QLatin1String(name))->isEnabled())
                on << QString::fromLatin1(name).remove(QLatin1String("Single")).remove(QLatin1String("SNPLocus"));
        return on;
    }
    // "available | selected | enabled controls | menu shown", as the tables write it: selected rows
    // marked with *, "-" for nothing, the enabled buttons followed by the menus' Edit entries (AEdit
    // for gridAvailable's, SEdit for gridSelected's), the menu part only when one popped up since the
    // last look.
    QStringList state()
    {
        QStringList parts;
        for (GridControl *grid : {available(), selected()}) {
            QStringList rows;
            for (qint32 r = 1; r <= grid->rowCount(); ++r)
                rows << (grid->selectedRows().contains(r) ? QStringLiteral("*") : QString()) + grid->cellText(r, 1);
            parts << rows.join(u' ');
        }
        QStringList on = enabledButtons();
        for (const char *item : {"mnuEditAvailable", "mnuEditSelected"})
            if (selector->findChild<MenuItem *>(QLatin1String(item))->isEnabled())
                on << QLatin1Char(item[7]) + QStringLiteral("Edit");
        parts << on.join(u' ') << (menus.isEmpty() ? QString() : QStringLiteral("menu ") + menus.join(u' '));
        menus.clear();
        for (QString &part : parts)
            part = part.isEmpty() ? QStringLiteral("-") : part;
        return parts;
    }

    PageHost host{false};
    std::unique_ptr<SNPLocusTagSelector> selector;
    QHash<QString, SNPLocusTagSettingsPtr> data; // of the stored tags
    QStringList listed;
    int sets = 0;
    bool switched = false; // Enabled was set
    QString entry;         // the entry the next menu to pop up chooses
    QStringList menus;     // the menus that popped up
    QStringList editor;    // what the user does in the editor window still to come
};

// The rules that hold whatever the user did; answers the first one broken.
QString broken(Rig &rig)
{
    const bool on = rig.selector->Enabled();
    const QStringList buttons = rig.enabledButtons();
    const auto has = [&](const char *name) { return buttons.contains(QLatin1String(name)); };
    const qint32 left = rig.available()->rowCount(), right = rig.selected()->rowCount();
    // Window colours until Enabled is first set; then white, or greyed while disabled.
    const quint32 back = !on ? colors::kButtonFace : rig.switched ? colors::kWhite : colors::kWindowBackground;
    const quint32 fore = !on ? colors::kGrayText : rig.switched ? colors::kBlack : colors::kWindowText;
    // Disabling turns every button off; a grid's activation may offer the moves again meanwhile.
    const std::pair<bool, const char *> rules[] = {
        {on ? has("AddAll") == (left > 0) : !has("AddAll") || left > 0, "Add All follows the rows of gridAvailable"},
        {on ? has("RemoveAll") == (right > 0) : !has("RemoveAll") || right > 0,
         "Remove All follows the rows of gridSelected"},
        {!has("Add") || left > 0, "Add without rows to add"},
        {!has("Remove") || right > 0, "Remove without rows to remove"},
        {has("New") == on, "New is offered exactly while enabled"},
        {rig.selector->findChild<Label *>(QStringLiteral("strAvailable"))->isEnabled() == on, "the labels follow"},
        {rig.available()->property("BackColor").toUInt() == back &&
             rig.selected()->property("ForeColor").toUInt() == fore,
         "the grids' colours follow"},
        {rig.selector->NumberOfSelectedLocusTags() == right && rig.selector->SelectedLocusTags()->Count() == right,
         "the counts follow gridSelected"},
        {rig.host.shownReports().isEmpty(), "an error was shown"}};
    for (const auto &[holds, rule] : rules)
        if (!holds)
            return QLatin1String(rule);
    for (GridControl *grid : {rig.available(), rig.selected()})
        for (const QString &name : names(grid))
            if (!rig.selector->AllLocusTags()->Object<SNPLocusTag>(name))
                return QStringLiteral("the row %1 finds no tag").arg(name);
    return {};
}

// The editor's window, played from rig.editor when it opens: "name=..;number=.." fills fields,
// "as:NAME" saves a copy under NAME, "save" and "cancel" end it.
void scriptEditor(Rig &rig, const QString &steps)
{
    rig.editor = steps.split(u' ', Qt::SkipEmptyParts);
    host::SnpTagEditorPage::setNameAsker(
        [&rig](QWidget *, const QString &, const std::function<QString(const QString &)> &problem) {
            const QString name = rig.editor.takeFirst().mid(3);
            return problem(name).isEmpty() ? std::optional<QString>(name) : std::nullopt;
        });
    onNextWindow([&rig](host::ServiceWindowDialog &window) {
        while (!rig.editor.isEmpty()) {
            const QString step = rig.editor.first();
            if (step.startsWith(QLatin1String("as:"))) {
                clickCommand(window, 3); // the asker takes the step
                continue;
            }
            rig.editor.removeFirst();
            if (step == QLatin1String("save") || step == QLatin1String("cancel"))
                clickCommand(window, step == QLatin1String("save") ? 1 : 2);
            else
                for (const QString &assignment : step.split(u';')) {
                    auto *box = window.findChild<TextBox *>(assignment.startsWith(QLatin1String("name="))
                                                                ? QStringLiteral("txtName")
                                                                : QStringLiteral("txtTagNumber"));
                    box->selectAll();
                    QTest::keyClicks(box, assignment.section(u'=', 1));
                }
        }
    });
}

// One action of a user on the selector, or a look at it:
//   "click A2", "ctrl S1", "shift A3", "double A2", "right S2": the mouse on gridAvailable (A) or
//   gridSelected (S), row 2 (".4" after the row: column 4; row 0 is the header);
//   "right A2 mnuAdd": a right click, choosing that entry of the menu that pops up;
//   "cmdAddAll": a button; "off", "on": Enabled; "editor STEPS": how the next editor window is used;
//   "= STATE": what rig.state() answers (as far as written), the rules holding and the editor run;
//   "x shows 7.25": the number of the tag x, in its last row and in AllLocusTags; "A4 is current";
//   "count 5": the number of tags AllLocusTags holds;
//   "A2 reads a/1/chr a///A": the cells of a row; "init x y": Initialize with a set listing x and y
//   ("init -": a set without entries), then what every Initialize gives.
void act(Rig &rig, const QString &action)
{
    const QStringList words = action.split(u' ');
    const QString &verb = words.first();
    if (verb == QLatin1String("=")) {
        const QString expected = action.mid(2);
        QCOMPARE(rig.state().mid(0, expected.count(QStringLiteral(" | ")) + 1).join(QStringLiteral(" | ")), expected);
        QVERIFY2(broken(rig).isEmpty(), qPrintable(broken(rig)));
        QVERIFY2(rig.editor.isEmpty(), qPrintable(QStringLiteral("the editor did not open: ") + action));
    } else if (verb == QLatin1String("count")) {
        QCOMPARE(rig.selector->AllLocusTags()->Count(), words.at(1).toInt());
    } else if (verb == QLatin1String("editor")) {
        scriptEditor(rig, action.mid(7));
    } else if (verb.startsWith(QLatin1String("cmd"))) {
        QTest::mouseClick(rig.button(verb), Qt::LeftButton);
    } else if (verb == QLatin1String("on") || verb == QLatin1String("off")) {
        rig.selector->putEnabled(verb == QLatin1String("on"));
        rig.switched = true;
    } else if (verb == QLatin1String("init")) {
        rig.selector->Initialize(rig.set(words.mid(1), words.value(1) != QLatin1String("-")));
        QCOMPARE(rig.selector->AllLocusTags()->Count(), rig.data.size());
        QCOMPARE(namesOf(rig.selector->SelectedLocusTags()), names(rig.selected()));
        QCOMPARE(rig.available()->cellText(0, 1), QStringLiteral("Name")); // laid out from layout 24
        QCOMPARE(rig.available()->columnCount(), 6);
    } else if (words.value(1) == QLatin1String("reads")) {
        QStringList cells;
        for (qint32 col = 1; col <= 6; ++col)
            cells << rig.grid(verb.left(1))->cellText(verb.mid(1).toInt(), col);
        QCOMPARE(cells.join(u'/'), action.section(u' ', 2));
    } else if (words.value(1) == QLatin1String("is")) {
        QCOMPARE(rig.grid(verb.left(1))->currentRow(), verb.mid(1).toInt());
    } else if (words.value(1) == QLatin1String("shows")) {
        QCOMPARE(rig.selector->AllLocusTags()->Object<SNPLocusTag>(verb)->TagData()->TagNumber(),
                 words.at(2).toFloat());
        for (GridControl *grid : {rig.available(), rig.selected()})
            if (const qsizetype row = names(grid).lastIndexOf(verb); row >= 0)
                QCOMPARE(grid->cellText(qint32(row) + 1, 2), words.at(2));
    } else {
        GridControl *grid = rig.grid(words.at(1).left(1));
        const QString cell = words.at(1).mid(1);
        const GridControl::CellPoint at =
            grid->cellPoint(cell.section(u'.', 0, 0).toInt(), cell.contains(u'.') ? cell.section(u'.', 1).toInt() : 1);
        QVERIFY(at.widget);
        // The sort menu shows the hourglass while the rows move.
        const QStringList before = names(grid);
        QList<int> pointer;
        const auto watch = QObject::connect(grid->model(), &QAbstractItemModel::layoutAboutToBeChanged,
                                            [&] { pointer << MousePointer::value(); });
        const Qt::KeyboardModifiers modifiers = verb == QLatin1String("ctrl")    ? Qt::ControlModifier
                                                : verb == QLatin1String("shift") ? Qt::ShiftModifier
                                                                                 : Qt::NoModifier;
        rig.entry = words.value(2);
        QTest::mouseClick(at.widget, verb == QLatin1String("right") ? Qt::RightButton : Qt::LeftButton, modifiers,
                          at.pos);
        if (verb == QLatin1String("double")) {
            QTest::mouseDClick(at.widget, Qt::LeftButton, modifiers, at.pos);
            QTest::mouseRelease(at.widget, Qt::LeftButton, modifiers, at.pos);
        }
        rig.entry.clear();
        QObject::disconnect(watch);
        const bool sorting =
            words.value(2) == QLatin1String("mnuAscending") || words.value(2) == QLatin1String("mnuDescending");
        if (sorting && names(grid) != before)
            QCOMPARE(pointer, QList<int>{MousePointer::Hourglass});
        QCOMPARE(MousePointer::value(), int(MousePointer::Default));
    }
}

void play(Rig &rig, const QString &actions)
{
    for (const QString &action : actions.split(QStringLiteral(", "))) {
        act(rig, action);
        if (QTest::currentTestFailed())
            return;
    }
    QVERIFY2(rig.editor.isEmpty(), "the editor did not open");
}

} // namespace

class TestSNPLocusTagSelector : public QObject
{
    Q_OBJECT
private slots:
    void saveWritesSelectedGridInItsOrder();
    void userActions_data();
    void userActions();
    void failuresAreShownAndEndTheAction();
    void initializeStopsWhereItFails_data();
    void initializeStopsWhereItFails();
    void publicSurfaceAnswersByName();
    void randomCommandsKeepEveryTagOnceAndTheButtonsRight();
};

void TestSNPLocusTagSelector::saveWritesSelectedGridInItsOrder()
{
    Rig rig(QStringLiteral("rs5 rs1 rs4 rs2 rs3"));
    // A tag the set lists that is no longer stored is neither shown nor saved again.
    const AnalysisParameterPtr set = rig.set({"rs4", "rs1"});
    auto gone = SNPLocusTagSettingsPtr::create();
    gone->setID(99999);
    gone->setName(QStringLiteral("deleted meanwhile"));
    set->FragAnalysisParam()->SNPLocusTagsOf(0)->Add(gone);
    rig.selector->Initialize(set);
    play(rig, QStringLiteral("= rs2 rs3 rs5 | rs1 rs4, double A3, right S0 mnuDescending, = rs2 rs3 | rs5 rs4 rs1"));

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

void TestSNPLocusTagSelector::userActions_data()
{
    // tags: as Rig takes them
    // actions: as act() takes them, one after another
    columns<QString, QString>("tags", "actions");
    // Tags are split by ID and shown by name; a second Initialize starts from scratch, whatever the
    // user did meanwhile.
    row("Initialize: a set without entries", "b2 B1 10 9 a",
        "init -, = 9 10 a B1 b2 | -, cmdAddAll, init -, = 9 10 a B1 b2 | -");
    row("Initialize: listed in reverse", "b2 B1 10 9 a",
        "init b2 a 10, = 9 B1 | 10 a b2, cmdAddAll, init b2 a 10, = 9 B1 | 10 a b2");
    row("Initialize: all listed", "x y", "init y x, = - | x y, cmdRemoveAll, init y x, = - | x y");
    row("rows show numbers and texts", "rs1:1.5 rs2:1234567.8 rs3:0.1 rs4:-2",
        "A1 reads rs1/1.5/chr 1///RS1, A2 reads rs2/1234568/chr 2///RS2, A3 reads rs3/0.1/chr 3///RS3, "
        "A4 reads rs4/-2/chr 4///RS4");
    // Moving rows: the row that takes a moved row's place is current and selected.
    row("double click", "a b c d e", "double A2, = a *c d e | b | Add AddAll RemoveAll Edit New AEdit, A2 is current");
    row("double click on the last row", "a b c d e",
        "double A5, = a b c *d | e | Add AddAll RemoveAll Edit New AEdit, A4 is current");
    row("double click on the only row", "a", "double A1, = - | a | RemoveAll New AEdit");
    row("double click on the header (its first click sorts)", "a b", "double A0, = b a | - | AddAll New");
    row("Add All appends in order", "a c e | b d", "cmdAddAll, = - | b d a c e | RemoveAll New");
    row("Remove All", "a c e | b d", "cmdRemoveAll, = a c e b d | - | AddAll New");
    row("Add moves the selected rows", "a c e | b d",
        "click A1, ctrl A3, cmdAddSingle, = *c | b d a e | Add AddAll RemoveAll Edit New AEdit");
    row("menu Add moves every selected row", "a c e | b d",
        "click A1, ctrl A2, right A1 mnuAdd, "
        "= *e | b d a c | Add AddAll RemoveAll Edit New AEdit | menu mnuSNPLocusAvailable");
    row("menu Remove moves the right-clicked row", "a c e | b d",
        "click S2, right S2 mnuRemove, "
        "= a c e d | *b | Remove AddAll RemoveAll Edit New SEdit | menu mnuSNPLocusSelected");
    // Choosing rows.
    row("header clicks sort both ways and leave no row current", "a:3 b:1 c:2",
        "click A2, = a *b c | - | Add AddAll Edit New AEdit, click A0.2, = *b c a | - | AddAll New AEdit, "
        "click A0.2, = a c *b | - | AddAll New AEdit, click A1, = *a c b | - | Add AddAll Edit New AEdit");
    row("right click selects an unselected row", "a b c | x y z",
        "click S1, right A2, "
        "= a *b c | x y z | Add AddAll RemoveAll Edit New AEdit SEdit | menu mnuSNPLocusAvailable");
    row("right click on another row moves the selection", "a b c | x y z",
        "click S1, click A1, right A3, "
        "= a b *c | x y z | Add AddAll RemoveAll Edit New AEdit SEdit | menu mnuSNPLocusAvailable");
    row("right click within a selection of two keeps it", "a b c | x y z",
        "click A1, click S1, ctrl S2, right S2, "
        "= a b c | *x *y z | Remove AddAll RemoveAll New AEdit | menu mnuSNPLocusSelected");
    // No row is current any more, so the button goes; the menu entry stays as the last selection left it.
    row("right click on a header", "a b c | x y z",
        "click A1, click S1, right S0, = a b c | x y z | AddAll RemoveAll New AEdit SEdit | menu mnuSNPLocusColumn");
    row("working in one grid clears the other", "a b | x y",
        "click A1, ctrl A2, = *a *b | x y | Add AddAll RemoveAll New, "
        "click S2, = a b | x *y | Remove AddAll RemoveAll Edit New SEdit");
    row("Edit is offered for exactly one selected tag", "a b c",
        "= a b c | - | AddAll New, click A1, = *a b c | - | Add AddAll Edit New AEdit, "
        "ctrl A3, = *a b *c | - | Add AddAll New, ctrl A1, = a b *c | - | Add AddAll Edit New AEdit");
    // Disabled, the selector moves, sorts and pops up nothing; but starting to work in a grid still
    // clears the other one, gives it back its selection and offers the moves its rows allow.
    row("a disabled selector moves nothing, its grids still activate", "a b | x",
        "click A1, off, = *a b | x | AEdit, double A2, right A1, click A0.1, = *a b | x | AEdit | -, "
        "click S1, = a b | x | AddAll RemoveAll AEdit, click A2, = a *b | x | AddAll RemoveAll Edit AEdit, "
        "on, = a *b | x | AddAll RemoveAll New AEdit, "
        "click S1, = a b | *x | Remove AddAll RemoveAll Edit New AEdit SEdit");
    // Capitals come before small letters only where case counts; the menu sorts the grid last
    // right-clicked, whichever column was clicked.
    row("menu Ascending ignores case", "rs9:1 | Zeta:1 alpha:2 Beta:1",
        "click S0.2, = rs9 | Beta Zeta alpha, right S0.4 mnuAscending, "
        "= rs9 | alpha Beta Zeta | AddAll RemoveAll New | menu mnuSNPLocusColumn");
    row("menu Descending counts case", "rs9:1 | Zeta:1 alpha:2 Beta:1",
        "click S0.2, right S0.4 mnuDescending, = rs9 | alpha Zeta Beta");
    // The editor: a tag saved under its own name updates its row, under another name it is a second
    // tag; tags the editor stored besides the one it hands back are appended too.
    row("edited under its name in other case: the row updated", "a b c | x",
        "editor name=X;number=7.25 save, click S1, cmdEditSNPLocus, = a b c | *x, x shows 7.25");
    row("edited under a new name: a second row", "a b c | x",
        "editor name=x2 save, click S1, cmdEditSNPLocus, = a b c x2 | *x, x shows 4");
    row("edit cancelled", "a b c | x", "editor name=zz cancel, click S1, cmdEditSNPLocus, = a b c | *x, x shows 4");
    row("saved as twice, then cancelled", "a b c | x",
        "editor as:b2 as:b3 cancel, click A2, cmdEditSNPLocus, = a *b c b2 b3 | x");
    row("saved as, then saved", "a b c | x", "editor as:a2 save, click A1, cmdEditSNPLocus, = *a b c a2 | x");
    row("new tag", "a b c | x", "editor name=n1;number=9 save, cmdNewSNPLocus, = a b c n1 | x, n1 shows 9, x shows 4");
    row("new tag saved under two names", "a b c | x",
        "editor name=n1 as:n2 as:n3 save, cmdNewSNPLocus, = a b c n3 n2 | x");
    row("new tag cancelled after a save", "a b c | x", "editor name=n1 as:n2 cancel, cmdNewSNPLocus, = a b c n2 | x");
    // A renamed tag is listed twice and answers to both names, so AllLocusTags counts four tags
    // while three are stored; a copy saved and then cancelled makes four stored, as many as listed,
    // so it is not looked for. A new tag that takes the name the renamed one gave up owns it
    // afterwards, and the list grows by it.
    row("renamed tags are followed", "a b c",
        "editor name=a2 save, click A1, cmdEditSNPLocus, = *a b c a2, count 4, "
        "editor as:x cancel, click A2, cmdEditSNPLocus, = a *b c a2, count 4, "
        "editor name=a;number=9 save, cmdNewSNPLocus, = a *b c a2 a, a shows 9, count 5");
    row("menu New keeps the selection", "a b c",
        "editor name=n1 save, click A1, ctrl A3, right A3 mnuNewAvailable, "
        "= *a b *c n1 | - | Add AddAll New | menu mnuSNPLocusAvailable");
    row("menu New cancelled keeps the selection", "a b c",
        "editor cancel, click A1, ctrl A3, right A3 mnuNewAvailable, "
        "= *a b *c | - | Add AddAll New | menu mnuSNPLocusAvailable");
}

void TestSNPLocusTagSelector::userActions()
{
    QFETCH(QString, tags);
    QFETCH(QString, actions);
    Rig rig(tags);
    rig.init();
    play(rig, actions);
}

void TestSNPLocusTagSelector::failuresAreShownAndEndTheAction()
{
    Rig rig(QStringLiteral("a"));
    rig.init();
    host::FlowRegistry::instance().unregisterFlow(QStringLiteral("SNPLocusTagEditor"));
    QTest::mouseClick(rig.button(QStringLiteral("cmdNewSNPLocus")), Qt::LeftButton);
    const auto shown = rig.host.shownReports();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().className, QStringLiteral("SNPLocusTagSelector"));
    QCOMPARE(shown.first().procedureName, QStringLiteral("cmdNewSNPLocus_Click"));
    QCOMPARE(shown.first().error.number(), qint32(kFlowNotRegistered));
    QCOMPARE(names(rig.available()), QStringList{"a"});
    // The selector goes on working.
    act(rig, QStringLiteral("double A1"));
    QCOMPARE(names(rig.selected()), QStringList{"a"});
}

void TestSNPLocusTagSelector::initializeStopsWhereItFails_data()
{
    // The stored tags a, b, c and d are shown, none selected; then Initialize is given a set listing
    // `listed`, while the query answers the tag `unset` without its settings. It fails with `error`
    // and leaves the rows it had written (laying the grids out empties them first).
    columns<QString, QString, qint32, QString>("listed", "unset", "error", "shown");
    row("a tag listed twice: refused before any row", "b b", "", qint32(kDuplicateKey), "- | -");
    row("a tag without settings: the rows before it stay", "a", "c", qint32(kObjectNotSet), "b | a");
}

void TestSNPLocusTagSelector::initializeStopsWhereItFails()
{
    QFETCH(QString, listed);
    QFETCH(QString, unset);
    QFETCH(qint32, error);
    QFETCH(QString, shown);
    Rig rig(QStringLiteral("a b c d"));
    rig.init();
    const AnalysisParameterPtr set = rig.set(listed.split(u' '));

    // The store's answer with one tag stripped of its settings, in its place.
    struct Stripping : BusinessObjectManager
    {
        std::shared_ptr<BusinessObjectManager> real = objectManagerPtr();
        QString unset;
        ObjectPtr NewObject(const QString &type) override { return real->NewObject(type); }
        ObjectPtr LoadObject(const QString &t, const QString &f, const QString &v, bool e, bool c) override
        {
            return real->LoadObject(t, f, v, e, c);
        }
        CollectionPtr LoadCollection(const QString &q, const QString &f, const QString &v, const QString &k, bool e,
                                     bool c) override
        {
            const CollectionPtr stored = real->LoadCollection(q, f, v, k, e, c);
            CollectionPtr answer = newCollection();
            for (qint32 i = 1; i <= stored->Count(); ++i) {
                const auto tag = stored->Object<SNPLocusTag>(i);
                answer->Add(tag && tag->Name() == unset ? toVariant(SNPLocusTagPtr::create()) : stored->Item(i),
                            stored->KeyAt(i));
            }
            return answer;
        }
        StorePtr store() const override { return real->store(); }
    };
    auto stripping = std::make_shared<Stripping>();
    stripping->unset = unset;
    installObjectManagerFactory([stripping] { return stripping; });
    QCOMPARE(test::errorNumberOf([&] { rig.selector->Initialize(set); }), error);
    QCOMPARE(rig.state().mid(0, 2).join(QStringLiteral(" | ")), shown);
}

void TestSNPLocusTagSelector::publicSurfaceAnswersByName()
{
    Rig rig(QStringLiteral("a b"));
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
    QStringList tags;
    for (int i = 0; i < kTags; ++i)
        tags << QStringLiteral("rs%1:%2").arg(random.bounded(1000) * 100 + i).arg(random.bounded(50));
    Rig rig(tags.mid(kTags / 3).join(u' ') + QStringLiteral(" | ") + tags.mid(0, kTags / 3).join(u' '));
    rig.init();
    QStringList all = rig.data.keys();
    std::sort(all.begin(), all.end());

    QElapsedTimer clock;
    clock.start();
    for (int step = 0; step < kCommands && clock.elapsed() < 60000; ++step) {
        const QString grid = random.bounded(2) ? QStringLiteral("A") : QStringLiteral("S");
        const qint32 rows = rig.grid(grid)->rowCount();
        const QString cell = grid + QString::number(rows > 0 ? qint32(random.bounded(rows)) + 1 : 0);
        const QString header = grid + QStringLiteral("0.%1").arg(1 + random.bounded(6));
        const QString move = grid == QLatin1String("A") ? QStringLiteral(" mnuAdd") : QStringLiteral(" mnuRemove");
        QStringList actions{"right " + cell + move, "click " + header, "right " + header + " mnuAscending",
                            "right " + header + " mnuDescending", rig.selector->Enabled() ? "off" : "on"};
        for (const char *verb :
             {"click ", "ctrl ", "shift ", "double ", "cmdAddSingle", "cmdRemoveSingle", "cmdAddAll", "cmdRemoveAll"})
            actions << QLatin1String(verb) + (QLatin1String(verb).endsWith(u' ') ? cell : QString());
        const QString action = actions.at(random.bounded(qint32(actions.size())));
        act(rig, action);
        const QString where = QStringLiteral("seed %1, step %2: %3").arg(seed).arg(step).arg(action);

        QStringList both = names(rig.available()) + names(rig.selected());
        std::sort(both.begin(), both.end());
        QVERIFY2(both == all, qPrintable(where));
        auto settings = FragAnalysisParamPtr::create();
        settings->setIdentifyAlleles(0, false);
        rig.selector->Save(settings);
        QVERIFY2(namesOf(settings->SNPLocusTagsOf(0)) == names(rig.selected()), qPrintable(where));
        QVERIFY2(broken(rig).isEmpty(), qPrintable(where + QStringLiteral(": ") + broken(rig)));
    }
}

QTEST_MAIN(TestSNPLocusTagSelector)
#include "test_snp_locus_tag_selector.moc"
