#pragma once

#include "host/framework/host_utilities.h"
#include "host/framework/recording_page.h"
#include "host/framework/service_window_dialog.h"
#include "host/objects/sql_store.h"
#include "host/objects/store_fixture.h"
#include "veltrane/contracts/business_objects.h"

#include <QHash>
#include <QStringList>
#include <functional>
#include <memory>

namespace veltrane::test {

// The real host layers over a fresh store, as the application wires them, with message boxes
// recorded instead of shown: a SQLite file in a temporary folder, or a schema of its own on the
// PostgreSQL test server (engine "postgresql", see storeEngines()). Tests add page classes of their
// own (recording pages, a stand-in editor) and flows made of them.
class PageHost
{
public:
    // A fresh store on an engine ("sqlite", or "postgresql" where a test server is given).
    explicit PageHost(bool seed = true, const QString &engine = QStringLiteral("sqlite"));
    // The same over the store at location (a SQLite file, or a PostgreSQL URL a StoreLocation made),
    // opened with options. An empty location makes a fresh SQLite store.
    explicit PageHost(const QString &location, const host::StoreOptions &options = {});
    ~PageHost();

    host::SqlStore &store() { return *m_store; }
    // Where the store lives, for a second session or another process on the same data.
    const QString &location() const { return m_locationText; }
    // Runs one statement directly on the database (rows another program wrote); only for stores
    // this host made.
    void executeRaw(const QString &sql) const { m_location->executeRaw(sql); }
    host::HostUtilities::Capture &hook() { return *m_hook; }
    QStringList &log() { return m_log; }

    // A page class the framework can create by this name. The newest page made is kept.
    void addPageClass(const QString &className, std::function<QWidget *()> create);
    // A recording page under that class name; configure() runs on every page made.
    void addRecordingPage(const QString &className, std::function<void(RecordingPage &)> configure = {});
    QWidget *lastMade(const QString &className) const { return m_made.value(className); }

    void registerFlow(const QString &name, const QStringList &pages);

    // Reports that were shown to the user (display flag set).
    QList<host::HostUtilities::Report> shownReports() const;

    // Stores a set: settings filled by fill() from a plain new settings object named name.
    AnalysisParameterPtr commitSet(const QString &name, const std::function<void(FragAnalysisParam &)> &fill = {});
    AnalysisParameterPtr loadSet(const QString &name);

private:
    void install(const host::StoreOptions &options);

    std::unique_ptr<StoreLocation> m_location; // outlives the store
    QString m_locationText;
    std::shared_ptr<host::SqlStore> m_store;
    std::shared_ptr<host::HostUtilities::Capture> m_hook;
    QStringList m_log;
    QHash<QString, std::function<QWidget *()>> m_classes;
    QHash<QString, QWidget *> m_made;
};

// Runs action on the next window shown (inside its event loop); a window left open is cancelled so
// a failing test cannot hang.
void onNextWindow(std::function<void(host::ServiceWindowDialog &)> action);

// Clicks a window's command button as a user would.
void clickCommand(host::ServiceWindowDialog &window, qint32 command);

} // namespace veltrane::test
