#include "veltrane/contracts/page_framework.h"

#include <QComboBox>

namespace veltrane {

PageBase::PageBase(QObject *parent)
    : QObject(parent)
{}

PageBase::~PageBase() = default;

CollectionPtr PageBase::BusinessContext() const
{
    return m_site ? m_site->businessContext() : CollectionPtr();
}

ServiceWindow *PageBase::Window() const
{
    ServiceWindow *w = m_site ? m_site->window() : nullptr;
    if (!w)
        throw Error(kPageNotAdopted, QStringLiteral("PageBase"), QStringLiteral("The page is not shown in a window."));
    return w;
}

void PageBase::MarkDirty()
{
    if (m_site)
        m_site->markDirty(this);
}

void PageBase::attach(PageSite *site)
{
    m_site = site;
}

void PageBase::detach()
{
    m_site = nullptr;
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

ServiceBase::ServiceBase(QObject *parent)
    : QObject(parent)
{}

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
