#pragma once

#include "platform/forms/control_array.h"
#include "platform/forms/label.h"
#include "veltrane/contracts/error_trap.h"
#include "veltrane/contracts/page_framework.h"

#include <QGridLayout>
#include <QObject>
#include <QString>
#include <QWidget>
#include <initializer_list>
#include <utility>

namespace veltrane {

// What the library's pages and controls share: their class name in error reports, handlers wired to
// events in one line, and named controls made in one line.
//
// A procedure with an error trap wraps its own body, so that its procedure text and ending stand
// next to it, where a reader checks them:
//
//     void SelectParamPage::cmdNew_Click()
//     {
//         guard(ReportAndStop, "cmdNew_Click", [&] { ... });
//     }
//
// and its wiring is one line among the others:
//
//     on(cmdNew, &CommandButton::Click, &SelectParamPage::cmdNew_Click);
//
// A procedure without a trap simply has no guard, and its failures reach its caller. A class using
// the kit declares it a friend (the kit reaches the handlers and m_oPageBase).
template <class Self> class PageKit
{
protected:
    static constexpr Ending Propagate = Ending::Propagate;
    static constexpr Ending ReportAndStop = Ending::ReportAndStop;
    static constexpr Ending ReportOnly = Ending::ReportOnly;

    explicit PageKit(const char *className)
        : m_className(className)
    {}

    const char *className() const { return m_className; }

    // Runs body under the error trap of this class's procedure `procedure`.
    template <class F> decltype(auto) guard(Ending ending, const char *procedure, F &&body) const
    {
        return trap(ending, m_className, procedure, std::forward<F>(body));
    }

    // Raises an application-defined error of this class (source: the class name unless given).
    [[noreturn]] void fail(const QString &description, const QString &source = {}) const
    {
        throw Error(kApplicationError, source.isEmpty() ? QString::fromLatin1(m_className) : source, description);
    }

    // The business context of the page's flow; a page no framework has adopted has none, which is
    // a clear error rather than a null to trip over.
    CollectionPtr requireContext()
    {
        CollectionPtr context = self()->m_oPageBase ? self()->m_oPageBase->BusinessContext() : CollectionPtr();
        if (!context)
            throw Error(kPageNotAdopted, QString::fromLatin1(m_className),
                        QStringLiteral("The page is not shown in a flow, so it has no business context."));
        return context;
    }

    // A control's event to a member handler (the handler may take fewer arguments than the event).
    template <class Control, class Signal, class Handler> void on(Control *control, Signal signal, Handler handler)
    {
        QObject::connect(control, signal, self(), handler);
    }

    // An event of every member of a control array to one handler that takes the member's index first.
    template <class Control, class Signal, class R, class... Args>
    void on(const ControlArray<Control> &array, Signal signal, R (Self::*handler)(int, Args...))
    {
        Self *page = self();
        array.connect(signal, page,
                      [page, handler](auto &&...args) { (page->*handler)(std::forward<decltype(args)>(args)...); });
    }

    // A framework event of the page's PageBase to a member handler.
    template <class R, class... Args, class Handler> void handle(std::function<R(Args...)> &event, Handler handler)
    {
        Self *page = self();
        event = [page, handler](Args... args) -> R { return (page->*handler)(std::forward<Args>(args)...); };
    }

    // A named control; captioned controls get their caption too.
    template <class T> static T *make(QWidget *parent, const QString &name, const QString &caption = {})
    {
        T *control = new T(parent);
        control->setObjectName(name);
        if constexpr (requires { control->setCaption(caption); }) {
            if (!caption.isNull())
                control->setCaption(caption);
        }
        return control;
    }

    // Member `index` of a control array, named "base(index)".
    template <class T> static T *make(QWidget *parent, ControlArray<T> &array, int index, const QString &caption = {})
    {
        T *control = array.add(index, make<T>(parent, QString(), caption));
        return control;
    }

    // The next row of a grid layout: a caption label and the given fields beside it. The caption's
    // buddy is the first field, so a click on the caption or its access key reaches the field.
    static Label *addRow(QGridLayout *grid, const QString &caption, std::initializer_list<QWidget *> fields)
    {
        const int row = grid->rowCount();
        auto *label = new Label(caption, grid->parentWidget());
        label->setWordWrap(false);
        int column = 1;
        for (QWidget *field : fields) {
            if (column == 1) {
                label->setObjectName(field->objectName() + QStringLiteral("Caption"));
                label->setBuddy(field);
            }
            grid->addWidget(field, row, column++);
        }
        grid->addWidget(label, row, 0);
        return label;
    }

private:
    Self *self() { return static_cast<Self *>(this); }

    const char *m_className;
};

} // namespace veltrane
