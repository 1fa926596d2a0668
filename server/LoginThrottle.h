#pragma once

#include "server/SessionStore.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>

#include <chrono>
#include <deque>
#include <list>
#include <mutex>

namespace VPanel::Server {

// Limits password guessing per client: failuresAllowed failed logins within `window`, then
// refused until the oldest of them leaves the window. An IPv6 client counts by its /64 network,
// which one host usually holds whole. Remembers at most `capacity` clients, dropping the one whose
// last failure is oldest. Thread-safe.
class LoginThrottle {
public:
    using Clock = SessionStore::Clock;
    static constexpr int failuresAllowed = 5;
    static constexpr auto window = std::chrono::minutes(1);
    static constexpr std::size_t capacity = 10000;

    explicit LoginThrottle(Clock clock = std::chrono::steady_clock::now);

    bool refuses(const QHostAddress& client);
    void recordFailure(const QHostAddress& client);
    std::size_t clientsRemembered();

private:
    struct Client {
        std::deque<std::chrono::steady_clock::time_point> failures; // at most failuresAllowed
        std::list<QByteArray>::iterator recency;
    };

    static QByteArray keyOf(const QHostAddress& client);
    void forget(QHash<QByteArray, Client>::iterator client);

    Clock m_clock;
    std::mutex m_mutex;
    QHash<QByteArray, Client> m_clients;
    std::list<QByteArray> m_recency; // most recent failure first
};

} // namespace VPanel::Server
