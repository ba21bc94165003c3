#pragma once

#include "veltrane/contracts/error.h"
#include "veltrane/contracts/keyed_collection.h"
#include "veltrane/contracts/vocabulary.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QComboBox;
class QWidget;

namespace veltrane {

class PageBase;

// Command numbers of a service window.
enum WindowCommand : qint32 {
    kCommandCommit = 1, // Save / OK / Finish
    kCommandCancel = 2,
    kCommandSaveAs = 3,
    kCommandBack = 4,
    kCommandNext = 5,
};

// How a flow's window is shown: the six numeric options a launcher passes to RunService, in the
// order it passes them, then the name text and two numbers. Values other than those named below
// leave a window as it is by default.
struct ServiceOptions
{
    // 1: the commit button reads "&Save"; otherwise "OK" for a flow of one page, "&Finish" for more.
    qint32 commitCaption = -1;
    qint32 reserved2 = -1; // no effect in this framework
    qint32 reserved3 = -1; // no effect in this framework
    // 3 (the Save As command): the window offers Save As beside its other commands.
    qint32 extraCommand = -1;
    qint32 reserved5 = -1; // no effect in this framework
    // 0: the commit button stays disabled until a page marks its data changed.
    qint32 commitRule = -1;
    // The window remembers its size under this text for the session (empty: it does not).
    QString nameText;
    qint32 reserved8 = 0; // always 0
    qint32 reserved9 = 0; // always 0

    bool commitIsSave() const { return commitCaption == 1; }
    bool offersSaveAs() const { return extraCommand == 3; }
    bool commitWaitsForChange() const { return commitRule == 0; }
    bool operator==(const ServiceOptions &) const = default;
};

// The options with which the library starts each of its flows.
namespace flow_options {
inline const ServiceOptions kSelectAnalysisParameters{-1, -1, -1, -1, -1, -1, flows::kWorkingAnalysisParameters};
inline const ServiceOptions kEditNewSet{1, -1, -1, -1, -1, -1, {}};
inline const ServiceOptions kEditExistingSet{1, -1, -1, 3, -1, 0, {}};
inline const ServiceOptions kSaveAnalysisParameterAs{1, -1, -1, -1, -1, -1, {}};
inline const ServiceOptions kSNPLocusTagEditor{-1, -1, -1, -1, -1, -1, {}};
} // namespace flow_options

// The page list of a window as pages see it.
struct PageList
{
    qint32 Count = 0;
};

// The modal window in which a flow runs. Pages reach it through PageBase::Window(); launchers get
// it back from RunService once the flow has ended.
class ServiceWindow
{
public:
    virtual ~ServiceWindow() = default;
    virtual bool WasCancelled() const = 0;
    virtual QString Title() const = 0;
    virtual void SetTitle(const QString &title) = 0;
    virtual void SetButtonEnabled(qint32 button, bool enabled) = 0;
    virtual bool IsButtonEnabled(qint32 button) const = 0;
    // 5 moves forward past the current page, 4 moves back; 1 commits, 2 cancels, 3 is Save As.
    virtual void ExecuteCommand(qint32 command) = 0;
    virtual PageList Pages() const = 0;
    // Re-reads title and button states.
    virtual void Refresh() = 0;
    // Commits the flow as command 1 does, also while button 1 is disabled.
    virtual void Proceed() = 0;
};

using ServiceWindowPtr = std::shared_ptr<ServiceWindow>;

// What a framework offers a page it has adopted; PageBase forwards to it.
class PageSite
{
public:
    virtual ~PageSite() = default;
    virtual CollectionPtr businessContext() const = 0;
    virtual ServiceWindow *window() const = 0;
    virtual void markDirty(PageBase *page) = 0;
};

// The framework object that every page owns from its creation. The framework raises the page's
// events through raise*(); a page connects the events it handles once, by setting the handlers.
// Unhandled events do nothing. Failures in a handler reach the framework as Error exceptions.
class PageBase : public QObject
{
    Q_OBJECT
public:
    struct Handlers
    {
        std::function<void(QObject *oLastPanePositions)> Initialize;
        std::function<void()> Activate;
        std::function<void()> Deactivate;
        std::function<void(bool &bIsValid)> Validate;
        std::function<void()> Save;
        std::function<void(ServiceWindow *oWindow, bool bWasCancelled)> OnExit;
        std::function<void(qint32 eCommand)> CommandClick;
    };

    explicit PageBase(QObject *parent = nullptr);
    ~PageBase() override;

    Handlers handlers;

    // Members a page calls.
    CollectionPtr BusinessContext() const; // null while no framework has adopted the page
    ServiceWindow *Window() const;         // raises kPageNotAdopted when no framework has adopted the page
    void MarkDirty();

    // Framework side.
    void attach(PageSite *site);
    void detach();
    PageSite *site() const { return m_site; }
    void raiseInitialize(QObject *oLastPanePositions = nullptr);
    void raiseActivate();
    void raiseDeactivate();
    bool raiseValidate(); // answers bIsValid (true when the page does not handle Validate)
    void raiseSave();
    void raiseOnExit(ServiceWindow *window, bool wasCancelled);
    void raiseCommandClick(qint32 command);

private:
    PageSite *m_site = nullptr;
};

// Every page implements it: the framework finds the page's PageBase through it.
class IPageAccess
{
public:
    virtual ~IPageAccess() = default;
    virtual PageBase *Page() = 0;
};

// The framework's object standing for a service of a component library.
class ServiceBase : public QObject
{
    Q_OBJECT
public:
    explicit ServiceBase(QObject *parent = nullptr);
};

class IServiceAccess
{
public:
    virtual ~IServiceAccess() = default;
    virtual ServiceBase *Service() = 0;
};

// The framework's application object: runs flows by name.
class FrameworkApplication
{
public:
    virtual ~FrameworkApplication() = default;

    // Shows the flow's pages in a modal window (over parentWindow, or over the window in front when
    // it is null) and returns the window once the flow has ended.
    virtual ServiceWindowPtr RunService(const QString &serviceName, const CollectionPtr &context, QWidget *parentWindow,
                                        const ServiceOptions &options) = 0;
};

// One call of FrameworkUtilities::ReportError, as a framework or a test records it.
struct ErrorReport
{
    QString applicationName;
    QString className;
    QString procedureName;
    Error error;
    QString extraText;
    bool display = false;
};

// The framework's helpers that pages and the error trap use.
class FrameworkUtilities
{
public:
    virtual ~FrameworkUtilities() = default;

    virtual void ReportError(const QString &applicationName, const QString &className, const QString &procedureName,
                             const Error &error, const QString &extraText, bool display) = 0;
    virtual bool IsDebugging() const = 0;
    virtual bool ConfirmBreak(qint32 errorNumber) = 0;
    virtual bool KeyExists(const KeyedCollection *collection, const QString &key) const;
    bool KeyExists(const CollectionPtr &collection, const QString &key) const
    {
        return KeyExists(collection.data(), key);
    }
    // Makes the entry with that text the selected entry of the combo box (raising its Click);
    // answers whether one was found.
    virtual bool SelectComboItem(QComboBox *comboBox, const QString &text);
};

} // namespace veltrane
