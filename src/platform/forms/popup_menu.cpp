#include "platform/forms/popup_menu.h"

#include <QCursor>

namespace veltrane {

namespace {

PopupMenu::PopupHook &popupHook()
{
    static PopupMenu::PopupHook hook; // UI thread only, like the menus themselves
    return hook;
}

} // namespace

MenuItem::MenuItem(const QString &name, const QString &caption, QObject *parent)
    : QAction(parent)
{
    setObjectName(name);
    setCaption(caption);
    connect(this, &QAction::triggered, this, &MenuItem::Click);
}

void MenuItem::setCaption(const QString &caption)
{
    m_caption = caption;
    const bool separator = caption == QLatin1String("-");
    setSeparator(separator);
    setText(separator ? QString() : caption);
}

void MenuItem::setItemChecked(bool checked)
{
    setCheckable(isCheckable() || checked);
    setChecked(checked);
}

void MenuItem::Trigger()
{
    if (isEnabled() && isVisible() && !isSeparator())
        trigger();
}

PopupMenu::PopupMenu(const QString &name, const QString &caption, QWidget *parent)
    : QMenu(caption, parent)
{
    setObjectName(name);
}

MenuItem *PopupMenu::AddItem(const QString &name, const QString &caption)
{
    auto *entry = new MenuItem(name, caption, this);
    addAction(entry);
    return entry;
}

MenuItem *PopupMenu::item(const QString &name) const
{
    return findChild<MenuItem *>(name, Qt::FindDirectChildrenOnly);
}

QList<MenuItem *> PopupMenu::items() const
{
    QList<MenuItem *> out;
    for (QAction *action : actions())
        if (auto *entry = qobject_cast<MenuItem *>(action))
            out.append(entry);
    return out;
}

namespace {

std::optional<QPoint> &keyboardAnchor()
{
    static std::optional<QPoint> anchor;
    return anchor;
}

} // namespace

PopupMenu::KeyboardAnchor::KeyboardAnchor(QPoint global)
    : m_previous(keyboardAnchor())
{
    keyboardAnchor() = global;
}

PopupMenu::KeyboardAnchor::~KeyboardAnchor()
{
    keyboardAnchor() = m_previous;
}

void PopupMenu::popup()
{
    if (const PopupHook &hook = popupHook()) {
        hook(this);
        return;
    }
    QMenu::popup(keyboardAnchor().value_or(QCursor::pos()));
}

void PopupMenu::setPopupHook(PopupHook hook)
{
    popupHook() = std::move(hook);
}

} // namespace veltrane
