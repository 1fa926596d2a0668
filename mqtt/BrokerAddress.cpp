#include "mqtt/BrokerAddress.h"

#include "mqtt/MqttException.h"

#include <QUrl>

namespace VPanel::Mqtt {

namespace {
constexpr int plainPort = 1883;
constexpr int tlsPort = 8883;

[[noreturn]] void refuse(const QString& url, const QString& why)
{
    throw MqttException(QStringLiteral("Broker address \"%1\": %2. expected mqtt://HOST[:PORT] or mqtts://HOST[:PORT]")
                            .arg(BrokerAddress::shown(url), why)
                            .toStdWString());
}
} // namespace

BrokerAddress BrokerAddress::parse(const QString& url, QString* path)
{
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid())
        refuse(url, QStringLiteral("not a valid address"));
    BrokerAddress address;
    const QString scheme = parsed.scheme().toLower();
    if (scheme == QLatin1String("mqtts"))
        address.tls = true;
    else if (scheme != QLatin1String("mqtt"))
        refuse(url, scheme.isEmpty() ? QStringLiteral("no scheme") : QStringLiteral("scheme %1 is not supported").arg(scheme));
    address.host = parsed.host();
    if (address.host.isEmpty())
        refuse(url, QStringLiteral("no host"));
    if (!parsed.userInfo().isEmpty())
        refuse(url, QStringLiteral("credentials do not belong in the address"));
    if (path)
        *path = parsed.path();
    else if (!parsed.path().isEmpty() && parsed.path() != QLatin1String("/"))
        refuse(url, QStringLiteral("a path is not expected here"));
    address.port = parsed.port(address.tls ? tlsPort : plainPort);
    if (address.port <= 0)
        refuse(url, QStringLiteral("no valid port"));
    return address;
}

QString BrokerAddress::shown(const QString& url)
{
    const qsizetype hostStart = url.indexOf(QLatin1String("://"));
    if (hostStart < 0)
        return url;
    // The last '@': a password may hold a '/' or an '@' of its own; no name after the host does.
    const qsizetype at = url.lastIndexOf(QLatin1Char('@'));
    if (at < hostStart + 3)
        return url;
    return url.left(hostStart + 3) + QStringLiteral("***@") + url.mid(at + 1);
}

QString BrokerAddress::toString() const
{
    const QString shownHost = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return QStringLiteral("%1://%2:%3").arg(tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"), shownHost).arg(port);
}

} // namespace VPanel::Mqtt
