// The grid as assistive technology sees it: a table of the cells it draws, with the current cell,
// the selection and the actions a click has. (The events that tell a screen reader of changes reach
// only a platform's accessibility bridge: tests/accessibility checks them over AT-SPI.)

#include "platform/forms/popup_menu.h"
#include "platform/grid/grid_control.h"
#include "support/data_rows.h"

#include <QAccessible>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

using namespace veltrane;
using veltrane::test::columns;
using veltrane::test::row;

namespace {

// A shown grid of rows x 3 whose cell (r, c) reads "r.c"; column 3 is a check-box column ("1" in
// odd rows).
std::unique_ptr<GridControl> makeGrid(qint32 rows)
{
    auto grid = std::make_unique<GridControl>();
    grid->setColumnCount(3);
    grid->setRowCount(rows);
    grid->setColumnCheckBox(3, true);
    for (qint32 c = 1; c <= 3; ++c)
        grid->setCellText(0, c, QStringLiteral("H%1").arg(c));
    for (qint32 r = 1; r <= rows; ++r) {
        grid->setCellText(r, 1, QStringLiteral("%1.1").arg(r));
        grid->setCellText(r, 2, QStringLiteral("%1.2").arg(r));
        grid->setCellText(r, 3, r % 2 ? QStringLiteral("1") : QStringLiteral("0"));
    }
    grid->resize(400, 300);
    grid->show();
    return grid;
}

QAccessibleTableInterface *tableOf(GridControl &grid)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&grid);
    return iface ? iface->tableInterface() : nullptr;
}

} // namespace

class TestGridAccessible : public QObject
{
    Q_OBJECT
private slots:
    void cellsTellWhatIsDrawn_data();
    void cellsTellWhatIsDrawn();
    void currentCellTakesTheFocus();
    void selectionAsDrawn_data();
    void selectionAsDrawn();
    void cellsArePlacesWhenRowsMove();
    void actionsActAsTheUserDoes_data();
    void actionsActAsTheUserDoes();
    void keyboardReachesMenusAndHeaders();
};

void TestGridAccessible::cellsTellWhatIsDrawn_data()
{
    columns<bool, bool>("headerColumn", "readOnly");
    row("plain", false, false);
    row("header column, read-only", true, true);
}

void TestGridAccessible::cellsTellWhatIsDrawn()
{
    QFETCH(bool, headerColumn);
    QFETCH(bool, readOnly);

    auto grid = makeGrid(4);
    grid->setReadOnly(readOnly);
    if (headerColumn)
        for (qint32 r = 1; r <= 4; ++r)
            grid->setCellText(r, 0, QStringLiteral("R%1").arg(r));
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(grid.get());
    QAccessibleTableInterface *t = tableOf(*grid);
    QVERIFY(t);
    QCOMPARE(table->role(), QAccessible::Table);
    QCOMPARE(t->rowCount(), 4);
    QCOMPARE(t->columnCount(), 3);
    // Children: the header row, then each row with its header cell first, as Qt's item views number
    // them in their focus events.
    QCOMPARE(table->childCount(), 5 * 4);

    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            QAccessibleInterface *cell = t->cellAt(r, c);
            QVERIFY(cell);
            QCOMPARE(table->indexOfChild(cell), (r + 1) * 4 + c + 1);
            QCOMPARE(table->child((r + 1) * 4 + c + 1), cell);
            QCOMPARE(cell->tableCellInterface()->rowIndex(), r);
            QCOMPARE(cell->tableCellInterface()->columnIndex(), c);
            const QModelIndex index = grid->model()->index(r, c);
            if (c == 2) {
                // The box is drawn, not the text: the cell is a check box named by its column.
                QVERIFY(cell->state().checkable);
                QCOMPARE(bool(cell->state().checked), index.data(Qt::CheckStateRole).toInt() == Qt::Checked);
                QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("H3"));
                QCOMPARE(cell->actionInterface()->actionNames().isEmpty(), readOnly);
            } else {
                QCOMPARE(cell->text(QAccessible::Name), index.data(Qt::DisplayRole).toString());
                QCOMPARE(bool(cell->state().editable), !readOnly);
            }
            QCOMPARE(cell->rect().center(), grid->viewport()->mapToGlobal(grid->visualRect(index).center()));
        }
    }
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(t->columnDescription(c), QStringLiteral("H%1").arg(c + 1));
        QList<QAccessibleInterface *> headers = t->cellAt(0, c)->tableCellInterface()->columnHeaderCells();
        QCOMPARE(headers.size(), 1);
        QCOMPARE(headers.first()->role(), QAccessible::ColumnHeader);
        QCOMPARE(headers.first()->text(QAccessible::Name), QStringLiteral("H%1").arg(c + 1));
    }
    QAccessibleInterface *rowHeader = table->child(2 * 4);
    QCOMPARE(rowHeader->role(), QAccessible::RowHeader);
    QCOMPARE(bool(rowHeader->state().invisible), !headerColumn);
    QCOMPARE(t->cellAt(1, 0)->tableCellInterface()->rowHeaderCells().size(), headerColumn ? 1 : 0);
    QVERIFY(!t->cellAt(4, 0));
}

void TestGridAccessible::currentCellTakesTheFocus()
{
    auto grid = makeGrid(4);
    grid->activateWindow();
    grid->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(grid.get()));
    grid->setCurrentCell(3, 2);
    // Qt's item views announce the focus on the child numbered as the header row and column count.
    QAccessibleInterface *cell = QAccessible::queryAccessibleInterface(grid.get())->child(3 * 4 + 2);
    QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("3.2"));
    QVERIFY(cell->state().focused);
    QVERIFY(!tableOf(*grid)->cellAt(2, 0)->state().focused);
    grid->clearFocus();
    QVERIFY(!cell->state().focused);
}

void TestGridAccessible::selectionAsDrawn_data()
{
    // selected: as the table tells them, from 0
    columns<bool, QList<int>>("fixed", "selected");
    row("rows 2 and 4", false, QList<int>{1, 3});
    // A fixed display draws no selection, so it tells of none, and takes none.
    row("static look", true, QList<int>{});
}

void TestGridAccessible::selectionAsDrawn()
{
    QFETCH(bool, fixed);
    QFETCH(QList<int>, selected);

    auto grid = makeGrid(5);
    grid->setStaticLook(fixed);
    grid->setSelectedRows({2, 4});
    QAccessibleTableInterface *t = tableOf(*grid);
    QCOMPARE(t->selectedRows(), selected);
    QCOMPARE(t->selectedRowCount(), selected.size());
    QCOMPARE(t->cellAt(1, 0)->tableCellInterface()->isSelected(), !fixed);
    QCOMPARE(t->cellAt(2, 0)->tableCellInterface()->isSelected(), false);
    // Selecting through the table is the user's selecting.
    QCOMPARE(t->selectRow(4), !fixed);
    QCOMPARE(grid->isRowSelected(5), !fixed);
    QVERIFY(!t->selectRow(5));
}

void TestGridAccessible::cellsArePlacesWhenRowsMove()
{
    auto source = makeGrid(5);
    auto target = makeGrid(1);
    QAccessibleTableInterface *from = tableOf(*source);
    QAccessibleInterface *third = from->cellAt(2, 0);
    QCOMPARE(third->text(QAccessible::Name), QStringLiteral("3.1"));

    target->appendRows(source->takeRows({2, 3}));
    // The third row's cell now tells of the row in that place, and nothing lies past the end.
    QCOMPARE(from->rowCount(), 3);
    QCOMPARE(third->text(QAccessible::Name), QStringLiteral("5.1"));
    QVERIFY(!from->cellAt(3, 0));
    QCOMPARE(tableOf(*target)->rowCount(), 3);
    QCOMPARE(tableOf(*target)->cellAt(2, 1)->text(QAccessible::Name), QStringLiteral("3.2"));
}

void TestGridAccessible::actionsActAsTheUserDoes_data()
{
    // row: grid coordinates: row 0 is the header row
    // box: row 2's box afterwards
    columns<qint32, qint32, QString, QString, QList<qint32>, QString>("row", "col", "action", "clicked", "selected",
                                                                      "box");
    row("press a cell", 2, 1, QAccessibleActionInterface::pressAction(), "2,1", QList<qint32>{2}, "0");
    row("toggle a box", 2, 3, QAccessibleActionInterface::toggleAction(), "2,3", QList<qint32>{2}, "1");
    row("press a header", 0, 2, QAccessibleActionInterface::pressAction(), "0,2", QList<qint32>{}, "0");
    row("a box offers no press", 2, 3, QAccessibleActionInterface::pressAction(), "", QList<qint32>{}, "0");
}

void TestGridAccessible::actionsActAsTheUserDoes()
{
    QFETCH(qint32, row);
    QFETCH(qint32, col);
    QFETCH(QString, action);
    QFETCH(QString, clicked);
    QFETCH(QList<qint32>, selected);
    QFETCH(QString, box);

    auto grid = makeGrid(3);
    grid->setCurrentCell(1, 2); // a press makes its own cell current, whatever was before
    QStringList clicks;
    connect(grid.get(), &GridControl::cellClicked, this,
            [&](double r, double c) { clicks << QStringLiteral("%1,%2").arg(r).arg(c); });
    QAccessibleInterface *cell = QAccessible::queryAccessibleInterface(grid.get())->child(row * 4 + col);
    cell->actionInterface()->doAction(action);
    QCOMPARE(clicks.join(u' '), clicked);
    QCOMPARE(grid->selectedRows(), selected);
    QCOMPARE(grid->cellText(2, 3), box);
    if (row > 0 && !clicked.isEmpty()) {
        QCOMPARE(grid->currentRow(), row);
        QCOMPARE(grid->currentColumn(), col);
    }
}

void TestGridAccessible::keyboardReachesMenusAndHeaders()
{
    auto grid = makeGrid(3);
    QSignalSpy right(grid.get(), &GridControl::rightClicked);
    QSignalSpy clicked(grid.get(), &GridControl::cellClicked);
    // The menu opens where the user works, not at the mouse pointer.
    PopupMenu menu(QStringLiteral("mnuTest"), QStringLiteral("Test"));
    menu.AddItem(QStringLiteral("mnuItem"), QStringLiteral("Item"));
    QList<QPoint> shownAt;
    connect(grid.get(), &GridControl::rightClicked, this, [&] {
        menu.popup();
        shownAt << menu.pos();
        menu.close();
    });

    // No current row: the menu of the current column's header.
    QTest::keyClick(grid.get(), Qt::Key_Menu);
    grid->setCurrentCell(2, 2);
    QTest::keyClick(grid.get(), Qt::Key_F10, Qt::ShiftModifier);
    QTest::keyClick(grid.get(), Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(right.size(), 2);
    QCOMPARE(right.at(0), (QVariantList{0.0, 1.0}));
    QCOMPARE(right.at(1), (QVariantList{2.0, 2.0}));
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked.at(0), (QVariantList{0.0, 2.0}));
    const GridControl::CellPoint cell = grid->cellPoint(2, 2);
    QCOMPARE(shownAt.value(1), cell.widget->mapToGlobal(cell.pos));
}

QTEST_MAIN(TestGridAccessible)
#include "test_grid_accessible.moc"
