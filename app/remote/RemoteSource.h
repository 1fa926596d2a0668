#pragma once

#include "app/display/SymbolMatrix.h"
#include "app/remote/RemoteAddress.h"
#include "app/remote/RemoteMessages.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace VPanel::Mqtt {
class Client;
}

struct RemoteCredentials {
    QString user;
    QString password;
    QString caFile; // for mqtts://; empty: the system's authorities
};

// A device kept by a gateway, fed to a tab through the broker as a link feeds it: the same
// signals as the window's transmission thread, from the device's state, glyphs, screen and
// event topics, and the tab's keys published to its keys topic. It never stops the device:
// the gateway keeps it for everybody else.
class RemoteSource : public QObject {
    Q_OBJECT

public:
    enum class Broker { Connecting, Connected, Refused, Unreachable };

    // The gateway lets go of a key after 10 s without a press message about it, lest a lost
    // release hold it for good: a key held longer here is pressed again this often.
    static constexpr std::chrono::seconds heldKeyRepeat{3};

    // Throws VPanel::Mqtt::MqttException when the client refuses the options (a CA file it
    // cannot read).
    RemoteSource(RemoteAddress address, const RemoteCredentials& credentials, QObject* parent = nullptr);
    // Leaves the broker.
    ~RemoteSource() override;

    const RemoteAddress& address() const { return m_address; }
    Broker broker() const { return m_broker; }
    // The broker's and the gateway's states in plain words.
    QString brokerText() const;
    // Why the broker was lost, as the client library says it; empty while connected.
    const QString& brokerReason() const { return m_brokerReason; }
    QString gatewayText() const;

signals:
    // As the transmission thread's; code: a LinkEvent.
    void alarm(int code, QString text);
    void sizeIndicators(int rows, int places);
    void setSymbolMatrix(char code, SymbolMatrix matrix);
    void setCells(int row, int start, QByteArray symbols, int count);
    void setMatrixSymbolSize(int columns, int rows);
    void deviceIdentif(int identifier);
    // The broker's or the gateway's state changed.
    void statusChanged();

public slots:
    void codePress(int scanCode);
    void codeRelease(int scanCode);

private:
    void brokerConnected();
    void brokerLost(const QString& reason);
    void take(const QString& topic, const QByteArray& payload);
    void takeState(const RemoteMessages::State& state);
    void takeScreen(const RemoteMessages::Screen& screen);
    void takeGlyphs(std::vector<SymbolMatrix> glyphs);
    void takeEvent(const RemoteMessages::Event& event);
    void resize(int rows, int places);
    void follow(bool consoleOn, bool alarm);
    void publishKey(int scanCode, bool pressed);

    RemoteAddress m_address;
    std::unique_ptr<VPanel::Mqtt::Client> m_client;
    Broker m_broker = Broker::Connecting;
    QString m_brokerReason;
    std::optional<RemoteMessages::State> m_state;
    std::vector<SymbolMatrix> m_glyphs;
    QString m_identity;
    int m_rows = 0;
    int m_places = 0;
    bool m_consoleOn = true;
    bool m_alarm = false;
    std::set<int> m_heldKeys;
    QTimer m_heldKeyRepeat;
};
