#pragma once

#include <QHostAddress>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <chrono>
#include <memory>

namespace VPanel::Server {

struct TlsFiles {
    QString certificate; // PEM, the server's certificate first, then any chain
    QString privateKey;  // PEM
};

// Connections open at once, what each may have unread, and how long one may stay without
// traffic: a peer that sends forever, never finishes a request or never reads cannot hold the
// server's memory or its sockets. At the bound a newcomer takes the place of the oldest connection
// never answered. Sockets of the pages are kept alive by the hub's pings.
struct ConnectionBounds {
    int maxConnections = 512;
    qint64 readBufferBytes = 96 * 1024;
    std::chrono::milliseconds idleLimit = std::chrono::seconds(90);
};

// A whole request came on `socket`: it no longer makes way for newcomers at the bound.
void markServed(QTcpSocket* socket);

// For a connection upgraded to a page's socket, whose owner checks it is alive by its own pings.
void endIdleLimit(QTcpSocket* connection);

// Listens on `address`:`port` (0 picks a free port), with TLS when `tls` names the files.
// Throws ServerException saying what failed: the address, the port in use, a file unreadable
// or not PEM, a key that does not match the certificate.
std::unique_ptr<QTcpServer> openListener(const QHostAddress& address, quint16 port, const TlsFiles* tls,
                                         ConnectionBounds bounds = {});

} // namespace VPanel::Server
