#pragma once

#include "server/Role.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <chrono>
#include <functional>
#include <list>
#include <mutex>
#include <optional>

namespace VPanel::Server {

// Logged-in browsers by their cookie's token. Bounded: a session idle for idleLimit is gone, and
// at capacity the least recently used one makes room. Thread-safe.
class SessionStore {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr auto idleLimit = std::chrono::hours(12);
    static constexpr std::size_t capacity = 4096;
    static constexpr int tokenBytes = 32;

    explicit SessionStore(Clock clock = std::chrono::steady_clock::now);

    struct Session {
        QString user;
        Role role;
    };

    // A new token: tokenBytes random bytes, base64url without padding.
    QByteArray create(const QString& user, Role role);
    // The token's session, which counts as used now; nothing for an unknown or expired token.
    std::optional<Session> find(const QByteArray& token);
    void remove(const QByteArray& token);
    void removeUser(const QString& user);

private:
    struct Entry {
        Session session;
        std::chrono::steady_clock::time_point lastUsed;
        std::list<QByteArray>::iterator recency;
    };

    void dropExpired(std::chrono::steady_clock::time_point now);
    void erase(QHash<QByteArray, Entry>::iterator entry);

    Clock m_clock;
    std::mutex m_mutex;
    QHash<QByteArray, Entry> m_sessions;
    std::list<QByteArray> m_recency; // most recently used first
};

} // namespace VPanel::Server
