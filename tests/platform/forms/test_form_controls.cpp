#include "platform/forms/colors.h"
#include "platform/forms/command_button.h"
#include "platform/forms/control_array.h"
#include "platform/forms/frame.h"
#include "platform/forms/label.h"
#include "platform/forms/mouse_pointer.h"
#include "platform/forms/popup_menu.h"
#include "platform/forms/tab_control.h"
#include "platform/forms/text_box.h"
#include "platform/forms/up_down.h"
#include "support/data_rows.h"

#include <QApplication>
#include <QStyle>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

using namespace veltrane;
using veltrane::test::columns;
using veltrane::test::row;

class TestFormControls : public QObject
{
    Q_OBJECT
private slots:
    void spinStepsWithinRange_data();
    void spinStepsWithinRange();
    void spinArrowKeysAndChange();
    void tabClick();
    void popupMenuItems();
    void textReadsOnItsBackground_data();
    void textReadsOnItsBackground();
    void readableColourAtTheLimit_data();
    void readableColourAtTheLimit();
    void systemColorsFollowThePalette();
    void enabledAndVisibleAreOwnFlags();
    void controlArrayHandlersGetTheIndex();
    void hourglassRestoresThePointer();
};

void TestFormControls::spinStepsWithinRange_data()
{
    // steps: positive up, negative down
    columns<int, int, QString, int, QString>("min", "max", "text", "steps", "expected");
    row("confidence up", 75, 99, "95", 1, "96");
    row("stops at max", 75, 99, "98", 3, "99");
    row("stops at min", 1, 1000, "2", -5, "1");
    row("out of range text is pulled in", 75, 99, "120", 1, "99");
    row("fraction steps from its whole value", 0, 100, "10.5", 1, "11");
    row("negative power", -25, 25, "-4", -1, "-5");
    row("power at -25", -25, 25, "-25", -1, "-25");
    row("no number steps from the position", -25, 25, "x", 1, "1");
}

void TestFormControls::spinStepsWithinRange()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(QString, text);
    QFETCH(int, steps);
    QFETCH(QString, expected);

    TextBox buddy;
    UpDown spin(&buddy, min, max, 1);
    spin.setValue(0); // the position (0 within range, else the nearer bound)
    buddy.setText(text);
    QToolButton *button = steps > 0 ? spin.upButton() : spin.downButton();
    for (int i = 0; i < qAbs(steps); ++i)
        QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(buddy.Text(), expected);
    QCOMPARE(spin.Value(), expected.toInt());
}

void TestFormControls::spinArrowKeysAndChange()
{
    TextBox buddy;
    UpDown spin(&buddy, 1, 1000, 1);
    buddy.setText(QStringLiteral("10"));
    QStringList texts;
    connect(&buddy, &TextBox::Change, [&] { texts << buddy.Text(); });
    QTest::keyClick(&buddy, Qt::Key_Up);
    QTest::keyClick(&buddy, Qt::Key_Down);
    QTest::keyClick(&buddy, Qt::Key_Down);
    QCOMPARE(texts, (QStringList{QStringLiteral("11"), QStringLiteral("10"), QStringLiteral("9")}));
    spin.setEnabled(false);
    QTest::mouseClick(spin.upButton(), Qt::LeftButton);
    QCOMPARE(buddy.Text(), QStringLiteral("9"));
}

void TestFormControls::tabClick()
{
    TabControl tabs;
    for (const char *caption :
         {"&General", "Analysis &Method", "&Quantitation", "S&TR Locus Tags", "SN&P Locus Tags", "Ad&vanced"})
        tabs.AddTab(QString::fromUtf8(caption));
    auto *general = new Frame(&tabs);
    auto *advanced = new Frame(&tabs);
    tabs.addContent(general);
    tabs.addContent(advanced);
    advanced->hide();
    tabs.resize(600, 300);
    tabs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tabs));
    // The page switches its frames itself on Click.
    QList<int> previous;
    connect(&tabs, &TabControl::Click, [&](int previousTab) {
        previous << previousTab;
        general->setVisible(tabs.Tab() == 0);
        advanced->setVisible(tabs.Tab() == 5);
    });

    QCOMPARE(tabs.Tab(), 0);
    QTest::mouseClick(tabs.tabBar(), Qt::LeftButton, {}, tabs.tabBar()->tabRect(5).center());
    QCOMPARE(tabs.Tab(), 5);
    QCOMPARE(previous, QList<int>{0});
    QVERIFY(!general->Visible());
    QVERIFY(advanced->isVisible());
    QCOMPARE(tabs.property("Caption").toString(), QStringLiteral("Ad&vanced"));
    tabs.setTab(5); // already current
    QCOMPARE(previous.size(), 1);
    tabs.setProperty("Tab", 0);
    QCOMPARE(previous, (QList<int>{0, 5}));
    QVERIFY(general->isVisible());
}

void TestFormControls::popupMenuItems()
{
    QWidget page;
    auto *menu = new PopupMenu(QStringLiteral("mnuSNPLocusAvailable"), QStringLiteral("SNP Locus"), &page);
    menu->AddItem(QStringLiteral("mnuAdd"), QStringLiteral("Add"));
    menu->AddItem(QStringLiteral("mnuSeparator"), QStringLiteral("-"));
    menu->AddItem(QStringLiteral("mnuEditAvailable"), QStringLiteral("Edit"));
    QStringList clicked;
    for (MenuItem *item : menu->items())
        connect(item, &MenuItem::Click, [&clicked, item] { clicked << item->objectName(); });

    QVERIFY(menu->item(QStringLiteral("mnuSeparator"))->isSeparator());
    // Found by name from the page, like every other control.
    MenuItem *edit = page.findChild<MenuItem *>(QStringLiteral("mnuEditAvailable"));
    QVERIFY(edit);
    edit->setProperty("Enabled", false);

    QStringList popped;
    PopupMenu::setPopupHook([&](PopupMenu *shown) {
        popped << shown->objectName();
        shown->item(QStringLiteral("mnuEditAvailable"))->Trigger(); // disabled: nothing
        shown->item(QStringLiteral("mnuAdd"))->Trigger();
    });
    menu->popup();
    PopupMenu::setPopupHook({});
    QCOMPARE(popped, QStringList{QStringLiteral("mnuSNPLocusAvailable")});
    QCOMPARE(clicked, QStringList{QStringLiteral("mnuAdd")});
    QVERIFY(!menu->isVisible());
}

void TestFormControls::textReadsOnItsBackground_data()
{
    // field: a text box, or a label
    // exactly: the text colour when it must stay as set
    // hue: the hue the text keeps (-1: any)
    columns<bool, quint32, quint32, bool, QColor, int>("field", "fore", "back", "dark", "exactly", "hue");

    const quint32 text = colors::kWindowText;
    const quint32 window = colors::kWindowBackground;
    const quint32 face = colors::kButtonFace;
    row("yellow field, light", true, text, colors::kYellow, false, QColor(Qt::black), -1);
    row("black on white, dark", false, colors::kBlack, colors::kWhite, true, QColor(Qt::black), -1);
    row("yellow field, dark", true, text, colors::kYellow, true, QColor(Qt::black), -1);
    row("field back to normal, dark", true, text, window, true, QColor(240, 240, 240), -1);
    row("red caption, light", false, colors::kRed, face, false, QColor(), 0);
    row("red caption, dark", false, colors::kRed, face, true, QColor(), 0);
    row("black caption, light", false, colors::kBlack, face, false, QColor(Qt::black), -1);
    row("black caption, dark", false, colors::kBlack, face, true, QColor(Qt::white), -1);
    row("grey text, dark", false, colors::kGrayText, face, true, QColor(), -1);
}

void TestFormControls::textReadsOnItsBackground()
{
    QFETCH(bool, field);
    QFETCH(quint32, fore);
    QFETCH(quint32, back);
    QFETCH(bool, dark);
    QFETCH(QColor, exactly);
    QFETCH(int, hue);

    const QPalette original = QApplication::palette();
    QApplication::setPalette(dark ? colors::darkPalette() : QApplication::style()->standardPalette());
    QWidget page;
    QWidget *control = field ? static_cast<QWidget *>(new TextBox(&page)) : new Label(QStringLiteral("Peaks"), &page);
    control->setProperty("ForeColor", fore);
    control->setProperty("BackColor", back);
    const auto *colored = dynamic_cast<FormControl *>(control);
    const QColor drawn = colored->drawnText();
    const QColor background = colored->drawnBackground();
    const double ratio = colors::contrastRatio(drawn, background);
    QApplication::setPalette(original);

    // The values read back as set; a plain background is drawn exactly, the text so that it reads.
    QCOMPARE(control->property("ForeColor").value<quint32>(), fore);
    QCOMPARE(control->property("BackColor").value<quint32>(), back);
    if (!colors::isSystemColor(back))
        QCOMPARE(background, colors::toQColor(back));
    QVERIFY2(ratio >= colors::kReadableContrast, qPrintable(QStringLiteral("%1:1").arg(ratio)));
    if (exactly.isValid())
        QCOMPARE(drawn, exactly);
    if (hue >= 0)
        QCOMPARE(drawn.hsvHue(), hue);
}

void TestFormControls::readableColourAtTheLimit_data()
{
    columns<QColor, QColor, bool>("text", "back", "kept");

    // Grey on white: 0x76 is the lightest grey that reads (4.54:1), 0x77 no longer (4.48:1).
    row("last grey that reads", QColor(0x76, 0x76, 0x76), QColor(Qt::white), true);
    row("first grey that does not", QColor(0x77, 0x77, 0x77), QColor(Qt::white), false);
    row("white on yellow", QColor(Qt::white), QColor(Qt::yellow), false);
    row("red on dark grey", QColor(Qt::red), QColor(53, 53, 53), false);
}

void TestFormControls::readableColourAtTheLimit()
{
    QFETCH(QColor, text);
    QFETCH(QColor, back);
    QFETCH(bool, kept);

    for (const bool keepHue : {true, false}) {
        const QColor drawn = colors::readableOn(text, back, keepHue);
        QCOMPARE(drawn == text, kept);
        QVERIFY(colors::contrastRatio(drawn, back) >= colors::kReadableContrast);
        if (keepHue && !kept) // moved no further than it had to
            QVERIFY(colors::contrastRatio(drawn, back) < colors::kReadableContrast + 0.2);
        if (keepHue)
            QCOMPARE(drawn.hsvHue(), text.hsvHue());
    }
}

void TestFormControls::systemColorsFollowThePalette()
{
    const QPalette original = QApplication::palette();
    QWidget page;
    TextBox &box = *new TextBox(&page);
    box.setBackColor(colors::kButtonFace);
    QCOMPARE(box.palette().color(QPalette::Base), original.color(QPalette::Button));

    // The field in error turns yellow; passing gives it the window background back, which must
    // look exactly like a field that never changed colour.
    TextBox untouched;
    box.setBackColor(colors::kYellow);
    box.setBackColor(colors::kWindowBackground);
    QCOMPARE(box.palette().color(QPalette::Base), untouched.palette().color(QPalette::Base));

    QPalette dark = original;
    dark.setColor(QPalette::Button, QColor(40, 40, 40));
    dark.setColor(QPalette::Base, QColor(20, 20, 20));
    box.setBackColor(colors::kButtonFace);
    QApplication::setPalette(dark);
    QCoreApplication::processEvents(); // widgets learn of a new application palette through posted events
    QCOMPARE(box.palette().color(QPalette::Base), QColor(40, 40, 40));
    QCOMPARE(box.BackColor(), colors::kButtonFace);
    box.setBackColor(colors::kWindowBackground);
    QCOMPARE(box.palette().color(QPalette::Base), QColor(20, 20, 20));
    QApplication::setPalette(original);
    QCoreApplication::processEvents();
}

void TestFormControls::enabledAndVisibleAreOwnFlags()
{
    QWidget page;
    auto *tab = new Frame(&page);
    auto *field = new TextBox(tab);
    auto *hidden = new TextBox(tab);
    hidden->setProperty("Visible", false);
    page.show();
    tab->hide();
    tab->setEnabled(false);
    // A field on a hidden, disabled tab is still Visible and Enabled itself.
    QVERIFY(!field->isVisible());
    QVERIFY(field->property("Visible").toBool());
    QVERIFY(field->property("Enabled").toBool());
    QVERIFY(!hidden->property("Visible").toBool());
    field->setProperty("Enabled", false);
    tab->setEnabled(true);
    TextBox alone; // never shown, but not hidden on purpose either
    QVERIFY(alone.property("Visible").toBool());
    alone.setProperty("Visible", false);
    QVERIFY(!alone.property("Visible").toBool());
    QVERIFY(!field->property("Enabled").toBool());
    QVERIFY(!field->isEnabled());
}

void TestFormControls::controlArrayHandlersGetTheIndex()
{
    QWidget page;
    ControlArray<TextBox> txtSizeTime(QStringLiteral("txtSizeTime"));
    for (int i = 0; i < 4; ++i)
        txtSizeTime.add(i, new TextBox(&page));
    QCOMPARE(txtSizeTime[2]->objectName(), QStringLiteral("txtSizeTime(2)"));
    QCOMPARE(findArrayMember<TextBox>(&page, QStringLiteral("txtSizeTime"), 3), txtSizeTime[3]);
    QCOMPARE(arrayIndex(txtSizeTime[1]), 1);
    QCOMPARE(arrayIndex(&page), -1);
    QCOMPARE(txtSizeTime.UBound(), 3);

    QList<int> changed;
    txtSizeTime.connect(&TextBox::Change, &page, [&](int index) { changed << index; });
    QList<int> filtered;
    txtSizeTime.connect(&TextBox::KeyPress, &page, [&](int index, qint16 &keyAscii) {
        filtered << index;
        keyAscii = 0;
    });
    txtSizeTime[2]->setText(QStringLiteral("150"));
    QTest::keyClicks(txtSizeTime[1], "7");
    QCOMPARE(changed, QList<int>{2});
    QCOMPARE(filtered, QList<int>{1});
    QCOMPARE(txtSizeTime[1]->Text(), QString()); // the handler's discard reached the field
}

void TestFormControls::hourglassRestoresThePointer()
{
    QCOMPARE(MousePointer::value(), int(MousePointer::Default));
    try {
        HourglassPointer busy;
        QCOMPARE(MousePointer::value(), 11);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        throw std::runtime_error("load failed");
    } catch (const std::runtime_error &) {
    }
    QCOMPARE(MousePointer::value(), int(MousePointer::Default));
    QVERIFY(!QGuiApplication::overrideCursor());

    // What the pages do by hand: remember, hourglass, put back what was there.
    MousePointer::setValue(MousePointer::Cross);
    const int remembered = MousePointer::value();
    MousePointer::setValue(11);
    MousePointer::setValue(remembered);
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
    MousePointer::setValue(MousePointer::Default);
    QVERIFY(!QGuiApplication::overrideCursor());
}

QTEST_MAIN(TestFormControls)
#include "test_form_controls.moc"
