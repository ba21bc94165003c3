// The editor page opened by the real framework over a real store: what a set fills in, the lists
// it offers, the read-only rule, the tabs, and how the page is laid out. Every store-dependent case
// runs on each engine the suite has.

#include "control_states.h"
#include "host/framework/flow_registry.h"
#include "page_host.h"
#include "platform/forms/frame.h"
#include "platform/forms/mouse_pointer.h"
#include "platform/forms/tab_control.h"
#include "platform/forms/text_box.h"
#include "platform/grid/grid_control.h"
#include "support/data_rows.h"
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
// Fills a set before it is stored, with the store at hand for the entries the set refers to.
using Fill = std::function<void(FragAnalysisParam &s, host::SqlStore &store)>;

QWidget *control(QWidget &page, const QString &name)
{
    return page.findChild<QWidget *>(name);
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

AnalysisParameterPtr unstoredSet()
{
    return qSharedPointerObjectCast<AnalysisParameter>(ObjectManager().NewObject(types::kAnalysisParameter));
}

CollectionPtr contextFor(const AnalysisParameterPtr &set, bool isNew = false)
{
    CollectionPtr context = newCollection();
    if (isNew)
        context->Add(QStringLiteral("1"), keys::kIsNew);
    // Left over from a save-as flow: the page cleans it away whenever it is shown.
    context->Add(toVariant(unstoredSet()), keys::kSaveParamAs);
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

// The store's rich set, stored, with the choices it leaves at the new-set defaults turned over too.
AnalysisParameterPtr commitRich(PageHost &host)
{
    const FragAnalysisParamPtr s = richSet(host.store(), QStringLiteral("Rich set"));
    const SizeStandardSettingsPtr standard =
        host.store().sizeStandard(0, QStringLiteral("Ladder 60-400 (18 fragments)"))->Data();
    s->setSizeStandard(standard);
    s->SizeCalibration(0)->setSizeStandard(standard);
    s->setIdentifyAlleles(0, false);
    s->setUseCalculatedDyeSpectra(false);
    s->setIDStandardBySize(0);
    s->Commit();
    return host.loadSet(QStringLiteral("Rich set"));
}

// The values of the rich set, control by control.
void expectRichValues(QWidget &page)
{
    expect(page, {"cmbProjects=Validation", "chkSNP.Value=1", "chkIDAlleles.Value=0", "txtSlopeThreshold=1.1",
                  "txtIncludePeaks=33.33333", "txtConfidenceLevel=97.5", "cmbSizeStandard=Ladder 60-400 (18 fragments)",
                  "cmbModel.ListIndex=4", "optMobility.Value=true", "cmbMobility=Long Polymer Mobility",
                  "cmbMobilityReference=Dye Set B Reference", "optSystemDS.Value=true", "optDuration(1).Value=true",
                  "optQuantity(1).Value=true"});
    expect(page, {"chkDyeSpectra(#).Value=1|0|1|0", "txtSizeTime(#)=123.456|246.912|370.368|493.824",
                  "txtWindow(#)=0.3|1.3|2.3|3.3", "txtAmount(#)=1.50|2.50|9.999|1.00", "txtPower(#)=-4|3|25|-25",
                  "cmbUnits(#)=g/L|M|mol|g"});
    QCOMPARE(gridNames(page, "ctlSTRLocusTagSelector", "gridSelected"),
             (QStringList{"Amelogenin", "D16S539", "D21S11"}));
    QCOMPARE(gridNames(page, "ctlSNPLocusTagSelector", "gridSelected"), (QStringList{"rs1015250", "rs1109037"}));
}

// What a set never stored shows.
void expectNewDefaults(QWidget &page)
{
    expect(page, {"cmbModel.ListIndex=2", "cmbSizeStandard.ListIndex=0", "cmbMobility.ListIndex=0",
                  "cmbMobilityReference=" + stored::kNone, "cmbProjects=" + stored::kDefaultProject,
                  "optDuration(0).Value=true", "optQuantity(0).Value=true", "optMigrationTime.Value=true",
                  "txtSizeTime(#)=0", "txtWindow(#)=0", "txtAmount(#)=0", "txtPower(#)=0", "cmbUnits(#)=g"});
    QCOMPARE(gridNames(page, "ctlSTRLocusTagSelector", "gridSelected"), QStringList());
    QCOMPARE(gridNames(page, "ctlSNPLocusTagSelector", "gridSelected"), QStringList());
}

// A stand-in for the host's STR selector: it notes the mouse pointer while the editor loads it, and
// hands back, in place of the object it was given, Nothing or an object of another class when told.
class StandInSelector : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
    Q_INVOKABLE void Initialize(veltrane::ObjectPtr &o)
    {
        pointers << MousePointer::value();
        handBack(QStringLiteral("Initialize"), o);
    }
    Q_INVOKABLE void Save(veltrane::ObjectPtr &o) { handBack(QStringLiteral("Save"), o); }
    static inline QList<int> pointers;
    static inline QString replaceIn;   // the member that replaces its argument
    static inline QString replacement; // "nothing", or "other" for a size calibration
    static void handBack(const QString &member, veltrane::ObjectPtr &o)
    {
        if (member == replaceIn)
            o = replacement == QLatin1String("other") ? ObjectPtr(SizeCalibrationPtr::create()) : ObjectPtr();
    }

    static void install()
    {
        using namespace automation;
        const auto member = [](const char *name, qint32 id, const char *type) {
            const Parameter object{QStringLiteral("o"), Type::Object, QLatin1String(type), true};
            return Member{
                QLatin1String(name), CallKind::Method, id, {object}, {}, QStringLiteral("_STRLocusTagSelector")};
        };
        DispatchTable table;
        table.className = QStringLiteral("StandInSelector");
        table.members = {member("Initialize", str_selector::kInitialize, "AnalysisParameter"),
                         member("Save", str_selector::kSave, "FragAnalysisParam")};
        registerDispatchTable(&staticMetaObject, std::move(table));
        registerOutsideControl(str_selector::kProgId, [](QWidget *parent) { return new StandInSelector(parent); });
    }
};

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

Q_DECLARE_METATYPE(Fill)

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
    void storedFieldsShow_data();
    void storedFieldsShow();
    void listsShowTheStore_data();
    void listsShowTheStore();
    void selectorsMustHandBackTheirObject_data();
    void selectorsMustHandBackTheirObject();
    void strSelectorMovesAndSavesTags_data();
    void strSelectorMovesAndSavesTags();
    void controlsCarryNamesAndCaptions_data();
    void controlsCarryNamesAndCaptions();
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

// ---- the business context ------------------------------------------------------------------------------

void TestAnalysisPageLoading::contextWithoutASet_data()
{
    columns<QString, QString>("given", "description");
    const QString expected = QStringLiteral("AnalysisParameter key is expected in the collection.");
    row("no business context", QString(), "Business Context is NULL.");
    row("IsNew alone", "IsNew", expected);
    row("the set under another key", "Parameter", expected);
}

void TestAnalysisPageLoading::contextWithoutASet()
{
    QFETCH(QString, given);
    QFETCH(QString, description);
    PageHost host(true, m_engine);
    const QStringList nothingFilled{
        "cmbProjects.ListCount=0", "cmbModel.ListCount=0", "cmbMobilityReference.ListCount=0",
        "cmbUnits(0).ListCount=0", "txtParameterSetName=", "txtSizeTime(0)=",
        "lblDateCreated="};
    const auto isTheCheck = [&](const Error &error) {
        QCOMPARE(error.number(), qint32(kLibraryError));
        QCOMPARE(error.source(), QStringLiteral("Check Parameters"));
        QCOMPARE(error.description(), description);
    };
    if (given.isEmpty()) {
        // A page no framework has adopted has no context at all.
        std::unique_ptr<QWidget> page(createPage(pages::kAnalysisParamPage));
        isTheCheck(errorOf([&] { dynamic_cast<IPageAccess *>(page.get())->Page()->raiseInitialize(); }));
        expect(*page, nothingFilled);
    } else {
        CollectionPtr context = newCollection();
        context->Add(given == QLatin1String("IsNew") ? QVariant(QStringLiteral("1"))
                                                     : toVariant(host.loadSet(stored::kDefaultParameterSet)),
                     given);
        inEditor(context, [&](QWidget &page, host::ServiceWindowDialog &window) {
            expect(page, nothingFilled);
            // The page shows no set, and the window will not commit it. Driven as another framework
            // might drive it, a refused Validate, then Activate and Save are each an error of its own.
            QVERIFY(!window.IsButtonEnabled(kCommandCommit));
            PageBase *base = dynamic_cast<IPageAccess &>(page).Page();
            QVERIFY(!base->raiseValidate());
            QCOMPARE(errorOf([&] { base->raiseActivate(); }).number(), qint32(kObjectNotSet));
            QCOMPARE(errorOf([&] { base->raiseSave(); }).number(), qint32(kObjectNotSet));
        });
        QStringList noSet;
        for (const auto &r : host.hook().reports)
            if (r.error.number() == kObjectNotSet && r.className == QLatin1String("AnalysisParamPage"))
                noSet << r.procedureName;
        QCOMPARE(noSet, (QStringList{"m_oPageBase_Activate", "m_oPageBase_Save"}));
    }
    const auto reported = std::find_if(host.hook().reports.cbegin(), host.hook().reports.cend(), [](const auto &r) {
        return r.procedureName == QLatin1String("m_oPageBase_Initialize");
    });
    QVERIFY(reported != host.hook().reports.cend());
    QCOMPARE(reported->className, QStringLiteral("AnalysisParamPage"));
    isTheCheck(reported->error);
    QVERIFY(!reported->display); // the framework shows it; the page only passes it on
}

// ---- a stored set, a copy of one ("IsNew"), a set never stored -----------------------------------------

void TestAnalysisPageLoading::howTheSetOpens_data()
{
    columns<QString, QString>("how", "title");
    row("stored set", "stored", titles::kEditParameters);
    row("stored set marked IsNew", "isNew", titles::kNewParameters);
    row("Service::NewAnalysisParameter", "service", kFlowTitle);
    row("NewObject(\"AnalysisParameter\")", "newObject", kFlowTitle);
}

void TestAnalysisPageLoading::howTheSetOpens()
{
    QFETCH(QString, how);
    QFETCH(QString, title);
    PageHost host(true, m_engine);
    host::FlowRegistry::instance().registerFlow(flows::kEditAnalysisParameters, {pages::kAnalysisParamPage}, {},
                                                kFlowTitle);
    const AnalysisParameterPtr rich = commitRich(host);
    const FragAnalysisParamPtr settings = rich->FragAnalysisParam();
    Service service;
    const AnalysisParameterPtr set = how == QLatin1String("service")     ? service.NewAnalysisParameter()
                                     : how == QLatin1String("newObject") ? unstoredSet()
                                                                         : rich;
    const bool stored = how == QLatin1String("stored");
    const bool made = set != rich;
    const QString editable = truth(!stored);
    const auto date = [&](const auto &at) {
        return stored ? generalDate(settings->ConvertDate(at)) : shortDate(QDate::currentDate());
    };

    const CollectionPtr context = contextFor(set, how == QLatin1String("isNew"));
    inEditor(context, [&](QWidget &page, host::ServiceWindowDialog &window) {
        QCOMPARE(window.Title(), title);
        for (const QString &key : {keys::kAnalysisParameter, keys::kIsNew, keys::kSaveParamAs})
            QVERIFY2(!context->Contains(key), qPrintable(key));
        expect(page, {"txtParameterSetName=" + (stored ? settings->Name() : QString()),
                      "txtParameterSetName.Visible=" + editable, "txtParameterSetName.Enabled=" + editable,
                      "cmbProjects.Visible=" + editable, "cmbProjects.Enabled=" + editable,
                      "lblDateCreated=" + date(settings->DateCreated()),
                      "lblDateModified=" + date(settings->DateModified())});
        if (!made)
            expect(page, {"lblAnalysisParameter.Visible=" + truth(stored), "lblProject.Visible=" + truth(stored)});
        if (stored)
            expect(page, {"lblAnalysisParameter=" + settings->Name(), "lblProject=Validation"});
        made ? expectNewDefaults(page) : expectRichValues(page);
        QCOMPARE(qobject_cast<AnalysisParamPage *>(&page)->analysisParameter(), set);
    });
    QVERIFY2(host.shownReports().isEmpty(), qPrintable(host.shownReports().value(0).error.description()));
}

// ---- a stored set's fields, and the read-only rule -----------------------------------------------------

void TestAnalysisPageLoading::storedFieldsShow_data()
{
    QTest::addColumn<Fill>("fill");
    QTest::addColumn<QString>("renamed"); // the name the set's mobility reference carries when opened
    QTest::addColumn<bool>("validated");  // Validate and Activate raised once the page is shown
    QTest::addColumn<bool>("readOnly");   // the read-only rule shown: the tip, and the set marked dirty
    QTest::addColumn<QStringList>("shown");
    const auto row = [](const char *name, const Fill &fill, const QStringList &shown, const QString &renamed = {}) {
        QTest::newRow(name) << fill << renamed << false << false << shown;
    };

    // An amount shows as a mantissa and a power of ten (the rich set shows the common ones).
    const auto amount = [](float amount) {
        return [amount](FragAnalysisParam &s, host::SqlStore &) {
            for (int i = 0; i < 4; ++i)
                s.setQuantAmount(i, amount);
        };
    };
    const auto split = [](const char *mantissa, const char *power) {
        return QStringList{QStringLiteral("txtAmount(#)=") + mantissa, QStringLiteral("txtPower(#)=") + power};
    };
    row("amount 0", amount(0.0f), split("0.00", "0"));
    row("amount 9.9996e-3 rounds up a decade", amount(9.9996e-3f), split("1.00", "-2"));
    row("amount negative", amount(-2.5e12f), split("-2.50", "12"));
    row("amount largest single", amount(3.4028235e38f), split("3.403", "38"));

    // Stored choices select the option buttons (all six compared); a set with no size-calling entry
    // keeps the controls as made.
    const auto choices = [](int idStandardBySize, int quantityByHeight, int migrationVariable) {
        return [=](FragAnalysisParam &s, host::SqlStore &store) {
            s.setIDStandardBySize(idStandardBySize);
            s.setQuantityByHeight(quantityByHeight);
            s.setSizeStandard(store.sizeStandard(0, kLadder)->Data());
            if (migrationVariable < 0)
                return;
            auto entry = SizeCalibrationPtr::create();
            entry->setModelIndex(1);
            entry->setMigrationVariable(migrationVariable);
            s.setSizeCalibration(0, entry);
            s.setIdentifyAlleles(0, false);
        };
    };
    const auto selected = [](const QStringList &on, int identifyAlleles, int model) {
        QStringList out{QStringLiteral("chkIDAlleles.Value=%1").arg(identifyAlleles),
                        QStringLiteral("cmbModel.ListIndex=%1").arg(model), "cmbSizeStandard=" + kLadder};
        for (const char *option : {"optDuration(0)", "optDuration(1)", "optQuantity(0)", "optQuantity(1)",
                                   "optMigrationTime", "optMobility"})
            out << QLatin1String(option) + QStringLiteral(".Value=") + truth(on.contains(QLatin1String(option)));
        return out;
    };
    row("size, height, migration time", choices(1, 1, 0),
        selected({"optDuration(0)", "optQuantity(0)", "optMigrationTime"}, 0, 1));
    row("IDStandardBySize 2 is Time, mobility", choices(2, 1, 1),
        selected({"optDuration(1)", "optQuantity(0)", "optMobility"}, 0, 1));
    // Loading selects neither migration option; the size standard's own rule has already chosen
    // migration time, as it does for any set with a size standard and no choice.
    row("QuantityByHeight 0 is Area, MigrationVariable 2 neither", choices(1, 0, 2),
        selected({"optDuration(0)", "optQuantity(1)", "optMigrationTime"}, 0, 1));
    row("EntryCount 0 keeps the controls as made", choices(0, 7, -1),
        selected({"optDuration(1)", "optQuantity(1)", "optMigrationTime"}, 1, -1));

    // The mobility reference is matched by name: in any case, without trailing blanks.
    const auto reference = [](const QString &name) {
        return [name](FragAnalysisParam &s, host::SqlStore &store) {
            if (!store.mobilityReference(0, name))
                store.addMobilityReference(name, 9);
            s.setStandardMobilityReference(store.mobilityReference(0, name));
        };
    };
    const QString setB = QStringLiteral("Dye Set B Reference");
    const QString shownB = "cmbMobilityReference=" + setB, shownNone = "cmbMobilityReference=" + stored::kNone;
    row("reference of the same name", reference(setB), {shownB});
    row("reference stored with trailing blanks", reference("Odd Reference   "), {"cmbMobilityReference=Odd Reference"});
    row("reference in other case, trailing blanks", reference(setB), {shownB}, "DYE SET B reference  ");
    row("reference of a name no entry has", reference(setB), {shownNone}, "Retired Reference");
    row("no reference", {}, {shownNone});

    // A read-only set (attribute bit 0 or 1) shows so from the first Validate on; its fields stay usable.
    const auto guarded = [](const char *name, int attributes, bool validated, bool readOnly) {
        QTest::newRow(name) << Fill([attributes](FragAnalysisParam &s, host::SqlStore &) {
            s.setAttributes(attributes);
        }) << QString() << validated
                            << readOnly
                            << QStringList{"txtConfidenceLevel.Enabled=true", "cmbModel.Enabled=true",
                                           "txtAmount(0).Enabled=true"};
    };
    guarded("bit 0, before any Validate", 1, false, false);
    guarded("bit 0, after Validate", 1, true, true);
    guarded("bit 1, after Validate", 2, true, true);
    guarded("bits 0 and 1, after Validate", 3, true, true);
    guarded("bit 2 alone is not read-only", 4, true, false);
    guarded("writable", 0, true, false);
}

void TestAnalysisPageLoading::storedFieldsShow()
{
    QFETCH(Fill, fill);
    QFETCH(QString, renamed);
    QFETCH(bool, validated);
    QFETCH(bool, readOnly);
    QFETCH(QStringList, shown);
    PageHost host(true, m_engine);
    const AnalysisParameterPtr set = host.commitSet(QStringLiteral("Stored"), [&](FragAnalysisParam &s) {
        if (fill)
            fill(s, host.store());
    });
    if (!renamed.isEmpty())
        set->FragAnalysisParam()->StandardMobilityReference()->setName(renamed);
    inEditor(contextFor(set), [&](QWidget &page, host::ServiceWindowDialog &window) {
        if (validated) {
            PageBase *base = qobject_cast<AnalysisParamPage *>(&page)->Page();
            base->raiseValidate();
            base->raiseActivate(); // as when the page comes back after Save As
        }
        const QString tip =
            QStringLiteral("This is a read-only item.  You must give a new name to save your settings.");
        expect(page, shown + QStringList{"txtParameterSetName.ToolTipText=" + (readOnly ? tip : QString())});
        QCOMPARE(window.isDirty(), readOnly);
        QVERIFY(!window.IsButtonEnabled(kCommandCommit)); // read-only, or nothing changed yet
        QVERIFY(window.IsButtonEnabled(kCommandSaveAs));
        // Whatever the set: "[None]" (data 0) first, then the references without trailing blanks.
        const QStringList references = controlState(page, "cmbMobilityReference.List").split(u'|');
        QCOMPARE(references.first(), stored::kNone);
        for (const QString &name : references)
            QVERIFY2(trimTrailing(name) == name, qPrintable(name));
        QCOMPARE(controlState(page, "cmbMobilityReference.ItemData").section(u'|', 0, 0), QStringLiteral("0"));
    });
}

// ---- lists filled when the page is made, from a store holding only what a row adds ---------------------

void TestAnalysisPageLoading::listsShowTheStore_data()
{
    // standards: attributes of standards "S1", "S2", ... in name order
    // alsoWrittenByAnotherProgram: a second "Default" the store itself refuses
    columns<QList<int>, QStringList, QString, QStringList>("standards", "projects", "alsoWrittenByAnotherProgram",
                                                           "shown");
    const auto standards = [](const char *name, const QList<int> &attributes, const QStringList &listed) {
        QStringList data;
        for (int k = 1; k <= listed.size(); ++k)
            data << QString::number(k);
        row(name, attributes, QStringList(), QString(),
            QStringList{"cmbSizeStandard.List=" + (listed + QStringList{stored::kNone}).join(u'|'),
                        "cmbSizeStandard.ItemData=" + (data + QStringList{"0"}).join(u'|'),
                        "cmbSizeStandard=" + listed.value(0, stored::kNone)});
    };
    standards("attribute 4 between two", {0, 4, 0}, {"S1", "S3"});
    standards("5, 6 and 12 hidden, 1 and 3 shown", {5, 1, 6, 0, 12, 3}, {"S2", "S4", "S6"});
    standards("the first hidden", {7, 0, 0}, {"S2", "S3"});
    standards("all hidden", {4, 12}, {});

    const auto projects = [](const char *name, const QStringList &added, const QString &raw, const QStringList &listed,
                             int selected) {
        row(name, QList<int>(), added, raw,
            QStringList{"cmbProjects.List=" + listed.join(u'|'),
                        QStringLiteral("cmbProjects.ListIndex=%1").arg(selected),
                        "lblProject=" + listed.value(selected)});
    };
    projects("default in another case", {"Alpha", "DEFAULT", "Zeta"}, {}, {"Alpha", "DEFAULT", "Zeta"}, 1);
    projects("default with trailing spaces", {"Alpha", "Default   ", "Zeta"}, {}, {"Alpha", "Default", "Zeta"}, 1);
    projects("default twice: the later wins", {"Alpha", "Default", "Zeta"}, "default ",
             {"Alpha", "Default", "default", "Zeta"}, 2);
    projects("default absent: the first", {"Zeta", "Beta"}, {}, {"Beta", "Zeta"}, 0);
    projects("no projects", {}, {}, {}, -1);
}

void TestAnalysisPageLoading::listsShowTheStore()
{
    QFETCH(QList<int>, standards);
    QFETCH(QStringList, projects);
    QFETCH(QString, alsoWrittenByAnotherProgram);
    QFETCH(QStringList, shown);
    PageHost host(false, m_engine);
    for (int i = 0; i < standards.size(); ++i) {
        SizeStandardSettings standard;
        standard.setName(QStringLiteral("S%1").arg(i + 1));
        standard.setAttributes(standards.at(i));
        standard.setFragmentSizes({60, 120});
        host.store().addSizeStandard(standard);
    }
    for (const QString &name : projects)
        host.store().addProject(name);
    if (!alsoWrittenByAnotherProgram.isEmpty())
        host.executeRaw(QStringLiteral("INSERT INTO projects (name, name_key) VALUES ('%1', 'default~2')")
                            .arg(alsoWrittenByAnotherProgram));
    QStringList ids;
    for (const ProjectPtr &project : host.store().projects())
        ids << QString::number(project->ProjectID());
    inEditor(contextFor(unstoredSet()), [&](QWidget &page, host::ServiceWindowDialog &) {
        expect(page, shown + QStringList{"cmbProjects.ItemData=" + ids.join(u'|')});
    });
}

// ---- opening -------------------------------------------------------------------------------------------

void TestAnalysisPageLoading::selectorsMustHandBackTheirObject_data()
{
    columns<QString, QString, qint32, QString>("member", "replacement", "error", "procedure");
    row("Initialize, Nothing", "Initialize", "nothing", qint32(kObjectNotSet), "Initialize");
    row("Initialize, a size calibration", "Initialize", "other", qint32(kTypeMismatch), "Initialize");
    row("Save, Nothing", "Save", "nothing", qint32(kObjectNotSet), "m_oPageBase_Save");
    row("Save, a size calibration", "Save", "other", qint32(kTypeMismatch), "m_oPageBase_Save");
}

void TestAnalysisPageLoading::selectorsMustHandBackTheirObject()
{
    // The STR selector replaces the set (or the new settings) it was handed by reference: the
    // procedure that handed it over fails, nothing is stored, and the page goes on answering. The
    // selector is loaded under the hourglass, which is put back however loading ends.
    QFETCH(QString, member);
    QFETCH(QString, replacement);
    QFETCH(qint32, error);
    QFETCH(QString, procedure);
    sqliteOnly();
    PageHost host(true, m_engine);
    StandInSelector::install();
    StandInSelector::replaceIn = member;
    StandInSelector::replacement = replacement;
    const auto reset = qScopeGuard([] { StandInSelector::replaceIn.clear(); });
    StandInSelector::pointers.clear();
    const AnalysisParameterPtr set = host.loadSet(QStringLiteral("STR Casework 20-Fragment Ladder"));
    const float slope = set->FragAnalysisParam()->SlopeThreshold();
    inEditor(contextFor(set), [&](QWidget &page, host::ServiceWindowDialog &window) {
        QCOMPARE(MousePointer::value(), int(MousePointer::Default));
        if (member != QLatin1String("Save"))
            return;
        page.findChild<TextBox *>(QStringLiteral("txtSlopeThreshold"))->setText(QStringLiteral("12"));
        window.Proceed();
        QVERIFY(!window.isFinished()); // the save failed: the user is still on the page
    });
    const auto first = std::find_if(host.hook().reports.cbegin(), host.hook().reports.cend(),
                                    [](const auto &r) { return r.className == QLatin1String("AnalysisParamPage"); });
    QVERIFY(first != host.hook().reports.cend());
    QCOMPARE(first->procedureName, procedure);
    QCOMPARE(first->error.number(), error);
    QCOMPARE(host.loadSet(set->Name())->FragAnalysisParam()->SlopeThreshold(), slope);
    QCOMPARE(StandInSelector::pointers, QList<int>{MousePointer::Hourglass});
    QCOMPARE(MousePointer::value(), int(MousePointer::Default));
}

// ---- the STR locus tag selector on its tab -------------------------------------------------------------

void TestAnalysisPageLoading::strSelectorMovesAndSavesTags_data()
{
    sqliteOnly();
    // steps: "MOUSE GRID ROW" (click, ctrl, shift, title) or "BUTTON"
    // selected: "@aN": row N of "Available" as opened; "@a*": all of them
    columns<QStringList, QStringList>("steps", "selected");
    const QStringList set{"Amelogenin", "D16S539", "D21S11"};
    row("> with Ctrl", QStringList{"click available 2", "ctrl available 4", "cmdAddSingle"},
        set + QStringList{"@a2", "@a4"});
    row("> with Shift", QStringList{"click available 1", "shift available 3", "cmdAddSingle"},
        set + QStringList{"@a1", "@a2", "@a3"});
    row("<", QStringList{"click selected 1", "cmdRemoveSingle"}, QStringList{"D16S539", "D21S11"});
    row(">>", QStringList{"cmdAddAll"}, set + QStringList{"@a*"});
    row("<<", QStringList{"cmdRemoveAll"}, QStringList{});
    row("a click on a title sorts the other way", QStringList{"title selected 1"},
        QStringList{"D21S11", "D16S539", "Amelogenin"});
}

void TestAnalysisPageLoading::strSelectorMovesAndSavesTags()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, selected);
    PageHost host(true, m_engine);
    inEditor(contextFor(commitRich(host)), [&](QWidget &page, host::ServiceWindowDialog &window) {
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

// ---- tabs and layout -----------------------------------------------------------------------------------

void TestAnalysisPageLoading::controlsCarryNamesAndCaptions_data()
{
    sqliteOnly();
    // frame: the captioned frame around it, if any
    // tab: -1: the header
    columns<QString, QString, QChar, QString, int>("name", "caption", "at", "frame", "tab");
    // Per tab and frame: "name<caption" has its caption to its left on its line, "name^caption" above
    // it, "name=caption" on itself ("name=": not compared).
    const auto in = [](int tab, const QString &frame, const QStringList &controls) {
        for (const QString &c : controls) {
            const qsizetype at = c.indexOf(QRegularExpression(QStringLiteral("[<^=]")));
            row(qPrintable(c.left(at)), c.left(at), c.mid(at + 1), c.at(at), frame, tab);
        }
    };
    in(-1, {},
       {"txtParameterSetName<Parameter Set Name:", "lblAnalysisParameter<Parameter Set Name:", "cmbProjects<Project:",
        "lblProject<Project:"});
    in(0, "Parameter Set", {"lblDateCreated<Date created:", "lblDateModified<Date modified:"});
    in(0, "Size Estimation and Allele ID Confidence",
       {"txtConfidenceLevel<Confidence level:", "udConfidenceLevel<txtConfidenceLevel"});
    in(0, "Allele Identification", {"chkIDAlleles=Identify STR Alleles", "chkSNP=SNP Analysis"});
    in(0, "Peak Criteria",
       {"txtIncludePeaks<Relative peak height threshold:", "udIncludePeaks<txtIncludePeaks",
        "txtSlopeThreshold<Slope threshold:", "udSlopeThreshold<txtSlopeThreshold"});
    in(0, {}, {"lblSNPWarning="});
    in(1, {},
       {"cmbSizeStandard<Size standard:", "lblDye<Dye:", "lblSizeStandardFitCoef<Size Standard Fit Coefficient:",
        "cmbModel<Model:", "lblRequirements=", "grdSizeStandard^Selected Peaks:", "cmdSelectAll=&Select All",
        "cmdDeselectAll=&Deselect All"});
    in(1, "Migration Variable", {"optMigrationTime=Migration time", "optMobility=Mobility"});
    in(2, "ID Standard", {"optDuration(0)=Size", "optDuration(1)=Time"});
    in(2, "Calculate Using", {"optQuantity(0)=Height", "optQuantity(1)=Area"});
    in(2, "Quantitation Values",
       {"lblStandard=Size", "lblWindowTitle=+/- Window", "lblAmountTitle=Amount", "lblUnits=Units"});
    for (int i = 0; i < 4; ++i) {
        const QString dye = QStringLiteral("D%1").arg(i + 1), spin = i == 0 ? "udeSize(#)" : "udeTime(#)";
        in(2, "Quantitation Values",
           QStringList{"lbl" + dye + "=" + dye, "txtSizeTime(#)<" + dye, "txtWindow(#)<txtSizeTime(#)",
                       "lblWindow(#)=nt", "txtAmount(#)<lblWindow(#)", "lblAmount(#)=E", "txtPower(#)<lblAmount(#)",
                       spin + "<txtPower(#)", "cmbUnits(#)<txtPower(#)"}
               .replaceInStrings("#", QString::number(i)));
        in(5, "Dye Spectra", {QStringLiteral("chkDyeSpectra(%1)=").arg(i) + dye});
    }
    in(5, "Dye Spectra", {"optUseCalculatedDS=Use calculated dye spectra", "optSystemDS=Use system dye spectra"});
    in(5, "Mobility",
       {"cmbMobility<Dye Mobility Calibration:", "grdMobility^cmbMobility",
        "cmbMobilityReference<Standard mobility reference:"});
}

// A control's caption stands where a reader looks for it: on the control, to its left on its line
// (a label's text, or another control named by caption), or above it.
void TestAnalysisPageLoading::controlsCarryNamesAndCaptions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QChar, at);
    QFETCH(QString, frame);
    QFETCH(int, tab);
    PageHost host(true, m_engine);
    const CollectionPtr context = contextFor(host.loadSet(stored::kDefaultParameterSet), true);
    inEditor(context, [&](QWidget &page, host::ServiceWindowDialog &) {
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
        if (at == u'=') {
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
        if (at == u'<') {
            QVERIFY2(c.right() < r.left(), "caption not to the left");
            QVERIFY2(c.center().y() >= r.top() && c.center().y() <= r.bottom(), "caption not on the line");
        } else {
            QVERIFY2(c.bottom() < r.top(), "caption not above");
            QVERIFY2(c.left() <= r.left() + r.width() / 2, "caption not over it");
        }
    });
}

// On every tab, at the window's smallest size and at a large one: the tab shows its own content and
// only that, the Tab key goes through it in reading order, nothing overlaps, nothing is cut off, and
// numeric fields fit their longest entry. The suite runs this once more at 200% scale.
void TestAnalysisPageLoading::layoutHoldsAtAnySize()
{
    sqliteOnly();
    const QStringList captions{"&General",        "Analysis &Method", "&Quantitation",
                               "S&TR Locus Tags", "SN&P Locus Tags",  "Ad&vanced"};
    const QList<QStringList> alsoShown{{"txtSlopeThreshold", "chkSNP"},
                                       {"grdSizeStandard", "cmdSelectAll"},
                                       {"txtAmount(3)", "cmbUnits(3)"},
                                       {"gridAvailable", "gridSelected", "cmdAddAll"},
                                       {"gridAvailable", "gridSelected", "cmdNewSNPLocus"},
                                       {"grdMobility", "chkDyeSpectra(3)"}};
    QList<QStringList> order(kTabContents.size()); // the named controls Tab reaches, where compared
    order[editor::General] = {"chkIDAlleles", "chkSNP", "txtConfidenceLevel", "txtIncludePeaks", "txtSlopeThreshold"};
    order[editor::Quantitation] = {"optDuration(0)", "optDuration(1)", "optQuantity(0)", "optQuantity(1)"};
    for (int i = 0; i < 4; ++i)
        for (const char *field : {"txtSizeTime(%1)", "txtWindow(%1)", "txtAmount(%1)", "txtPower(%1)", "cmbUnits(%1)"})
            order[editor::Quantitation] << QString::fromLatin1(field).arg(i);
    PageHost host(true, m_engine);
    const CollectionPtr context = contextFor(host.loadSet(QStringLiteral("STR Casework 20-Fragment Ladder")));
    inEditor(context, [&](QWidget &page, host::ServiceWindowDialog &window) {
        QVERIFY(control(page, "fraGeneral")->isVisible()); // what the page shows first
        const QSize smallest = window.minimumSizeHint();
        for (const QSize size : {smallest, smallest * 1.6}) {
            window.resize(size);
            for (int tab = 0; tab < kTabContents.size(); ++tab) {
                clickTab(page, tab);
                const QString at = QStringLiteral(" at %1x%2, tab %3").arg(size.width()).arg(size.height()).arg(tab);
                QVERIFY(window.size().width() <= size.width() + 1); // a tab never widens the window
                QCOMPARE(page.findChild<TabControl *>(QStringLiteral("SSTab1"))->Caption(), captions.at(tab));
                for (int t = 0; t < kTabContents.size(); ++t) {
                    QWidget *content = control(page, kTabContents.at(t));
                    QVERIFY2(content && content->isHidden() == (t != tab) && content->isVisible() == (t == tab),
                             qPrintable(kTabContents.at(t) + at));
                }
                QWidget *content = control(page, kTabContents.at(tab));
                for (const QString &name : alsoShown.at(tab)) {
                    QWidget *w = control(*content, name);
                    QVERIFY2(w && w->isVisible(), qPrintable(name + at));
                }
                if (!order.at(tab).isEmpty()) {
                    QStringList reached; // in the order the Tab key reaches them
                    QWidget *w = content->nextInFocusChain();
                    for (int step = 0; w != content && step < 1000; ++step, w = w->nextInFocusChain())
                        if (content->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(content) &&
                            w->isEnabled() && !reached.contains(w->objectName()))
                            reached << w->objectName();
                    QCOMPARE(reached, order.at(tab));
                }
                if (tab == editor::General || tab == editor::Quantitation || tab == editor::Advanced)
                    QCOMPARE(content->height(), content->sizeHint().height()); // read from the top
                const QList<QWidget *> all = content->findChildren<QWidget *>();
                for (QWidget *w : all) {
                    if (!w->isVisible() || !isPageControl(w))
                        continue;
                    const QString where = w->objectName() + at;
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
    return runForEachEngine<TestAnalysisPageLoading>(argc, argv);
}

#include "test_analysis_page_loading.moc"
