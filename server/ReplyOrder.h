#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QTcpSocket>

#include <cstdint>
#include <deque>
#include <optional>

namespace VPanel::Server {

// Replies on one connection leave in the order of its requests, though some are ready only
// later (a password checked on another thread): the ones behind a late reply wait for it.
class ReplyOrder {
public:
    using Ticket = std::uint64_t;

    // Whether replies on `socket` wait for a late one.
    bool waiting(QTcpSocket* socket) const { return m_queues.contains(socket); }
    // A place for a reply that comes later.
    Ticket reserve(QTcpSocket* socket);
    // The reply for `ticket`, written with any ready behind it; nothing when the socket is gone.
    void fill(QTcpSocket* socket, Ticket ticket, const QByteArray& bytes);
    // A reply ready now, written at once or behind the late ones.
    void add(QTcpSocket* socket, const QByteArray& bytes);
    // The client asked to close the connection after the reply to its last request: the socket
    // is closed once the replies so far are written, and no later request is answered.
    void closeAfterReplies(QTcpSocket* socket);
    bool closing(QTcpSocket* socket) const;

private:
    struct Reply {
        Ticket ticket;
        std::optional<QByteArray> bytes;
        bool last = false;
    };
    void flush(QTcpSocket* socket);

    Ticket m_nextTicket = 0; // never reused, so a ticket of a socket gone matches no other
    QHash<QTcpSocket*, std::deque<Reply>> m_queues;
    QSet<QTcpSocket*> m_watched;
    QObject m_context; // ends the watching of sockets that outlive this
};

} // namespace VPanel::Server
