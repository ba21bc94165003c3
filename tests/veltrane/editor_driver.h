#pragma once

#include "host/framework/service_window_dialog.h"
#include "host/objects/store_fixture.h"
#include "veltrane/contracts/business_objects.h"

#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

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
    // check box the value; an option button is clicked (whatever the value), the size standard grid
    // gets exactly the rows ticked that the value lists ("1 3 4"), and a locus tag selector moves the
    // tag named by the value to its other grid with a double click. Each raises the control's own
    // change or click handler.
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

// Runs act on the next window shown (the test queues it before the click that opens the window,
// so nested windows queue theirs from inside act); the flow is cancelled if act left it open.
void onNextPage(const std::function<void(EditorDriver &)> &act);

// Clicks Save As in the editor and, in the save-as window, types name and clicks Save (or Cancel
// when name is null).
void saveAs(EditorDriver &editor, const QString &name);

// A test's fresh store on one engine with the real host layers over it, and a second session on the
// same database: another workstation, and a reader that sees only what was committed.
class EngineHost
{
public:
    explicit EngineHost(const QString &engine);
    ~EngineHost();

    PageHost &host() { return *m_host; }
    const QString &location() const { return m_location.location(); }
    const host::SqlStorePtr &other() const { return m_other; }
    // The stored settings of a set as the second session reads them now; null when not stored.
    FragAnalysisParamPtr stored(const QString &name) const;
    QString storedText(const QString &name) const; // describe(), or "(not stored)"

private:
    StoreLocation m_location;
    std::unique_ptr<PageHost> m_host;
    host::SqlStorePtr m_other;
};

} // namespace veltrane::test

// Runs a widget test object once per engine the suite reaches.
#define VELTRANE_PAGE_STORE_TEST_MAIN(TestClass)                                                                       \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        QApplication app(argc, argv);                                                                                  \
        return veltrane::test::runForEachEngine<TestClass>(argc, argv);                                                \
    }
