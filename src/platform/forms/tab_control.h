#pragma once

#include "platform/forms/form_control.h"

#include <QWidget>

class QFrame;
class QGridLayout;
class QStackedWidget;
class QTabBar;

namespace veltrane {

// A row of tabs over a content area. The tab control only reports which tab is current: the page
// decides which of its frames are visible (it typically hides all and shows the one of the current
// tab from its Click handler). Captions may carry "&" access keys (Alt+letter selects the tab).
//
// Click(previousTab) is raised whenever the current tab changes, whether the user selected it
// (mouse, access key, keyboard) or code set Tab; setting the tab that is already current raises
// nothing.
class TabControl : public QWidget, public FormControl
{
    Q_OBJECT
    Q_PROPERTY(int Tab READ Tab WRITE setTab)
    Q_PROPERTY(int Tabs READ Tabs)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    VELTRANE_FORM_CONTROL_PROPERTIES
public:
    explicit TabControl(QWidget *parent = nullptr);

    // Adds a tab at the end; answers its index. The first tab added becomes current (no Click).
    int AddTab(const QString &caption);
    int Tabs() const;

    int Tab() const;
    void setTab(int index); // an index that is no tab raises ControlError (380, invalid property value)

    Q_INVOKABLE QString TabCaption(int index) const;
    Q_INVOKABLE void SetTabCaption(int index, const QString &caption);
    Q_INVOKABLE bool TabEnabled(int index) const;
    Q_INVOKABLE void SetTabEnabled(int index, bool enabled);

    // The current tab's caption.
    QString Caption() const { return TabCaption(Tab()); }
    void setCaption(const QString &caption) { SetTabCaption(Tab(), caption); }

    // The area below the tabs. addContent() places a widget there; all contents share the area and
    // the page shows one at a time.
    QWidget *body() const;
    void addContent(QWidget *content);
    // A tab's own area: shown only while that tab is current, whatever the visibility of the
    // controls on it, as on a tab control that keeps each tab's controls apart. The controls keep
    // their own Visible flags, which the page sets as it likes. Answers the area (a plain widget).
    QWidget *tabPage(int index);

    QTabBar *tabBar() const { return m_bar; }

signals:
    void Click(int previousTab);

protected:
    void changeEvent(QEvent *event) override;

private:
    QTabBar *m_bar;
    QFrame *m_body;
    QGridLayout *m_bodyLayout;
    QStackedWidget *m_tabPages = nullptr;
    QList<QWidget *> m_pageOfTab;
    int m_current = -1;
};

} // namespace veltrane
