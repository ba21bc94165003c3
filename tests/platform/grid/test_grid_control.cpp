#include "platform/forms/colors.h"
#include "platform/grid/grid_control.h"
#include "support/data_rows.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

using namespace veltrane;
using veltrane::test::columns;
using veltrane::test::row;

namespace {

// A shown 3-column grid with `rows` rows whose cell (r, c) reads "r.c".
std::unique_ptr<GridControl> makeGrid(qint32 rows, qint32 columns = 3)
{
    auto grid = std::make_unique<GridControl>();
    grid->setColumnCount(columns);
    grid->setRowCount(rows);
    for (qint32 c = 1; c <= columns; ++c)
        grid->setCellText(0, c, QStringLiteral("H%1").arg(c));
    for (qint32 r = 1; r <= rows; ++r)
        for (qint32 c = 1; c <= columns; ++c)
            grid->setCellText(r, c, QStringLiteral("%1.%2").arg(r).arg(c));
    grid->resize(500, 400);
    grid->show();
    return grid;
}

void mouse(GridControl &grid, const QString &action, qint32 row, qint32 col,
           Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const GridControl::CellPoint at = grid.cellPoint(row, col);
    QVERIFY(at.widget);
    if (action == QLatin1String("click"))
        QTest::mouseClick(at.widget, Qt::LeftButton, modifiers, at.pos);
    else if (action == QLatin1String("right"))
        QTest::mouseClick(at.widget, Qt::RightButton, modifiers, at.pos);
    else if (action == QLatin1String("double")) {
        QTest::mouseClick(at.widget, Qt::LeftButton, modifiers, at.pos);
        QTest::mouseDClick(at.widget, Qt::LeftButton, modifiers, at.pos);
        QTest::mouseRelease(at.widget, Qt::LeftButton, modifiers, at.pos);
    }
}

QStringList column(const GridControl &grid, qint32 col)
{
    QStringList texts;
    for (qint32 r = 1; r <= grid.rowCount(); ++r)
        texts << grid.cellText(r, col);
    return texts;
}

} // namespace

class TestGridControl : public QObject
{
    Q_OBJECT
private slots:
    void notificationsCarryRowAndColumn_data();
    void notificationsCarryRowAndColumn();
    void pressActivatesBeforeTheClick();
    void checkBoxChangesOnlyAsAllowed_data();
    void checkBoxChangesOnlyAsAllowed();
    void doubleClickHandledOpensNoEditor();
    void doubleClickHandlerMayTakeTheRow();
    void mouseAndKeysSelectWholeRows_data();
    void mouseAndKeysSelectWholeRows();
    void sortOrdersRowsByKeys_data();
    void sortOrdersRowsByKeys();
    void sortKeepsSelectionAndCurrentOnTheirRows();
    void largeSortKeepsEveryRowWhole();
    void rowCountGrowsAndCuts();
    void takenRowsKeepEveryCell_data();
    void takenRowsKeepEveryCell();
    void lockedUpdatesAreAnnouncedOnce();
    void colorsReadBackAndFollowThePalette();
    void readOnlyAndStaticLookStopEditing();
    void headerColumnShowsWhenWritten();
};

void TestGridControl::notificationsCarryRowAndColumn_data()
{
    columns<QString, int, int, QByteArray>("action", "row", "col", "signal");
    row("click on a cell", "click", 2, 3, QByteArray(SIGNAL(cellClicked(double, double))));
    row("click on the header row", "click", 0, 2, QByteArray(SIGNAL(cellClicked(double, double))));
    row("click on the header column", "click", 3, 0, QByteArray(SIGNAL(cellClicked(double, double))));
    row("right click on a cell", "right", 4, 1, QByteArray(SIGNAL(rightClicked(double, double))));
    row("right click on the header row", "right", 0, 3, QByteArray(SIGNAL(rightClicked(double, double))));
    row("double click on a cell", "double", 5, 2,
        QByteArray(SIGNAL(cellDoubleClicked(double, double, veltrane::ReturnHolder *))));
    row("double click on the header row", "double", 0, 1,
        QByteArray(SIGNAL(cellDoubleClicked(double, double, veltrane::ReturnHolder *))));
}

void TestGridControl::notificationsCarryRowAndColumn()
{
    QFETCH(QString, action);
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(QByteArray, signal);
    auto grid = makeGrid(6);
    grid->setCellText(3, 0, QStringLiteral("Coef. 3")); // shows the header column
    QSignalSpy spy(grid.get(), signal.constData());

    mouse(*grid, action, row, col);

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toDouble(), double(row));
    QCOMPARE(spy.at(0).at(1).toDouble(), double(col));
}

void TestGridControl::pressActivatesBeforeTheClick()
{
    auto grid = makeGrid(4);
    QStringList order;
    connect(grid.get(), &GridControl::activated, [&] { order << "activated"; });
    connect(grid.get(), &GridControl::currentCellMoved,
            [&](double r, double c) { order << QStringLiteral("moved %1,%2").arg(r).arg(c); });
    connect(grid.get(), &GridControl::selectionChanged, [&] { order << "selection"; });
    connect(grid.get(), &GridControl::cellClicked,
            [&](double r, double c) { order << QStringLiteral("clicked %1,%2").arg(r).arg(c); });

    mouse(*grid, QStringLiteral("click"), 3, 2);

    QCOMPARE(order, QStringList({"activated", "moved 3,2", "selection", "clicked 3,2"}));
    QCOMPARE(grid->currentRow(), 3);
    QCOMPARE(grid->selectedRows(), QList<qint32>{3});
}

void TestGridControl::checkBoxChangesOnlyAsAllowed_data()
{
    columns<QString, bool, bool, bool, QString>("input", "readOnlyWhileKeyDown", "readOnly", "staticLook", "expected");
    row("click ticks", "click", false, false, false, "1");
    row("click while read-only", "click", false, true, false, "0");
    row("click on a static grid ticks", "click", false, false, true, "1");
    row("space ticks", "space", false, false, false, "1");
    row("space read-only while key down", "space", true, false, false, "0");
    row("click with key-down guard still ticks", "click", true, false, false, "1");
    row("double click ticks twice", "double", false, false, false, "0");
}

void TestGridControl::checkBoxChangesOnlyAsAllowed()
{
    QFETCH(QString, input);
    QFETCH(bool, readOnlyWhileKeyDown);
    QFETCH(bool, readOnly);
    QFETCH(bool, staticLook);
    QFETCH(QString, expected);
    auto grid = makeGrid(3);
    grid->setStaticLook(staticLook);
    grid->setColumnCheckBox(1, true);
    grid->setCellsEditable(false);
    for (qint32 r = 1; r <= 3; ++r)
        grid->setCellText(r, 1, QStringLiteral("0"));
    grid->setReadOnly(readOnly);
    if (readOnlyWhileKeyDown) {
        connect(grid.get(), &GridControl::gridKeyDown, grid.get(), [&] { grid->setReadOnly(true); });
        connect(grid.get(), &GridControl::gridKeyUp, grid.get(), [&] { grid->setReadOnly(false); });
    }
    QSignalSpy buttons(grid.get(), &GridControl::clickedButtonRowCol);

    if (input == QLatin1String("space")) {
        grid->setCurrentCell(2, 1);
        QTest::keyClick(grid.get(), Qt::Key_Space);
    } else {
        mouse(*grid, input, 2, 1);
    }

    QCOMPARE(grid->cellText(2, 1), expected);
    QCOMPARE(grid->cellText(1, 1), QStringLiteral("0"));
    const int toggles = input == QLatin1String("double") ? 2 : (grid->cellText(2, 1) == QLatin1String("1") ? 1 : 0);
    QCOMPARE(buttons.count(), toggles);
    if (toggles > 0)
        QCOMPARE(buttons.at(0), QVariantList({2.0, 1.0}));
    QCOMPARE(grid->readOnly(), readOnly); // the key-up handler gave the state back
}

void TestGridControl::doubleClickHandledOpensNoEditor()
{
    auto grid = makeGrid(3);
    QSignalSpy editing(grid.get(), &GridControl::activatedAt);
    bool handle = true;
    connect(grid.get(), &GridControl::cellDoubleClicked, [&](double, double, ReturnHolder *holder) {
        if (handle)
            holder->setValue(1);
    });

    mouse(*grid, QStringLiteral("double"), 2, 2);
    QVERIFY(!grid->isEditing());
    QCOMPARE(editing.count(), 0);

    handle = false;
    mouse(*grid, QStringLiteral("double"), 2, 2);
    QVERIFY(grid->isEditing());
    QCOMPARE(editing.count(), 1);
    QCOMPARE(editing.at(0), QVariantList({2.0, 2.0}));
}

void TestGridControl::doubleClickHandlerMayTakeTheRow()
{
    auto grid = makeGrid(4);
    connect(grid.get(), &GridControl::cellDoubleClicked,
            [&](double row, double, ReturnHolder *) { grid->takeRows({qint32(row)}); });
    QSignalSpy clicks(grid.get(), &GridControl::cellClicked);

    mouse(*grid, QStringLiteral("double"), 2, 1);

    QCOMPARE(column(*grid, 1), QStringList({"1.1", "3.1", "4.1"}));
    QCOMPARE(clicks.count(), 1); // the first click only: the row under the second one is another
    QVERIFY(!grid->isEditing());
}

void TestGridControl::mouseAndKeysSelectWholeRows_data()
{
    // steps: "click r", "ctrl r", "shift r", "key Down", "shiftkey Down"
    columns<QStringList, QList<qint32>, int>("steps", "selected", "current");
    row("click", QStringList{"click 2"}, QList<qint32>{2}, 2);
    row("second click replaces", QStringList{"click 2", "click 4"}, QList<qint32>{4}, 4);
    row("ctrl adds", QStringList{"click 2", "ctrl 4"}, QList<qint32>{2, 4}, 4);
    row("ctrl removes", QStringList{"click 2", "ctrl 4", "ctrl 2"}, QList<qint32>{4}, 2);
    row("shift spans", QStringList{"click 2", "shift 5"}, QList<qint32>{2, 3, 4, 5}, 5);
    row("shift spans upwards", QStringList{"click 5", "shift 3"}, QList<qint32>{3, 4, 5}, 3);
    row("down key follows", QStringList{"click 2", "key Down"}, QList<qint32>{3}, 3);
    row("shift down extends", QStringList{"click 2", "shiftkey Down", "shiftkey Down"}, QList<qint32>{2, 3, 4}, 4);
    row("row header selects", QStringList{"header 3"}, QList<qint32>{3}, 3);
}

void TestGridControl::mouseAndKeysSelectWholeRows()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<qint32>, selected);
    QFETCH(int, current);
    auto grid = makeGrid(6);
    grid->setCellsEditable(false);
    grid->setHeaderColumnVisible(true);
    for (const QString &step : steps) {
        const QString what = step.section(u' ', 0, 0);
        const QString arg = step.section(u' ', 1, 1);
        if (what == QLatin1String("click"))
            mouse(*grid, what, arg.toInt(), 2);
        else if (what == QLatin1String("ctrl"))
            mouse(*grid, QStringLiteral("click"), arg.toInt(), 2, Qt::ControlModifier);
        else if (what == QLatin1String("shift"))
            mouse(*grid, QStringLiteral("click"), arg.toInt(), 2, Qt::ShiftModifier);
        else if (what == QLatin1String("header"))
            mouse(*grid, QStringLiteral("click"), arg.toInt(), 0);
        else
            QTest::keyClick(grid.get(), Qt::Key_Down,
                            what == QLatin1String("shiftkey") ? Qt::ShiftModifier : Qt::NoModifier);
    }
    QCOMPARE(grid->selectedRows(), selected);
    QCOMPARE(grid->currentRow(), current);
}

void TestGridControl::sortOrdersRowsByKeys_data()
{
    // rows: "col1|col2", in their order before the sort
    columns<QStringList, QList<SortKey>, QStringList>("rows", "keys", "expected");

    const QStringList tied{"b|2", "a|9", "b|1", "a|10", "b|1x"};
    row("equal first keys fall to the second", tied, QList<SortKey>{{1, false, false}, {2, false, false}},
        QStringList{"a|9", "a|10", "b|1", "b|2", "b|1x"});
    row("ties keep their order", tied, QList<SortKey>{{1, false, false}},
        QStringList{"a|9", "a|10", "b|2", "b|1", "b|1x"});
    row("descending reverses", tied, QList<SortKey>{{1, true, false}, {2, true, false}},
        QStringList{"b|1x", "b|2", "b|1", "a|10", "a|9"});
    const QStringList cased{"beta|1", "Alpha|2", "alpha|3", "Beta|4"};
    row("case ignored", cased, QList<SortKey>{{1, false, false}},
        QStringList{"Alpha|2", "alpha|3", "beta|1", "Beta|4"});
    row("case counts", cased, QList<SortKey>{{1, false, true}}, QStringList{"Alpha|2", "Beta|4", "alpha|3", "beta|1"});
    row("empty cells first, numbers before texts", QStringList{"x|", "-2.5|", "|", "10|", "1e3|", "abc|"},
        QList<SortKey>{{1, false, false}}, QStringList{"|", "-2.5|", "10|", "1e3|", "abc|", "x|"});
    row("rows already in order stay", QStringList{"a|2", "A|1", "b|1"}, QList<SortKey>{{1, false, false}},
        QStringList{"a|2", "A|1", "b|1"});
    row("only the last row out of order", QStringList{"a|1", "b|1", "c|1", "b|0"},
        QList<SortKey>{{1, false, false}, {2, false, false}}, QStringList{"a|1", "b|0", "b|1", "c|1"});
    row("column outside the grid is skipped", tied, QList<SortKey>{{7, false, false}, {2, false, false}},
        QStringList{"b|1", "b|2", "a|9", "a|10", "b|1x"});
}

void TestGridControl::sortOrdersRowsByKeys()
{
    QFETCH(QStringList, rows);
    QFETCH(QList<SortKey>, keys);
    QFETCH(QStringList, expected);
    GridControl grid;
    grid.setColumnCount(2);
    grid.setRowCount(qint32(rows.size()));
    for (qint32 r = 1; r <= grid.rowCount(); ++r) {
        grid.setCellText(r, 1, rows[r - 1].section(u'|', 0, 0));
        grid.setCellText(r, 2, rows[r - 1].section(u'|', 1, 1));
    }

    grid.sortRows(keys);

    QStringList got;
    for (qint32 r = 1; r <= grid.rowCount(); ++r)
        got << grid.cellText(r, 1) + u'|' + grid.cellText(r, 2);
    QCOMPARE(got, expected);
}

void TestGridControl::sortKeepsSelectionAndCurrentOnTheirRows()
{
    auto grid = makeGrid(5);
    grid->setCellText(2, 1, QStringLiteral("z"));
    grid->setCellText(4, 1, QStringLiteral("a"));
    mouse(*grid, QStringLiteral("click"), 2, 1);
    mouse(*grid, QStringLiteral("click"), 4, 1, Qt::ControlModifier);
    QSignalSpy moved(grid.get(), &GridControl::currentCellMoved);

    grid->sortRows({{1, false, false}});

    QCOMPARE(grid->cellText(1, 1), QStringLiteral("1.1"));
    const QList<qint32> selected = grid->selectedRows();
    QCOMPARE(selected.size(), 2);
    QStringList texts;
    for (qint32 r : selected)
        texts << grid->cellText(r, 1);
    QCOMPARE(texts, QStringList({"a", "z"}));
    QCOMPARE(grid->cellText(grid->currentRow(), 1), QStringLiteral("a"));
    QCOMPARE(moved.count(), 0);
    QCOMPARE(grid->sortColumn(), 1);

    grid->setCellText(1, 1, QStringLiteral("zz")); // the order is no longer known
    QCOMPARE(grid->sortColumn(), 0);
}

void TestGridControl::largeSortKeepsEveryRowWhole()
{
    // Enough rows for long permutation cycles; each row's cells must stay together.
    GridControl grid;
    grid.setColumnCount(3);
    grid.setRowCount(2000);
    quint32 seed = 7;
    for (qint32 r = 1; r <= 2000; ++r) {
        seed = seed * 1103515245u + 12345u;
        grid.setCellText(r, 1, QString::number((seed >> 16) % 50));
        grid.setCellText(r, 2, QStringLiteral("w%1").arg((seed >> 8) % 7));
        grid.setCellText(r, 3, QString::number(r));
        grid.setCellText(r, 0, QString::number(r));
    }
    grid.selectRows(100, 199, true);

    grid.sortRows({{1, true, false}, {2, false, false}});

    QSet<QString> seen;
    qint32 selectedOriginals = 0;
    for (qint32 r = 1; r <= 2000; ++r) {
        QCOMPARE(grid.cellText(r, 0), grid.cellText(r, 3));
        seen.insert(grid.cellText(r, 3));
        const qint32 original = grid.cellText(r, 3).toInt();
        QCOMPARE(grid.isRowSelected(r), original >= 100 && original <= 199);
        selectedOriginals += grid.isRowSelected(r);
        if (r > 1) {
            const int a = grid.cellText(r - 1, 1).toInt(), b = grid.cellText(r, 1).toInt();
            QVERIFY(a > b || (a == b && grid.cellText(r - 1, 2) <= grid.cellText(r, 2)));
            if (a == b && grid.cellText(r - 1, 2) == grid.cellText(r, 2)) // ties keep their order
                QVERIFY(grid.cellText(r - 1, 3).toInt() < grid.cellText(r, 3).toInt());
        }
    }
    QCOMPARE(seen.size(), 2000);
    QCOMPARE(selectedOriginals, 100);
}

void TestGridControl::rowCountGrowsAndCuts()
{
    auto grid = makeGrid(4);
    grid->selectRows(3, 4, true);
    grid->setCurrentCell(4, 2);
    QSignalSpy moved(grid.get(), &GridControl::currentCellMoved);
    QSignalSpy selection(grid.get(), &GridControl::selectionChanged);

    grid->setRowCount(6);
    QCOMPARE(grid->cellText(4, 2), QStringLiteral("4.2"));
    QCOMPARE(grid->cellText(6, 2), QString());

    grid->setRowCount(3);
    QCOMPARE(grid->selectedRows(), QList<qint32>{3});
    QCOMPARE(grid->currentRow(), 0);
    QCOMPARE(moved.count(), 0); // rows going away are not the user moving the cell
    QCOMPARE(selection.count(), 1);

    grid->setRowCount(0);
    QCOMPARE(grid->rowCount(), 0);
    QCOMPARE(grid->selectedRowCount(), 0);
    QCOMPARE(grid->cellText(1, 1), QString());
}

void TestGridControl::takenRowsKeepEveryCell_data()
{
    columns<QList<qint32>, int, int>("take", "current", "currentAfter");
    row("one row below the current", QList<qint32>{5}, 2, 2);
    row("rows above the current", QList<qint32>{3, 1}, 4, 2);
    row("the current row", QList<qint32>{4}, 4, 0);
    QList<qint32> every2nd; // enough separate runs to take the reset path
    for (qint32 r = 2; r <= 100; r += 2)
        every2nd << r;
    row("fifty separate rows", every2nd, 99, 50);
}

void TestGridControl::takenRowsKeepEveryCell()
{
    QFETCH(QList<qint32>, take);
    QFETCH(int, current);
    QFETCH(int, currentAfter);
    auto source = makeGrid(100, 6);
    for (qint32 r = 1; r <= 100; ++r)
        source->setCellText(r, 0, QStringLiteral("h%1").arg(r));
    source->setColumnWidthTwips(2, 2000);
    source->setCurrentCell(current, 3);
    const int widthBefore = source->horizontalHeader()->sectionSize(1);
    auto target = makeGrid(1, 6);

    target->appendRows(source->takeRows(take));

    std::sort(take.begin(), take.end());
    QCOMPARE(source->rowCount(), 100 - take.size());
    QCOMPARE(target->rowCount(), 1 + take.size());
    for (qint32 i = 0; i < take.size(); ++i) {
        QCOMPARE(target->cellText(i + 2, 0), QStringLiteral("h%1").arg(take[i]));
        for (qint32 c = 1; c <= 6; ++c)
            QCOMPARE(target->cellText(i + 2, c), QStringLiteral("%1.%2").arg(take[i]).arg(c));
    }
    for (qint32 r = 1; r <= source->rowCount(); ++r)
        QVERIFY(!take.contains(source->cellText(r, 1).section(u'.', 0, 0).toInt()));
    QCOMPARE(source->currentRow(), currentAfter);
    QCOMPARE(source->horizontalHeader()->sectionSize(1), widthBefore);
    QCOMPARE(target->selectedRowCount(), 0);
}

void TestGridControl::lockedUpdatesAreAnnouncedOnce()
{
    auto grid = makeGrid(50);
    QSignalSpy changed(grid->model(), &QAbstractItemModel::dataChanged);
    QSignalSpy headers(grid->model(), &QAbstractItemModel::headerDataChanged);

    QCOMPARE(grid->lockUpdates(true), false);
    QCOMPARE(grid->lockUpdates(true), true);
    for (qint32 r = 1; r <= 50; ++r)
        grid->setCellText(r, 2, QStringLiteral("x%1").arg(r));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(grid->cellText(50, 2), QStringLiteral("x50"));

    QCOMPARE(grid->lockUpdates(false), true);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(headers.count(), 0); // only cells changed: the headers need not look at every row

    grid->setRedraw(false);
    grid->setCellText(1, 1, QStringLiteral("y"));
    grid->setCellText(0, 3, QStringLiteral("Title"));
    grid->setCellText(7, 0, QStringLiteral("h7"));
    grid->setRedraw(true);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(headers.count(), 2);
    QCOMPARE(headers.at(0).at(0).value<Qt::Orientation>(), Qt::Horizontal);
    QCOMPARE(headers.at(1).at(0).value<Qt::Orientation>(), Qt::Vertical);
    QCOMPARE(grid->model()->headerData(2, Qt::Horizontal), QVariant(QStringLiteral("Title")));
}

void TestGridControl::colorsReadBackAndFollowThePalette()
{
    auto grid = makeGrid(1);
    grid->setBackColor(colors::kButtonFace);
    QCOMPARE(grid->property("BackColor").toUInt(), colors::kButtonFace);
    QCOMPARE(grid->palette().color(QPalette::Base), QApplication::palette(grid.get()).color(QPalette::Button));

    grid->setProperty("BackColor", 65535u);
    QCOMPARE(grid->backColor(), 65535u);
    QCOMPARE(grid->palette().color(QPalette::Base), QColor(Qt::yellow));

    grid->setStaticLook(true);
    QCOMPARE(grid->backColor(), colors::kButtonFace);
    grid->setStaticLook(false);
    QCOMPARE(grid->backColor(), 65535u);

    grid->setTextColor(colors::kRed);
    QCOMPARE(grid->textColor(), colors::kRed);
    // Red on yellow would not read: the grid draws its text a darker red.
    const QColor text = grid->palette().color(QPalette::Text);
    QCOMPARE(text.hsvHue(), 0);
    QVERIFY(colors::contrastRatio(text, QColor(Qt::yellow)) >= colors::kReadableContrast);
}

void TestGridControl::readOnlyAndStaticLookStopEditing()
{
    auto grid = makeGrid(3);
    grid->setCurrentCell(2, 2);
    grid->setReadOnly(true);
    QTest::keyClick(grid.get(), Qt::Key_F2);
    QVERIFY(!grid->isEditing());

    grid->setReadOnly(false);
    grid->setStaticLook(true);
    QTest::keyClick(grid.get(), Qt::Key_F2);
    QVERIFY(!grid->isEditing());
    mouse(*grid, QStringLiteral("click"), 1, 1);
    QCOMPARE(grid->selectedRowCount(), 0);

    grid->setStaticLook(false);
    QSignalSpy edited(grid.get(), &GridControl::cellEdited);
    grid->setCurrentCell(2, 2);
    QTest::keyClick(grid.get(), Qt::Key_F2);
    QVERIFY(grid->isEditing());
    auto *editor = grid->viewport()->findChild<QLineEdit *>();
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, QStringLiteral("new"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(grid->cellText(2, 2), QStringLiteral("new"));
    QCOMPARE(edited.count(), 1);
}

void TestGridControl::headerColumnShowsWhenWritten()
{
    auto grid = makeGrid(4);
    QVERIFY(!grid->headerColumnVisible());
    grid->setCellText(2, 0, QString());
    QVERIFY(!grid->headerColumnVisible());
    grid->setCellText(1, 0, QStringLiteral("Coef. 1"));
    QVERIFY(grid->headerColumnVisible());
    QCOMPARE(grid->model()->headerData(0, Qt::Vertical).toString(), QStringLiteral("Coef. 1"));
    QCOMPARE(grid->cellText(1, 0), QStringLiteral("Coef. 1"));
}

QTEST_MAIN(TestGridControl)
#include "test_grid_control.moc"
