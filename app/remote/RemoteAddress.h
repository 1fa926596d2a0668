#pragma once

#include <QCoreApplication>
#include <QString>

// A device kept by a gateway, as the panel reaches it through the broker: the broker's URL
// (mqtt://HOST[:PORT] or mqtts://HOST[:PORT]), the gateway's site and the device's name there.
struct RemoteAddress {
    Q_DECLARE_TR_FUNCTIONS(RemoteAddress)

public:
    // Site and device names: 1..32 of [A-Za-z0-9_.-], safe as one level of a topic.
    static constexpr int maxNameLength = 32;

    QString broker;
    QString site;
    QString device;

    // "mqtt://HOST[:PORT]/SITE/DEVICE" (or mqtts://); on a wrong one `error` says what is wrong.
    static RemoteAddress parse(const QString& url, QString& error);

    // The broker's URL as the client library spells it (with its port), or as given when it is
    // wrong: two spellings of one broker compare equal.
    static QString normalBroker(const QString& broker);

    bool tls() const { return broker.startsWith(QLatin1String("mqtts://")); }
    // "vpanel/SITE/DEVICE/<leaf>".
    QString topic(const char* leaf) const;
    // "SITE/DEVICE".
    QString name() const { return site + QLatin1Char('/') + device; }
    // Empty when broker, site and device are all fine, else what is wrong.
    QString error() const;
};
