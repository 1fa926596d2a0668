#include "server/DeviceHub.h"

#include "server/Audit.h"
#include "server/DeviceJson.h"
#include "server/KeyCommand.h"

#include <QJsonDocument>

#include <algorithm>

namespace VPanel::Server {

namespace {
QString refusal(const QString& text)
{
    return QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("refused")},
                                                       {QStringLiteral("text"), text}})
                                 .toJson(QJsonDocument::Compact));
}

QString deviceName(const Host::KeptDevice& device) { return QString::fromStdString(device.definition().name); }
} // namespace

DeviceHub::DeviceHub(std::vector<Host::KeptDevice*> devices, SessionCheck sessionCheck, QObject* parent)
    : QObject(parent), m_devices(std::move(devices)), m_sessionCheck(std::move(sessionCheck))
{
    for (Host::KeptDevice* device : m_devices)
        watch(device);
    connect(&m_ping, &QTimer::timeout, this, &DeviceHub::checkViewers);
    m_ping.start(pingInterval);
}

DeviceHub::~DeviceHub()
{
    while (!m_viewers.empty())
        drop(m_viewers.back()->socket);
}

void DeviceHub::watch(Host::KeptDevice* device)
{
    connect(device, &Host::KeptDevice::screenChanged, this,
            [this, device] { broadcast(device, DeviceJson::screenMessage(device->snapshot())); });
    connect(device, &Host::KeptDevice::stateChanged, this,
            [this, device] { broadcast(device, DeviceJson::stateMessage(*device)); });
    connect(device, &Host::KeptDevice::glyphsChanged, this, [this, device] {
        broadcast(device, DeviceJson::glyphsMessage(device->glyphs(), device->snapshot().glyphSequence));
    });
    connect(device, &Host::KeptDevice::journalAdded, this, [this, device](const Host::JournalEntry& entry) {
        broadcast(device, DeviceJson::journalMessage({entry}));
    });
}

bool DeviceHub::adopt(std::unique_ptr<QWebSocket> socket, Viewer viewer, Host::KeptDevice& device)
{
    if (viewerCount() >= maxViewers) {
        Audit::note(QStringLiteral("viewer of %1 refused: %2 viewers already").arg(deviceName(device)).arg(maxViewers));
        socket->close(QWebSocketProtocol::CloseCodeTooMuchData, QStringLiteral("too many viewers"));
        socket.release()->deleteLater();
        return false;
    }
    QWebSocket* raw = socket.release();
    raw->setParent(this);
    raw->setMaxAllowedIncomingMessageSize(maxMessageBytes);
    raw->setMaxAllowedIncomingFrameSize(maxMessageBytes);
    m_viewers.push_back(std::make_unique<Watcher>(Watcher{raw, std::move(viewer), &device, {}, std::chrono::steady_clock::now()}));
    Watcher& watcher = *m_viewers.back();
    connect(raw, &QWebSocket::textMessageReceived, this, [this, raw](const QString& message) { receive(raw, message); });
    connect(raw, &QWebSocket::pong, this, [this, raw] {
        if (Watcher* heard = watcherOf(raw))
            heard->lastHeard = std::chrono::steady_clock::now();
    });
    connect(raw, &QWebSocket::binaryMessageReceived, this, [this, raw] { drop(raw); });
    connect(raw, &QWebSocket::disconnected, this, [this, raw] { drop(raw); });

    send(watcher, {{QStringLiteral("type"), QStringLiteral("hello")},
                   {QStringLiteral("user"), watcher.viewer.user},
                   {QStringLiteral("role"), QLatin1String(roleName(watcher.viewer.role))},
                   {QStringLiteral("device"), deviceName(device)}});
    send(watcher, DeviceJson::stateMessage(device));
    send(watcher, DeviceJson::glyphsMessage(device.glyphs(), device.snapshot().glyphSequence));
    send(watcher, DeviceJson::screenMessage(device.snapshot()));
    send(watcher, DeviceJson::journalMessage(device.journal()));
    return true;
}

DeviceHub::Watcher* DeviceHub::watcherOf(QWebSocket* socket)
{
    const auto found = std::find_if(m_viewers.begin(), m_viewers.end(),
                                    [socket](const auto& watcher) { return watcher->socket == socket; });
    return found == m_viewers.end() ? nullptr : found->get();
}

void DeviceHub::broadcast(Host::KeptDevice* device, const QJsonObject& message)
{
    // Serialised once for every viewer of the device.
    const QString text = QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
    std::vector<QWebSocket*> stalled;
    for (const auto& watcher : m_viewers) {
        if (watcher->device != device)
            continue;
        if (watcher->socket->bytesToWrite() > maxQueuedBytes)
            stalled.push_back(watcher->socket);
        else
            watcher->socket->sendTextMessage(text);
    }
    for (QWebSocket* socket : stalled) {
        Audit::note(QStringLiteral("viewer of %1 dropped: it does not read").arg(deviceName(*device)));
        drop(socket);
    }
}

void DeviceHub::checkViewers()
{
    std::vector<QWebSocket*> ended, stalled;
    const auto silentSince = std::chrono::steady_clock::now() - 2 * pingInterval;
    for (const auto& watcher : m_viewers) {
        if (!m_sessionCheck(watcher->viewer.sessionToken))
            ended.push_back(watcher->socket);
        // Pongs to a peer's pings pile up on a quiet device too.
        else if (watcher->socket->bytesToWrite() > maxQueuedBytes || watcher->lastHeard < silentSince)
            stalled.push_back(watcher->socket);
        else
            watcher->socket->ping();
    }
    for (QWebSocket* socket : ended)
        drop(socket, QStringLiteral("session ended"));
    for (QWebSocket* socket : stalled)
        drop(socket);
}

void DeviceHub::endSession(const QByteArray& token)
{
    std::vector<QWebSocket*> ended;
    for (const auto& watcher : m_viewers)
        if (watcher->viewer.sessionToken == token)
            ended.push_back(watcher->socket);
    for (QWebSocket* socket : ended)
        drop(socket, QStringLiteral("logged out"));
}

void DeviceHub::send(Watcher& watcher, const QJsonObject& message)
{
    watcher.socket->sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}

void DeviceHub::receive(QWebSocket* socket, const QString& message)
{
    Watcher* watcher = watcherOf(socket);
    if (!watcher)
        return;
    watcher->lastHeard = std::chrono::steady_clock::now();
    if (!m_sessionCheck(watcher->viewer.sessionToken)) {
        drop(socket, QStringLiteral("session ended"));
        return;
    }
    const QString device = deviceName(*watcher->device);
    if (watcher->viewer.role != Role::Operator) {
        Audit::keyRefused(watcher->viewer.user, device, QStringLiteral("view only"));
        socket->sendTextMessage(refusal(QStringLiteral("view only")));
        return;
    }
    const auto command = parseKeyCommand(message.toUtf8());
    if (!command) {
        Audit::keyRefused(watcher->viewer.user, device, QStringLiteral("malformed key message"));
        socket->sendTextMessage(refusal(QStringLiteral("unknown key")));
        return;
    }
    Audit::keyPressed(watcher->viewer.user, device, QLatin1String(actionName(command->action)), command->keyName);
    if (command->action == KeyCommand::Action::Press)
        watcher->held.insert(command->scanCode);
    else if (command->action == KeyCommand::Action::Release)
        watcher->held.erase(command->scanCode);
    if (!apply(*command, *watcher->device))
        socket->sendTextMessage(refusal(QStringLiteral("the device is not live")));
}

void DeviceHub::drop(QWebSocket* socket, const QString& closeReason)
{
    const auto found = std::find_if(m_viewers.begin(), m_viewers.end(),
                                    [socket](const auto& watcher) { return watcher->socket == socket; });
    if (found == m_viewers.end())
        return;
    // A page that goes away holding a key must not leave it held on the device.
    for (const int scanCode : (*found)->held)
        (*found)->device->release(scanCode);
    std::unique_ptr<Watcher> watcher = std::move(*found);
    m_viewers.erase(found);
    socket->disconnect(this);
    if (closeReason.isEmpty()) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    socket->close(QWebSocketProtocol::CloseCodePolicyViolated, closeReason);
}

} // namespace VPanel::Server
