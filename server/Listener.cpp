#include "server/Listener.h"

#include "server/HttpReply.h"
#include "server/Role.h"

#include <QFile>
#include <QPointer>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <list>

namespace VPanel::Server {

namespace {
constexpr qint64 maxPemBytes = 1024 * 1024;

QByteArray readPem(const QString& path, const char* what)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ServerException(QStringLiteral("cannot read the %1 %2: %3").arg(QLatin1String(what), path, file.errorString()).toStdWString());
    const QByteArray pem = file.read(maxPemBytes + 1);
    if (pem.size() > maxPemBytes)
        throw ServerException(QStringLiteral("the %1 %2 is larger than 1 MiB").arg(QLatin1String(what), path).toStdWString());
    return pem;
}

const char servedProperty[] = "vpanel_served";
const char unservedProperty[] = "vpanel_unserved_bytes";
const QString idleTimerName = QStringLiteral("vpanel_idle");

// Counts the open connections and guards each one. At the bound the oldest connection that never
// brought a whole request makes way for the newcomer: peers that open sockets and never finish a
// request (or a TLS handshake) would otherwise lock every other client out while they trickle bytes.
// Sockets are followed by QPointer: an upgrade to a page's socket disconnects their signals.
class Guard {
public:
    explicit Guard(ConnectionBounds bounds) : m_bounds(bounds) {}

    bool admit()
    {
        m_open.remove_if([](const QPointer<QTcpSocket>& each) { return each.isNull(); });
        if (static_cast<int>(m_open.size()) < m_bounds.maxConnections)
            return true;
        const auto waiting = std::find_if(m_open.begin(), m_open.end(), [](const QPointer<QTcpSocket>& each) {
            return !each->property(servedProperty).toBool();
        });
        if (waiting == m_open.end())
            return false;
        QTcpSocket* evicted = *waiting;
        m_open.erase(waiting);
        evicted->abort();
        return true;
    }

    void watch(QTcpSocket* socket)
    {
        socket->setReadBufferSize(m_bounds.readBufferBytes);
        // A screen change is a small message a page waits for: not held back to fill a segment
        // while the page's acknowledgement of the last one is delayed.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_open.emplace_back(socket);
        auto* idle = new QTimer(socket);
        idle->setObjectName(idleTimerName);
        idle->setSingleShot(true);
        idle->start(m_bounds.idleLimit);
        QObject::connect(idle, &QTimer::timeout, socket, &QAbstractSocket::abort);
        QObject::connect(socket, &QIODevice::readyRead, idle, qOverload<>(&QTimer::start));
        QObject::connect(socket, &QIODevice::bytesWritten, idle, qOverload<>(&QTimer::start));
        // A request is read whole before it is answered, so one larger than the read buffer
        // would wait, unanswered, for the idle limit. Bytes are counted as they come and the
        // count starts again at each request taken (which may leave a request's first bytes
        // uncounted: never a request refused that fits).
        QObject::connect(socket, &QIODevice::readyRead, socket, [socket] {
            socket->setProperty(unservedProperty, socket->property(unservedProperty).toLongLong() + socket->bytesAvailable());
        });
        QObject::connect(socket, &QIODevice::readyRead, socket, [socket, limit = m_bounds.readBufferBytes] {
            if (socket->property(unservedProperty).toLongLong() < limit || !socket->isTransactionStarted()
                || socket->state() != QAbstractSocket::ConnectedState)
                return;
            QHttpServerResponse tooLarge = Http::error(Http::Status::PayloadTooLarge, QStringLiteral("request too large"));
            tooLarge.setHeader("Connection", "close");
            socket->write(Http::wire(tooLarge, true));
            socket->disconnectFromHost();
        }, Qt::QueuedConnection);
    }

private:
    ConnectionBounds m_bounds;
    std::list<QPointer<QTcpSocket>> m_open; // oldest first
};

class PlainServer : public QTcpServer {
public:
    explicit PlainServer(ConnectionBounds bounds) : m_guard(bounds) {}

protected:
    void incomingConnection(qintptr descriptor) override
    {
        if (!m_guard.admit()) {
            ::close(static_cast<int>(descriptor));
            return;
        }
        auto* socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        m_guard.watch(socket);
        addPendingConnection(socket);
    }

private:
    Guard m_guard;
};

class TlsServer : public QSslServer {
public:
    explicit TlsServer(ConnectionBounds bounds) : m_guard(bounds)
    {
        connect(this, &QSslServer::startedEncryptionHandshake, this, [this](QSslSocket* socket) { m_guard.watch(socket); });
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        if (!m_guard.admit()) {
            ::close(static_cast<int>(descriptor));
            return;
        }
        QSslServer::incomingConnection(descriptor);
    }

private:
    Guard m_guard;
};

std::unique_ptr<QTcpServer> tlsServer(const TlsFiles& tls, ConnectionBounds bounds)
{
    const QList<QSslCertificate> chain = QSslCertificate::fromData(readPem(tls.certificate, "certificate"), QSsl::Pem);
    if (chain.isEmpty())
        throw ServerException(QStringLiteral("%1 holds no PEM certificate").arg(tls.certificate).toStdWString());
    const QByteArray keyPem = readPem(tls.privateKey, "key");
    QSslKey key;
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa})
        if (key.isNull())
            key = QSslKey(keyPem, algorithm, QSsl::Pem);
    if (key.isNull())
        throw ServerException(QStringLiteral("%1 holds no unencrypted PEM private key").arg(tls.privateKey).toStdWString());
    if (chain.first().publicKey().algorithm() != key.algorithm())
        throw ServerException(QStringLiteral("the key in %1 is not of the certificate's kind").arg(tls.privateKey).toStdWString());

    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(chain.first());
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(key);
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    auto server = std::make_unique<TlsServer>(bounds);
    server->setSslConfiguration(configuration);
    return server;
}
} // namespace

void markServed(QTcpSocket* socket)
{
    socket->setProperty(servedProperty, true);
    socket->setProperty(unservedProperty, 0);
}

void endIdleLimit(QTcpSocket* connection)
{
    for (QTimer* idle : connection->findChildren<QTimer*>(idleTimerName, Qt::FindDirectChildrenOnly))
        delete idle;
}

std::unique_ptr<QTcpServer> openListener(const QHostAddress& address, quint16 port, const TlsFiles* tls, ConnectionBounds bounds)
{
    std::unique_ptr<QTcpServer> server = tls ? tlsServer(*tls, bounds) : std::make_unique<PlainServer>(bounds);
    if (!server->listen(address, port))
        throw ServerException(QStringLiteral("cannot listen on %1 port %2: %3")
                                  .arg(address.toString())
                                  .arg(port)
                                  .arg(server->errorString())
                                  .toStdWString());
    return server;
}

} // namespace VPanel::Server
