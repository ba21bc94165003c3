#include "host/objects/json_exchange.h"
#include "host/objects/sql_object_manager.h"
#include "store_fixture.h"
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

using namespace veltrane;
using namespace veltrane::host;
using veltrane::test::contentOf;
using veltrane::test::describe;
using veltrane::test::errorOf;
using veltrane::test::heldSets;
using veltrane::test::richSet;
using veltrane::test::StoreLocation;

namespace {

const QString kDefault = QStringLiteral("DefaultFragmentAnalysisParameters");

// What restoring a whole store asks of an import: the sets as they were, flags included.
const ImportOptions kRestore{false, true};

// Sets (or, without a value, removes) the node at a path such as "sets[1].slopeThreshold".
QJsonValue edited(const QJsonValue &node, QStringList steps, const std::optional<QJsonValue> &value)
{
    if (steps.isEmpty())
        return *value;
    const QString step = steps.takeFirst();
    if (step.startsWith(QLatin1Char('['))) {
        QJsonArray array = node.toArray();
        const int i = step.mid(1, step.size() - 2).toInt();
        if (i >= array.size())
            qFatal("the test file has no item %d there", i);
        if (steps.isEmpty() && !value)
            array.removeAt(i);
        else
            array[i] = edited(array.at(i), steps, value);
        return array;
    }
    QJsonObject object = node.toObject();
    if (steps.isEmpty() && !value)
        object.remove(step);
    else
        object[step] = edited(object.value(step), steps, value);
    return object;
}

QJsonDocument withNode(const QJsonDocument &doc, const QString &path, const std::optional<QJsonValue> &value)
{
    QStringList steps;
    static const QRegularExpression token(QStringLiteral("[^.\\[\\]]+|\\[\\d+\\]"));
    for (auto it = token.globalMatch(path); it.hasNext();)
        steps << it.next().captured();
    return QJsonDocument(edited(doc.object(), steps, value).toObject());
}

// Every set of a store described, keyed by name, with the project given by its name.
QMap<QString, QString> allSets(SqlStore &store)
{
    QHash<qint32, QString> projects;
    for (const auto &p : store.projects())
        projects.insert(p->ID(), p->Name());
    QMap<QString, QString> out;
    for (const auto &set : store.parameterSets(true)) {
        const auto s = set->FragAnalysisParam();
        out.insert(s->Name(), describe(*s) + QStringLiteral("\nProject = ") + projects.value(s->ProjectID().toInt()));
    }
    return out;
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
    void malformedInputImportsNothing_data();
    void malformedInputImportsNothing();
    void setsTheEditorWouldRefuseAreNotImported_data();
    void setsTheEditorWouldRefuseAreNotImported();
    void valuesAtTheEdgesOfTheRules_data();
    void valuesAtTheEdgesOfTheRules();
    void filesRoundTrip();
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
    const QByteArray file = exportStore(*m_source).toJson();
    const SqlStorePtr target = m_targetWhere->open(false);
    const ImportReport report = importStore(*target, file, QStringLiteral("all.json"), kRestore);
    const auto expected = allSets(*m_source);
    QCOMPARE(report.sets.size(), expected.size());
    QVERIFY(report.reused.isEmpty() && report.notes.isEmpty());
    const auto imported = allSets(*target);
    QCOMPARE(imported.keys(), expected.keys());
    for (const QString &name : expected.keys())
        QCOMPARE(imported.value(name), expected.value(name));

    // Restored, read-only and hidden sets keep their flags, so the copy behaves as the original does.
    auto copy = FragAnalysisParamPtr::create();
    copy->setName(QStringLiteral("DefaultFragmentAnalysisParameters"));
    copy->setStore(target);
    QCOMPARE(errorOf([&] { copy->Commit(); }).number(), qint32(kStoreReadOnly));
    QCOMPARE(target->parameterSets(false).size(), m_source->parameterSets(false).size());

    // The importing session may go on to edit what it imported.
    auto edit = richSet(*target, QStringLiteral("Exchange \"full\" set ✓"));
    target->commit(*edit);
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

    const Error e = errorOf([&] { exportStore(*m_source, {QStringLiteral("No such set")}); });
    QCOMPARE(e.number(), qint32(kStoreNotFound));
    QVERIFY(e.description().contains(QLatin1String("No such set")));
}

void TestJsonExchange::storedSetsAreReplacedOnlyWhenAsked()
{
    const QString name = QStringLiteral("Exchange \"full\" set ✓");
    const QJsonDocument file = exportStore(*m_source, {name, QStringLiteral("DefaultFragmentAnalysisParameters")});
    const QString before = allSets(*m_source).value(name);

    Error e = errorOf([&] { importStore(*m_source, file, QStringLiteral("both.json")); });
    QCOMPARE(e.number(), qint32(kStoreImportRefused));
    QVERIFY2(e.description().contains(name) && e.description().contains(QLatin1String("read-only")),
             qPrintable(e.description()));
    // A read-only set is never replaced, so the whole file is refused even when replacing is asked.
    e = errorOf([&] { importStore(*m_source, file, QStringLiteral("both.json"), ImportOptions{true}); });
    QCOMPARE(e.number(), qint32(kStoreImportRefused));
    QCOMPARE(allSets(*m_source).value(name), before);

    QJsonDocument changed = exportStore(*m_source, {name});
    changed = withNode(changed, QStringLiteral("sets[0].slopeThreshold"), QJsonValue(42.5));
    const ImportReport report = importStore(*m_source, changed, QStringLiteral("one.json"), ImportOptions{true});
    QCOMPARE(report.replaced, QStringList{name});
    auto back = FragAnalysisParamPtr::create();
    back->setName(name);
    back->setStore(m_sourceWhere->open());
    QCOMPARE(back->Retrieve(), 0);
    QCOMPARE(back->SlopeThreshold(), 42.5f);
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
    QTest::addColumn<int>("stored"); // -1: the set is new to the store
    QTest::addColumn<bool>("keep");
    QTest::addColumn<int>("expected");
    QTest::newRow("new set") << -1 << false << 0;
    QTest::newRow("new set, kept") << -1 << true << 5;
    QTest::newRow("ordinary stored set") << 0 << false << 0;
    QTest::newRow("ordinary stored set, kept") << 0 << true << 5;
    QTest::newRow("hidden stored set") << 4 << false << 4;
}

void TestJsonExchange::attributesComeFromAFileOnlyWhenAsked()
{
    QFETCH(int, stored);
    QFETCH(bool, keep);
    QFETCH(int, expected);
    const QString name = QStringLiteral("Exchange \"full\" set ✓");
    // The file would make the set read-only and hidden, which nobody could undo from the program.
    const QJsonDocument file =
        withNode(exportStore(*m_source, {name}), QStringLiteral("sets[0].attributes"), QJsonValue(5));
    const SqlStorePtr target = m_targetWhere->open(true);
    if (stored >= 0) {
        auto set = richSet(*target, name);
        set->setAttributes(stored);
        target->commit(*set);
    }
    const ImportReport report = importStore(*target, file, QStringLiteral("flags.json"), ImportOptions{true, keep});
    const auto back = target->parameterSet(0, name)->FragAnalysisParam();
    QCOMPARE(back->Attributes(), expected);
    QCOMPARE(report.notes.size(), expected == 5 ? 0 : 1);
    if (expected == 0) {
        // Still listed, and still the importer's to change.
        const QList<AnalysisParameterPtr> listed = target->parameterSets(false);
        QVERIFY(std::any_of(listed.cbegin(), listed.cend(),
                            [&](const AnalysisParameterPtr &set) { return set->Name() == name; }));
        auto edit = richSet(*target, name);
        target->commit(*edit);
    }
}

void TestJsonExchange::malformedInputImportsNothing_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("value"); // undefined: remove the node
    QTest::addColumn<QString>("says");
    const QJsonValue remove(QJsonValue::Undefined);
    QTest::newRow("truncated") << "" << remove << "not valid JSON";
    QTest::newRow("not an object") << "" << QJsonValue(QJsonArray{1, 2}) << "(document)";
    QTest::newRow("other format") << "format" << QJsonValue(QStringLiteral("something else")) << "format";
    QTest::newRow("newer version") << "version" << QJsonValue(2) << "version: format version 2 is newer";
    QTest::newRow("wrong type") << "sets[1].slopeThreshold" << QJsonValue(QStringLiteral("ten"))
                                << "sets[1].slopeThreshold: expected a number";
    QTest::newRow("missing field") << "sets[0].entries" << remove << "sets[0].entries: missing";
    QTest::newRow("three rows") << "sets[0].quantitation[3]" << remove << "sets[0].quantitation: expected a list of 4";
    QTest::newRow("dangling standard") << "sets[2].sizeStandard" << QJsonValue(QStringLiteral("No Such Ladder"))
                                       << "sets[2].sizeStandard: no size standard named \"No Such Ladder\"";
    QTest::newRow("dangling tag") << "sets[1].entries[0].snpLocusTags[1]" << QJsonValue(QStringLiteral("rsNope"))
                                  << "sets[1].entries[0].snpLocusTags[1]";
    QTest::newRow("dangling project") << "sets[0].project" << QJsonValue(QStringLiteral("Nobody's"))
                                      << "sets[0].project";
    QTest::newRow("same set twice") << "sets[2].name"
                                    << QJsonValue(QStringLiteral("defaultfragmentanalysisparameters "))
                                    << "sets[2].name: the parameter set";
    QTest::newRow("peak out of range") << "sets[0].entries[0].calibration.selectedPeaks[0]" << QJsonValue(40000)
                                       << "selectedPeaks[0]";
    QTest::newRow("fraction for a whole number")
        << "sets[0].typeCode" << QJsonValue(10.5) << "sets[0].typeCode: expected a whole number";
    QTest::newRow("bad date") << "sets[0].dateCreated" << QJsonValue(QStringLiteral("yesterday"))
                              << "sets[0].dateCreated";
    QTest::newRow("calibration row") << "mobilityCalibrations[0].coefficients[2]" << QJsonValue(QJsonArray{1, 2})
                                     << "mobilityCalibrations[0].coefficients[2]";
    QTest::newRow("empty name") << "snpLocusTags[0].name" << QJsonValue(QStringLiteral(" ")) << "snpLocusTags[0].name";
    QTest::newRow("not a number") << "sets[1].quantitation[2].amount" << QJsonValue(QStringLiteral("NaN"))
                                  << "sets[1].quantitation[2].amount: expected a number";
    QTest::newRow("too large") << "sizeStandards[0].fragments[1]" << QJsonValue(1e300)
                               << "sizeStandards[0].fragments[1]";
    QTest::newRow("beyond 32 bits") << "sets[0].typeCode" << QJsonValue(2147483648.0)
                                    << "sets[0].typeCode: 2147483648 is not from -2147483648 to 2147483647";
}

void TestJsonExchange::malformedInputImportsNothing()
{
    QFETCH(QString, path);
    QFETCH(QJsonValue, value);
    QFETCH(QString, says);
    const QJsonDocument good = exportStore(*m_source);
    QVERIFY(good.object().value(QStringLiteral("sets")).toArray().size() >= 3);
    QByteArray bytes;
    if (QTest::currentDataTag() == QLatin1String("truncated"))
        bytes = good.toJson().left(good.toJson().size() / 2);
    else if (path.isEmpty())
        bytes = QJsonDocument(value.toArray()).toJson();
    else
        bytes = withNode(good, path, value.isUndefined() ? std::nullopt : std::optional<QJsonValue>(value)).toJson();

    const SqlStorePtr target = m_targetWhere->open(false);
    const Error e = errorOf([&] { importStore(*target, bytes, QStringLiteral("broken.json")); });
    QCOMPARE(e.number(), qint32(kStoreImportInvalid));
    QVERIFY2(e.description().startsWith(QLatin1String("broken.json: ")), qPrintable(e.description()));
    QVERIFY2(e.description().contains(says), qPrintable(e.description()));
    QVERIFY(target->parameterSets(true).isEmpty());
    QVERIFY(target->sizeStandards().isEmpty());
    QVERIFY(target->snpLocusTags().isEmpty());
    QVERIFY(target->projects().isEmpty());
}

void TestJsonExchange::setsTheEditorWouldRefuseAreNotImported_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("says");
    // sets[1] is the default set: a Local Southern calibration with 14 of the 16 peaks of its standard.
    const QString calibration = QStringLiteral("sets[1].entries[0].calibration.");
    const QString row = QStringLiteral("sets[1].quantitation[%1].");
    QTest::newRow("model") << calibration + "modelIndex" << QJsonValue(1000) << "modelIndex: is 1000, not from 0 to 4";
    QTest::newRow("negative peak") << calibration + "selectedPeaks[0]" << QJsonValue(-5)
                                   << "selectedPeaks[0]: is -5, not a fragment of the size standard";
    QTest::newRow("peak beyond the standard")
        << calibration + "selectedPeaks[1]" << QJsonValue(999) << "selectedPeaks[1]: is 999, not a fragment";
    QTest::newRow("peak twice") << calibration + "selectedPeaks[1]" << QJsonValue(0) << "a second time";
    QTest::newRow("too few peaks") << calibration + "selectedPeaks" << QJsonValue(QJsonArray{0, 1})
                                   << "fewer than the model Local Southern needs (3)";
    QTest::newRow("kind") << calibration + "kind" << QJsonValue(-7) << "kind: is -7, not from 0 to 1";
    QTest::newRow("migration variable") << calibration + "migrationVariable" << QJsonValue(2) << "migrationVariable";
    QTest::newRow("confidence") << "sets[1].entries[0].confidenceLevel" << QJsonValue(-50)
                                << "is -50, not from 75 to 99";
    QTest::newRow("relative peak height")
        << "sets[1].entries[0].relativePeakHeightThreshold" << QJsonValue(1e30) << "is 1e+30, not from 0 to 100";
    QTest::newRow("no entries") << "sets[1].entries" << QJsonValue(QJsonArray()) << "at least one size-calling entry";
    QTest::newRow("attributes") << "sets[1].attributes" << QJsonValue(-1) << "bits beyond 7";
    QTest::newRow("type code") << "sets[1].typeCode" << QJsonValue(1012) << "typeCode: is 1012, not 1011";
    QTest::newRow("slope threshold") << "sets[1].slopeThreshold" << QJsonValue(0) << "is 0, not from 1 to 1000";
    QTest::newRow("size or time") << row.arg(0) + "sizeTime" << QJsonValue(2500) << "is 2500, not from 0 to 2000";
    QTest::newRow("window") << row.arg(0) + "window" << QJsonValue(2000) << "window: is 2000, not from 0 to 1999";
    QTest::newRow("size within its window")
        << row.arg(1) + "sizeTime" << QJsonValue(5) << "sizeTime: is 5, not greater than its window 5";
    QTest::newRow("amount too small to keep") << row.arg(2) + "amount" << QJsonValue(1e-50) << "too small";
    QTest::newRow("amount too large") << row.arg(2) + "amount" << QJsonValue(1e30) << "not 0 or from 1e-25";
    QTest::newRow("negative amount") << row.arg(2) + "amount" << QJsonValue(-1) << "amount: is -1";
    QTest::newRow("unit") << row.arg(3) + "unit" << QJsonValue(4) << "unit: is 4, not from 0 to 3";
    QTest::newRow("size or time option") << "sets[1].idStandardBySize" << QJsonValue(2) << "idStandardBySize";
    QTest::newRow("size standard dye") << "sizeStandards[0].dyeIndex" << QJsonValue(9) << "dyeIndex: is 9";
    QTest::newRow("STR tag dye") << "strLocusTags[0].dye" << QJsonValue(-1) << "dye: is -1";
}

void TestJsonExchange::setsTheEditorWouldRefuseAreNotImported()
{
    QFETCH(QString, path);
    QFETCH(QJsonValue, value);
    QFETCH(QString, says);
    const QJsonDocument good = exportStore(*m_source);
    QCOMPARE(good.object().value(QStringLiteral("sets")).toArray().at(1)[QStringLiteral("name")].toString(), kDefault);
    const SqlStorePtr target = m_targetWhere->open(false);
    const Error e = errorOf([&] { importStore(*target, withNode(good, path, value), QStringLiteral("rules.json")); });
    QCOMPARE(e.number(), qint32(kStoreImportInvalid));
    QVERIFY2(e.description().startsWith(QStringLiteral("rules.json: %1: ").arg(path)), qPrintable(e.description()));
    QVERIFY2(e.description().contains(says), qPrintable(e.description()));
    QVERIFY(target->parameterSets(true).isEmpty());
    QVERIFY(target->sizeStandards().isEmpty());
}

void TestJsonExchange::valuesAtTheEdgesOfTheRules_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("says");      // empty: imported
    QTest::addColumn<QJsonValue>("stored"); // what an import keeps at the path, when not the value
    const QJsonValue same(QJsonValue::Undefined);
    const auto row = [&](const char *tag, const QString &path, const QJsonValue &value, const char *says,
                         const QJsonValue &stored = QJsonValue(QJsonValue::Undefined)) {
        QTest::newRow(tag) << path << value << QString::fromUtf8(says) << stored;
    };
    // sizeStandards[0] is the default set's 16 fragments from 35 to 500; [3] the SNP pair of 60 and 120.
    const QString ladder = QStringLiteral("sizeStandards[0].");
    row("fragment of 0", ladder + "fragments[0]", 0, "fragments[0]: is 0, not a size greater than 0");
    row("smallest fragment", ladder + "fragments[0]", 1e-3, "");
    row("fragment as the one before", ladder + "fragments[2]", 50, "is 50, not larger than the fragment before");
    row("fragment just above the one before", ladder + "fragments[2]", 50.5, "");
    row("fragment of no size", ladder + "fragments[1]", -35, "fragments[1]: is -35");
    row("infinite fragment", ladder + "fragments[15]", QStringLiteral("Infinity"), "fragments[15]: is inf");
    row("one fragment", "sizeStandards[3].fragments", QJsonArray{60},
        "holds 1 fragments; a size standard has at least 2");
    row("fit above 1", ladder + "fitCoefficient", 1.0000001, "fitCoefficient: is 1.0000001, not from 0 to 1");
    row("fit of 1", ladder + "fitCoefficient", 1, "");
    row("fit below 0", ladder + "fitCoefficient", -7, "fitCoefficient: is -7");
    row("fit of 0", ladder + "fitCoefficient", 0, "");
    // strLocusTags[0] is Amelogenin, from 98 to 116.
    row("STR sizes the wrong way round", "strLocusTags[0].maxSize", 97.5, "maxSize: is 97.5, smaller than MinSize 98");
    row("STR sizes of one size", "strLocusTags[0].maxSize", 98, "");
    row("STR size below 0", "strLocusTags[0].minSize", -1, "minSize: is -1, not a size of 0 or more");
    row("STR size of 0", "strLocusTags[0].minSize", 0, "");
    row("infinite SNP tag number", "snpLocusTags[0].tagNumber", QStringLiteral("Infinity"), "tagNumber: is inf");
    row("largest SNP tag number", "snpLocusTags[0].tagNumber", double(std::numeric_limits<float>::max()), "");
    row("infinite mobility coefficient", "mobilityCalibrations[0].coefficients[1][2]", QStringLiteral("-Infinity"),
        "coefficients[1][2]: is -inf, not a finite number");
    row("largest mobility coefficient", "mobilityCalibrations[0].coefficients[1][2]",
        -double(std::numeric_limits<float>::max()), "");
    // Texts, whatever holds them: sets[1] is the default set.
    const QString longest(255, QLatin1Char('t'));
    row("NUL in a tag's text", "snpLocusTags[0].texts[1]", QStringLiteral("A\u0000B"), "texts[1]: it holds a control");
    row("escape in a calibration's name", "sets[1].entries[0].calibration.name", QStringLiteral("\u001B[2J"),
        "calibration.name: it holds a control character (U+001B)");
    row("lone surrogate in a project name", "sets[1].projectName", QString(QChar(0xD800)),
        "projectName: it is not valid");
    row("text of 256 characters", "snpLocusTags[0].texts[1]", QString(longest + QLatin1Char('t')),
        "256 characters long");
    row("text of 255 characters", "snpLocusTags[0].texts[1]", longest, "");
    // Combinations the editor does not make.
    row("both analyses", "sets[1].snpAnalysis", true, "entries[0].identifyAlleles: is on together with SNPAnalysis");
    row("calibration without a size standard", "sets[1].sizeStandard", QJsonValue(QJsonValue::Null),
        "sets[1].sizeStandard: is none, but entry 0 has a calibration (model 2)");
    row("calibrated with another size standard", "sets[1].sizeStandard",
        QStringLiteral("SNP Pair 60/120 (2 fragments)"),
        "sets[1].sizeStandard: is \"SNP Pair 60/120 (2 fragments)\", but entry 0 is calibrated with");
    row("STR tag twice", "sets[1].entries[0].strLocusTags[1]", QStringLiteral("Amelogenin"),
        "entries[0].strLocusTags[1]: lists the locus tag \"Amelogenin\" a second time");
    // A set's project is the one it names, and its project name that project's.
    row("project name of another project", "sets[1].projectName", QStringLiteral("Validation"), "",
        QStringLiteral("Default"));
    row("project named in other letters", "sets[1].project", QStringLiteral("DEFAULT"), "", QStringLiteral("Default"));
}

void TestJsonExchange::valuesAtTheEdgesOfTheRules()
{
    QFETCH(QString, path);
    QFETCH(QJsonValue, value);
    QFETCH(QString, says);
    QFETCH(QJsonValue, stored);
    const QJsonDocument good = exportStore(*m_source);
    QCOMPARE(good.object().value(QStringLiteral("sets")).toArray().at(1)[QStringLiteral("name")].toString(), kDefault);
    const QJsonDocument file = withNode(good, path, value);
    const SqlStorePtr target = m_targetWhere->open(false);
    const Error e = errorOf([&] { importStore(*target, file, QStringLiteral("edges.json"), kRestore); });
    if (!says.isEmpty()) {
        QCOMPARE(e.number(), qint32(kStoreImportInvalid));
        QVERIFY2(e.description().startsWith(QLatin1String("edges.json: ")) && e.description().contains(says),
                 qPrintable(e.description()));
        QVERIFY(target->parameterSets(true).isEmpty() && target->sizeStandards().isEmpty());
        return;
    }
    QVERIFY2(e.number() == 0, qPrintable(e.description()));
    // Read back from the store as an export writes it.
    const QJsonDocument back = exportStore(*target, {}, ExportScope::AllObjects);
    const QJsonDocument expected = withNode(back, path, stored.isUndefined() ? value : stored);
    QCOMPARE(back.toJson(), expected.toJson());
}

void TestJsonExchange::filesRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sets.json"));
    exportStoreToFile(*m_source, path);
    const SqlStorePtr target = m_targetWhere->open(false);
    importStoreFromFile(*target, path, kRestore);
    QCOMPARE(allSets(*target), allSets(*m_source));

    const Error e = errorOf([&] { importStoreFromFile(*target, dir.filePath(QStringLiteral("missing.json"))); });
    QCOMPARE(e.number(), qint32(kStoreImportInvalid));
    QVERIFY(e.description().contains(QLatin1String("missing.json")));
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
    const QStringList held = heldSets(*target).split(u'\n');
    const QStringList expected = expectedText.split(u'\n');
    QCOMPARE(held.size(), expected.size());
    for (qsizetype i = 0; i < held.size(); ++i)
        QCOMPARE(held.at(i), expected.at(i));

    // Exported again, the file is the same to the byte but for the mending and the time of the export.
    QJsonObject again = exportStore(*target, {}, ExportScope::AllObjects).object();
    again[QStringLiteral("exportedAt")] = mended.object().value(QStringLiteral("exportedAt"));
    const QList<QByteArray> lines = QJsonDocument(again).toJson(QJsonDocument::Indented).split('\n');
    const QList<QByteArray> original = mended.toJson(QJsonDocument::Indented).split('\n');
    QCOMPARE(lines.size(), original.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        QCOMPARE(lines.at(i), original.at(i));
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

    e = errorOf([&] { exportStoreToFile(*m_source, dir.path()); });
    QCOMPARE(e.number(), qint32(kStoreCannotOpen));
    QVERIFY2(e.description().contains(QLatin1String("folder")), qPrintable(e.description()));

    // A device that takes nothing (a copy of /dev/full made here, so a fault replaces only the copy).
    const QString full = dir.filePath(QStringLiteral("full"));
    if (::mknod(QFile::encodeName(full).constData(), S_IFCHR | 0600, makedev(1, 7)) != 0)
        QSKIP("making a device node needs root");
    e = errorOf([&] { exportStoreToFile(*m_source, full); });
    QCOMPARE(e.number(), qint32(kStoreCannotOpen));
    QVERIFY2(e.description().contains(QLatin1String("No space left")), qPrintable(e.description()));
    QCOMPARE(::stat(QFile::encodeName(full).constData(), &status), 0);
    QVERIFY2(S_ISCHR(status.st_mode), "the device was replaced by a file");
}

void TestJsonExchange::exportsNeverWriteOverAStore_data()
{
    QTest::addColumn<QString>("output"); // %s: the store's file; %o: another store's; %d: a folder of the test's
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QString>("says"); // empty: written
    const char *ours = "the store being worked on";
    QTest::newRow("the store") << "%s" << false << ours;
    QTest::newRow("the store, replacing allowed") << "%s" << true << ours;
    QTest::newRow("its write-ahead log") << "%s-wal" << true << ours;
    QTest::newRow("the log's index") << "%s-shm" << true << ours;
    QTest::newRow("its journal, not there now") << "%s-journal" << true << ours;
    QTest::newRow("another spelling") << "%d/../store/./store.sqlite" << true << ours;
    QTest::newRow("a link to it") << "%d/link" << true << ours;
    QTest::newRow("a link to its log, not there now") << "%d/link-journal" << true << ours;
    QTest::newRow("a second name of it") << "%d/hard" << true << ours;
    QTest::newRow("another store") << "%o" << false << "holds a database, perhaps another store";
    QTest::newRow("another store's log") << "%o-wal" << false << "holds a database";
    QTest::newRow("another store, replacing allowed") << "%o" << true << "";
    QTest::newRow("a file beside the store") << "%s.json" << false << "";
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
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("says");
    QTest::newRow("larger than the limit") << "large"
                                           << "more than 128 MiB";
    QTest::newRow("pipe") << "pipe"
                          << "not a regular file";
    QTest::newRow("folder") << "folder"
                            << "folder";
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
    if (kind == QLatin1String("large")) {
        // A valid document padded past the limit with blanks (a sparse file takes no room on disk).
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(good);
        QVERIFY(file.resize(kMaxExchangeFileBytes + 1));
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
    const Error e = errorOf([&] { importStoreFromFile(*target, path); });
    if (writer)
        writer->wait();
    QCOMPARE(e.number(), qint32(kStoreImportInvalid));
    QVERIFY2(e.description().contains(says), qPrintable(e.description()));
    QVERIFY(target->parameterSets(true).isEmpty());
}

void TestJsonExchange::documentsInOtherFormsAreNamed_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("says");
    const QByteArray small = R"({"format": "veltrane-parameter-sets", "version": 1})";
    const QString text = QString::fromLatin1(small);
    QByteArray utf16(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    QTest::newRow("UTF-16 with a byte order mark") << QByteArray("\xFF\xFE") + utf16 << "UTF-16";
    QTest::newRow("UTF-16 without one") << utf16 << "UTF-16";
    QTest::newRow("a bare number") << QByteArray("42") << "not an exchange document";
    QTest::newRow("a bare text") << QByteArray("\"sets\"") << "not an exchange document";
    QByteArray utf32;
    for (const char32_t c : text.toUcs4())
        utf32.append(reinterpret_cast<const char *>(&c), 4);
    QTest::newRow("UTF-32") << utf32 << "UTF-32";
    QTest::newRow("zero bytes, not text") << QByteArray(4096, '\0') << "begins with zero bytes";
    QTest::newRow("nothing") << QByteArray("  \n") << "the file is empty";
    QTest::newRow("more after the document") << small + "}"
                                             << "not valid JSON at character 51: garbage at the end";
    QTest::newRow("a list given twice") << QByteArray(R"({"format": "veltrane-parameter-sets", "version": 1, )"
                                                      R"("sets": [], "sets": []})")
                                        << "odd.json: sets: is given twice";
    QTest::newRow("broken inside a set") << QByteArray(R"({"format": "veltrane-parameter-sets", "version": 1, )"
                                                       R"("sets": [{"name": "A", "entries": [1 2]}]})")
                                         << "not valid JSON at character 89: missing value separator";
}

void TestJsonExchange::documentsInOtherFormsAreNamed()
{
    skipUnlessSqlite();
    QFETCH(QByteArray, bytes);
    QFETCH(QString, says);
    const SqlStorePtr target = m_targetWhere->open(false);
    const Error e = errorOf([&] { importStore(*target, bytes, QStringLiteral("odd.json")); });
    QCOMPARE(e.number(), qint32(kStoreImportInvalid));
    QVERIFY2(e.description().startsWith(QLatin1String("odd.json: ")) && e.description().contains(says),
             qPrintable(e.description()));
    // A UTF-8 document with a byte order mark in front is read as it is meant.
    importStore(*target,
                QByteArray("\xEF\xBB\xBF") + exportStore(*m_source, {QStringLiteral("SNP Identity Panel")}).toJson(),
                QStringLiteral("bom.json"));
}

VELTRANE_STORE_TEST_MAIN(TestJsonExchange)
#include "test_json_exchange.moc"
