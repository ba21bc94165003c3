#include "platform/forms/tab_control.h"

#include "platform/runtime_errors.h"

#include <QFrame>
#include <QGridLayout>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace veltrane {

TabControl::TabControl(QWidget *parent)
    : QWidget(parent)
    , FormControl(this, buttonFaceScheme())
    , m_bar(new QTabBar(this))
    , m_body(new QFrame(this))
    , m_bodyLayout(new QGridLayout(m_body))
{
    m_bar->setObjectName(QStringLiteral("tabs"));
    m_bar->setExpanding(true);
    m_bar->setUsesScrollButtons(false); // all tabs stay in one row
    m_bar->setDrawBase(false);
    m_body->setObjectName(QStringLiteral("body"));
    m_body->setFrameShape(QFrame::StyledPanel);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_bar);
    layout->addWidget(m_body, 1);
    connect(m_bar, &QTabBar::currentChanged, this, [this](int index) {
        const int previous = m_current;
        m_current = index;
        if (m_tabPages && index >= 0 && index < m_pageOfTab.size() && m_pageOfTab.at(index))
            m_tabPages->setCurrentWidget(m_pageOfTab.at(index));
        // The first tab becoming current as tabs are added is no selection.
        if (previous >= 0 && index != previous)
            emit Click(previous);
    });
}

int TabControl::AddTab(const QString &caption)
{
    return m_bar->addTab(caption);
}

int TabControl::Tabs() const
{
    return m_bar->count();
}

int TabControl::Tab() const
{
    return m_bar->currentIndex();
}

void TabControl::setTab(int index)
{
    if (index < 0 || index >= m_bar->count())
        throw ControlError(kInvalidPropertyValue, objectName());
    m_bar->setCurrentIndex(index);
}

QString TabControl::TabCaption(int index) const
{
    return m_bar->tabText(index);
}

void TabControl::SetTabCaption(int index, const QString &caption)
{
    if (index < 0 || index >= m_bar->count())
        throw ControlError(kInvalidPropertyArrayIndex, objectName());
    m_bar->setTabText(index, caption);
}

bool TabControl::TabEnabled(int index) const
{
    return m_bar->isTabEnabled(index);
}

void TabControl::SetTabEnabled(int index, bool enabled)
{
    if (index < 0 || index >= m_bar->count())
        throw ControlError(kInvalidPropertyArrayIndex, objectName());
    m_bar->setTabEnabled(index, enabled);
}

QWidget *TabControl::body() const
{
    return m_body;
}

void TabControl::addContent(QWidget *content)
{
    m_bodyLayout->addWidget(content, 0, 0);
}

QWidget *TabControl::tabPage(int index)
{
    if (index < 0 || index >= m_bar->count())
        throw ControlError(kInvalidPropertyArrayIndex, objectName());
    if (!m_tabPages) {
        // One stack for all tab areas: it is as large as the largest, so switching tabs never
        // resizes the window.
        m_tabPages = new QStackedWidget(m_body);
        m_tabPages->setObjectName(QStringLiteral("tabPages"));
        m_bodyLayout->addWidget(m_tabPages, 0, 0);
    }
    while (m_pageOfTab.size() <= index)
        m_pageOfTab.append(nullptr);
    if (!m_pageOfTab.at(index)) {
        auto *page = new QWidget;
        page->setObjectName(QStringLiteral("tabPage(%1)").arg(index));
        m_tabPages->addWidget(page);
        m_pageOfTab[index] = page;
        if (index == Tab())
            m_tabPages->setCurrentWidget(page);
    }
    return m_pageOfTab.at(index);
}

void TabControl::changeEvent(QEvent *event)
{
    colorEvent(event);
    QWidget::changeEvent(event);
}

} // namespace veltrane
