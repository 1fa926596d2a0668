#include "server/SessionStore.h"

#include "server/Sodium.h"

#include <sodium.h>

namespace VPanel::Server {

SessionStore::SessionStore(Clock clock) : m_clock(std::move(clock)) { initialiseSodium(); }

QByteArray SessionStore::create(const QString& user, Role role)
{
    QByteArray random(tokenBytes, '\0');
    randombytes_buf(random.data(), static_cast<std::size_t>(random.size()));
    const QByteArray token = random.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);

    const std::lock_guard lock(m_mutex);
    const auto now = m_clock();
    dropExpired(now);
    while (m_sessions.size() >= static_cast<qsizetype>(capacity))
        erase(m_sessions.find(m_recency.back()));
    m_recency.push_front(token);
    m_sessions.insert(token, Entry{Session{user, role}, now, m_recency.begin()});
    return token;
}

std::optional<SessionStore::Session> SessionStore::find(const QByteArray& token)
{
    const std::lock_guard lock(m_mutex);
    const auto entry = m_sessions.find(token);
    if (entry == m_sessions.end())
        return std::nullopt;
    const auto now = m_clock();
    if (now - entry->lastUsed >= idleLimit) {
        erase(entry);
        return std::nullopt;
    }
    entry->lastUsed = now;
    m_recency.splice(m_recency.begin(), m_recency, entry->recency);
    return entry->session;
}

void SessionStore::remove(const QByteArray& token)
{
    const std::lock_guard lock(m_mutex);
    const auto entry = m_sessions.find(token);
    if (entry != m_sessions.end())
        erase(entry);
}

void SessionStore::removeUser(const QString& user)
{
    const std::lock_guard lock(m_mutex);
    for (auto entry = m_sessions.begin(); entry != m_sessions.end();) {
        if (entry->session.user == user) {
            m_recency.erase(entry->recency);
            entry = m_sessions.erase(entry);
        } else {
            ++entry;
        }
    }
}

// The least recently used sit at the back: expired ones are found there without a full scan.
void SessionStore::dropExpired(std::chrono::steady_clock::time_point now)
{
    while (!m_recency.empty()) {
        const auto oldest = m_sessions.find(m_recency.back());
        if (now - oldest->lastUsed < idleLimit)
            break;
        erase(oldest);
    }
}

void SessionStore::erase(QHash<QByteArray, Entry>::iterator entry)
{
    m_recency.erase(entry->recency);
    m_sessions.erase(entry);
}

} // namespace VPanel::Server
