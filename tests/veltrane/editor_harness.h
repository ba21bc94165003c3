#pragma once

#include "page_host.h"

#include "veltrane/contracts/page_framework.h"

#include <QPoint>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

namespace veltrane {
class AnalysisParamPage;
class ComboBox;
class GridControl;
class TextBox;
} // namespace veltrane

namespace veltrane::test {

// The editor page in a window of its own, adopted by a stand-in framework that counts MarkDirty
// calls; the host layers behind it are the real ones over the PageHost's store. Input reaches the
// page as a user's does: keys, clicks and focus changes in an active window.
class EditorHarness : public PageSite, public ServiceWindow
{
public:
    explicit EditorHarness(PageHost &host);
    ~EditorHarness() override;

    // Hands the set to a new editor under "AnalysisParameter" (with "IsNew" when asNew), raises
    // Initialize and Activate, shows the window and waits until it is active.
    bool open(const AnalysisParameterPtr &set, bool asNew = false);

    AnalysisParamPage &page() const { return *m_page; }
    template <typename T> T *control(const QString &name) const { return m_window->findChild<T *>(name); }
    TextBox *field(const QString &name) const;
    GridControl *grid(const QString &name) const;

    // Brings a tab to the front by clicking it (0 "General" ... 5 "Advanced").
    void showTab(int tab);
    // Gives a field the focus by clicking it, or by Tab from the control before it in the tab order.
    void clickInto(QWidget *control);
    void tabInto(QWidget *control);
    // Types keys: every character of text is one key click; "\b" is backspace.
    void type(QWidget *control, const QString &text);
    // Moves the focus away from the focused control with Tab (and so raises its LostFocus).
    void tabOut();
    // Clicks a widget at a point (its centre by default).
    void click(QWidget *widget, QPoint pos = QPoint());
    void clickCell(GridControl *grid, qint32 row, qint32 col);
    // Clicks a check box or option button on its box, wherever its layout stretched it.
    void clickBox(QWidget *button);
    // Opens a drop-down list and clicks the entry with that text; false when there is none.
    bool choose(ComboBox *list, const QString &entry);

    bool validate() { return m_page ? pageBase()->raiseValidate() : false; }
    void save() { pageBase()->raiseSave(); }

    int dirtyCount() const { return m_dirty; }
    void resetDirty() { m_dirty = 0; }
    const CollectionPtr &context() const { return m_context; }
    PageHost &host() const { return m_host; }

    // PageSite
    CollectionPtr businessContext() const override { return m_context; }
    ServiceWindow *window() const override { return const_cast<EditorHarness *>(this); }
    void markDirty(PageBase *) override { ++m_dirty; }

    // ServiceWindow
    bool WasCancelled() const override { return false; }
    QString Title() const override { return m_title; }
    void SetTitle(const QString &title) override { m_title = title; }
    void SetButtonEnabled(qint32, bool) override {}
    bool IsButtonEnabled(qint32) const override { return true; }
    void ExecuteCommand(qint32) override {}
    PageList Pages() const override { return PageList{1}; }
    void Refresh() override {}
    void Proceed() override {}

private:
    PageBase *pageBase() const;

    PageHost &m_host;
    std::unique_ptr<QWidget> m_window;
    AnalysisParamPage *m_page = nullptr;
    CollectionPtr m_context;
    QString m_title;
    int m_dirty = 0;
};

// A copy of the default set under another name, editable, with fill() applied before it is stored.
AnalysisParameterPtr storeCopyOfDefault(PageHost &host, const QString &name,
                                        const std::function<void(FragAnalysisParam &)> &fill = {});

// The seed of a generated test: VELTRANE_TEST_SEED when set, a fresh one otherwise. Failures print it
// so a run can be repeated.
quint32 testSeed();

} // namespace veltrane::test
