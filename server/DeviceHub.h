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
    static constexpr qint64 maxQueuedBytes = 4 * 1024 * 1024;
    // Keeps a quiet page's socket within the listener's idle limit and finds peers gone.
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

private:
    struct Watcher {
        QWebSocket* socket;
        Viewer viewer;
        Host::KeptDevice* device;
        std::set<int> held; // keys pressed and not yet released
    };

    void watch(Host::KeptDevice* device);
    void broadcast(Host::KeptDevice* device, const QJsonObject& message);
    void send(Watcher& watcher, const QJsonObject& message);
    void receive(QWebSocket* socket, const QString& message);
    void drop(QWebSocket* socket);
    Watcher* watcherOf(QWebSocket* socket);

    std::vector<Host::KeptDevice*> m_devices;
    SessionCheck m_sessionCheck;
    std::vector<std::unique_ptr<Watcher>> m_viewers;
    QTimer m_ping;
};

} // namespace VPanel::Server
