#pragma once

#include "host/framework/host_utilities.h"
#include "host/objects/sql_store.h"
#include "veltrane/contracts/keyed_collection.h"

#include <QObject>
#include <QPointer>
#include <memory>

namespace veltrane::host {

class ServiceWindowDialog;

// The host's side of a program that does not link the library, as one object it creates through
// the component registry ("VeltraneHost.Session"): Open opens a store and installs the page
// framework, the business objects over that store and the grid utilities for the process (each
// thread makes its own from them), and registers the flows whose pages it then makes through the
// registry ("Veltrane.<page>"). One session is open at a time.
//
// Unattended records error reports instead of showing them (ReportCount, LastReport). A handler
// set as OnWindowShown is called through its member with dispatch id 0 with a Window object each
// time a flow's window is shown, from inside that window's event loop: a host drives the window
// from there, by the names of its controls.
class Session : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Unattended READ Unattended WRITE setUnattended)
    Q_PROPERTY(qint32 ReportCount READ ReportCount)
    Q_PROPERTY(QString LastReport READ LastReport)
    Q_PROPERTY(veltrane::ObjectPtr OnWindowShown READ OnWindowShown WRITE setOnWindowShown)
public:
    explicit Session(QObject *parent = nullptr);
    ~Session() override;

    // Opens (creating, migrating and seeding when new) the store at a SQLite path or PostgreSQL URL.
    // A session already open closes first.
    Q_INVOKABLE void Open(const QString &sLocation);
    // Uninstalls what Open installed; nothing when not open.
    Q_INVOKABLE void Close();

    bool Unattended() const { return m_capture != nullptr; }
    void setUnattended(bool bValue);
    qint32 ReportCount() const;
    QString LastReport() const;
    ObjectPtr OnWindowShown() const { return m_onWindowShown; }
    void setOnWindowShown(const ObjectPtr &oHandler);

private:
    void windowShown(ServiceWindowDialog &window);

    std::shared_ptr<SqlStore> m_store;
    std::shared_ptr<HostUtilities::Capture> m_capture;
    ObjectPtr m_onWindowShown;
    int m_watch = 0;
};

// A flow's window as a host drives it: its title and page, its controls by name, its commands.
class WindowAutomation : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title)
    Q_PROPERTY(QString PageClass READ PageClass)
    Q_PROPERTY(bool WasCancelled READ WasCancelled)
    Q_PROPERTY(bool Finished READ Finished)
public:
    explicit WindowAutomation(ServiceWindowDialog *window);

    QString Title() const;
    // The class of the page shown ("SelectParamPage").
    QString PageClass() const;
    bool WasCancelled() const;
    // Whether the window's flow has ended (committed or cancelled).
    bool Finished() const;
    // The control of that name in the window ("txtParameterSetName", "txtSizeTime(0)", "command1"),
    // Nothing when there is none. It answers late-bound to its properties and public slots.
    Q_INVOKABLE QObject *Control(const QString &sName) const;
    // Carries out a command of the window as its button would (1 commit, 2 Cancel, ...).
    Q_INVOKABLE void ExecuteCommand(qint32 eCommand);

private:
    ServiceWindowDialog &window() const;
    QPointer<ServiceWindowDialog> m_window;
};

} // namespace veltrane::host
