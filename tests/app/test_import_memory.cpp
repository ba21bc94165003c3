#include "lab_data/lab_exchange.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
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

// An exchange file of count sets shaped like a lab's, with the definitions and tags they name, laid
// out as given.
// Enough sets that the file, not the program, would decide what an import held were the file read whole.
constexpr int kSets = 20000;

QByteArray manySets(int count, QJsonDocument::JsonFormat layout)
{
    return veltrane::testing::labExchange(count, 2000, QStringLiteral("Lab")).toJson(layout);
}

} // namespace

// How much memory an import holds against the size of the file, with the file laid out compactly (the
// most values for its size) and indented: a file is read a piece at a time, so the import holds little
// more than the program does anyway.
class TestImportMemory : public QObject
{
    Q_OBJECT
private slots:
    void importHoldsLittleBeyondTheProgram_data();
    void importHoldsLittleBeyondTheProgram();
};

void TestImportMemory::importHoldsLittleBeyondTheProgram_data()
{
    QTest::addColumn<QJsonDocument::JsonFormat>("layout");
    QTest::newRow("compact") << QJsonDocument::Compact;
    QTest::newRow("indented") << QJsonDocument::Indented;
}

void TestImportMemory::importHoldsLittleBeyondTheProgram()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("under AddressSanitizer the memory held is mostly the sanitizer's");
#endif
    QFETCH(QJsonDocument::JsonFormat, layout);
    QTemporaryDir dir;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
    const QString file = dir.filePath(QStringLiteral("sets.json"));
    // Linux keeps a process's peak across the start of a program, so a program started from a process
    // that made a large file in memory would be charged for it: another run of this one writes it.
    QCOMPARE(QProcess::execute(QCoreApplication::applicationFilePath(),
                               {QStringLiteral("--write-sets"), file, QString::number(int(layout))}),
             0);
    const qint64 size = QFile(file).size();
    const auto [listed, baseline] = peakOf({"--db", dir.filePath(QStringLiteral("empty.sqlite")), "--no-seed", "list"});
    QCOMPARE(listed, 0);
    const auto [imported, peak] =
        peakOf({"--db", dir.filePath(QStringLiteral("store.sqlite")), "--no-seed", "import", file});
    QCOMPARE(imported, 0);
    qInfo("exchange file: %lld kB; peak: %ld kB for the program alone, %ld kB importing (%.2f times the file)",
          size / 1024, baseline, peak, double(peak) * 1024 / double(size));
    // Well under five times the file all told, and what the import adds under the file's own size.
    QVERIFY2(peak * 1024 < 3 * size,
             qPrintable(QStringLiteral("%1 kB for a file of %2 kB").arg(peak).arg(size / 1024)));
    QVERIFY2((peak - baseline) * 1024 < size,
             qPrintable(QStringLiteral("%1 kB beyond the program's %2 kB for a file of %3 kB")
                            .arg(peak - baseline)
                            .arg(baseline)
                            .arg(size / 1024)));
}

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() == 4 && arguments.at(1) == QLatin1String("--write-sets")) {
        QFile out(arguments.at(2));
        const auto layout = QJsonDocument::JsonFormat(arguments.at(3).toInt());
        return out.open(QIODevice::WriteOnly) && out.write(manySets(kSets, layout)) > 0 ? 0 : 1;
    }
    TestImportMemory test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_import_memory.moc"
