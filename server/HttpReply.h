#pragma once

#include <QByteArray>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QString>

#include <optional>

// Every answer of the server goes out with the same protective headers: pages may run only the
// server's own scripts, nothing is sniffed or cached, no address leaks through a referrer.
namespace VPanel::Server::Http {

using Status = QHttpServerResponder::StatusCode;

inline constexpr char sessionCookieName[] = "vpanel_session";

QHttpServerResponse json(const QJsonDocument& document, Status status = Status::Ok);
// {"error": text}
QHttpServerResponse error(Status status, const QString& text);
QHttpServerResponse empty(Status status);
QHttpServerResponse redirect(const QByteArray& location);
QHttpServerResponse content(const QByteArray& mimeType, const QByteArray& body);

// Adds the protective headers to a response built elsewhere.
void protect(QHttpServerResponse& response);

// The response as it goes on the wire, for a reply written later than its request or without its
// body (HEAD: the headers, Content-Length included, as GET would have them).
QByteArray wire(const QHttpServerResponse& response, bool withBody);

// The cookie value a login hands out, Secure when the server speaks TLS.
QByteArray sessionCookie(const QByteArray& token, bool secure);
QByteArray clearedSessionCookie(bool secure);

// The session token among the request's Cookie headers, if any.
std::optional<QByteArray> sessionToken(const QList<QByteArray>& cookieHeaders);
std::optional<QByteArray> sessionToken(const QHttpServerRequest& request);

struct BasicCredentials {
    QString user;
    QByteArray password;
};
std::optional<BasicCredentials> basicCredentials(const QHttpServerRequest& request);

} // namespace VPanel::Server::Http
