#include "platform/forms/check_box.h"
#include "platform/forms/combo_box.h"
#include "platform/forms/frame.h"
#include "platform/forms/list_box.h"
#include "platform/forms/option_button.h"
#include "platform/runtime_errors.h"
#include "support/data_rows.h"
#include "support/recording_utilities.h"

#include <QAbstractItemView>
#include <QTest>

using namespace veltrane;
using veltrane::test::columns;
using veltrane::test::row;

class TestChoiceControls : public QObject
{
    Q_OBJECT
private slots:
    void comboStartsUnselectedAndKeepsItemData();
    void comboClick_data();
    void comboClick();
    void comboUserPick();
    void comboRejectsIndexOffTheList();
    void fittingComboFollowsItsLongestEntry();
    void selectComboItemRaisesClick();
    void listBoxClick();
    void checkBoxClickOnChange_data();
    void checkBoxClickOnChange();
    void optionGroupsFollowTheirContainer();
};

static ComboBox *filledCombo(QWidget *parent = nullptr)
{
    auto *combo = new ComboBox(parent);
    for (const char *text : {"g", "mol", "M", "g/L"}) {
        combo->AddItem(QString::fromLatin1(text));
        combo->SetItemData(combo->NewIndex(), combo->NewIndex() * 10);
    }
    return combo;
}

void TestChoiceControls::comboStartsUnselectedAndKeepsItemData()
{
    std::unique_ptr<ComboBox> combo(filledCombo());
    QCOMPARE(combo->ListIndex(), -1);
    QCOMPARE(combo->Text(), QString());
    QCOMPARE(combo->property("ListCount").toInt(), 4);
    QCOMPARE(combo->NewIndex(), 3);
    QCOMPARE(combo->ItemData(2), 20);
    QCOMPARE(combo->List(3), QStringLiteral("g/L"));
    QCOMPARE(combo->List(9), QString());
    combo->setListIndex(1);
    combo->RemoveItem(1); // removing the selected entry leaves none selected
    QCOMPARE(combo->ListIndex(), -1);
    QCOMPARE(combo->ItemData(1), 20); // data moves with its entry
    combo->Clear();
    QCOMPARE(combo->NewIndex(), -1);
    QCOMPARE(combo->ListCount(), 0);
}

void TestChoiceControls::comboClick_data()
{
    // start: -1: nothing selected
    columns<int, QString, int, int>("start", "action", "clicks", "index");
    row("ListIndex to another entry", -1, "index 2", 1, 2);
    row("ListIndex to the same entry", 2, "index 2", 1, 2);
    row("ListIndex to none", 2, "index -1", 1, -1);
    row("Text of an entry, other case", 0, "text MOL", 1, 1);
    row("Text that is no entry", 0, "text kg", 0, 0);
    row("AddItem", 0, "add", 0, 0);
    row("Clear", 0, "clear", 0, -1);
}

void TestChoiceControls::comboClick()
{
    QFETCH(int, start);
    QFETCH(QString, action);
    QFETCH(int, clicks);
    QFETCH(int, index);

    std::unique_ptr<ComboBox> combo(filledCombo());
    if (start >= 0)
        combo->setListIndex(start);
    int raised = 0;
    connect(combo.get(), &ComboBox::Click, [&] { ++raised; });

    const QString argument = action.section(QLatin1Char(' '), 1);
    if (action.startsWith(QLatin1String("index")))
        QVERIFY(combo->setProperty("ListIndex", argument.toInt()));
    else if (action.startsWith(QLatin1String("text")))
        combo->setProperty("Text", argument);
    else if (action == QLatin1String("add"))
        combo->AddItem(QStringLiteral("kg"));
    else
        combo->Clear();

    QCOMPARE(raised, clicks);
    QCOMPARE(combo->ListIndex(), index);
}

void TestChoiceControls::comboUserPick()
{
    QWidget window;
    ComboBox *combo = filledCombo(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    combo->setListIndex(0);
    QStringList texts;
    connect(combo, &ComboBox::Click, [&] { texts << combo->Text(); });

    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down); // the closed list steps to the next entry
    QCOMPARE(texts, QStringList{QStringLiteral("mol")});
    QTest::keyClick(combo, Qt::Key_Up);
    QCOMPARE(texts, (QStringList{QStringLiteral("mol"), QStringLiteral("g")}));
    QTest::keyClick(combo, Qt::Key_Up); // already the first: nothing changes, nothing raised
    QCOMPARE(texts.size(), 2);
}

void TestChoiceControls::comboRejectsIndexOffTheList()
{
    std::unique_ptr<ComboBox> combo(filledCombo());
    combo->setObjectName(QStringLiteral("cmbUnits(2)"));
    // The platform's own numbers, naming the control: 380 for a value, 381 for an array index.
    const auto controlError = [](const std::function<void()> &call) -> std::pair<qint32, QString> {
        try {
            call();
        } catch (const ControlError &e) {
            return {e.number(), e.control()};
        }
        return {0, QString()};
    };
    QCOMPARE(controlError([&] { combo->setListIndex(4); }), std::make_pair(qint32(380), QStringLiteral("cmbUnits(2)")));
    QCOMPARE(controlError([&] { combo->ItemData(-1); }), std::make_pair(qint32(381), QStringLiteral("cmbUnits(2)")));
    QCOMPARE(combo->ListIndex(), -1);
}

// A list that fits its contents is as wide as Qt's own AdjustToContents makes it, whenever its entries
// change; one that does not keeps Qt's own size.
void TestChoiceControls::fittingComboFollowsItsLongestEntry()
{
    ComboBox fitting;
    QComboBox reference;
    reference.setSizeAdjustPolicy(QComboBox::AdjustToContents);
    fitting.setFitsContents(true);
    QCOMPARE(fitting.sizeHint(), reference.sizeHint()); // empty: seven x wide
    const QString longest = QStringLiteral("Ladder 35-500 (16 fragments), kept for 2019 runs");
    for (const QString &text : {QStringLiteral("Linear"), longest, QStringLiteral("Cubic")}) {
        fitting.AddItem(text);
        reference.addItem(text);
        QCOMPARE(fitting.sizeHint(), reference.sizeHint());
    }
    const int wide = fitting.sizeHint().width();
    fitting.RemoveItem(1);
    QVERIFY(fitting.sizeHint().width() < wide);
    fitting.setItemText(0, longest);
    QCOMPARE(fitting.sizeHint().width(), wide);
    fitting.Clear();
    QVERIFY(fitting.sizeHint().width() < wide);

    ComboBox plain;
    QComboBox stock;
    for (QComboBox *list : {static_cast<QComboBox *>(&plain), &stock})
        list->addItem(longest);
    QCOMPARE(plain.sizeHint(), stock.sizeHint());
}

void TestChoiceControls::selectComboItemRaisesClick()
{
    // The framework helper moves a form combo through its ListIndex property, so the page's Click
    // handler runs as if the page had set the entry itself.
    std::unique_ptr<ComboBox> combo(filledCombo());
    int raised = 0;
    connect(combo.get(), &ComboBox::Click, [&] { ++raised; });
    test::RecordingUtilities utilities;
    QVERIFY(utilities.SelectComboItem(combo.get(), QStringLiteral("G/l")));
    QCOMPARE(combo->Text(), QStringLiteral("g/L"));
    QCOMPARE(raised, 1);
    QVERIFY(!utilities.SelectComboItem(combo.get(), QStringLiteral("kg")));
    QCOMPARE(raised, 1);
}

void TestChoiceControls::listBoxClick()
{
    QWidget window;
    auto *list = new ListBox(&window);
    list->AddItem(QStringLiteral("DefaultFragmentAnalysisParameters"));
    list->AddItem(QStringLiteral("Run 12"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QStringList texts;
    connect(list, &ListBox::Click, [&] { texts << list->Text(); });

    list->setFocus(); // focus alone selects nothing
    QCOMPARE(list->ListIndex(), -1);
    QVERIFY(texts.isEmpty());

    const QRect second = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(texts, QStringList{QStringLiteral("Run 12")});
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center()); // chosen again
    QCOMPARE(texts.size(), 2);
    list->setListIndex(1); // code raises Click even for the entry already selected
    QCOMPARE(texts.size(), 3);
    list->Clear();
    QCOMPARE(texts.size(), 3);
    QCOMPARE(list->ListIndex(), -1);
}

void TestChoiceControls::checkBoxClickOnChange_data()
{
    columns<int, bool, int, int, int>("start", "byUser", "set", "clicks", "value");
    row("code ticks", 0, false, 1, 1, 1);
    row("code sets the same value", 1, false, 1, 0, 1);
    row("code clears", 1, false, 0, 1, 0);
    row("user ticks", 0, true, 0, 1, 1);
    row("user clears", 1, true, 0, 1, 0);
}

void TestChoiceControls::checkBoxClickOnChange()
{
    QFETCH(int, start);
    QFETCH(bool, byUser);
    QFETCH(int, set);
    QFETCH(int, clicks);
    QFETCH(int, value);

    CheckBox box(QStringLiteral("SNP Analysis"));
    box.setValue(start);
    int raised = 0;
    connect(&box, &CheckBox::Click, [&] { ++raised; });
    if (byUser)
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(6, box.height() / 2));
    else
        box.setProperty("Value", set);
    QCOMPARE(raised, clicks);
    QCOMPARE(box.property("Value").toInt(), value);
}

void TestChoiceControls::optionGroupsFollowTheirContainer()
{
    QWidget page;
    auto *duration = new Frame(QStringLiteral("ID Standard"), &page);
    auto *size = new OptionButton(QStringLiteral("Size"), duration);
    auto *time = new OptionButton(QStringLiteral("Time"), duration);
    auto *quantity = new Frame(QStringLiteral("Calculate Using"), &page);
    auto *height = new OptionButton(QStringLiteral("Height"), quantity);
    QStringList clicks;
    for (OptionButton *option : {size, time, height})
        connect(option, &OptionButton::Click, [&clicks, option] { clicks << option->Caption(); });

    size->setValue(true);
    height->setValue(true); // another container: the first group keeps its choice
    QVERIFY(size->Value());
    time->setProperty("Value", true);
    QVERIFY(!size->Value());
    QVERIFY(height->Value());
    time->setValue(true);  // already selected: no second Click
    time->setValue(false); // code may clear the whole group; only becoming selected raises Click
    QVERIFY(!size->Value() && !time->Value() && height->Value());
    size->setValue(true); // and the group is still exclusive afterwards
    time->setValue(true);
    QVERIFY(!size->Value());
    QCOMPARE(clicks, (QStringList{"Size", "Height", "Time", "Size", "Time"}));
}

QTEST_MAIN(TestChoiceControls)
#include "test_choice_controls.moc"
