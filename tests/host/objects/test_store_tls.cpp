#include "host/objects/sql_store.h"
#include "host/objects/store_io.h"
#include "support/recording_utilities.h"
#include "veltrane/contracts/error.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace veltrane;

// Encrypted connections to a throwaway server on 127.0.0.1 that takes them, with certificates the test
// makes: the URL's sslmode and sslrootcert reach the driver, a server whose certificate names another
// host or comes from an unknown authority is refused with a message that says so, and a connection
// that asks for encryption is encrypted, as the server itself reports.
class TestStoreTls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void connectionsAreCheckedAndEncrypted_data();
    void connectionsAreCheckedAndEncrypted();

private:
    bool openssl(const QStringList &arguments);
    // Puts the named certificate ("right": for 127.0.0.1, "elsewhere": for another host) on the server.
    void serve(const QString &certificate);
    QString file(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QProcess m_server; // the shell that keeps the server; it stops the server when it ends
    QString m_port;
    QString m_data; // the server's folder
    QString m_serving;
};

bool TestStoreTls::openssl(const QStringList &arguments)
{
    QProcess p;
    p.setWorkingDirectory(m_dir.path());
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), arguments);
    if (p.waitForFinished(60000) && p.exitCode() == 0)
        return true;
    qWarning("openssl %s: %s", qPrintable(arguments.join(u' ')), p.readAll().constData());
    return false;
}

void TestStoreTls::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
        QSKIP("openssl is not installed (scripts/deps.sh installs it)");
    QVERIFY(m_dir.isValid());
    const QStringList key{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    // Two authorities, one of which signs the server's certificates; the other is unknown to it.
    for (const QString &ca : {QStringLiteral("ca"), QStringLiteral("other-ca")})
        QVERIFY(openssl(QStringList{"req", "-x509"} + key +
                        QStringList{"-keyout", ca + ".key", "-out", ca + ".crt", "-days", "2", "-subj",
                                    "/CN=Veltrane test " + ca}));
    const std::pair<const char *, const char *> certificates[] = {{"right", "IP:127.0.0.1"},
                                                                  {"elsewhere", "DNS:store.lab.invalid"}};
    for (const auto &[name, host] : certificates) {
        const QString n = QString::fromLatin1(name);
        QFile extensions(file(n + QStringLiteral(".ext")));
        QVERIFY(extensions.open(QIODevice::WriteOnly));
        extensions.write(QByteArray("subjectAltName=") + host + '\n');
        extensions.close();
        QVERIFY(openssl(QStringList{"req"} + key +
                        QStringList{"-keyout", n + ".key", "-out", n + ".csr", "-subj", "/CN=" + n}));
        QVERIFY(openssl({"x509", "-req", "-in", n + ".csr", "-CA", "ca.crt", "-CAkey", "ca.key", "-CAcreateserial",
                         "-out", n + ".crt", "-days", "2", "-extfile", n + ".ext"}));
    }
    QVERIFY(QFile::copy(file("right.crt"), file("server.crt")) && QFile::copy(file("right.key"), file("server.key")));
    m_serving = QStringLiteral("right");

    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.start(QStringLiteral("bash"),
                   {"-c", QStringLiteral(". '%1/scripts/pg_throwaway.sh' && pg_throwaway_start --tls '%2' >/dev/null "
                                         "&& echo \"$PG_THROWAWAY_PORT $PG_THROWAWAY_DIR\" && read -r _")
                              .arg(QStringLiteral(VELTRANE_SOURCE_DIR), m_dir.path())});
    QVERIFY(m_server.waitForStarted());
    for (int i = 0; i < 120 && !m_server.canReadLine() && m_server.state() == QProcess::Running; ++i)
        m_server.waitForReadyRead(1000);
    const QStringList started = QString::fromUtf8(m_server.readLine()).trimmed().split(u' ');
    if (started.size() != 2 || started.first().isEmpty())
        QSKIP("no PostgreSQL server could be started here");
    m_port = started.at(0);
    m_data = started.at(1) + QStringLiteral("/data");
}

void TestStoreTls::cleanupTestCase()
{
    if (m_server.state() == QProcess::Running) {
        m_server.closeWriteChannel(); // ends the shell, which stops the server
        if (!m_server.waitForFinished(60000))
            m_server.kill();
    }
}

void TestStoreTls::serve(const QString &certificate)
{
    if (certificate == m_serving)
        return;
    for (const char *part : {".crt", ".key"}) {
        QFile from(file(certificate + QLatin1String(part)));
        QFile to(m_data + QStringLiteral("/server") + QLatin1String(part));
        QVERIFY(from.open(QIODevice::ReadOnly) && to.open(QIODevice::WriteOnly | QIODevice::Truncate));
        to.write(from.readAll());
    }
    const QString name = QStringLiteral("tls-reload");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(m_port.toInt());
        db.setUserName(QStringLiteral("veltrane"));
        db.setDatabaseName(QStringLiteral("veltrane_test"));
        db.setConnectOptions(QStringLiteral("sslmode=disable"));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT pg_reload_conf()")));
    }
    QSqlDatabase::removeDatabase(name);
    m_serving = certificate;
    QTest::qWait(500); // the server reads its files again in the background
}

void TestStoreTls::connectionsAreCheckedAndEncrypted_data()
{
    QTest::addColumn<QString>("certificate"); // the server's
    QTest::addColumn<QString>("options");     // of the URL
    QTest::addColumn<QString>("refusal");     // empty: the store opens
    QTest::addColumn<bool>("encrypted");

    const auto row = [](const char *tag, const char *certificate, const QString &options, const char *refusal,
                        bool encrypted) {
        QTest::newRow(tag) << QString::fromLatin1(certificate) << options << QString::fromLatin1(refusal) << encrypted;
    };
    const QString ca = QStringLiteral("&sslrootcert=%1").arg(file("ca.crt"));
    row("verify-full", "right", "sslmode=verify-full" + ca, "", true);
    row("verify-full, another host's certificate", "elsewhere", "sslmode=verify-full" + ca, "made out for another host",
        false);
    row("verify-ca, another host's certificate", "elsewhere", "sslmode=verify-ca" + ca, "", true);
    row("verify-full, unknown authority", "right",
        QStringLiteral("sslmode=verify-full&sslrootcert=%1").arg(file("other-ca.crt")),
        "not signed by a certificate authority this program trusts", false);
    row("require", "elsewhere", "sslmode=require", "", true);
    row("disable", "right", "sslmode=disable", "", false);
}

void TestStoreTls::connectionsAreCheckedAndEncrypted()
{
    QFETCH(QString, certificate);
    QFETCH(QString, options);
    QFETCH(QString, refusal);
    QFETCH(bool, encrypted);
    serve(certificate);
    const QString password = QStringLiteral("s3cret-Pw");
    const QString location =
        QStringLiteral("postgresql://veltrane:%1@127.0.0.1:%2/veltrane_test?%3").arg(password, m_port, options);
    host::SqlStorePtr store;
    const QString message = test::errorOf([&] { store = host::SqlStore::open(location); }).description();
    QVERIFY2(!message.contains(password), qPrintable(message));
    if (!refusal.isEmpty()) {
        QVERIFY2(message.contains(refusal), qPrintable(message));
        return;
    }
    QVERIFY2(store, qPrintable(message));
    QSqlQuery q(store->context().db);
    QVERIFY(q.exec(QStringLiteral("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()")) && q.next());
    QCOMPARE(q.value(0).toBool(), encrypted);
}

QTEST_GUILESS_MAIN(TestStoreTls)
#include "test_store_tls.moc"
