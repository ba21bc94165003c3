#include "host/framework/flow_registry.h"

#include <QMutexLocker>

namespace veltrane::host {

FlowRegistry &FlowRegistry::instance()
{
    static FlowRegistry registry;
    return registry;
}

void FlowRegistry::registerFlow(FlowDefinition flow)
{
    QMutexLocker lock(&m_mutex);
    const QString key = flow.name.toCaseFolded();
    m_flows.insert(key, std::move(flow));
}

void FlowRegistry::registerFlow(const QString &name, const QStringList &pages, const QList<qint32> &commands,
                                const QString &title)
{
    registerFlow(FlowDefinition{name, pages, commands, title, {}});
}

bool FlowRegistry::unregisterFlow(const QString &name)
{
    QMutexLocker lock(&m_mutex);
    return m_flows.remove(name.toCaseFolded()) > 0;
}

bool FlowRegistry::contains(const QString &name) const
{
    QMutexLocker lock(&m_mutex);
    return m_flows.contains(name.toCaseFolded());
}

std::optional<FlowDefinition> FlowRegistry::flow(const QString &name) const
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_flows.constFind(name.toCaseFolded());
    if (it == m_flows.constEnd())
        return std::nullopt;
    return *it;
}

QStringList FlowRegistry::flowNames() const
{
    QMutexLocker lock(&m_mutex);
    QStringList names;
    for (const FlowDefinition &flow : m_flows)
        names.append(flow.name);
    names.sort(Qt::CaseInsensitive);
    return names;
}

void FlowRegistry::setPageFactory(PageFactory factory)
{
    QMutexLocker lock(&m_mutex);
    m_factory = std::move(factory);
}

PageFactory FlowRegistry::pageFactory() const
{
    QMutexLocker lock(&m_mutex);
    return m_factory;
}

void FlowRegistry::clear()
{
    QMutexLocker lock(&m_mutex);
    m_flows.clear();
    m_factory = {};
}

} // namespace veltrane::host
