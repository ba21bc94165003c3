#pragma once

#include "veltrane/contracts/page_framework.h"

#include <QStringList>
#include <QWidget>
#include <functional>

namespace veltrane::test {

// A page that writes every framework event it receives into a shared log ("A:Validate", ...) and
// lets a test decide its answers: refuse Validate, fail an event, act from an event.
class RecordingPage : public QWidget, public IPageAccess
{
public:
    RecordingPage(QString name, QStringList *log)
        : m_name(std::move(name))
        , m_log(log)
    {
        setObjectName(m_name);
        resize(320, 200);
        auto &h = m_base.handlers;
        h.Initialize = [this](QObject *) {
            event(QStringLiteral("Initialize"));
            if (onInitialize)
                onInitialize(*this);
        };
        h.Activate = [this] {
            event(QStringLiteral("Activate"));
            if (onActivate)
                onActivate(*this);
        };
        h.Deactivate = [this] { event(QStringLiteral("Deactivate")); };
        h.Validate = [this](bool &valid) {
            event(QStringLiteral("Validate"));
            if (refusals > 0) {
                --refusals;
                valid = false;
            }
        };
        h.Save = [this] {
            event(QStringLiteral("Save"));
            if (onSave)
                onSave(*this);
        };
        h.OnExit = [this](ServiceWindow *window, bool cancelled) {
            exitWindow = window;
            event(QStringLiteral("OnExit(%1)").arg(cancelled ? 1 : 0));
        };
        h.CommandClick = [this](qint32 command) {
            event(QStringLiteral("CommandClick(%1)").arg(command));
            if (onCommand)
                onCommand(*this, command);
        };
    }

    PageBase *Page() override { return &m_base; }
    PageBase &base() { return m_base; }

    int refusals = 0; // how many Validate calls still answer false
    QString failOn;   // the event that raises an Error
    std::function<void(RecordingPage &)> onInitialize;
    std::function<void(RecordingPage &)> onActivate;
    std::function<void(RecordingPage &)> onSave;
    std::function<void(RecordingPage &, qint32)> onCommand;
    ServiceWindow *exitWindow = nullptr;

    void event(const QString &what)
    {
        if (m_log)
            m_log->append(m_name + QLatin1Char(':') + what);
        if (what.startsWith(failOn) && !failOn.isEmpty())
            throw Error(kApplicationError, m_name, QStringLiteral("%1 failed").arg(what));
    }

private:
    PageBase m_base{this};
    QString m_name;
    QStringList *m_log;
};

} // namespace veltrane::test
