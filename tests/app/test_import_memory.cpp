#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

// Runs the application and answers its exit status and the most memory it held (kB), or -1.
std::pair<int, long> peakOf(const QStringList &arguments)
{
    QList<QByteArray> args{QByteArrayLiteral(VELTRANE_APP_PATH)};
    for (const QString &a : arguments)
        args << a.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return {-1, -1};
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid)
        return {-1, -1};
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -2, usage.ru_maxrss};
}

// An exchange file of count sets shaped like a lab's (a size standard with selected peaks, fifteen STR
// and four SNP tags each), with the definitions and tags they name.
QByteArray manySets(int count)
{
    QJsonArray strTags, snpTags, sets, fragments;
    for (int i = 0; i < 16; ++i)
        fragments.append(35 + 30 * i);
    for (int i = 0; i < 30; ++i)
        strTags.append(QJsonObject{{"name", QStringLiteral("STR-%1").arg(i)},
                                   {"dye", i % 4},
                                   {"minSize", 100 + i},
                                   {"maxSize", 150 + i},
                                   {"dateModified", "2024-01-15T09:30:00Z"}});
    for (int i = 0; i < 2000; ++i)
        snpTags.append(QJsonObject{{"name", QStringLiteral("rs%1").arg(1000000 + i)},
                                   {"tagNumber", 40 + i % 400},
                                   {"texts", QJsonArray{"Chr 1", "A/G", "Identity", ""}},
                                   {"dateModified", "2024-01-15T09:30:00Z"}});
    QJsonArray peaks;
    for (int p = 0; p < 14; ++p)
        peaks.append(p);
    QJsonArray rows;
    for (int r = 0; r < 4; ++r)
        rows.append(QJsonObject{{"sizeTime", 100 * (r + 1)}, {"window", 5}, {"amount", 1e-9}, {"unit", 0}});
    for (int s = 0; s < count; ++s) {
        QJsonArray str, snp;
        for (int t = 0; t < 15; ++t)
            str.append(QStringLiteral("STR-%1").arg((s + t) % 30));
        for (int t = 0; t < 4; ++t)
            snp.append(QStringLiteral("rs%1").arg(1000000 + (s * 4 + t) % 2000));
        const QJsonObject entry{{"identifyAlleles", true},
                                {"relativePeakHeightThreshold", 10},
                                {"confidenceLevel", 95},
                                {"calibration", QJsonObject{{"name", ""},
                                                            {"kind", 1},
                                                            {"modelIndex", 2},
                                                            {"migrationVariable", 1},
                                                            {"enumTypeId", 0},
                                                            {"selectedPeaks", peaks},
                                                            {"sizeStandard", "Ladder"}}},
                                {"strLocusTags", str},
                                {"snpLocusTags", snp}};
        sets.append(QJsonObject{{"name", QStringLiteral("Set %1").arg(s)},
                                {"project", "Lab"},
                                {"projectId", ""},
                                {"projectName", "Lab"},
                                {"typeCode", 1011},
                                {"attributes", 0},
                                {"dateCreated", "2024-01-15T09:30:00Z"},
                                {"dateModified", "2024-02-01T12:00:00Z"},
                                {"slopeThreshold", 10},
                                {"snpAnalysis", false},
                                {"sizeStandard", "Ladder"},
                                {"mobilityCalibration", "Mobility"},
                                {"mobilityReference", "Reference"},
                                {"useCalculatedDyeSpectra", false},
                                {"dyeSpectra", QJsonArray{true, true, true, true}},
                                {"idStandardBySize", 1},
                                {"quantityByHeight", 1},
                                {"quantitation", rows},
                                {"entries", QJsonArray{entry}}});
    }
    QJsonArray coefficients;
    for (int r = 0; r < 4; ++r)
        coefficients.append(QJsonArray{1, 0, 0, 0});
    return QJsonDocument(
               QJsonObject{{"format", "veltrane-parameter-sets"},
                           {"version", 1},
                           {"projects", QJsonArray{QJsonObject{{"name", "Lab"}}}},
                           {"sizeStandards", QJsonArray{QJsonObject{{"name", "Ladder"},
                                                                    {"attributes", 0},
                                                                    {"dyeIndex", 3},
                                                                    {"fitCoefficient", 0.9996},
                                                                    {"fragments", fragments}}}},
                           {"mobilityCalibrations",
                            QJsonArray{QJsonObject{{"name", "Mobility"}, {"coefficients", coefficients}}}},
                           {"mobilityReferences", QJsonArray{QJsonObject{{"name", "Reference"}, {"enumTypeId", 1}}}},
                           {"strLocusTags", strTags},
                           {"snpLocusTags", snpTags},
                           {"sets", sets}})
        .toJson();
}

} // namespace

// How much memory an import holds, beyond what the program holds anyway, against the size of the file.
class TestImportMemory : public QObject
{
    Q_OBJECT
private slots:
    void importHoldsLessThanTenTimesTheFile();
};

void TestImportMemory::importHoldsLessThanTenTimesTheFile()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("under AddressSanitizer the memory held is mostly the sanitizer's");
#endif
    QTemporaryDir dir;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
    const QString file = dir.filePath(QStringLiteral("sets.json"));
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(manySets(6000));
    }
    const qint64 size = QFile(file).size();
    qInfo("exchange file: %lld bytes", size);
    const auto [listed, baseline] = peakOf({"--db", dir.filePath(QStringLiteral("empty.sqlite")), "--no-seed", "list"});
    QCOMPARE(listed, 0);
    const auto [imported, peak] =
        peakOf({"--db", dir.filePath(QStringLiteral("store.sqlite")), "--no-seed", "import", file});
    QCOMPARE(imported, 0);
    qInfo("peak: %ld kB for the program alone, %ld kB importing", baseline, peak);
    QVERIFY2(peak * 1024 < 10 * size,
             qPrintable(QStringLiteral("%1 kB for a file of %2 kB").arg(peak).arg(size / 1024)));
}

QTEST_GUILESS_MAIN(TestImportMemory)
#include "test_import_memory.moc"
