// Opening the parameter set editor: the page made, Initialize raised as the framework raises it,
// every control filled (all six tabs, both locus tag selectors) and the page painted.
// Each BM_X runs beside its floor BM_X_Floor; the program prints X / floor for each pair at the end.
//   OpenSTR100       a set using 100 of 200 stored STR locus tags (the store's other lists as seeded)
//   OpenSNP/1        a set using 1,000 of 10,000 stored SNP locus tags, in a store of 1,000 sets and
//                    2,000 size standards besides the seeded ones
//   OpenSNP/10       ten times that: 10,000 of 100,000 SNP tags, 10,000 sets, 20,000 size standards
//   OpenSNPMemory/N  the same opening, measured by the heap's peak above what was in use before it
//                    (bytes the page and what it read hold at the highest point), not by time
// Floor: the same reads of the same store (the same queries through the business-object manager),
// the same values filled into stock widgets (QLineEdit, QComboBox, QCheckBox, QRadioButton, and
// QTableView over a bare table model, tag tables in the store's order, which is by name) on a
// QTabWidget, painted.
// Usage: bench_editor [--benchmark_repetitions=N]

#include "app/host_setup.h"
#include "host/objects/json_exchange.h"
#include "veltrane/common/formats.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/service/class_table.h"

#include "lab_data/lab_exchange.h"
#include "support/heap_peak.h"
#include "support/ratio_reporter.h"
#include "support/widget_main.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

using namespace veltrane;

namespace {

constexpr int kStrTags = 200;
constexpr int kStrInSet = 100;
// At scale 1; the store of scale 10 has ten times as many of each.
constexpr int kSets = 1000;
constexpr int kSizeStandards = 2000;
constexpr int kSnpTags = 10000;
constexpr int kSnpInSet = 1000;
const QString kStrSet = QStringLiteral("STR panel");
const QString kSnpSet = QStringLiteral("Genealogy panel");

QTemporaryDir g_dir;
std::shared_ptr<host::SqlStore> g_store;
QString g_storeFile; // of g_store

// ---- the two stores ------------------------------------------------------------------------------

QString storeFile(const char *name)
{
    return g_dir.filePath(QLatin1String(name));
}

QString snpStoreFile(int scale)
{
    return g_dir.filePath(QStringLiteral("snp-x%1.sqlite").arg(scale));
}

// Makes the store at file the one the pages use (seeded when it is created).
void use(const QString &file)
{
    if (g_store && g_storeFile == file)
        return;
    installHostFactories({});
    resetThreadHelpers();
    g_store.reset();
    g_store = app::openAndInstall(file, host::StoreOptions{.seed = true});
    g_storeFile = file;
}

FragAnalysisParamPtr newSettings(const QString &name)
{
    auto set = FragAnalysisParamPtr::create();
    set->setName(name);
    set->setProjectName(QStringLiteral("Default"));
    set->setTypeCode(limits::kFragAnalysisTypeCode);
    set->setIdentifyAlleles(0, true);
    const auto standard = g_store->sizeStandard(0, QStringLiteral("Ladder 50-500 (20 fragments)"))->Data();
    set->setSizeStandard(standard);
    auto entry = SizeCalibrationPtr::create();
    entry->setModelIndex(3);
    entry->setSelectedPeaks({0, 1, 2, 3, 5, 8, 13});
    entry->setSizeStandard(standard);
    set->setSizeCalibration(0, entry);
    set->setDyeMobilityCalibration(g_store->mobilityCalibrations().first()->Data());
    return set;
}

void makeStrStore()
{
    use(storeFile("str.sqlite"));
    for (int i = g_store->strLocusTags().size(); i < kStrTags; ++i) {
        STRLocusTag tag;
        tag.setName(QStringLiteral("Locus %1").arg(i, 3, 10, QLatin1Char('0')));
        tag.setDye(qint16(i % 4));
        tag.setMinSize(float(80 + i));
        tag.setMaxSize(float(140 + i));
        g_store->addStrLocusTag(tag);
    }
    auto set = newSettings(kStrSet);
    const QList<STRLocusTagPtr> tags = g_store->strLocusTags();
    for (int i = 0; i < kStrInSet; ++i)
        set->STRLocusTagsOf(0)->Add(toVariant(tags.at(2 * i)));
    set->Commit();
}

// A lab's store at a scale besides the seeded data: sets, size standards and SNP tags, and the bench
// set using every tenth SNP tag by name.
void makeSnpStore(int scale)
{
    use(snpStoreFile(scale));
    host::importStore(
        *g_store,
        veltrane::testing::labExchange(kSets * scale, kSnpTags * scale, QStringLiteral("Lab"), kSizeStandards * scale),
        QStringLiteral("bench data"));
    auto set = newSettings(kSnpSet);
    set->setSNPAnalysis(true);
    const QList<SNPLocusTagPtr> all = g_store->snpLocusTags();
    for (int i = 0; i < kSnpInSet * scale; ++i)
        set->SNPLocusTagsOf(0)->Add(toVariant(all.at(10 * i + 5)->TagData()));
    set->Commit();
}

// The set as the selection page hands it over: listed, its settings read.
AnalysisParameterPtr listedSet(const QString &name)
{
    const CollectionPtr sets =
        ObjectManager().LoadCollection(queries::kAnalysisParametersNotHidden, {}, {}, fields::kName, false, true);
    AnalysisParameterPtr set = sets->Object<AnalysisParameter>(name);
    set->FragAnalysisParam();
    return set;
}

// ---- the editor, as the framework opens it --------------------------------------------------------

// What the framework's window offers a page: the context and a window that takes titles and button
// states.
class Site : public PageSite, public ServiceWindow
{
public:
    CollectionPtr businessContext() const override { return context; }
    ServiceWindow *window() const override { return const_cast<Site *>(this); }
    void markDirty(PageBase *) override {}
    bool WasCancelled() const override { return false; }
    QString Title() const override { return title; }
    void SetTitle(const QString &t) override { title = t; }
    void SetButtonEnabled(qint32, bool) override {}
    bool IsButtonEnabled(qint32) const override { return true; }
    void ExecuteCommand(qint32) override {}
    PageList Pages() const override { return PageList{1}; }
    void Refresh() override {}
    void Proceed() override {}

    CollectionPtr context;
    QString title;
};

// What an opening is measured by: its time, or the heap's peak while it runs.
enum class Measure { Time, Memory };

// Around one opening: with Measure::Memory, counts the heap from its start to the painted page and
// keeps the highest peak seen in the case's "peak_bytes" counter.
class Opening
{
public:
    Opening(benchmark::State &state, Measure measure)
        : m_state(state)
        , m_measure(measure)
    {
        if (m_measure == Measure::Memory)
            bench::heap::startCounting();
    }
    // Called once the page has painted, before anything of it is destroyed.
    void painted()
    {
        if (m_measure != Measure::Memory)
            return;
        const double peak = double(bench::heap::peakAboveStart());
        bench::heap::stopCounting();
        double &kept = m_state.counters["peak_bytes"].value;
        kept = std::max(kept, peak);
    }

private:
    benchmark::State &m_state;
    Measure m_measure;
};

void openEditor(benchmark::State &state, const QString &setName, Measure measure = Measure::Time)
{
    const AnalysisParameterPtr set = listedSet(setName);
    for (auto _ : state) {
        Opening opening(state, measure);
        Site site;
        site.context = newCollection();
        site.context->Add(toVariant(set), keys::kAnalysisParameter);
        std::unique_ptr<QWidget> page(createPage(pages::kAnalysisParamPage));
        PageBase *base = dynamic_cast<IPageAccess *>(page.get())->Page();
        base->attach(&site);
        base->raiseInitialize(nullptr);
        base->raiseActivate();
        page->resize(760, 660);
        page->show();
        QCoreApplication::processEvents();
        opening.painted();
        base->detach();
    }
}

// ---- the floor: stock widgets --------------------------------------------------------------------

// A bare model over row-major texts under a header row.
class BareTable : public QAbstractTableModel
{
public:
    explicit BareTable(QStringList header)
        : m_header(std::move(header))
    {}
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(cells.size()) / int(m_header.size());
    }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : m_header.size(); }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        return cells[size_t(index.row() * m_header.size() + index.column())];
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
            return {};
        return m_header.value(section);
    }
    std::vector<QString> cells;

private:
    QStringList m_header;
};

QTableView *tableOf(BareTable *model, QWidget *parent)
{
    auto *view = new QTableView(parent);
    model->setParent(view);
    view->setModel(model);
    return view;
}

QLineEdit *field(const QString &text, QWidget *parent)
{
    auto *line = new QLineEdit(text, parent);
    return line;
}

QString number(float value)
{
    return singleText(value);
}

// A titled frame around a group of controls, placed in a grid layout.
QWidget *group(const QString &title, QGridLayout *grid, int row, int column, int columns = 1)
{
    auto *box = new QGroupBox(title);
    grid->addWidget(box, row, column, 1, columns);
    return box;
}

QCheckBox *checked(const QString &caption, bool on)
{
    auto *box = new QCheckBox(caption);
    box->setChecked(on);
    return box;
}

QRadioButton *option(const QString &caption, bool on)
{
    auto *button = new QRadioButton(caption);
    button->setChecked(on);
    return button;
}

// A number with arrows to step it, where the editor has a field with an up-down control beside it.
QDoubleSpinBox *spin(float value)
{
    auto *box = new QDoubleSpinBox;
    box->setRange(-1e9, 1e9);
    box->setValue(double(value));
    return box;
}

// The same reads as the editor and its two selectors, and the same values in stock widgets.
void openFloor(benchmark::State &state, const QString &setName, Measure measure = Measure::Time)
{
    const AnalysisParameterPtr set = listedSet(setName);
    const QStringList models{"Linear", "Quadratic", "Local Southern", "Cubic", "Quartic"};
    const QStringList units{"g", "mol", "M", "g/L"};
    for (auto _ : state) {
        Opening opening(state, measure);
        BusinessObjectManager &objects = ObjectManager();
        for (qint32 layout : {layouts::kMobility, layouts::kSizeStandard, layouts::kSNPLocusTags})
            objects.LoadObject(types::kGridType, fields::kGridTypeID, QString::number(layout), false, true);
        const CollectionPtr standards = objects.LoadCollection(queries::kSizeStandards, {}, {}, fields::kName);
        const CollectionPtr calibrations =
            objects.LoadCollection(queries::kMobilityCalibrations, {}, {}, fields::kName);
        objects.LoadCollection(queries::kAnalysisParameters, {}, {}, fields::kName);
        const CollectionPtr references = objects.LoadCollection(queries::kStandardMobilityReference, {}, {}, {});
        const CollectionPtr projects = objects.LoadCollection(queries::kProjects, {}, {}, {});
        const CollectionPtr snpTags = objects.LoadCollection(queries::kSNPLocusTags, {}, {}, fields::kName);
        const CollectionPtr strTags = objects.LoadCollection(queries::kSTRLocusTags, {}, {}, fields::kName);
        const FragAnalysisParamPtr s = set->FragAnalysisParam();

        // The page as the editor shows it: every frame, caption, field, list, button and table.
        QWidget page;
        auto *layout = new QVBoxLayout(&page);
        auto *header = new QFormLayout;
        layout->addLayout(header);
        header->addRow(QStringLiteral("Parameter Set Name:"), new QLabel(s->Name()));
        auto *projectList = new QComboBox(&page);
        for (const auto &project : projects->objects<Project>())
            projectList->addItem(trimTrailing(project->Name()), project->ProjectID());
        projectList->hide(); // an existing set shows its project as a caption
        header->addRow(QStringLiteral("Project:"), new QLabel(s->ProjectName()));
        auto *tabs = new QTabWidget(&page);
        layout->addWidget(tabs, 1);

        auto *general = new QWidget;
        auto *generalGrid = new QGridLayout(general);
        auto *dates = new QFormLayout(group(QStringLiteral("Parameter Set"), generalGrid, 0, 0));
        dates->addRow(QStringLiteral("Date created:"), new QLabel(generalDate(s->ConvertDate(s->DateCreated()))));
        dates->addRow(QStringLiteral("Date modified:"), new QLabel(generalDate(s->ConvertDate(s->DateModified()))));
        auto *alleles = new QVBoxLayout(group(QStringLiteral("Allele Identification"), generalGrid, 0, 1));
        alleles->addWidget(checked(QStringLiteral("Identify STR Alleles"), s->IdentifyAlleles(0)));
        alleles->addWidget(checked(QStringLiteral("SNP Analysis"), s->SNPAnalysis()));
        auto *confidence =
            new QHBoxLayout(group(QStringLiteral("Size Estimation and Allele ID Confidence"), generalGrid, 1, 0));
        confidence->addWidget(new QLabel(QStringLiteral("Confidence level:")));
        confidence->addWidget(spin(s->ConfidenceLevel(0)));
        confidence->addWidget(new QLabel(QStringLiteral("%")));
        auto *criteria = new QGridLayout(group(QStringLiteral("Peak Criteria"), generalGrid, 1, 1));
        criteria->addWidget(new QLabel(QStringLiteral("Relative peak height threshold:")), 0, 0);
        criteria->addWidget(spin(s->RelativePeakHeightThreshold(0)), 0, 1);
        criteria->addWidget(new QLabel(QStringLiteral("%")), 0, 2);
        criteria->addWidget(new QLabel(QStringLiteral("Slope threshold:")), 1, 0);
        criteria->addWidget(spin(s->SlopeThreshold()), 1, 1);
        auto *warning = new QLabel(QStringLiteral("To allow Save: SNP Analysis requires selecting a size standard "
                                                  "consisting of only two standard fragments."));
        warning->setWordWrap(true);
        warning->hide();
        generalGrid->addWidget(warning, 2, 0, 1, 2);
        generalGrid->setRowStretch(3, 1);
        tabs->addTab(general, QStringLiteral("&General"));

        auto *method = new QWidget;
        auto *methodGrid = new QGridLayout(method);
        auto *standardList = new QComboBox(method);
        for (const auto &standard : standards->objects<SizeStandard>())
            if (!(standard->Data()->Attributes() & limits::kHiddenBit))
                standardList->addItem(standard->Name(), standardList->count() + 1);
        standardList->addItem(stored::kNone, 0);
        standardList->setCurrentText(s->SizeStandard()->Name());
        methodGrid->addWidget(new QLabel(QStringLiteral("Size standard:")), 0, 0);
        methodGrid->addWidget(standardList, 0, 1);
        methodGrid->addWidget(new QLabel(QStringLiteral("Dye:")), 1, 0);
        methodGrid->addWidget(new QLabel(QStringLiteral("D%1").arg(s->SizeStandard()->DyeIndex() + 1)), 1, 1);
        methodGrid->addWidget(new QLabel(QStringLiteral("Size Standard Fit Coefficient:")), 2, 0);
        methodGrid->addWidget(new QLabel(number(s->SizeStandard()->FitCoefficient())), 2, 1);
        auto *modelList = new QComboBox(method);
        modelList->addItems(models);
        modelList->setCurrentIndex(s->SizeCalibration(0)->ModelIndex());
        methodGrid->addWidget(new QLabel(QStringLiteral("Model:")), 0, 2);
        methodGrid->addWidget(modelList, 0, 3);
        methodGrid->addWidget(new QLabel(QStringLiteral("Requires a minimum of 4 selected peaks.")), 1, 2, 1, 2);
        auto *migration = new QVBoxLayout(group(QStringLiteral("Migration Variable"), methodGrid, 2, 2, 2));
        migration->addWidget(option(QStringLiteral("Migration time"), s->SizeCalibration(0)->MigrationVariable() == 0));
        migration->addWidget(option(QStringLiteral("Mobility"), s->SizeCalibration(0)->MigrationVariable() == 1));
        methodGrid->addWidget(new QLabel(QStringLiteral("Selected Peaks:")), 3, 0);
        auto *peaks = new BareTable({QStringLiteral("Use"), QStringLiteral("Peak"), QStringLiteral("Size")});
        const QList<qint16> selectedPeaks = s->SizeCalibration(0)->SelectedPeaks();
        const QList<float> sizes = s->SizeStandard()->FragmentSizes();
        for (int k = 0; k < sizes.size(); ++k)
            peaks->cells.insert(peaks->cells.end(),
                                {selectedPeaks.contains(qint16(k)) ? QStringLiteral("1") : QStringLiteral("0"),
                                 QString::number(k + 1), number(sizes.at(k))});
        methodGrid->addWidget(tableOf(peaks, method), 4, 0, 1, 4);
        auto *peakButtons = new QHBoxLayout;
        peakButtons->addWidget(new QPushButton(QStringLiteral("&Select All")));
        peakButtons->addWidget(new QPushButton(QStringLiteral("&Deselect All")));
        peakButtons->addStretch(1);
        methodGrid->addLayout(peakButtons, 5, 0, 1, 4);
        tabs->addTab(method, QStringLiteral("Analysis &Method"));

        auto *quantitation = new QWidget;
        auto *quantitationGrid = new QGridLayout(quantitation);
        auto *idStandard = new QHBoxLayout(group(QStringLiteral("ID Standard"), quantitationGrid, 0, 0));
        idStandard->addWidget(option(QStringLiteral("Size"), s->IDStandardBySize() == 1));
        idStandard->addWidget(option(QStringLiteral("Time"), s->IDStandardBySize() != 1));
        auto *calculate = new QHBoxLayout(group(QStringLiteral("Calculate Using"), quantitationGrid, 0, 1));
        calculate->addWidget(option(QStringLiteral("Height"), s->QuantityByHeight() == 1));
        calculate->addWidget(option(QStringLiteral("Area"), s->QuantityByHeight() != 1));
        auto *values = new QGridLayout(group(QStringLiteral("Quantitation Values"), quantitationGrid, 1, 0, 2));
        const std::pair<const char *, int> headings[] = {{"Size", 1}, {"+/- Window", 3}, {"Amount", 5}, {"Units", 8}};
        for (const auto &[heading, column] : headings)
            values->addWidget(new QLabel(QLatin1String(heading)), 0, column);
        for (int i = 0; i < 4; ++i) {
            values->addWidget(new QLabel(QStringLiteral("D%1").arg(i + 1)), i + 1, 0);
            values->addWidget(field(number(s->QuantSizeTime(i)), quantitation), i + 1, 1);
            values->addWidget(field(number(s->QuantWindow(i)), quantitation), i + 1, 3);
            values->addWidget(new QLabel(QStringLiteral("nt")), i + 1, 4);
            const QString amount = QString::number(double(s->QuantAmount(i)), 'e', 2);
            values->addWidget(field(amount.section(u'e', 0, 0), quantitation), i + 1, 5);
            values->addWidget(new QLabel(QStringLiteral("E")), i + 1, 6);
            values->addWidget(spin(amount.section(u'e', 1).toFloat()), i + 1, 7);
            auto *unitList = new QComboBox(quantitation);
            unitList->addItems(units);
            unitList->setCurrentIndex(s->QuantUnit(i));
            values->addWidget(unitList, i + 1, 8);
        }
        quantitationGrid->setRowStretch(2, 1);
        tabs->addTab(quantitation, QStringLiteral("&Quantitation"));

        // A tag selector: the stored tags split by the set's, each side a table, the buttons that move
        // them between the sides and those that edit them.
        const auto split = [&](const QStringList &columns, const CollectionPtr &stored, const QSet<qint32> &used,
                               const auto &idOf, const auto &cellsOf) {
            auto *tab = new QWidget;
            auto *grid = new QGridLayout(tab);
            grid->addWidget(new QLabel(QStringLiteral("Available:")), 0, 0);
            grid->addWidget(new QLabel(QStringLiteral("Selected:")), 0, 2);
            // The store lists tags by name, the order the tables show them in.
            BareTable *sides[2] = {new BareTable(columns), new BareTable(columns)};
            for (const QVariant &item : *stored) {
                const auto tag = objectFrom<BusinessObject>(item);
                cellsOf(tag, sides[used.contains(idOf(tag)) ? 1 : 0]->cells);
            }
            grid->addWidget(tableOf(sides[0], tab), 1, 0);
            grid->addWidget(tableOf(sides[1], tab), 1, 2);
            auto *moves = new QVBoxLayout;
            for (const char *caption : {">", "<", ">>", "<<"})
                moves->addWidget(new QPushButton(QLatin1String(caption)));
            grid->addLayout(moves, 1, 1);
            auto *edits = new QHBoxLayout;
            edits->addWidget(new QPushButton(QStringLiteral("&Edit Locus")));
            edits->addWidget(new QPushButton(QStringLiteral("&New Locus")));
            edits->addStretch(1);
            grid->addLayout(edits, 2, 0, 1, 3);
            return tab;
        };
        QSet<qint32> strUsed, snpUsed;
        for (const auto &tag : s->STRLocusTagsOf(0)->objects<STRLocusTag>())
            strUsed.insert(tag->ID());
        for (const auto &tag : s->SNPLocusTagsOf(0)->objects<SNPLocusTagSettings>())
            snpUsed.insert(tag->ID());
        tabs->addTab(split(
                         {"Locus Tag", "Dye", "Min Size", "Max Size"}, strTags, strUsed,
                         [](const QSharedPointer<BusinessObject> &o) { return o->ID(); },
                         [](const QSharedPointer<BusinessObject> &o, std::vector<QString> &cells) {
                             const auto tag = qSharedPointerObjectCast<STRLocusTag>(o);
                             cells.insert(cells.end(), {tag->Name(), QStringLiteral("D%1").arg(tag->Dye() + 1),
                                                        number(tag->MinSize()), number(tag->MaxSize())});
                         }),
                     QStringLiteral("S&TR Locus Tags"));
        tabs->addTab(split(
                         {"Name", "Number", "Text 1", "Text 2", "Text 3", "Text 4"}, snpTags, snpUsed,
                         [](const QSharedPointer<BusinessObject> &o) {
                             return qSharedPointerObjectCast<SNPLocusTag>(o)->TagData()->ID();
                         },
                         [](const QSharedPointer<BusinessObject> &o, std::vector<QString> &cells) {
                             const auto tag = qSharedPointerObjectCast<SNPLocusTag>(o)->TagData();
                             cells.insert(cells.end(), {tag->Name(), number(tag->TagNumber()), tag->TagText1(),
                                                        tag->TagText2(), tag->TagText3(), tag->TagText4()});
                         }),
                     QStringLiteral("SN&P Locus Tags"));

        auto *advanced = new QWidget;
        auto *advancedGrid = new QGridLayout(advanced);
        auto *spectra = new QGridLayout(group(QStringLiteral("Dye Spectra"), advancedGrid, 0, 0));
        spectra->addWidget(option(QStringLiteral("Use calculated dye spectra"), s->UseCalculatedDyeSpectra()), 0, 0);
        spectra->addWidget(option(QStringLiteral("Use system dye spectra"), !s->UseCalculatedDyeSpectra()), 1, 0);
        for (int i = 0; i < 4; ++i)
            spectra->addWidget(checked(QStringLiteral("D%1").arg(i + 1), s->DyeSpectra(i)), 1, 1 + i);
        auto *mobility = new QGridLayout(group(QStringLiteral("Mobility"), advancedGrid, 1, 0));
        auto *calibrationList = new QComboBox(advanced);
        for (const auto &calibration : calibrations->objects<MobilityCalibration>())
            calibrationList->addItem(calibration->Name());
        calibrationList->setCurrentText(s->DyeMobilityCalibration()->Name());
        mobility->addWidget(new QLabel(QStringLiteral("Dye Mobility Calibration:")), 0, 0);
        mobility->addWidget(calibrationList, 0, 1);
        auto *coefficients = new BareTable({"Dye 1", "Dye 2", "Dye 3", "Dye 4"});
        for (qint16 r = 0; r < 4; ++r)
            for (qint16 c = 0; c < 4; ++c)
                coefficients->cells.push_back(
                    QString::number(double(s->DyeMobilityCalibration()->Coefficient(c, r)), 'f', 6));
        mobility->addWidget(tableOf(coefficients, advanced), 1, 0, 1, 2);
        auto *referenceList = new QComboBox(advanced);
        referenceList->addItem(stored::kNone, 0);
        for (const auto &reference : references->objects<SizeCalibration>())
            referenceList->addItem(trimTrailing(reference->Name()), reference->EnumTypeID());
        mobility->addWidget(new QLabel(QStringLiteral("Standard mobility reference:")), 2, 0);
        mobility->addWidget(referenceList, 2, 1);
        advancedGrid->setRowStretch(2, 1);
        tabs->addTab(advanced, QStringLiteral("Ad&vanced"));

        page.resize(760, 660);
        page.show();
        QCoreApplication::processEvents();
        opening.painted();
    }
}

// ---- the cases -----------------------------------------------------------------------------------

void BM_OpenSTR100(benchmark::State &state)
{
    use(storeFile("str.sqlite"));
    openEditor(state, kStrSet);
}

void BM_OpenSTR100_Floor(benchmark::State &state)
{
    use(storeFile("str.sqlite"));
    openFloor(state, kStrSet);
}

void BM_OpenSNP(benchmark::State &state)
{
    use(snpStoreFile(int(state.range(0))));
    openEditor(state, kSnpSet);
}

void BM_OpenSNP_Floor(benchmark::State &state)
{
    use(snpStoreFile(int(state.range(0))));
    openFloor(state, kSnpSet);
}

void BM_OpenSNPMemory(benchmark::State &state)
{
    use(snpStoreFile(int(state.range(0))));
    openEditor(state, kSnpSet, Measure::Memory);
}

void BM_OpenSNPMemory_Floor(benchmark::State &state)
{
    use(snpStoreFile(int(state.range(0))));
    openFloor(state, kSnpSet, Measure::Memory);
}

VELTRANE_BENCHMARK_PAIR(BM_OpenSTR100, ->Unit(benchmark::kMillisecond));
VELTRANE_BENCHMARK_PAIR(BM_OpenSNP, ->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond));
// The peak is the same every time: two openings each tell it.
VELTRANE_BENCHMARK_PAIR(BM_OpenSNPMemory, ->Arg(1)->Arg(10)->Iterations(2)->Unit(benchmark::kMillisecond));

} // namespace

int main(int argc, char **argv)
{
    return veltrane::bench::widgetBenchmarkMain(
        argc, argv, veltrane::bench::RatioReporter::Clock::Cpu,
        [] {
            makeStrStore();
            makeSnpStore(1);
            makeSnpStore(10);
        },
        [] {
            installHostFactories({});
            resetThreadHelpers();
            g_store.reset();
        });
}
