#include "server/WebServer.h"

#include "server/Audit.h"
#include "server/HttpReply.h"
#include "server/Listener.h"
#include "server/StaticFiles.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QWebSocket>

namespace VPanel::Server {

namespace {
using Http::Status;

const QString socketPathPrefix = QStringLiteral("/ws/devices/");

bool isUpgrade(const QHttpServerRequest& request)
{
    return request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
}

bool isLogin(const QHttpServerRequest& request)
{
    return request.method() == QHttpServerRequest::Method::Post && request.url().path() == QLatin1String("/api/login");
}
} // namespace

WebServer::WebServer(Accounts accounts, std::vector<Host::KeptDevice*> devices, bool secure, QObject* parent)
    : QAbstractHttpServer(parent),
      m_accounts(accounts),
      m_devices(devices),
      m_secure(secure),
      m_hub(std::move(devices), [this](const QByteArray& token) { return m_accounts.sessions.find(token).has_value(); })
{
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &WebServer::adoptSocket);
    m_passwordChecks.setMaxThreadCount(1);
    (void)m_english.load(QStringLiteral(":/Resources/eng.qm"));
}

Host::KeptDevice* WebServer::device(const QString& name) const
{
    for (Host::KeptDevice* each : m_devices)
        if (QString::fromStdString(each->definition().name) == name)
            return each;
    return nullptr;
}

bool WebServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    markServed(socket);
    // Returning false for an upgrade leaves the socket unadopted; missingHandler() answers it.
    // Nor is a socket taken while replies are due on it: they would follow the upgrade.
    if (isUpgrade(request))
        return !m_replies.closing(socket) && !m_replies.waiting(socket) && upgradeAllowed(request);
    // Requests behind one that closes its connection go unanswered.
    if (m_replies.closing(socket))
        return true;
    answerRequest(request, socket);
    if (request.value("connection").compare("close", Qt::CaseInsensitive) == 0)
        m_replies.closeAfterReplies(socket);
    return true;
}

void WebServer::answerRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    if (isLogin(request))
        return startLogin(request, socket);
    if (startBasicCheck(request, socket))
        return;
    const bool head = request.method() == QHttpServerRequest::Method::Head;
    const QHttpServerResponse response = answer(request);
    if (head || m_replies.waiting(socket))
        m_replies.add(socket, Http::wire(response, !head));
    else
        response.write(makeResponder(request, socket));
}

void WebServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    // The connection ends after an upgrade not taken: an answer now would overtake those due.
    if (m_replies.closing(socket) || m_replies.waiting(socket))
        return;
    const bool refusedSocket = isUpgrade(request) && request.url().path().startsWith(socketPathPrefix);
    Http::error(refusedSocket ? Status::Forbidden : Status::NotFound,
                refusedSocket ? QStringLiteral("not logged in, or not from this server's page")
                              : QStringLiteral("not found"))
        .write(makeResponder(request, socket));
}

bool WebServer::sameOrigin(const QByteArray& host, const QByteArray& origin) const
{
    return !host.isEmpty() && origin == (m_secure ? "https://" : "http://") + host;
}

bool WebServer::upgradeAllowed(const QHttpServerRequest& request)
{
    const QString path = request.url().path();
    if (!path.startsWith(socketPathPrefix) || !device(path.mid(socketPathPrefix.size())))
        return false;
    if (!sameOrigin(request.value("host"), request.value("origin"))) {
        Audit::note(QStringLiteral("socket from %1 refused: origin %2")
                        .arg(request.remoteAddress().toString(), QString::fromUtf8(request.value("origin").left(200))));
        return false;
    }
    return sessionCaller(request).has_value();
}

void WebServer::adoptSocket()
{
    while (hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> socket = nextPendingWebSocketConnection();
        // The upgrade was checked; the session is looked up again in case it ended meanwhile.
        const auto token = Http::sessionToken({socket->request().rawHeader("Cookie")});
        const auto session = token ? m_accounts.sessions.find(*token) : std::nullopt;
        Host::KeptDevice* watched = device(socket->requestUrl().path().mid(socketPathPrefix.size()));
        if (!session || !watched) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
            socket.release()->deleteLater();
            continue;
        }
        // The hub's pings find a page gone; the listener's idle limit would count from the upgrade
        // on, which took the connection's signals away.
        for (QTcpServer* listener : servers())
            for (QTcpSocket* connection : listener->findChildren<QTcpSocket*>())
                if (connection->peerPort() == socket->peerPort() && connection->peerAddress() == socket->peerAddress())
                    endIdleLimit(connection);
        m_hub.adopt(std::move(socket), {session->user, session->role, *token}, *watched);
    }
}

std::optional<WebServer::Caller> WebServer::sessionCaller(const std::optional<QByteArray>& token)
{
    if (!token)
        return std::nullopt;
    const auto session = m_accounts.sessions.find(*token);
    if (!session)
        return std::nullopt;
    return Caller{session->user, session->role, *token};
}

std::optional<WebServer::Caller> WebServer::sessionCaller(const QHttpServerRequest& request)
{
    return sessionCaller(Http::sessionToken(request));
}

WebServer::ApiRequest WebServer::ApiRequest::from(const QHttpServerRequest& request)
{
    return {request.method(),
            request.url(),
            request.body(),
            request.value("host"),
            request.value("origin"),
            request.remoteAddress(),
            Http::sessionToken(request),
            Http::basicCredentials(request)};
}

QHttpServerResponse WebServer::answer(const QHttpServerRequest& request)
{
    const QString path = request.url().path();
    if (path.startsWith(QLatin1String("/api/")))
        return answerApi(ApiRequest::from(request), sessionCaller(request));
    if (request.method() != QHttpServerRequest::Method::Get && request.method() != QHttpServerRequest::Method::Head)
        return Http::error(Status::MethodNotAllowed, QStringLiteral("method not allowed"));
    if (path == QLatin1String("/"))
        return Http::redirect(sessionCaller(request) ? "/devices.html" : "/login.html");
    auto file = staticFile(path);
    if (!file)
        return Http::error(Status::NotFound, QStringLiteral("not found"));
    // After the login the user lands on the page asked for.
    if (needsLogin(path) && !sessionCaller(request))
        return Http::redirect("/login.html?next="
                              + QUrl::toPercentEncoding(request.url().toString(QUrl::RemoveScheme | QUrl::RemoveAuthority)));
    return std::move(*file);
}

} // namespace VPanel::Server
