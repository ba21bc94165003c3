#pragma once

#include "host/framework/flow_registry.h"
#include "veltrane/contracts/page_framework.h"

#include <QDialog>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QQueue>
#include <array>
#include <functional>

class QHBoxLayout;

class QStackedLayout;

namespace veltrane::host {

// The modal window in which one flow runs: the current page above a row of command buttons
// (objectNames "command1" to "command5": 1 commit, 2 Cancel, 3 Save As, 4 Back, 5 Next).
//
// Page events, in order: Initialize once before a page is first shown, Activate each time it is
// shown; Validate before the user leaves it (Back, Next) or commits; Deactivate when it is left;
// on commit Save on every page that has been shown, in flow order; at the end Deactivate on the
// current page and OnExit on every page. A page comes back to the user, and is activated again,
// after a flow started while it was shown has ended (from a command such as Save As, or from one of
// its own buttons) and after a Save that failed. A refused Validate keeps the user on the page and
// saves nothing. A page whose Initialize failed keeps the flow from being committed (the commit button
// stays off; Cancel ends it). Commands that a page asks for while the window is raising one of its
// events (e.g. a page skipping itself from Activate) are queued and carried out as soon as that event
// returns.
class ServiceWindowDialog : public QDialog, public veltrane::ServiceWindow, public veltrane::PageSite
{
    Q_OBJECT
public:
    using Options = veltrane::ServiceOptions;
    ServiceWindowDialog(FlowDefinition flow, CollectionPtr context, Options options, QWidget *parent = nullptr);
    ~ServiceWindowDialog() override;

    // Creates the flow's pages and adopts them. Throws Error when a page cannot be created or is no
    // page (no IPageAccess, no PageBase); the pages made so far are destroyed.
    void createPages(const PageFactory &factory);

    // Shows the first page and runs the window's own event loop until the flow has ended.
    void run();

    // ServiceWindow
    bool WasCancelled() const override { return m_cancelled; }
    QString Title() const override { return m_title; }
    void SetTitle(const QString &title) override;
    void SetButtonEnabled(qint32 button, bool enabled) override;
    bool IsButtonEnabled(qint32 button) const override;
    void ExecuteCommand(qint32 command) override;
    PageList Pages() const override { return PageList{qint32(m_pages.size())}; }
    void Refresh() override;
    void Proceed() override;

    // PageSite
    CollectionPtr businessContext() const override { return m_context; }
    ServiceWindow *window() const override { return const_cast<ServiceWindowDialog *>(this); }
    void markDirty(PageBase *page) override;

    // For launchers and tests.
    const FlowDefinition &flow() const { return m_flow; }
    const Options &options() const { return m_options; }
    bool isFinished() const { return m_finished; }
    bool isDirty() const { return m_dirty; }
    int currentIndex() const { return m_current; }
    int pageCount() const { return int(m_pages.size()); }
    QWidget *page(int index) const;
    QWidget *currentPage() const { return page(m_current); }
    QList<qint32> offeredCommands() const { return m_offered; }
    QPushButton *button(qint32 command) const; // null for a command the window does not offer

    // The innermost window whose flow is running, null when none.
    static ServiceWindowDialog *active();
    // Runs action once, on the next window that is shown, from inside that window's event loop (so
    // the action may click buttons and end the flow). Actions queue up, one per window shown.
    static void whenShown(std::function<void(ServiceWindowDialog &window)> action);
    // Drops the actions no window has taken yet (a test whose flow ended before it was shown).
    static void clearWhenShown();
    // Runs watcher on every window as it is shown, from inside its event loop and before the
    // whenShown actions, until unwatchShown is given the answer.
    static int watchShown(std::function<void(ServiceWindowDialog &window)> watcher);
    static void unwatchShown(int watch);

    // Whether the window has painted itself at least once (it is then laid out as the user sees it).
    bool hasPainted() const { return m_painted; }

signals:
    void shown();
    void firstPainted();
    void flowEnded(bool cancelled);

protected:
    void reject() override; // Escape and the close box cancel the flow
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    struct Page
    {
        QString className;
        QPointer<QWidget> widget;
        QPointer<PageBase> base;
        bool initialized = false;
        bool loadFailed = false; // its Initialize raised an error
    };
    enum class Request { Start, Command, Proceed, Reactivate };

    void request(Request kind, qint32 command = 0);
    // A flow started while this window's page was shown has ended: the page is back with the user.
    void flowAboveEnded();
    void perform(Request kind, qint32 command);
    void showPage(int index);
    void move(int step);
    bool validateCurrent();
    void commit();
    void finish(bool cancelled);
    bool defaultEnabled(qint32 command) const;
    bool loadFailed() const;
    void buildButtons();
    void updateUi();
    QString caption(qint32 command) const;

    // Raises one page event; a failure is reported (shown to the user) and answered false.
    template <typename F> bool raise(int index, const char *event, F &&call);
    void reportPageError(int index, const char *event, const veltrane::Error &error);

    FlowDefinition m_flow;
    CollectionPtr m_context;
    Options m_options;
    QList<Page> m_pages;
    QStackedLayout *m_stack; // the pages, one shown at a time
    QHBoxLayout *m_buttonRow;
    QHash<qint32, QPushButton *> m_buttons;
    QList<qint32> m_offered;
    QHash<qint32, bool> m_explicit; // button states set by the current page
    QString m_title;
    int m_current = -1;
    bool m_dirty = false;
    bool m_cancelled = false;
    bool m_finished = false;
    bool m_busy = false;
    bool m_announced = false;
    bool m_painted = false;
    PageBase *m_initializing = nullptr;
    QQueue<QPair<Request, qint32>> m_pending;
};

} // namespace veltrane::host
