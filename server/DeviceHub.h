#pragma once

#include "host/KeptDevice.h"
#include "server/Role.h"

#include <QObject>
#include <QTimer>
#include <QString>
#include <QWebSocket>

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace VPanel::Server {

// The pages watching devices: each socket gets its device's state, glyphs, screen and journal
// when it joins and every change after; an operator's key messages go to the device. A socket
// is dropped when its peer stops reading (its queue passes a bound) or sends too much at once.
class DeviceHub : public QObject {
    Q_OBJECT

public:
    static constexpr int maxViewers = 256;
    static constexpr qint64 maxMessageBytes = 64 * 1024;
    // A page's start (glyphs, journal) is some 30 KiB; the bound times maxViewers bounds the memory
    // peers that stop reading can hold.
    static constexpr qint64 maxQueuedBytes = 128 * 1024;
    // Finds peers gone (no pong for two intervals) and ends the sockets of sessions that ended (an
    // open page keeps its session in use).
    static constexpr std::chrono::seconds pingInterval{30};

    struct Viewer {
        QString user;
        Role role = Role::Viewer;
        QByteArray sessionToken; // the socket ends with its session
    };
    // Whether a session is still valid; refreshes it.
    using SessionCheck = std::function<bool(const QByteArray& token)>;

    DeviceHub(std::vector<Host::KeptDevice*> devices, SessionCheck sessionCheck, QObject* parent = nullptr);
    ~DeviceHub() override;

    // False, and the socket closed, when the hub is full.
    bool adopt(std::unique_ptr<QWebSocket> socket, Viewer viewer, Host::KeptDevice& device);
    int viewerCount() const { return static_cast<int>(m_viewers.size()); }
    // Closes the sockets opened with the session: a logout ends the watching too.
    void endSession(const QByteArray& token);

private:
    struct Watcher {
        QWebSocket* socket;
        Viewer viewer;
        Host::KeptDevice* device;
        std::set<int> held; // keys pressed and not yet released
        std::chrono::steady_clock::time_point lastHeard; // a pong or a message
    };

    void watch(Host::KeptDevice* device);
    void broadcast(Host::KeptDevice* device, const QJsonObject& message);
    void send(Watcher& watcher, const QJsonObject& message);
    void receive(QWebSocket* socket, const QString& message);
    // Takes the socket off the hub, releasing the keys its page held: closed with `closeReason`
    // when one is given, else cut.
    void drop(QWebSocket* socket, const QString& closeReason = {});
    void checkViewers();
    Watcher* watcherOf(QWebSocket* socket);

    std::vector<Host::KeptDevice*> m_devices;
    SessionCheck m_sessionCheck;
    std::vector<std::unique_ptr<Watcher>> m_viewers;
    QTimer m_ping;
};

} // namespace VPanel::Server
