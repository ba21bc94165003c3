#include "veltrane/contracts/page_framework.h"

#include <QComboBox>

namespace veltrane {

PageBase::PageBase(QObject *parent) : QObject(parent) {}

PageBase::~PageBase() = default;

CollectionPtr PageBase::BusinessContext() const
{
    return m_site ? m_site->businessContext() : CollectionPtr();
}

ServiceWindow *PageBase::Window() const
{
    ServiceWindow *w = m_site ? m_site->window() : nullptr;
    if (!w)
        throw Error::objectNotSet(QStringLiteral("PageBase"), QStringLiteral("the page is not shown in a window"));
    return w;
}

void PageBase::MarkDirty()
{
    if (m_site)
        m_site->markDirty(this);
    emit dirtyMarked();
}

void PageBase::attach(PageSite *site)
{
    m_site = site;
}

void PageBase::detach()
{
    m_site = nullptr;
}

bool PageBase::handles(Event event) const
{
    switch (event) {
    case Event::Initialize:
        return bool(handlers.Initialize);
    case Event::Activate:
        return bool(handlers.Activate);
    case Event::Deactivate:
        return bool(handlers.Deactivate);
    case Event::Validate:
        return bool(handlers.Validate);
    case Event::Save:
        return bool(handlers.Save);
    case Event::OnExit:
        return bool(handlers.OnExit);
    case Event::CommandClick:
        return bool(handlers.CommandClick);
    }
    return false;
}

void PageBase::raiseInitialize(QObject *oLastPanePositions)
{
    if (handlers.Initialize)
        handlers.Initialize(oLastPanePositions);
}

void PageBase::raiseActivate()
{
    if (handlers.Activate)
        handlers.Activate();
}

void PageBase::raiseDeactivate()
{
    if (handlers.Deactivate)
        handlers.Deactivate();
}

bool PageBase::raiseValidate()
{
    bool valid = true;
    if (handlers.Validate)
        handlers.Validate(valid);
    return valid;
}

void PageBase::raiseSave()
{
    if (handlers.Save)
        handlers.Save();
}

void PageBase::raiseOnExit(ServiceWindow *window, bool wasCancelled)
{
    if (handlers.OnExit)
        handlers.OnExit(window, wasCancelled);
}

void PageBase::raiseCommandClick(qint32 command)
{
    if (handlers.CommandClick)
        handlers.CommandClick(command);
}

ServiceBase::ServiceBase(QObject *parent) : QObject(parent) {}

bool FrameworkUtilities::KeyExists(const KeyedCollection *collection, const QString &key) const
{
    return collection && collection->Contains(key);
}

bool FrameworkUtilities::SelectComboItem(QComboBox *comboBox, const QString &text)
{
    if (!comboBox)
        return false;
    const int index = comboBox->findText(text, Qt::MatchFixedString); // MatchFixedString ignores case
    if (index < 0)
        return false;
    // The form package's drop-down list raises its Click through ListIndex; a plain combo box
    // is simply moved to the entry.
    if (comboBox->metaObject()->indexOfProperty("ListIndex") >= 0)
        comboBox->setProperty("ListIndex", index);
    else
        comboBox->setCurrentIndex(index);
    return true;
}

} // namespace veltrane
