#include "host/framework/flow_registry.h"
#include "page_host.h"
#include "platform/forms/combo_box.h"
#include "platform/forms/command_button.h"
#include "platform/forms/label.h"
#include "platform/grid/grid_control.h"
#include "support/data_rows.h"
#include "support/recording_utilities.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/select_page/select_param_page.h"
#include "veltrane/service/service.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace veltrane;
using namespace veltrane::test;

Q_DECLARE_METATYPE(veltrane::ServiceOptions)

namespace {

const QString kDefault = QStringLiteral("DefaultFragmentAnalysisParameters");

QString caption(QWidget *page, const char *name)
{
    auto *label = page->findChild<Label *>(QLatin1String(name));
    return label ? label->Caption() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

ComboBox *combo(QWidget *page)
{
    return page->findChild<ComboBox *>(QStringLiteral("cmbAnalysisParams"));
}

GridControl *grid(QWidget *page)
{
    return page->findChild<GridControl *>(QStringLiteral("grdLocusTags"));
}

QStringList comboEntries(QWidget *page)
{
    QStringList out;
    for (int i = 0; i < combo(page)->ListCount(); ++i)
        out << combo(page)->List(i);
    return out;
}

// What a stand-in editor saw and does: the real editor is another page; these tests need only its
// effect on the context and on the set it was given.
struct EditorScript
{
    QString isNew;
    AnalysisParameterPtr given;
    QString saveUnder; // name of the new settings it commits on Save (empty: none)
    bool publishSaveAs = false;
};

void addStandInEditor(PageHost &host, std::shared_ptr<EditorScript> script)
{
    host.addRecordingPage(QStringLiteral("StandInEditor"), [script](RecordingPage &page) {
        page.onInitialize = [script](RecordingPage &p) {
            const CollectionPtr context = p.base().BusinessContext();
            if (context->Contains(QStringLiteral("IsNew")))
                script->isNew = context->Item(QStringLiteral("IsNew")).toString();
            script->given = context->Object<AnalysisParameter>(QStringLiteral("AnalysisParameter"));
            context->Remove(QStringLiteral("AnalysisParameter"));
        };
        page.onSave = [script](RecordingPage &p) {
            if (script->saveUnder.isEmpty())
                return;
            auto fresh = FragAnalysisParamPtr::create();
            fresh->setName(script->saveUnder);
            fresh->setProjectName(QStringLiteral("Default"));
            fresh->Commit();
            script->given->setFragAnalysisParam(fresh);
            if (script->publishSaveAs)
                p.base().BusinessContext()->Add(toVariant(script->given), QStringLiteral("NewSaveAs"));
        };
    });
    host.registerFlow(QStringLiteral("EditAnalysisParameters"), {QStringLiteral("StandInEditor")});
}

} // namespace

class TestSelectParamPage : public QObject
{
    Q_OBJECT
private slots:
    void firstShowPreselectsTheDefaultSet();
    void refreshViewSelectsByName_data();
    void refreshViewSelectsByName();
    void summaryOfUnusualSets_data();
    void summaryOfUnusualSets();
    void hostKeysSkipThePage_data();
    void hostKeysSkipThePage();
    void leavingTwiceLeavesOneSelection();
    void leavingOutsideAFlowIsAClearError();
    void summaryFailingPartWayShowsWhatWasRead();
    void editorButtonsRunTheEditor_data();
    void editorButtonsRunTheEditor();
    void missingEditorIsReportedAndChangesNothing();
    void newWithoutDefaultSetIsAClearError();
};

void TestSelectParamPage::firstShowPreselectsTheDefaultSet()
{
    PageHost host;
    host.commitSet(QStringLiteral("A first set")); // the default set is no longer the first entry
    const auto stored = host.loadSet(kDefault)->FragAnalysisParam();
    const int tagRows = stored->STRLocusTagsOf(0)->Count() + stored->SNPLocusTagsOf(0)->Count();

    bool checked = false;
    onNextWindow([&](host::ServiceWindowDialog &window) {
        QWidget *page = host.lastMade(QStringLiteral("SelectParamPage"));
        QVERIFY(page);
        QCOMPARE(combo(page)->Text(), kDefault);
        QCOMPARE(combo(page)->List(0), QStringLiteral("A first set"));
        QCOMPARE(caption(page, "lblProject"), stored->ProjectName());
        QCOMPARE(caption(page, "lblStandard"), stored->SizeStandard()->Name());
        QCOMPARE(caption(page, "lblModel"), QStringLiteral("Local Southern"));
        QCOMPARE(caption(page, "lblCalibrationMatrix"), stored->DyeMobilityCalibration()->Name());
        QVERIFY(!caption(page, "lblDateModified").isEmpty());
        QCOMPARE(grid(page)->rowCount(), tagRows);
        QVERIFY(grid(page)->readOnly());
        QCOMPARE(window.Title(), QStringLiteral("Analysis Parameters"));
        QVERIFY(!window.IsButtonEnabled(1)); // the flow's only page: nothing to commit
        checked = true;
        clickCommand(window, 2);
    });
    Service service;
    service.SelectAnalysisParameters();
    QVERIFY(checked);
    QVERIFY(host.shownReports().isEmpty());
}

void TestSelectParamPage::refreshViewSelectsByName_data()
{
    columns<QString, QString>("asked", "selected");
    row("default in lower case", "defaultfragmentanalysisparameters", kDefault);
    row("other set in upper case", "SNP IDENTITY PANEL", "SNP Identity Panel");
    row("name no longer stored", "Deleted meanwhile", "A first set");
    row("empty name", QString(), "A first set");
}

void TestSelectParamPage::refreshViewSelectsByName()
{
    QFETCH(QString, asked);
    QFETCH(QString, selected);
    PageHost host;
    host.commitSet(QStringLiteral("A first set"));
    SelectParamPage page;
    page.RefreshView(asked);
    QCOMPARE(combo(&page)->Text(), selected);
    QCOMPARE(page.SelectedParameter()->Name(), selected);
    QCOMPARE(combo(&page)->ItemData(combo(&page)->ListIndex()), page.SelectedParameter()->ID());
}

void TestSelectParamPage::summaryOfUnusualSets_data()
{
    columns<int, bool, bool, QString, QStringList>("shape", "withStandard", "withCalibration", "model", "rows");
    // shape 0: no size-calling entry; 1: an entry without calibration; 2: an entry with model 3,
    // three STR tags and two SNP tags
    row("no size standard, entry without model", 1, false, true, "None", QStringList{});
    row("no entries at all", 0, true, true, "", QStringList{});
    row("no dye mobility calibration", 1, true, false, "None", QStringList{});
    row("3 STR then 2 SNP tags", 2, true, true, "Cubic", QStringList{"D3S1358", "vWA", "FGA", "rs1490413", "rs876724"});
}

void TestSelectParamPage::summaryOfUnusualSets()
{
    QFETCH(int, shape);
    QFETCH(bool, withStandard);
    QFETCH(bool, withCalibration);
    QFETCH(QString, model);
    QFETCH(QStringList, rows);
    PageHost host;
    const SizeStandardSettingsPtr standard = host.store().sizeStandards().first()->Data();
    const MobilityCalibrationSettingsPtr calibration = host.store().mobilityCalibrations().first()->Data();
    const CollectionPtr str =
        ObjectManager().LoadCollection(QStringLiteral("STRLocusTags"), {}, {}, QStringLiteral("Name"));
    const CollectionPtr snp =
        ObjectManager().LoadCollection(QStringLiteral("SNPLocusTags"), {}, {}, QStringLiteral("Name"));
    host.commitSet(QStringLiteral("Unusual"), [&](FragAnalysisParam &s) {
        s.setProjectName(QStringLiteral("Validation"));
        if (withStandard)
            s.setSizeStandard(standard);
        if (withCalibration)
            s.setDyeMobilityCalibration(calibration);
        if (shape >= 1)
            s.setIdentifyAlleles(0, true);
        if (shape == 2) {
            auto entry = SizeCalibrationPtr::create();
            entry->setModelIndex(3);
            entry->setSizeStandard(standard);
            s.setSizeCalibration(0, entry);
            for (const QString &name : rows.mid(0, 3))
                s.STRLocusTagsOf(0)->Add(str->Item(name));
            for (const QString &name : rows.mid(3))
                s.SNPLocusTagsOf(0)->Add(toVariant(snp->Object<SNPLocusTag>(name)->TagData()));
        }
    });

    SelectParamPage page;
    page.RefreshView(QStringLiteral("unusual"));
    QCOMPARE(caption(&page, "lblProject"), QStringLiteral("Validation"));
    QVERIFY(!caption(&page, "lblDateModified").isEmpty());
    QCOMPARE(caption(&page, "lblStandard"), withStandard ? standard->Name() : QStringLiteral("[None]"));
    QCOMPARE(caption(&page, "lblCalibrationMatrix"), withCalibration ? calibration->Name() : QString());
    QCOMPARE(caption(&page, "lblModel"), model);
    GridControl *g = grid(&page);
    QCOMPARE(g->rowCount(), rows.size());
    for (int r = 1; r <= rows.size(); ++r) {
        QCOMPARE(g->cellText(r, 1), rows.at(r - 1));
        QVERIFY(!g->cellText(r, 2).isEmpty());
    }

    // The next summary starts from a clean slate.
    page.RefreshView(kDefault);
    QCOMPARE(caption(&page, "lblModel"), QStringLiteral("Local Southern"));
}

void TestSelectParamPage::hostKeysSkipThePage_data()
{
    columns<QStringList, QString>("keys", "landedOn");
    row("Skip>>", QStringList{"Skip>>"}, "After");
    row("<<Skip", QStringList{"<<Skip"}, "Before");
    row("both: forward wins", QStringList{"<<skip", "SKIP>>"}, "After");
    row("Study alone", QStringList{"Study"}, "After");
    row("Study with Samples", QStringList{"Study", "Samples"}, "SelectParamPage");
    row("no key", QStringList{}, "SelectParamPage");
}

void TestSelectParamPage::hostKeysSkipThePage()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, landedOn);
    PageHost host;
    host.addRecordingPage(QStringLiteral("Before"));
    host.addRecordingPage(QStringLiteral("After"));
    host.registerFlow(QStringLiteral("Host flow"),
                      {QStringLiteral("Before"), QStringLiteral("SelectParamPage"), QStringLiteral("After")});
    CollectionPtr context = newCollection();
    for (const QString &key : keys)
        context->Add(QStringLiteral("x"), key);

    QString title;
    bool commitEnabled = false;
    onNextWindow([&](host::ServiceWindowDialog &window) {
        window.SetTitle(QStringLiteral("Study wizard"));
        clickCommand(window, 5); // on to the selection page
        QTimer::singleShot(50, &window, [&] {
            title = window.Title();
            commitEnabled = window.IsButtonEnabled(1);
            window.ExecuteCommand(2);
        });
    });
    App().RunService(QStringLiteral("Host flow"), context, nullptr, ServiceOptions{});

    QStringList activations;
    for (const QString &line : host.log())
        if (line.endsWith(QLatin1String(":Activate")))
            activations << line.section(QLatin1Char(':'), 0, 0);
    if (landedOn == QLatin1String("SelectParamPage")) {
        QCOMPARE(activations, QStringList{"Before"});
        QCOMPARE(title, QStringLiteral("Analysis Parameters"));
        QVERIFY(commitEnabled); // three pages: the page leaves the commit button alone
    } else {
        QCOMPARE(activations.last(), landedOn);
        QCOMPARE(title, QStringLiteral("Study wizard")); // a skipping page changes no title
    }
    QVERIFY(host.shownReports().isEmpty());
}

void TestSelectParamPage::leavingTwiceLeavesOneSelection()
{
    // Deactivate itself replaces the published set: two in a row, with no Activate between, leave
    // one item, the set now selected.
    PageHost host;
    host.addRecordingPage(QStringLiteral("After"));
    host.registerFlow(QStringLiteral("Pick"), {QStringLiteral("SelectParamPage"), QStringLiteral("After")});
    CollectionPtr context = newCollection();
    onNextWindow([&](host::ServiceWindowDialog &window) {
        auto *page = static_cast<SelectParamPage *>(host.lastMade(QStringLiteral("SelectParamPage")));
        page->Page()->raiseDeactivate();
        combo(page)->setText(QStringLiteral("SNP Identity Panel"));
        page->Page()->raiseDeactivate();
        QCOMPARE(context->Count(), 1);
        QCOMPARE(context->Object<AnalysisParameter>(QStringLiteral("analysisparameter"))->Name(),
                 QStringLiteral("SNP Identity Panel"));
        clickCommand(window, 5);
        clickCommand(window, 4);
        clickCommand(window, 1);
    });
    auto window = App().RunService(QStringLiteral("Pick"), context, nullptr, ServiceOptions{});
    QVERIFY(!window->WasCancelled());
    QCOMPARE(context->Count(), 1);
    QCOMPARE(context->Object<AnalysisParameter>(QStringLiteral("analysisparameter"))->Name(),
             QStringLiteral("SNP Identity Panel"));
    QVERIFY(host.hook().reports.isEmpty());
}

void TestSelectParamPage::leavingOutsideAFlowIsAClearError()
{
    PageHost host;
    SelectParamPage page; // no framework has adopted it: no business context
    const Error error = errorOf([&] { page.Page()->raiseDeactivate(); });
    QCOMPARE(error.number(), qint32(kPageNotAdopted));
    QCOMPARE(error.source(), QStringLiteral("SelectParamPage"));
    QCOMPARE(host.hook().reports.size(), 1);
    QCOMPARE(host.hook().reports.first().procedureName, QStringLiteral("m_oPageBase_Deactivate"));
    QVERIFY(!host.hook().reports.first().display);
}

void TestSelectParamPage::summaryFailingPartWayShowsWhatWasRead()
{
    PageHost host;
    SelectParamPage page;
    page.RefreshView(kDefault);
    const AnalysisParameterPtr broken = page.SelectedParameter();
    // Settings whose calibration model cannot be named: the summary fails at the model.
    auto settings = FragAnalysisParamPtr::create();
    settings->setName(kDefault);
    settings->setProjectName(QStringLiteral("Broken project"));
    auto entry = SizeCalibrationPtr::create();
    entry->setModelIndex(9);
    settings->setSizeCalibration(0, entry);
    broken->setFragAnalysisParam(settings);

    combo(&page)->setText(QStringLiteral("SNP Identity Panel"));
    QCOMPARE(caption(&page, "lblModel"), QStringLiteral("Linear"));
    combo(&page)->setText(kDefault);

    const auto shown = host.shownReports();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().procedureName, QStringLiteral("cmbAnalysisParams_Click"));
    QCOMPARE(caption(&page, "lblProject"), QStringLiteral("Broken project"));
    QCOMPARE(caption(&page, "lblStandard"), QStringLiteral("[None]"));
    QCOMPARE(caption(&page, "lblModel"), QString());
    QCOMPARE(grid(&page)->rowCount(), 0);
    QCOMPARE(page.SelectedParameter().data(), broken.data());
}

void TestSelectParamPage::editorButtonsRunTheEditor_data()
{
    columns<QString, bool, bool, ServiceOptions, QStringList, bool>("button", "commit", "saveAs", "options", "captions",
                                                                    "reloaded");
    const ServiceOptions forNew{1, -1, -1, -1, -1, -1, {}, 0, 0}, forEdit{1, -1, -1, 3, -1, 0, {}, 0, 0};
    const QStringList newCaptions{"&Save", "Cancel"}, editCaptions{"&Save", "Cancel", "Save &As..."};
    // New always starts from the default set as a template; Edit reloads the list only after Save As.
    row("New, cancelled", "cmdNew", false, false, forNew, newCaptions, false);
    row("New, saved", "cmdNew", true, false, forNew, newCaptions, true);
    row("Edit, saved under its own name", "cmdEdit", true, false, forEdit, editCaptions, false);
    row("Edit, saved under a new name", "cmdEdit", true, true, forEdit, editCaptions, true);
}

void TestSelectParamPage::editorButtonsRunTheEditor()
{
    QFETCH(QString, button);
    QFETCH(bool, commit);
    QFETCH(bool, saveAs);
    QFETCH(ServiceOptions, options);
    QFETCH(QStringList, captions);
    QFETCH(bool, reloaded);
    const bool isNew = button == QLatin1String("cmdNew");
    const QString saved = QStringLiteral("Saved Copy"), shown = QStringLiteral("SNP Identity Panel");
    PageHost host;
    auto script = std::make_shared<EditorScript>();
    script->saveUnder = saved;
    script->publishSaveAs = saveAs;
    addStandInEditor(host, script);

    SelectParamPage page;
    page.RefreshView(shown);
    const AnalysisParameterPtr selected = page.SelectedParameter();
    ServiceOptions seen;
    QStringList seenCaptions;
    onNextWindow([&](host::ServiceWindowDialog &window) {
        seen = window.options();
        for (qint32 command : {1, 2, 3})
            if (QPushButton *b = window.button(command))
                seenCaptions << b->text();
        if (!isNew) // an existing set's editor offers Save once something was changed
            static_cast<RecordingPage *>(host.lastMade(QStringLiteral("StandInEditor")))->base().MarkDirty();
        clickCommand(window, commit ? 1 : 2);
    });
    QTest::mouseClick(page.findChild<CommandButton *>(button), Qt::LeftButton);

    QCOMPARE(seen, options);
    QCOMPARE(seenCaptions, captions);
    QCOMPARE(script->isNew, isNew ? QStringLiteral("1") : QString());
    QVERIFY(script->given && script->given->ID() > 0);
    if (!isNew)
        QCOMPARE(script->given.data(), selected.data()); // the very set shown
    QCOMPARE(comboEntries(&page).contains(saved), reloaded);
    QCOMPARE(combo(&page)->Text(), reloaded ? saved : shown);
    QVERIFY(host.shownReports().isEmpty());
    if (isNew) { // the template came from the default set; a second New still finds it
        onNextWindow([&](host::ServiceWindowDialog &window) { clickCommand(window, 2); });
        QTest::mouseClick(page.findChild<CommandButton *>(button), Qt::LeftButton);
        QVERIFY(host.shownReports().isEmpty());
    }
}

void TestSelectParamPage::missingEditorIsReportedAndChangesNothing()
{
    PageHost host;
    host::FlowRegistry::instance().unregisterFlow(QStringLiteral("EditAnalysisParameters"));
    SelectParamPage page;
    page.RefreshView(QStringLiteral("SNP Identity Panel"));
    const QStringList before = comboEntries(&page);
    for (const char *button : {"cmdEdit", "cmdNew"}) {
        host.hook().reports.clear();
        QTest::mouseClick(page.findChild<CommandButton *>(QLatin1String(button)), Qt::LeftButton);
        const auto shown = host.shownReports();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().className, QStringLiteral("SelectParamPage"));
        QCOMPARE(shown.first().procedureName, QLatin1String(button) + QStringLiteral("_Click"));
        QVERIFY(shown.first().error.description().contains(QStringLiteral("EditAnalysisParameters")));
    }
    QCOMPARE(comboEntries(&page), before);
    QCOMPARE(combo(&page)->Text(), QStringLiteral("SNP Identity Panel"));
}

void TestSelectParamPage::newWithoutDefaultSetIsAClearError()
{
    PageHost host(false); // an empty store
    SelectParamPage page;
    page.RefreshView(kDefault);
    QCOMPARE(combo(&page)->ListCount(), 0);
    QVERIFY(page.SelectedParameter().isNull());
    QTest::mouseClick(page.findChild<CommandButton *>(QStringLiteral("cmdNew")), Qt::LeftButton);
    const auto shown = host.shownReports();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().error.description().contains(kDefault));
}

QTEST_MAIN(TestSelectParamPage)
#include "test_select_param_page.moc"
