#pragma once

#include "host/framework/service_window_dialog.h"
#include "veltrane/contracts/business_objects.h"

#include <QStringList>
#include <QWidget>
#include <functional>

namespace veltrane::test {

class PageHost;

// The editor page inside its running window, reached by control names as a UI test tool reaches it.
class EditorDriver
{
public:
    explicit EditorDriver(host::ServiceWindowDialog &window)
        : m_window(window)
    {}

    host::ServiceWindowDialog &window() const { return m_window; }
    QWidget *page() const { return m_window.currentPage(); }
    // A control of the page by name; a test that names a missing control fails loudly.
    QWidget *control(const QString &name) const;
    QVariant property(const QString &name, const char *property) const;
    QString text(const QString &name) const { return property(name, "Text").toString(); }

    // "control=value" edits: a text box gets the text, a drop-down list the entry of that text, a
    // check box the value. Each raises the control's own change or click handler.
    void apply(const QStringList &edits);
    void apply(const QString &edit) { apply(QStringList{edit}); }

    // Clicks a command button (1 commit, 2 Cancel, 3 Save As); answers whether the flow ended.
    bool click(qint32 command);

private:
    host::ServiceWindowDialog &m_window;
};

// How an editor flow ended, and the context its launcher reads afterwards.
struct EditorOutcome
{
    bool shown = false;
    bool cancelled = true;
    CollectionPtr context;
};

// Starts the editor flow on a set as the selection page's Edit (or New, with isNew) starts it, runs
// act inside the window and cancels the flow if act left it open.
EditorOutcome runEditor(const AnalysisParameterPtr &set, bool isNew, const std::function<void(EditorDriver &)> &act);

// The save-as window that the editor's Save As opens: the next window shown runs act (the test
// queues it before clicking Save As); the flow is cancelled if act left it open.
void onSaveAsWindow(const std::function<void(EditorDriver &)> &act);

// Clicks Save As in the editor and, in the save-as window, types name and clicks Save (or Cancel
// when name is null).
void saveAs(EditorDriver &editor, const QString &name);

} // namespace veltrane::test
