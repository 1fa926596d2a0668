#pragma once

#include "mqtt/BrokerAddress.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace VPanel::Mqtt {

// What the broker publishes for this client when its connection ends without a goodbye.
struct Will {
    QString topic;
    QByteArray payload;
    int qos = 1;
    bool retain = true;
};

struct ClientOptions {
    BrokerAddress broker;
    QString clientId;                  // empty: the library makes one up
    QString username;                  // empty: anonymous
    QString password;                  // handed to the library, never logged
    QString caFile;                    // mqtts: the CA to trust; empty: the system's
    std::chrono::seconds keepalive{30};
    std::optional<Will> will;
    qsizetype maxPayloadBytes = 64 * 1024;  // larger incoming messages are dropped and counted
    int maxPendingMessages = 1024;          // incoming not yet taken by the owner's thread
};

// An MQTT 3.1.1 client that keeps itself connected: the network runs on a thread of its own,
// signals arrive on the thread that made the client, and publish()/subscribe() are called there.
class Client : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::seconds firstRetryDelay{1};
    static constexpr std::chrono::seconds longestRetryDelay{30};

    // Throws MqttException when the library refuses the options (CA file, will topic...).
    explicit Client(ClientOptions options, QObject* parent = nullptr);
    // Says goodbye to the broker (no will) and waits for the network thread.
    ~Client() override;
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // A connection the broker drops sooner than this after accepting it counts as a failed
    // attempt: a second client with the same id takes it over, and each would take it back
    // every second.
    static constexpr std::chrono::seconds shortestLastingConnection = 2 * longestRetryDelay;

    // Connects; after a lost connection retries 1 s later, after failed attempts 1 s, 2 s,
    // 4 s ... 30 s later, back to 1 s once a connection lasted; while nothing listens at the
    // broker's address (the connection refused), every second.
    void start();
    // Sends what is queued, says goodbye and stops trying.
    void stop();

    bool isConnected() const { return m_connected; }
    // False while not connected: nothing is queued for a broker that is away.
    bool publish(const QString& topic, const QByteArray& payload, int qos, bool retain);
    // Kept and renewed on every connection.
    void subscribe(const QString& topic, int qos);
    // Incoming messages dropped as too large or beyond the pending bound.
    quint64 droppedMessages() const { return m_dropped; }
    const BrokerAddress& broker() const { return m_broker; }

signals:
    void connected();
    void disconnected(const QString& reason);
    // `retained`: the broker kept it and hands it to this new subscription, rather than
    // passing it on as it was sent.
    void message(const QString& topic, const QByteArray& payload, bool retained);

private:
    static void onConnect(mosquitto*, void* self, int code);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* received);

    enum class Attempt { Lasted, NobodyListening, Failed };

    void run();
    Attempt connectAndServe(std::string& failure);
    void waitBeforeRetry(std::chrono::seconds delay);
    void sayGoodbye();
    void handleConnect(int code);
    void handleMessage(const mosquitto_message& received);

    BrokerAddress m_broker;
    std::chrono::seconds m_keepalive;
    qsizetype m_maxPayloadBytes;
    int m_maxPendingMessages;
    mosquitto* m_handle = nullptr;

    std::thread m_thread;
    std::mutex m_mutex;                // guards m_subscriptions, m_stopping's wake-up
    std::condition_variable m_wake;
    std::vector<std::pair<std::string, int>> m_subscriptions;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_connected{false};
    std::atomic<int> m_pending{0};
    std::atomic<quint64> m_dropped{0};
    std::string m_refusal;             // the broker's refusal of the last attempt (network thread)
    bool m_accepted = false;           // the last attempt was accepted (network thread)
    std::chrono::steady_clock::time_point m_acceptedAt;  // (network thread)
    std::string m_clientId;            // empty: made up by the library, taken by nobody else
};

} // namespace VPanel::Mqtt
