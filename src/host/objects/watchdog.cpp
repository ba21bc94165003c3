#include "host/objects/watchdog.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <sys/socket.h>
#include <thread>

namespace veltrane::host {

namespace {

using Clock = std::chrono::steady_clock;

// One thread for the whole program, started by the first guard; it sleeps until the nearest deadline.
class Watchdog
{
public:
    static Watchdog &instance()
    {
        static Watchdog watchdog;
        return watchdog;
    }

    quint64 arm(int socket, int timeoutMs, std::shared_ptr<bool> fired)
    {
        std::lock_guard lock(m_mutex);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { watch(); });
        const quint64 id = ++m_serial;
        m_armed.emplace(id, Entry{Clock::now() + std::chrono::milliseconds(timeoutMs), socket, std::move(fired)});
        m_wake.notify_one();
        return id;
    }

    void disarm(quint64 id)
    {
        std::lock_guard lock(m_mutex);
        m_armed.erase(id);
    }

    bool fired(const std::shared_ptr<bool> &flag)
    {
        std::lock_guard lock(m_mutex);
        return *flag;
    }

    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
            m_wake.notify_one();
        }
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    struct Entry
    {
        Clock::time_point deadline;
        int socket;
        std::shared_ptr<bool> fired;
    };

    void watch()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            auto next = Clock::time_point::max();
            const auto now = Clock::now();
            for (auto it = m_armed.begin(); it != m_armed.end();) {
                if (it->second.deadline <= now) {
                    ::shutdown(it->second.socket, SHUT_RDWR);
                    *it->second.fired = true;
                    it = m_armed.erase(it);
                } else {
                    next = std::min(next, it->second.deadline);
                    ++it;
                }
            }
            if (next == Clock::time_point::max())
                m_wake.wait(lock);
            else
                m_wake.wait_until(lock, next);
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::map<quint64, Entry> m_armed;
    quint64 m_serial = 0;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace

WatchdogGuard::WatchdogGuard(int socket, int timeoutMs)
{
    if (socket < 0 || timeoutMs <= 0)
        return;
    m_fired = std::make_shared<bool>(false);
    m_id = Watchdog::instance().arm(socket, timeoutMs, m_fired);
}

WatchdogGuard::~WatchdogGuard()
{
    if (m_id)
        Watchdog::instance().disarm(m_id);
}

bool WatchdogGuard::fired() const
{
    return m_fired && Watchdog::instance().fired(m_fired);
}

} // namespace veltrane::host
