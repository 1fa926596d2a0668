#include "server/ReplyOrder.h"

#include <algorithm>

namespace VPanel::Server {

ReplyOrder::Ticket ReplyOrder::reserve(QTcpSocket* socket)
{
    if (!m_watched.contains(socket)) {
        m_watched.insert(socket);
        // Watched through a child: taking the socket over for a page drops the socket's own signals.
        QObject::connect(new QObject(socket), &QObject::destroyed, &m_context, [this, socket] {
            m_queues.remove(socket);
            m_watched.remove(socket);
        });
    }
    const Ticket ticket = m_nextTicket++;
    m_queues[socket].push_back({ticket, std::nullopt});
    return ticket;
}

void ReplyOrder::fill(QTcpSocket* socket, Ticket ticket, const QByteArray& bytes)
{
    const auto queue = m_queues.find(socket);
    if (queue == m_queues.end())
        return;
    const auto reply = std::find_if(queue->begin(), queue->end(), [ticket](const Reply& each) { return each.ticket == ticket; });
    if (reply == queue->end())
        return;
    reply->bytes = bytes;
    flush(socket);
}

void ReplyOrder::add(QTcpSocket* socket, const QByteArray& bytes)
{
    const auto queue = m_queues.find(socket);
    if (queue == m_queues.end()) {
        socket->write(bytes);
        return;
    }
    queue->push_back({m_nextTicket++, bytes});
}

void ReplyOrder::closeAfterReplies(QTcpSocket* socket)
{
    const auto queue = m_queues.find(socket);
    if (queue == m_queues.end())
        socket->disconnectFromHost();
    else
        queue->back().last = true;
}

bool ReplyOrder::closing(QTcpSocket* socket) const
{
    const auto queue = m_queues.find(socket);
    return socket->state() != QAbstractSocket::ConnectedState || (queue != m_queues.end() && queue->back().last);
}

void ReplyOrder::flush(QTcpSocket* socket)
{
    const auto queue = m_queues.find(socket);
    while (!queue->empty() && queue->front().bytes) {
        socket->write(*queue->front().bytes);
        const bool last = queue->front().last;
        queue->pop_front();
        if (last) {
            // Written before the socket closes: the close waits for what is still to go out.
            socket->disconnectFromHost();
            queue->clear();
        }
    }
    if (queue->empty())
        m_queues.erase(queue);
}

} // namespace VPanel::Server
