#include "host/framework/service_window_dialog.h"

#include "host/framework/framework_log.h"
#include "platform/forms/command_button.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/error_trap.h"
#include "veltrane/contracts/host_services.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QMap>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QShowEvent>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace veltrane::host {

namespace {

QList<ServiceWindowDialog *> &runningWindows()
{
    static QList<ServiceWindowDialog *> windows; // UI thread only, innermost last
    return windows;
}

QList<std::function<void(ServiceWindowDialog &)>> &shownActions()
{
    static QList<std::function<void(ServiceWindowDialog &)>> actions;
    return actions;
}

QMap<int, std::function<void(ServiceWindowDialog &)>> &shownWatchers()
{
    static QMap<int, std::function<void(ServiceWindowDialog &)>> watchers;
    return watchers;
}

// Window sizes by name text, so a flow opens as large as the user left it during this session.
QHash<QString, QByteArray> &rememberedGeometry()
{
    static QHash<QString, QByteArray> geometry;
    return geometry;
}

} // namespace

ServiceWindowDialog::ServiceWindowDialog(FlowDefinition flow, CollectionPtr context, Options options, QWidget *parent)
    : QDialog(parent)
    , m_flow(std::move(flow))
    , m_context(std::move(context))
    , m_options(std::move(options))
    , m_stack(new QStackedLayout)
    , m_buttonRow(new QHBoxLayout)
    , m_title(m_flow.title.isEmpty() ? m_flow.name : m_flow.title)
{
    setObjectName(QStringLiteral("ServiceWindow"));
    setModal(true);
    m_stack->setObjectName(QStringLiteral("pages"));
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto *layout = new QVBoxLayout(this);
    // A layout, not a widget of its own: the pages sit in the window itself.
    layout->addLayout(m_stack, 1);
    layout->addWidget(line);
    layout->addLayout(m_buttonRow);
}

ServiceWindowDialog::~ServiceWindowDialog()
{
    runningWindows().removeAll(this);
    // The pages die with the window; their PageBase must not reach a window being destroyed.
    for (const Page &page : std::as_const(m_pages))
        if (page.base)
            page.base->detach();
}

void ServiceWindowDialog::createPages(const PageFactory &factory)
{
    const auto fail = [this](const QString &description) {
        for (Page &page : m_pages) {
            if (page.base)
                page.base->detach();
            delete page.widget;
        }
        m_pages.clear();
        throw Error(kPageNotCreated, QStringLiteral("PageFramework"), description);
    };
    for (const QString &className : std::as_const(m_flow.pages)) {
        QWidget *widget = factory ? factory(className) : nullptr;
        if (!widget)
            fail(
                QStringLiteral("The page \"%1\" of the flow \"%2\" could not be created.").arg(className, m_flow.name));
        auto *access = dynamic_cast<IPageAccess *>(widget);
        PageBase *base = nullptr;
        if (access) {
            try {
                base = access->Page();
            } catch (...) {
                delete widget;
                throw;
            }
        }
        if (!base) {
            delete widget;
            fail(QStringLiteral("\"%1\" of the flow \"%2\" is not a page: it gives no PageBase.")
                     .arg(className, m_flow.name));
        }
        // A page laid out by hand (no layout) is hosted at the size it gave itself.
        if (!widget->layout() && !widget->sizeHint().isValid())
            widget->setMinimumSize(widget->size());
        m_stack->addWidget(widget);
        base->attach(this);
        m_pages.append(Page{className, widget, base, false});
    }
    buildButtons();
}

void ServiceWindowDialog::buildButtons()
{
    QList<qint32> offered = m_flow.commands;
    if (offered.isEmpty()) {
        offered = {kCommandCommit, kCommandCancel};
        if (m_pages.size() > 1)
            offered << kCommandBack << kCommandNext;
    }
    if (m_options.offersSaveAs() && !offered.contains(kCommandSaveAs))
        offered << kCommandSaveAs;
    m_offered = offered;

    // Save As and any extra commands on the left; navigation, commit and Cancel on the right.
    QList<qint32> left;
    for (qint32 command : std::as_const(offered))
        if (command == kCommandSaveAs || command > kCommandNext)
            left << command;
    std::sort(left.begin(), left.end());
    QList<qint32> right;
    for (qint32 command : {kCommandBack, kCommandNext, kCommandCommit, kCommandCancel})
        if (offered.contains(command))
            right << command;

    const auto add = [this](qint32 command) {
        auto *button = new CommandButton(caption(command), this);
        button->setObjectName(QStringLiteral("command%1").arg(command));
        connect(button, &CommandButton::Click, this, [this, command] { ExecuteCommand(command); });
        m_buttons.insert(command, button);
        m_buttonRow->addWidget(button);
    };
    for (qint32 command : std::as_const(left))
        add(command);
    m_buttonRow->addStretch(1);
    for (qint32 command : std::as_const(right))
        add(command);
    updateUi();
}

QString ServiceWindowDialog::caption(qint32 command) const
{
    if (m_flow.captions.contains(command))
        return m_flow.captions.value(command);
    switch (command) {
    case kCommandCommit:
        if (m_options.commitIsSave())
            return tr("&Save");
        return m_pages.size() > 1 ? tr("&Finish") : tr("OK");
    case kCommandCancel:
        return tr("Cancel");
    case kCommandSaveAs:
        return tr("Save &As...");
    case kCommandBack:
        return tr("< &Back");
    case kCommandNext:
        return tr("&Next >");
    default:
        return tr("Command %1").arg(command);
    }
}

QWidget *ServiceWindowDialog::page(int index) const
{
    return index >= 0 && index < m_pages.size() ? m_pages.at(index).widget.data() : nullptr;
}

QPushButton *ServiceWindowDialog::button(qint32 command) const
{
    return m_buttons.value(command, nullptr);
}

ServiceWindowDialog *ServiceWindowDialog::active()
{
    const auto &windows = runningWindows();
    return windows.isEmpty() ? nullptr : windows.last();
}

void ServiceWindowDialog::whenShown(std::function<void(ServiceWindowDialog &)> action)
{
    shownActions().append(std::move(action));
}

void ServiceWindowDialog::clearWhenShown()
{
    shownActions().clear();
}

int ServiceWindowDialog::watchShown(std::function<void(ServiceWindowDialog &window)> watcher)
{
    static int last = 0;
    shownWatchers().insert(++last, std::move(watcher));
    return last;
}

void ServiceWindowDialog::unwatchShown(int watch)
{
    shownWatchers().remove(watch);
}

void ServiceWindowDialog::run()
{
    runningWindows().append(this);
    const QByteArray geometry = rememberedGeometry().value(m_options.nameText);
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    request(Request::Start);
    if (!m_finished)
        exec();
    // The event loop may end without the flow (the application quitting): that is a cancel.
    if (!m_finished)
        finish(true);
    runningWindows().removeAll(this);
    if (!runningWindows().isEmpty())
        runningWindows().last()->flowAboveEnded();
}

void ServiceWindowDialog::flowAboveEnded()
{
    if (m_finished)
        return;
    // Raising an event (Save As from CommandClick): the page is activated once that event returns,
    // before whatever it asked for meanwhile (Proceed). Otherwise a control of the page started the
    // flow (the selection page's Edit), and the page is activated once that handler has returned.
    if (m_busy)
        m_pending.enqueue({Request::Reactivate, 0});
    else
        QTimer::singleShot(0, this, [this] { request(Request::Reactivate); });
}

void ServiceWindowDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_announced || event->spontaneous())
        return;
    m_announced = true;
    // Announced from the window's own event loop, so that whoever acts on it may end the flow.
    QTimer::singleShot(0, this, [this] {
        if (m_finished || !isVisible())
            return;
        emit shown();
        const QPointer<ServiceWindowDialog> self(this);
        for (const auto &watcher : QList(shownWatchers().values())) {
            watcher(*this);
            if (!self || m_finished)
                return;
        }
        if (!shownActions().isEmpty())
            shownActions().takeFirst()(*this);
    });
}

void ServiceWindowDialog::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    if (m_painted)
        return;
    m_painted = true;
    emit firstPainted();
}

void ServiceWindowDialog::SetTitle(const QString &title)
{
    m_title = title;
    updateUi();
}

void ServiceWindowDialog::SetButtonEnabled(qint32 button, bool enabled)
{
    m_explicit.insert(button, enabled);
    updateUi();
}

bool ServiceWindowDialog::defaultEnabled(qint32 command) const
{
    switch (command) {
    case kCommandCommit:
        return !m_options.commitWaitsForChange() || m_dirty;
    case kCommandBack:
        return m_current > 0;
    case kCommandNext:
        return m_current < m_pages.size() - 1;
    default:
        return true;
    }
}

bool ServiceWindowDialog::IsButtonEnabled(qint32 button) const
{
    if (button == kCommandCommit && loadFailed())
        return false;
    return m_explicit.value(button, defaultEnabled(button));
}

bool ServiceWindowDialog::loadFailed() const
{
    return std::any_of(m_pages.cbegin(), m_pages.cend(), [](const Page &p) { return p.loadFailed; });
}

void ServiceWindowDialog::ExecuteCommand(qint32 command)
{
    request(Request::Command, command);
}

void ServiceWindowDialog::Proceed()
{
    request(Request::Proceed);
}

void ServiceWindowDialog::Refresh()
{
    updateUi();
}

void ServiceWindowDialog::markDirty(PageBase *page)
{
    // Filling the controls while a page initialises is no change by the user.
    if (m_finished || page == m_initializing)
        return;
    m_dirty = true;
    updateUi();
}

void ServiceWindowDialog::reject()
{
    ExecuteCommand(kCommandCancel);
}

void ServiceWindowDialog::request(Request kind, qint32 command)
{
    if (m_finished)
        return;
    m_pending.enqueue({kind, command});
    if (m_busy)
        return; // carried out when the event being raised returns
    {
        const QScopedValueRollback busy(m_busy, true);
        while (!m_pending.isEmpty() && !m_finished) {
            const auto [nextKind, nextCommand] = m_pending.dequeue();
            perform(nextKind, nextCommand);
        }
        m_pending.clear();
    }
    updateUi();
}

void ServiceWindowDialog::perform(Request kind, qint32 command)
{
    switch (kind) {
    case Request::Start:
        if (!m_pages.isEmpty())
            showPage(0);
        return;
    case Request::Proceed:
        commit();
        return;
    case Request::Reactivate:
        raise(m_current, "Activate", [](PageBase *base) { base->raiseActivate(); });
        return;
    case Request::Command:
        break;
    }
    // Commit and the page commands obey their buttons (Proceed is the way past a disabled commit);
    // Cancel always works, and Back and Next only need a page to move to.
    const bool navigation = command == kCommandCancel || command == kCommandBack || command == kCommandNext;
    if (!navigation && !IsButtonEnabled(command))
        return;
    switch (command) {
    case kCommandCommit:
        commit();
        break;
    case kCommandCancel:
        finish(true);
        break;
    case kCommandBack:
        move(-1);
        break;
    case kCommandNext:
        if (m_current >= m_pages.size() - 1) {
            // Forward past the last page finishes the flow, as its commit button would.
            if (IsButtonEnabled(kCommandCommit))
                commit();
        } else {
            move(+1);
        }
        break;
    default:
        if (command == kCommandSaveAs || command > kCommandNext) {
            raise(m_current, "CommandClick", [command](PageBase *base) { base->raiseCommandClick(command); });
            // Whatever the command did (a flow that ran, or one that could not start and was
            // reported), the page comes back to the user: it is activated again before anything it
            // asked for meanwhile, so a command it left half done does not block the next one.
            const bool queued = std::any_of(m_pending.cbegin(), m_pending.cend(),
                                            [](const auto &p) { return p.first == Request::Reactivate; });
            if (!queued && !m_finished)
                m_pending.prepend({Request::Reactivate, 0});
        }
        break;
    }
}

template <typename F> bool ServiceWindowDialog::raise(int index, const char *event, F &&call)
{
    if (index < 0 || index >= m_pages.size() || !m_pages.at(index).base)
        return true;
    try {
        call(m_pages.at(index).base.data());
        return true;
    } catch (...) {
        reportPageError(index, event, Error::fromCurrentException());
        return false;
    }
}

void ServiceWindowDialog::reportPageError(int index, const char *event, const Error &error)
{
    // A page's propagating trap has logged the failure without showing it; this is where the user
    // learns of it, once. The window stays as it was, so the user can go on or cancel.
    const QString where = QStringLiteral("page %1 of the flow %2").arg(m_pages.value(index).className, m_flow.name);
    try {
        Utilities().ReportError(applicationName(), QStringLiteral("ServiceWindow"), QString::fromLatin1(event), error,
                                where, true);
    } catch (...) {
        qCWarning(lcFramework).noquote() << event << where << error.number() << error.description();
    }
}

void ServiceWindowDialog::showPage(int index)
{
    Page &page = m_pages[index];
    m_current = index;
    m_explicit.clear(); // button states set by the page left behind do not carry over
    if (!page.initialized) {
        page.initialized = true;
        const QScopedValueRollback initializing(m_initializing, page.base.data());
        if (!raise(index, "Initialize", [](PageBase *base) { base->raiseInitialize(nullptr); }))
            m_pages[index].loadFailed = true;
    }
    if (page.widget)
        m_stack->setCurrentWidget(page.widget);
    updateUi();
    raise(index, "Activate", [](PageBase *base) { base->raiseActivate(); });
}

bool ServiceWindowDialog::validateCurrent()
{
    bool valid = true;
    const bool raised = raise(m_current, "Validate", [&valid](PageBase *base) { valid = base->raiseValidate(); });
    return raised && valid;
}

void ServiceWindowDialog::move(int step)
{
    const int target = m_current + step;
    if (target < 0 || target >= m_pages.size())
        return;
    if (!validateCurrent())
        return;
    raise(m_current, "Deactivate", [](PageBase *base) { base->raiseDeactivate(); });
    showPage(target);
}

void ServiceWindowDialog::commit()
{
    // A page that could not load what it shows would save less than there is (a list it never
    // filled, say): such a flow is not committed, by button or by Proceed, only cancelled.
    if (loadFailed() || !validateCurrent())
        return;
    for (int i = 0; i < m_pages.size(); ++i) {
        if (!m_pages.at(i).initialized)
            continue; // a page never shown has loaded nothing to save
        if (!raise(i, "Save", [](PageBase *base) { base->raiseSave(); })) {
            // Reported; the flow stays open and is not committed, and the page the user returns to
            // is activated again (it may, for example, now offer only Save As).
            raise(m_current, "Activate", [](PageBase *base) { base->raiseActivate(); });
            return;
        }
    }
    finish(false);
}

void ServiceWindowDialog::finish(bool cancelled)
{
    m_finished = true;
    m_cancelled = cancelled;
    m_pending.clear();
    raise(m_current, "Deactivate", [](PageBase *base) { base->raiseDeactivate(); });
    for (int i = 0; i < m_pages.size(); ++i)
        raise(i, "OnExit", [this, cancelled](PageBase *base) { base->raiseOnExit(this, cancelled); });
    if (!m_options.nameText.isEmpty() && isVisible())
        rememberedGeometry().insert(m_options.nameText, saveGeometry());
    QDialog::done(cancelled ? QDialog::Rejected : QDialog::Accepted);
    emit flowEnded(cancelled);
}

void ServiceWindowDialog::updateUi()
{
    setWindowTitle(m_dirty ? m_title + QStringLiteral(" *") : m_title);
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it)
        it.value()->setEnabled(!m_finished && IsButtonEnabled(it.key()));
}

} // namespace veltrane::host
