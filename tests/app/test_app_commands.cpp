#include "app_process.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using Result = veltrane::test::AppResult;
using veltrane::test::mistake;
using veltrane::test::mistakeColumns;

// The application's commands, run as a user or a script runs them: a separate process on a
// temporary store, judged by its output and exit status.
class TestAppCommands : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void listShowThenExportAndImportIntoAnEmptyStoreKeepEverything();
    void screenshotWritesAPicture();
    void screenshotPaletteAndScale_data();
    void screenshotPaletteAndScale();
    void typelibPrintsEveryClassWithoutAStore();
    void helpNamesTheProgramAndVersion();
    void mistakesAreClearErrors_data();
    void mistakesAreClearErrors();

private:
    Result run(const QStringList &arguments) { return veltrane::test::runApp(arguments, m_dir.path()); }
    QString store(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

void TestAppCommands::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestAppCommands::listShowThenExportAndImportIntoAnEmptyStoreKeepEverything()
{
    const QString file = m_dir.filePath(QStringLiteral("sets.json"));
    const Result names = run({"--db", store("source.sqlite"), "list"});
    QCOMPARE(names.exitCode, 0);
    const QStringList sets = names.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(sets.contains(QStringLiteral("DefaultFragmentAnalysisParameters")) && sets.size() >= 2);
    // Hidden sets are not listed, but exported with everything else.
    const Result all = run({"--db", store("source.sqlite"), "export"});
    QCOMPARE(all.exitCode, 0);
    QVERIFY(QJsonDocument::fromJson(all.out.toUtf8()).object().value(QStringLiteral("sets")).toArray().size() >
            sets.size());
    // A set is shown by its name in any case.
    const Result shown = run({"--db", store("source.sqlite"), "show", "defaultfragmentanalysisparameters"});
    QCOMPARE(shown.exitCode, 0);
    QVERIFY2(shown.out.startsWith(QLatin1String("Name: DefaultFragmentAnalysisParameters\nProject: ")) &&
                 shown.out.contains(QLatin1String("\nModel: Local Southern\n")) &&
                 shown.out.contains(QLatin1String("\nSize Standard: ")) &&
                 shown.out.contains(QLatin1String("\nLocus Tags:\n  ")),
             qPrintable(shown.out));

    const Result exported = run(QStringList{"--db", store("source.sqlite"), "export", "-o", file} + sets);
    QCOMPARE(exported.exitCode, 0);

    const Result imported = run({"--db", store("target.sqlite"), "--no-seed", "import", file});
    QVERIFY2(imported.exitCode == 0, qPrintable(imported.err));
    QCOMPARE(imported.out.count(QStringLiteral("imported: ")), sets.size());

    const Result listed = run({"--db", store("target.sqlite"), "list"});
    QCOMPARE(listed.out, names.out);
    for (const QString &name : sets) {
        const Result before = run({"--db", store("source.sqlite"), "show", name});
        const Result after = run({"--db", store("target.sqlite"), "show", name});
        QCOMPARE(after.exitCode, 0);
        QCOMPARE(after.out, before.out); // dates included
    }

    // The imported sets are usable by the pages too.
    const Result shot = run({"--db", store("target.sqlite"), "screenshot", "SelectAnalysisParameters",
                             m_dir.filePath(QStringLiteral("target.png"))});
    QVERIFY2(shot.exitCode == 0, qPrintable(shot.err));

    // Importing the same file again is refused and changes nothing.
    const Result again = run({"--db", store("target.sqlite"), "import", file});
    QCOMPARE(again.exitCode, 1);
    QVERIFY(!again.err.isEmpty());
    QCOMPARE(run({"--db", store("target.sqlite"), "list"}).out, names.out);
}

void TestAppCommands::screenshotWritesAPicture()
{
    // The save-as flow is shown as the editor's Save As starts it; the application's own windows over
    // the store.
    const QString casework = QStringLiteral("STR Casework 20-Fragment Ladder");
    QVERIFY(run({"--db", store("shot.sqlite"), "lock", casework}).exitCode == 0);
    for (const QStringList &shot :
         {QStringList{"SelectAnalysisParameters"}, QStringList{"SaveAnalyisParameterAs"}, QStringList{"Manager"},
          QStringList{"History", "--set", casework}, QStringList{"Compare", "--set", casework},
          QStringList{"Compare", "--set", casework, "--set", "SNP Identity Panel"}}) {
        const QString png = m_dir.filePath(shot.join(u'-') + QStringLiteral(".png"));
        const Result r = run(QStringList{"--db", store("shot.sqlite"), "screenshot", shot.first(), png} + shot.mid(1));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QImage image(png);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() > 250 && image.height() > 150);
    }
}

void TestAppCommands::screenshotPaletteAndScale_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<double>("scale");
    QTest::addColumn<bool>("dark");

    QTest::newRow("dark palette") << QStringList{"--palette", "dark"} << 1.0 << true;
    QTest::newRow("light palette") << QStringList{"--palette", "light"} << 1.0 << false;
    QTest::newRow("smallest scale") << QStringList{"--scale", "0.5"} << 0.5 << false;
    QTest::newRow("largest scale") << QStringList{"--scale", "4"} << 4.0 << false;
}

void TestAppCommands::screenshotPaletteAndScale()
{
    QFETCH(QStringList, options);
    QFETCH(double, scale);
    QFETCH(bool, dark);

    const QString plain = m_dir.filePath(QStringLiteral("plain.png"));
    const QString shot = m_dir.filePath(QStringLiteral("options.png"));
    const QStringList flow{"--db", store("palette.sqlite"), "screenshot", "SaveAnalyisParameterAs"};
    QCOMPARE(run(flow + QStringList{plain}).exitCode, 0);
    const Result r = run(flow + QStringList{shot} + options);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    const QImage base(plain);
    const QImage image(shot);
    QCOMPARE(image.width(), qRound(base.width() * scale));
    // The window's background, just inside its corner.
    QCOMPARE(image.pixelColor(3, 3).lightnessF() < 0.5, dark);
}

void TestAppCommands::typelibPrintsEveryClassWithoutAStore()
{
    const Result r = run({"--db", store("typelib.sqlite"), "typelib"});
    QCOMPARE(r.exitCode, 0);
    for (const char *progId : {"Veltrane.Service", "Veltrane.AnalysisParamPage", "Veltrane.SaveAsParamPage",
                               "Veltrane.SelectParamPage", "Veltrane.SNPLocusTagSelector"})
        QVERIFY2(r.out.contains(QLatin1String(progId)), progId);
    QVERIFY(r.out.contains(QLatin1String("0x60030014  method       FormatNotation(Index: 16-bit integer, by reference; "
                                         "sString: text, by reference): text\n")));
    QVERIFY(!QFile::exists(store("typelib.sqlite"))); // printing the surface opens no store
}

void TestAppCommands::helpNamesTheProgramAndVersion()
{
    const Result help = run({"--help"});
    QCOMPARE(help.exitCode, 0);
    QVERIFY2(help.out.startsWith(QLatin1String("Usage: veltrane [options]")), qPrintable(help.out.left(80)));
    // The manual page is made from the help: it must not carry the builder's home folder.
    QVERIFY(help.out.contains(QLatin1String("(default: ~/data/veltrane/veltrane.sqlite)")));
    const Result version = run({"--version"});
    QCOMPARE(version.out, QStringLiteral("veltrane %1\n").arg(QLatin1String(VELTRANE_VERSION)));
}

void TestAppCommands::mistakesAreClearErrors_data()
{
    mistakeColumns();
    mistake("unknown command", {"frobnicate"}, 2, "unknown command");
    mistake("show without a name", {"show"}, 2, "show takes one");
    mistake("unknown option", {"--colour", "list"}, 2, "colour");
    mistake("set not stored", {"show", "No Such Set"}, 1, "No Such Set");
    mistake("import file missing", {"import", "/nonexistent/sets.json"}, 1, "sets.json");
    mistake("export unknown set", {"export", "No Such Set"}, 1, "No Such Set");
    mistake("typelib with an argument", {"typelib", "Service"}, 2, "typelib takes no");
    mistake("screenshot not png", {"screenshot", "SelectAnalysisParameters", "x.jpg"}, 1, ".png");
    mistake("screenshot unknown flow", {"screenshot", "NoFlow", "x.png"}, 1, "NoFlow");
    mistake("option of another command", {"list", "--replace"}, 2, "--replace applies to import");
    mistake("output of a list", {"list", "-o", "x.json"}, 2, "--output applies to export");
    mistake("attributes of an export", {"export", "--keep-attributes"}, 2, "--keep-attributes applies to import");
    const QStringList shot{"screenshot", "SelectAnalysisParameters", "x.png", "--scale"};
    mistake("scale past the largest", shot + QStringList{"4.01"}, 2, "from 0.5 to 4");
    mistake("scale below the smallest", shot + QStringList{"0.49"}, 2, "from 0.5 to 4");
    mistake("scale of a list", {"list", "--scale", "2"}, 2, "--scale applies to screenshot");
    mistake("unknown palette", {"list", "--palette", "purple"}, 2, "desktop, light, dark");
    mistake("history shot without a set", {"screenshot", "History", "x.png"}, 1, "--set NAME");
    mistake("compare shot of a set never changed", {"screenshot", "Compare", "x.png", "--set", "SNP Identity Panel"}, 1,
            "one revision only");
    mistake("compare shot of three sets", {"screenshot", "Compare", "x.png", "--set", "a", "--set", "b", "--set", "c"},
            2, "at most twice");
    mistake("history shot of two sets", {"screenshot", "History", "x.png", "--set", "a", "--set", "b"}, 2,
            "at most once");
    mistake("tab of a window", {"screenshot", "Manager", "x.png", "--tab", "2"}, 2,
            "--tab applies to screenshots of flows only");
    mistake("select with an argument", {"select", "x"}, 2, "select takes no arguments");
    mistake("two files to open", {"a.json", "b.json"}, 2, "one file at a time");
    mistake("roles of a SQLite store", {"admin", "setup"}, 1, "needs a store on a PostgreSQL");
    mistake("admin without a command", {"admin"}, 2, "admin takes setup");
    mistake("grant without a role", {"admin", "grant", "anna"}, 2, "a login name and a role");
}

void TestAppCommands::mistakesAreClearErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    const Result r = run(QStringList{"--db", store("mistakes.sqlite")} + arguments);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(says), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
}

QTEST_GUILESS_MAIN(TestAppCommands)
#include "test_app_commands.moc"
