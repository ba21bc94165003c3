#pragma once

#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace veltrane::host {

// One flow: the pages its window shows, in order, and the commands the window offers.
struct FlowDefinition
{
    QString name;
    QStringList pages; // page class names, as the page factory knows them
    // Command numbers offered as buttons. Empty: the standard set, i.e. commit and Cancel, plus
    // Back and Next when the flow has more than one page (Save As is added by option 4 = 3).
    QList<qint32> commands;
    QString title;                   // the window's title until a page sets one; empty: the flow name
    QHash<qint32, QString> captions; // button captions replacing the standard ones
};

// Creates a page widget by class name; answers null for a class it does not know. The page must
// implement veltrane::IPageAccess.
using PageFactory = std::function<QWidget *(const QString &className)>;

// The process-wide table of flows and the page factory, filled by the application at start (and by
// tests). Flow names compare without regard to case.
class FlowRegistry
{
public:
    static FlowRegistry &instance();

    void registerFlow(FlowDefinition flow);
    void registerFlow(const QString &name, const QStringList &pages, const QList<qint32> &commands = {},
                      const QString &title = {});
    bool unregisterFlow(const QString &name);
    bool contains(const QString &name) const;
    std::optional<FlowDefinition> flow(const QString &name) const;
    QStringList flowNames() const;

    void setPageFactory(PageFactory factory);
    PageFactory pageFactory() const;

    // Forgets every flow and the page factory.
    void clear();

private:
    FlowRegistry() = default;

    mutable QMutex m_mutex;
    QHash<QString, FlowDefinition> m_flows; // by case-folded name
    PageFactory m_factory;
};

} // namespace veltrane::host
