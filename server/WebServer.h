#pragma once

#include "host/KeptDevice.h"
#include "server/DeviceHub.h"
#include "server/LoginThrottle.h"
#include "server/ReplyOrder.h"
#include "server/SessionStore.h"
#include "server/UserStore.h"

#include <QAbstractHttpServer>
#include <QHttpServerResponse>
#include <QThreadPool>
#include <QTranslator>

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

    QHttpServerResponse answer(const QHttpServerRequest& request);
    QHttpServerResponse answerApi(const QHttpServerRequest& request, const QString& path);
    // Checks the password on the hashing thread; the reply keeps its place among the connection's.
    void startLogin(const QHttpServerRequest& request, QTcpSocket* socket);
    QHttpServerResponse login(const QHostAddress& address, const QByteArray& body);
    QHttpServerResponse logout(const QHttpServerRequest& request);
    QHttpServerResponse deviceKeys(const QHttpServerRequest& request, const Caller& caller, Host::KeptDevice& device);
    std::optional<Caller> caller(const QHttpServerRequest& request);
    std::optional<Caller> sessionCaller(const QHttpServerRequest& request);
    // A socket's upgrade is let through only for a session and the server's own pages.
    bool upgradeAllowed(const QHttpServerRequest& request);
    bool sameOrigin(const QHttpServerRequest& request) const;
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
