#include "gateway/DevicePublisher.h"

#include "gateway/Payloads.h"

#include <QDateTime>

#include <cstdio>

namespace VPanel::Gateway {

namespace {
// A flood of bad key messages must not flood the log: one line a second at most.
constexpr qint64 refusalLogInterval_ms = 1000;
constexpr int stateQos = 1;
constexpr int screenQos = 0;
constexpr int glyphsQos = 1;
constexpr int eventQos = 1;
constexpr int keysQos = 1;
constexpr std::chrono::seconds heldKeyCheckInterval{1};
} // namespace

void logLine(const QString& text)
{
    std::fprintf(stderr, "vpanel-gateway: %s\n", text.toUtf8().constData());
    std::fflush(stderr);
}

Mqtt::ClientOptions DevicePublisher::forDevice(Mqtt::ClientOptions connection, const QString& site, const std::string& device)
{
    connection.clientId = QStringLiteral("vpanel-gateway-%1-%2").arg(site, QString::fromStdString(device));
    connection.will = Mqtt::Will{deviceTopic(site, device, "state"), offlineStatePayload(), stateQos, true};
    return connection;
}

DevicePublisher::DevicePublisher(Host::KeptDevice& device, const QString& site, Mqtt::ClientOptions connection, QObject* parent)
    : QObject(parent), m_device(device), m_site(site), m_client(forDevice(std::move(connection), site, device.definition().name))
{
    connect(&m_client, &Mqtt::Client::connected, this, [this] {
        logLine(QStringLiteral("%1: connected to %2").arg(deviceLabel(), m_client.broker().toString()));
        m_lastFailure.clear();
        publishAll();
    });
    // Retries while the broker is away fail alike: one line for them all.
    connect(&m_client, &Mqtt::Client::disconnected, this, [this](const QString& reason) {
        if (reason != m_lastFailure)
            logLine(QStringLiteral("%1: %2").arg(deviceLabel(), reason));
        m_lastFailure = reason;
    });
    connect(&m_client, &Mqtt::Client::message, this, [this](const QString&, const QByteArray& payload, bool retained) {
        // A key left retained on the broker would be pressed again at every connection.
        if (retained)
            refuseKeys(QStringLiteral("a retained key message is not taken"));
        else
            takeKeys(payload);
    });
    connect(&m_device, &Host::KeptDevice::stateChanged, this, &DevicePublisher::publishState);
    connect(&m_device, &Host::KeptDevice::screenChanged, this, &DevicePublisher::publishScreen);
    connect(&m_device, &Host::KeptDevice::glyphsChanged, this, &DevicePublisher::publishGlyphs);
    connect(&m_device, &Host::KeptDevice::journalAdded, this, &DevicePublisher::publishEvent);
    m_client.subscribe(topic("keys"), keysQos);
    m_heldKeyCheck.setInterval(heldKeyCheckInterval);
    connect(&m_heldKeyCheck, &QTimer::timeout, this, &DevicePublisher::releaseStaleKeys);
}

void DevicePublisher::start()
{
    m_client.start();
}

void DevicePublisher::stop()
{
    m_client.publish(topic("state"), offlineStatePayload(), stateQos, true);
    m_client.stop();
}

QString DevicePublisher::deviceLabel() const
{
    return m_site + QLatin1Char('/') + QString::fromStdString(m_device.definition().name);
}

QString DevicePublisher::topic(const char* leaf) const
{
    return deviceTopic(m_site, m_device.definition().name, leaf);
}

void DevicePublisher::publishAll()
{
    publishGlyphs();
    publishState();
    m_publishedScreen = std::numeric_limits<quint64>::max();
    publishScreen();
}

void DevicePublisher::publishState()
{
    m_client.publish(topic("state"), statePayload(m_device.snapshot(), m_device.definition(), QDateTime::currentDateTimeUtc()),
                     stateQos, true);
}

void DevicePublisher::publishScreen()
{
    const Host::DeviceSnapshot snapshot = m_device.snapshot();
    if (snapshot.screenSequence == m_publishedScreen)
        return;
    if (m_client.publish(topic("screen"), screenPayload(snapshot, QDateTime::currentDateTimeUtc()), screenQos, true))
        m_publishedScreen = snapshot.screenSequence;
}

void DevicePublisher::publishGlyphs()
{
    m_client.publish(topic("glyphs"), glyphsPayload(m_device.snapshot().glyphSequence, m_device.glyphs()), glyphsQos, true);
}

void DevicePublisher::publishEvent(const Host::JournalEntry& entry)
{
    if (!m_client.publish(topic("event"), eventPayload(entry), eventQos, false))
        ++m_droppedEvents;
}

void DevicePublisher::takeKeys(const QByteArray& payload)
{
    QString error;
    const auto action = parseKeyMessage(payload, error);
    if (!action) {
        refuseKeys(error);
        return;
    }
    bool taken = false;
    switch (action->kind) {
    case KeyAction::Kind::Tap:
        taken = m_device.tap(action->scanCode);
        break;
    case KeyAction::Kind::Press:
        taken = m_device.press(action->scanCode);
        if (taken) {
            m_heldKeys[action->scanCode] = std::chrono::steady_clock::now();
            m_heldKeyCheck.start();
        }
        break;
    case KeyAction::Kind::Release:
        taken = m_device.release(action->scanCode);
        m_heldKeys.erase(action->scanCode);
        break;
    }
    if (!taken)
        refuseKeys(QStringLiteral("the device takes no key now"));
}

void DevicePublisher::releaseStaleKeys()
{
    const auto stale = std::chrono::steady_clock::now() - heldKeyBound;
    for (auto key = m_heldKeys.begin(); key != m_heldKeys.end();) {
        if (key->second > stale) {
            ++key;
            continue;
        }
        m_device.release(key->first);
        logLine(QStringLiteral("%1: a key held %2 s without a further press message was released")
                    .arg(topic("keys"))
                    .arg(heldKeyBound.count()));
        key = m_heldKeys.erase(key);
    }
    if (m_heldKeys.empty())
        m_heldKeyCheck.stop();
}

void DevicePublisher::refuseKeys(const QString& why)
{
    if (m_sinceRefusalLogged.isValid() && m_sinceRefusalLogged.elapsed() < refusalLogInterval_ms) {
        ++m_refusalsUnlogged;
        return;
    }
    const QString more = m_refusalsUnlogged ? QStringLiteral(" (and %1 more ignored)").arg(m_refusalsUnlogged) : QString();
    logLine(QStringLiteral("%1: key message ignored: %2%3").arg(topic("keys"), why, more));
    m_refusalsUnlogged = 0;
    m_sinceRefusalLogged.start();
}

} // namespace VPanel::Gateway
