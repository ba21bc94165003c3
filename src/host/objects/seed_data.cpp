#include "host/objects/seed_data.h"

#include "veltrane/contracts/vocabulary.h"

#include <QDateTime>
#include <QTimeZone>

namespace veltrane::host {

namespace {

qint64 utc(int year, int month, int day, int hour, int minute)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute), QTimeZone::utc()).toSecsSinceEpoch();
}

// ---- definitions ----------------------------------------------------------------------------------

struct Ladder
{
    const char *name;
    qint32 attributes;
    qint16 dye;
    float fit;
    std::initializer_list<float> sizes;
};

const Ladder kLadders[] = {
    {"Ladder 35-500 (16 fragments)",
     0,
     3,
     0.9996f,
     {35, 50, 75, 100, 139, 150, 160, 200, 250, 300, 340, 350, 400, 450, 490, 500}},
    {"Ladder 50-500 (20 fragments)", 0, 3, 0.9993f, {50,  60,  70,  80,  90,  100, 120, 140, 160, 180,
                                                     200, 225, 250, 275, 300, 325, 350, 400, 450, 500}},
    {"Ladder 60-400 (18 fragments)",
     0,
     2,
     0.9991f,
     {60, 70, 80, 90, 100, 120, 140, 160, 180, 200, 220, 240, 260, 280, 300, 320, 360, 400}},
    // Two fragments bracket the short products of single-base extension, which is all SNP work needs.
    {"SNP Pair 60/120 (2 fragments)", 0, 3, 1.0f, {60, 120}},
    // Kept for old data only, so it is hidden from the editor's list.
    {"Ladder 35-400 (retired)",
     limits::kHiddenBit,
     3,
     0.9989f,
     {35, 50, 75, 100, 125, 150, 175, 200, 225, 250, 275, 300, 325, 350, 375, 400}},
};

struct Calibration
{
    const char *name;
    float c[4][4];
};

// Per dye (row): offset, linear, quadratic and cubic terms of the mobility shift against the
// reference dye; the reference dye (row 0) shifts by nothing.
const Calibration kCalibrations[] = {
    {"Dye Set A Mobility",
     {{1.0f, 0.0f, 0.0f, 0.0f},
      {0.998210f, 0.012450f, -0.000031f, 0.0000001f},
      {0.995870f, 0.021300f, -0.000058f, 0.0000002f},
      {1.002340f, -0.008760f, 0.000022f, -0.0000001f}}},
    {"Dye Set B Mobility",
     {{1.0f, 0.0f, 0.0f, 0.0f},
      {0.997450f, 0.015120f, -0.000042f, 0.0000001f},
      {0.994300f, 0.026480f, -0.000071f, 0.0000003f},
      {1.003110f, -0.011240f, 0.000035f, -0.0000001f}}},
    {"Long Polymer Mobility",
     {{1.0f, 0.0f, 0.0f, 0.0f},
      {0.999020f, 0.008310f, -0.000019f, 0.0f},
      {0.997760f, 0.014090f, -0.000036f, 0.0000001f},
      {1.001180f, -0.005520f, 0.000013f, 0.0f}}},
};

struct Reference
{
    const char *name;
    qint32 enumTypeId;
};

const Reference kReferences[] = {
    {"Dye Set A Reference", 1},
    {"Dye Set B Reference", 2},
    {"Long Polymer Reference", 3},
};

const QString kProjects[] = {stored::kDefaultProject, QStringLiteral("Casework"), QStringLiteral("Population Study"),
                             QStringLiteral("Plant Genotyping"), QStringLiteral("Validation")};

struct StrTag
{
    const char *name;
    qint16 dye;
    float minSize;
    float maxSize;
};

const StrTag kStrTags[] = {
    {"Amelogenin", 0, 98, 116}, {"D3S1358", 0, 110, 165}, {"vWA", 0, 165, 225},     {"D16S539", 0, 230, 290},
    {"CSF1PO", 0, 295, 345},    {"TPOX", 0, 350, 400},    {"D1S1656", 0, 405, 465}, {"D2S441", 1, 80, 115},
    {"D8S1179", 1, 120, 175},   {"D21S11", 1, 180, 245},  {"D18S51", 1, 265, 350},  {"Penta E", 1, 370, 470},
    {"D10S1248", 1, 470, 520},  {"D19S433", 2, 100, 150}, {"TH01", 2, 150, 200},    {"FGA", 2, 210, 300},
    {"D22S1045", 2, 310, 350},  {"D12S391", 2, 355, 420}, {"SE33", 2, 425, 500},    {"D5S818", 3, 110, 160},
    {"D13S317", 3, 165, 215},   {"D7S820", 3, 215, 270},  {"D2S1338", 3, 285, 350}, {"Penta D", 3, 370, 450},
    {"D6S1043", 3, 455, 520},   {"DYS391", 3, 80, 110},   {"DYS19", 0, 175, 215},   {"DYS389I", 1, 140, 170},
    {"DYS389II", 1, 250, 300},  {"DYS390", 2, 190, 240},  {"DYS392", 3, 290, 330},  {"DYS393", 2, 100, 140},
};

struct SnpTag
{
    const char *name;
    const char *chromosome;
};

const SnpTag kSnpTags[] = {
    {"rs1490413", "1"},  {"rs7520386", "1"},  {"rs4847034", "1"},  {"rs560681", "1"},  {"rs891700", "1"},
    {"rs1413212", "1"},  {"rs876724", "2"},   {"rs1109037", "2"},  {"rs993934", "2"},  {"rs12997453", "2"},
    {"rs907100", "2"},   {"rs10495407", "2"}, {"rs1357617", "3"},  {"rs4364205", "3"}, {"rs2399332", "3"},
    {"rs1355366", "3"},  {"rs6444724", "3"},  {"rs2046361", "4"},  {"rs6811238", "4"}, {"rs1979255", "4"},
    {"rs717302", "5"},   {"rs159606", "5"},   {"rs7704770", "5"},  {"rs251934", "5"},  {"rs338882", "5"},
    {"rs13218440", "6"}, {"rs214955", "6"},   {"rs727811", "6"},   {"rs6955448", "7"}, {"rs917118", "7"},
    {"rs321198", "7"},   {"rs737681", "7"},   {"rs10092491", "8"}, {"rs4288409", "8"}, {"rs2056277", "8"},
    {"rs1015250", "9"},  {"rs7041158", "9"},  {"rs1463729", "9"},  {"rs1360288", "9"}, {"rs826472", "10"},
    {"rs735155", "10"},  {"rs3780962", "10"}, {"rs740598", "10"},  {"rs964681", "10"},
};

struct Column
{
    const char *title;
    qint32 width;
    qint32 alignment;
};

struct Layout
{
    qint32 id;
    const char *name;
    std::initializer_list<Column> columns;
};

const Layout kLayouts[] = {
    {layouts::kMobility,
     "Dye Mobility Coefficients",
     {{"Dye 1", 1110, GridType::kRight},
      {"Dye 2", 1110, GridType::kRight},
      {"Dye 3", 1110, GridType::kRight},
      {"Dye 4", 1110, GridType::kRight}}},
    {layouts::kSizeStandard,
     "Size Standard Peaks",
     {{"Use", 600, GridType::kCentre}, {"Peak", 720, GridType::kRight}, {"Size", 1200, GridType::kRight}}},
    {layouts::kLocusTagSummary,
     "Locus Tag Summary",
     {{"Locus Tag", 2400, GridType::kLeft}, {"Date Modified", 2280, GridType::kLeft}}},
    {layouts::kSNPLocusTags,
     "SNP Locus Tags",
     {{"Name", 1200, GridType::kLeft},
      {"Number", 720, GridType::kRight},
      {"Text 1", 900, GridType::kLeft},
      {"Text 2", 900, GridType::kLeft},
      {"Text 3", 900, GridType::kLeft},
      {"Text 4", 900, GridType::kLeft}}},
};

// ---- parameter sets -----------------------------------------------------------------------------

struct SetSeed
{
    QString name;
    QString project;
    qint32 attributes;
    qint64 created;
    qint64 modified;
    const char *ladder; // nullptr: no size standard
    qint32 model;
    qint32 migration;
    QList<qint16> skippedPeaks; // every fragment but these is selected
    float slope;
    float relativeHeight;
    float confidence;
    bool identifyAlleles;
    bool snp;
    const char *calibration;
    const char *reference; // nullptr: none
    QList<int> strTags;    // indexes into kStrTags
    QList<int> snpTags;    // indexes into kSnpTags
};

QList<int> range(int from, int to)
{
    QList<int> out;
    for (int i = from; i < to; ++i)
        out << i;
    return out;
}

void quantitation(FragAnalysisParam &set)
{
    // Four quantitation windows over the useful sizing range, each with its own reference amount.
    const float sizeTime[] = {100, 200, 300, 400};
    const float window[] = {5, 5, 10, 10};
    const float amount[] = {1.0e-9f, 2.5e-9f, 5.0e-10f, 1.5e-6f};
    const qint32 unit[] = {0, 0, 1, 2};
    for (int i = 0; i < FragAnalysisParam::kRows; ++i) {
        set.setQuantSizeTime(i, sizeTime[i]);
        set.setQuantWindow(i, window[i]);
        set.setQuantAmount(i, amount[i]);
        set.setQuantUnit(i, unit[i]);
        set.setDyeSpectra(i, true);
    }
    set.setIDStandardBySize(1);
    set.setQuantityByHeight(1);
}

void writeSeedSet(const io::Context &ctx, const SetSeed &seed)
{
    FragAnalysisParam set;
    set.setName(seed.name);
    set.setProjectID(QString::number(io::idByName(ctx, io::Kind::Project, seed.project)));
    set.setProjectName(seed.project);
    set.setTypeCode(limits::kFragAnalysisTypeCode);
    set.setSlopeThreshold(seed.slope);
    set.setSNPAnalysis(seed.snp);
    set.setIdentifyAlleles(0, seed.identifyAlleles);
    set.setRelativePeakHeightThreshold(0, seed.relativeHeight);
    set.setConfidenceLevel(0, seed.confidence);
    quantitation(set);

    if (seed.ladder) {
        auto standard = SizeStandardSettingsPtr::create();
        standard->setName(QString::fromUtf8(seed.ladder));
        qsizetype fragments = 0;
        for (const Ladder &l : kLadders)
            if (qstrcmp(l.name, seed.ladder) == 0)
                fragments = qsizetype(l.sizes.size());
        QList<qint16> peaks;
        for (qint16 p = 0; p < fragments; ++p)
            if (!seed.skippedPeaks.contains(p))
                peaks << p;
        auto entry = SizeCalibrationPtr::create();
        entry->setKind(SizeCalibration::kSizeCalling);
        entry->setModelIndex(seed.model);
        entry->setMigrationVariable(seed.migration);
        entry->setSelectedPeaks(peaks);
        entry->setSizeStandard(standard);
        set.setSizeStandard(standard);
        set.setSizeCalibration(0, entry);
    }
    auto calibration = MobilityCalibrationSettingsPtr::create();
    calibration->setName(QString::fromUtf8(seed.calibration));
    set.setDyeMobilityCalibration(calibration);
    if (seed.reference) {
        auto reference = SizeCalibrationPtr::create();
        reference->setKind(SizeCalibration::kMobilityReference);
        reference->setName(QString::fromUtf8(seed.reference));
        set.setStandardMobilityReference(reference);
    }
    for (int i : seed.strTags) {
        auto tag = STRLocusTagPtr::create();
        tag->setName(QString::fromUtf8(kStrTags[i].name));
        set.STRLocusTagsOf(0)->Add(tag);
    }
    for (int i : seed.snpTags) {
        auto tag = SNPLocusTagSettingsPtr::create();
        tag->setName(QString::fromUtf8(kSnpTags[i].name));
        set.SNPLocusTagsOf(0)->Add(tag);
    }
    io::writeSet(ctx, set, std::nullopt, io::SetStamp{seed.attributes, seed.created, seed.modified},
                 io::Change{RevisionAction::Created, {}, 0});
}

} // namespace

void writeGridLayouts(const io::Context &ctx)
{
    for (const Layout &l : kLayouts) {
        GridType layout;
        layout.setGridTypeID(l.id);
        layout.setName(QString::fromUtf8(l.name));
        QList<GridType::Column> columns;
        for (const Column &c : l.columns)
            columns.append(GridType::Column{QString::fromUtf8(c.title), c.width, c.alignment});
        layout.setColumns(columns);
        io::insertGridType(ctx, layout);
    }
}

void seedStore(const io::Context &ctx)
{
    const qint64 seeded = utc(2024, 1, 15, 9, 30);

    for (const QString &project : kProjects)
        io::insertProject(ctx, project);

    for (const Ladder &l : kLadders) {
        SizeStandardSettings standard;
        standard.setName(QString::fromUtf8(l.name));
        standard.setAttributes(l.attributes);
        standard.setDyeIndex(l.dye);
        standard.setFitCoefficient(l.fit);
        standard.setFragmentSizes(QList<float>(l.sizes));
        io::insertSizeStandard(ctx, standard);
    }

    for (const Calibration &c : kCalibrations) {
        MobilityCalibrationSettings calibration;
        calibration.setName(QString::fromUtf8(c.name));
        for (qint16 r = 0; r < 4; ++r)
            for (qint16 col = 0; col < 4; ++col)
                calibration.setCoefficient(r, col, c.c[r][col]);
        io::insertMobilityCalibration(ctx, calibration);
    }

    for (const Reference &r : kReferences) {
        SizeCalibration reference;
        reference.setKind(SizeCalibration::kMobilityReference);
        reference.setName(QString::fromUtf8(r.name));
        reference.setEnumTypeID(r.enumTypeId);
        io::insertMobilityReference(ctx, reference);
    }

    for (const StrTag &t : kStrTags) {
        STRLocusTag tag;
        tag.setName(QString::fromUtf8(t.name));
        tag.setDye(t.dye);
        tag.setMinSize(t.minSize);
        tag.setMaxSize(t.maxSize);
        tag.setDateModified(seeded);
        io::insertStrLocusTag(ctx, tag);
    }

    int n = 0;
    for (const SnpTag &t : kSnpTags) {
        SNPLocusTagSettings tag;
        tag.setName(QString::fromUtf8(t.name));
        // The tag number is the expected product size: short, evenly spaced extension products.
        tag.setTagNumber(40.0f + 2.5f * float(n++));
        tag.setTagText1(QStringLiteral("Chr %1").arg(QString::fromUtf8(t.chromosome)));
        tag.setTagText2(QStringLiteral("Bi-allelic"));
        tag.setTagText3(QStringLiteral("Identity"));
        tag.setTagText4(QString());
        tag.setDateModified(seeded);
        io::insertSnpLocusTag(ctx, tag);
    }

    const QList<int> defaultStr{0, 1, 2, 3, 4, 5, 8, 9, 10, 13, 14, 15, 19, 20, 21};
    const SetSeed sets[] = {
        {stored::kDefaultParameterSet,
         stored::kDefaultProject,
         1, // read-only
         seeded,
         seeded,
         "Ladder 35-500 (16 fragments)",
         2,
         1,
         {8, 10},
         10,
         10,
         95,
         true,
         false,
         "Dye Set A Mobility",
         "Dye Set A Reference",
         defaultStr,
         {0, 6, 12, 17}},
        {QStringLiteral("SNP Identity Panel"),
         QStringLiteral("Population Study"),
         0,
         seeded,
         utc(2024, 3, 4, 14, 5),
         "SNP Pair 60/120 (2 fragments)",
         0,
         0,
         {},
         8,
         15,
         95,
         false,
         true,
         "Dye Set B Mobility",
         "Dye Set B Reference",
         {},
         range(0, 24)},
        {QStringLiteral("STR Casework 20-Fragment Ladder"),
         QStringLiteral("Casework"),
         0,
         seeded,
         utc(2024, 2, 20, 11, 45),
         "Ladder 50-500 (20 fragments)",
         3,
         0,
         {},
         12,
         8,
         99,
         true,
         false,
         "Dye Set A Mobility",
         "Dye Set A Reference",
         range(0, 26),
         {}},
        {QStringLiteral("Quick Sizing (no size standard)"),
         QStringLiteral("Validation"),
         0,
         seeded,
         utc(2024, 4, 2, 8, 15),
         nullptr,
         0,
         0,
         {},
         20,
         25,
         90,
         false,
         false,
         "Long Polymer Mobility",
         nullptr,
         {},
         {}},
        {QStringLiteral("Archived Settings 2019"),
         stored::kDefaultProject,
         limits::kHiddenBit,
         utc(2019, 6, 3, 10, 0),
         utc(2019, 11, 28, 16, 20),
         "Ladder 60-400 (18 fragments)",
         1,
         0,
         {0},
         10,
         10,
         95,
         true,
         false,
         "Long Polymer Mobility",
         "Long Polymer Reference",
         range(0, 12),
         {}},
    };
    for (const SetSeed &s : sets)
        writeSeedSet(ctx, s);
}

} // namespace veltrane::host
