#include "host/grid_utilities/host_grid_utilities.h"
#include "platform/grid/grid_control.h"
#include "support/data_rows.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/host_services.h"

#include <QSignalSpy>
#include <QTest>

using namespace veltrane;
using veltrane::test::columns;
using veltrane::test::row;

namespace {

// Serves the stored grid layouts the way the real store does: by GridTypeID, an Error otherwise.
class LayoutManager : public BusinessObjectManager
{
public:
    ObjectPtr NewObject(const QString &typeName) override
    {
        if (typeName == QLatin1String("Grid"))
            return ObjectPtr(new Grid);
        throw Error::invalidProcedureCall(QStringLiteral("fake"), typeName);
    }
    ObjectPtr LoadObject(const QString &typeName, const QString &keyField, const QString &keyValue, bool, bool) override
    {
        loads << typeName + u' ' + keyField + u' ' + keyValue;
        if (typeName == QLatin1String("GridType") && keyValue == QLatin1String("24")) {
            auto type = QSharedPointer<GridType>::create();
            type->setGridTypeID(24);
            type->setColumns({{"Name", 1800, GridType::kLeft},
                              {"Number", 900, GridType::kRight},
                              {"Text 1", 1200, GridType::kCentre},
                              {"Text 2", 1200, GridType::kLeft},
                              {"Text 3", 1200, GridType::kLeft},
                              {"Text 4", 1200, GridType::kLeft}});
            return type;
        }
        throw Error(kApplicationError, QStringLiteral("fake"), QStringLiteral("not stored"));
    }
    CollectionPtr LoadCollection(const QString &, const QString &, const QString &, const QString &, bool,
                                 bool) override
    {
        return newCollection();
    }
    StorePtr store() const override { return {}; }

    QStringList loads;
};

std::shared_ptr<LayoutManager> g_manager;

// A six-column grid of tags: row r holds "tag<r>", r, and texts "<r>a".."<r>d"; header titles as
// layout 24 gives them.
std::unique_ptr<GridControl> tagGrid(qint32 rows, const QString &prefix = QStringLiteral("tag"))
{
    auto grid = std::make_unique<GridControl>();
    GridPtr layout(new Grid);
    layout->setLayoutNumber(24);
    qint32 a = 0, b = 0, c = 0, d = 0;
    host::HostGridUtilities().ApplyLayout(grid.get(), layout, a, b, c, d);
    grid->setRowCount(rows);
    for (qint32 r = 1; r <= rows; ++r) {
        grid->setCellText(r, 1, prefix + QString::number(r));
        grid->setCellText(r, 2, QString::number(r));
        for (qint32 col = 3; col <= 6; ++col)
            grid->setCellText(r, col, QString::number(r) + QChar(u'a' + col - 3));
    }
    grid->resize(600, 400);
    grid->show();
    return grid;
}

QStringList names(const GridControl &grid)
{
    QStringList out;
    for (qint32 r = 1; r <= grid.rowCount(); ++r)
        out << grid.cellText(r, 1);
    return out;
}

QStringList selectedNames(const GridControl &grid)
{
    QStringList out;
    for (qint32 r : grid.selectedRows())
        out << grid.cellText(r, 1);
    return out;
}

void ctrlClick(GridControl &grid, qint32 row)
{
    const GridControl::CellPoint at = grid.cellPoint(row, 2);
    QTest::mouseClick(at.widget, Qt::LeftButton, Qt::ControlModifier, at.pos);
}

} // namespace

class TestGridUtilities : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void moveSelectedRowsProposesTheNextRow_data();
    void moveSelectedRowsProposesTheNextRow();
    void moveRowAndMoveAllKeepCellsAndOrder();
    void selectionByKeySurvivesASort();
    void selectionByKeyIgnoresLetterCase_data();
    void selectionByKeyIgnoresLetterCase();
    void sortByColumnTogglesOnRepeat_data();
    void sortByColumnTogglesOnRepeat();
    void unknownHeaderOrLayoutIsAnError();
    void applyLayoutLaysOutTheStoredColumns();
    void selectRowSelectsThatRowAlone();

private:
    host::HostGridUtilities m_utilities;
};

void TestGridUtilities::initTestCase()
{
    g_manager = std::make_shared<LayoutManager>();
    installHostFactories(HostFactories{{}, {}, [] { return g_manager; }, [] { return host::makeGridUtilities(); }});
}

void TestGridUtilities::moveSelectedRowsProposesTheNextRow_data()
{
    columns<int, QList<qint32>, int, QStringList>("rows", "selected", "next", "moved");
    row("the last of five", 5, QList<qint32>{5}, 4, QStringList{"tag5"});
    row("a middle row", 5, QList<qint32>{2}, 2, QStringList{"tag2"});
    row("the only row", 1, QList<qint32>{1}, 0, QStringList{"tag1"});
    row("two rows apart", 5, QList<qint32>{4, 2}, 2, QStringList{"tag2", "tag4"});
    row("the bottom two", 5, QList<qint32>{4, 5}, 3, QStringList{"tag4", "tag5"});
    row("nothing selected keeps the current row", 5, QList<qint32>{}, 3, QStringList{});
}

void TestGridUtilities::moveSelectedRowsProposesTheNextRow()
{
    QFETCH(int, rows);
    QFETCH(QList<qint32>, selected);
    QFETCH(int, next);
    QFETCH(QStringList, moved);
    auto source = tagGrid(rows);
    auto target = tagGrid(1, QStringLiteral("other"));
    source->setCurrentCell(3, 1);
    for (qint32 r : selected)
        ctrlClick(*source, r);
    QCOMPARE(m_utilities.SelectedRowCount(source.get()), selected.size());

    QCOMPARE(m_utilities.MoveSelectedRows(source.get(), target.get()), next);

    QCOMPARE(names(*target), QStringList{"other1"} + moved);
    for (qint32 i = 0; i < moved.size(); ++i) {
        const qint32 number = moved[i].mid(3).toInt();
        QCOMPARE(target->cellText(i + 2, 2), QString::number(number));
        for (qint32 col = 3; col <= 6; ++col)
            QCOMPARE(target->cellText(i + 2, col), QString::number(number) + QChar(u'a' + col - 3));
    }
    QCOMPARE(target->selectedRowCount(), 0);
    QCOMPARE(source->rowCount(), rows - moved.size());
    for (const QString &name : moved)
        QVERIFY(!names(*source).contains(name));
    QCOMPARE(source->currentRow(), next);
    if (next > 0 && !selected.isEmpty())
        QCOMPARE(source->selectedRows(), QList<qint32>{next}); // ">" again moves the next row
}

void TestGridUtilities::moveRowAndMoveAllKeepCellsAndOrder()
{
    auto source = tagGrid(4);
    auto target = tagGrid(0);

    m_utilities.MoveRow(source.get(), target.get(), 3);
    m_utilities.MoveRow(source.get(), target.get(), 9); // beyond the last row: nothing moves
    QCOMPARE(names(*source), QStringList({"tag1", "tag2", "tag4"}));
    QCOMPARE(names(*target), QStringList({"tag3"}));
    QCOMPARE(target->cellText(1, 6), QStringLiteral("3d"));

    m_utilities.MoveAllRows(source.get(), target.get());
    QCOMPARE(source->rowCount(), 0);
    QCOMPARE(names(*target), QStringList({"tag3", "tag1", "tag2", "tag4"}));
    QCOMPARE(target->cellText(4, 2), QStringLiteral("4"));
    QCOMPARE(target->cellText(4, 5), QStringLiteral("4c"));
}

void TestGridUtilities::selectionByKeySurvivesASort()
{
    auto grid = tagGrid(12);
    grid->setCellText(7, 1, QString()); // a row without a key is remembered as well
    for (qint32 r : {2, 7, 11})
        ctrlClick(*grid, r);
    const CollectionPtr keys = m_utilities.GetSelectedKeys(grid.get(), 1);
    QCOMPARE(keys->Count(), 3);

    m_utilities.SortByColumn(grid.get(), {}, QStringLiteral("Number"), true);
    m_utilities.SortByColumn(grid.get(), {}, QStringLiteral("Number"), true); // now descending
    QCOMPARE(grid->cellText(1, 2), QStringLiteral("12"));
    grid->selectOnly(1, 3);
    grid->setCellText(grid->rowCount() - 4, 1, QStringLiteral("TAG11")); // another tag now matches too

    m_utilities.SelectRowsByKey(grid.get(), keys);

    QCOMPARE(selectedNames(*grid), QStringList({"tag11", "", "TAG11", "tag2"}));
}

void TestGridUtilities::selectionByKeyIgnoresLetterCase_data()
{
    columns<QStringList, QStringList>("keys", "selected");
    row("keys in capitals", QStringList{"TAG3", "TAG5"}, QStringList{"tag3", "tag5"});
    row("keys in mixed case", QStringList{"Tag2", "tAG4"}, QStringList{"tag2", "tag4"});
    row("keys as the grid writes them", QStringList{"tag1"}, QStringList{"tag1"});
    row("a key no row has", QStringList{"TAG9"}, QStringList{});
}

void TestGridUtilities::selectionByKeyIgnoresLetterCase()
{
    // Keys remembered elsewhere (another grid, a stored selection) may be spelled in any case.
    QFETCH(QStringList, keys);
    QFETCH(QStringList, selected);
    auto grid = tagGrid(6);
    CollectionPtr wanted = newCollection();
    for (const QString &key : keys)
        wanted->Add(1, key);
    m_utilities.SelectRowsByKey(grid.get(), wanted);
    QCOMPARE(selectedNames(*grid), selected);
}

void TestGridUtilities::sortByColumnTogglesOnRepeat_data()
{
    // steps: header texts to sort by; "+" appends a row
    columns<QStringList, QStringList>("steps", "expected");
    row("ascending by text", QStringList{"Name"},
        QStringList{"tag1", "tag10", "tag11", "tag2", "tag3", "tag4", "tag5", "tag6", "tag7", "tag8", "tag9"});
    row("numbers by value", QStringList{"number"},
        QStringList{"tag1", "tag2", "tag3", "tag4", "tag5", "tag6", "tag7", "tag8", "tag9", "tag10", "tag11"});
    row("second click descends", QStringList{" NUMBER ", "Number"},
        QStringList{"tag11", "tag10", "tag9", "tag8", "tag7", "tag6", "tag5", "tag4", "tag3", "tag2", "tag1"});
    row("third click ascends", QStringList{"Number", "Number", "Number"},
        QStringList{"tag1", "tag2", "tag3", "tag4", "tag5", "tag6", "tag7", "tag8", "tag9", "tag10", "tag11"});
    row("appended rows start over ascending", QStringList{"Number", "+", "Number"},
        QStringList{"tag0", "tag1", "tag2", "tag3", "tag4", "tag5", "tag6", "tag7", "tag8", "tag9", "tag10", "tag11"});
    row("another column ascends", QStringList{"Number", "Name", "Number"},
        QStringList{"tag1", "tag2", "tag3", "tag4", "tag5", "tag6", "tag7", "tag8", "tag9", "tag10", "tag11"});
}

void TestGridUtilities::sortByColumnTogglesOnRepeat()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);
    auto grid = tagGrid(11);
    for (const QString &step : steps) {
        if (step == QLatin1String("+")) {
            grid->setRowCount(grid->rowCount() + 1);
            grid->setCellText(grid->rowCount(), 1, QStringLiteral("tag0"));
            grid->setCellText(grid->rowCount(), 2, QStringLiteral("0"));
        } else {
            m_utilities.SortByColumn(grid.get(), {}, step, true);
        }
    }
    QCOMPARE(names(*grid), expected);
}

void TestGridUtilities::unknownHeaderOrLayoutIsAnError()
{
    auto grid = tagGrid(3);
    QVERIFY_THROWS_EXCEPTION(Error, m_utilities.SortByColumn(grid.get(), {}, QStringLiteral("Colour"), true));
    QCOMPARE(names(*grid), QStringList({"tag1", "tag2", "tag3"}));

    GridPtr layout(new Grid);
    layout->setLayoutNumber(99);
    qint32 a = 0, b = 0, c = 0, d = 0;
    QVERIFY_THROWS_EXCEPTION(Error, m_utilities.ApplyLayout(grid.get(), layout, a, b, c, d));
    QCOMPARE(grid->columnCount(), 6);
    QVERIFY_THROWS_EXCEPTION(Error, m_utilities.MoveAllRows(grid.get(), nullptr));
    QCOMPARE(grid->rowCount(), 3);
}

void TestGridUtilities::applyLayoutLaysOutTheStoredColumns()
{
    GridControl grid;
    grid.setColumnCount(2);
    grid.setRowCount(5);
    grid.setColumnCheckBox(1, true);
    g_manager->loads.clear();
    GridPtr layout(new Grid);
    layout->setLayoutNumber(24);
    qint32 columns = 0, width = 0, headerHeight = 0, rowHeight = 0;

    m_utilities.ApplyLayout(&grid, layout, columns, width, headerHeight, rowHeight);

    QCOMPARE(g_manager->loads, QStringList{"GridType GridTypeID 24"});
    QCOMPARE(grid.columnCount(), 6);
    QCOMPARE(grid.rowCount(), 0);
    QCOMPARE(grid.cellText(0, 1), QStringLiteral("Name"));
    QCOMPARE(grid.cellText(0, 6), QStringLiteral("Text 4"));
    QCOMPARE(grid.columnWidthTwips(2), 900);
    QCOMPARE(grid.columnAlignment(2), Qt::AlignRight);
    QCOMPARE(grid.columnAlignment(3), Qt::AlignHCenter);
    QVERIFY(!grid.columnCheckBox(1));
    QVERIFY(grid.headerRowVisible());
    QVERIFY(!grid.headerColumnVisible());
    QCOMPARE(columns, 6);
    QCOMPARE(width, 7500);
    QVERIFY(headerHeight > 0 && rowHeight > 0);
}

void TestGridUtilities::selectRowSelectsThatRowAlone()
{
    auto grid = tagGrid(5);
    grid->selectRows(1, 2, true);
    QSignalSpy moved(grid.get(), &GridControl::currentCellMoved);

    m_utilities.SelectRow(grid.get(), 4);
    m_utilities.SelectRow(grid.get(), 8); // no such row: nothing changes

    QCOMPARE(grid->selectedRows(), QList<qint32>{4});
    QVERIFY(m_utilities.IsRowSelected(grid.get(), 4.0));
    QVERIFY(!m_utilities.IsRowSelected(grid.get(), 1.0));
    QVERIFY(!m_utilities.IsRowSelected(grid.get(), 0.0));
    QCOMPARE(grid->currentRow(), 4);
    QCOMPARE(moved.count(), 1);
}

QTEST_MAIN(TestGridUtilities)
#include "test_grid_utilities.moc"
