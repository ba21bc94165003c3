// The window that opening an exchange file shows: what the file holds against what the store holds,
// and an import that stores everything or nothing.

#include "app/import_window.h"
#include "host/objects/json_exchange.h"
#include "veltrane/page_host.h"

#include <QCheckBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace veltrane;
using namespace veltrane::test;

namespace {

const QString kCasework = QStringLiteral("STR Casework 20-Fragment Ladder");

// An exchange file of the stored sets named, each renamed as `names` says (same order), with the slope
// threshold 99 so that a replaced set shows it; "garbage" writes a file that is no exchange file.
QString exchangeFile(PageHost &host, const QString &folder, const QStringList &sets, const QStringList &names)
{
    const QString path = folder + QStringLiteral("/sets.veltrane.json");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    if (sets == QStringList{QStringLiteral("garbage")}) {
        file.write("{ \"format\": \"something else\" }");
        return path;
    }
    QJsonObject root = host::exportStore(host.store(), sets).object();
    QJsonArray stored = root.value(QStringLiteral("sets")).toArray();
    for (qsizetype i = 0; i < stored.size(); ++i) {
        QJsonObject set = stored.at(i).toObject();
        set.insert(QStringLiteral("name"), names.at(i));
        set.insert(QStringLiteral("slopeThreshold"), 99);
        stored.replace(i, set);
    }
    root.insert(QStringLiteral("sets"), stored);
    file.write(QJsonDocument(root).toJson());
    return path;
}

QStringList entries(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

} // namespace

class TestImportWindow : public QObject
{
    Q_OBJECT
private slots:
    void showsAndImportsWhatTheFileHolds_data();
    void showsAndImportsWhatTheFileHolds();
};

void TestImportWindow::showsAndImportsWhatTheFileHolds_data()
{
    QTest::addColumn<QStringList>("sets");  // exported from the store
    QTest::addColumn<QStringList>("names"); // as the file names them
    QTest::addColumn<bool>("replace");      // the box ticked
    QTest::addColumn<bool>("replaceable");  // the box offered
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<bool>("importable");
    QTest::addColumn<QString>("outcome"); // after Import, or before when it cannot be imported

    QTest::newRow("new sets") << QStringList{kCasework, QStringLiteral("SNP Identity Panel")}
                              << QStringList{QStringLiteral("Lab A"), QStringLiteral("Lab B")} << false << false
                              << QStringList{QStringLiteral("Lab A: new"), QStringLiteral("Lab B: new")} << true
                              << "Imported 2 parameter sets.";
    QTest::newRow("stored, not replacing") << QStringList{kCasework} << QStringList{kCasework} << false << true
                                           << QStringList{kCasework + QStringLiteral(": stored already")} << false
                                           << "One of these sets is stored already: tick Replace";
    QTest::newRow("stored, replacing") << QStringList{kCasework} << QStringList{kCasework} << true << true
                                       << QStringList{kCasework + QStringLiteral(": replaces the stored set")} << true
                                       << "Imported 1 parameter set, 1 of them over stored sets.";
    // Replacing would not help: the box stays off.
    QTest::newRow("read-only") << QStringList{QStringLiteral("DefaultFragmentAnalysisParameters")}
                               << QStringList{QStringLiteral("DefaultFragmentAnalysisParameters")} << false << false
                               << QStringList{QStringLiteral(
                                      "DefaultFragmentAnalysisParameters: stored read-only, never replaced")}
                               << false << "it would replace read-only sets";
    QTest::newRow("no exchange file") << QStringList{QStringLiteral("garbage")} << QStringList{} << false << false
                                      << QStringList{} << false << "This file cannot be imported: ";
}

void TestImportWindow::showsAndImportsWhatTheFileHolds()
{
    QFETCH(QStringList, sets);
    QFETCH(QStringList, names);
    QFETCH(bool, replace);
    QFETCH(bool, replaceable);
    QFETCH(QStringList, shown);
    QFETCH(bool, importable);
    QFETCH(QString, outcome);

    PageHost host;
    QTemporaryDir folder;
    const QString file = exchangeFile(host, folder.path(), sets, names);
    QVERIFY(!file.isEmpty());
    app::ImportWindow window(host.store(), file);
    auto *list = window.findChild<QListWidget *>(QStringLiteral("lstSets"));
    auto *box = window.findChild<QCheckBox *>(QStringLiteral("chkReplace"));
    auto *import = window.findChild<QPushButton *>(QStringLiteral("cmdImport"));
    auto *said = window.findChild<QLabel *>(QStringLiteral("lblOutcome"));
    QVERIFY(list && box && import && said);
    if (replace) {
        QVERIFY(box->isEnabled());
        box->setChecked(true);
    }
    QCOMPARE(entries(list), shown);
    QCOMPARE(import->isEnabled(), importable);
    QCOMPARE(box->isEnabled(), replaceable);
    QCOMPARE(list->accessibleName(), QStringLiteral("Parameter sets in sets.veltrane.json"));
    if (!importable) {
        QVERIFY2(said->text().contains(outcome), qPrintable(said->text()));
        window.importFile(); // does nothing, as the disabled button does
        QVERIFY(!window.imported());
        return;
    }

    QTest::mouseClick(import, Qt::LeftButton);
    QVERIFY(window.imported());
    QCOMPARE(said->text(), outcome);
    QVERIFY(!import->isEnabled());
    for (const QString &name : names)
        QCOMPARE(host.loadSet(name)->FragAnalysisParam()->SlopeThreshold(), 99.0f);
}

QTEST_MAIN(TestImportWindow)
#include "test_import_window.moc"
