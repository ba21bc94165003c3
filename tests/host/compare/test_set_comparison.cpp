#include "host/compare/set_comparison.h"
#include "host/objects/sql_store.h"
#include "host/objects/store_fixture.h"

#include <QLocale>
#include <QTest>

using namespace veltrane;
using namespace veltrane::host;
using veltrane::test::richSet;
using veltrane::test::StoreLocation;

// A stored set compared with itself changed one way at a time: which rows differ, what they show, and
// the one line that sums them up.
class TestSetComparison : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void differencesSpeakTheEditorsLanguage_data();
    void differencesSpeakTheEditorsLanguage();
    void aNewSetIsSummedUp();

private:
    FragAnalysisParamPtr read() { return m_store->parameterSet(0, QStringLiteral("Casework"))->FragAnalysisParam(); }

    std::unique_ptr<StoreLocation> m_where;
    SqlStorePtr m_store;
};

void TestSetComparison::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    m_where = std::make_unique<StoreLocation>(QStringLiteral("sqlite"));
    m_store = m_where->open();
    m_store->commit(*richSet(*m_store, QStringLiteral("Casework")));
}

using Change = std::function<void(FragAnalysisParam &, SqlStore &)>;
Q_DECLARE_METATYPE(Change)

void TestSetComparison::differencesSpeakTheEditorsLanguage_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<QStringList>("places"); // every row that differs
    QTest::addColumn<QString>("left");       // the first of them, both sides
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("summary");
    // The change last, so each row reads as what differs, then how.
    const auto row = [](const char *tag, const QStringList &places, const QString &left, const QString &right,
                        const QString &summary,
                        const Change &change) { QTest::newRow(tag) << change << places << left << right << summary; };
    const auto snp = [](SqlStore &store, int i) { return store.snpLocusTags().at(i)->TagData(); };
    const QString window = QStringLiteral("Quantitation / D%1 +/- Window");

    row("nothing", {}, "", "", "", [](FragAnalysisParam &, SqlStore &) {});
    row("slope threshold", {"General / Slope threshold"}, "1.1", "12", "Slope threshold: 1.1 → 12",
        [](FragAnalysisParam &s, SqlStore &) { s.setSlopeThreshold(12); });
    row("amount as mantissa and power", {"Quantitation / D1 Amount"}, "1.50 E-4", "2.50 E3",
        "D1 Amount: 1.50 E-4 → 2.50 E3", [](FragAnalysisParam &s, SqlStore &) { s.setQuantAmount(0, 2500); });
    row("unit", {"Quantitation / D1 Units"}, "g/L", "mol", "D1 Units: g/L → mol",
        [](FragAnalysisParam &s, SqlStore &) { s.setQuantUnit(0, 1); });
    row("model", {"Analysis Method / Model"}, "Quartic", "Linear", "Model: Quartic → Linear",
        [](FragAnalysisParam &s, SqlStore &) { s.SizeCalibration(0)->setModelIndex(0); });
    row("peak deselected", {"Analysis Method / Peak 3"}, "75, selected", "75, not selected",
        "Selected Peaks: 1 peak changed", [](FragAnalysisParam &s, SqlStore &) {
            s.SizeCalibration(0)->setSelectedPeaks({0, 3, 7, 11});
        });
    row("second entry", {"General / Confidence level (entry 2)"}, "75.25 %", "80 %",
        "Confidence level (entry 2): 75.25 % → 80 %",
        [](FragAnalysisParam &s, SqlStore &) { s.setConfidenceLevel(1, 80); });
    row("ID standard by time",
        {"Quantitation / ID Standard", window.arg(1), window.arg(2), window.arg(3), window.arg(4)}, "Size", "Time",
        "ID Standard: Size → Time; D1 +/- Window: 0.3 nt → 0.3 min",
        [](FragAnalysisParam &s, SqlStore &) { s.setIDStandardBySize(0); });
    row("dye mobility calibration",
        {"Advanced / Dye Mobility Calibration", "Advanced / Coef. 2", "Advanced / Coef. 3", "Advanced / Coef. 4"},
        "Long Polymer Mobility", "Dye Set A Mobility",
        "Dye Mobility Calibration: Long Polymer Mobility → Dye Set A Mobility; Coef. 2: 0.999020",
        [](FragAnalysisParam &s, SqlStore &store) {
            s.setDyeMobilityCalibration(store.mobilityCalibrations().first()->Data());
        });
    row("SNP tag added", {"SNP Locus Tags / rs1463729"}, "", kTagListed, "SNP Locus Tags: 1 added",
        [=](FragAnalysisParam &s, SqlStore &store) { s.SNPLocusTagsOf(0)->Add(snp(store, 10)); });
    row("STR tag removed", {"STR Locus Tags / D16S539"}, kTagListed, "", "STR Locus Tags: 1 removed",
        [](FragAnalysisParam &s, SqlStore &) { s.STRLocusTagsOf(0)->Remove(1); });
    row("SNP tag edited since", {"SNP Locus Tags / rs12997453 (entry 2)"}, "62.5; Chr 2 / Bi-allelic / Identity / ",
        "62.5; Chr 2 / Bi-allelic / Identity / T", "SNP Locus Tags: 1 changed", [](FragAnalysisParam &s, SqlStore &) {
            s.SNPLocusTagsOf(1)->Object<SNPLocusTagSettings>(1)->setTagText4(QStringLiteral("T"));
        });
    // The summary names four changes, or the first three and counts the rest (D4's unit was g already).
    const auto many = [](int units) {
        return [units](FragAnalysisParam &s, SqlStore &) {
            s.setSlopeThreshold(2);
            s.setSNPAnalysis(false);
            for (int row = 0; row < units; ++row)
                s.setQuantUnit(row, 0);
        };
    };
    const QStringList four{"General / SNP Analysis", "General / Slope threshold", "Quantitation / D1 Units",
                           "Quantitation / D2 Units"};
    const QString named = QStringLiteral("SNP Analysis: yes → no; Slope threshold: 1.1 → 2; D1 Units: g/L → g; ");
    row("four changes", four, "yes", "no", named + "D2 Units: M → g", many(2));
    row("five changes", four + QStringList{"Quantitation / D3 Units"}, "yes", "no", named + "2 more changes", many(4));
}

void TestSetComparison::differencesSpeakTheEditorsLanguage()
{
    QFETCH(Change, change);
    QFETCH(QStringList, places);
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(QString, summary);
    const FragAnalysisParamPtr before = read();
    const FragAnalysisParamPtr after = read();
    change(*after, *m_store);

    const SetComparison c = compareSets(*before, *after);
    QStringList differing;
    for (const ComparedField &f : c.differences())
        differing << f.place();
    QCOMPARE(differing, places);
    QCOMPARE(c.changedCount(), places.size());
    if (!places.isEmpty()) {
        const ComparedField first = c.differences().first();
        QCOMPARE(first.left, left);
        QCOMPARE(first.right, right);
        QCOMPARE(first.inLeft, !left.isEmpty());
        QCOMPARE(first.inRight, !right.isEmpty());
    }
    QVERIFY2(summary.isEmpty() ? c.summary().isEmpty() : c.summary().contains(summary), qPrintable(c.summary()));
    // Both sides show every row of the editor, in its order, whatever differs.
    QCOMPARE(c.rows.first().place(), QStringLiteral("Parameter Set Name"));
    QCOMPARE(c.rows.size(),
             compareSets(*before, *before).rows.size() + (places.contains(u"SNP Locus Tags / rs1463729") ? 1 : 0));
}

void TestSetComparison::aNewSetIsSummedUp()
{
    const SetComparison c = describeNewSet(*read());
    QVERIFY(!c.hasLeft);
    QCOMPARE(c.summary(),
             QStringLiteral("new set: size standard Ladder 35-500 (16 fragments), 4 STR and 3 SNP locus tags"));
    // What a set holds, each tag with its values.
    const SetComparison held = describeSet(*read());
    QCOMPARE(held.changedCount(), 0);
    const auto tag = std::find_if(held.rows.cbegin(), held.rows.cend(), [](const ComparedField &f) {
        return f.place() == QLatin1String("STR Locus Tags / D16S539");
    });
    QVERIFY(tag != held.rows.cend());
    QCOMPARE(tag->left, QStringLiteral("D1, 230–290"));
    const auto coefficient = std::find_if(held.rows.cbegin(), held.rows.cend(), [](const ComparedField &f) {
        return f.place() == QLatin1String("Advanced / Coef. 2");
    });
    QCOMPARE(coefficient->left, QStringLiteral("0.999020  0.008310  -0.000019  0.000000"));
}

QTEST_GUILESS_MAIN(TestSetComparison)
#include "test_set_comparison.moc"
