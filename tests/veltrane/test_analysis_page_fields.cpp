// The editor's number fields driven as a user drives them: keys, pastes from the context menu, Tab
// and clicks; then what Validate and Save make of the result.

#include "editor_harness.h"
#include "host/objects/store_fixture.h"

#include "platform/forms/colors.h"
#include "platform/forms/text_box.h"
#include "platform/forms/up_down.h"
#include "veltrane/analysis_page/analysis_param_page.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>
#include <cmath>
#include <optional>

using namespace veltrane;
using namespace veltrane::test;

namespace {

constexpr int kGeneral = 0;
constexpr int kQuantitation = 2;

// What the user guide promises a number is: spaces around it, a sign, digits with one ".", an
// exponent. Written out here independently of the editor's own reader.
std::optional<double> number(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const double value = text.trimmed().toDouble();
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

double whole(double value)
{
    return std::nearbyint(value); // the default rounding: half to even
}

int tabOf(const QString &field)
{
    return field.startsWith(QLatin1String("txtSizeTime")) || field.startsWith(QLatin1String("txtWindow")) ||
                   field.startsWith(QLatin1String("txtAmount")) || field.startsWith(QLatin1String("txtPower"))
               ? kQuantitation
               : kGeneral;
}

// An editor on a stored copy of the default set (a size standard with enough peaks, SNP off), so
// that only the number fields decide whether the page is valid.
struct Editor
{
    PageHost host;
    EditorHarness ui{host};
    explicit Editor(const std::function<void(FragAnalysisParam &)> &fill = {}, bool asNew = false)
    {
        QVERIFY(ui.open(storeCopyOfDefault(host, QStringLiteral("Fields under test"), fill), asNew));
    }
    TextBox *field(const QString &name) { return ui.field(name); }
    // Focuses the field by Tab (which selects its text, so typing replaces it) and types keys.
    void typeOver(const QString &name, const QString &keys)
    {
        ui.showTab(tabOf(name));
        ui.tabInto(field(name));
        ui.type(field(name), keys);
    }
};

QString rowName(const char *array, int row)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(array)).arg(row);
}

} // namespace

class TestAnalysisPageFields : public QObject
{
    Q_OBJECT
private slots:
    void keystrokes_data();
    void keystrokes();
    void pasteFromTheMenuIsNotFiltered();
    void leavingAField_data();
    void leavingAField();
    void textChangesMarkTheSetDirty_data();
    void textChangesMarkTheSetDirty();
    void spinControlsStepWithinTheirRange_data();
    void spinControlsStepWithinTheirRange();
    void amountIsNormalisedOnLeaving_data();
    void amountIsNormalisedOnLeaving();
    void powerOfAText_data();
    void powerOfAText();
    void validationColoursAndTips_data();
    void validationColoursAndTips();
    void saveButtonLeavesTheFieldFirst();
    void generatedAmounts_data();
    void generatedAmounts();
    void keystrokeFuzz();
};

void TestAnalysisPageFields::keystrokes_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");

    QTest::newRow("confidence: letters, comma, minus, plus, space refused") << "txtConfidenceLevel"
                                                                            << "a,-+ 9x0"
                                                                            << "90";
    QTest::newRow("confidence: a fourth character refused") << "txtConfidenceLevel"
                                                            << "1234"
                                                            << "123";
    QTest::newRow("confidence: backspace passes") << "txtConfidenceLevel"
                                                  << "98\b7"
                                                  << "97";
    QTest::newRow("peak height: second point passes") << "txtIncludePeaks"
                                                      << "1.."
                                                      << "1..";
    QTest::newRow("slope: four characters") << "txtSlopeThreshold"
                                            << "12345"
                                            << "1234";
    QTest::newRow("size/time: second point passes") << "txtSizeTime(0)"
                                                    << "1.2.3"
                                                    << "1.2.3";
    QTest::newRow("size/time: minus refused") << "txtSizeTime(1)"
                                              << "-12"
                                              << "12";
    QTest::newRow("window: seven characters") << "txtWindow(3)"
                                              << "12345678"
                                              << "1234567";
    QTest::newRow("amount: second point refused") << "txtAmount(0)"
                                                  << "1.2.3"
                                                  << "1.23";
    QTest::newRow("amount: six characters") << "txtAmount(1)"
                                            << "1234567"
                                            << "123456";
    QTest::newRow("amount: minus and letters refused") << "txtAmount(2)"
                                                       << "-e5"
                                                       << "5";
    // The whole loaded text is selected and holds a "."; the filter looks at the text, not at what
    // the key would replace.
    QTest::newRow("amount: point refused over a selected point") << "txtAmount(3)"
                                                                 << ".5"
                                                                 << "5";
    QTest::newRow("power: minus and point pass") << "txtPower(0)"
                                                 << "-.5"
                                                 << "-.5";
    QTest::newRow("power: plus and letters refused") << "txtPower(1)"
                                                     << "+e3"
                                                     << "3";
    QTest::newRow("power: three characters") << "txtPower(2)"
                                             << "-251"
                                             << "-25";
    QTest::newRow("name: every key passes") << "txtParameterSetName"
                                            << "a,-+ 9"
                                            << "a,-+ 9";
    QTest::newRow("name: 127 characters") << "txtParameterSetName" << QString(128, u'n') << QString(127, u'n');
}

void TestAnalysisPageFields::keystrokes()
{
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    // A new set, so that its name can be typed too.
    Editor editor([](FragAnalysisParam &s) { s.setQuantAmount(3, 1.5f); }, true);
    editor.typeOver(field, keys);
    QCOMPARE(editor.field(field)->Text(), shown);
    QVERIFY(editor.host.hook().reports.isEmpty());
}

void TestAnalysisPageFields::pasteFromTheMenuIsNotFiltered()
{
    Editor editor;
    TextBox *confidence = editor.field(QStringLiteral("txtConfidenceLevel"));
    QGuiApplication::clipboard()->setText(QStringLiteral("-x"));
    editor.typeOver(QStringLiteral("txtConfidenceLevel"), QString());
    QTest::keyClick(confidence, Qt::Key_V, Qt::ControlModifier); // a typed Ctrl+V is a refused key
    QCOMPARE(confidence->Text(), QStringLiteral("95"));
    confidence->paste(); // what the context menu's Paste does
    QCOMPARE(confidence->Text(), QStringLiteral("-x"));
    editor.ui.tabOut();
    QCOMPARE(confidence->Text(), QStringLiteral("95"));
}

void TestAnalysisPageFields::leavingAField_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("keys");   // typed over the selected text
    QTest::addColumn<QString>("pasted"); // then pasted through the context menu
    QTest::addColumn<bool>("byClick");   // leave by clicking another field instead of Tab
    QTest::addColumn<QString>("left");

    QTest::newRow("confidence emptied") << "txtConfidenceLevel"
                                        << "\b"
                                        << "" << false << "95";
    QTest::newRow("confidence 120") << "txtConfidenceLevel"
                                    << "120"
                                    << "" << true << "99";
    QTest::newRow("confidence 50") << "txtConfidenceLevel"
                                   << "50"
                                   << "" << false << "75";
    QTest::newRow("confidence lone point") << "txtConfidenceLevel"
                                           << "."
                                           << "" << false << "95";
    QTest::newRow("confidence pasted exponent") << "txtConfidenceLevel"
                                                << ""
                                                << "1e2" << false << "99";
    QTest::newRow("confidence pasted spaces") << "txtConfidenceLevel"
                                              << ""
                                              << " 80" << false << " 80";
    QTest::newRow("confidence pasted comma") << "txtConfidenceLevel"
                                             << ""
                                             << "8,5" << false << "95";
    QTest::newRow("peak height not a number") << "txtIncludePeaks"
                                              << "1.."
                                              << "" << false << "1";
    QTest::newRow("peak height 0.5 stays") << "txtIncludePeaks"
                                           << "0.5"
                                           << "" << true << "0.5";
    QTest::newRow("peak height pasted -3") << "txtIncludePeaks"
                                           << ""
                                           << "-3" << false << "0";
    QTest::newRow("slope 0.6 stays") << "txtSlopeThreshold"
                                     << "0.6"
                                     << "" << false << "0.6";
    QTest::newRow("slope 0.5 rounds to 0") << "txtSlopeThreshold"
                                           << "0.5"
                                           << "" << false << "1";
    QTest::newRow("slope 1.5 stays") << "txtSlopeThreshold"
                                     << "1.5"
                                     << "" << true << "1.5";
    QTest::newRow("slope 1001") << "txtSlopeThreshold"
                                << "1001"
                                << "" << false << "1000";
    QTest::newRow("slope emptied") << "txtSlopeThreshold"
                                   << "\b"
                                   << "" << false << "1";
    QTest::newRow("size/time 1.2.3") << "txtSizeTime(0)"
                                     << "1.2.3"
                                     << "" << false << "0";
    QTest::newRow("size/time 2500 stays") << "txtSizeTime(1)"
                                          << "2500"
                                          << "" << true << "2500";
    QTest::newRow("size/time pasted -5 stays") << "txtSizeTime(2)"
                                               << ""
                                               << "-5" << false << "-5";
    QTest::newRow("window emptied") << "txtWindow(3)"
                                    << "\b"
                                    << "" << true << "0";
    QTest::newRow("window pasted text") << "txtWindow(0)"
                                        << ""
                                        << "ten" << false << "0";
    QTest::newRow("power 30") << "txtPower(0)"
                              << "30"
                              << "" << false << "25";
    QTest::newRow("power -30") << "txtPower(1)"
                               << "-30"
                               << "" << true << "-25";
    QTest::newRow("power 2.5 rounds to 2 and stays") << "txtPower(1)"
                                                     << "2.5"
                                                     << "" << false << "2.5";
    QTest::newRow("confidence 7.5 rounds to 8") << "txtConfidenceLevel"
                                                << "7.5"
                                                << "" << true << "75";
    QTest::newRow("power lone minus") << "txtPower(2)"
                                      << "-"
                                      << "" << false << "0";
    QTest::newRow("power emptied") << "txtPower(3)"
                                   << "\b"
                                   << "" << true << "0";
    QTest::newRow("power pasted 1e9, beyond 32 bits") << "txtPower(3)"
                                                      << ""
                                                      << "1e9" << false << "25";
}

void TestAnalysisPageFields::leavingAField()
{
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(QString, pasted);
    QFETCH(bool, byClick);
    QFETCH(QString, left);
    Editor editor;
    TextBox *box = editor.field(field);
    editor.typeOver(field, keys);
    if (!pasted.isEmpty()) {
        QGuiApplication::clipboard()->setText(pasted);
        box->paste();
    }
    if (byClick) {
        // Into another field on the same tab.
        const bool general = tabOf(field) == kGeneral;
        TextBox *other = editor.field(general ? QStringLiteral("txtSlopeThreshold") : QStringLiteral("txtWindow(2)"));
        if (other == box)
            other = editor.field(general ? QStringLiteral("txtIncludePeaks") : QStringLiteral("txtWindow(1)"));
        editor.ui.clickInto(other);
    } else {
        editor.ui.tabOut();
    }
    QVERIFY(!box->hasFocus());
    QCOMPARE(box->Text(), left);
    QVERIFY(editor.host.hook().reports.isEmpty());
}

void TestAnalysisPageFields::textChangesMarkTheSetDirty_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("marks"); // typed changes, plus one when leaving replaces the text

    QTest::newRow("name") << "txtParameterSetName"
                          << "ab\b" << 3;
    QTest::newRow("confidence, replaced on leaving") << "txtConfidenceLevel"
                                                     << "\b" << 2;
    QTest::newRow("confidence, refused key") << "txtConfidenceLevel"
                                             << "x" << 0;
    QTest::newRow("peak height") << "txtIncludePeaks"
                                 << "12" << 2;
    QTest::newRow("slope, replaced on leaving") << "txtSlopeThreshold"
                                                << "0.4" << 4;
    QTest::newRow("size/time") << "txtSizeTime(2)"
                               << "150" << 3;
    QTest::newRow("window, replaced on leaving") << "txtWindow(1)"
                                                 << "." << 2;
    QTest::newRow("amount, also when normalised") << "txtAmount(0)"
                                                  << "150" << 0;
    QTest::newRow("power, also when clamped") << "txtPower(3)"
                                              << "99" << 0;
}

void TestAnalysisPageFields::textChangesMarkTheSetDirty()
{
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(int, marks);
    Editor editor({}, true);
    EditorHarness &ui = editor.ui;
    ui.showTab(tabOf(field));
    ui.tabInto(ui.field(field));
    ui.resetDirty();
    ui.type(ui.field(field), keys);
    ui.tabOut();
    QVERIFY(!ui.field(field)->hasFocus());
    QCOMPARE(ui.dirtyCount(), marks);
}

void TestAnalysisPageFields::spinControlsStepWithinTheirRange_data()
{
    QTest::addColumn<QString>("spin");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("steps"); // positive: clicks on the upper button
    QTest::addColumn<QString>("shown");

    QTest::newRow("confidence stops at 99") << "udConfidenceLevel"
                                            << "txtConfidenceLevel" << 6 << "99";
    QTest::newRow("peak height stops at 0") << "udIncludePeaks"
                                            << "txtIncludePeaks" << -12 << "0";
    QTest::newRow("slope stops at 1") << "udSlopeThreshold"
                                      << "txtSlopeThreshold" << -12 << "1";
    QTest::newRow("first power stops at 25") << "udeSize(0)"
                                             << "txtPower(0)" << 40 << "25";
    QTest::newRow("other powers stop at -25") << "udeTime(3)"
                                              << "txtPower(3)" << -40 << "-25";
}

void TestAnalysisPageFields::spinControlsStepWithinTheirRange()
{
    QFETCH(QString, spin);
    QFETCH(QString, field);
    QFETCH(int, steps);
    QFETCH(QString, shown);
    Editor editor;
    editor.ui.showTab(tabOf(field));
    auto *updown = editor.ui.control<UpDown>(spin);
    QVERIFY(updown);
    for (int i = 0; i < std::abs(steps); ++i)
        editor.ui.click(steps > 0 ? static_cast<QWidget *>(updown->upButton())
                                  : static_cast<QWidget *>(updown->downButton()));
    QCOMPARE(editor.field(field)->Text(), shown);
}

void TestAnalysisPageFields::amountIsNormalisedOnLeaving_data()
{
    QTest::addColumn<float>("loaded");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("mantissa");
    QTest::addColumn<QString>("power");

    QTest::newRow("150 over 1.50 with power 3") << 1.5e3f << "150"
                                                << ""
                                                << "1.50"
                                                << "5";
    QTest::newRow("0.0125 over 1.50 with power 0") << 1.5f << "0.0125"
                                                   << ""
                                                   << "1.25"
                                                   << "-2";
    QTest::newRow("150 over 1.50 with power 24 leaves 26") << 1.5e24f << "150"
                                                           << ""
                                                           << "1.50"
                                                           << "26";
    QTest::newRow("7") << 2.0e-4f << "7"
                       << ""
                       << "7.00"
                       << "-4";
    QTest::newRow("12.5") << 1.0f << "12.5"
                          << ""
                          << "1.25"
                          << "1";
    QTest::newRow("leading zeros") << 1.0f << "000123"
                                   << ""
                                   << "1.23"
                                   << "2";
    QTest::newRow("0.10") << 1.0e3f << "0.10"
                          << ""
                          << "1.0"
                          << "2";
    QTest::newRow("zero") << 2.5e-9f << "0"
                          << ""
                          << "0.00"
                          << "-9";
    QTest::newRow("lone point") << 2.5e-9f << "\b."
                                << ""
                                << "0.00"
                                << "-9";
    QTest::newRow("unchanged text") << 1.234e4f << ""
                                    << ""
                                    << "1.234"
                                    << "4";
    QTest::newRow("retyped text") << 1.5e-6f << "1.50"
                                  << ""
                                  << "1.50"
                                  << "-6";
    QTest::newRow("pasted exponent") << 1.0f << ""
                                     << "2.5e-3"
                                     << "2.5"
                                     << "-3";
    QTest::newRow("pasted with spaces") << 1.0e2f << ""
                                        << " 150 "
                                        << "1.50"
                                        << "4";
    QTest::newRow("pasted power of ten") << 1.0f << ""
                                         << "1e-12"
                                         << "1.00"
                                         << "-12";
    QTest::newRow("pasted exponent keeps its digits") << 1.0f << ""
                                                      << "1.50e2"
                                                      << "1.50"
                                                      << "2";
    QTest::newRow("pasted negative") << 1.0e2f << ""
                                     << "-150"
                                     << "0.00"
                                     << "2";
    QTest::newRow("pasted text") << 1.0e2f << ""
                                 << "abc"
                                 << "0.00"
                                 << "2";
}

void TestAnalysisPageFields::amountIsNormalisedOnLeaving()
{
    QFETCH(float, loaded);
    QFETCH(QString, keys);
    QFETCH(QString, pasted);
    QFETCH(QString, mantissa);
    QFETCH(QString, power);
    Editor editor([&](FragAnalysisParam &s) { s.setQuantAmount(1, loaded); });
    TextBox *amount = editor.field(QStringLiteral("txtAmount(1)"));
    editor.typeOver(amount->objectName(), keys);
    if (!pasted.isEmpty()) {
        QGuiApplication::clipboard()->setText(pasted);
        amount->paste(); // over the text selected on focus
    }
    editor.ui.resetDirty();
    editor.ui.clickInto(editor.field(QStringLiteral("txtSizeTime(0)")));
    QCOMPARE(amount->Text(), mantissa);
    QCOMPARE(editor.field(QStringLiteral("txtPower(1)"))->Text(), power);
    QCOMPARE(editor.ui.dirtyCount(), 0);
    QVERIFY(editor.host.hook().reports.isEmpty());

    // A power pushed past 25 stays until the power field itself is left.
    editor.ui.clickInto(editor.field(QStringLiteral("txtPower(1)")));
    editor.ui.tabOut();
    const int shown = editor.field(QStringLiteral("txtPower(1)"))->Text().toInt();
    QCOMPARE(shown, qBound(-25, power.toInt(), 25));
}

void TestAnalysisPageFields::powerOfAText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("power");

    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("not a number") << "1.2.3" << 0;
    QTest::newRow("-0.05") << "-0.05" << -2;
    QTest::newRow("0.5") << "0.5" << -1;
    QTest::newRow("0.0125") << "0.0125" << -2;
    QTest::newRow("7") << "7" << 0;
    QTest::newRow("150") << "150" << 2;
    QTest::newRow("999") << "999" << 2;
    QTest::newRow("1000") << "1000" << 3;
    QTest::newRow("0.001") << "0.001" << -3;
    QTest::newRow("spaces and exponent") << " 2.5e-7 " << -7;
    QTest::newRow("exact power of ten") << "1e-12" << -12;
}

void TestAnalysisPageFields::powerOfAText()
{
    QFETCH(QString, text);
    QFETCH(int, power);
    PageHost host;
    AnalysisParamPage page;
    QCOMPARE(page.GetPower(text), power);
}

void TestAnalysisPageFields::validationColoursAndTips_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("keys"); // typed over the field; "\b" alone leaves it empty
    QTest::addColumn<bool>("leave");   // leave the field before validating
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QStringList>("yellow"); // fields marked, with the tip below
    QTest::addColumn<QString>("tip");

    const QString between = QStringLiteral("Value should be between %1 and %2");
    const QString window = QStringLiteral("Size/Time field has to be greater than reference window field ");
    QTest::newRow("size/time 2500") << "txtSizeTime(0)"
                                    << "2500" << true << false << QStringList{"txtSizeTime(0)"}
                                    << between.arg(0).arg(2000);
    QTest::newRow("size/time 2000 passes") << "txtSizeTime(0)"
                                           << "2000" << true << true << QStringList{} << "";
    QTest::newRow("window pasted -5") << "txtWindow(1)"
                                      << "-5" << true << false << QStringList{"txtWindow(1)"}
                                      << between.arg(0).arg(1999);
    // Out of range, and so also wider than the row's size/time: the second tip replaces the first.
    QTest::newRow("window 2000") << "txtWindow(1)"
                                 << "2000" << true << false << QStringList{"txtSizeTime(1)", "txtWindow(1)"} << window;
    QTest::newRow("slope 0.6") << "txtSlopeThreshold"
                               << "0.6" << true << false << QStringList{"txtSlopeThreshold"}
                               << between.arg(1).arg(1000);
    QTest::newRow("slope 1.5 passes") << "txtSlopeThreshold"
                                      << "1.5" << true << true << QStringList{} << "";
    QTest::newRow("size/time left empty") << "txtSizeTime(2)"
                                          << "\b" << false << true << QStringList{} << "";
    QTest::newRow("size/time pasted -5") << "txtSizeTime(2)"
                                         << "-5" << true << false << QStringList{"txtSizeTime(2)", "txtWindow(2)"}
                                         << window;
    // The seeded rows hold size/time 100, 200, 300, 400 and windows 5, 5, 10, 10.
    QTest::newRow("window 0 never compares") << "txtSizeTime(3)"
                                             << "0" << true << true << QStringList{} << "";
    QTest::newRow("window equal to size/time")
        << "txtWindow(2)"
        << "300" << true << false << QStringList{"txtSizeTime(2)", "txtWindow(2)"} << window;
    QTest::newRow("window above size/time")
        << "txtWindow(0)"
        << "150" << true << false << QStringList{"txtSizeTime(0)", "txtWindow(0)"} << window;
    QTest::newRow("window just below") << "txtWindow(2)"
                                       << "299.5" << true << true << QStringList{} << "";
    QTest::newRow("window left empty") << "txtWindow(0)"
                                       << "\b" << false << true << QStringList{} << "";
}

void TestAnalysisPageFields::validationColoursAndTips()
{
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(bool, leave);
    QFETCH(bool, valid);
    QFETCH(QStringList, yellow);
    QFETCH(QString, tip);
    Editor editor([](FragAnalysisParam &s) { s.setQuantWindow(3, 0); });
    const QStringList checked{"txtSizeTime(0)",    "txtSizeTime(1)",  "txtSizeTime(2)",    "txtSizeTime(3)",
                              "txtWindow(0)",      "txtWindow(1)",    "txtWindow(2)",      "txtWindow(3)",
                              "txtSlopeThreshold", "txtIncludePeaks", "txtConfidenceLevel"};
    QVERIFY(editor.ui.validate());
    for (const QString &name : checked)
        QCOMPARE(editor.field(name)->BackColor(), colors::kWindowBackground);

    const QString original = editor.field(field)->Text();
    if (keys.startsWith(QLatin1Char('-'))) { // a minus only arrives by pasting
        editor.typeOver(field, QString());
        QGuiApplication::clipboard()->setText(keys);
        editor.field(field)->paste();
    } else {
        editor.typeOver(field, keys);
    }
    if (leave)
        editor.ui.tabOut();
    QCOMPARE(editor.ui.validate(), valid);
    for (const QString &name : checked) {
        const bool marked = yellow.contains(name);
        QCOMPARE(editor.field(name)->BackColor(), marked ? colors::kYellow : colors::kWindowBackground);
        QCOMPARE(editor.field(name)->ToolTipText(), marked ? tip : QString());
    }
    if (!leave) {
        QCOMPARE(editor.field(field)->Text(), QString());
        return;
    }
    // Put right, the field gets the window colour back and loses its tip.
    editor.typeOver(field, original);
    editor.ui.tabOut();
    QVERIFY(editor.ui.validate());
    for (const QString &name : yellow) {
        QCOMPARE(editor.field(name)->BackColor(), colors::kWindowBackground);
        QCOMPARE(editor.field(name)->ToolTipText(), QString());
    }
}

void TestAnalysisPageFields::saveButtonLeavesTheFieldFirst()
{
    // In the application's own window: clicking Save takes the focus, so the field's rule on leaving
    // runs before the page is validated and saved.
    PageHost host;
    const AnalysisParameterPtr set = storeCopyOfDefault(host, QStringLiteral("Saved from the window"),
                                                        [](FragAnalysisParam &s) { s.setQuantAmount(0, 1.5e3f); });
    bool typed = false;
    onNextWindow([&](host::ServiceWindowDialog &window) {
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QWidget *page = window.currentPage();
        QTest::keyClick(page, Qt::Key_Q, Qt::AltModifier); // the Quantitation tab
        auto *amount = page->findChild<TextBox *>(QStringLiteral("txtAmount(0)"));
        QTest::mouseClick(amount, Qt::LeftButton);
        QTest::keyClick(amount, Qt::Key_Home);
        QTest::keyClick(amount, Qt::Key_End, Qt::ShiftModifier);
        QTest::keyClicks(amount, QStringLiteral("150"));
        QTest::keyClick(page, Qt::Key_G, Qt::AltModifier); // hiding the tab moves the focus on
        QCOMPARE(amount->Text(), QStringLiteral("1.50"));
        auto *slope = page->findChild<TextBox *>(QStringLiteral("txtSlopeThreshold"));
        QTest::mouseClick(slope, Qt::LeftButton);
        QTest::keyClick(slope, Qt::Key_Home);
        QTest::keyClick(slope, Qt::Key_End, Qt::ShiftModifier);
        QTest::keyClicks(slope, QStringLiteral("0.4"));
        typed = true;
        clickCommand(window, 1);
    });
    CollectionPtr context = newCollection();
    context->Add(toVariant(set), keys::kAnalysisParameter);
    const ServiceWindowPtr window =
        App().RunService(flows::kEditAnalysisParameters, context, nullptr, flow_options::kEditExistingSet);
    QVERIFY(typed);
    QVERIFY(!window->WasCancelled());
    QVERIFY(host.shownReports().isEmpty());
    const FragAnalysisParamPtr stored = host.loadSet(QStringLiteral("Saved from the window"))->FragAnalysisParam();
    QCOMPARE(stored->SlopeThreshold(), 1.0f);
    QCOMPARE(stored->QuantAmount(0), 1.5e5f);
}

// ---- generated amounts ---------------------------------------------------------------------------

namespace {

// A quantity rounded as the editor shows it: four significant digits, an exact half rounded away
// from zero, read back in single precision.
float shownQuantity(float quantity)
{
    if (quantity == 0)
        return 0;
    // The exact decimal value of the single, digit by digit.
    const QString exact = QString::asprintf("%.120e", double(quantity));
    const qsizetype e = exact.indexOf(QLatin1Char('e'));
    QString digits = exact.left(e);
    digits.remove(QLatin1Char('.'));
    int exponent = exact.mid(e + 1).toInt();
    qint64 kept = digits.left(4).toLongLong();
    const QString rest = digits.mid(4);
    if (rest.at(0) >= QLatin1Char('5'))
        ++kept;
    if (kept == 10000) {
        kept = 1000;
        ++exponent;
    }
    return float(QStringLiteral("%1e%2").arg(kept).arg(exponent - 3).toDouble());
}

QList<float> generatedQuantities(quint32 seed, int count)
{
    // 1.0625 and 2.5625 are exact halves at the fourth digit; both fall on rows that are only focused.
    QList<float> out{0,       1,       9.99f,   10,      0.00015f, 1.5e-6f, 12340,   9.9995f, 9.9994f,
                     1.0005f, 1.0625f, 1.2345f, 2.5625f, 99999,    1e-9f,   2.5e-9f, 5e-10f,  3.4e10f};
    QRandomGenerator random(seed);
    while (out.size() < count) {
        const int exponent = random.bounded(-20, 21);
        switch (random.bounded(3)) {
        case 0: // any single in range
            out << float((1.0 + random.bounded(9.0)) * std::pow(10.0, exponent));
            break;
        case 1: // just around a half at the fourth digit
            out << std::nextafter(float((random.bounded(1000, 10000) + 0.5) * std::pow(10.0, exponent - 3)),
                                  random.bounded(2) ? 0.0f : 1e30f);
            break;
        default: // few digits, as people type them
            out << float(random.bounded(1, 1000) * std::pow(10.0, exponent));
            break;
        }
    }
    return out;
}

// A decimal text as people type it into an amount: up to six digits, at most one point among them.
QString typedDecimal(QRandomGenerator &random)
{
    QString text;
    const int length = random.bounded(1, 7);
    const int point = random.bounded(2) ? random.bounded(length) : -1;
    for (int i = 0; i < length; ++i)
        text += i == point ? QLatin1Char('.') : QChar(u'0' + random.bounded(10));
    return text == QLatin1String(".") ? QStringLiteral("5") : text;
}

} // namespace

void TestAnalysisPageFields::generatedAmounts_data()
{
    QTest::addColumn<QString>("engine");
    for (const QString &engine : storeEngines())
        QTest::newRow(qPrintable(engine)) << engine;
}

void TestAnalysisPageFields::generatedAmounts()
{
    // Rows 0 and 2 are focused and left: what is stored is what the editor showed. Rows 1 and 3 get
    // a number typed over them: the quantity becomes that number times ten to the power shown.
    QFETCH(QString, engine);
    const quint32 seed = testSeed();
    QRandomGenerator random(seed);
    const QList<float> quantities = generatedQuantities(seed, 300);
    const StoreLocation location(engine);
    PageHost host(location.location());
    QElapsedTimer clock;
    clock.start();
    qsizetype checked = 0;
    for (qsizetype first = 0; first < quantities.size() && clock.elapsed() < 120000; first += 4) {
        const QString name = QStringLiteral("Amounts %1").arg(first);
        const AnalysisParameterPtr set = storeCopyOfDefault(host, name, [&](FragAnalysisParam &s) {
            for (int row = 0; row < 4; ++row)
                s.setQuantAmount(row, quantities.value(first + row));
        });
        EditorHarness ui(host);
        QVERIFY(ui.open(set));
        ui.showTab(kQuantitation);
        QStringList typed, powers;
        for (int row = 0; row < 4; ++row) {
            TextBox *amount = ui.field(rowName("txtAmount", row));
            powers << ui.field(rowName("txtPower", row))->Text();
            typed << (row % 2 ? typedDecimal(random) : QString());
            ui.tabInto(amount);
            // Backspace first: a "." is refused while the selected text still holds one.
            if (row % 2)
                ui.type(amount, QLatin1Char('\b') + typed.last());
            ui.clickInto(ui.field(rowName("txtSizeTime", row)));
        }
        ui.save();
        const FragAnalysisParamPtr stored = host.loadSet(name)->FragAnalysisParam();
        for (int row = 0; row < 4; ++row) {
            const float loaded = quantities.value(first + row);
            const float expected = typed.at(row).isEmpty()
                                       ? shownQuantity(loaded)
                                       : float(QStringLiteral("%1e%2").arg(typed.at(row), powers.at(row)).toDouble());
            QVERIFY2(stored->QuantAmount(row) == expected,
                     qPrintable(QStringLiteral("seed %1: %2 loaded, '%3' typed over power %4; stored %5, shown %6 e %7")
                                    .arg(seed)
                                    .arg(double(loaded), 0, 'g', 9)
                                    .arg(typed.at(row), powers.at(row))
                                    .arg(double(stored->QuantAmount(row)), 0, 'g', 9)
                                    .arg(ui.field(rowName("txtAmount", row))->Text(),
                                         ui.field(rowName("txtPower", row))->Text())));
            ++checked;
        }
        QVERIFY2(host.hook().reports.isEmpty(), qPrintable(QStringLiteral("seed %1").arg(seed)));
    }
    QVERIFY(checked >= 200);
}

// ---- keystroke fuzz ------------------------------------------------------------------------------

namespace {

struct Bounds
{
    const char *field;
    double minimum;
    double maximum;
};

// Fields whose whole value is held within bounds on leaving.
const Bounds kHeld[] = {{"txtConfidenceLevel", 75, 99}, {"txtIncludePeaks", 0, 100}, {"txtSlopeThreshold", 1, 1000},
                        {"txtPower(0)", -25, 25},       {"txtPower(1)", -25, 25},    {"txtPower(2)", -25, 25},
                        {"txtPower(3)", -25, 25}};

// Fields validation checks against a range.
const Bounds kChecked[] = {{"txtSizeTime(0)", 0, 2000}, {"txtWindow(0)", 0, 1999},     {"txtSizeTime(1)", 0, 2000},
                           {"txtWindow(1)", 0, 1999},   {"txtSizeTime(2)", 0, 2000},   {"txtWindow(2)", 0, 1999},
                           {"txtSizeTime(3)", 0, 2000}, {"txtWindow(3)", 0, 1999},     {"txtSlopeThreshold", 1, 1000},
                           {"txtIncludePeaks", 0, 100}, {"txtConfidenceLevel", 75, 99}};

// Whether validation should pass, judged from the texts alone.
bool expectedValid(Editor &editor)
{
    for (const Bounds &b : kChecked) {
        const std::optional<double> v = number(editor.field(QLatin1String(b.field))->Text());
        if (v && (*v < b.minimum || *v > b.maximum))
            return false;
    }
    for (int row = 0; row < 4; ++row) {
        const QString windowText = editor.field(rowName("txtWindow", row))->Text().trimmed();
        const std::optional<double> s = number(editor.field(rowName("txtSizeTime", row))->Text());
        const std::optional<double> w = number(windowText);
        if (s && w && !windowText.isEmpty() && std::fabs(*w) != 0 && *s - std::fabs(*w) <= 0)
            return false;
    }
    return true;
}

// The quantity a row shows, with the power read as the whole number the editor makes of it.
long double quantityOf(const QString &mantissa, const QString &power)
{
    const std::optional<double> m = number(mantissa);
    const std::optional<double> p = number(power);
    if (!m || !p)
        return std::nanl("");
    return (long double)(*m) * std::pow(10.0L, (long double)whole(*p));
}

} // namespace

void TestAnalysisPageFields::keystrokeFuzz()
{
    const quint32 seed = testSeed();
    QRandomGenerator random(seed);
    Editor editor;
    QStringList fields{"txtConfidenceLevel", "txtIncludePeaks", "txtSlopeThreshold"};
    for (int row = 0; row < 4; ++row)
        fields << rowName("txtSizeTime", row) << rowName("txtWindow", row) << rowName("txtAmount", row)
               << rowName("txtPower", row);
    const QString keys = QStringLiteral("0123456789..--,, aeEx+");
    const QString pastes[] = {"", " 12 ", "-3", "1e3", "2.5e-2", "x", "1,5", ".", "-", "99999", "0.5", "7 "};

    QElapsedTimer clock;
    clock.start();
    int sequences = 0;
    for (; sequences < 3000 && clock.elapsed() < 90000; ++sequences) {
        const QString name = fields.at(random.bounded(int(fields.size())));
        TextBox *box = editor.field(name);
        editor.ui.showTab(tabOf(name));
        if (random.bounded(2))
            editor.ui.tabInto(box);
        else
            editor.ui.clickInto(box);
        const bool amount = name.startsWith(QLatin1String("txtAmount"));
        const int row = amount ? name.at(10).digitValue() : 0;
        TextBox *power = editor.field(rowName("txtPower", row));
        const QString onFocus = box->Text();
        const QString powerBefore = power->Text();

        QString journal;
        const int length = random.bounded(9);
        for (int k = 0; k < length; ++k) {
            const int pick = random.bounded(int(keys.size()) + 3);
            if (pick < keys.size()) {
                journal += keys.at(pick);
                QTest::keyClicks(box, QString(keys.at(pick)));
            } else if (pick == keys.size()) {
                journal += QStringLiteral("<bs>");
                QTest::keyClick(box, Qt::Key_Backspace);
            } else if (pick == keys.size() + 1) {
                journal += QStringLiteral("<home>");
                QTest::keyClick(box, Qt::Key_Home, Qt::ShiftModifier);
            } else {
                const QString pasted = pastes[random.bounded(int(std::size(pastes)))];
                journal += QStringLiteral("<paste '%1'>").arg(pasted);
                QGuiApplication::clipboard()->setText(pasted);
                box->paste();
            }
        }
        const QString typed = box->Text();
        const QString where = QStringLiteral("seed %1, sequence %2: %3 keys %4 gave '%5'")
                                  .arg(seed)
                                  .arg(sequences)
                                  .arg(name, journal, typed);
        if (random.bounded(2))
            editor.ui.tabOut();
        else
            editor.ui.clickInto(editor.field(fields.at(random.bounded(int(fields.size())))));
        if (box->hasFocus()) // clicked into itself: leave for good
            editor.ui.tabOut();

        const QString left = box->Text();
        if (!editor.host.hook().reports.isEmpty())
            QFAIL(qPrintable(where + QStringLiteral(": ") + editor.host.hook().reports.first().error.description()));
        for (const Bounds &b : kHeld) {
            if (name != QLatin1String(b.field))
                continue;
            const std::optional<double> v = number(left);
            QVERIFY2(v && whole(*v) >= b.minimum && whole(*v) <= b.maximum,
                     qPrintable(where + QStringLiteral(", left '%1'").arg(left)));
        }
        if (name.startsWith(QLatin1String("txtSizeTime")) || name.startsWith(QLatin1String("txtWindow")))
            QVERIFY2(number(left), qPrintable(where + QStringLiteral(", left '%1'").arg(left)));
        if (amount && typed.compare(onFocus, Qt::CaseInsensitive) != 0) {
            static const QRegularExpression mantissa(QStringLiteral("^\\d\\.\\d+$"));
            QVERIFY2(mantissa.match(left).hasMatch(), qPrintable(where + QStringLiteral(", left '%1'").arg(left)));
            const std::optional<double> value = number(typed);
            // A minus sign in front makes a text no amount; the row then holds zero.
            const long double before =
                value && !typed.trimmed().startsWith(QLatin1Char('-')) ? quantityOf(typed, powerBefore) : 0.0L;
            const long double after = quantityOf(left, power->Text());
            QVERIFY2(
                std::fabs(after - before) <= std::fabs(before) * 1e-12L,
                qPrintable(where +
                           QStringLiteral(", left '%1' e %2 (power was %3)").arg(left, power->Text(), powerBefore)));
        } else if (amount) {
            QVERIFY2(left == typed && power->Text() == powerBefore, qPrintable(where));
        }

        const bool expected = expectedValid(editor);
        QVERIFY2(editor.ui.validate() == expected,
                 qPrintable(where + QStringLiteral(", expected %1").arg(expected ? "valid" : "invalid")));
        QVERIFY2(editor.host.hook().reports.isEmpty(), qPrintable(where));
    }
    qInfo("%d sequences, seed %u", sequences, seed);
}

QTEST_MAIN(TestAnalysisPageFields)
#include "test_analysis_page_fields.moc"
