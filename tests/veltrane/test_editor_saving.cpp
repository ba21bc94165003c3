// The editor's Validate, Save and Save As, and the save-as page, through their real widgets in the
// real flows over the real store, on every engine the suite reaches; then the whole job through the
// application's own windows: the selection window's New and Edit, the editor, Save As, and what
// users find afterwards, in the window and in a fresh process, also when the store refuses a commit
// or another workstation changed the set meanwhile.

#include "editor_driver.h"
#include "host/framework/flow_registry.h"
#include "page_host.h"
#include "platform/forms/list_box.h"
#include "platform/grid/grid_control.h"
#include "support/data_rows.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"
#include "veltrane/service/service.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLocale>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>

using namespace veltrane;
using namespace veltrane::test;

namespace {

const QString kCasework = QStringLiteral("STR Casework 20-Fragment Ladder");
const QString kSnpPanel = QStringLiteral("SNP Identity Panel");
const QString kQuickSizing = QStringLiteral("Quick Sizing (no size standard)");
const QString kHidden = QStringLiteral("Archived Settings 2019");
// A copy of the SNP panel whose standard has three fragments, two of them selected (made by snpRule).
const QString kThreeFragments = QStringLiteral("SNP panel on three fragments");
const QString kRequired = QStringLiteral("Fragment Analysis Parameters Name is required");
const QString kNotUnique = QStringLiteral("Fragment Analysis Parameters Name is not unique");
constexpr quint32 kYellow = 65535;
constexpr quint32 kWindowBackground = 0x80000005;

// Every field the editor's Save writes, as text, from settings read back from the store.
QMap<QString, QString> savedFields(const FragAnalysisParam &s)
{
    const auto names = [](const CollectionPtr &tags) {
        QStringList out;
        for (const QVariant &item : *tags)
            out << objectFrom<BusinessObject>(item)->Name();
        out.sort();
        return out.join(u',');
    };
    const SizeCalibrationPtr entry = s.SizeCalibration(0);
    QStringList peaks;
    for (const qint16 p : entry ? entry->SelectedPeaks() : QList<qint16>())
        peaks << QString::number(p);
    QMap<QString, QString> fields{
        {"Name", s.Name()},
        {"ProjectName", s.ProjectName()},
        {"TypeCode", QString::number(s.TypeCode())},
        {"IdentifyAlleles", QString::number(s.IdentifyAlleles(0))},
        {"SlopeThreshold", QString::number(s.SlopeThreshold())},
        {"RelativePeakHeightThreshold", QString::number(s.RelativePeakHeightThreshold(0))},
        {"ConfidenceLevel", QString::number(s.ConfidenceLevel(0))},
        {"SNPAnalysis", QString::number(s.SNPAnalysis())},
        {"SizeStandard", s.SizeStandard() ? s.SizeStandard()->Name() : QStringLiteral("nothing")},
        {"ModelIndex", entry ? QString::number(entry->ModelIndex()) : QStringLiteral("no entry")},
        {"MigrationVariable", entry ? QString::number(entry->MigrationVariable()) : QStringLiteral("no entry")},
        {"SelectedPeaks", peaks.join(u' ')},
        {"DyeMobilityCalibration", s.DyeMobilityCalibration() ? s.DyeMobilityCalibration()->Name() : QString()},
        {"StandardMobilityReference",
         s.StandardMobilityReference() ? s.StandardMobilityReference()->Name() : QStringLiteral("nothing")},
        {"UseCalculatedDyeSpectra", QString::number(s.UseCalculatedDyeSpectra())},
        {"IDStandardBySize", QString::number(s.IDStandardBySize())},
        {"QuantityByHeight", QString::number(s.QuantityByHeight())},
        {"STR", names(s.STRLocusTagsOf(0))},
        {"SNP", names(s.SNPLocusTagsOf(0))},
    };
    // The quantitation rows and their dye spectra, one field each.
    for (qint32 i = 0; i < 4; ++i) {
        const QString at = QStringLiteral("(%1)").arg(i);
        fields.insert(QStringLiteral("DyeSpectra") + at, QString::number(s.DyeSpectra(i)));
        fields.insert(QStringLiteral("QuantSizeTime") + at, QString::number(s.QuantSizeTime(i)));
        fields.insert(QStringLiteral("QuantWindow") + at, QString::number(s.QuantWindow(i)));
        fields.insert(QStringLiteral("QuantAmount") + at, QString::number(s.QuantAmount(i)));
        fields.insert(QStringLiteral("QuantUnit") + at, QString::number(s.QuantUnit(i)));
    }
    return fields;
}

// A window left invalid on purpose: the first quantitation window is out of its range.
const QString kBadWindow = QStringLiteral("txtWindow(0)=2000");
const QString kGoodWindow = QStringLiteral("txtWindow(0)=5");

const QString kReadOnlyTip =
    QStringLiteral("This is a read-only item.  You must give a new name to save your settings.");

// Runs the selection window as the application opens it, with act inside it.
void runSelection(const std::function<void(EditorDriver &)> &act)
{
    onNextPage(act);
    Service service;
    service.SelectAnalysisParameters();
}

// Clicks New or Edit on the selection page and runs act inside the editor that opens.
void openEditor(EditorDriver &selection, const QString &button, const std::function<void(EditorDriver &)> &act)
{
    onNextPage(act);
    QTest::mouseClick(qobject_cast<QAbstractButton *>(selection.control(button)), Qt::LeftButton);
    QCoreApplication::processEvents(); // the selection page comes back to the user
}

QString caption(const EditorDriver &driver, const QString &label)
{
    return driver.property(label, "Caption").toString();
}

// Another program holding the set's row (PostgreSQL) or the whole database (SQLite) locked, as a
// long write of another workstation does.
class LockHolder
{
public:
    LockHolder(const QString &location, const QString &setName)
        : m_name(QStringLiteral("lock-holder"))
    {
        const bool postgres = location.startsWith(QLatin1String("postgresql:"));
        QSqlDatabase db =
            QSqlDatabase::addDatabase(postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), m_name);
        QStringList statements;
        if (postgres) {
            const QUrl url(location);
            db.setHostName(url.host());
            db.setPort(url.port(5432));
            db.setUserName(url.userName());
            db.setDatabaseName(url.path().mid(1));
            statements << QStringLiteral("BEGIN")
                       << QStringLiteral("SET LOCAL search_path TO \"%1\"")
                              .arg(QUrlQuery(url).queryItemValue(QStringLiteral("schema")))
                       << QStringLiteral("SELECT id FROM parameter_sets WHERE name = '%1' FOR UPDATE").arg(setName);
        } else {
            db.setDatabaseName(location);
            statements << QStringLiteral("BEGIN EXCLUSIVE");
        }
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        QSqlQuery query(db);
        for (const QString &sql : statements)
            QVERIFY2(query.exec(sql), qPrintable(query.lastError().text()));
    }
    ~LockHolder()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }

private:
    QString m_name;
};

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
    void everyFieldSaveWritesIsStored_data();
    void everyFieldSaveWritesIsStored();
    void commitOnAStoredSet_data();
    void commitOnAStoredSet();
    void snpRule_data();
    void snpRule();
    void saveAsCancelledOrCompleted_data();
    void saveAsCancelledOrCompleted();
    void everySaveAfterSaveAsPublishesTheSetAgain();
    void cancelAfterSaveAsStoresNothing();

    void saveAsPageNames_data();
    void saveAsPageNames();
    void saveAsThatCannotStartCanBeTriedAgain();

    // The whole job, from the selection window.
    void newSetIsListedAndSelected();
    void editedSetShowsInTheSummaryAndAfterARestart();
    void readOnlyDefaultIsSavedUnderANewName();
    void refusedCommitKeepsTheEditorAndTheInput_data();
    void refusedCommitKeepsTheEditorAndTheInput();
    void anotherProcessWinsTheRace();

private:
    FragAnalysisParamPtr stored(const QString &name) const { return m_store->stored(name); }
    QString storedText(const QString &name) const { return m_store->storedText(name); }
    AnalysisParameterPtr listed(const QString &name) { return m_store->host().loadSet(name); }
    QList<host::HostUtilities::Report> shownReports() { return m_store->host().shownReports(); }
    // Runs the application as a separate process on the same store.
    QString runApp(const QStringList &arguments, int *exitCode = nullptr) const;

    QString m_engine;
    std::unique_ptr<EngineHost> m_store;
    QTemporaryDir m_dir;
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
    // A new set is made from the default set, an existing one is the SNP panel. Each of `typed` is
    // entered as the name (a null one leaves the name as it is) and commit is clicked; then the name
    // field shows backColor and tip, and a valid set is stored under the last name.
    columns<bool, QStringList, bool, quint32, QString>("isNew", "typed", "valid", "backColor", "tip");
    row("new set, empty name", true, QStringList{""}, false, kYellow, kRequired);
    row("new set, only blanks", true, QStringList{"   "}, false, kYellow, kRequired);
    row("new set, stored name with trailing blanks", true, QStringList{kSnpPanel + "  "}, false, kWindowBackground,
        kNotUnique);
    row("new set, stored name in other letter case", true, QStringList{kSnpPanel.toUpper()}, false, kWindowBackground,
        kNotUnique);
    row("new set, hidden set's name", true, QStringList{kHidden}, false, kWindowBackground, kNotUnique);
    row("new set, fresh name", true, QStringList{"Run 12 settings"}, true, kWindowBackground, "");
    row("stored set keeps its own name", false, QStringList{QString()}, true, kWindowBackground, "");
    // A name that is taken says so without taking the yellow back: only a good name does.
    row("new set, taken name after an empty one", true, QStringList{"", kCasework + " "}, false, kYellow, kNotUnique);
    row("new set, then a fresh name", true, QStringList{"", kCasework + " ", "Casework, lab 2"}, true,
        kWindowBackground, "");
}

void TestEditorSaving::nameRules()
{
    QFETCH(bool, isNew);
    QFETCH(QStringList, typed);
    QFETCH(bool, valid);
    QFETCH(quint32, backColor);
    QFETCH(QString, tip);
    const QString opened = isNew ? stored::kDefaultParameterSet : kSnpPanel;
    const QString before = storedText(opened);

    bool ended = false;
    quint32 shownColor = 0;
    QString shownTip;
    const EditorOutcome outcome = runEditor(listed(opened), isNew, [&](EditorDriver &editor) {
        editor.apply(QStringLiteral("txtSlopeThreshold=17")); // a change, so Save is offered
        for (const QString &name : typed) {
            if (!name.isNull())
                editor.apply(QStringLiteral("txtParameterSetName=") + name);
            ended = editor.click(kCommandCommit);
        }
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
    const QString savedName = typed.last().isNull() ? opened : typed.last();
    const FragAnalysisParamPtr saved = stored(savedName);
    QVERIFY(saved);
    QCOMPARE(saved->Name(), savedName);
    QCOMPARE(saved->SlopeThreshold(), 17.0f);
    if (isNew) // the template is left as it was
        QCOMPARE(storedText(opened), before);
}

void TestEditorSaving::everyFieldSaveWritesIsStored_data()
{
    // A new set is made from the casework set (Casework, Cubic, migration time, all 20 peaks, Dye Set
    // A, 26 STR tags, no SNP tag) through the controls, as a user
    // makes it, and committed. Read back from the store by another session, it holds `changed` and,
    // in every other field the editor writes, the casework set's values. Its peaks then show ticked
    // exactly as stored when it is opened again.
    columns<QStringList, QStringList>("edits", "changed");
    // Written "field=value; field=value".
    const auto list = [](const char *fields) { return QString::fromUtf8(fields).split(QStringLiteral("; ")); };
    row("time, area, mobility, system spectra",
        list("txtParameterSetName=Round trip ; cmbProjects=Plant Genotyping; chkIDAlleles=0; txtSlopeThreshold=250; "
             "txtIncludePeaks=35; txtConfidenceLevel=80; cmbModel=Quadratic; optMobility=1; grdSizeStandard=1 3 4; "
             "cmbMobility=Long Polymer Mobility; cmbMobilityReference=Dye Set B Reference; optSystemDS=1; "
             "chkDyeSpectra(1)=0; optDuration(1)=1; optQuantity(1)=1; txtSizeTime(1)=300; txtWindow(1)=12.5; "
             "txtAmount(1)=2.5; txtPower(1)=3; cmbUnits(1)=mol; ctlSTRLocusTagSelector=DYS19; "
             "ctlSNPLocusTagSelector=rs1490413"),
        list("Name=Round trip ; ProjectName=Plant Genotyping; IdentifyAlleles=0; SlopeThreshold=250; "
             "RelativePeakHeightThreshold=35; ConfidenceLevel=80; ModelIndex=1; MigrationVariable=1; "
             "SelectedPeaks=0 2 3; DyeMobilityCalibration=Long Polymer Mobility; "
             "StandardMobilityReference=Dye Set B Reference; UseCalculatedDyeSpectra=0; DyeSpectra(1)=0; "
             "IDStandardBySize=0; QuantityByHeight=0; QuantSizeTime(1)=300; QuantWindow(1)=12.5; "
             "QuantAmount(1)=2500; QuantUnit(1)=1; STR=+DYS19; SNP=rs1490413"));
    row("migration time by its button, Linear, two peaks, no reference",
        list("txtParameterSetName=Round trip 2; optMobility=1; optMigrationTime=1; cmbModel=Linear; "
             "grdSizeStandard=2 5; cmbMobilityReference=[None]; optSystemDS=1; optUseCalculatedDS=1; optDuration(1)=1; "
             "optDuration(0)=1; optQuantity(1)=1; optQuantity(0)=1; ctlSTRLocusTagSelector=Amelogenin"),
        list("Name=Round trip 2; ModelIndex=0; MigrationVariable=0; SelectedPeaks=1 4; "
             "StandardMobilityReference=nothing; UseCalculatedDyeSpectra=1; IDStandardBySize=1; QuantityByHeight=1; "
             "STR=-Amelogenin"));
    row("SNP analysis", list("txtParameterSetName=Round trip 3; chkSNP=1"),
        list("Name=Round trip 3; SNPAnalysis=1; IdentifyAlleles=0; ModelIndex=0; "
             "SelectedPeaks=0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19"));
}

void TestEditorSaving::everyFieldSaveWritesIsStored()
{
    QFETCH(QStringList, edits);
    QFETCH(QStringList, changed);
    QMap<QString, QString> expected = savedFields(*stored(kCasework));
    expected[QStringLiteral("SelectedPeaks")] = QStringLiteral("0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19");
    for (const QString &field : changed) {
        const QString name = field.section(u'=', 0, 0);
        const QString value = field.section(u'=', 1);
        // Tags: "+NAME" one added to the casework set's, "-NAME" one taken away.
        if (value.startsWith(u'+') || value.startsWith(u'-')) {
            QStringList tags = expected.value(name).split(u',', Qt::SkipEmptyParts);
            if (value.startsWith(u'+'))
                tags << value.mid(1);
            else
                tags.removeAll(value.mid(1));
            tags.sort();
            expected[name] = tags.join(u',');
        } else {
            expected[name] = value;
        }
    }
    const QString name = expected.value(QStringLiteral("Name"));
    const EditorOutcome outcome = runEditor(listed(kCasework), true, [&](EditorDriver &editor) {
        editor.apply(edits);
        QVERIFY(editor.click(kCommandCommit));
    });
    QVERIFY(!outcome.cancelled);
    QVERIFY(shownReports().isEmpty());
    const FragAnalysisParamPtr saved = stored(name);
    QVERIFY(saved);
    const QMap<QString, QString> back = savedFields(*saved);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QVERIFY2(back.value(it.key()) == it.value(),
                 qPrintable(QStringLiteral("%1 is %2, not %3").arg(it.key(), back.value(it.key()), it.value())));
    // The project is stored by its identifier, the one of the project of that name.
    bool projectFound = false;
    for (const ProjectPtr &project : m_store->other()->projects())
        if (project->Name() == saved->ProjectName())
            projectFound = saved->ProjectID() == QString::number(project->ProjectID());
    QVERIFY(projectFound);

    // Opened again, the grid ticks exactly the stored peaks.
    QStringList ticked;
    runEditor(listed(name), false, [&](EditorDriver &editor) {
        auto *grid = qobject_cast<GridControl *>(editor.control(QStringLiteral("grdSizeStandard")));
        for (qint32 r = 1; r <= grid->rowCount(); ++r)
            if (grid->cellText(r, 1) == QLatin1String("1"))
                ticked << QString::number(r - 1);
    });
    QCOMPARE(ticked.join(u' '), expected.value(QStringLiteral("SelectedPeaks")));
}

void TestEditorSaving::commitOnAStoredSet_data()
{
    // The edits are made on the casework set and commit is clicked. The page is refused with the
    // field `yellow` marked, or Save fails with `error` reported; either way nothing is stored and
    // the edits stay. Otherwise the stored set's description holds `lines`. Only some fields count as
    // a change that offers Save; the slope is one of them.
    columns<QStringList, QString, qint32, QStringList>("edits", "yellow", "error", "lines");
    const QString slope = QStringLiteral("txtSlopeThreshold=13");
    row("size/time 2000", QStringList{"txtSizeTime(0)=2000", "txtWindow(0)=5"}, "", 0,
        QStringList{"Row 0 = spectra 1 sizeTime 2000 window 5 amount 9.99999972e-10 unit 0"});
    row("window 1999 under size/time 2000", QStringList{"txtSizeTime(1)=2000", "txtWindow(1)=1999"}, "", 0,
        QStringList{"Row 1 = spectra 1 sizeTime 2000 window 1999 amount 2.49999998e-09 unit 0"});
    row("window 2000", QStringList{"txtSizeTime(2)=2000", "txtWindow(2)=2000"}, "txtWindow(2)", 0, QStringList{});
    row("window not under size/time", QStringList{"txtSizeTime(3)=40", "txtWindow(3)=40"}, "txtSizeTime(3)", 0,
        QStringList{});
    row("[None] size standard", QStringList{"cmbSizeStandard=[None]", slope}, "", 0,
        QStringList{"SizeStandard = nothing", "EntryCount = 1", "Entry 0 SizeCalibration = nothing"});
    row("amount 1.50 power -4", QStringList{"txtAmount(3)=1.50", "txtPower(3)=-4", "cmbUnits(3)=g/L", slope}, "", 0,
        QStringList{"Row 3 = spectra 1 sizeTime 400 window 10 amount 0.000150000007 unit 3"});
    row("empty power", QStringList{slope, "txtAmount(2)=1.00", "txtPower(2)="}, "", qint32(kTypeMismatch),
        QStringList{});
    // Powers set by a host, beyond what the leaving rule clamps: too large to store, or no power.
    row("amount beyond single precision", QStringList{slope, "txtAmount(2)=3.403", "txtPower(2)=38"}, "",
        qint32(kOverflow), QStringList{});
    row("amount beyond any number", QStringList{slope, "txtAmount(2)=1.00", "txtPower(2)=2147483647"}, "",
        qint32(kOverflow), QStringList{});
    row("power beyond 32 bits", QStringList{slope, "txtAmount(2)=1.00", "txtPower(2)=2147483648"}, "",
        qint32(kTypeMismatch), QStringList{});
}

void TestEditorSaving::commitOnAStoredSet()
{
    QFETCH(QStringList, edits);
    QFETCH(QString, yellow);
    QFETCH(qint32, error);
    QFETCH(QStringList, lines);
    const QString before = storedText(kCasework);
    bool ended = false;
    quint32 color = 0;
    QStringList lost; // the edits of text boxes that no longer show them after the click
    const EditorOutcome outcome = runEditor(listed(kCasework), false, [&](EditorDriver &editor) {
        editor.apply(edits);
        ended = editor.click(kCommandCommit);
        if (!yellow.isEmpty())
            color = editor.property(yellow, "BackColor").toUInt();
        for (const QString &edit : edits) {
            const QString field = edit.section(QLatin1Char('='), 0, 0);
            if (field.startsWith(QLatin1String("txt")) && editor.text(field) != edit.section(QLatin1Char('='), 1))
                lost << edit;
        }
    });
    const bool saves = yellow.isEmpty() && !error;
    QCOMPARE(ended, saves);
    QCOMPARE(outcome.cancelled, !saves);
    const auto shown = shownReports();
    QCOMPARE(shown.size(), error ? 1 : 0);
    if (saves) {
        const QStringList storedLines = storedText(kCasework).split(QLatin1Char('\n'));
        for (const QString &line : lines)
            QVERIFY2(storedLines.contains(line), qPrintable(storedLines.join(QLatin1Char('\n'))));
        return;
    }
    QCOMPARE(storedText(kCasework), before);
    QCOMPARE(lost, QStringList());
    if (!error) {
        QCOMPARE(color, kYellow);
        return;
    }
    QCOMPARE(shown.first().error.number(), error);
    QCOMPARE(shown.first().procedureName, QStringLiteral("Save"));
}

void TestEditorSaving::snpRule_data()
{
    // failFirst: the first Validate is refused for another reason
    columns<QString, bool, bool>("opened", "failFirst", "saved");
    row("first validation ignores the rule", kCasework, false, true);
    row("second validation refuses 20 fragments", kCasework, true, false);
    row("second validation takes 2 fragments, both selected", kSnpPanel, true, true);
    row("second validation refuses 3 fragments, 2 selected", kThreeFragments, true, false);
    row("no size standard, no rule", kQuickSizing, true, true);
}

void TestEditorSaving::snpRule()
{
    QFETCH(QString, opened);
    QFETCH(bool, failFirst);
    QFETCH(bool, saved);
    if (opened == kThreeFragments) {
        SizeStandardSettings three;
        three.setName(QStringLiteral("SNP Triple 60/90/120"));
        three.setFragmentSizes({60, 90, 120});
        m_store->host().store().addSizeStandard(three);
        const SizeStandardSettingsPtr standard = m_store->host().store().sizeStandard(0, three.Name())->Data();
        const FragAnalysisParamPtr copy = listed(kSnpPanel)->FragAnalysisParam();
        copy->setName(opened);
        copy->setSizeStandard(standard);
        copy->SizeCalibration(0)->setSizeStandard(standard);
        copy->SizeCalibration(0)->setSelectedPeaks({0, 1});
        copy->Commit();
    }
    const QString before = storedText(opened);
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
    if (saved)
        QVERIFY(stored(opened)->SNPAnalysis());
    else
        QCOMPARE(storedText(opened), before);
}

void TestEditorSaving::saveAsCancelledOrCompleted_data()
{
    // name: typed in the save-as window and saved; null: that window is cancelled and the set saved
    // in place.
    columns<QString>("name");
    row("cancelled", QString());
    row("completed", "Casework copy");
}

void TestEditorSaving::saveAsCancelledOrCompleted()
{
    QFETCH(QString, name);
    const bool completed = !name.isNull();
    const QString before = storedText(kCasework);
    QStringList labels;
    QList<bool> nameBoxVisible;
    const EditorOutcome outcome = runEditor(listed(kCasework), false, [&](EditorDriver &editor) {
        const auto look = [&] {
            labels << editor.property(QStringLiteral("lblAnalysisParameter"), "Caption").toString();
            nameBoxVisible << editor.property(QStringLiteral("txtParameterSetName"), "Visible").toBool();
        };
        editor.apply(QStringLiteral("txtSlopeThreshold=21"));
        editor.window().connect(&editor.window(), &host::ServiceWindowDialog::flowEnded, look);
        saveAs(editor, name);
        if (!completed) {
            look();
            QVERIFY(editor.click(kCommandCommit));
        }
    });
    QVERIFY(!outcome.cancelled);
    QCOMPARE(labels, QStringList(completed ? 1 : 2, completed ? name : kCasework));
    QCOMPARE(nameBoxVisible, QList<bool>(labels.size(), false)); // as an existing set shows it
    QVERIFY(!outcome.context->Contains(keys::kSaveParamAs));
    QCOMPARE(stored(completed ? name : kCasework)->SlopeThreshold(), 21.0f);
    if (!completed) {
        QVERIFY(!outcome.context->Contains(keys::kNewSaveAs));
        return;
    }
    const auto published = outcome.context->Object<AnalysisParameter>(keys::kNewSaveAs);
    QVERIFY(published);
    QCOMPARE(published->Name(), name);
    QVERIFY(published->ID() > 0);
    QCOMPARE(stored(name)->Attributes(), 0);
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
    // The save-as window on its own, with a new set to save in the context unless `noSet`. picked: a
    // name clicked in the list of stored names, which fills the name box; typed: then typed in the
    // box, unless null.
    columns<bool, QString, QString, bool>("noSet", "picked", "typed", "accepted");
    row("empty", false, "", "", false);
    row("only spaces", false, "", "    ", false);
    row("stored name", false, "", kSnpPanel, false);
    row("stored name, trailing spaces", false, "", kSnpPanel + "   ", false);
    row("stored name, leading space", false, "", " " + kSnpPanel, true);
    row("new name, trailing spaces kept", false, "", "Plant panel  ", true);
    row("stored name clicked in the list", false, kSnpPanel, QString(), false);
    // Reported, with no names listed; the default text is a name no set has.
    row("no set to save keeps the default text", true, "", QString(), true);
}

void TestEditorSaving::saveAsPageNames()
{
    QFETCH(bool, noSet);
    QFETCH(QString, picked);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    const QString box = QStringLiteral("txtAnalysisParamName");
    const CollectionPtr context = newCollection();
    if (!noSet)
        context->Add(toVariant(ObjectManager().NewObject(types::kAnalysisParameter)), keys::kSaveParamAs);
    context->Add(QStringLiteral("left from an earlier Save As"), keys::kParamName);
    QString filled;
    bool ended = false;
    onNextPage([&](EditorDriver &page) {
        auto *list = qobject_cast<ListBox *>(page.control(QStringLiteral("lstAnalysisParamNameList")));
        QCOMPARE(list->ListCount() == 0, noSet);
        for (int i = 0; i < list->ListCount(); ++i)
            if (list->List(i) == picked)
                list->setListIndex(i);
        filled = page.text(box);
        if (!typed.isNull())
            page.apply(box + QLatin1Char('=') + typed);
        ended = page.click(kCommandCommit);
    });
    const ServiceWindowPtr window =
        App().RunService(flows::kSaveAnalysisParameterAs, context, nullptr, flow_options::kSaveAnalysisParameterAs);
    QCOMPARE(filled, noSet ? QStringLiteral("Analysis Parameter Name") : picked);
    QCOMPARE(ended, accepted);
    QCOMPARE(window->WasCancelled(), !accepted);
    if (accepted) // exactly as typed
        QCOMPARE(context->Item(keys::kParamName).toString(), typed.isNull() ? filled : typed);
    else
        QVERIFY(!context->Contains(keys::kParamName));
    const auto shown = shownReports();
    QCOMPARE(shown.size(), noSet ? 1 : 0);
    if (noSet)
        QCOMPARE(shown.first().procedureName, QStringLiteral("m_oPageBase_Initialize"));
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

QString TestEditorSaving::runApp(const QStringList &arguments, int *exitCode) const
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELTRANE_APP_PATH), QStringList{"--db", m_store->location()} + arguments);
    if (!process.waitForFinished(60000))
        process.kill();
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

void TestEditorSaving::newSetIsListedAndSelected()
{
    QString selected, project, model;
    runSelection([&](EditorDriver &selection) {
        openEditor(selection, QStringLiteral("cmdNew"), [](EditorDriver &editor) {
            editor.apply({QStringLiteral("txtParameterSetName=Run 12"), QStringLiteral("cmbProjects=Casework"),
                          QStringLiteral("txtSlopeThreshold=14")});
            QVERIFY(editor.click(kCommandCommit));
        });
        selected = selection.text(QStringLiteral("cmbAnalysisParams"));
        project = caption(selection, QStringLiteral("lblProject"));
        model = caption(selection, QStringLiteral("lblModel"));
    });
    QCOMPARE(selected, QStringLiteral("Run 12"));
    QCOMPARE(project, QStringLiteral("Casework"));
    QCOMPARE(model, QStringLiteral("Local Southern")); // the default set's model, as the template had it
    QCOMPARE(stored(QStringLiteral("Run 12"))->SlopeThreshold(), 14.0f);
    QVERIFY(shownReports().isEmpty());
}

void TestEditorSaving::editedSetShowsInTheSummaryAndAfterARestart()
{
    QString model, calibration, dateBefore, dateAfter;
    runSelection([&](EditorDriver &selection) {
        selection.apply(QStringLiteral("cmbAnalysisParams=") + kCasework);
        dateBefore = caption(selection, QStringLiteral("lblDateModified"));
        openEditor(selection, QStringLiteral("cmdEdit"), [](EditorDriver &editor) {
            editor.apply({QStringLiteral("cmbModel=Quadratic"), QStringLiteral("cmbMobility=Long Polymer Mobility")});
            QVERIFY(editor.click(kCommandCommit));
        });
        model = caption(selection, QStringLiteral("lblModel"));
        calibration = caption(selection, QStringLiteral("lblCalibrationMatrix"));
        dateAfter = caption(selection, QStringLiteral("lblDateModified"));
    });
    QCOMPARE(model, QStringLiteral("Quadratic"));
    QCOMPARE(calibration, QStringLiteral("Long Polymer Mobility"));
    QVERIFY(dateAfter != dateBefore);

    int exitCode = -1;
    const QString shown = runApp({QStringLiteral("show"), kCasework}, &exitCode);
    QCOMPARE(exitCode, 0);
    QVERIFY2(shown.contains(QLatin1String("\nModel: Quadratic\n")), qPrintable(shown));
    QVERIFY2(shown.contains(QLatin1String("\nDye Mobility Calibration: Long Polymer Mobility\n")), qPrintable(shown));
    QVERIFY2(shown.contains(QStringLiteral("\nDate Modified: %1\n").arg(dateAfter)), qPrintable(shown));
}

void TestEditorSaving::readOnlyDefaultIsSavedUnderANewName()
{
    const QString before = describe(*stored(stored::kDefaultParameterSet));
    QString selected, tip, slope;
    bool refused = false, okOffered = true;
    runSelection([&](EditorDriver &selection) {
        openEditor(selection, QStringLiteral("cmdEdit"), [&](EditorDriver &editor) {
            editor.apply(QStringLiteral("txtSlopeThreshold=16"));
            refused = !editor.click(kCommandCommit);
            okOffered = editor.window().button(kCommandCommit)->isEnabled();
            tip = editor.property(QStringLiteral("txtParameterSetName"), "ToolTipText").toString();
            slope = editor.text(QStringLiteral("txtSlopeThreshold"));
            saveAs(editor, QStringLiteral("My defaults"));
        });
        selected = selection.text(QStringLiteral("cmbAnalysisParams"));
    });
    QVERIFY(refused);
    QVERIFY(!okOffered);
    QCOMPARE(tip, kReadOnlyTip);
    QCOMPARE(slope, QStringLiteral("16"));
    const auto shown = shownReports();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().error.number(), qint32(kStoreReadOnly));
    QVERIFY(shown.first().error.description().contains(stored::kDefaultParameterSet));
    QCOMPARE(selected, QStringLiteral("My defaults"));
    QCOMPARE(stored(QStringLiteral("My defaults"))->SlopeThreshold(), 16.0f);
    QCOMPARE(stored(QStringLiteral("My defaults"))->Attributes(), 0);
    QCOMPARE(describe(*stored(stored::kDefaultParameterSet)), before);
}

void TestEditorSaving::refusedCommitKeepsTheEditorAndTheInput_data()
{
    columns<QString, qint32, QString>("cause", "number", "says");
    row("changed by another workstation", "changed", qint32(kStoreConflict), "was changed by");
    row("created by another workstation", "created", qint32(kStoreConflict), "was stored by");
    row("locked by another program", "locked", qint32(kStoreBusy), "was not saved");
}

void TestEditorSaving::refusedCommitKeepsTheEditorAndTheInput()
{
    QFETCH(QString, cause);
    QFETCH(qint32, number);
    QFETCH(QString, says);
    const bool isNew = cause == QLatin1String("created");
    const QString name = isNew ? QStringLiteral("Run 13") : kCasework;

    // What the other workstation stores meanwhile, if anything.
    const auto otherSave = [&]() -> FragAnalysisParamPtr {
        auto settings = FragAnalysisParamPtr::create();
        settings->setStore(m_store->other());
        settings->setName(name);
        if (!isNew)
            settings->Retrieve();
        settings->setSlopeThreshold(99);
        settings->Commit();
        return settings;
    };
    FragAnalysisParamPtr theirs;
    std::unique_ptr<LockHolder> lock;
    bool ended = true;
    QString slope, nameText;
    runSelection([&](EditorDriver &selection) {
        if (!isNew)
            selection.apply(QStringLiteral("cmbAnalysisParams=") + kCasework);
        openEditor(selection, isNew ? QStringLiteral("cmdNew") : QStringLiteral("cmdEdit"), [&](EditorDriver &editor) {
            if (isNew)
                editor.apply(QStringLiteral("txtParameterSetName=") + name);
            editor.apply(QStringLiteral("txtSlopeThreshold=18"));
            if (cause == QLatin1String("locked"))
                lock = std::make_unique<LockHolder>(m_store->location(), name);
            else
                theirs = otherSave();
            ended = editor.click(kCommandCommit);
            lock.reset();
            slope = editor.text(QStringLiteral("txtSlopeThreshold"));
            nameText = editor.text(QStringLiteral("txtParameterSetName"));
            QVERIFY(editor.click(kCommandCancel));
        });
    });
    QVERIFY(!ended);
    QCOMPARE(slope, QStringLiteral("18"));
    QCOMPARE(nameText, name);
    const auto shown = shownReports();
    QCOMPARE(shown.size(), 1);
    const QString message = shown.first().error.description();
    QCOMPARE(shown.first().error.number(), number);
    QVERIFY2(message.contains(QLatin1Char('"') + name + QLatin1Char('"')), qPrintable(message));
    QVERIFY2(message.contains(says), qPrintable(message));
    if (theirs) {
        // Who changed it, and when, as far as the store knows.
        const QString when = QLocale().toString(theirs->ConvertDate(theirs->DateModified()), QLocale::ShortFormat);
        QVERIFY2(message.contains(QSysInfo::machineHostName()), qPrintable(message));
        QVERIFY2(message.contains(when), qPrintable(message));
        QCOMPARE(stored(name)->SlopeThreshold(), 99.0f); // their change stands
    } else {
        QVERIFY(stored(name)->SlopeThreshold() != 18.0f);
    }
}

void TestEditorSaving::anotherProcessWinsTheRace()
{
    const QString exported = m_dir.filePath(QStringLiteral("casework.json"));
    int exitCode = -1;
    runApp({QStringLiteral("export"), kCasework, QStringLiteral("-o"), exported}, &exitCode);
    QCOMPARE(exitCode, 0);

    QString message, selected, importOutput;
    runSelection([&](EditorDriver &selection) {
        selection.apply(QStringLiteral("cmbAnalysisParams=") + kCasework);
        openEditor(selection, QStringLiteral("cmdEdit"), [&](EditorDriver &editor) {
            editor.apply(QStringLiteral("txtSlopeThreshold=19"));
            // The other workstation writes the set back while this one is editing it.
            int importExit = -1;
            importOutput = runApp({QStringLiteral("import"), exported, QStringLiteral("--replace")}, &importExit);
            QCOMPARE(importExit, 0);
            QVERIFY(!editor.click(kCommandCommit));
            const auto shown = shownReports();
            if (!shown.isEmpty())
                message = shown.last().error.description();
            saveAs(editor, QStringLiteral("Casework, my changes"));
        });
        selected = selection.text(QStringLiteral("cmbAnalysisParams"));
    });
    QVERIFY2(message.contains(QStringLiteral("\"%1\" was changed by").arg(kCasework)),
             qPrintable(message + importOutput));
    QCOMPARE(selected, QStringLiteral("Casework, my changes"));
    QCOMPARE(stored(QStringLiteral("Casework, my changes"))->SlopeThreshold(), 19.0f);
    QCOMPARE(stored(kCasework)->SlopeThreshold(), 12.0f);
}

VELTRANE_PAGE_STORE_TEST_MAIN(TestEditorSaving)

#include "test_editor_saving.moc"
