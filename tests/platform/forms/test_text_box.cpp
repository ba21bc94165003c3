#include "platform/forms/text_box.h"
#include "support/data_rows.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTest>

using namespace veltrane;
using veltrane::test::columns;
using veltrane::test::row;

// A numeric field's filter as the editor pages write them: digits, backspace and "." pass.
static void numericFilter(qint16 &keyAscii)
{
    const bool digit = keyAscii >= 48 && keyAscii <= 57;
    if (!digit && keyAscii != 8 && keyAscii != 46)
        keyAscii = 0;
}

class TestTextBox : public QObject
{
    Q_OBJECT
private slots:
    void changeRaisedForTypedAndSetText();
    void filterSeesTypedCharactersOnly_data();
    void filterSeesTypedCharactersOnly();
    void handlerMayReplaceCharacter();
    void pasteIsNotFiltered();
    void maxLengthLimitsUserInputOnly_data();
    void maxLengthLimitsUserInputOnly();
    void focusEvents();
    void tabbingInSelectsFromTheStartWhereverTheCaretWas_data();
    void tabbingInSelectsFromTheStartWhereverTheCaretWas();
    void selectionAfterSetText();
};

void TestTextBox::changeRaisedForTypedAndSetText()
{
    TextBox box;
    int changes = 0;
    connect(&box, &TextBox::Change, [&] { ++changes; });

    QTest::keyClicks(&box, "12");
    QCOMPARE(changes, 2);
    box.setText(QStringLiteral("95"));
    QCOMPARE(changes, 3);
    box.setText(QStringLiteral("95")); // the same text is no change
    QCOMPARE(changes, 3);
    box.setProperty("Text", QStringLiteral("99"));
    QCOMPARE(changes, 4);
    QCOMPARE(box.property("Text").toString(), QStringLiteral("99"));
}

void TestTextBox::filterSeesTypedCharactersOnly_data()
{
    // code: -1: no KeyPress
    // left: what "1.2" becomes with the digits-and-point filter
    columns<int, int, int, QString>("key", "modifiers", "code", "left");
    row("digit", int(Qt::Key_7), 0, 55, "1.27");
    row("letter", int(Qt::Key_A), 0, 97, "1.2");
    row("second point", int(Qt::Key_Period), 0, 46, "1.2.");
    row("minus", int(Qt::Key_Minus), 0, 45, "1.2");
    row("comma", int(Qt::Key_Comma), 0, 44, "1.2");
    row("space", int(Qt::Key_Space), 0, 32, "1.2");
    row("backspace", int(Qt::Key_Backspace), 0, 8, "1.");
    row("ctrl+c", int(Qt::Key_C), int(Qt::ControlModifier), 3, "1.2");
    row("ctrl+v", int(Qt::Key_V), int(Qt::ControlModifier), 22, "1.2");
    row("ctrl+x", int(Qt::Key_X), int(Qt::ControlModifier), 24, "1.2");
    row("delete", int(Qt::Key_Delete), 0, -1, "1.2");
    row("left", int(Qt::Key_Left), 0, -1, "1.2");
    row("return", int(Qt::Key_Return), 0, -1, "1.2");
    row("escape", int(Qt::Key_Escape), 0, -1, "1.2");
    // No access key or shortcut takes these, so the letter would be typed: it passes the filter.
    row("alt+e", int(Qt::Key_E), int(Qt::AltModifier), 101, "1.2");
    row("meta+e", int(Qt::Key_E), int(Qt::MetaModifier), 101, "1.2");
    row("alt+5", int(Qt::Key_5), int(Qt::AltModifier), 53, "1.25");
}

void TestTextBox::filterSeesTypedCharactersOnly()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, code);
    QFETCH(QString, left);

    TextBox box;
    box.setText(QStringLiteral("1.2"));
    box.setCursorPosition(3);
    QList<int> seen;
    connect(&box, &TextBox::KeyPress, [&](qint16 &keyAscii) { seen.append(keyAscii); });
    connect(&box, &TextBox::KeyPress, &numericFilter);
    int changes = 0;
    connect(&box, &TextBox::Change, [&] { ++changes; });
    QTest::keyClick(&box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(seen, code < 0 ? QList<int>() : QList<int>{code});
    QCOMPARE(box.Text(), left);
    QCOMPARE(changes, left == QLatin1String("1.2") ? 0 : 1); // a discarded key changes nothing
}

void TestTextBox::handlerMayReplaceCharacter()
{
    TextBox box;
    connect(&box, &TextBox::KeyPress, [](qint16 &keyAscii) {
        if (keyAscii >= 'a' && keyAscii <= 'z')
            keyAscii = qint16(keyAscii - 32);
    });
    QTest::keyClicks(&box, "ab1");
    QCOMPARE(box.Text(), QStringLiteral("AB1"));
}

void TestTextBox::pasteIsNotFiltered()
{
    QGuiApplication::clipboard()->setText(QStringLiteral("x-1"));
    TextBox box;
    connect(&box, &TextBox::KeyPress, &numericFilter);
    // The numeric filter discards Ctrl+V (22): no paste.
    QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box.Text(), QString());

    TextBox open;
    QList<int> seen;
    connect(&open, &TextBox::KeyPress, [&](qint16 &keyAscii) { seen.append(keyAscii); });
    QTest::keyClick(&open, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(open.Text(), QStringLiteral("x-1")); // the pasted characters pass unfiltered
    QCOMPARE(seen, QList<int>{22});
    open.paste(); // as from the context menu: no KeyPress at all
    QCOMPARE(seen.size(), 1);
    QCOMPARE(open.Text(), QStringLiteral("x-1x-1"));
}

void TestTextBox::maxLengthLimitsUserInputOnly_data()
{
    columns<QString, QString, QString>("start", "typed", "expected");
    row("fourth character refused", QString(), "1234", "123");
    row("typing over a selection", "123", "9", "9");
    row("backspace in a full field", "123", "\b", "12");
}

void TestTextBox::maxLengthLimitsUserInputOnly()
{
    QFETCH(QString, start);
    QFETCH(QString, typed);
    QFETCH(QString, expected);

    TextBox box;
    box.setMaxLength(3);
    box.setText(start);
    if (typed == QLatin1String("\b")) {
        box.setCursorPosition(int(start.length()));
        QTest::keyClick(&box, Qt::Key_Backspace);
    } else {
        box.selectAll();
        QTest::keyClicks(&box, typed);
    }
    QCOMPARE(box.Text(), expected);

    // Code may set a longer text; the user still cannot add to it, and pasting cannot exceed it.
    box.setText(QStringLiteral("12345"));
    QCOMPARE(box.Text(), QStringLiteral("12345"));
    box.setCursorPosition(5);
    QTest::keyClicks(&box, "6");
    QCOMPARE(box.Text(), QStringLiteral("12345"));
    box.setText(QStringLiteral("1"));
    QGuiApplication::clipboard()->setText(QStringLiteral("999"));
    box.setCursorPosition(1);
    box.paste();
    QCOMPARE(box.Text(), QStringLiteral("1"));
}

void TestTextBox::focusEvents()
{
    QWidget window;
    auto *first = new TextBox(&window);
    auto *second = new TextBox(&window);
    second->move(0, 40);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    QStringList events;
    connect(first, &TextBox::GotFocus, [&] { events << QStringLiteral("first got"); });
    connect(first, &TextBox::LostFocus, [&] { events << QStringLiteral("first lost"); });
    connect(second, &TextBox::GotFocus, [&] {
        events << QStringLiteral("second got");
        // What the editor's quantitation fields do on focus: select the whole text.
        second->setSelLength(int(second->Text().length()));
    });
    second->setText(QStringLiteral("150"));

    second->setFocus(Qt::MouseFocusReason);
    events.clear();
    first->setFocus(Qt::MouseFocusReason);
    QCOMPARE(events, QStringList{QStringLiteral("first got")});
    QTest::keyClick(first, Qt::Key_Tab);
    QTRY_VERIFY(second->hasFocus());
    QCOMPARE(events,
             (QStringList{QStringLiteral("first got"), QStringLiteral("first lost"), QStringLiteral("second got")}));
    QCOMPARE(second->SelText(), QStringLiteral("150"));

    // A context menu takes the keyboard without the field losing the focus.
    events.clear();
    QFocusEvent popupOut(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(second, &popupOut);
    QFocusEvent popupIn(QEvent::FocusIn, Qt::PopupFocusReason);
    QApplication::sendEvent(second, &popupIn);
    QFocusEvent windowOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(second, &windowOut);
    QVERIFY(events.isEmpty());
}

void TestTextBox::tabbingInSelectsFromTheStartWhereverTheCaretWas_data()
{
    columns<int, bool>("caret", "backwards");
    for (int caret = 0; caret <= 6; caret += 3) {
        QTest::addRow("caret at %d, Tab", caret) << caret << false;
        QTest::addRow("caret at %d, Shift+Tab", caret) << caret << true;
    }
}

void TestTextBox::tabbingInSelectsFromTheStartWhereverTheCaretWas()
{
    // GotFocus comes after the field has placed its caret, so a handler that selects from SelStart
    // (as the quantitation fields do) selects the whole text, not just what follows an old caret.
    QFETCH(int, caret);
    QFETCH(bool, backwards);
    QWidget window;
    auto *before = new TextBox(&window);
    auto *field = new TextBox(&window);
    auto *after = new TextBox(&window);
    field->move(0, 40);
    after->move(0, 80);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    field->setText(QStringLiteral("123456"));
    int selStartSeen = -1;
    connect(field, &TextBox::GotFocus, [&] {
        selStartSeen = field->SelStart();
        field->setSelLength(int(field->Text().length()));
    });

    field->setFocus(Qt::MouseFocusReason);
    field->setCursorPosition(caret);
    TextBox *from = backwards ? after : before;
    from->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(from, Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
    QTRY_VERIFY(field->hasFocus());
    QCOMPARE(selStartSeen, 0);
    QCOMPARE(field->SelText(), QStringLiteral("123456"));
}

void TestTextBox::selectionAfterSetText()
{
    TextBox box;
    box.setText(QStringLiteral("12.5"));
    QCOMPARE(box.SelStart(), 0);
    box.setSelLength(100); // clipped to the text
    QCOMPARE(box.SelLength(), 4);
    box.setSelStart(2);
    QCOMPARE(box.SelLength(), 0);
    box.setProperty("SelLength", 1);
    QCOMPARE(box.SelText(), QStringLiteral("."));
    QCOMPARE(box.property("SelStart").toInt(), 2);
}

QTEST_MAIN(TestTextBox)
#include "test_text_box.moc"
