#pragma once

#include <QString>

namespace VPanel::Mqtt {

// Where the broker listens: mqtt://HOST[:1883] or mqtts://HOST[:8883].
struct BrokerAddress {
    QString host;
    int port = 1883;
    bool tls = false;

    // Throws MqttException naming what was wrong and what is expected. A path after the
    // address (mqtt://HOST/SITE/DEVICE) is refused unless `path` takes it.
    static BrokerAddress parse(const QString& url, QString* path = nullptr);
    QString toString() const;
};

} // namespace VPanel::Mqtt
