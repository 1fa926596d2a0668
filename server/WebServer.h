#pragma once

#include "host/KeptDevice.h"
#include "server/DeviceHub.h"
#include "server/HttpReply.h"
#include "server/LoginThrottle.h"
#include "server/ReplyOrder.h"
#include "server/SessionStore.h"
#include "server/UserStore.h"

#include <QAbstractHttpServer>
#include <QHttpServerResponse>
#include <QThreadPool>
#include <QTranslator>
#include <QUrl>

#include <functional>
#include <optional>
#include <vector>

namespace VPanel::Server {

// What a request is answered with: the program's pages, the JSON interface and the pages'
// sockets, each behind the login it needs.
class WebServer : public QAbstractHttpServer {
    Q_OBJECT

public:
    static constexpr qsizetype maxBodyBytes = 16 * 1024;
    // Logins wait for the one thread that checks passwords (an Argon2 hash costs tens of
    // milliseconds and 64 MiB); past this many waiting, a login is told to come back.
    static constexpr int maxWaitingLogins = 32;

    struct Accounts {
        UserStore& users;
        SessionStore& sessions;
        LoginThrottle& throttle;
    };

    // `secure`: the server speaks TLS, so cookies are Secure and HTTP Basic may be used.
    WebServer(Accounts accounts, std::vector<Host::KeptDevice*> devices, bool secure, QObject* parent = nullptr);

    DeviceHub& hub() { return m_hub; }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    struct Caller {
        QString user;
        Role role = Role::Viewer;
        QByteArray sessionToken; // empty for HTTP Basic
    };

    // What the JSON interface reads of a request, kept for an answer given after its password
    // was checked on the hashing thread, when the request itself is gone.
    struct ApiRequest {
        QHttpServerRequest::Method method;
        QUrl url;
        QByteArray body;
        QByteArray host;
        QByteArray origin;
        QHostAddress address;
        std::optional<QByteArray> sessionToken;
        std::optional<Http::BasicCredentials> basic;

        static ApiRequest from(const QHttpServerRequest& request);
    };

    void answerRequest(const QHttpServerRequest& request, QTcpSocket* socket);
    QHttpServerResponse answer(const QHttpServerRequest& request);
    QHttpServerResponse answerApi(const ApiRequest& request, const std::optional<Caller>& who);
    // Runs `check` on the hashing thread; what it hands back makes the reply on this thread, in
    // its place among the connection's replies. `withBody` is false for a HEAD.
    void afterPasswordCheck(QTcpSocket* socket, bool withBody, std::function<std::function<QByteArray()>()> check);
    void startLogin(const QHttpServerRequest& request, QTcpSocket* socket);
    QHttpServerResponse login(const QHostAddress& address, const QByteArray& body);
    // HTTP Basic: the password of every such request is checked, as a login's is, off this thread.
    bool startBasicCheck(const QHttpServerRequest& request, QTcpSocket* socket);
    std::optional<Caller> basicCaller(const ApiRequest& request);
    QHttpServerResponse logout(const ApiRequest& request);
    QHttpServerResponse deviceKeys(const ApiRequest& request, const Caller& caller, Host::KeptDevice& device);
    std::optional<Caller> sessionCaller(const std::optional<QByteArray>& token);
    std::optional<Caller> sessionCaller(const QHttpServerRequest& request);
    // A socket's upgrade is let through only for a session and the server's own pages.
    bool upgradeAllowed(const QHttpServerRequest& request);
    bool sameOrigin(const QByteArray& host, const QByteArray& origin) const;
    Host::KeptDevice* device(const QString& name) const;
    void adoptSocket();

    Accounts m_accounts;
    std::vector<Host::KeptDevice*> m_devices;
    const bool m_secure;
    DeviceHub m_hub;
    // Each page asks for its own language, whatever the server's.
    QTranslator m_english;
    const QTranslator m_sourceLanguage;
    ReplyOrder m_replies;
    int m_waitingLogins = 0;
    QThreadPool m_passwordChecks; // last: waits for the check under way before the rest goes
};

} // namespace VPanel::Server
