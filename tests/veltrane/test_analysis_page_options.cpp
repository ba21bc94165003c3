// The editor's size standard, calibration model, mobility, dye spectra and analysis switches, driven
// by clicks as a user drives them.

#include "control_states.h"
#include "editor_harness.h"
#include "support/data_rows.h"

#include "platform/forms/check_box.h"
#include "platform/forms/colors.h"
#include "platform/forms/combo_box.h"
#include "platform/forms/command_button.h"
#include "platform/forms/label.h"
#include "platform/forms/option_button.h"
#include "platform/forms/text_box.h"
#include "platform/grid/grid_control.h"
#include "veltrane/analysis_page/analysis_param_page.h"
#include "veltrane/analysis_page/layout_lists.h"

#include <QLocale>
#include <QTest>

using namespace veltrane;
using namespace veltrane::test;

namespace {

const QString kLinear = QStringLiteral("Linear");
const QString kLocalSouthern = QStringLiteral("Local Southern");

// An editor on a stored copy of the default set (16 fragments of "Ladder 35-500"), with its
// size-calling entry set to the model and migration variable given; fill() may change the copy and
// add to the store before the copy is stored.
struct Editor
{
    PageHost host;
    EditorHarness ui{host};
    explicit Editor(qint32 model = 0, qint32 migration = 0,
                    const std::function<void(FragAnalysisParam &, host::SqlStore &)> &fill = {})
    {
        QVERIFY(ui.open(storeCopyOfDefault(host, QStringLiteral("Options under test"), [&](FragAnalysisParam &s) {
            s.SizeCalibration(0)->setModelIndex(model);
            s.SizeCalibration(0)->setMigrationVariable(migration);
            if (fill)
                fill(s, host.store());
        })));
    }
    template <typename T> T *get(const char *name) { return ui.control<T>(QLatin1String(name)); }
    GridControl *peaks() { return ui.grid(QStringLiteral("grdSizeStandard")); }
    Label *requirement() { return get<Label>("lblRequirements"); }
    bool chooseModel(const QString &model) { return ui.choose(get<ComboBox>("cmbModel"), model); }
    bool chooseStandard(const QString &standard) { return ui.choose(get<ComboBox>("cmbSizeStandard"), standard); }
    void clickBox(const char *name) { ui.clickBox(get<QWidget>(name)); }
    // "name=value" expectations of the page's controls (see controlState()).
    void shows(const QStringList &states) { expect(ui.page(), states); }
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
    // ticked: grid rows ticked after Deselect All
    // needs: the fewest peaks the model fits
    columns<QString, QList<qint32>, int>("model", "ticked", "needs");
    row("Linear, 2", kLinear, QList<qint32>{2, 5}, 2);
    row("Linear, 1", kLinear, QList<qint32>{16}, 2);
    row("Linear, none", kLinear, QList<qint32>{}, 2);
    row("Quadratic, 3", "Quadratic", QList<qint32>{1, 2, 3}, 3);
    row("Quadratic, 2", "Quadratic", QList<qint32>{1, 3}, 3);
    row("Local Southern, 3", kLocalSouthern, QList<qint32>{4, 8, 12}, 3);
    row("Local Southern, 2", kLocalSouthern, QList<qint32>{4, 8}, 3);
    row("Cubic, 4", "Cubic", QList<qint32>{1, 2, 3, 4}, 4);
    row("Cubic, 3", "Cubic", QList<qint32>{1, 2, 3}, 4);
    row("Quartic, 5", "Quartic", QList<qint32>{1, 3, 5, 7, 9}, 5);
    row("Quartic, 4", "Quartic", QList<qint32>{1, 3, 5, 7}, 5);
}

void TestAnalysisPageOptions::modelRequirement()
{
    QFETCH(QString, model);
    QFETCH(QList<qint32>, ticked);
    QFETCH(int, needs);
    const bool red = ticked.size() < needs;
    Editor editor;
    editor.ui.showTab(editor::AnalysisMethod);
    QVERIFY(editor.chooseModel(model));
    editor.ui.click(editor.get<CommandButton>("cmdDeselectAll"));
    QCOMPARE(editor.requirement()->ForeColor(), colors::kRed); // whatever the model
    QList<qint16> peaks;
    for (const qint32 row : ticked) {
        editor.ui.clickCell(editor.peaks(), row, 1);
        peaks << qint16(row - 1);
    }
    QCOMPARE(editor.requirement()->Caption(), QStringLiteral("Requires a minimum of %1 selected peaks.").arg(needs));
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
    // migration: 0 migration time, 1 mobility, as loaded
    columns<qint32, bool, bool>("migration", "peakClickedWhileHeld", "mobilityAfter");
    row("migration time comes back", 0, false, false);
    row("mobility comes back", 1, false, true);
    // Every evaluation under "Local Southern" stores the options it finds, the forced ones included.
    row("a later evaluation keeps mobility", 0, true, true);
}

void TestAnalysisPageOptions::localSouthernHoldsTheMigrationVariable()
{
    QFETCH(qint32, migration);
    QFETCH(bool, peakClickedWhileHeld);
    QFETCH(bool, mobilityAfter);
    Editor editor(0, migration);
    editor.ui.showTab(editor::AnalysisMethod);
    editor.shows({"optMobility.Value=" + truth(migration == 1)});
    QVERIFY(editor.chooseModel(kLocalSouthern));
    editor.shows({"optMobility.Value=true", "optMigrationTime.Value=false", "optMobility.enabled=false",
                  "optMigrationTime.enabled=false"});
    if (peakClickedWhileHeld)
        editor.ui.clickCell(editor.peaks(), 3, 1);
    QVERIFY(editor.chooseModel(kLinear));
    editor.shows({"optMobility.enabled=true", "optMigrationTime.enabled=true",
                  "optMobility.Value=" + truth(mobilityAfter), "optMigrationTime.Value=" + truth(!mobilityAfter)});
}

void TestAnalysisPageOptions::noSizeStandardHidesItsControls()
{
    // The controls that belong to a size standard: shown and usable with one, not without.
    const auto standardsOwn = [](bool value) {
        QStringList out;
        for (const char *name : {"lblDye.Visible", "lblSizeStandardFitCoef.Visible", "lblRequirements.Visible",
                                 "cmbModel.Visible", "cmdSelectAll.enabled", "cmdDeselectAll.enabled"})
            out << QLatin1String(name) + u'=' + truth(value);
        return out;
    };
    Editor editor(0, 1);
    editor.ui.showTab(editor::AnalysisMethod);
    editor.ui.click(editor.get<CommandButton>("cmdDeselectAll")); // red: would block, were it shown
    QVERIFY(editor.chooseStandard(QStringLiteral("[None]")));
    QCOMPARE(editor.peaks()->rowCount(), 0);
    editor.shows(standardsOwn(false) + QStringList{"optMigrationTime.enabled=false", "optMobility.enabled=false",
                                                   "optMigrationTime.Value=false", "optMobility.Value=false"});
    QVERIFY(editor.ui.validate());

    // Chosen again, a size standard starts with every fragment ticked and migration time.
    QVERIFY(editor.chooseStandard(QStringLiteral("Ladder 50-500 (20 fragments)")));
    QCOMPARE(editor.peaks()->rowCount(), 20);
    for (qint32 row = 1; row <= 20; ++row)
        QCOMPARE(editor.peaks()->cellText(row, 1), QStringLiteral("1"));
    QCOMPARE(editor.peaks()->cellText(20, 3), QStringLiteral("500"));
    editor.shows(standardsOwn(true) + QStringList{"lblDye=D4", "lblSizeStandardFitCoef=0.9993",
                                                  "optMigrationTime.Value=true",
                                                  QStringLiteral("lblRequirements.ForeColor=%1").arg(colors::kBlack)});
    QCOMPARE(editor.storedPeaks().size(), 20);
}

void TestAnalysisPageOptions::onlyMouseClicksOnBoxesChangeThePeaks()
{
    Editor editor;
    editor.ui.showTab(editor::AnalysisMethod);
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
    // snpFirst: SNP ticked when loaded, STR clicked; else the reverse
    QTest::addColumn<bool>("snpFirst");
    row("ticking SNP unticks STR", false);
    row("ticking STR unticks SNP", true);
}

void TestAnalysisPageOptions::strAndSnpExclude()
{
    QFETCH(bool, snpFirst);
    Editor editor(0, 0, [&](FragAnalysisParam &s, host::SqlStore &) {
        s.setSNPAnalysis(snpFirst);
        s.setIdentifyAlleles(0, !snpFirst);
    });
    const auto snpTicked = [](bool snp) {
        return QStringList{QStringLiteral("chkSNP.Value=%1").arg(int(snp)),
                           QStringLiteral("chkIDAlleles.Value=%1").arg(int(!snp)),
                           "lblSNPWarning.Visible=" + truth(snp)};
    };
    editor.shows(snpTicked(snpFirst));
    editor.clickBox(snpFirst ? "chkIDAlleles" : "chkSNP");
    editor.shows(snpTicked(!snpFirst));
}

void TestAnalysisPageOptions::snpHoldsTheOptionsItNeeds()
{
    // Loaded with "Local Southern" (so "Mobility") and "Area".
    Editor editor(2, 1, [](FragAnalysisParam &s, host::SqlStore &) { s.setQuantityByHeight(0); });
    editor.shows({"cmbModel=" + kLocalSouthern, "optQuantity(1).Value=true"});
    editor.clickBox("chkSNP");
    editor.shows({"cmbModel=" + kLinear, "optMigrationTime.Value=true", "optQuantity(0).Value=true",
                  "cmbModel.enabled=false", "optMobility.enabled=false", "optQuantity(1).enabled=false",
                  "lblSNPWarning.Visible=true"});

    // The hold lasts while SNP analysis is ticked, whatever else re-evaluates the options.
    editor.ui.showTab(editor::AnalysisMethod);
    editor.ui.clickCell(editor.peaks(), 2, 1);
    editor.shows({"optMobility.enabled=false"});
    QVERIFY(editor.chooseStandard(QStringLiteral("SNP Pair 60/120 (2 fragments)")));
    editor.shows({"optMobility.enabled=false", "optMigrationTime.enabled=true"});
    QVERIFY(editor.chooseStandard(QStringLiteral("[None]")));

    // Unticking lets go without giving back the model or the options, and enables "Mobility" even
    // with no size standard.
    editor.ui.showTab(editor::General);
    editor.ui.resetDirty();
    editor.clickBox("chkSNP");
    QVERIFY(editor.ui.dirtyCount() >= 1);
    editor.shows(QStringList{"cmbModel.enabled=true", "optMobility.enabled=true", "optQuantity(1).enabled=true",
                             "lblSNPWarning.Visible=false", "cmbModel=" + kLinear, "optQuantity(0).Value=true"});
}

void TestAnalysisPageOptions::oneDyeStaysTicked()
{
    Editor editor(0, 0, [](FragAnalysisParam &s, host::SqlStore &) { s.setUseCalculatedDyeSpectra(false); });
    editor.ui.showTab(editor::Advanced);
    editor.shows({"chkDyeSpectra(#).enabled=true"});
    for (int i = 0; i < 4; ++i)
        editor.clickBox(qPrintable(QStringLiteral("chkDyeSpectra(%1)").arg(i)));
    editor.shows({"chkDyeSpectra(#).Value=0|0|0|1"});

    editor.clickBox("optUseCalculatedDS");
    editor.shows({"chkDyeSpectra(#).enabled=false", "chkDyeSpectra(3).Value=1", "chkDyeSpectra(2).Value=0"});
    editor.clickBox("optSystemDS");
    editor.shows({"chkDyeSpectra(#).enabled=true"});
}

void TestAnalysisPageOptions::sizeOrTimeCaptions()
{
    Editor editor;
    editor.ui.showTab(editor::Quantitation);
    const QString sizeBefore = editor.ui.field(QStringLiteral("txtSizeTime(0)"))->Text();
    editor.clickBox("optDuration(1)");
    editor.shows({"lblStandard=Time", "lblWindow(#)=min", "txtSizeTime(0)=" + sizeBefore});
    editor.clickBox("optDuration(0)");
    editor.shows({"lblStandard=Size", "lblWindow(#)=nt"});
}

void TestAnalysisPageOptions::mobilityCoefficientsInTheUsersFormat_data()
{
    // row: the first row of the grid
    columns<QString, QStringList>("locale", "row");
    row("C", "C", QStringList{"0.500000", "-0.000031", "1234.500000", "0.000000"});
    row("German", "de_DE", QStringList{"0,500000", "-0,000031", "1.234,500000", "0,000000"});
}

void TestAnalysisPageOptions::mobilityCoefficientsInTheUsersFormat()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, row);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    const auto restore = qScopeGuard([&] { QLocale::setDefault(before); });

    MobilityCalibrationSettings calibration;
    calibration.setName(QStringLiteral("Halves"));
    calibration.setCoefficient(0, 0, 0.5f);
    calibration.setCoefficient(0, 1, -0.000031f);
    calibration.setCoefficient(0, 2, 1234.5f);
    Editor editor(0, 0, [&](FragAnalysisParam &, host::SqlStore &store) { store.addMobilityCalibration(calibration); });
    editor.ui.showTab(editor::Advanced);
    QVERIFY(editor.ui.choose(editor.get<ComboBox>("cmbMobility"), QStringLiteral("Halves")));
    GridControl *grid = editor.ui.grid(QStringLiteral("grdMobility"));
    QStringList shown;
    for (qint32 col = 1; col <= 4; ++col)
        shown << grid->cellText(1, col);
    QCOMPARE(shown, row);
    QCOMPARE(grid->cellText(4, 0), QStringLiteral("Coef. 4"));
    QVERIFY(grid->readOnly());
}

QTEST_MAIN(TestAnalysisPageOptions)
#include "test_analysis_page_options.moc"
