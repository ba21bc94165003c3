#pragma once

#include <QAction>
#include <QMenu>
#include <functional>
#include <optional>

namespace veltrane {

// One entry of a pop-up menu, named like any control (e.g. "mnuAdd"). A caption of "-" makes it a
// separator line. Click is raised when the user chooses the entry, or when code calls Trigger();
// like a chosen entry, a disabled or hidden one does nothing.
class MenuItem : public QAction
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(bool Visible READ isVisible WRITE setVisible)
    Q_PROPERTY(bool Checked READ isChecked WRITE setItemChecked)
public:
    MenuItem(const QString &name, const QString &caption, QObject *parent = nullptr);

    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    void setItemChecked(bool checked);

    // Chooses the entry as the user would.
    Q_INVOKABLE void Trigger();

signals:
    void Click();

private:
    QString m_caption;
};

// A named pop-up menu (e.g. "mnuSNPLocusColumn") with named entries. popup() shows it at the mouse
// pointer; a test installs a pop-up hook to see which menu would have appeared and choose an entry
// without a real menu.
class PopupMenu : public QMenu
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ title WRITE setTitle)
public:
    PopupMenu(const QString &name, const QString &caption, QWidget *parent = nullptr);

    // Adds an entry at the end ("-" as caption adds a separator).
    MenuItem *AddItem(const QString &name, const QString &caption);
    // The entry of that name, or null.
    MenuItem *item(const QString &name) const;
    QList<MenuItem *> items() const;

    // Shows the menu at the mouse pointer (at the anchor while a KeyboardAnchor lives) and returns
    // at once; the chosen entry raises its Click.
    void popup();
    using QMenu::popup;

    // A menu asked for from the keyboard opens where the user is working, not where the mouse
    // happens to rest: while one of these lives, popup() shows menus at its point (global).
    class KeyboardAnchor
    {
    public:
        explicit KeyboardAnchor(QPoint global);
        ~KeyboardAnchor();
        KeyboardAnchor(const KeyboardAnchor &) = delete;
        KeyboardAnchor &operator=(const KeyboardAnchor &) = delete;

    private:
        std::optional<QPoint> m_previous;
    };

    // While a hook is installed, popup() calls it instead of showing the menu.
    using PopupHook = std::function<void(PopupMenu *menu)>;
    static void setPopupHook(PopupHook hook);
};

} // namespace veltrane
