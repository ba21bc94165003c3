// The editor's number fields driven as a user drives them: keys, pastes from the context menu, Tab
// and clicks; then what Validate and Save make of the result.

#include "editor_harness.h"
#include "host/objects/store_fixture.h"
#include "support/data_rows.h"

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

QString rowName(const char *array, int row)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(array)).arg(row);
}

struct Bounds
{
    const char *field;
    double minimum;
    double maximum;
};

// Fields validation checks against a range.
const Bounds kChecked[] = {{"txtSizeTime(0)", 0, 2000}, {"txtWindow(0)", 0, 1999},     {"txtSizeTime(1)", 0, 2000},
                           {"txtWindow(1)", 0, 1999},   {"txtSizeTime(2)", 0, 2000},   {"txtWindow(2)", 0, 1999},
                           {"txtSizeTime(3)", 0, 2000}, {"txtWindow(3)", 0, 1999},     {"txtSlopeThreshold", 1, 1000},
                           {"txtIncludePeaks", 0, 100}, {"txtConfidenceLevel", 75, 99}};

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
    // Focuses the field by Tab (which selects its text, so typing replaces it) and counts the marks
    // from there; types keys, then pastes `pasted` over what is selected, when given.
    void enter(const QString &name, const QString &keys, const QString &pasted = {})
    {
        TextBox *box = field(name);
        ui.showTab(tabOf(name));
        ui.tabInto(box);
        ui.resetDirty();
        ui.type(box, keys);
        if (pasted.isEmpty())
            return;
        QGuiApplication::clipboard()->setText(pasted);
        const QString before = box->Text();
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier); // a typed Ctrl+V is a key the filter refuses
        QCOMPARE(box->Text(), before);
        box->paste(); // what the context menu's Paste does
    }
};

} // namespace

class TestAnalysisPageFields : public QObject
{
    Q_OBJECT
private slots:
    void typingAndLeaving_data();
    void typingAndLeaving();
    void spinControlsStepWithinTheirRange_data();
    void spinControlsStepWithinTheirRange();
    void amountIsNormalisedOnLeaving_data();
    void amountIsNormalisedOnLeaving();
    void powerOfAText_data();
    void powerOfAText();
    void rangeChecksAtTheirBounds_data();
    void rangeChecksAtTheirBounds();
    void validationColoursAndTips_data();
    void validationColoursAndTips();
    void saveButtonLeavesTheFieldFirst();
    void generatedAmounts_data();
    void generatedAmounts();
    void keystrokeFuzz();
};

void TestAnalysisPageFields::typingAndLeaving_data()
{
    // Keys are typed over the selected text, then `pasted` comes through the context menu; the field
    // shows `shown`, and `left` once left by Tab or by a click into another field. Each change of the
    // text marks the set dirty, in the fields that hold the user's data: `marks` in all. An amount's
    // power is checked with the amounts below.
    columns<QString, QString, QString, QString, bool, QString, int>("field", "keys", "pasted", "shown", "byClick",
                                                                    "left", "marks");
    row("confidence: letters, comma, signs, space refused", "txtConfidenceLevel", "a,-+ 9x0", "", "90", false, "90", 2);
    row("confidence: a fourth key refused, 100 held at 99", "txtConfidenceLevel", "1004", "", "100", true, "99", 4);
    row("confidence emptied", "txtConfidenceLevel", "\b", "", "", false, "95", 2);
    row("confidence 74", "txtConfidenceLevel", "74", "", "74", false, "75", 3);
    row("confidence lone point", "txtConfidenceLevel", ".", "", ".", false, "95", 2);
    row("confidence pasted exponent", "txtConfidenceLevel", "", "1e2", "1e2", false, "99", 2);
    row("confidence pasted spaces", "txtConfidenceLevel", "", " 80", " 80", false, " 80", 1);
    row("confidence pasted comma", "txtConfidenceLevel", "", "8,5", "8,5", false, "95", 2);
    row("peak height: second point passes, then 1", "txtIncludePeaks", "1..", "", "1..", false, "1", 4);
    row("peak height 0.5 stays", "txtIncludePeaks", "0.5", "", "0.5", true, "0.5", 3);
    // Bounds hold the whole value: -.5 is 0, -.6 is -1.
    row("peak height pasted -.6", "txtIncludePeaks", "", "-.6", "-.6", false, "0", 2);
    row("peak height pasted -.5 stays", "txtIncludePeaks", "", "-.5", "-.5", false, "-.5", 1);
    row("peak height: a fourth key refused, 101 held at 100", "txtIncludePeaks", "1011", "", "101", false, "100", 4);
    row("slope: four keys, 1001 held at 1000", "txtSlopeThreshold", "10015", "", "1001", false, "1000", 5);
    row("slope 0.6 stays", "txtSlopeThreshold", "0.6", "", "0.6", false, "0.6", 3);
    row("slope 0.5 rounds to 0", "txtSlopeThreshold", "0.5", "", "0.5", false, "1", 4);
    row("slope emptied", "txtSlopeThreshold", "\b", "", "", false, "1", 2);
    row("size/time: second point passes, then 0", "txtSizeTime(0)", "1.2.3", "", "1.2.3", false, "0", 6);
    row("size/time: minus refused", "txtSizeTime(1)", "-12", "", "12", false, "12", 2);
    row("size/time 2500 stays", "txtSizeTime(1)", "2500", "", "2500", true, "2500", 4);
    row("size/time: seven keys", "txtSizeTime(2)", "12345678", "", "1234567", false, "1234567", 7);
    row("size/time pasted -5 stays", "txtSizeTime(2)", "", "-5", "-5", false, "-5", 1);
    row("window: seven keys", "txtWindow(3)", "12345678", "", "1234567", false, "1234567", 7);
    row("window emptied", "txtWindow(3)", "\b", "", "", true, "0", 2);
    row("amount: second point refused", "txtAmount(0)", "1.2.3", "", "1.23", false, "1.23", 0);
    row("amount: six keys", "txtAmount(1)", "1234567", "", "123456", true, "1.23456", 0);
    row("amount: minus and letters refused", "txtAmount(2)", "-e5", "", "5", false, "5.00", 0);
    // The whole loaded text is selected and holds a "."; the filter looks at the text, not at what
    // the key would replace.
    row("amount: point refused over a selected point", "txtAmount(3)", ".5", "", "5", false, "5.00", 0);
    row("power: minus and point pass", "txtPower(0)", "-.5", "", "-.5", false, "-.5", 0);
    row("power: plus and letters refused", "txtPower(1)", "+e3", "", "3", false, "3", 0);
    row("power: three keys", "txtPower(2)", "-251", "", "-25", false, "-25", 0);
    row("power 25 stays", "txtPower(0)", "25", "", "25", false, "25", 0);
    row("power 26", "txtPower(0)", "26", "", "26", false, "25", 0);
    row("power -26", "txtPower(1)", "-26", "", "-26", true, "-25", 0);
    row("power lone minus", "txtPower(2)", "-", "", "-", false, "0", 0);
    row("power emptied", "txtPower(3)", "\b", "", "", true, "0", 0);
    row("power pasted 1e9, beyond 32 bits", "txtPower(3)", "", "1e9", "1e9", false, "25", 0);
    row("name: every key passes", "txtParameterSetName", "a,-+ 9", "", "a,-+ 9", false, "a,-+ 9", 6);
    row("name: 127 characters", "txtParameterSetName", QString(128, u'n'), "", QString(127, u'n'), false,
        QString(127, u'n'), 127);
}

void TestAnalysisPageFields::typingAndLeaving()
{
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(QString, pasted);
    QFETCH(QString, shown);
    QFETCH(bool, byClick);
    QFETCH(QString, left);
    QFETCH(int, marks);
    // A new set, so that its name can be typed too.
    Editor editor([](FragAnalysisParam &s) { s.setQuantAmount(3, 1.5f); }, true);
    TextBox *box = editor.field(field);
    editor.enter(field, keys, pasted);
    QCOMPARE(box->Text(), shown);
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
    QCOMPARE(editor.ui.dirtyCount(), marks);
    QVERIFY(editor.host.hook().reports.isEmpty());
}

void TestAnalysisPageFields::spinControlsStepWithinTheirRange_data()
{
    // steps: clicks on the upper button, or on the lower one when negative
    columns<QString, QString, int, QString>("spin", "field", "steps", "shown");
    row("confidence stops at 99", "udConfidenceLevel", "txtConfidenceLevel", 6, "99");
    row("peak height stops at 0", "udIncludePeaks", "txtIncludePeaks", -12, "0");
    row("slope stops at 1", "udSlopeThreshold", "txtSlopeThreshold", -12, "1");
    row("first power stops at 25", "udeSize(0)", "txtPower(0)", 40, "25");
    row("other powers stop at -25", "udeTime(3)", "txtPower(3)", -40, "-25");
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
    columns<float, QString, QString, QString, QString>("loaded", "keys", "pasted", "mantissa", "power");
    row("0.0125 over 1.50 with power 0", 1.5f, "0.0125", "", "1.25", "-2");
    row("150 over 1.50 with power 24 leaves 26", 1.5e24f, "150", "", "1.50", "26");
    row("7", 2.0e-4f, "7", "", "7.00", "-4");
    row("12.5", 1.0f, "12.5", "", "1.25", "1");
    row("leading zeros", 1.0f, "000123", "", "1.23", "2");
    row("0.10", 1.0e3f, "0.10", "", "1.0", "2");
    row("zero", 2.5e-9f, "0", "", "0.00", "-9");
    row("lone point", 2.5e-9f, "\b.", "", "0.00", "-9");
    row("unchanged text", 1.234e4f, "", "", "1.234", "4");
    row("retyped text", 1.5e-6f, "1.50", "", "1.50", "-6");
    row("pasted exponent", 1.0f, "", "2.5e-3", "2.5", "-3");
    row("pasted with spaces", 1.0e2f, "", " 150 ", "1.50", "4");
    // The amount keeps its value: its power follows the digits, not GetPower's steps (-13).
    row("pasted power of ten", 1.0f, "", "1e-12", "1.00", "-12");
    row("pasted exponent keeps its digits", 1.0f, "", "1.50e2", "1.50", "2");
    row("pasted negative", 1.0e2f, "", "-150", "0.00", "2");
    row("pasted text", 1.0e2f, "", "abc", "0.00", "2");
}

void TestAnalysisPageFields::amountIsNormalisedOnLeaving()
{
    QFETCH(float, loaded);
    QFETCH(QString, keys);
    QFETCH(QString, pasted);
    QFETCH(QString, mantissa);
    QFETCH(QString, power);
    Editor editor([&](FragAnalysisParam &s) { s.setQuantAmount(1, loaded); });
    editor.enter(QStringLiteral("txtAmount(1)"), keys, pasted);
    editor.ui.clickInto(editor.field(QStringLiteral("txtSizeTime(0)")));
    QCOMPARE(editor.field(QStringLiteral("txtAmount(1)"))->Text(), mantissa);
    QCOMPARE(editor.field(QStringLiteral("txtPower(1)"))->Text(), power);
    QCOMPARE(editor.ui.dirtyCount(), 0);
    QVERIFY(editor.host.hook().reports.isEmpty());

    // A power pushed past 25 stays until the power field itself is left.
    editor.ui.clickInto(editor.field(QStringLiteral("txtPower(1)")));
    editor.ui.tabOut();
    QCOMPARE(editor.field(QStringLiteral("txtPower(1)"))->Text().toInt(), qBound(-25, power.toInt(), 25));
}

void TestAnalysisPageFields::powerOfAText_data()
{
    columns<QString, int>("text", "power");
    row("zero", "0", 0);
    row("empty", "", 0);
    row("not a number", "1.2.3", 0);
    row("-0.05", "-0.05", -2);
    row("0.5", "0.5", -1);
    row("999", "999", 2);
    row("1000", "1000", 3);
    row("0.001", "0.001", -3);
    row("spaces and exponent", " 2.5e-7 ", -7);
    // Stepped by ten in doubles: the last tenth that takes as many steps as it has zeros, and the
    // first that takes one more; the digits would say -11 and -12.
    row("0.0000000001 in ten steps", "0.0000000001", -10);
    row("0.00000000001 in twelve steps", "0.00000000001", -12);
    row("1e-12 in thirteen steps", "1e-12", -13);
}

void TestAnalysisPageFields::powerOfAText()
{
    QFETCH(QString, text);
    QFETCH(int, power);
    PageHost host;
    AnalysisParamPage page;
    QCOMPARE(page.GetPower(text), power);
}

void TestAnalysisPageFields::rangeChecksAtTheirBounds_data()
{
    columns<QString, double, double>("field", "minimum", "maximum");
    row("size/time", "txtSizeTime(3)", 0.0, 2000.0);
    row("window", "txtWindow(2)", 0.0, 1999.0);
    row("slope", "txtSlopeThreshold", 1.0, 1000.0);
    row("peak height", "txtIncludePeaks", 0.0, 100.0);
    row("confidence", "txtConfidenceLevel", 75.0, 99.0);
}

void TestAnalysisPageFields::rangeChecksAtTheirBounds()
{
    QFETCH(QString, field);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    // Every size/time 2000 and every window 0, so that a window of 1999 fits and no size/time below
    // 0 is compared with its window.
    Editor editor([](FragAnalysisParam &s) {
        for (int row = 0; row < 4; ++row) {
            s.setQuantSizeTime(row, 2000);
            s.setQuantWindow(row, 0);
        }
    });
    TextBox *box = editor.field(field);
    const QString tip = QStringLiteral("Value should be between %1 and %2").arg(minimum).arg(maximum);
    // Set as a loaded set or a host sets it; typing cannot reach every value past some bounds.
    for (const auto &[value, valid] :
         {std::pair{minimum - 0.1, false}, {minimum, true}, {maximum, true}, {maximum + 0.1, false}}) {
        box->setText(QString::number(value));
        QVERIFY2(editor.ui.validate() == valid, qPrintable(box->Text()));
        QCOMPARE(box->BackColor(), valid ? colors::kWindowBackground : colors::kYellow);
        QCOMPARE(box->ToolTipText(), valid ? QString() : tip);
    }
}

void TestAnalysisPageFields::validationColoursAndTips_data()
{
    // keys are typed over the field (pasted when they start with a minus, which no key gives) and the
    // field is left; "\b" alone empties it, and it is validated empty, before leaving puts 0 in.
    // `marked` names the fields made yellow, each with the tip; the page is valid with none.
    columns<QString, QString, QString, QString>("field", "keys", "marked", "tip");
    const QString window = QStringLiteral("Size/Time field has to be greater than reference window field ");
    // Out of range, and so also wider than the row's size/time: the second tip replaces the first.
    row("window 2000", "txtWindow(1)", "2000", "txtSizeTime(1) txtWindow(1)", window);
    row("size/time left empty", "txtSizeTime(2)", "\b", "", "");
    row("size/time pasted -5", "txtSizeTime(2)", "-5", "txtSizeTime(2) txtWindow(2)", window);
    // The seeded rows hold size/time 100, 200, 300, 400 and windows 5, 5, 10, 10.
    row("window 0 never compares", "txtSizeTime(3)", "0", "", "");
    row("window equal to size/time", "txtWindow(2)", "300", "txtSizeTime(2) txtWindow(2)", window);
    row("window just below", "txtWindow(2)", "299.5", "", "");
    row("window left empty", "txtWindow(0)", "\b", "", "");
}

void TestAnalysisPageFields::validationColoursAndTips()
{
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(QString, marked);
    QFETCH(QString, tip);
    Editor editor([](FragAnalysisParam &s) { s.setQuantWindow(3, 0); });
    const auto expectYellow = [&editor](const QStringList &yellow, const QString &tip) {
        for (const Bounds &b : kChecked) {
            TextBox *box = editor.field(QLatin1String(b.field));
            const bool isYellow = yellow.contains(box->objectName());
            QCOMPARE(box->BackColor(), isYellow ? colors::kYellow : colors::kWindowBackground);
            QCOMPARE(box->ToolTipText(), isYellow ? tip : QString());
        }
    };
    QVERIFY(editor.ui.validate());
    expectYellow({}, {});

    const QString original = editor.field(field)->Text();
    const bool pasted = keys.startsWith(QLatin1Char('-')); // a minus only arrives by pasting
    editor.enter(field, pasted ? QString() : keys, pasted ? keys : QString());
    const bool leave = keys != QLatin1String("\b");
    if (leave)
        editor.ui.tabOut();
    QCOMPARE(editor.ui.validate(), marked.isEmpty());
    expectYellow(marked.split(QLatin1Char(' '), Qt::SkipEmptyParts), tip);
    if (!leave) {
        QCOMPARE(editor.field(field)->Text(), QString());
        return;
    }
    // Put right, the fields get the window colour back and lose their tips.
    editor.enter(field, original);
    editor.ui.tabOut();
    QVERIFY(editor.ui.validate());
    expectYellow({}, {});
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
        const auto retype = [page](const char *name, const QString &text) {
            auto *box = page->findChild<TextBox *>(QLatin1String(name));
            QTest::mouseClick(box, Qt::LeftButton);
            QTest::keyClick(box, Qt::Key_Home);
            QTest::keyClick(box, Qt::Key_End, Qt::ShiftModifier);
            QTest::keyClicks(box, text);
            return box;
        };
        QTest::keyClick(page, Qt::Key_Q, Qt::AltModifier); // the Quantitation tab
        TextBox *amount = retype("txtAmount(0)", QStringLiteral("150"));
        QTest::keyClick(page, Qt::Key_G, Qt::AltModifier); // hiding the tab moves the focus on
        QCOMPARE(amount->Text(), QStringLiteral("1.50"));
        retype("txtSlopeThreshold", QStringLiteral("0.4"));
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
        row(qPrintable(engine), engine);
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

// Fields whose whole value is held within bounds on leaving.
const Bounds kHeld[] = {{"txtConfidenceLevel", 75, 99}, {"txtIncludePeaks", 0, 100}, {"txtSlopeThreshold", 1, 1000},
                        {"txtPower(0)", -25, 25},       {"txtPower(1)", -25, 25},    {"txtPower(2)", -25, 25},
                        {"txtPower(3)", -25, 25}};

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
    const QString keys = QStringLiteral("0123456789..--,, aeEx+\b");
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
            const int pick = random.bounded(int(keys.size()) + 2);
            if (pick < keys.size()) {
                journal += keys.at(pick) == u'\b' ? QStringLiteral("<bs>") : QString(keys.at(pick));
                editor.ui.type(box, QString(keys.at(pick)));
            } else if (pick == keys.size()) {
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
