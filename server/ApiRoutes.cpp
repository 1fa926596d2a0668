// The JSON interface of WebServer: login, the device list, a device's screen and its keys.

#include "server/Audit.h"
#include "server/DeviceJson.h"
#include "server/HttpReply.h"
#include "server/KeyCommand.h"
#include "server/WebServer.h"
#include "server/web/WebTexts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

namespace VPanel::Server {

namespace {
using Http::Status;
using Method = QHttpServerRequest::Method;

constexpr qsizetype maxUserNameBytes = 256;
constexpr qsizetype maxPasswordBytes = 1024;

const QString devicesPath = QStringLiteral("/api/devices");

QJsonObject callerJson(const QString& user, Role role)
{
    return {{QStringLiteral("user"), user}, {QStringLiteral("role"), QLatin1String(roleName(role))}};
}
} // namespace

QHttpServerResponse WebServer::answerApi(const ApiRequest& request, const std::optional<Caller>& who)
{
    if (request.body.size() > maxBodyBytes)
        return Http::error(Status::PayloadTooLarge, QStringLiteral("request too large"));
    // A HEAD is answered as its GET would be; the body is left off on the wire.
    const Method method = request.method == Method::Head ? Method::Get : request.method;
    const QString path = request.url.path();
    if (path == QLatin1String("/api/texts") && method == Method::Get) {
        const QString language = QUrlQuery(request.url).queryItemValue(QStringLiteral("lang"));
        const QTranslator* catalogue = language == QLatin1String("en")   ? &m_english
                                       : language == QLatin1String("ru") ? &m_sourceLanguage
                                                                         : nullptr;
        return Http::json(QJsonDocument(webTexts(catalogue)));
    }
    if (path == QLatin1String("/api/logout") && method == Method::Post)
        return logout(request);

    if (!who) {
        QHttpServerResponse response = Http::error(Status::Unauthorized, QStringLiteral("log in first"));
        if (m_secure)
            response.setHeader("WWW-Authenticate", "Basic realm=\"vpanel\", charset=\"UTF-8\"");
        return response;
    }
    // A cookie rides along with any request the browser makes; a change asked from another
    // site's page is not ours.
    if (method == Method::Post && !who->sessionToken.isEmpty() && !request.origin.isEmpty() && !sameOrigin(request.host, request.origin))
        return Http::error(Status::Forbidden, QStringLiteral("request from another site"));

    if (path == QLatin1String("/api/me") && method == Method::Get)
        return Http::json(QJsonDocument(callerJson(who->user, who->role)));
    if (path == devicesPath && method == Method::Get) {
        QJsonArray list;
        for (const Host::KeptDevice* each : m_devices)
            list.append(DeviceJson::summary(*each));
        return Http::json(QJsonDocument(list));
    }
    const QStringList parts = path.mid(devicesPath.size() + 1).split(QLatin1Char('/'));
    if (path.startsWith(devicesPath + QLatin1Char('/')) && parts.size() == 2) {
        Host::KeptDevice* found = device(parts[0]);
        if (!found)
            return Http::error(Status::NotFound, QStringLiteral("no such device"));
        if (parts[1] == QLatin1String("screen") && method == Method::Get)
            return Http::json(QJsonDocument(DeviceJson::screen(*found)));
        if (parts[1] == QLatin1String("keys") && method == Method::Post)
            return deviceKeys(request, *who, *found);
    }
    return Http::error(Status::NotFound, QStringLiteral("not found"));
}

QHttpServerResponse WebServer::deviceKeys(const ApiRequest& request, const Caller& caller, Host::KeptDevice& device)
{
    const QString name = QString::fromStdString(device.definition().name);
    if (caller.role != Role::Operator) {
        Audit::keyRefused(caller.user, name, QStringLiteral("view only"));
        return Http::error(Status::Forbidden, QStringLiteral("view only: keys need an operator"));
    }
    const auto command = parseKeyCommand(request.body);
    if (!command)
        return Http::error(Status::BadRequest, QStringLiteral("expected {\"tap\"|\"press\"|\"release\": KEY}"));
    Audit::keyPressed(caller.user, name, QLatin1String(actionName(command->action)), command->keyName);
    if (!apply(*command, device))
        return Http::error(Status::Conflict, QStringLiteral("the device is not live, or its keys are still queued"));
    return Http::empty(Status::NoContent);
}

void WebServer::afterPasswordCheck(QTcpSocket* socket, bool withBody, std::function<std::function<QByteArray()>()> check)
{
    if (m_waitingLogins >= maxWaitingLogins) {
        m_replies.add(socket, Http::wire(Http::error(Status::ServiceUnavailable, QStringLiteral("too many logins at once: try again")), withBody));
        return;
    }
    ++m_waitingLogins;
    const ReplyOrder::Ticket ticket = m_replies.reserve(socket);
    m_passwordChecks.start([this, socket, ticket, check = std::move(check)] {
        auto makeReply = check();
        QMetaObject::invokeMethod(this, [this, socket, ticket, makeReply = std::move(makeReply)] {
            --m_waitingLogins;
            m_replies.fill(socket, ticket, makeReply());
        }, Qt::QueuedConnection);
    });
}

void WebServer::startLogin(const QHttpServerRequest& request, QTcpSocket* socket)
{
    if (request.body().size() > maxBodyBytes) {
        m_replies.add(socket, Http::wire(Http::error(Status::PayloadTooLarge, QStringLiteral("request too large")), true));
        return;
    }
    afterPasswordCheck(socket, true, [this, address = request.remoteAddress(), body = request.body()] {
        return [reply = Http::wire(login(address, body), true)] { return reply; };
    });
}

bool WebServer::startBasicCheck(const QHttpServerRequest& request, QTcpSocket* socket)
{
    // A password in every request is sent in the clear without TLS: only then is it taken.
    if (!m_secure || !request.url().path().startsWith(QLatin1String("/api/")) || sessionCaller(request))
        return false;
    ApiRequest api = ApiRequest::from(request);
    if (!api.basic || api.body.size() > maxBodyBytes)
        return false;
    const bool withBody = api.method != Method::Head;
    afterPasswordCheck(socket, withBody, [this, api = std::move(api), withBody] {
        return [this, api, withBody, who = basicCaller(api)] { return Http::wire(answerApi(api, who), withBody); };
    });
    return true;
}

// On the hashing thread, as a login.
std::optional<WebServer::Caller> WebServer::basicCaller(const ApiRequest& request)
{
    if (m_accounts.throttle.refuses(request.address)) {
        Audit::loginThrottled(request.address);
        return std::nullopt;
    }
    const auto role = m_accounts.users.verify(request.basic->user, request.basic->password);
    if (!role) {
        m_accounts.throttle.recordFailure(request.address);
        Audit::loginFailed(request.address, request.basic->user);
        return std::nullopt;
    }
    return Caller{request.basic->user, *role, {}};
}

// On the hashing thread, one login at a time: the throttle's count is exact however many come at once.
QHttpServerResponse WebServer::login(const QHostAddress& address, const QByteArray& requestBody)
{
    if (m_accounts.throttle.refuses(address)) {
        Audit::loginThrottled(address);
        return Http::error(Status::TooManyRequests, QStringLiteral("too many failed logins: wait a minute"));
    }
    const QJsonObject body = QJsonDocument::fromJson(requestBody).object();
    const QByteArray user = body.value(QStringLiteral("user")).toString().toUtf8();
    const QByteArray password = body.value(QStringLiteral("password")).toString().toUtf8();
    if (user.isEmpty() || user.size() > maxUserNameBytes || password.isEmpty() || password.size() > maxPasswordBytes)
        return Http::error(Status::BadRequest, QStringLiteral("expected {\"user\": NAME, \"password\": PASSWORD}"));
    const QString name = QString::fromUtf8(user);
    const auto role = m_accounts.users.verify(name, password);
    if (!role) {
        m_accounts.throttle.recordFailure(address);
        Audit::loginFailed(address, name);
        return Http::error(Status::Unauthorized, QStringLiteral("wrong user name or password"));
    }
    Audit::loginSucceeded(address, name);
    QHttpServerResponse response = Http::json(QJsonDocument(callerJson(name, *role)));
    response.setHeader("Set-Cookie", Http::sessionCookie(m_accounts.sessions.create(name, *role), m_secure));
    return response;
}

QHttpServerResponse WebServer::logout(const ApiRequest& request)
{
    if (const auto& token = request.sessionToken) {
        m_accounts.sessions.remove(*token);
        m_hub.endSession(*token);
    }
    QHttpServerResponse response = Http::empty(Status::NoContent);
    response.setHeader("Set-Cookie", Http::clearedSessionCookie(m_secure));
    return response;
}

} // namespace VPanel::Server
