// The editor's Validate, Save and Save As, and the save-as page, through their real widgets in the
// real flows over the real store, on every engine the suite reaches.

#include "editor_driver.h"
#include "host/framework/flow_registry.h"
#include "page_host.h"
#include "platform/forms/list_box.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"

#include <QApplication>
#include <QTest>

using namespace veltrane;
using namespace veltrane::test;

namespace {

const QString kCasework = QStringLiteral("STR Casework 20-Fragment Ladder");
const QString kSnpPanel = QStringLiteral("SNP Identity Panel");
const QString kQuickSizing = QStringLiteral("Quick Sizing (no size standard)");
const QString kHidden = QStringLiteral("Archived Settings 2019");
const QString kRequired = QStringLiteral("Fragment Analysis Parameters Name is required");
const QString kNotUnique = QStringLiteral("Fragment Analysis Parameters Name is not unique");
constexpr quint32 kYellow = 65535;
constexpr quint32 kWindowBackground = 0x80000005;

// A window left invalid on purpose: the first quantitation window is out of its range.
const QString kBadWindow = QStringLiteral("txtWindow(0)=2000");
const QString kGoodWindow = QStringLiteral("txtWindow(0)=5");

} // namespace

class TestEditorSaving : public QObject
{
    Q_OBJECT
public:
    explicit TestEditorSaving(QString engine)
        : m_engine(std::move(engine))
    {}

private slots:
    void init();
    void cleanup();

    void nameRules_data();
    void nameRules();
    void notUniqueKeepsTheNameFieldColour();
    void rangeChecks_data();
    void rangeChecks();
    void snpRule_data();
    void snpRule();
    void savedValues_data();
    void savedValues();
    void unreadableAmountFailsTheSaveAndStoresNothing_data();
    void unreadableAmountFailsTheSaveAndStoresNothing();
    void cancelledSaveAsChangesNothing();
    void completedSaveAsStoresANewSetAndLeavesTheOldOne();
    void everySaveAfterSaveAsPublishesTheSetAgain();
    void cancelAfterSaveAsStoresNothing();

    void saveAsPageNames_data();
    void saveAsPageNames();
    void clickingAStoredNameRefusesLeaving();
    void saveAsWithoutTheSetToSaveKeepsTheDefaultText();
    void saveAsThatCannotStartCanBeTriedAgain();

private:
    FragAnalysisParamPtr stored(const QString &name) const { return m_store->stored(name); }
    QString storedText(const QString &name) const { return m_store->storedText(name); }
    AnalysisParameterPtr listed(const QString &name) { return m_store->host().loadSet(name); }
    QList<host::HostUtilities::Report> shownReports() { return m_store->host().shownReports(); }

    QString m_engine;
    std::unique_ptr<EngineHost> m_store;
};

void TestEditorSaving::init()
{
    m_store = std::make_unique<EngineHost>(m_engine);
}

void TestEditorSaving::cleanup()
{
    m_store.reset();
}

void TestEditorSaving::nameRules_data()
{
    QTest::addColumn<QString>("opened");
    QTest::addColumn<bool>("isNew");
    QTest::addColumn<QString>("typed"); // null: the name is not touched
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint32>("backColor");
    QTest::addColumn<QString>("tip");
    QTest::newRow("new set, empty name") << stored::kDefaultParameterSet << true << "" << false << kYellow << kRequired;
    QTest::newRow("new set, only blanks")
        << stored::kDefaultParameterSet << true << "   " << false << kYellow << kRequired;
    QTest::newRow("new set, stored name with trailing blanks")
        << stored::kDefaultParameterSet << true << kSnpPanel + "  " << false << kWindowBackground << kNotUnique;
    QTest::newRow("new set, stored name in other letter case")
        << stored::kDefaultParameterSet << true << kSnpPanel.toUpper() << false << kWindowBackground << kNotUnique;
    QTest::newRow("new set, hidden set's name")
        << stored::kDefaultParameterSet << true << kHidden << false << kWindowBackground << kNotUnique;
    QTest::newRow("new set, fresh name") << stored::kDefaultParameterSet << true << "Run 12 settings" << true
                                         << kWindowBackground << "";
    QTest::newRow("stored set keeps its own name")
        << kSnpPanel << false << QString() << true << kWindowBackground << "";
}

void TestEditorSaving::nameRules()
{
    QFETCH(QString, opened);
    QFETCH(bool, isNew);
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    QFETCH(quint32, backColor);
    QFETCH(QString, tip);
    const QString before = storedText(opened);

    bool ended = false;
    quint32 shownColor = 0;
    QString shownTip;
    const EditorOutcome outcome = runEditor(listed(opened), isNew, [&](EditorDriver &editor) {
        if (!typed.isNull())
            editor.apply(QStringLiteral("txtParameterSetName=") + typed);
        editor.apply(QStringLiteral("txtSlopeThreshold=17")); // a change, so Save is offered
        ended = editor.click(kCommandCommit);
        shownColor = editor.property(QStringLiteral("txtParameterSetName"), "BackColor").toUInt();
        shownTip = editor.property(QStringLiteral("txtParameterSetName"), "ToolTipText").toString();
    });
    QVERIFY(outcome.shown);
    QCOMPARE(ended, valid);
    QCOMPARE(outcome.cancelled, !valid);
    QCOMPARE(shownColor, backColor);
    QCOMPARE(shownTip, tip);
    QVERIFY(shownReports().isEmpty());
    if (!valid) {
        QCOMPARE(storedText(opened), before);
        return;
    }
    const QString savedName = typed.isNull() ? opened : typed;
    const FragAnalysisParamPtr saved = stored(savedName);
    QVERIFY(saved);
    QCOMPARE(saved->Name(), savedName);
    QCOMPARE(saved->SlopeThreshold(), 17.0f);
    if (isNew) // the template is left as it was
        QCOMPARE(storedText(opened), before);
}

void TestEditorSaving::notUniqueKeepsTheNameFieldColour()
{
    QStringList tips;
    QList<quint32> colors;
    const EditorOutcome outcome = runEditor(listed(stored::kDefaultParameterSet), true, [&](EditorDriver &editor) {
        const QString name = QStringLiteral("txtParameterSetName");
        for (const QString &typed :
             QStringList{QString(), kCasework + QStringLiteral(" "), QStringLiteral("Casework, lab 2")}) {
            editor.apply(name + QLatin1Char('=') + typed);
            editor.click(kCommandCommit);
            tips << editor.property(name, "ToolTipText").toString();
            colors << editor.property(name, "BackColor").toUInt();
        }
    });
    // The name that is taken says so without taking the yellow back: only a good name does.
    QCOMPARE(tips, (QStringList{kRequired, kNotUnique, QString()}));
    QCOMPARE(colors, (QList<quint32>{kYellow, kYellow, kWindowBackground}));
    QVERIFY(!outcome.cancelled);
    QVERIFY(stored(QStringLiteral("Casework, lab 2")));
}

void TestEditorSaving::rangeChecks_data()
{
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QString>("yellow"); // the field marked, empty when the page is valid
    QTest::newRow("size/time 2000") << QStringList{"txtSizeTime(0)=2000", "txtWindow(0)=5"} << "";
    QTest::newRow("window 1999 under size/time 2000") << QStringList{"txtSizeTime(1)=2000", "txtWindow(1)=1999"} << "";
    QTest::newRow("window 2000") << QStringList{"txtSizeTime(2)=2000", "txtWindow(2)=2000"} << "txtWindow(2)";
    QTest::newRow("window not under size/time")
        << QStringList{"txtSizeTime(3)=40", "txtWindow(3)=40"} << "txtSizeTime(3)";
    QTest::newRow("confidence 74") << QStringList{"txtConfidenceLevel=74"} << "txtConfidenceLevel";
    QTest::newRow("slope 1001") << QStringList{"txtSlopeThreshold=1001"} << "txtSlopeThreshold";
}

void TestEditorSaving::rangeChecks()
{
    QFETCH(QStringList, edits);
    QFETCH(QString, yellow);
    const QString before = storedText(kCasework);
    bool ended = false;
    quint32 color = 0;
    runEditor(listed(kCasework), false, [&](EditorDriver &editor) {
        editor.apply(edits);
        ended = editor.click(kCommandCommit);
        if (!yellow.isEmpty())
            color = editor.property(yellow, "BackColor").toUInt();
    });
    QCOMPARE(ended, yellow.isEmpty());
    if (yellow.isEmpty()) {
        QVERIFY(storedText(kCasework) != before);
    } else {
        QCOMPARE(color, kYellow);
        QCOMPARE(storedText(kCasework), before);
    }
}

void TestEditorSaving::snpRule_data()
{
    QTest::addColumn<QString>("opened");
    QTest::addColumn<bool>("failFirst"); // the first Validate is refused for another reason
    QTest::addColumn<bool>("saved");
    QTest::newRow("first validation ignores the rule") << kCasework << false << true;
    QTest::newRow("second validation refuses 20 fragments") << kCasework << true << false;
    QTest::newRow("second validation takes 2 fragments, both selected") << kSnpPanel << true << true;
    QTest::newRow("no size standard, no rule") << kQuickSizing << true << true;
}

void TestEditorSaving::snpRule()
{
    QFETCH(QString, opened);
    QFETCH(bool, failFirst);
    QFETCH(bool, saved);
    bool ended = false;
    runEditor(listed(opened), false, [&](EditorDriver &editor) {
        editor.apply(QStringLiteral("chkSNP=1"));
        if (failFirst) {
            editor.apply(kBadWindow);
            QVERIFY(!editor.click(kCommandCommit));
            editor.apply(kGoodWindow);
        }
        ended = editor.click(kCommandCommit);
    });
    QCOMPARE(ended, saved);
    QCOMPARE(stored(opened)->SNPAnalysis(), saved || opened == kSnpPanel);
}

void TestEditorSaving::savedValues_data()
{
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QStringList>("lines"); // lines of the stored set's description
    QTest::newRow("[None] size standard")
        << QStringList{"cmbSizeStandard=[None]"}
        << QStringList{"SizeStandard = nothing", "EntryCount = 1", "Entry 0 SizeCalibration = nothing"};
    QTest::newRow("[None] mobility reference")
        << QStringList{"cmbMobilityReference=[None]"} << QStringList{"StandardMobilityReference = nothing"};
    QTest::newRow("other mobility reference") << QStringList{"cmbMobilityReference=Long Polymer Reference"}
                                              << QStringList{"StandardMobilityReference = \"Long Polymer Reference\"",
                                                             "StandardMobilityReference.Kind/EnumTypeID = 0 3"};
    QTest::newRow("amount 2.5 power 3") << QStringList{"txtAmount(0)=2.5", "txtPower(0)=3"}
                                        << QStringList{"Row 0 = spectra 1 sizeTime 100 window 5 amount 2500 unit 0"};
    QTest::newRow("amount 1.50 power -4")
        << QStringList{"txtAmount(3)=1.50", "txtPower(3)=-4", "cmbUnits(3)=g/L"}
        << QStringList{"Row 3 = spectra 1 sizeTime 400 window 10 amount 0.000150000007 unit 3"};
}

void TestEditorSaving::savedValues()
{
    QFETCH(QStringList, edits);
    QFETCH(QStringList, lines);
    const EditorOutcome outcome = runEditor(listed(kCasework), false, [&](EditorDriver &editor) {
        editor.apply(edits);
        // Only some fields count as a change that offers Save; the slope is one of them.
        editor.apply(QStringLiteral("txtSlopeThreshold=13"));
        editor.click(kCommandCommit);
    });
    QVERIFY(!outcome.cancelled);
    const QStringList storedLines = storedText(kCasework).split(QLatin1Char('\n'));
    for (const QString &line : lines)
        QVERIFY2(storedLines.contains(line), qPrintable(storedLines.join(QLatin1Char('\n'))));
}

void TestEditorSaving::unreadableAmountFailsTheSaveAndStoresNothing_data()
{
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("power");
    QTest::addColumn<qint32>("error");
    QTest::newRow("empty power") << "1.00"
                                 << "" << qint32(kTypeMismatch);
    // A pasted power beyond what the leaving rule clamps: too large to store.
    QTest::newRow("amount beyond single precision") << "9.99"
                                                    << "99" << qint32(kOverflow);
}

void TestEditorSaving::unreadableAmountFailsTheSaveAndStoresNothing()
{
    QFETCH(QString, amount);
    QFETCH(QString, power);
    QFETCH(qint32, error);
    const QString before = storedText(kCasework);
    bool ended = true;
    QString slopeAfter;
    runEditor(listed(kCasework), false, [&](EditorDriver &editor) {
        editor.apply({QStringLiteral("txtSlopeThreshold=33"), QStringLiteral("txtAmount(2)=") + amount,
                      QStringLiteral("txtPower(2)=") + power});
        ended = editor.click(kCommandCommit);
        slopeAfter = editor.text(QStringLiteral("txtSlopeThreshold"));
    });
    QVERIFY(!ended);
    QCOMPARE(slopeAfter, QStringLiteral("33"));
    const auto shown = shownReports();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().error.number(), error);
    QCOMPARE(shown.first().procedureName, QStringLiteral("Save"));
    QCOMPARE(storedText(kCasework), before);
}

void TestEditorSaving::cancelledSaveAsChangesNothing()
{
    const QString before = storedText(kCasework);
    QString label;
    bool nameBoxVisible = true;
    const EditorOutcome outcome = runEditor(listed(kCasework), false, [&](EditorDriver &editor) {
        editor.apply(QStringLiteral("txtSlopeThreshold=21"));
        saveAs(editor, QString());
        label = editor.property(QStringLiteral("lblAnalysisParameter"), "Caption").toString();
        nameBoxVisible = editor.property(QStringLiteral("txtParameterSetName"), "Visible").toBool();
        QVERIFY(editor.click(kCommandCommit));
    });
    QCOMPARE(label, kCasework);
    QVERIFY(!nameBoxVisible); // as an existing set shows it
    QVERIFY(!outcome.cancelled);
    QVERIFY(!outcome.context->Contains(keys::kNewSaveAs));
    QVERIFY(!outcome.context->Contains(keys::kSaveParamAs));
    QCOMPARE(stored(kCasework)->SlopeThreshold(), 21.0f);
    QVERIFY(storedText(kCasework) != before);
}

void TestEditorSaving::completedSaveAsStoresANewSetAndLeavesTheOldOne()
{
    const QString before = storedText(kCasework);
    const QString copy = QStringLiteral("Casework copy");
    QString label;
    bool nameBoxVisible = true;
    const EditorOutcome outcome = runEditor(listed(kCasework), false, [&](EditorDriver &editor) {
        editor.apply(QStringLiteral("txtSlopeThreshold=22"));
        editor.window().connect(&editor.window(), &host::ServiceWindowDialog::flowEnded, [&] {
            label = editor.property(QStringLiteral("lblAnalysisParameter"), "Caption").toString();
            nameBoxVisible = editor.property(QStringLiteral("txtParameterSetName"), "Visible").toBool();
        });
        saveAs(editor, copy);
    });
    QVERIFY(!outcome.cancelled);
    QCOMPARE(label, copy);
    QVERIFY(!nameBoxVisible);
    const auto published = outcome.context->Object<AnalysisParameter>(keys::kNewSaveAs);
    QVERIFY(published);
    QCOMPARE(published->Name(), copy);
    QVERIFY(published->ID() > 0);
    QCOMPARE(stored(copy)->SlopeThreshold(), 22.0f);
    QCOMPARE(stored(copy)->Attributes(), 0);
    QCOMPARE(storedText(kCasework), before);
}

void TestEditorSaving::everySaveAfterSaveAsPublishesTheSetAgain()
{
    // The first name is taken meanwhile by another workstation, so its commit is refused; the second
    // Save As replaces the name left in the context, and the next save publishes the set again.
    const QString first = QStringLiteral("Casework A");
    const QString second = QStringLiteral("Casework B");
    QStringList published;
    const EditorOutcome outcome = runEditor(listed(kCasework), false, [&](EditorDriver &editor) {
        editor.apply(kBadWindow);
        saveAs(editor, first); // refused by the page: the window is out of range
        QVERIFY(!editor.window().isFinished());
        published << (editor.window().businessContext()->Contains(keys::kNewSaveAs) ? QStringLiteral("early")
                                                                                    : QString());
        auto other = FragAnalysisParamPtr::create();
        other->setName(first);
        other->setStore(m_store->other());
        other->Commit();
        editor.apply(kGoodWindow);
        QVERIFY(!editor.click(kCommandCommit)); // the store refuses: "Casework A" exists now
        saveAs(editor, second);
    });
    QVERIFY(!outcome.cancelled);
    QCOMPARE(published, QStringList{QString()});
    QCOMPARE(outcome.context->Object<AnalysisParameter>(keys::kNewSaveAs)->Name(), second);
    QCOMPARE(outcome.context->Item(keys::kParamName).toString(), second);
    QCOMPARE(stored(first)->SlopeThreshold(), 0.0f); // the other workstation's set is untouched
    QCOMPARE(stored(second)->QuantWindow(0), 5.0f);
}

void TestEditorSaving::cancelAfterSaveAsStoresNothing()
{
    const QString before = storedText(kCasework);
    const EditorOutcome outcome = runEditor(listed(kCasework), false, [&](EditorDriver &editor) {
        editor.apply(kBadWindow);
        saveAs(editor, QStringLiteral("Never stored"));
        QVERIFY(!editor.window().isFinished());
        QVERIFY(editor.click(kCommandCancel));
    });
    QVERIFY(outcome.cancelled);
    QVERIFY(!stored(QStringLiteral("Never stored")));
    QCOMPARE(storedText(kCasework), before);
}

void TestEditorSaving::saveAsPageNames_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("only spaces") << "    " << false;
    QTest::newRow("stored name") << kSnpPanel << false;
    QTest::newRow("stored name, trailing spaces") << kSnpPanel + "   " << false;
    QTest::newRow("stored name, leading space") << " " + kSnpPanel << true;
    QTest::newRow("new name, trailing spaces kept") << "Plant panel  " << true;
}

void TestEditorSaving::saveAsPageNames()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    const CollectionPtr context = newCollection();
    context->Add(toVariant(ObjectManager().NewObject(types::kAnalysisParameter)), keys::kSaveParamAs);
    context->Add(QStringLiteral("left from an earlier Save As"), keys::kParamName);
    bool ended = false;
    onNextPage([&](EditorDriver &page) {
        QCOMPARE(page.text(QStringLiteral("txtAnalysisParamName")), QString());
        page.apply(QStringLiteral("txtAnalysisParamName=") + typed);
        ended = page.click(kCommandCommit);
    });
    const ServiceWindowPtr window =
        App().RunService(flows::kSaveAnalysisParameterAs, context, nullptr, flow_options::kSaveAnalysisParameterAs);
    QCOMPARE(ended, accepted);
    QCOMPARE(window->WasCancelled(), !accepted);
    if (accepted)
        QCOMPARE(context->Item(keys::kParamName).toString(), typed); // exactly as typed
    else
        QVERIFY(!context->Contains(keys::kParamName));
    QVERIFY(shownReports().isEmpty());
}

void TestEditorSaving::clickingAStoredNameRefusesLeaving()
{
    QString filled;
    bool refused = false;
    const EditorOutcome outcome = runEditor(listed(kCasework), false, [&](EditorDriver &editor) {
        onNextPage([&](EditorDriver &page) {
            auto *list = qobject_cast<ListBox *>(page.control(QStringLiteral("lstAnalysisParamNameList")));
            for (int i = 0; i < list->ListCount(); ++i)
                if (list->List(i) == kSnpPanel)
                    list->setListIndex(i);
            filled = page.text(QStringLiteral("txtAnalysisParamName"));
            refused = !page.click(kCommandCommit);
            page.apply(QStringLiteral("txtAnalysisParamName=") + kSnpPanel + QStringLiteral(" 2"));
            page.click(kCommandCommit);
        });
        editor.click(kCommandSaveAs);
    });
    QCOMPARE(filled, kSnpPanel);
    QVERIFY(refused);
    QVERIFY(!outcome.cancelled);
    QVERIFY(stored(kSnpPanel + QStringLiteral(" 2")));
}

void TestEditorSaving::saveAsWithoutTheSetToSaveKeepsTheDefaultText()
{
    const CollectionPtr context = newCollection();
    int listed = -1;
    QString box;
    onNextPage([&](EditorDriver &page) {
        listed = page.property(QStringLiteral("lstAnalysisParamNameList"), "ListCount").toInt();
        box = page.text(QStringLiteral("txtAnalysisParamName"));
        page.click(kCommandCommit);
    });
    const ServiceWindowPtr window =
        App().RunService(flows::kSaveAnalysisParameterAs, context, nullptr, flow_options::kSaveAnalysisParameterAs);
    QCOMPARE(listed, 0);
    QCOMPARE(box, QStringLiteral("Analysis Parameter Name"));
    const auto shown = shownReports();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().procedureName, QStringLiteral("m_oPageBase_Initialize"));
    QVERIFY(!window->WasCancelled()); // the text is a name no set has
    QCOMPARE(context->Item(keys::kParamName).toString(), QStringLiteral("Analysis Parameter Name"));
}

void TestEditorSaving::saveAsThatCannotStartCanBeTriedAgain()
{
    // The save-as flow is missing: each Save As is reported as such, and none is blocked by what
    // the one before left in the context.
    host::FlowRegistry::instance().unregisterFlow(flows::kSaveAnalysisParameterAs);
    QStringList failures;
    runEditor(listed(kCasework), false, [&](EditorDriver &editor) {
        for (int attempt = 0; attempt < 2; ++attempt) {
            QVERIFY(!editor.click(kCommandSaveAs)); // the editor stays open
            QCOMPARE(shownReports().size(), attempt + 1);
            failures << shownReports().last().error.description();
        }
    });
    QCOMPARE(failures.size(), 2);
    for (const QString &failure : failures)
        QVERIFY2(failure.contains(flows::kSaveAnalysisParameterAs), qPrintable(failure));
}

VELTRANE_PAGE_STORE_TEST_MAIN(TestEditorSaving)

#include "test_editor_saving.moc"
