#include "gateway/Gateway.h"

namespace VPanel::Gateway {

Gateway::Gateway(const GatewayOptions& options, const QString& password, const Panel::LinkParameters& base)
{
    Mqtt::ClientOptions connection;
    connection.broker = Mqtt::BrokerAddress::parse(options.broker);
    connection.username = options.username;
    connection.password = password;
    connection.caFile = options.caFile;
    for (const Host::DeviceSpec& definition : options.devices) {
        m_devices.push_back(std::make_unique<Host::KeptDevice>(definition, base));
        m_publishers.push_back(std::make_unique<DevicePublisher>(*m_devices.back(), options.site, connection));
    }
}

Gateway::~Gateway()
{
    stop();
}

void Gateway::start()
{
    for (auto& publisher : m_publishers)
        publisher->start();
    for (auto& device : m_devices)
        device->start();
}

void Gateway::stop()
{
    // The devices' last words reach the broker before the "offline" that follows them.
    for (auto& device : m_devices)
        device->stop();
    for (auto& publisher : m_publishers)
        publisher->stop();
}

} // namespace VPanel::Gateway
