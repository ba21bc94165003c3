// The editor page opened by the real framework over a real store: what a set fills in, the lists
// it offers, the read-only rule, the tabs, and how the page is laid out. Every store-dependent case
// runs on each engine the suite has.

#include "host/framework/flow_registry.h"
#include "page_host.h"
#include "platform/forms/frame.h"
#include "platform/forms/mouse_pointer.h"
#include "platform/forms/tab_control.h"
#include "platform/grid/grid_control.h"
#include "support/recording_utilities.h"
#include "veltrane/analysis_page/analysis_param_page.h"
#include "veltrane/analysis_page/layout_lists.h"
#include "veltrane/common/formats.h"
#include "veltrane/contracts/automation.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"
#include "veltrane/service/class_table.h"
#include "veltrane/service/service.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTabBar>
#include <QTest>

using namespace veltrane;
using namespace veltrane::test;

namespace {

using Check = std::function<void(QWidget &page, host::ServiceWindowDialog &window)>;

QWidget *control(QWidget &page, const QString &name)
{
    return page.findChild<QWidget *>(name);
}

// A control's state by the name the automation surface gives it; invalid for a missing control.
QVariant prop(QWidget &page, const QString &name, const char *property)
{
    QWidget *w = control(page, name);
    return w ? w->property(property) : QVariant();
}

// What a control shows: a field's or list's text, a label's caption.
QString shown(QWidget &page, const QString &name)
{
    const QVariant text = prop(page, name, "Text");
    return text.isValid() ? text.toString() : prop(page, name, "Caption").toString();
}

QStringList entries(QWidget &page, const QString &name)
{
    QStringList out;
    QObject *list = control(page, name);
    for (int i = 0; list && i < list->property("ListCount").toInt(); ++i) {
        QString entry;
        QMetaObject::invokeMethod(list, "List", Q_RETURN_ARG(QString, entry), Q_ARG(int, i));
        out << entry;
    }
    return out;
}

QList<qint32> itemData(QWidget &page, const QString &name)
{
    QList<qint32> out;
    QObject *list = control(page, name);
    for (int i = 0; list && i < list->property("ListCount").toInt(); ++i) {
        qint32 data = 0;
        QMetaObject::invokeMethod(list, "ItemData", Q_RETURN_ARG(qint32, data), Q_ARG(int, i));
        out << data;
    }
    return out;
}

QStringList gridNames(QWidget &page, const QString &selector, const char *grid)
{
    QStringList out;
    QWidget *host = control(page, selector);
    auto *g = host ? host->findChild<GridControl *>(QLatin1String(grid)) : nullptr;
    for (qint32 r = 1; g && r <= g->rowCount(); ++r)
        out << g->cellText(r, 1);
    return out;
}

CollectionPtr contextFor(const AnalysisParameterPtr &set, bool isNew = false)
{
    CollectionPtr context = newCollection();
    if (isNew)
        context->Add(QStringLiteral("1"), keys::kIsNew);
    // Left over from a save-as flow: the page cleans it away whenever it is shown.
    context->Add(toVariant(ObjectManager().NewObject(types::kAnalysisParameter)), keys::kSaveParamAs);
    if (set)
        context->Add(toVariant(set), keys::kAnalysisParameter);
    return context;
}

// Starts the editor's flow over context as the selection page does, runs check inside its window,
// then cancels the flow.
void inEditor(const CollectionPtr &context, const Check &check, bool newSet = false)
{
    bool ran = false;
    onNextWindow([&](host::ServiceWindowDialog &window) {
        ran = true;
        const auto cancel = qScopeGuard([&] { window.ExecuteCommand(kCommandCancel); });
        QWidget *page = window.currentPage();
        QVERIFY(page);
        check(*page, window);
    });
    App().RunService(flows::kEditAnalysisParameters, context, nullptr,
                     newSet ? flow_options::kEditNewSet : flow_options::kEditExistingSet);
    QVERIFY(ran);
}

// Shows a tab as the user does, with a click on it.
void clickTab(QWidget &page, int tab)
{
    auto *tabs = page.findChild<TabControl *>(QStringLiteral("SSTab1"));
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(tab).center());
    QCoreApplication::processEvents();
}

const QStringList kTabContents{
    "fraGeneral", "fraAnalysisMethod", "fraQuantitation", "ctlSTRLocusTagSelector", "ctlSNPLocusTagSelector",
    "fraAdvanced"};

// A set with every field away from the new-set defaults.
void fillRich(FragAnalysisParam &s, host::SqlStore &store)
{
    s.setProjectID(QString::number(store.project(0, QStringLiteral("Validation"))->ProjectID()));
    s.setProjectName(QStringLiteral("Validation"));
    s.setSNPAnalysis(true);
    s.setSlopeThreshold(0.1f);
    s.setIdentifyAlleles(0, false);
    s.setRelativePeakHeightThreshold(0, 33.5f);
    s.setConfidenceLevel(0, 97.5f);
    const SizeStandardSettingsPtr standard =
        store.sizeStandard(0, QStringLiteral("Ladder 60-400 (18 fragments)"))->Data();
    s.setSizeStandard(standard);
    auto entry = SizeCalibrationPtr::create();
    entry->setModelIndex(4);
    entry->setMigrationVariable(1);
    entry->setSelectedPeaks({1, 2, 3, 5, 8});
    entry->setSizeStandard(standard);
    s.setSizeCalibration(0, entry);
    s.setDyeMobilityCalibration(store.mobilityCalibration(0, QStringLiteral("Long Polymer Mobility"))->Data());
    s.setStandardMobilityReference(store.mobilityReference(0, QStringLiteral("Dye Set B Reference")));
    s.setUseCalculatedDyeSpectra(false);
    s.setIDStandardBySize(0);
    s.setQuantityByHeight(0);
    for (int i = 0; i < 4; ++i) {
        s.setDyeSpectra(i, i % 2 == 0);
        s.setQuantSizeTime(i, 100.5f * float(i + 1));
        s.setQuantWindow(i, 0.25f + float(i));
        s.setQuantAmount(i, 2500.0f);
        s.setQuantUnit(i, 3 - i);
    }
    for (const char *tag : {"vWA", "FGA", "Amelogenin"})
        s.STRLocusTagsOf(0)->Add(toVariant(store.strLocusTag(0, QLatin1String(tag))));
    for (const char *tag : {"rs876724", "rs1490413"})
        s.SNPLocusTagsOf(0)->Add(toVariant(store.snpLocusTag(0, QLatin1String(tag))->TagData()));
}

// The values of the rich set, control by control.
void expectRichValues(QWidget &page)
{
    QCOMPARE(shown(page, "cmbProjects"), QStringLiteral("Validation"));
    QCOMPARE(prop(page, "chkSNP", "Value").toInt(), 1);
    QCOMPARE(shown(page, "txtSlopeThreshold"), QStringLiteral("0.1"));
    QCOMPARE(shown(page, "txtIncludePeaks"), QStringLiteral("33.5"));
    QCOMPARE(shown(page, "txtConfidenceLevel"), QStringLiteral("97.5"));
    QCOMPARE(prop(page, "chkIDAlleles", "Value").toInt(), 0);
    QCOMPARE(shown(page, "cmbSizeStandard"), QStringLiteral("Ladder 60-400 (18 fragments)"));
    QCOMPARE(prop(page, "cmbModel", "ListIndex").toInt(), 4);
    QCOMPARE(prop(page, "optMobility", "Value").toBool(), true);
    QCOMPARE(shown(page, "cmbMobility"), QStringLiteral("Long Polymer Mobility"));
    QCOMPARE(shown(page, "cmbMobilityReference"), QStringLiteral("Dye Set B Reference"));
    QCOMPARE(prop(page, "optSystemDS", "Value").toBool(), true);
    QCOMPARE(prop(page, "optDuration(1)", "Value").toBool(), true);
    QCOMPARE(prop(page, "optQuantity(1)", "Value").toBool(), true);
    const QStringList sizes{"100.5", "201", "301.5", "402"};
    const QStringList windows{"0.25", "1.25", "2.25", "3.25"};
    const QStringList units{"g/L", "M", "mol", "g"};
    for (int i = 0; i < 4; ++i) {
        const QString row = QStringLiteral("(%1)").arg(i);
        QCOMPARE(prop(page, "chkDyeSpectra" + row, "Value").toInt(), i % 2 == 0 ? 1 : 0);
        QCOMPARE(shown(page, "txtSizeTime" + row), sizes.at(i));
        QCOMPARE(shown(page, "txtWindow" + row), windows.at(i));
        QCOMPARE(shown(page, "txtAmount" + row), QStringLiteral("2.50"));
        QCOMPARE(shown(page, "txtPower" + row), QStringLiteral("3"));
        QCOMPARE(shown(page, "cmbUnits" + row), units.at(i));
    }
    QCOMPARE(gridNames(page, "ctlSTRLocusTagSelector", "gridSelected"), (QStringList{"Amelogenin", "FGA", "vWA"}));
    QCOMPARE(gridNames(page, "ctlSNPLocusTagSelector", "gridSelected"), (QStringList{"rs1490413", "rs876724"}));
}

// What a set never stored shows.
void expectNewDefaults(QWidget &page)
{
    QCOMPARE(prop(page, "cmbModel", "ListIndex").toInt(), 2);
    QCOMPARE(prop(page, "cmbSizeStandard", "ListIndex").toInt(), 0);
    QCOMPARE(prop(page, "cmbMobility", "ListIndex").toInt(), 0);
    QCOMPARE(shown(page, "cmbMobilityReference"), stored::kNone);
    QCOMPARE(shown(page, "cmbProjects"), stored::kDefaultProject);
    for (const char *name : {"optDuration(0)", "optQuantity(0)", "optMigrationTime"})
        QVERIFY2(prop(page, name, "Value").toBool(), name);
    for (int i = 0; i < 4; ++i) {
        const QString row = QStringLiteral("(%1)").arg(i);
        for (const char *field : {"txtSizeTime", "txtWindow", "txtAmount", "txtPower"})
            QCOMPARE(shown(page, field + row), QStringLiteral("0"));
        QCOMPARE(shown(page, "cmbUnits" + row), QStringLiteral("g"));
    }
    QCOMPARE(gridNames(page, "ctlSTRLocusTagSelector", "gridSelected"), QStringList());
    QCOMPARE(gridNames(page, "ctlSNPLocusTagSelector", "gridSelected"), QStringList());
}

// A stand-in for the host's STR selector that notes the mouse pointer while the editor loads it.
class PointerNotingSelector : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
    Q_INVOKABLE void Initialize(veltrane::ObjectPtr &) { pointers << MousePointer::value(); }
    Q_INVOKABLE void Save(veltrane::ObjectPtr &) {}
    static QList<int> pointers;

    static void install()
    {
        using namespace automation;
        const auto member = [](const char *name, qint32 id, const char *type) {
            return Member{QLatin1String(name),
                          CallKind::Method,
                          id,
                          {Parameter{QStringLiteral("o"), Type::Object, QLatin1String(type), true}},
                          {},
                          QStringLiteral("_STRLocusTagSelector")};
        };
        DispatchTable table;
        table.className = QStringLiteral("PointerNotingSelector");
        table.members = {member("Initialize", str_selector::kInitialize, "AnalysisParameter"),
                         member("Save", str_selector::kSave, "FragAnalysisParam")};
        registerDispatchTable(&staticMetaObject, std::move(table));
        registerOutsideControl(str_selector::kProgId,
                               [](QWidget *parent) { return new PointerNotingSelector(parent); });
    }
};
QList<int> PointerNotingSelector::pointers;

enum CaptionAt { Own, Left, Above };

// The title the window takes from its flow, which the page may replace.
const QString kFlowTitle = QStringLiteral("Flow title");

const QString kLadder = QStringLiteral("Ladder 50-500 (20 fragments)");

// A control of the page by the page's naming scheme (not a part of one, such as a spin's arrow).
bool isPageControl(const QWidget *w)
{
    static const QRegularExpression scheme(QStringLiteral("^(txt|cmb|chk|opt|lbl|cmd|fra|grd|grid|ud|ude|ctl)[A-Z]"));
    return scheme.match(w->objectName()).hasMatch();
}

} // namespace

Q_DECLARE_METATYPE(CaptionAt)

class TestAnalysisPageLoading : public QObject
{
    Q_OBJECT
public:
    explicit TestAnalysisPageLoading(QString engine)
        : m_engine(std::move(engine))
    {}

private slots:
    void initTestCase() { qInfo("store engine: %s", qPrintable(m_engine)); }
    void contextWithoutASet_data();
    void contextWithoutASet();
    void howTheSetOpens_data();
    void howTheSetOpens();
    void amountSplitsIntoMantissaAndPower_data();
    void amountSplitsIntoMantissaAndPower();
    void storedChoicesSelectOptions_data();
    void storedChoicesSelectOptions();
    void mobilityReferenceMatchesByName_data();
    void mobilityReferenceMatchesByName();
    void sizeStandardListSkipsHidden_data();
    void sizeStandardListSkipsHidden();
    void defaultProjectIsSelected_data();
    void defaultProjectIsSelected();
    void readOnlySetAfterFirstValidate_data();
    void readOnlySetAfterFirstValidate();
    void openingShowsTheHourglass();
    void everySetOpensFromTheSelectionWindow();
    void strSelectorMovesAndSavesTags_data();
    void strSelectorMovesAndSavesTags();
    void tabShowsExactlyItsContent_data();
    void tabShowsExactlyItsContent();
    void controlsCarryNamesAndCaptions_data();
    void controlsCarryNamesAndCaptions();
    void tabOrderFollowsReadingOrder_data();
    void tabOrderFollowsReadingOrder();
    void layoutHoldsAtAnySize();

private:
    // Skips a test (called from its _data function: the whole table) that the engine cannot change.
    void sqliteOnly()
    {
        if (m_engine != QLatin1String("sqlite"))
            QSKIP("does not depend on the engine");
    }
    QString m_engine;
};

// ---- the business context --------------------------------------------------------------------------

void TestAnalysisPageLoading::contextWithoutASet_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("description");
    QTest::newRow("no business context") << ""
                                         << "Business Context is NULL.";
    QTest::newRow("IsNew alone") << "IsNew"
                                 << "AnalysisParameter key is expected in the collection.";
    QTest::newRow("the set under another key") << "Parameter"
                                               << "AnalysisParameter key is expected in the collection.";
}

void TestAnalysisPageLoading::contextWithoutASet()
{
    QFETCH(QString, given);
    QFETCH(QString, description);
    PageHost host(true, m_engine);
    const auto nothingFilled = [](QWidget &page) {
        for (const char *list : {"cmbProjects", "cmbModel", "cmbMobilityReference", "cmbUnits(0)"})
            QCOMPARE(prop(page, list, "ListCount").toInt(), 0);
        QCOMPARE(shown(page, "txtParameterSetName"), QString());
        QCOMPARE(shown(page, "txtSizeTime(0)"), QString());
        QCOMPARE(shown(page, "lblDateCreated"), QString());
    };
    if (given.isEmpty()) {
        // A page no framework has adopted has no context at all.
        std::unique_ptr<QWidget> page(createPage(pages::kAnalysisParamPage));
        const Error error = errorOf([&] { dynamic_cast<IPageAccess *>(page.get())->Page()->raiseInitialize(); });
        QCOMPARE(error.number(), qint32(kLibraryError));
        QCOMPARE(error.source(), QStringLiteral("Check Parameters"));
        QCOMPARE(error.description(), description);
        nothingFilled(*page);
    } else {
        CollectionPtr context = newCollection();
        context->Add(given == QLatin1String("IsNew") ? QVariant(QStringLiteral("1"))
                                                     : toVariant(host.loadSet(stored::kDefaultParameterSet)),
                     given);
        inEditor(context, [&](QWidget &page, host::ServiceWindowDialog &) { nothingFilled(page); });
    }
    const auto reported = std::find_if(host.hook().reports.cbegin(), host.hook().reports.cend(), [](const auto &r) {
        return r.procedureName == QLatin1String("m_oPageBase_Initialize");
    });
    QVERIFY(reported != host.hook().reports.cend());
    QCOMPARE(reported->className, QStringLiteral("AnalysisParamPage"));
    QCOMPARE(reported->error.number(), qint32(kLibraryError));
    QCOMPARE(reported->error.source(), QStringLiteral("Check Parameters"));
    QCOMPARE(reported->error.description(), description);
    QVERIFY(!reported->display); // the framework shows it; the page only passes it on
}

// ---- a stored set, a copy of one ("IsNew"), a set never stored -------------------------------------

void TestAnalysisPageLoading::howTheSetOpens_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("title");
    QTest::newRow("stored set") << "stored" << titles::kEditParameters;
    QTest::newRow("stored set marked IsNew") << "isNew" << titles::kNewParameters;
    QTest::newRow("Service::NewAnalysisParameter") << "service" << kFlowTitle;
    QTest::newRow("NewObject(\"AnalysisParameter\")") << "newObject" << kFlowTitle;
}

void TestAnalysisPageLoading::howTheSetOpens()
{
    QFETCH(QString, how);
    QFETCH(QString, title);
    PageHost host(true, m_engine);
    host::FlowRegistry::instance().registerFlow(flows::kEditAnalysisParameters, {pages::kAnalysisParamPage}, {},
                                                kFlowTitle);
    const AnalysisParameterPtr rich =
        host.commitSet(QStringLiteral("Rich set"), [&](FragAnalysisParam &s) { fillRich(s, host.store()); });
    const FragAnalysisParamPtr settings = rich->FragAnalysisParam();
    Service service;
    AnalysisParameterPtr set = rich;
    if (how == QLatin1String("service"))
        set = service.NewAnalysisParameter();
    else if (how == QLatin1String("newObject"))
        set = qSharedPointerObjectCast<AnalysisParameter>(ObjectManager().NewObject(types::kAnalysisParameter));
    const bool stored = how == QLatin1String("stored");
    const bool made = set != rich;

    const CollectionPtr context = contextFor(set, how == QLatin1String("isNew"));
    inEditor(context, [&](QWidget &page, host::ServiceWindowDialog &window) {
        QCOMPARE(window.Title(), title);
        for (const QString &key : {keys::kAnalysisParameter, keys::kIsNew, keys::kSaveParamAs})
            QVERIFY2(!context->Contains(key), qPrintable(key));
        QCOMPARE(shown(page, "txtParameterSetName"), stored ? settings->Name() : QString());
        QCOMPARE(prop(page, "txtParameterSetName", "Visible").toBool(), !stored);
        QCOMPARE(prop(page, "txtParameterSetName", "Enabled").toBool(), !stored);
        QCOMPARE(prop(page, "cmbProjects", "Visible").toBool(), !stored);
        QCOMPARE(prop(page, "cmbProjects", "Enabled").toBool(), !stored);
        if (!made) {
            QCOMPARE(prop(page, "lblAnalysisParameter", "Visible").toBool(), stored);
            QCOMPARE(prop(page, "lblProject", "Visible").toBool(), stored);
        }
        if (stored) {
            QCOMPARE(shown(page, "lblAnalysisParameter"), settings->Name());
            QCOMPARE(shown(page, "lblProject"), QStringLiteral("Validation"));
            QCOMPARE(shown(page, "lblDateCreated"), generalDate(settings->ConvertDate(settings->DateCreated())));
            QCOMPARE(shown(page, "lblDateModified"), generalDate(settings->ConvertDate(settings->DateModified())));
        } else {
            QCOMPARE(shown(page, "lblDateCreated"), shortDate(QDate::currentDate()));
            QCOMPARE(shown(page, "lblDateModified"), shortDate(QDate::currentDate()));
        }
        if (made)
            expectNewDefaults(page);
        else
            expectRichValues(page);
        QCOMPARE(qobject_cast<AnalysisParamPage *>(&page)->analysisParameter(), set);
    });
    QVERIFY2(host.shownReports().isEmpty(), qPrintable(host.shownReports().value(0).error.description()));
}

// ---- single fields ------------------------------------------------------------------------------------

void TestAnalysisPageLoading::amountSplitsIntoMantissaAndPower_data()
{
    QTest::addColumn<float>("amount");
    QTest::addColumn<QString>("mantissa");
    QTest::addColumn<QString>("power");
    QTest::newRow("0.0000015") << 0.0000015f << "1.50"
                               << "-6";
    QTest::newRow("12340") << 12340.0f << "1.234"
                           << "4";
    QTest::newRow("1") << 1.0f << "1.00"
                       << "0";
    QTest::newRow("0") << 0.0f << "0.00"
                       << "0";
    QTest::newRow("9.9996e-3 rounds up a decade") << 9.9996e-3f << "1.00"
                                                  << "-2";
    QTest::newRow("negative") << -2.5e12f << "-2.50"
                              << "12";
    QTest::newRow("largest single") << 3.4028235e38f << "3.403"
                                    << "38";
}

void TestAnalysisPageLoading::amountSplitsIntoMantissaAndPower()
{
    QFETCH(float, amount);
    QFETCH(QString, mantissa);
    QFETCH(QString, power);
    PageHost host(true, m_engine);
    const AnalysisParameterPtr set = host.commitSet(QStringLiteral("Amounts"), [&](FragAnalysisParam &s) {
        for (int i = 0; i < 4; ++i)
            s.setQuantAmount(i, amount);
    });
    inEditor(contextFor(set), [&](QWidget &page, host::ServiceWindowDialog &) {
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(shown(page, QStringLiteral("txtAmount(%1)").arg(i)), mantissa);
            QCOMPARE(shown(page, QStringLiteral("txtPower(%1)").arg(i)), power);
        }
    });
}

void TestAnalysisPageLoading::storedChoicesSelectOptions_data()
{
    QTest::addColumn<int>("idStandardBySize");
    QTest::addColumn<int>("quantityByHeight");
    QTest::addColumn<int>("migrationVariable"); // -1: the set has no size-calling entry
    QTest::addColumn<QStringList>("selected");  // option buttons on, of the six
    QTest::addColumn<int>("identifyAlleles");
    QTest::addColumn<int>("model");
    QTest::newRow("size, height, migration time")
        << 1 << 1 << 0 << QStringList{"optDuration(0)", "optQuantity(0)", "optMigrationTime"} << 0 << 1;
    QTest::newRow("IDStandardBySize 2 is Time, mobility")
        << 2 << 1 << 1 << QStringList{"optDuration(1)", "optQuantity(0)", "optMobility"} << 0 << 1;
    // Loading selects neither migration option; the size standard's own rule has already chosen
    // migration time, as it does for any set with a size standard and no choice.
    QTest::newRow("QuantityByHeight 0 is Area, MigrationVariable 2 neither")
        << 1 << 0 << 2 << QStringList{"optDuration(0)", "optQuantity(1)", "optMigrationTime"} << 0 << 1;
    QTest::newRow("EntryCount 0 keeps the controls as made")
        << 0 << 7 << -1 << QStringList{"optDuration(1)", "optQuantity(1)", "optMigrationTime"} << 1 << -1;
}

void TestAnalysisPageLoading::storedChoicesSelectOptions()
{
    QFETCH(int, idStandardBySize);
    QFETCH(int, quantityByHeight);
    QFETCH(int, migrationVariable);
    QFETCH(QStringList, selected);
    QFETCH(int, identifyAlleles);
    QFETCH(int, model);
    PageHost host(true, m_engine);
    const AnalysisParameterPtr set = host.commitSet(QStringLiteral("Choices"), [&](FragAnalysisParam &s) {
        s.setIDStandardBySize(idStandardBySize);
        s.setQuantityByHeight(quantityByHeight);
        s.setSizeStandard(host.store().sizeStandard(0, kLadder)->Data());
        if (migrationVariable < 0)
            return;
        auto entry = SizeCalibrationPtr::create();
        entry->setModelIndex(1);
        entry->setMigrationVariable(migrationVariable);
        s.setSizeCalibration(0, entry);
        s.setIdentifyAlleles(0, false);
    });
    QCOMPARE(set->FragAnalysisParam()->EntryCount(), migrationVariable < 0 ? 0 : 1);
    inEditor(contextFor(set), [&](QWidget &page, host::ServiceWindowDialog &) {
        for (const char *option : {"optDuration(0)", "optDuration(1)", "optQuantity(0)", "optQuantity(1)",
                                   "optMigrationTime", "optMobility"})
            QVERIFY2(prop(page, option, "Value").toBool() == selected.contains(QLatin1String(option)), option);
        QCOMPARE(prop(page, "chkIDAlleles", "Value").toInt(), identifyAlleles);
        QCOMPARE(prop(page, "cmbModel", "ListIndex").toInt(), model);
        QCOMPARE(shown(page, "cmbSizeStandard"), kLadder);
    });
}

void TestAnalysisPageLoading::mobilityReferenceMatchesByName_data()
{
    QTest::addColumn<QString>("stored");  // the reference the set refers to ("" none); added when new
    QTest::addColumn<QString>("renamed"); // the name the set's reference carries when opened
    QTest::addColumn<QString>("selected");
    QTest::newRow("same name") << "Dye Set B Reference"
                               << ""
                               << "Dye Set B Reference";
    QTest::newRow("stored with trailing blanks") << "Odd Reference   "
                                                 << ""
                                                 << "Odd Reference";
    QTest::newRow("other case, trailing blanks") << "Dye Set B Reference"
                                                 << "DYE SET B reference  "
                                                 << "Dye Set B Reference";
    QTest::newRow("a name no entry has") << "Dye Set B Reference"
                                         << "Retired Reference" << stored::kNone;
    QTest::newRow("no reference") << ""
                                  << "" << stored::kNone;
}

void TestAnalysisPageLoading::mobilityReferenceMatchesByName()
{
    QFETCH(QString, stored);
    QFETCH(QString, renamed);
    QFETCH(QString, selected);
    PageHost host(true, m_engine);
    if (!stored.isEmpty() && !host.store().mobilityReference(0, stored))
        host.store().addMobilityReference(stored, 9);
    const AnalysisParameterPtr set = host.commitSet(QStringLiteral("Reference"), [&](FragAnalysisParam &s) {
        if (!stored.isEmpty())
            s.setStandardMobilityReference(host.store().mobilityReference(0, stored));
    });
    if (!renamed.isEmpty())
        set->FragAnalysisParam()->StandardMobilityReference()->setName(renamed);
    inEditor(contextFor(set), [&](QWidget &page, host::ServiceWindowDialog &) {
        QCOMPARE(shown(page, "cmbMobilityReference"), selected);
        const QStringList listed = entries(page, "cmbMobilityReference");
        QCOMPARE(listed.first(), stored::kNone);
        for (const QString &name : listed)
            QVERIFY2(trimTrailing(name) == name, qPrintable(name));
        QCOMPARE(itemData(page, "cmbMobilityReference").first(), 0);
    });
}

// ---- lists filled when the page is made --------------------------------------------------------------

void TestAnalysisPageLoading::sizeStandardListSkipsHidden_data()
{
    QTest::addColumn<QList<int>>("attributes"); // of standards "S1", "S2", ... in name order
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("attribute 4 between two") << QList<int>{0, 4, 0} << QStringList{"S1", "S3"};
    QTest::newRow("5, 6 and 12 hidden, 1 and 3 shown")
        << QList<int>{5, 1, 6, 0, 12, 3} << QStringList{"S2", "S4", "S6"};
    QTest::newRow("the first hidden") << QList<int>{7, 0, 0} << QStringList{"S2", "S3"};
    QTest::newRow("all hidden") << QList<int>{4, 12} << QStringList{};
}

void TestAnalysisPageLoading::sizeStandardListSkipsHidden()
{
    QFETCH(QList<int>, attributes);
    QFETCH(QStringList, listed);
    PageHost host(false, m_engine);
    for (int i = 0; i < attributes.size(); ++i) {
        SizeStandardSettings standard;
        standard.setName(QStringLiteral("S%1").arg(i + 1));
        standard.setAttributes(attributes.at(i));
        standard.setFragmentSizes({60, 120});
        host.store().addSizeStandard(standard);
    }
    inEditor(
        contextFor(qSharedPointerObjectCast<AnalysisParameter>(ObjectManager().NewObject(types::kAnalysisParameter))),
        [&](QWidget &page, host::ServiceWindowDialog &) {
            QCOMPARE(entries(page, "cmbSizeStandard"), listed + QStringList{stored::kNone});
            QList<qint32> data;
            for (int k = 1; k <= listed.size(); ++k)
                data << k;
            QCOMPARE(itemData(page, "cmbSizeStandard"), data + QList<qint32>{0});
            QCOMPARE(shown(page, "cmbSizeStandard"), listed.value(0, stored::kNone));
        });
}

void TestAnalysisPageLoading::defaultProjectIsSelected_data()
{
    QTest::addColumn<QStringList>("projects");
    QTest::addColumn<QString>("alsoWrittenByAnotherProgram"); // a second "Default" the store itself refuses
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("selected");
    QTest::newRow("in another case") << QStringList{"Alpha", "DEFAULT", "Zeta"} << ""
                                     << QStringList{"Alpha", "DEFAULT", "Zeta"} << 1;
    QTest::newRow("with trailing spaces")
        << QStringList{"Alpha", "Default   ", "Zeta"} << "" << QStringList{"Alpha", "Default", "Zeta"} << 1;
    QTest::newRow("twice: the later wins") << QStringList{"Alpha", "Default", "Zeta"} << "default "
                                           << QStringList{"Alpha", "Default", "default", "Zeta"} << 2;
    QTest::newRow("absent: the first") << QStringList{"Zeta", "Beta"} << "" << QStringList{"Beta", "Zeta"} << 0;
    QTest::newRow("no projects") << QStringList{} << "" << QStringList{} << -1;
}

void TestAnalysisPageLoading::defaultProjectIsSelected()
{
    QFETCH(QStringList, projects);
    QFETCH(QString, alsoWrittenByAnotherProgram);
    QFETCH(QStringList, listed);
    QFETCH(int, selected);
    PageHost host(false, m_engine);
    for (const QString &name : projects)
        host.store().addProject(name);
    if (!alsoWrittenByAnotherProgram.isEmpty())
        host.executeRaw(QStringLiteral("INSERT INTO projects (name, name_key) VALUES ('%1', 'default~2')")
                            .arg(alsoWrittenByAnotherProgram));
    QList<qint32> ids;
    for (const ProjectPtr &project : host.store().projects())
        ids << project->ProjectID();
    inEditor(
        contextFor(qSharedPointerObjectCast<AnalysisParameter>(ObjectManager().NewObject(types::kAnalysisParameter))),
        [&](QWidget &page, host::ServiceWindowDialog &) {
            QCOMPARE(entries(page, "cmbProjects"), listed);
            QCOMPARE(itemData(page, "cmbProjects"), ids);
            QCOMPARE(prop(page, "cmbProjects", "ListIndex").toInt(), selected);
            QCOMPARE(shown(page, "lblProject"), listed.value(selected));
        });
}

// ---- read-only sets ----------------------------------------------------------------------------------

void TestAnalysisPageLoading::readOnlySetAfterFirstValidate_data()
{
    QTest::addColumn<int>("attributes");
    QTest::addColumn<bool>("validated");
    QTest::addColumn<bool>("readOnlyShown");
    QTest::newRow("bit 0, before any Validate") << 1 << false << false;
    QTest::newRow("bit 0, after Validate") << 1 << true << true;
    QTest::newRow("bit 1, after Validate") << 2 << true << true;
    QTest::newRow("bits 0 and 1, after Validate") << 3 << true << true;
    QTest::newRow("bit 2 alone is not read-only") << 4 << true << false;
    QTest::newRow("writable") << 0 << true << false;
}

void TestAnalysisPageLoading::readOnlySetAfterFirstValidate()
{
    QFETCH(int, attributes);
    QFETCH(bool, validated);
    QFETCH(bool, readOnlyShown);
    PageHost host(true, m_engine);
    const AnalysisParameterPtr set =
        host.commitSet(QStringLiteral("Guarded"), [&](FragAnalysisParam &s) { s.setAttributes(attributes); });
    QCOMPARE(set->FragAnalysisParam()->Attributes(), attributes);
    inEditor(contextFor(set), [&](QWidget &page, host::ServiceWindowDialog &window) {
        PageBase *base = qobject_cast<AnalysisParamPage *>(&page)->Page();
        if (validated) {
            base->raiseValidate();
            base->raiseActivate(); // as when the page comes back after Save As
        }
        QCOMPARE(prop(page, "txtParameterSetName", "ToolTipText").toString(),
                 readOnlyShown ? QStringLiteral("This is a read-only item.  You must give a new name to save your "
                                                "settings.")
                               : QString());
        QCOMPARE(window.isDirty(), readOnlyShown);
        QVERIFY(!window.IsButtonEnabled(kCommandCommit)); // read-only, or nothing changed yet
        QVERIFY(window.IsButtonEnabled(kCommandSaveAs));
        for (const char *field : {"txtConfidenceLevel", "cmbModel", "txtAmount(0)"})
            QVERIFY2(prop(page, field, "Enabled").toBool(), field);
    });
}

// ---- opening ---------------------------------------------------------------------------------------

void TestAnalysisPageLoading::openingShowsTheHourglass()
{
    sqliteOnly();
    PageHost host(true, m_engine);
    PointerNotingSelector::install();
    PointerNotingSelector::pointers.clear();
    inEditor(contextFor(host.loadSet(stored::kDefaultParameterSet)), [&](QWidget &, host::ServiceWindowDialog &) {
        QCOMPARE(MousePointer::value(), int(MousePointer::Default));
    });
    QCOMPARE(PointerNotingSelector::pointers, QList<int>{MousePointer::Hourglass});
    QCOMPARE(MousePointer::value(), int(MousePointer::Default));
}

// What a user does first: each stored set with Edit, then New, from the selection window, each
// editor left with Cancel.
void TestAnalysisPageLoading::everySetOpensFromTheSelectionWindow()
{
    PageHost host(true, m_engine);
    QStringList opened;
    onNextWindow([&](host::ServiceWindowDialog &selection) {
        QWidget &page = *selection.currentPage();
        const QStringList sets = entries(page, "cmbAnalysisParams");
        QVERIFY(sets.size() >= 4);
        for (int i = 0; i <= sets.size(); ++i) {
            const bool isNew = i == sets.size();
            if (!isNew)
                control(page, "cmbAnalysisParams")->setProperty("ListIndex", i);
            onNextWindow([&](host::ServiceWindowDialog &editor) {
                QWidget &edited = *editor.currentPage();
                QCOMPARE(editor.Title(), isNew ? titles::kNewParameters : titles::kEditParameters);
                QCOMPARE(shown(edited, "txtParameterSetName"), isNew ? QString() : sets.at(i));
                QVERIFY(!shown(edited, "lblDateModified").isEmpty());
                opened << (isNew ? QStringLiteral("(new)") : shown(edited, "lblAnalysisParameter"));
                clickCommand(editor, kCommandCancel);
            });
            QTest::mouseClick(qobject_cast<QAbstractButton *>(control(page, isNew ? "cmdNew" : "cmdEdit")),
                              Qt::LeftButton);
            QCOMPARE(host::ServiceWindowDialog::active(), &selection); // the editor has closed
        }
        QCOMPARE(opened, sets + QStringList{"(new)"});
        clickCommand(selection, kCommandCancel);
    });
    Service().SelectAnalysisParameters();
    QVERIFY2(host.shownReports().isEmpty(), qPrintable(host.shownReports().value(0).error.description()));
}

// ---- the STR locus tag selector on its tab ---------------------------------------------------------

void TestAnalysisPageLoading::strSelectorMovesAndSavesTags_data()
{
    sqliteOnly();
    QTest::addColumn<QStringList>("steps");    // "MOUSE GRID ROW" (click, ctrl, shift, double, title) or "BUTTON"
    QTest::addColumn<QStringList>("selected"); // "@aN": row N of "Available" as opened; "@a*": all of them
    const QStringList set{"Amelogenin", "FGA", "vWA"};
    QTest::newRow("double click adds") << QStringList{"double available 1"} << set + QStringList{"@a1"};
    QTest::newRow("double click removes") << QStringList{"double selected 2"} << QStringList{"Amelogenin", "vWA"};
    QTest::newRow("> with Ctrl") << QStringList{"click available 2", "ctrl available 4", "cmdAddSingle"}
                                 << set + QStringList{"@a2", "@a4"};
    QTest::newRow("> with Shift") << QStringList{"click available 1", "shift available 3", "cmdAddSingle"}
                                  << set + QStringList{"@a1", "@a2", "@a3"};
    QTest::newRow("<") << QStringList{"click selected 1", "cmdRemoveSingle"} << QStringList{"FGA", "vWA"};
    QTest::newRow(">>") << QStringList{"cmdAddAll"} << set + QStringList{"@a*"};
    QTest::newRow("<<") << QStringList{"cmdRemoveAll"} << QStringList{};
    QTest::newRow("a click on a title sorts the other way")
        << QStringList{"title selected 1"} << QStringList{"vWA", "FGA", "Amelogenin"};
}

void TestAnalysisPageLoading::strSelectorMovesAndSavesTags()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, selected);
    PageHost host(true, m_engine);
    const AnalysisParameterPtr set =
        host.commitSet(QStringLiteral("Rich set"), [&](FragAnalysisParam &s) { fillRich(s, host.store()); });
    inEditor(contextFor(set), [&](QWidget &page, host::ServiceWindowDialog &window) {
        clickTab(page, editor::STRLocusTags);
        QWidget *selector = control(page, "ctlSTRLocusTagSelector");
        const auto grid = [&](const QString &name) {
            return selector->findChild<GridControl *>(QStringLiteral("grid") + name.left(1).toUpper() + name.mid(1));
        };
        const QStringList available = gridNames(page, "ctlSTRLocusTagSelector", "gridAvailable");
        QStringList expected;
        for (const QString &name : selected)
            expected << (name == QLatin1String("@a*") ? available
                         : name.startsWith(u'@')      ? QStringList{available.at(name.mid(2).toInt() - 1)}
                                                      : QStringList{name});
        for (const QString &step : steps) {
            const QStringList words = step.split(u' ');
            if (words.size() == 1) {
                QTest::mouseClick(selector->findChild<QAbstractButton *>(words.first()), Qt::LeftButton);
                continue;
            }
            const qint32 row = words.at(0) == QLatin1String("title") ? 0 : words.at(2).toInt();
            const GridControl::CellPoint at = grid(words.at(1))->cellPoint(row, 1);
            QVERIFY(at.widget);
            const Qt::KeyboardModifiers modifiers = words.at(0) == QLatin1String("ctrl")    ? Qt::ControlModifier
                                                    : words.at(0) == QLatin1String("shift") ? Qt::ShiftModifier
                                                                                            : Qt::NoModifier;
            QTest::mouseClick(at.widget, Qt::LeftButton, modifiers, at.pos);
            if (words.at(0) == QLatin1String("double"))
                QTest::mouseDClick(at.widget, Qt::LeftButton, modifiers, at.pos);
        }
        QCOMPARE(gridNames(page, "ctlSTRLocusTagSelector", "gridSelected"), expected);
        QCOMPARE(gridNames(page, "ctlSTRLocusTagSelector", "gridAvailable").size() + expected.size(),
                 host.store().strLocusTags().size());
        QCOMPARE(window.isDirty(), !steps.first().startsWith(QLatin1String("title")));

        // Save writes the selected tags, in their order, into the settings it is given.
        auto settings = FragAnalysisParamPtr::create();
        settings->setIdentifyAlleles(0, true);
        QVariantList args{toVariant(settings)};
        automation::call(selector, str_selector::kSave, args);
        QStringList saved;
        for (const auto &tag : settings->STRLocusTagsOf(0)->objects<STRLocusTag>())
            saved << tag->Name();
        QCOMPARE(saved, expected);
    });
}

// ---- tabs and layout ---------------------------------------------------------------------------------

void TestAnalysisPageLoading::tabShowsExactlyItsContent_data()
{
    sqliteOnly();
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("alsoShown"); // controls of the tab's content that must be on screen
    QTest::newRow("Analysis Method") << 1 << "Analysis &Method" << QStringList{"grdSizeStandard", "cmdSelectAll"};
    QTest::newRow("Quantitation") << 2 << "&Quantitation" << QStringList{"txtAmount(3)", "cmbUnits(3)"};
    QTest::newRow("STR Locus Tags") << 3 << "S&TR Locus Tags"
                                    << QStringList{"gridAvailable", "gridSelected", "cmdAddAll"};
    QTest::newRow("SNP Locus Tags") << 4 << "SN&P Locus Tags"
                                    << QStringList{"gridAvailable", "gridSelected", "cmdNewSNPLocus"};
    QTest::newRow("Advanced") << 5 << "Ad&vanced" << QStringList{"grdMobility", "chkDyeSpectra(3)"};
    QTest::newRow("back to General") << 0 << "&General" << QStringList{"txtSlopeThreshold", "chkSNP"};
}

void TestAnalysisPageLoading::tabShowsExactlyItsContent()
{
    QFETCH(int, tab);
    QFETCH(QString, caption);
    QFETCH(QStringList, alsoShown);
    PageHost host(true, m_engine);
    inEditor(contextFor(host.loadSet(QStringLiteral("STR Casework 20-Fragment Ladder"))),
             [&](QWidget &page, host::ServiceWindowDialog &) {
                 QVERIFY(control(page, "fraGeneral")->isVisible()); // what the page shows first
                 clickTab(page, tab == 0 ? 5 : 0);
                 clickTab(page, tab);
                 QCOMPARE(page.findChild<TabControl *>(QStringLiteral("SSTab1"))->Caption(), caption);
                 for (int t = 0; t < kTabContents.size(); ++t) {
                     QWidget *content = control(page, kTabContents.at(t));
                     QVERIFY(content);
                     QCOMPARE(!content->isHidden(), t == tab);
                     QCOMPARE(content->isVisible(), t == tab);
                 }
                 for (const QString &name : alsoShown) {
                     QWidget *w = control(*control(page, kTabContents.at(tab)), name);
                     QVERIFY2(w && w->isVisible(), qPrintable(name));
                 }
             });
}

void TestAnalysisPageLoading::controlsCarryNamesAndCaptions_data()
{
    sqliteOnly();
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<CaptionAt>("at");
    QTest::addColumn<QString>("frame"); // the captioned frame around it, if any
    QTest::addColumn<int>("tab");       // -1: the header
    const auto row = [](const QString &name, const QString &caption, CaptionAt at, const QString &frame, int tab) {
        QTest::newRow(qPrintable(name)) << name << caption << at << frame << tab;
    };
    row("txtParameterSetName", "Parameter Set Name:", Left, "", -1);
    row("lblAnalysisParameter", "Parameter Set Name:", Left, "", -1);
    row("cmbProjects", "Project:", Left, "", -1);
    row("lblProject", "Project:", Left, "", -1);
    row("lblDateCreated", "Date created:", Left, "Parameter Set", 0);
    row("lblDateModified", "Date modified:", Left, "Parameter Set", 0);
    row("txtConfidenceLevel", "Confidence level:", Left, "Size Estimation and Allele ID Confidence", 0);
    row("udConfidenceLevel", "txtConfidenceLevel", Left, "Size Estimation and Allele ID Confidence", 0);
    row("chkIDAlleles", "Identify STR Alleles", Own, "Allele Identification", 0);
    row("chkSNP", "SNP Analysis", Own, "Allele Identification", 0);
    row("txtIncludePeaks", "Relative peak height threshold:", Left, "Peak Criteria", 0);
    row("udIncludePeaks", "txtIncludePeaks", Left, "Peak Criteria", 0);
    row("txtSlopeThreshold", "Slope threshold:", Left, "Peak Criteria", 0);
    row("udSlopeThreshold", "txtSlopeThreshold", Left, "Peak Criteria", 0);
    row("lblSNPWarning", "", Own, "", 0);
    row("cmbSizeStandard", "Size standard:", Left, "", 1);
    row("lblDye", "Dye:", Left, "", 1);
    row("lblSizeStandardFitCoef", "Size Standard Fit Coefficient:", Left, "", 1);
    row("cmbModel", "Model:", Left, "", 1);
    row("lblRequirements", "", Own, "", 1);
    row("optMigrationTime", "Migration time", Own, "Migration Variable", 1);
    row("optMobility", "Mobility", Own, "Migration Variable", 1);
    row("grdSizeStandard", "Selected Peaks:", Above, "", 1);
    row("cmdSelectAll", "&Select All", Own, "", 1);
    row("cmdDeselectAll", "&Deselect All", Own, "", 1);
    row("optDuration(0)", "Size", Own, "ID Standard", 2);
    row("optDuration(1)", "Time", Own, "ID Standard", 2);
    row("optQuantity(0)", "Height", Own, "Calculate Using", 2);
    row("optQuantity(1)", "Area", Own, "Calculate Using", 2);
    row("lblStandard", "Size", Own, "Quantitation Values", 2);
    row("lblWindowTitle", "+/- Window", Own, "Quantitation Values", 2);
    row("lblAmountTitle", "Amount", Own, "Quantitation Values", 2);
    row("lblUnits", "Units", Own, "Quantitation Values", 2);
    const QString values = QStringLiteral("Quantitation Values");
    for (int i = 0; i < 4; ++i) {
        const auto at = [i](const char *array) { return QStringLiteral("%1(%2)").arg(QLatin1String(array)).arg(i); };
        const QString dye = QStringLiteral("D%1").arg(i + 1);
        row("lbl" + dye, dye, Own, values, 2);
        row(at("txtSizeTime"), dye, Left, values, 2);
        row(at("txtWindow"), at("txtSizeTime"), Left, values, 2);
        row(at("lblWindow"), "nt", Own, values, 2);
        row(at("txtAmount"), at("lblWindow"), Left, values, 2);
        row(at("lblAmount"), "E", Own, values, 2);
        row(at("txtPower"), at("lblAmount"), Left, values, 2);
        row(at(i == 0 ? "udeSize" : "udeTime"), at("txtPower"), Left, values, 2);
        row(at("cmbUnits"), at("txtPower"), Left, values, 2);
        row(at("chkDyeSpectra"), dye, Own, "Dye Spectra", 5);
    }
    row("optUseCalculatedDS", "Use calculated dye spectra", Own, "Dye Spectra", 5);
    row("optSystemDS", "Use system dye spectra", Own, "Dye Spectra", 5);
    row("cmbMobility", "Dye Mobility Calibration:", Left, "Mobility", 5);
    row("grdMobility", "cmbMobility", Above, "Mobility", 5);
    row("cmbMobilityReference", "Standard mobility reference:", Left, "Mobility", 5);
}

// A control's caption stands where a reader looks for it: on the control, to its left on its line
// (a label's text, or another control named by caption), or above it.
void TestAnalysisPageLoading::controlsCarryNamesAndCaptions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(CaptionAt, at);
    QFETCH(QString, frame);
    QFETCH(int, tab);
    PageHost host(true, m_engine);
    inEditor(contextFor(host.loadSet(stored::kDefaultParameterSet), true),
             [&](QWidget &page, host::ServiceWindowDialog &) {
                 if (tab >= 0)
                     clickTab(page, tab);
                 const QList<QWidget *> named = page.findChildren<QWidget *>(name);
                 QCOMPARE(named.size(), 1);
                 QWidget *w = named.first();
                 if (tab >= 0)
                     QVERIFY(control(page, QStringLiteral("tabPage(%1)").arg(tab))->isAncestorOf(w));
                 if (!frame.isEmpty()) {
                     auto *group = w->parentWidget();
                     while (group && !(qobject_cast<Frame *>(group) && group->property("Caption").toString() == frame))
                         group = group->parentWidget();
                     QVERIFY2(group, "not inside its frame");
                 }
                 if (at == Own) {
                     if (!caption.isEmpty())
                         QCOMPARE(w->property("Caption").toString(), caption);
                     return;
                 }
                 // The caption is a label's text or a control of the page.
                 QWidget *captionWidget = control(page, caption);
                 for (QLabel *label : page.findChildren<QLabel *>())
                     if (!captionWidget && label->text() == caption && label->isVisibleTo(&page))
                         captionWidget = label;
                 QVERIFY2(captionWidget, "no caption");
                 const QRect c(captionWidget->mapTo(&page, QPoint()), captionWidget->size());
                 const QRect r(w->mapTo(&page, QPoint()), w->size());
                 if (at == Left) {
                     QVERIFY2(c.right() < r.left(), "caption not to the left");
                     QVERIFY2(c.center().y() >= r.top() && c.center().y() <= r.bottom(), "caption not on the line");
                 } else {
                     QVERIFY2(c.bottom() < r.top(), "caption not above");
                     QVERIFY2(c.left() <= r.left() + r.width() / 2, "caption not over it");
                 }
             });
}

void TestAnalysisPageLoading::tabOrderFollowsReadingOrder_data()
{
    sqliteOnly();
    QTest::addColumn<int>("tab");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("General") << 0
                             << QStringList{"chkIDAlleles", "chkSNP", "txtConfidenceLevel", "txtIncludePeaks",
                                            "txtSlopeThreshold"};
    QStringList rows{"optDuration(0)", "optDuration(1)", "optQuantity(0)", "optQuantity(1)"};
    for (int i = 0; i < 4; ++i)
        for (const char *field : {"txtSizeTime(%1)", "txtWindow(%1)", "txtAmount(%1)", "txtPower(%1)", "cmbUnits(%1)"})
            rows << QString::fromLatin1(field).arg(i);
    QTest::newRow("Quantitation") << 2 << rows;
}

void TestAnalysisPageLoading::tabOrderFollowsReadingOrder()
{
    QFETCH(int, tab);
    QFETCH(QStringList, order);
    PageHost host(true, m_engine);
    inEditor(contextFor(host.loadSet(stored::kDefaultParameterSet)), [&](QWidget &page, host::ServiceWindowDialog &) {
        clickTab(page, tab);
        QWidget *content = control(page, kTabContents.at(tab));
        // The named controls the Tab key reaches on this tab, in the order it reaches them.
        QStringList reached;
        QWidget *w = content;
        for (int step = 0; step < 1000; ++step) {
            w = w->nextInFocusChain();
            if (w == content)
                break;
            if (content->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(content) &&
                w->isEnabled() && !reached.contains(w->objectName()))
                reached << w->objectName();
        }
        QCOMPARE(reached, order);
    });
}

// At the window's smallest size and at a large one, on every tab: nothing overlaps, nothing is cut
// off, and numeric fields fit their longest entry. The suite runs this once more at 200% scale.
void TestAnalysisPageLoading::layoutHoldsAtAnySize()
{
    sqliteOnly();
    PageHost host(true, m_engine);
    inEditor(
        contextFor(host.loadSet(QStringLiteral("STR Casework 20-Fragment Ladder"))),
        [&](QWidget &page, host::ServiceWindowDialog &window) {
            const QSize smallest = window.minimumSizeHint();
            for (const QSize size : {smallest, smallest * 1.6}) {
                window.resize(size);
                for (int tab = 0; tab < kTabContents.size(); ++tab) {
                    clickTab(page, tab);
                    QVERIFY(window.size().width() <= size.width() + 1); // a tab never widens the window
                    QWidget *content = control(page, kTabContents.at(tab));
                    if (tab == editor::General || tab == editor::Quantitation || tab == editor::Advanced)
                        QCOMPARE(content->height(), content->sizeHint().height()); // read from the top
                    const QList<QWidget *> all = content->findChildren<QWidget *>();
                    for (QWidget *w : all) {
                        if (!w->isVisible() || !isPageControl(w))
                            continue;
                        const QString where = QStringLiteral("%1 at %2x%3, tab %4")
                                                  .arg(w->objectName())
                                                  .arg(size.width())
                                                  .arg(size.height())
                                                  .arg(tab);
                        QVERIFY2(w->parentWidget()->rect().contains(w->geometry()), qPrintable(where + " cut"));
                        // Controls of a fixed width (narrow arrow buttons) chose it; the others get their least.
                        const QSize least = w->minimumSizeHint();
                        if (w->minimumWidth() != w->maximumWidth())
                            QVERIFY2(!least.isValid() || (w->width() >= least.width() && w->height() >= least.height()),
                                     qPrintable(where + " squeezed"));
                        if (auto *button = qobject_cast<QAbstractButton *>(w))
                            QVERIFY2(button->width() >
                                         button->fontMetrics().horizontalAdvance(QString(button->text()).remove(u'&')),
                                     qPrintable(where + " cuts its caption"));
                        if (const int digits = w->property("MaxLength").toInt(); digits > 0 && digits < 10)
                            QVERIFY2(w->width() > w->fontMetrics().horizontalAdvance(QString(digits, u'8')),
                                     qPrintable(where + " too narrow"));
                        for (QWidget *other : all)
                            if (other != w && other->parentWidget() == w->parentWidget() && other->isVisible() &&
                                isPageControl(other))
                                QVERIFY2(!w->geometry().intersects(other->geometry()),
                                         qPrintable(where + " overlaps " + other->objectName()));
                    }
                }
            }
        });
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int failures = 0;
    for (const QString &engine : storeEngines()) {
        TestAnalysisPageLoading test(engine);
        failures += QTest::qExec(&test, argc, argv);
    }
    return failures;
}

#include "test_analysis_page_loading.moc"
