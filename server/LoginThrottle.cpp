#include "server/LoginThrottle.h"

namespace VPanel::Server {

LoginThrottle::LoginThrottle(Clock clock) : m_clock(std::move(clock)) {}

QByteArray LoginThrottle::keyOf(const QHostAddress& client)
{
    bool isIPv4 = false;
    const quint32 ipv4 = client.toIPv4Address(&isIPv4); // also an IPv4-mapped IPv6 address
    if (isIPv4)
        return QByteArray(reinterpret_cast<const char*>(&ipv4), sizeof ipv4);
    const Q_IPV6ADDR ipv6 = client.toIPv6Address();
    return QByteArray(1, '6') + QByteArray(reinterpret_cast<const char*>(ipv6.c), 8);
}

bool LoginThrottle::refuses(const QHostAddress& client)
{
    const std::lock_guard lock(m_mutex);
    const auto found = m_clients.find(keyOf(client));
    if (found == m_clients.end())
        return false;
    const auto since = m_clock() - window;
    auto& failures = found->failures;
    while (!failures.empty() && failures.front() <= since)
        failures.pop_front();
    if (failures.empty()) {
        forget(found);
        return false;
    }
    return static_cast<int>(failures.size()) >= failuresAllowed;
}

void LoginThrottle::recordFailure(const QHostAddress& client)
{
    const std::lock_guard lock(m_mutex);
    const auto now = m_clock();
    const QByteArray key = keyOf(client);
    auto found = m_clients.find(key);
    if (found == m_clients.end()) {
        // The back holds the client whose last failure is oldest: expired ones first, else the
        // one least worth remembering.
        while (!m_recency.empty() &&
               (m_clients.size() >= static_cast<qsizetype>(capacity) ||
                m_clients.constFind(m_recency.back())->failures.back() <= now - window))
            forget(m_clients.find(m_recency.back()));
        m_recency.push_front(key);
        found = m_clients.insert(key, Client{{}, m_recency.begin()});
    } else {
        m_recency.splice(m_recency.begin(), m_recency, found->recency);
    }
    found->failures.push_back(now);
    if (static_cast<int>(found->failures.size()) > failuresAllowed)
        found->failures.pop_front();
}

std::size_t LoginThrottle::clientsRemembered()
{
    const std::lock_guard lock(m_mutex);
    return static_cast<std::size_t>(m_clients.size());
}

void LoginThrottle::forget(QHash<QByteArray, Client>::iterator client)
{
    m_recency.erase(client->recency);
    m_clients.erase(client);
}

} // namespace VPanel::Server
