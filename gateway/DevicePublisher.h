#pragma once

#include "host/KeptDevice.h"
#include "mqtt/Client.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <limits>
#include <map>

namespace VPanel::Gateway {

// One kept device on the broker, over a connection of its own whose will marks the device's
// state "gateway offline". Publishes the state on every change and the screen at most once per
// change burst; while the broker is away it holds nothing but the device's latest state,
// screen and glyphs, published on return. Takes key messages from the device's keys topic.
//
// A pressed key whose release is lost (the sender's link gone, a dashboard that never sends
// one) would stay down at the device for good: a key with no press message about it for
// heldKeyBound is released. A sender holding a key longer repeats its press meanwhile.
class DevicePublisher : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::seconds heldKeyBound{10};
    // `connection` gives the broker and the account; the client id and the will are the device's.
    DevicePublisher(Host::KeptDevice& device, const QString& site, Mqtt::ClientOptions connection,
                    QObject* parent = nullptr);

    void start();
    // Marks the device "gateway offline" and says goodbye to the broker.
    void stop();

    // Events that found the broker away and were not kept.
    quint64 droppedEvents() const { return m_droppedEvents; }

private:
    void publishAll();
    void publishState();
    void publishScreen();
    void publishGlyphs();
    void publishEvent(const Host::JournalEntry& entry);
    void takeKeys(const QByteArray& payload);
    void refuseKeys(const QString& why);
    void releaseStaleKeys();

    QString topic(const char* leaf) const;
    QString deviceLabel() const;
    static Mqtt::ClientOptions forDevice(Mqtt::ClientOptions connection, const QString& site, const std::string& device);

    Host::KeptDevice& m_device;
    const QString m_site;
    Mqtt::Client m_client;
    quint64 m_publishedScreen = std::numeric_limits<quint64>::max();
    quint64 m_droppedEvents = 0;
    QElapsedTimer m_sinceRefusalLogged;
    int m_refusalsUnlogged = 0;
    QString m_lastFailure;
    // Keys pressed by a message and not released, with the time of their last press message.
    std::map<int, std::chrono::steady_clock::time_point> m_heldKeys;
    QTimer m_heldKeyCheck;
};

// One line to the service's log (standard error).
void logLine(const QString& text);

} // namespace VPanel::Gateway
