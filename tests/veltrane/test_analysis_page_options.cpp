// The editor's size standard, calibration model, mobility, dye spectra and analysis switches, driven
// by clicks as a user drives them.

#include "editor_harness.h"

#include "platform/forms/check_box.h"
#include "platform/forms/colors.h"
#include "platform/forms/combo_box.h"
#include "platform/forms/command_button.h"
#include "platform/forms/label.h"
#include "platform/forms/option_button.h"
#include "platform/forms/text_box.h"
#include "platform/grid/grid_control.h"

#include <QLocale>
#include <QTest>

using namespace veltrane;
using namespace veltrane::test;

namespace {

constexpr int kGeneral = 0;
constexpr int kAnalysisMethod = 1;
constexpr int kQuantitation = 2;
constexpr int kAdvanced = 5;

const QString kLinear = QStringLiteral("Linear");
const QString kLocalSouthern = QStringLiteral("Local Southern");

// An editor on a stored copy of the default set (16 fragments of "Ladder 35-500"), with its
// size-calling entry set to the model and migration variable given.
struct Editor
{
    PageHost host;
    EditorHarness ui{host};
    explicit Editor(qint32 model = 0, qint32 migration = 0, const std::function<void(FragAnalysisParam &)> &fill = {})
    {
        QVERIFY(ui.open(storeCopyOfDefault(host, QStringLiteral("Options under test"), [&](FragAnalysisParam &s) {
            s.SizeCalibration(0)->setModelIndex(model);
            s.SizeCalibration(0)->setMigrationVariable(migration);
            if (fill)
                fill(s);
        })));
    }
    template <typename T> T *get(const char *name) { return ui.control<T>(QLatin1String(name)); }
    GridControl *peaks() { return ui.grid(QStringLiteral("grdSizeStandard")); }
    Label *requirement() { return get<Label>("lblRequirements"); }
    OptionButton *mobility() { return get<OptionButton>("optMobility"); }
    OptionButton *migrationTime() { return get<OptionButton>("optMigrationTime"); }
    bool chooseModel(const QString &model) { return ui.choose(get<ComboBox>("cmbModel"), model); }
    QList<qint16> storedPeaks()
    {
        ui.save();
        const SizeCalibrationPtr entry =
            host.loadSet(QStringLiteral("Options under test"))->FragAnalysisParam()->SizeCalibration(0);
        return entry ? entry->SelectedPeaks() : QList<qint16>{-1};
    }
};

} // namespace

class TestAnalysisPageOptions : public QObject
{
    Q_OBJECT
private slots:
    void modelRequirement_data();
    void modelRequirement();
    void localSouthernHoldsTheMigrationVariable_data();
    void localSouthernHoldsTheMigrationVariable();
    void noSizeStandardHidesItsControls();
    void onlyMouseClicksOnBoxesChangeThePeaks();
    void strAndSnpExclude_data();
    void strAndSnpExclude();
    void snpHoldsTheOptionsItNeeds();
    void oneDyeStaysTicked();
    void sizeOrTimeCaptions();
    void mobilityCoefficientsInTheUsersFormat_data();
    void mobilityCoefficientsInTheUsersFormat();
};

void TestAnalysisPageOptions::modelRequirement_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QList<qint32>>("ticked"); // grid rows ticked after Deselect All
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("red");

    const QString needs = QStringLiteral("Requires a minimum of %1 selected peaks.");
    QTest::newRow("Linear, 2") << kLinear << QList<qint32>{2, 5} << needs.arg(2) << false;
    QTest::newRow("Linear, 1") << kLinear << QList<qint32>{16} << needs.arg(2) << true;
    QTest::newRow("Linear, none") << kLinear << QList<qint32>{} << needs.arg(2) << true;
    QTest::newRow("Quadratic, 3") << "Quadratic" << QList<qint32>{1, 2, 3} << needs.arg(3) << false;
    QTest::newRow("Quadratic, 2") << "Quadratic" << QList<qint32>{1, 3} << needs.arg(3) << true;
    QTest::newRow("Local Southern, 3") << kLocalSouthern << QList<qint32>{4, 8, 12} << needs.arg(3) << false;
    QTest::newRow("Local Southern, 2") << kLocalSouthern << QList<qint32>{4, 8} << needs.arg(3) << true;
    QTest::newRow("Cubic, 4") << "Cubic" << QList<qint32>{1, 2, 3, 4} << needs.arg(4) << false;
    QTest::newRow("Cubic, 3") << "Cubic" << QList<qint32>{1, 2, 3} << needs.arg(4) << true;
    QTest::newRow("Quartic, 5") << "Quartic" << QList<qint32>{1, 3, 5, 7, 9} << needs.arg(5) << false;
    QTest::newRow("Quartic, 4") << "Quartic" << QList<qint32>{1, 3, 5, 7} << needs.arg(5) << true;
}

void TestAnalysisPageOptions::modelRequirement()
{
    QFETCH(QString, model);
    QFETCH(QList<qint32>, ticked);
    QFETCH(QString, text);
    QFETCH(bool, red);
    Editor editor;
    editor.ui.showTab(kAnalysisMethod);
    QVERIFY(editor.chooseModel(model));
    editor.ui.click(editor.get<CommandButton>("cmdDeselectAll"));
    QCOMPARE(editor.requirement()->ForeColor(), colors::kRed); // whatever the model
    QList<qint16> peaks;
    for (const qint32 row : ticked) {
        editor.ui.clickCell(editor.peaks(), row, 1);
        peaks << qint16(row - 1);
    }
    QCOMPARE(editor.requirement()->Caption(), text);
    QCOMPARE(editor.requirement()->ForeColor(), red ? colors::kRed : colors::kBlack);
    QCOMPARE(editor.ui.validate(), !red);
    // With nothing ticked the selection still holds one element, 0; only the colour tells.
    QCOMPARE(editor.storedPeaks(), peaks.isEmpty() ? QList<qint16>{0} : peaks);

    editor.ui.click(editor.get<CommandButton>("cmdSelectAll"));
    QCOMPARE(editor.requirement()->ForeColor(), colors::kBlack);
    QCOMPARE(editor.storedPeaks().size(), 16);
}

void TestAnalysisPageOptions::localSouthernHoldsTheMigrationVariable_data()
{
    QTest::addColumn<qint32>("migration"); // 0 migration time, 1 mobility, as loaded
    QTest::addColumn<bool>("peakClickedWhileHeld");
    QTest::addColumn<bool>("mobilityAfter");

    QTest::newRow("migration time comes back") << 0 << false << false;
    QTest::newRow("mobility comes back") << 1 << false << true;
    // Every evaluation under "Local Southern" stores the options it finds, the forced ones included.
    QTest::newRow("a later evaluation keeps mobility") << 0 << true << true;
}

void TestAnalysisPageOptions::localSouthernHoldsTheMigrationVariable()
{
    QFETCH(qint32, migration);
    QFETCH(bool, peakClickedWhileHeld);
    QFETCH(bool, mobilityAfter);
    Editor editor(0, migration);
    editor.ui.showTab(kAnalysisMethod);
    QCOMPARE(editor.mobility()->Value(), migration == 1);

    QVERIFY(editor.chooseModel(kLocalSouthern));
    QVERIFY(editor.mobility()->Value());
    QVERIFY(!editor.migrationTime()->Value());
    QVERIFY(!editor.mobility()->isEnabled());
    QVERIFY(!editor.migrationTime()->isEnabled());
    if (peakClickedWhileHeld)
        editor.ui.clickCell(editor.peaks(), 3, 1);

    QVERIFY(editor.chooseModel(kLinear));
    QVERIFY(editor.mobility()->isEnabled());
    QVERIFY(editor.migrationTime()->isEnabled());
    QCOMPARE(editor.mobility()->Value(), mobilityAfter);
    QCOMPARE(editor.migrationTime()->Value(), !mobilityAfter);
}

void TestAnalysisPageOptions::noSizeStandardHidesItsControls()
{
    Editor editor(0, 1);
    editor.ui.showTab(kAnalysisMethod);
    auto *standard = editor.get<ComboBox>("cmbSizeStandard");
    editor.ui.click(editor.get<CommandButton>("cmdDeselectAll")); // red: would block, were it shown
    QVERIFY(editor.ui.choose(standard, QStringLiteral("[None]")));
    QCOMPARE(editor.peaks()->rowCount(), 0);
    for (const char *hidden : {"lblDye", "lblSizeStandardFitCoef", "lblRequirements", "cmbModel"})
        QVERIFY2(!editor.get<QWidget>(hidden)->property("Visible").toBool(), hidden);
    for (const char *disabled : {"cmdSelectAll", "cmdDeselectAll", "optMigrationTime", "optMobility"})
        QVERIFY2(!editor.get<QWidget>(disabled)->isEnabled(), disabled);
    QVERIFY(!editor.mobility()->Value());
    QVERIFY(!editor.migrationTime()->Value());
    QVERIFY(editor.ui.validate());

    // Chosen again, a size standard starts with every fragment ticked and migration time.
    QVERIFY(editor.ui.choose(standard, QStringLiteral("Ladder 50-500 (20 fragments)")));
    QCOMPARE(editor.peaks()->rowCount(), 20);
    for (qint32 row = 1; row <= 20; ++row)
        QCOMPARE(editor.peaks()->cellText(row, 1), QStringLiteral("1"));
    QCOMPARE(editor.peaks()->cellText(20, 3), QStringLiteral("500"));
    QCOMPARE(editor.get<Label>("lblDye")->Caption(), QStringLiteral("D4"));
    QCOMPARE(editor.get<Label>("lblSizeStandardFitCoef")->Caption(), QStringLiteral("0.9993"));
    QVERIFY(editor.migrationTime()->Value());
    for (const char *shown : {"lblDye", "lblSizeStandardFitCoef", "lblRequirements", "cmbModel"})
        QVERIFY2(editor.get<QWidget>(shown)->property("Visible").toBool(), shown);
    QCOMPARE(editor.requirement()->ForeColor(), colors::kBlack);
    QCOMPARE(editor.storedPeaks().size(), 20);
}

void TestAnalysisPageOptions::onlyMouseClicksOnBoxesChangeThePeaks()
{
    Editor editor;
    editor.ui.showTab(kAnalysisMethod);
    GridControl *grid = editor.peaks();
    editor.ui.clickCell(grid, 1, 1);
    QCOMPARE(grid->cellText(1, 1), QStringLiteral("0"));
    // The static grid keeps no current cell of its own; give it one on the box, where a space
    // would otherwise tick it.
    grid->setCurrentCell(1, 1);
    editor.ui.resetDirty();

    QTest::keyClick(grid, Qt::Key_Space);
    QCOMPARE(grid->cellText(1, 1), QStringLiteral("0"));
    QVERIFY(!grid->readOnly()); // released with the key
    QCOMPARE(editor.ui.dirtyCount(), 0);

    // Cells outside the box column are no buttons: nothing is evaluated again.
    editor.ui.clickCell(grid, 2, 2);
    editor.ui.clickCell(grid, 3, 3);
    QCOMPARE(editor.ui.dirtyCount(), 0);

    editor.ui.clickCell(grid, 1, 1);
    QCOMPARE(grid->cellText(1, 1), QStringLiteral("1"));
    QCOMPARE(editor.ui.dirtyCount(), 1);
    QCOMPARE(editor.storedPeaks().first(), 0);
}

void TestAnalysisPageOptions::strAndSnpExclude_data()
{
    QTest::addColumn<bool>("snpFirst"); // SNP ticked when loaded, STR clicked; else the reverse
    QTest::newRow("ticking SNP unticks STR") << false;
    QTest::newRow("ticking STR unticks SNP") << true;
}

void TestAnalysisPageOptions::strAndSnpExclude()
{
    QFETCH(bool, snpFirst);
    Editor editor(0, 0, [&](FragAnalysisParam &s) {
        s.setSNPAnalysis(snpFirst);
        s.setIdentifyAlleles(0, !snpFirst);
    });
    auto *str = editor.get<CheckBox>("chkIDAlleles");
    auto *snp = editor.get<CheckBox>("chkSNP");
    auto *warning = editor.get<Label>("lblSNPWarning");
    QCOMPARE(snp->Value(), snpFirst ? 1 : 0);
    QCOMPARE(str->Value(), snpFirst ? 0 : 1);
    QCOMPARE(warning->property("Visible").toBool(), snpFirst);
    editor.ui.clickBox(snpFirst ? str : snp);
    QCOMPARE(snp->Value(), snpFirst ? 0 : 1);
    QCOMPARE(str->Value(), snpFirst ? 1 : 0);
    QCOMPARE(warning->property("Visible").toBool(), !snpFirst);
}

void TestAnalysisPageOptions::snpHoldsTheOptionsItNeeds()
{
    // Loaded with "Local Southern" (so "Mobility") and "Area".
    Editor editor(2, 1, [](FragAnalysisParam &s) { s.setQuantityByHeight(0); });
    auto *model = editor.get<ComboBox>("cmbModel");
    auto *area = editor.ui.control<OptionButton>(QStringLiteral("optQuantity(1)"));
    auto *height = editor.ui.control<OptionButton>(QStringLiteral("optQuantity(0)"));
    QCOMPARE(model->Text(), kLocalSouthern);
    QVERIFY(area->Value());

    editor.ui.clickBox(editor.get<CheckBox>("chkSNP"));
    QCOMPARE(model->Text(), kLinear);
    QVERIFY(editor.migrationTime()->Value());
    QVERIFY(height->Value());
    QVERIFY(!model->isEnabled());
    QVERIFY(!editor.mobility()->isEnabled());
    QVERIFY(!area->isEnabled());
    QVERIFY(editor.get<Label>("lblSNPWarning")->property("Visible").toBool());

    // The hold lasts while SNP analysis is ticked, whatever else re-evaluates the options.
    editor.ui.showTab(kAnalysisMethod);
    editor.ui.clickCell(editor.peaks(), 2, 1);
    QVERIFY(!editor.mobility()->isEnabled());
    QVERIFY(editor.ui.choose(editor.get<ComboBox>("cmbSizeStandard"), QStringLiteral("SNP Pair 60/120 (2 fragments)")));
    QVERIFY(!editor.mobility()->isEnabled());
    QVERIFY(editor.migrationTime()->isEnabled());
    QVERIFY(editor.ui.choose(editor.get<ComboBox>("cmbSizeStandard"), QStringLiteral("[None]")));

    // Unticking lets go without giving back the model or the options, and enables "Mobility" even
    // with no size standard.
    editor.ui.showTab(kGeneral);
    editor.ui.resetDirty();
    editor.ui.clickBox(editor.get<CheckBox>("chkSNP"));
    QVERIFY(editor.ui.dirtyCount() >= 1);
    QVERIFY(model->isEnabled());
    QVERIFY(editor.mobility()->isEnabled());
    QVERIFY(area->isEnabled());
    QVERIFY(!editor.get<Label>("lblSNPWarning")->property("Visible").toBool());
    QCOMPARE(model->Text(), kLinear);
    QVERIFY(height->Value());
}

void TestAnalysisPageOptions::oneDyeStaysTicked()
{
    Editor editor(0, 0, [](FragAnalysisParam &s) { s.setUseCalculatedDyeSpectra(false); });
    editor.ui.showTab(kAdvanced);
    QList<CheckBox *> dyes;
    for (int i = 0; i < 4; ++i)
        dyes << editor.ui.control<CheckBox>(QStringLiteral("chkDyeSpectra(%1)").arg(i));
    for (CheckBox *dye : dyes)
        QVERIFY(dye->isEnabled());
    for (int i = 0; i < 3; ++i)
        editor.ui.clickBox(dyes.at(i));
    editor.ui.clickBox(dyes.at(3));
    QCOMPARE(dyes.at(3)->Value(), 1);
    QCOMPARE(dyes.at(0)->Value(), 0);

    editor.ui.clickBox(editor.get<OptionButton>("optUseCalculatedDS"));
    for (CheckBox *dye : dyes)
        QVERIFY(!dye->isEnabled());
    QCOMPARE(dyes.at(3)->Value(), 1);
    QCOMPARE(dyes.at(2)->Value(), 0);
    editor.ui.clickBox(editor.get<OptionButton>("optSystemDS"));
    for (CheckBox *dye : dyes)
        QVERIFY(dye->isEnabled());
}

void TestAnalysisPageOptions::sizeOrTimeCaptions()
{
    Editor editor;
    editor.ui.showTab(kQuantitation);
    const auto units = [&] {
        QStringList out;
        for (int i = 0; i < 4; ++i)
            out << editor.ui.control<Label>(QStringLiteral("lblWindow(%1)").arg(i))->Caption();
        return out;
    };
    const QString sizeBefore = editor.ui.field(QStringLiteral("txtSizeTime(0)"))->Text();
    editor.ui.clickBox(editor.ui.control<OptionButton>(QStringLiteral("optDuration(1)")));
    QCOMPARE(editor.get<Label>("lblStandard")->Caption(), QStringLiteral("Time"));
    QCOMPARE(units(), QStringList(4, QStringLiteral("min")));
    QCOMPARE(editor.ui.field(QStringLiteral("txtSizeTime(0)"))->Text(), sizeBefore);
    editor.ui.clickBox(editor.ui.control<OptionButton>(QStringLiteral("optDuration(0)")));
    QCOMPARE(editor.get<Label>("lblStandard")->Caption(), QStringLiteral("Size"));
    QCOMPARE(units(), QStringList(4, QStringLiteral("nt")));
}

void TestAnalysisPageOptions::mobilityCoefficientsInTheUsersFormat_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("row"); // the first row of the grid
    QTest::newRow("C") << "C" << QStringList{"0.500000", "-0.000031", "1234.500000", "0.000000"};
    QTest::newRow("German") << "de_DE" << QStringList{"0,500000", "-0,000031", "1.234,500000", "0,000000"};
}

void TestAnalysisPageOptions::mobilityCoefficientsInTheUsersFormat()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, row);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    const auto restore = qScopeGuard([&] { QLocale::setDefault(before); });

    PageHost host;
    MobilityCalibrationSettings calibration;
    calibration.setName(QStringLiteral("Halves"));
    calibration.setCoefficient(0, 0, 0.5f);
    calibration.setCoefficient(0, 1, -0.000031f);
    calibration.setCoefficient(0, 2, 1234.5f);
    host.store().addMobilityCalibration(calibration);
    EditorHarness ui(host);
    QVERIFY(ui.open(storeCopyOfDefault(host, QStringLiteral("Mobility under test"))));
    ui.showTab(kAdvanced);
    GridControl *grid = ui.grid(QStringLiteral("grdMobility"));
    QVERIFY(ui.choose(ui.control<ComboBox>(QStringLiteral("cmbMobility")), QStringLiteral("Halves")));
    QStringList shown;
    for (qint32 col = 1; col <= 4; ++col)
        shown << grid->cellText(1, col);
    QCOMPARE(shown, row);
    QCOMPARE(grid->cellText(4, 0), QStringLiteral("Coef. 4"));
    QVERIFY(grid->readOnly());
}

QTEST_MAIN(TestAnalysisPageOptions)
#include "test_analysis_page_options.moc"
