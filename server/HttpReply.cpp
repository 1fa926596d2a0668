#include "server/HttpReply.h"

#include <QJsonObject>
#include <QMetaEnum>

#include <algorithm>

namespace VPanel::Server::Http {

namespace {
constexpr char contentSecurityPolicy[] =
    "default-src 'self'; connect-src 'self' ws: wss:; img-src 'self' data:; "
    "frame-ancestors 'none'; base-uri 'none'; form-action 'self'";

// Every header a response of this server may carry.
constexpr const char* headerNames[] = {"Cache-Control", "X-Frame-Options", "Referrer-Policy", "X-Content-Type-Options",
                                       "Content-Security-Policy", "Content-Type", "Location", "Set-Cookie",
                                       "WWW-Authenticate"};

// "TooManyRequests" -> "Too Many Requests"
QByteArray reasonPhrase(Status status)
{
    const QByteArray key = QMetaEnum::fromType<Status>().valueToKey(static_cast<int>(status));
    QByteArray phrase;
    for (const char c : key) {
        if (c >= 'A' && c <= 'Z' && !phrase.isEmpty())
            phrase += ' ';
        phrase += c;
    }
    return phrase;
}

bool isTokenCharacter(char character)
{
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z')
        || (character >= '0' && character <= '9') || character == '-' || character == '_';
}
} // namespace

void protect(QHttpServerResponse& response)
{
    response.setHeader("Content-Security-Policy", contentSecurityPolicy);
    response.setHeader("X-Content-Type-Options", "nosniff");
    response.setHeader("Referrer-Policy", "no-referrer");
    response.setHeader("X-Frame-Options", "DENY");
    response.setHeader("Cache-Control", "no-store");
}

QHttpServerResponse json(const QJsonDocument& document, Status status)
{
    QHttpServerResponse response("application/json", document.toJson(QJsonDocument::Compact), status);
    protect(response);
    return response;
}

QHttpServerResponse error(Status status, const QString& text)
{
    return json(QJsonDocument(QJsonObject{{QStringLiteral("error"), text}}), status);
}

QHttpServerResponse empty(Status status)
{
    QHttpServerResponse response(status);
    protect(response);
    return response;
}

QHttpServerResponse redirect(const QByteArray& location)
{
    QHttpServerResponse response(Status::Found);
    protect(response);
    response.setHeader("Location", location);
    return response;
}

QHttpServerResponse content(const QByteArray& mimeType, const QByteArray& body)
{
    QHttpServerResponse response(mimeType, body);
    protect(response);
    return response;
}

QByteArray wire(const QHttpServerResponse& response, bool withBody)
{
    const Status status = response.statusCode();
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(static_cast<int>(status)) + ' ' + reasonPhrase(status) + "\r\n";
    for (const char* name : headerNames)
        for (const QByteArray& value : response.headers(name))
            bytes += QByteArray(name) + ": " + value + "\r\n";
    bytes += "Content-Length: " + QByteArray::number(response.data().size()) + "\r\n\r\n";
    if (withBody)
        bytes += response.data();
    return bytes;
}

QByteArray sessionCookie(const QByteArray& token, bool secure)
{
    QByteArray cookie = QByteArray(sessionCookieName) + '=' + token + "; Path=/; HttpOnly; SameSite=Strict";
    if (secure)
        cookie += "; Secure";
    return cookie;
}

QByteArray clearedSessionCookie(bool secure)
{
    return sessionCookie(QByteArray(), secure) + "; Max-Age=0";
}

std::optional<QByteArray> sessionToken(const QHttpServerRequest& request)
{
    QList<QByteArray> cookieHeaders;
    for (const auto& [name, value] : request.headers())
        if (name.compare("cookie", Qt::CaseInsensitive) == 0)
            cookieHeaders.append(value);
    return sessionToken(cookieHeaders);
}

std::optional<QByteArray> sessionToken(const QList<QByteArray>& cookieHeaders)
{
    const QByteArray prefix = QByteArray(sessionCookieName) + '=';
    for (const QByteArray& value : cookieHeaders) {
        for (QByteArray part : value.split(';')) {
            part = part.trimmed();
            if (!part.startsWith(prefix))
                continue;
            const QByteArray token = part.mid(prefix.size());
            // A token is ours only in its own alphabet; anything else is not looked up.
            if (!token.isEmpty() && std::all_of(token.begin(), token.end(), isTokenCharacter))
                return token;
        }
    }
    return std::nullopt;
}

std::optional<BasicCredentials> basicCredentials(const QHttpServerRequest& request)
{
    const QByteArray header = request.value("authorization").trimmed();
    if (!header.startsWith("Basic ") && !header.startsWith("basic "))
        return std::nullopt;
    const auto decoded = QByteArray::fromBase64Encoding(header.mid(6).trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    const QByteArray pair = decoded.decoded;
    const qsizetype colon = pair.indexOf(':');
    if (colon <= 0)
        return std::nullopt;
    return BasicCredentials{QString::fromUtf8(pair.left(colon)), pair.mid(colon + 1)};
}

} // namespace VPanel::Server::Http
