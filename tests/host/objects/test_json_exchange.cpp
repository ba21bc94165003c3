#include "host/objects/json_exchange.h"
#include "host/objects/sql_object_manager.h"
#include "store_fixture.h"
#include "support/data_rows.h"
#include "support/recording_utilities.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cmath>

using namespace veltrane;
using namespace veltrane::host;
using veltrane::test::columns;
using veltrane::test::contentOf;
using veltrane::test::describe;
using veltrane::test::errorOf;
using veltrane::test::heldSets;
using veltrane::test::nodeAt;
using veltrane::test::refused;
using veltrane::test::retrieved;
using veltrane::test::richSet;
using veltrane::test::row;
using veltrane::test::StoreLocation;
using veltrane::test::withNode;

namespace {

const QString kDefault = QStringLiteral("DefaultFragmentAnalysisParameters");

// What restoring a whole store asks of an import: the sets as they were, flags included.
const ImportOptions kRestore{false, true};

// A number as JSON text that reads back as exactly that double.
QString exact(double v)
{
    return QString::number(v, 'g', 17);
}

float above(float v)
{
    return std::nextafter(v, std::numeric_limits<float>::infinity());
}

float below(float v)
{
    return std::nextafter(v, -std::numeric_limits<float>::infinity());
}

// The least single-precision number not below v.
float atOrAbove(double v)
{
    const float f = float(v);
    return double(f) < v ? above(f) : f;
}

} // namespace

class TestJsonExchange : public QObject
{
    Q_OBJECT
public:
    explicit TestJsonExchange(QString engine)
        : m_engine(std::move(engine))
    {}

private slots:
    void initTestCase() { qInfo("store engine: %s", qPrintable(m_engine)); }
    void init();
    void cleanup();

    void exportThenImportGivesIdenticalSets();
    void exportCarriesWhatTheChosenSetsReferTo();
    void storedSetsAreReplacedOnlyWhenAsked();
    void storedDefinitionsAreReusedByName();
    void attributesComeFromAFileOnlyWhenAsked_data();
    void attributesComeFromAFileOnlyWhenAsked();
    void importChecksEveryValue_data();
    void importChecksEveryValue();
    void aSetsProjectIsTheOneItNames_data();
    void aSetsProjectIsTheOneItNames();
    void filesOfTheFirstFormatStillImport();
    void specialFilesAreWrittenAsStreams();
    void exportsNeverWriteOverAStore_data();
    void exportsNeverWriteOverAStore();
    void onlyRegularFilesOfBoundedSizeAreRead_data();
    void onlyRegularFilesOfBoundedSizeAreRead();
    void documentsInOtherFormsAreNamed_data();
    void documentsInOtherFormsAreNamed();

private:
    // Reading and writing files does not depend on the engine.
    void skipUnlessSqlite()
    {
        if (m_engine != QLatin1String("sqlite"))
            QSKIP("does not depend on the engine");
    }

    QString m_engine;
    std::unique_ptr<StoreLocation> m_sourceWhere, m_targetWhere;
    SqlStorePtr m_source;
};

void TestJsonExchange::init()
{
    m_sourceWhere = std::make_unique<StoreLocation>(m_engine);
    m_targetWhere = std::make_unique<StoreLocation>(m_engine);
    m_source = m_sourceWhere->open();
    for (const QString &name : {QStringLiteral("Exchange \"full\" set ✓"), QString(128, QLatin1Char('x'))}) {
        const auto s = richSet(*m_source, name);
        m_source->commit(*s);
    }
}

void TestJsonExchange::cleanup()
{
    m_source.reset();
    m_sourceWhere.reset();
    m_targetWhere.reset();
}

void TestJsonExchange::exportThenImportGivesIdenticalSets()
{
    // Through a file, as the application exchanges stores.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("all.json"));
    exportStoreToFile(*m_source, path);
    const SqlStorePtr target = m_targetWhere->open(false);
    const ImportReport report = importStoreFromFile(*target, path, kRestore);
    QCOMPARE(report.sets.size(), m_source->parameterSets(true).size());
    QVERIFY(report.reused.isEmpty() && report.notes.isEmpty());
    // Both lists go by name, so a difference is told by its line.
    QCOMPARE(heldSets(*target).split(u'\n'), heldSets(*m_source).split(u'\n'));

    // Restored, read-only and hidden sets keep their flags, so the copy behaves as the original does.
    const auto copy = retrieved(target, kDefault);
    QCOMPARE(refused([&] { copy->Commit(); }, kStoreReadOnly), QString());
    QCOMPARE(target->parameterSets(false).size(), m_source->parameterSets(false).size());

    // The importing session may go on to edit what it imported.
    auto edit = richSet(*target, QStringLiteral("Exchange \"full\" set ✓"));
    target->commit(*edit);

    QCOMPARE(refused([&] { importStoreFromFile(*target, dir.filePath(QStringLiteral("missing.json"))); },
                     kStoreImportInvalid, {QStringLiteral("missing.json")}),
             QString());
}

void TestJsonExchange::exportCarriesWhatTheChosenSetsReferTo()
{
    const QJsonObject one = exportStore(*m_source, {QStringLiteral("snp identity panel")}).object();
    QCOMPARE(one.value(QStringLiteral("sets")).toArray().size(), 1);
    const QJsonArray standards = one.value(QStringLiteral("sizeStandards")).toArray();
    QCOMPARE(standards.size(), 1);
    QCOMPARE(standards.at(0)[QStringLiteral("fragments")].toArray().size(), 2);
    QCOMPARE(one.value(QStringLiteral("snpLocusTags")).toArray().size(), 24);
    QVERIFY(one.value(QStringLiteral("strLocusTags")).toArray().isEmpty());
    QCOMPARE(one.value(QStringLiteral("projects")).toArray().size(), 1);

    const QJsonObject everything =
        exportStore(*m_source, {QStringLiteral("SNP Identity Panel")}, ExportScope::AllObjects).object();
    QCOMPARE(everything.value(QStringLiteral("snpLocusTags")).toArray().size(), m_source->snpLocusTags().size());
    QCOMPARE(everything.value(QStringLiteral("sizeStandards")).toArray().size(), m_source->sizeStandards().size());

    QCOMPARE(refused([&] { exportStore(*m_source, {QStringLiteral("No such set")}); }, kStoreNotFound,
                     {QStringLiteral("No such set")}),
             QString());
}

void TestJsonExchange::storedSetsAreReplacedOnlyWhenAsked()
{
    const QString name = QStringLiteral("Exchange \"full\" set ✓");
    const QJsonDocument file = exportStore(*m_source, {name, QStringLiteral("DefaultFragmentAnalysisParameters")});
    const QString before = heldSets(*m_source);

    QCOMPARE(refused([&] { importStore(*m_source, file, QStringLiteral("both.json")); }, kStoreImportRefused,
                     {name, QStringLiteral("read-only")}),
             QString());
    // A read-only set is never replaced, so the whole file is refused even when replacing is asked.
    QCOMPARE(refused([&] { importStore(*m_source, file, QStringLiteral("both.json"), ImportOptions{true}); },
                     kStoreImportRefused),
             QString());
    QCOMPARE(heldSets(*m_source), before);

    QJsonDocument changed = exportStore(*m_source, {name});
    changed = withNode(changed, QStringLiteral("sets[0].slopeThreshold"), QJsonValue(42.5));
    const ImportReport report = importStore(*m_source, changed, QStringLiteral("one.json"), ImportOptions{true});
    QCOMPARE(report.replaced, QStringList{name});
    QCOMPARE(retrieved(m_sourceWhere->open(), name)->SlopeThreshold(), 42.5f);
}

void TestJsonExchange::storedDefinitionsAreReusedByName()
{
    const QString ladder = QStringLiteral("Ladder 35-500 (16 fragments)");
    QJsonDocument file = exportStore(*m_source, {QStringLiteral("DefaultFragmentAnalysisParameters")});
    file = withNode(file, QStringLiteral("sets[0].name"), QJsonValue(QStringLiteral("Imported copy")));
    file = withNode(file, QStringLiteral("sets[0].attributes"), QJsonValue(0));
    QJsonArray standards = file.object().value(QStringLiteral("sizeStandards")).toArray();
    QCOMPARE(standards.at(0)[QStringLiteral("name")].toString(), ladder);
    file = withNode(file, QStringLiteral("sizeStandards[0].fitCoefficient"), QJsonValue(0.5));

    const SqlStorePtr target = m_targetWhere->open(true);
    const ImportReport report = importStore(*target, file, QStringLiteral("copy.json"));
    QVERIFY(report.created.isEmpty());
    QVERIFY(report.reused.contains(QStringLiteral("size standard \"%1\"").arg(ladder)));
    QCOMPARE(report.notes.size(), 1);
    QVERIFY(report.notes.first().contains(ladder));
    QCOMPARE(target->sizeStandard(0, ladder)->Data()->FitCoefficient(), 0.9996f);
    const auto set = target->parameterSet(0, QStringLiteral("Imported copy"));
    QCOMPARE(set->FragAnalysisParam()->SizeStandard()->ID(), target->sizeStandard(0, ladder)->ID());
}

void TestJsonExchange::attributesComeFromAFileOnlyWhenAsked_data()
{
    // stored: -1: the set is new to the store
    columns<int, bool, int>("stored", "keep", "expected");
    // The file's 0x105: read-only (1), hidden (4) and a bit the program does not interpret (0x100).
    row("new set", -1, false, 0);
    row("new set, kept", -1, true, 0x105);
    row("ordinary stored set", 0, false, 0);
    row("ordinary stored set, kept", 0, true, 0x105);
    row("hidden stored set", 4, false, 4);
}

void TestJsonExchange::attributesComeFromAFileOnlyWhenAsked()
{
    QFETCH(int, stored);
    QFETCH(bool, keep);
    QFETCH(int, expected);
    const QString name = QStringLiteral("Exchange \"full\" set ✓");
    // The file would make the set read-only and hidden, which nobody could undo from the program.
    const QJsonDocument file =
        withNode(exportStore(*m_source, {name}), QStringLiteral("sets[0].attributes"), QJsonValue(0x105));
    const SqlStorePtr target = m_targetWhere->open(true);
    if (stored >= 0) {
        auto set = richSet(*target, name);
        set->setAttributes(stored);
        target->commit(*set);
    }
    const ImportReport report = importStore(*target, file, QStringLiteral("flags.json"), ImportOptions{true, keep});
    const auto back = target->parameterSet(0, name)->FragAnalysisParam();
    QCOMPARE(back->Attributes(), expected);
    QCOMPARE(report.notes.size(), expected == 0x105 ? 0 : 1);
    QCOMPARE(exportStore(*target, {name}).object()[QStringLiteral("sets")][0][QStringLiteral("attributes")].toInt(),
             expected);
    if (expected == 0) {
        // Still listed, and still the importer's to change.
        const QList<AnalysisParameterPtr> listed = target->parameterSets(false);
        QVERIFY(std::any_of(listed.cbegin(), listed.cend(),
                            [&](const AnalysisParameterPtr &set) { return set->Name() == name; }));
        auto edit = richSet(*target, name);
        target->commit(*edit);
    }
}

void TestJsonExchange::importChecksEveryValue_data()
{
    // Each edit of the exported store is "path=JSON value", "path*N" for a list made N items long by
    // repeating its first item, or "path" alone, which removes the node. A value out of form, out of
    // rule or past a limit refuses the whole file, naming the place of the last edit; one at a limit
    // is imported and exported again as it was. sets[1] is the default set: a Local Southern
    // calibration with 14 of the 16 peaks of its standard, quantitation rows of size/time 100, 200,
    // 300, 400 and windows 5, 5, 10, 10.
    columns<QStringList, QString>("edits", "says"); // says nothing: imported
    const auto is = [](const QString &path, double v) -> QString { return path + u'=' + exact(v); };
    // A range of single-precision numbers: refused one step outside either bound, taken at both.
    const auto range = [&](const char *what, const QString &path, float minimum, float maximum, const QString &says,
                           const QStringList &beside = {}) {
        QTest::addRow("%s below %.9g", what, double(minimum)) << beside + QStringList{is(path, below(minimum))} << says;
        QTest::addRow("%s %.9g", what, double(minimum)) << beside + QStringList{is(path, minimum)} << QString();
        QTest::addRow("%s %.9g", what, double(maximum)) << beside + QStringList{is(path, maximum)} << QString();
        QTest::addRow("%s above %.9g", what, double(maximum)) << beside + QStringList{is(path, above(maximum))} << says;
    };
    // A choice numbered 0 to last: the last taken, the one after refused.
    const auto choice = [](const char *what, const QString &path, int last) {
        QTest::addRow("%s %d", what, last) << QStringList{path + QStringLiteral("=%1").arg(last)} << QString();
        QTest::addRow("%s %d", what, last + 1) << QStringList{path + QStringLiteral("=%1").arg(last + 1)}
                                               << QStringLiteral("is %1, not from 0 to %2").arg(last + 1).arg(last);
    };
    const QString set = QStringLiteral("sets[1].");
    const QString entry = QStringLiteral("sets[1].entries[0].");
    const QString calibration = entry + QStringLiteral("calibration.");
    const QString q = QStringLiteral("sets[1].quantitation[%1].");

    row("other format", QStringList{"format=\"something else\""}, "not a parameter set exchange file");
    row("wrong type", QStringList{set + "slopeThreshold=\"ten\""}, "expected a number");
    row("not a number", QStringList{q.arg(2) + "amount=\"NaN\""}, "expected a number");
    row("fraction for a whole number", QStringList{"sets[0].typeCode=10.5"}, "expected a whole number");
    row("missing field", QStringList{"sets[0].entries"}, "missing");
    row("three rows", QStringList{"sets[0].quantitation*3"}, "expected a list of 4 items, not 3");
    row("calibration row", QStringList{"mobilityCalibrations[0].coefficients[2]=[1, 2]"}, "expected a list of");
    row("bad date", QStringList{"sets[0].dateCreated=\"yesterday\""}, "is not a date and time");
    row("empty name", QStringList{"snpLocusTags[0].name=\" \""}, "a name may not be empty");
    row("same set twice", QStringList{"sets[2].name=\"defaultfragmentanalysisparameters \""}, "defined twice");
    row("dangling standard", QStringList{"sets[2].sizeStandard=\"No Such Ladder\""}, "named \"No Such Ladder\"");
    row("dangling tag", QStringList{entry + "snpLocusTags[1]=\"rsNope\""}, "named \"rsNope\"");
    row("dangling project", QStringList{"sets[0].project=\"Nobody's\""}, "named \"Nobody's\"");
    row("version 0", QStringList{"version=0"}, "0 is not a format version");
    row("version 2", QStringList{"version=2"}, "format version 2 is newer");
    // The reader's whole and single-precision numbers; a value it takes goes on to the rules.
    row("past 16 bits", QStringList{calibration + "selectedPeaks[0]=32768"}, "32768 is not from -32768 to 32767");
    row("within 16 bits", QStringList{calibration + "selectedPeaks[0]=32767"}, "is 32767, not a fragment");
    row("past 32 bits", QStringList{"sets[0].typeCode=-2147483649"}, "is not from -2147483648 to 2147483647");
    row("within 32 bits", QStringList{"sets[0].typeCode=-2147483648"}, "is -2147483648, not 1011");
    // At the ends of the fragments, which ascend.
    const QString last = QStringLiteral("sizeStandards[0].fragments[15]");
    const QString first = QStringLiteral("sizeStandards[0].fragments[0]");
    const double largest = std::numeric_limits<float>::max();
    const double half = std::ldexp(1.0, -150); // half the smallest single: it would be stored as 0
    row("past single precision", QStringList{is(last, std::nextafter(largest, 1e300))}, "too large for a single");
    row("largest single", QStringList{is(last, largest)}, "");
    row("below the smallest single", QStringList{is(first, half)}, "too small");
    row("smallest single", QStringList{is(first, std::nextafter(half, 1.0))}, "");

    row("type code 1010", QStringList{set + "typeCode=1010"}, "is 1010, not 1011");
    row("type code 1012", QStringList{set + "typeCode=1012"}, "is 1012, not 1011");
    // Bits the program does not interpret are kept as they are, stored and exported again.
    row("attributes with a bit beyond hidden", QStringList{set + "attributes=13"}, "");
    range("slope", set + "slopeThreshold", 1, 1000, "not from 1 to 1000");
    choice("size or time option", set + "idStandardBySize", 1);
    choice("height or area option", set + "quantityByHeight", 1);
    range("size/time", q.arg(0) + "sizeTime", 0, 2000, "not from 0 to 2000", {q.arg(0) + "window=0"});
    range("window", q.arg(1) + "window", 0, 1999, "not from 0 to 1999", {q.arg(1) + "sizeTime=2000"});
    row("size/time at its window", QStringList{q.arg(1) + "sizeTime=5"}, "is 5, not greater than its window 5");
    row("size/time just past its window", QStringList{is(q.arg(1) + "sizeTime", above(5))}, "");
    // 0, or from 1e-25 up to below 1e26.
    range("amount", q.arg(2) + "amount", atOrAbove(1e-25), below(atOrAbove(1e26)), "not 0 or from 1e-25 to below 1e26");
    row("unit -1", QStringList{q.arg(3) + "unit=-1"}, "is -1, not from 0 to 3");
    choice("unit", q.arg(3) + "unit", 3);

    row("no entries", QStringList{set + "entries*0"}, "at least one size-calling entry");
    row("256 entries", QStringList{set + "entries*256"}, "");
    row("257 entries", QStringList{set + "entries*257"}, "a set has at most 256 entries");
    range("peak height", entry + "relativePeakHeightThreshold", 0, 100, "not from 0 to 100");
    range("confidence", entry + "confidenceLevel", 75, 99, "not from 75 to 99");
    choice("kind", calibration + "kind", 1);
    choice("model", calibration + "modelIndex", 4);
    choice("migration variable", calibration + "migrationVariable", 1);
    row("peak -1", QStringList{calibration + "selectedPeaks[0]=-1"}, "is -1, not a fragment of the size standard");
    row("first and last peak, as many as the model needs", QStringList{calibration + "selectedPeaks=[0, 1, 15]"}, "");
    row("peak 16 of 16", QStringList{calibration + "selectedPeaks[1]=16"}, "is 16, not a fragment");
    row("fewer peaks than the model needs", QStringList{calibration + "selectedPeaks=[0, 15]"},
        "fewer than the model Local Southern needs (3)");
    row("peak twice", QStringList{calibration + "selectedPeaks[1]=0"}, "a second time");

    choice("size standard dye", "sizeStandards[0].dyeIndex", 3);
    // 12: hidden (4), and a bit the program does not interpret (8).
    row("size standard attributes with a bit beyond hidden", QStringList{"sizeStandards[0].attributes=12"}, "");
    row("STR tag dye -1", QStringList{"strLocusTags[0].dye=-1"}, "is -1, not from 0 to 3");
    choice("STR tag dye", "strLocusTags[0].dye", 3);

    // Definitions as the pages can use them: sizeStandards[0] is the default set's 16 fragments from 35
    // to 500, [3] the SNP pair of 60 and 120; strLocusTags[0] is Amelogenin, from 98 to 116.
    const QString ladder = QStringLiteral("sizeStandards[0].");
    row("fragment of 0", QStringList{ladder + "fragments[0]=0"}, "is 0, not a size greater than 0");
    row("fragment as the one before", QStringList{ladder + "fragments[2]=50"}, "not larger than the fragment before");
    row("fragment just above the one before", QStringList{ladder + "fragments[2]=50.5"}, "");
    row("fragment of no size", QStringList{ladder + "fragments[1]=-35"}, "is -35, not a size greater than 0");
    row("infinite fragment", QStringList{ladder + "fragments[15]=\"Infinity\""}, "is inf, not a size");
    row("one fragment", QStringList{"sizeStandards[3].fragments=[60]"}, "holds 1 fragments; a size standard has");
    row("two fragments", QStringList{"sizeStandards[3].fragments=[55, 125]"}, "");
    range("fit", ladder + "fitCoefficient", 0, 1, "not from 0 to 1");
    row("STR sizes the wrong way round", QStringList{"strLocusTags[0].maxSize=97.5"}, "smaller than MinSize 98");
    row("STR sizes of one size", QStringList{"strLocusTags[0].maxSize=98"}, "");
    row("STR size below 0", QStringList{"strLocusTags[0].minSize=-1"}, "is -1, not a size of 0 or more");
    row("STR size of 0", QStringList{"strLocusTags[0].minSize=0"}, "");
    row("infinite SNP tag number", QStringList{"snpLocusTags[0].tagNumber=\"Infinity\""}, "is inf, not a finite");
    row("infinite mobility coefficient", QStringList{"mobilityCalibrations[0].coefficients[1][2]=\"-Infinity\""},
        "is -inf, not a finite number");
    // Texts, whatever holds them.
    const QString longest(255, u't');
    row("NUL in a tag's text", QStringList{"snpLocusTags[0].texts[1]=\"A\\u0000B\""}, "control character (U+0000)");
    row("escape in a calibration's name", QStringList{calibration + "name=\"\\u001B[2J\""}, "(U+001B)");
    row("lone surrogate in a project name", QStringList{set + "projectName=\"\\uD800\""}, "not valid Unicode");
    row("text of 255 characters", QStringList{"snpLocusTags[0].texts[1]=\"" + longest + "\""}, "");
    row("text of 256 characters", QStringList{"snpLocusTags[0].texts[1]=\"" + longest + "t\""}, "256 characters long");
    // Combinations the editor does not make.
    row("both analyses", QStringList{set + "snpAnalysis=true", entry + "identifyAlleles=true"},
        "is on together with SNPAnalysis");
    row("calibration without a size standard", QStringList{set + "sizeStandard=null"},
        "is none, but entry 0 has a calibration (model 2)");
    row("calibrated with another size standard", QStringList{set + "sizeStandard=\"SNP Pair 60/120 (2 fragments)\""},
        "but entry 0 is calibrated with \"Ladder 35-500 (16 fragments)\"");
    row("STR tag twice", QStringList{entry + "strLocusTags[1]=\"Amelogenin\""}, "a second time");
}

void TestJsonExchange::importChecksEveryValue()
{
    QFETCH(QStringList, edits);
    QFETCH(QString, says);
    QJsonDocument file = exportStore(*m_source);
    QCOMPARE(file.object().value(QStringLiteral("sets")).toArray().at(1)[QStringLiteral("name")].toString(), kDefault);
    QList<std::pair<QString, QJsonValue>> expected; // where, and what is exported again there
    for (const QString &edit : edits) {
        const qsizetype equals = edit.indexOf(u'='), times = edit.indexOf(u'*');
        const QString path = edit.left(equals >= 0 ? equals : times);
        QJsonValue value;
        if (equals < 0 && times < 0) {
            file = withNode(file, path, std::nullopt);
            expected.append({path, value});
            continue;
        }
        if (equals >= 0) {
            value = QJsonDocument::fromJson(QString(u'[' + edit.mid(equals + 1) + u']').toUtf8()).array().at(0);
            QVERIFY2(!value.isUndefined(), qPrintable(edit));
        } else {
            const QJsonArray items = nodeAt(file, path).toArray();
            QJsonArray repeated;
            for (int i = edit.mid(times + 1).toInt(); i > 0; --i)
                repeated.append(items.first());
            value = repeated;
        }
        file = withNode(file, path, value);
        expected.append({path, value});
    }
    const SqlStorePtr target = m_targetWhere->open(false);
    const Error e = errorOf([&] { importStore(*target, file.toJson(), QStringLiteral("limits.json"), kRestore); });
    if (says.isEmpty()) {
        QCOMPARE(e.description(), QStringLiteral("no error was raised"));
        const QJsonDocument back = exportStore(*target);
        for (const auto &[path, value] : expected) {
            const QJsonValue held = nodeAt(back, path);
            // Numbers come back as the single-precision values they are stored as.
            QVERIFY2(value.isDouble() ? held.isDouble() && float(held.toDouble()) == float(value.toDouble())
                                      : held == value,
                     qPrintable(path + QStringLiteral(" holds ") +
                                QString::fromUtf8(QJsonDocument(QJsonArray{held}).toJson(QJsonDocument::Compact))));
        }
        return;
    }
    QCOMPARE(e.number(), qint32(kStoreImportInvalid));
    QVERIFY2(e.description().startsWith(QStringLiteral("limits.json: %1: ").arg(expected.last().first)),
             qPrintable(e.description()));
    QVERIFY2(e.description().contains(says), qPrintable(e.description()));
    QVERIFY(target->parameterSets(true).isEmpty());
    QVERIFY(target->sizeStandards().isEmpty());
    QVERIFY(target->strLocusTags().isEmpty());
    QVERIFY(target->snpLocusTags().isEmpty());
    QVERIFY(target->projects().isEmpty());
}

// A set's project is the one its "project" names: its project name becomes that project's name as
// stored, and the report says when the file's said otherwise.
void TestJsonExchange::aSetsProjectIsTheOneItNames_data()
{
    columns<QString, QString, QString, bool>("path", "value", "stored", "noted");
    row("project name of another project", "sets[1].projectName", "Validation", "Default", true);
    row("project named in other letters", "sets[1].project", "DEFAULT", "Default", false);
}

void TestJsonExchange::aSetsProjectIsTheOneItNames()
{
    QFETCH(QString, path);
    QFETCH(QString, value);
    QFETCH(QString, stored);
    QFETCH(bool, noted);
    const QJsonDocument file = withNode(exportStore(*m_source), path, QJsonValue(value));
    const SqlStorePtr target = m_targetWhere->open(false);
    const ImportReport report = importStore(*target, file, QStringLiteral("projects.json"), kRestore);
    const auto set = target->parameterSet(0, kDefault);
    QCOMPARE(set->FragAnalysisParam()->ProjectName(), stored);
    QCOMPARE(target->project(set->ProjectID(), {})->Name(), stored);
    QCOMPARE(report.notes.size(), noted ? 1 : 0);
    if (noted)
        QVERIFY2(report.notes.first().contains(QStringLiteral("\"%1\" in the file was not kept").arg(value)),
                 qPrintable(report.notes.first()));
}

void TestJsonExchange::filesOfTheFirstFormatStillImport()
{
    // Written by the first release from a seeded store with sets, definitions and tags of unusual
    // values added (every definition came along); the expected file describes what that store held.
    const QString base = QStringLiteral(VELTRANE_STORE_TEST_DATA "/exchange-v1");
    const QByteArray file = contentOf(base + QStringLiteral(".json"));
    // Some of those values the rules now refuse, and the file with them; mended, the rest imports as it
    // did. (A set without a project keeps no project identifier either: it was the other store's.)
    struct Mend
    {
        const char *path;
        QJsonValue value;
        const char *line;   // of the expected description, changed by the mending
        const char *mended; // as it reads then
    };
    const Mend mends[] = {
        {"sizeStandards[0].fragments", QJsonArray{60, 120}, nullptr, nullptr},
        {"sets[0].entries[0].identifyAlleles", false,
         "Entry 0 IdentifyAlleles/RelativePeakHeight/Confidence = 1 100 75",
         "Entry 0 IdentifyAlleles/RelativePeakHeight/Confidence = 0 100 75"},
        {"sizeStandards[6].fragments[4]", 800, "SizeStandard.Fragments = 10 20.5 33.3333321 700 0.00100000005",
         "SizeStandard.Fragments = 10 20.5 33.3333321 700 800"},
        {"sets[4].projectId", QString(), nullptr, nullptr},
    };
    const SqlStorePtr target = m_targetWhere->open(false);
    QCOMPARE(errorOf([&] { importStore(*target, file, QStringLiteral("exchange-v1.json"), kRestore); }).description(),
             QStringLiteral("exchange-v1.json: sizeStandards[0].fragments: holds 0 fragments; a size standard has at "
                            "least 2, as the simplest model needs"));
    QJsonDocument mended = QJsonDocument::fromJson(file);
    QString expectedText = QString::fromUtf8(contentOf(base + QStringLiteral(".expected")));
    for (const Mend &m : mends) {
        mended = withNode(mended, QString::fromLatin1(m.path), m.value);
        if (m.line) {
            QVERIFY(expectedText.contains(QString::fromUtf8(m.line)));
            expectedText.replace(QString::fromUtf8(m.line), QString::fromUtf8(m.mended));
        }
    }

    importStore(*target, mended, QStringLiteral("exchange-v1.json"), kRestore);
    QCOMPARE(heldSets(*target).split(u'\n'), expectedText.split(u'\n')); // a difference is told by its line

    // Exported again, the file is the same to the byte but for the mending and the time of the export.
    QJsonObject again = exportStore(*target, {}, ExportScope::AllObjects).object();
    again[QStringLiteral("exportedAt")] = mended.object().value(QStringLiteral("exportedAt"));
    QCOMPARE(QJsonDocument(again).toJson().split('\n'), mended.toJson().split('\n'));
}

// Reads what arrives through a pipe until the writer closes it or the time is up.
class PipeReader : public QThread
{
public:
    explicit PipeReader(QString path)
        : m_path(std::move(path))
    {}
    QByteArray received;

protected:
    void run() override
    {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_NONBLOCK);
        if (fd < 0)
            return;
        QDeadlineTimer deadline(20000);
        bool writerSeen = false;
        char buffer[65536];
        while (!deadline.hasExpired()) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                received.append(buffer, n);
                writerSeen = true;
            } else if (n == 0 && writerSeen) {
                break;
            } else {
                QThread::msleep(5);
            }
        }
        ::close(fd);
    }

private:
    QString m_path;
};

void TestJsonExchange::specialFilesAreWrittenAsStreams()
{
    skipUnlessSqlite();
    // A stream is written from where it stands; asking it to seek only earns a warning on the terminal.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("seek")));
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    PipeReader reader(pipe);
    reader.start();
    exportStoreToFile(*m_source, pipe, {QStringLiteral("SNP Identity Panel")});
    QVERIFY(reader.wait(30000));
    QCOMPARE(QJsonDocument::fromJson(reader.received).object().value(QStringLiteral("sets")).toArray().size(), 1);
    struct stat status = {};
    QCOMPARE(::stat(QFile::encodeName(pipe).constData(), &status), 0);
    QVERIFY2(S_ISFIFO(status.st_mode), "the pipe was replaced by a file");

    // A pipe nobody comes to read is refused after a while rather than waited on for ever (should it be,
    // a reader comes later so the test ends).
    const QString unread = dir.filePath(QStringLiteral("unread"));
    QCOMPARE(::mkfifo(QFile::encodeName(unread).constData(), 0600), 0);
    Error e;
    OutputRules impatient;
    impatient.pipeReaderWaitMs = 300;
    std::unique_ptr<QThread> exporter(QThread::create([&] {
        e = errorOf([&] { exportStoreToFile(*m_source, unread, {}, ExportScope::ReferencedObjects, impatient); });
    }));
    exporter->start();
    if (!exporter->wait(10000)) {
        PipeReader late(unread);
        late.start();
        QVERIFY(exporter->wait(30000) && late.wait(30000));
        QFAIL("the export waited for a reader of the pipe");
    }
    QCOMPARE(e.number(), qint32(kStoreCannotOpen));
    QVERIFY2(e.description().contains(QLatin1String("nothing reads from")), qPrintable(e.description()));

    QCOMPARE(refused([&] { exportStoreToFile(*m_source, dir.path()); }, kStoreCannotOpen, {QStringLiteral("folder")}),
             QString());

    // A device that takes nothing (a copy of /dev/full made here, so a fault replaces only the copy).
    const QString full = dir.filePath(QStringLiteral("full"));
    if (::mknod(QFile::encodeName(full).constData(), S_IFCHR | 0600, makedev(1, 7)) != 0)
        QSKIP("making a device node needs root");
    QCOMPARE(refused([&] { exportStoreToFile(*m_source, full); }, kStoreCannotOpen, {QStringLiteral("No space left")}),
             QString());
    QCOMPARE(::stat(QFile::encodeName(full).constData(), &status), 0);
    QVERIFY2(S_ISCHR(status.st_mode), "the device was replaced by a file");
}

void TestJsonExchange::exportsNeverWriteOverAStore_data()
{
    // output: %s: the store's file; %o: another store's; %d: a folder of the test's
    // says: empty: written
    columns<QString, bool, QString>("output", "replace", "says");
    const char *ours = "the store being worked on";
    row("the store", "%s", false, ours);
    row("the store, replacing allowed", "%s", true, ours);
    row("its write-ahead log", "%s-wal", true, ours);
    row("the log's index", "%s-shm", true, ours);
    row("its journal, not there now", "%s-journal", true, ours);
    row("another spelling", "%d/../store/./store.sqlite", true, ours);
    row("a link to it", "%d/link", true, ours);
    row("a link to its log, not there now", "%d/link-journal", true, ours);
    row("a second name of it", "%d/hard", true, ours);
    row("another store", "%o", false, "holds a database, perhaps another store");
    row("another store's log", "%o-wal", false, "holds a database");
    row("another store, replacing allowed", "%o", true, "");
    row("a file beside the store", "%s.json", false, "");
}

void TestJsonExchange::exportsNeverWriteOverAStore()
{
    if (m_engine != QLatin1String("sqlite"))
        QSKIP("the files of a store are a SQLite store's");
    QFETCH(QString, output);
    QFETCH(bool, replace);
    QFETCH(QString, says);
    QTemporaryDir dir;
    // The store in a folder of its own beside the test's, so that other spellings can reach it.
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("store")) && QDir(dir.path()).mkpath(QStringLiteral("here")));
    const QString file = dir.filePath(QStringLiteral("store/store.sqlite"));
    const SqlStorePtr store = SqlStore::open(file);
    const QString before = heldSets(*store);
    const QString here = dir.filePath(QStringLiteral("here"));
    QCOMPARE(::symlink(QFile::encodeName(file).constData(), QFile::encodeName(here + "/link").constData()), 0);
    QCOMPARE(::symlink(QFile::encodeName(file + "-journal").constData(),
                       QFile::encodeName(here + "/link-journal").constData()),
             0);
    QCOMPARE(::link(QFile::encodeName(file).constData(), QFile::encodeName(here + "/hard").constData()), 0);
    const QString other = m_targetWhere->location();
    m_targetWhere->open(false);
    output.replace(QLatin1String("%s"), file).replace(QLatin1String("%o"), other).replace(QLatin1String("%d"), here);
    const QByteArray otherBefore = contentOf(other);

    const Error e = errorOf([&] {
        exportStoreToFile(*store, output, {QStringLiteral("SNP Identity Panel")}, ExportScope::ReferencedObjects,
                          OutputRules{nullptr, replace, QStringLiteral("ask to replace it")});
    });
    if (says.isEmpty()) {
        QVERIFY2(e.number() == 0, qPrintable(e.description()));
        QCOMPARE(QJsonDocument::fromJson(contentOf(output)).object().value(QStringLiteral("sets")).toArray().size(), 1);
    } else {
        QCOMPARE(e.number(), qint32(kStoreCannotOpen));
        QVERIFY2(e.description().contains(says) && e.description().contains(QLatin1String("nothing was written")),
                 qPrintable(e.description()));
        // How to write over a database is told where it would help.
        QCOMPARE(e.description().contains(QLatin1String("(ask to replace it)")),
                 !replace && says.contains(QLatin1String("holds a database")));
        QCOMPARE(contentOf(other), otherBefore);
    }
    // The store is whole, and nothing of its own was made beside it.
    QCOMPARE(heldSets(*SqlStore::open(file)), before);
    QVERIFY(!QFile::exists(file + QStringLiteral("-journal")));
}

void TestJsonExchange::onlyRegularFilesOfBoundedSizeAreRead_data()
{
    columns<QString, QString>("kind", "says");
    row("one byte past the limit", "past", "the file is 128.0 MiB; exchange files of more than 128 MiB");
    // Read, and judged by what it holds: a document followed by zeros.
    row("at the limit", "at", "not valid JSON");
    row("pipe", "pipe", "not a regular file");
    row("folder", "folder", "folder");
}

void TestJsonExchange::onlyRegularFilesOfBoundedSizeAreRead()
{
    skipUnlessSqlite();
    QFETCH(QString, kind);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QByteArray good = exportStore(*m_source).toJson();
    QString path = dir.filePath(QStringLiteral("sets.json"));
    std::unique_ptr<QThread> writer;
    if (kind == QLatin1String("past") || kind == QLatin1String("at")) {
        // A valid document padded to the size (a sparse file takes no room on disk).
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(good);
        QVERIFY(file.resize(kMaxExchangeFileBytes + (kind == QLatin1String("past") ? 1 : 0)));
        file.close();
        QFile pad(path);
        QVERIFY(pad.open(QIODevice::ReadWrite));
        QVERIFY(pad.seek(good.size()));
        pad.write(QByteArray(4096, ' '));
    } else if (kind == QLatin1String("pipe")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        // Whoever reads the pipe gets a good document; the import must not be that reader.
        writer.reset(QThread::create([path, good] {
            QDeadlineTimer deadline(3000);
            int fd = -1;
            while (fd < 0 && !deadline.hasExpired()) {
                fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
                if (fd < 0)
                    QThread::msleep(5);
            }
            if (fd >= 0) {
                ::fcntl(fd, F_SETFL, 0);
                (void)!::write(fd, good.constData(), size_t(good.size()));
                ::close(fd);
            }
        }));
        writer->start();
    } else {
        path = dir.path();
    }
    const SqlStorePtr target = m_targetWhere->open(false);
    const QString why = refused([&] { importStoreFromFile(*target, path); }, kStoreImportInvalid, {says});
    if (writer)
        writer->wait();
    QCOMPARE(why, QString());
    QVERIFY(target->parameterSets(true).isEmpty());
}

void TestJsonExchange::documentsInOtherFormsAreNamed_data()
{
    columns<QByteArray, QString>("bytes", "says");
    const QByteArray small = R"({"format": "veltrane-parameter-sets", "version": 1})";
    const QString text = QString::fromLatin1(small);
    QByteArray utf16(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    row("UTF-16 with a byte order mark", QByteArray("\xFF\xFE") + utf16, "UTF-16");
    row("UTF-16 without one", utf16, "UTF-16");
    row("a bare number", QByteArray("42"), "not an exchange document");
    row("a bare text", QByteArray("\"sets\""), "not an exchange document");
    row("truncated", small.chopped(1), "not valid JSON");
    row("a list", QByteArray("[1, 2]"), "(document): expected a JSON object");
    QByteArray utf32;
    for (const char32_t c : text.toUcs4())
        utf32.append(reinterpret_cast<const char *>(&c), 4);
    row("UTF-32", utf32, "UTF-32");
    row("zero bytes, not text", QByteArray(4096, '\0'), "begins with zero bytes");
    row("nothing", QByteArray("  \n"), "the file is empty");
    row("more after the document", small + "}", "not valid JSON at character 51: garbage at the end");
    row("a list given twice",
        QByteArray(R"({"format": "veltrane-parameter-sets", "version": 1, )"
                   R"("sets": [], "sets": []})"),
        "odd.json: sets: is given twice");
    row("broken inside a set",
        QByteArray(R"({"format": "veltrane-parameter-sets", "version": 1, )"
                   R"("sets": [{"name": "A", "entries": [1 2]}]})"),
        "not valid JSON at character 89: missing value separator");
}

void TestJsonExchange::documentsInOtherFormsAreNamed()
{
    skipUnlessSqlite();
    QFETCH(QByteArray, bytes);
    QFETCH(QString, says);
    const SqlStorePtr target = m_targetWhere->open(false);
    QCOMPARE(refused([&] { importStore(*target, bytes, QStringLiteral("odd.json")); }, kStoreImportInvalid,
                     {QStringLiteral("odd.json: "), says}),
             QString());
    // A UTF-8 document with a byte order mark in front is read as it is meant.
    importStore(*target,
                QByteArray("\xEF\xBB\xBF") + exportStore(*m_source, {QStringLiteral("SNP Identity Panel")}).toJson(),
                QStringLiteral("bom.json"));
}

VELTRANE_STORE_TEST_MAIN(TestJsonExchange)
#include "test_json_exchange.moc"
