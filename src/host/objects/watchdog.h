#pragma once

// Internal to the store: ends the wait for a database server that stopped answering. A server whose
// process is stopped still accepts what is sent (its machine answers for it), so neither keep-alive
// probes nor the server's own statement timeout end the wait; shutting the connection's socket down
// does, and the statement then fails.

#include <QtGlobal>
#include <memory>

namespace veltrane::host {

class WatchdogGuard
{
public:
    // Watches the socket until the guard goes; timeoutMs <= 0 watches nothing.
    WatchdogGuard(int socket, int timeoutMs);
    ~WatchdogGuard();
    WatchdogGuard(const WatchdogGuard &) = delete;
    WatchdogGuard &operator=(const WatchdogGuard &) = delete;

    // Whether the deadline passed and the socket was shut down.
    bool fired() const;

private:
    quint64 m_id = 0;
    std::shared_ptr<bool> m_fired;
};

} // namespace veltrane::host
