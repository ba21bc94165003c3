#include "app_process.h"
#include "host/objects/store_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using Result = veltrane::test::AppResult;
using veltrane::test::mistake;
using veltrane::test::mistakeColumns;
using veltrane::test::StoreLocation;

namespace {

const QString kCasework = QStringLiteral("STR Casework 20-Fragment Ladder");
const QString kPanel = QStringLiteral("SNP Identity Panel");
const QString kDefault = QStringLiteral("DefaultFragmentAnalysisParameters");

QJsonObject parsed(const Result &r)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(r.out.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        qWarning("not JSON (%s): %s", qPrintable(error.errorString()), qPrintable(r.out.left(200)));
    return document.object();
}

} // namespace

// The history and life-cycle commands as a user or a script runs them: a separate process on a store
// of the engine under test, judged by output, exit status and the JSON written back.
class TestAppHistory : public QObject
{
    Q_OBJECT
public:
    explicit TestAppHistory(QString engine)
        : m_engine(std::move(engine))
    {}

private slots:
    void initTestCase();
    void init() { m_where = std::make_unique<StoreLocation>(m_engine); }
    void cleanup() { m_where.reset(); }
    void aSetsLifeIsKeptAndShown();
    void refusalsChangeNothing_data();
    void refusalsChangeNothing();

private:
    Result run(const QStringList &arguments)
    {
        return veltrane::test::runApp(QStringList{"--db", m_where->location()} + arguments, m_home.path());
    }
    QJsonObject json(const QStringList &arguments)
    {
        const Result r = run(arguments);
        if (r.exitCode != 0)
            qWarning("%s: %s", qPrintable(arguments.join(u' ')), qPrintable(r.err));
        return parsed(r);
    }
    // What the commands can see of the store: every set with its flags, the deleted ones, and the
    // history of each.
    QString everything()
    {
        QStringList exported = run({"export"}).out.split(u'\n');
        exported.removeIf([](const QString &line) { return line.contains(QLatin1String("\"exportedAt\"")); });
        QString text = exported.join(u'\n') + run({"deleted"}).out;
        for (const QString &name : {kCasework, kPanel, kDefault})
            text += run({"history", name}).out;
        return text;
    }

    QString m_engine;
    QTemporaryDir m_home;
    std::unique_ptr<StoreLocation> m_where;
};

void TestAppHistory::initTestCase()
{
    qInfo("store engine: %s", qPrintable(m_engine));
    QVERIFY(m_home.isValid());
}

void TestAppHistory::aSetsLifeIsKeptAndShown()
{
    const QJsonObject first = json({"history", kCasework, "--json"});
    QCOMPARE(first.value("format").toString(), QStringLiteral("veltrane-history"));
    QCOMPARE(first.value("version").toInt(), 1);
    QCOMPARE(first.value("revisions").toArray().size(), 1);
    QCOMPARE(first.value("revisions").toArray().first().toObject().value("action").toString(),
             QStringLiteral("created"));

    // Locked, it cannot be renamed; unlocked, it can.
    Result r = run({"lock", kCasework, "--reason", "validated 2024-05"});
    QVERIFY2(r.exitCode == 0 && r.out.startsWith(QLatin1String("Locked \"") + kCasework), qPrintable(r.err));
    r = run({"rename", kCasework, "STR Casework v2"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QLatin1String("read-only")) && r.out.isEmpty(), qPrintable(r.err));
    QCOMPARE(run({"unlock", kCasework}).exitCode, 0);
    QCOMPARE(run({"rename", kCasework, "STR Casework v2", "--reason", "new kit"}).exitCode, 0);
    const QString v2 = QStringLiteral("STR Casework v2");
    QVERIFY(run({"list"}).out.split(u'\n').contains(v2));
    QCOMPARE(run({"hide", v2}).exitCode, 0);
    QVERIFY(!run({"list"}).out.split(u'\n').contains(v2));
    QCOMPARE(run({"unhide", v2}).exitCode, 0);
    QVERIFY(run({"list"}).out.split(u'\n').contains(v2));

    // A revision shown whole, in the editor's words; and as an exchange document another store imports.
    r = run({"show", v2, "--revision", "1"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.contains(QLatin1String("revision 1 of 6\n")), qPrintable(r.out.left(300)));
    QVERIFY(r.out.contains(QLatin1String("\nParameter Set Name: ") + kCasework + QLatin1Char('\n')));
    QVERIFY(r.out.contains(QLatin1String("\nAnalysis Method / Size standard: Ladder 50-500 (20 fragments)\n")));
    const QJsonObject shown = json({"show", v2, "--revision", "4", "--json"});
    QCOMPARE(shown.value("format").toString(), QStringLiteral("veltrane-set-revision"));
    QCOMPARE(shown.value("revision").toObject().value("reason").toString(), QStringLiteral("new kit"));
    const QString file = m_home.filePath(QStringLiteral("revision-4.json"));
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QJsonDocument(shown.value("snapshot").toObject()).toJson());
    }
    const Result imported = veltrane::test::runApp(
        {"--db", m_home.filePath(QStringLiteral("copy.sqlite")), "--no-seed", "import", file}, m_home.path());
    QVERIFY2(imported.exitCode == 0 && imported.out == QLatin1String("imported: ") + v2 + u'\n',
             qPrintable(imported.err));

    // Compared with what it was, and with another set.
    r = run({"diff", v2, "--revision", "1"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.contains(QLatin1String("Parameter Set Name: ") + kCasework + QStringLiteral(" → ") + v2),
             qPrintable(r.out));
    const QJsonObject diff = json({"diff", v2, kPanel, "--json"});
    QCOMPARE(diff.value("format").toString(), QStringLiteral("veltrane-diff"));
    const QJsonArray rows = diff.value("rows").toArray();
    QCOMPARE(diff.value("differences").toInt(), rows.size());
    QVERIFY(rows.size() > 3);
    for (const QJsonValue &row : rows)
        QVERIFY(row.toObject().value("changed").toBool());

    // Restored, deleted, brought back under another name: one history throughout.
    QCOMPARE(run({"restore", v2, "--revision", "1", "--reason", "back to the validated one"}).exitCode, 0);
    QCOMPARE(run({"delete", v2}).exitCode, 0);
    QVERIFY(run({"deleted"}).out.startsWith(v2 + QLatin1Char('\t')));
    QCOMPARE(run({"history", v2}).exitCode, 0);
    r = run({"undelete", v2, "--as", "Casework again"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    const QJsonObject history = json({"history", "Casework again", "--json"});
    QStringList actions;
    const QJsonArray revisions = history.value("revisions").toArray();
    for (qsizetype i = 0; i < revisions.size(); ++i) {
        const QJsonObject revision = revisions.at(i).toObject();
        QCOMPARE(revision.value("revision").toInt(), int(revisions.size() - i));
        QVERIFY(!revision.value("who").toString().isEmpty());
        QVERIFY(QDateTime::fromString(revision.value("time").toString(), Qt::ISODate).isValid());
        actions << revision.value("action").toString();
    }
    QCOMPARE(actions, QStringList({"undeleted", "deleted", "restored", "shown", "hidden", "renamed", "unlocked",
                                   "locked", "created"}));
    QCOMPARE(revisions.at(2).toObject().value("reason").toString(), QStringLiteral("back to the validated one"));
    QVERIFY(run({"history", "Casework again"}).out.contains(QLatin1String("reason: validated 2024-05\n")));
}

void TestAppHistory::refusalsChangeNothing_data()
{
    mistakeColumns();
    mistake("delete the default set", {"delete", kDefault}, 1, "cannot be deleted");
    mistake("rename the default set", {"rename", kDefault, "Other"}, 1, "cannot be renamed");
    mistake("hide the default set", {"hide", kDefault}, 1, "cannot be hidden");
    mistake("lock a read-only set", {"lock", kDefault}, 1, "read-only already");
    mistake("rename to a taken name", {"rename", kCasework, kPanel.toUpper()}, 1,
            "is taken by the parameter set \"" + kPanel);
    mistake("rename to an escape sequence", {"rename", kCasework, "Case\x1b[2Jwork"}, 1, "\\x1B");
    mistake("undelete a stored set", {"undelete", kPanel}, 1, "is not deleted");
    mistake("restore a revision never made", {"restore", kPanel, "--revision", "2"}, 1, "has no revision 2");
    mistake("history of nothing", {"history", "Nowhere"}, 1, "\"Nowhere\"");
    mistake("restore without a revision", {"restore", kPanel}, 2, "needs --revision");
    mistake("diff of one set", {"diff", kPanel}, 2, "diff takes two");
    mistake("against without revision", {"diff", kPanel, "--against", "1"}, 2, "--against");
    mistake("revision 0", {"show", kPanel, "--revision", "0"}, 2, "from 1 up");
    mistake("rename with one name", {"rename", kPanel}, 2, "rename takes");
    mistake("reason of a list", {"list", "--reason", "x"}, 2, "--reason applies to");
    mistake("json of a lock", {"lock", kPanel, "--json"}, 2, "--json applies to");
    mistake("as of a delete", {"delete", kPanel, "--as", "x"}, 2, "--as applies to");
}

void TestAppHistory::refusalsChangeNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    const QString before = everything();
    const Result r = run(arguments);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(says), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
    QCOMPARE(everything(), before);
}

VELTRANE_STORE_TEST_MAIN(TestAppHistory)
#include "test_app_history.moc"
