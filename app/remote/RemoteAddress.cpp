#include "app/remote/RemoteAddress.h"

#include "mqtt/BrokerAddress.h"
#include "mqtt/MqttException.h"

#include <QRegularExpression>

namespace {

bool validName(const QString& name)
{
    static const QRegularExpression allowed(
        QStringLiteral("^[A-Za-z0-9_.-]{1,%1}$").arg(RemoteAddress::maxNameLength));
    return allowed.match(name).hasMatch();
}

} // namespace

RemoteAddress RemoteAddress::parse(const QString& url, QString& error)
{
    RemoteAddress address;
    QString path;
    try {
        address.broker = VPanel::Mqtt::BrokerAddress::parse(url, &path).toString();
    } catch (const VPanel::Mqtt::MqttException&) {
        error = tr("Адрес '%1' должен иметь вид mqtt://УЗЕЛ[:ПОРТ]/ПЛОЩАДКА/УСТРОЙСТВО").arg(VPanel::Mqtt::BrokerAddress::shown(url));
        return address;
    }
    const QStringList names = path.mid(1).split(QLatin1Char('/'));
    if (!path.startsWith(QLatin1Char('/')) || names.size() != 2) {
        error = tr("Адрес '%1' должен иметь вид mqtt://УЗЕЛ[:ПОРТ]/ПЛОЩАДКА/УСТРОЙСТВО").arg(VPanel::Mqtt::BrokerAddress::shown(url));
        return address;
    }
    address.site = names[0];
    address.device = names[1];
    error = address.error();
    return address;
}

QString RemoteAddress::normalBroker(const QString& broker)
{
    try {
        return VPanel::Mqtt::BrokerAddress::parse(broker).toString();
    } catch (const VPanel::Mqtt::MqttException&) {
        return broker;
    }
}

QString RemoteAddress::error() const
{
    try {
        VPanel::Mqtt::BrokerAddress::parse(broker);
    } catch (const VPanel::Mqtt::MqttException&) {
        return tr("Адрес брокера '%1' должен иметь вид mqtt://УЗЕЛ[:ПОРТ] или mqtts://УЗЕЛ[:ПОРТ]").arg(VPanel::Mqtt::BrokerAddress::shown(broker));
    }
    for (const QString& name : {site, device})
        if (!validName(name))
            return tr("Имя '%1' должно состоять из 1..%2 латинских букв, цифр и знаков _ . -")
                .arg(name)
                .arg(maxNameLength);
    return {};
}

QString RemoteAddress::topic(const char* leaf) const
{
    return QStringLiteral("vpanel/%1/%2/%3").arg(site, device, QLatin1String(leaf));
}
