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
    // The URL as given, fit to show: a password in it stays out of messages and journals.
    static QString shown(const QString& url);
};

} // namespace VPanel::Mqtt
