#include "lab_data/lab_exchange.h"

#include <QFile>
#include <QJsonDocument>
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

// An exchange file of count sets shaped like a lab's, with the definitions and tags they name.
QByteArray manySets(int count)
{
    return veltrane::testing::labExchange(count, 2000, QStringLiteral("Lab")).toJson();
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
