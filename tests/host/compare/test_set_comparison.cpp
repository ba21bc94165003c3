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
    void aLongListOfChangesIsCounted();
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
    const auto snp = [](SqlStore &store, int i) { return store.snpLocusTags().at(i)->TagData(); };

    QTest::newRow("nothing") << Change([](FragAnalysisParam &, SqlStore &) {}) << QStringList() << ""
                             << ""
                             << "";
    QTest::newRow("slope threshold") << Change([](FragAnalysisParam &s, SqlStore &) { s.setSlopeThreshold(12); })
                                     << QStringList{"General / Slope threshold"} << "1.1"
                                     << "12"
                                     << "Slope threshold: 1.1 → 12";
    QTest::newRow("amount as mantissa and power")
        << Change([](FragAnalysisParam &s, SqlStore &) { s.setQuantAmount(0, 2500); })
        << QStringList{"Quantitation / D1 Amount"} << "1.50 E-4"
        << "2.50 E3"
        << "D1 Amount: 1.50 E-4 → 2.50 E3";
    QTest::newRow("unit") << Change([](FragAnalysisParam &s, SqlStore &) { s.setQuantUnit(0, 1); })
                          << QStringList{"Quantitation / D1 Units"} << "g/L"
                          << "mol"
                          << "D1 Units: g/L → mol";
    QTest::newRow("model") << Change([](FragAnalysisParam &s, SqlStore &) { s.SizeCalibration(0)->setModelIndex(0); })
                           << QStringList{"Analysis Method / Model"} << "Quartic"
                           << "Linear"
                           << "Model: Quartic → Linear";
    QTest::newRow("peak deselected") << Change([](FragAnalysisParam &s, SqlStore &) {
        s.SizeCalibration(0)->setSelectedPeaks({0, 3, 7, 11});
    }) << QStringList{"Analysis Method / Peak 3"}
                                     << "75, selected"
                                     << "75, not selected"
                                     << "Selected Peaks: 1 peak changed";
    QTest::newRow("second entry") << Change([](FragAnalysisParam &s, SqlStore &) { s.setConfidenceLevel(1, 80); })
                                  << QStringList{"General / Confidence level (entry 2)"} << "75.25 %"
                                  << "80 %"
                                  << "Confidence level (entry 2): 75.25 % → 80 %";
    QTest::newRow("ID standard by time") << Change([](FragAnalysisParam &s, SqlStore &) { s.setIDStandardBySize(0); })
                                         << QStringList{"Quantitation / ID Standard", "Quantitation / D1 +/- Window",
                                                        "Quantitation / D2 +/- Window", "Quantitation / D3 +/- Window",
                                                        "Quantitation / D4 +/- Window"}
                                         << "Size"
                                         << "Time"
                                         << "ID Standard: Size → Time; D1 +/- Window: 0.3 nt → 0.3 min";
    QTest::newRow("dye mobility calibration")
        << Change([](FragAnalysisParam &s, SqlStore &store) {
               s.setDyeMobilityCalibration(store.mobilityCalibrations().first()->Data());
           })
        << QStringList{"Advanced / Dye Mobility Calibration", "Advanced / Coef. 2", "Advanced / Coef. 3",
                       "Advanced / Coef. 4"}
        << "Long Polymer Mobility"
        << "Dye Set A Mobility"
        << "Dye Mobility Calibration: Long Polymer Mobility → Dye Set A Mobility; Coef. 2: 0.999020";
    QTest::newRow("SNP tag added") << Change([=](FragAnalysisParam &s, SqlStore &store) {
        s.SNPLocusTagsOf(0)->Add(snp(store, 10));
    }) << QStringList{"SNP Locus Tags / rs1463729"}
                                   << "" << kTagListed << "SNP Locus Tags: 1 added";
    QTest::newRow("STR tag removed") << Change([](FragAnalysisParam &s, SqlStore &) { s.STRLocusTagsOf(0)->Remove(1); })
                                     << QStringList{"STR Locus Tags / D16S539"} << kTagListed << ""
                                     << "STR Locus Tags: 1 removed";
    QTest::newRow("SNP tag edited since") << Change([](FragAnalysisParam &s, SqlStore &) {
        s.SNPLocusTagsOf(1)->Object<SNPLocusTagSettings>(1)->setTagText4(QStringLiteral("T"));
    }) << QStringList{"SNP Locus Tags / rs12997453 (entry 2)"}
                                          << "62.5; Chr 2 / Bi-allelic / Identity / "
                                          << "62.5; Chr 2 / Bi-allelic / Identity / T"
                                          << "SNP Locus Tags: 1 changed";
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

void TestSetComparison::aLongListOfChangesIsCounted()
{
    const FragAnalysisParamPtr before = read();
    const FragAnalysisParamPtr after = read();
    after->setSlopeThreshold(2);
    after->setSNPAnalysis(false);
    after->setQuantUnit(0, 0);
    after->setQuantUnit(1, 0);
    after->setQuantUnit(2, 0);
    after->setQuantUnit(3, 0);
    const QString summary = compareSets(*before, *after).summary();
    QCOMPARE(summary,
             QStringLiteral("SNP Analysis: yes → no; Slope threshold: 1.1 → 2; D1 Units: g/L → g; 2 more changes"));
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
