#include "mqtt/Client.h"

#include "mqtt/MqttException.h"

#include <mosquitto.h>

#include <cerrno>
#include <cstring>

namespace VPanel::Mqtt {

namespace {
// How long one pass of the network loop may wait for the network; publish() wakes it sooner,
// stop() is seen after it.
constexpr int loopWait_ms = 100;
// How long a broker may take to accept a connection before the attempt counts as failed.
constexpr std::chrono::seconds connectBound{15};
constexpr int goodbyePasses = 50;
constexpr auto goodbyePause = std::chrono::milliseconds(10);
constexpr int badCredentials = 4;
constexpr int notAuthorised = 5;

void initialiseLibraryOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

[[noreturn]] void refuse(const QString& what, int code)
{
    throw MqttException(QStringLiteral("%1: %2").arg(what, QString::fromUtf8(mosquitto_strerror(code))).toStdWString());
}

std::string refusalText(int code)
{
    switch (code) {
    case badCredentials:
        return "the broker refused the user name or password";
    case notAuthorised:
        // What a broker answers a wrong password with, as often as 4.
        return "the broker refused the login: wrong user name or password, or the account is not allowed in";
    default:
        return std::string("the broker refused the connection: ") + mosquitto_connack_string(code);
    }
}

std::string errorText(int code, int savedErrno)
{
    return code == MOSQ_ERR_ERRNO ? std::strerror(savedErrno) : mosquitto_strerror(code);
}
} // namespace

Client::Client(ClientOptions options, QObject* parent)
    : QObject(parent)
    , m_broker(std::move(options.broker))
    , m_keepalive(options.keepalive)
    , m_maxPayloadBytes(options.maxPayloadBytes)
    , m_maxPendingMessages(options.maxPendingMessages)
{
    initialiseLibraryOnce();
    const QByteArray clientId = options.clientId.toUtf8();
    m_clientId = clientId.toStdString();
    m_handle = mosquitto_new(clientId.isEmpty() ? nullptr : clientId.constData(), true, this);
    if (!m_handle)
        throw MqttException(L"Cannot create an MQTT client");
    try {
        mosquitto_int_option(m_handle, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_threaded_set(m_handle, true);
        // A console's small messages must not wait for the previous one's acknowledgement.
        mosquitto_int_option(m_handle, MOSQ_OPT_TCP_NODELAY, 1);
        mosquitto_connect_callback_set(m_handle, &Client::onConnect);
        mosquitto_message_callback_set(m_handle, &Client::onMessage);
        if (!options.username.isEmpty()) {
            const int code = mosquitto_username_pw_set(m_handle, options.username.toUtf8().constData(),
                                                       options.password.isEmpty() ? nullptr : options.password.toUtf8().constData());
            if (code != MOSQ_ERR_SUCCESS)
                refuse(QStringLiteral("User name"), code);
        }
        if (m_broker.tls) {
            const QByteArray caFile = options.caFile.toLocal8Bit();
            const int code = caFile.isEmpty() ? mosquitto_int_option(m_handle, MOSQ_OPT_TLS_USE_OS_CERTS, 1)
                                              : mosquitto_tls_set(m_handle, caFile.constData(), nullptr, nullptr, nullptr, nullptr);
            if (code != MOSQ_ERR_SUCCESS)
                refuse(QStringLiteral("CA file \"%1\"").arg(options.caFile), code);
        }
        if (options.will) {
            const Will& will = *options.will;
            const int code = mosquitto_will_set(m_handle, will.topic.toUtf8().constData(), int(will.payload.size()),
                                                will.payload.constData(), will.qos, will.retain);
            if (code != MOSQ_ERR_SUCCESS)
                refuse(QStringLiteral("Last will on \"%1\"").arg(will.topic), code);
        }
    } catch (...) {
        mosquitto_destroy(m_handle);
        throw;
    }
}

Client::~Client()
{
    stop();
    mosquitto_destroy(m_handle);
}

void Client::start()
{
    if (m_thread.joinable())
        return;
    m_stopping = false;
    m_thread = std::thread([this] { run(); });
}

void Client::stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
    m_connected = false;
}

bool Client::publish(const QString& topic, const QByteArray& payload, int qos, bool retain)
{
    if (!m_connected)
        return false;
    return mosquitto_publish(m_handle, nullptr, topic.toUtf8().constData(), int(payload.size()), payload.constData(), qos,
                             retain) == MOSQ_ERR_SUCCESS;
}

void Client::subscribe(const QString& topic, int qos)
{
    const std::string filter = topic.toStdString();
    {
        std::lock_guard lock(m_mutex);
        m_subscriptions.emplace_back(filter, qos);
    }
    if (m_connected)
        mosquitto_subscribe(m_handle, nullptr, filter.c_str(), qos);
}

void Client::run()
{
    auto delay = firstRetryDelay;
    while (!m_stopping) {
        std::string failure;
        const Attempt attempt = connectAndServe(failure);
        m_connected = false;
        if (m_stopping)
            break;
        QMetaObject::invokeMethod(
            this, [this, reason = QString::fromStdString(failure)] { emit disconnected(reason); }, Qt::QueuedConnection);
        // Nothing listening costs the broker's host nothing to tell and means the broker is
        // down: its return is found within a second. A broker that is up and refusing or
        // dropping us gets the back-off.
        if (attempt == Attempt::Lasted || attempt == Attempt::NobodyListening)
            delay = firstRetryDelay;
        waitBeforeRetry(delay);
        if (attempt == Attempt::Failed)
            delay = std::min(delay * 2, longestRetryDelay);
    }
    m_connected = false;
    sayGoodbye();
}

// What was published goes out, then the goodbye that keeps the broker from sending the will.
// Only written: once disconnecting, the library takes a packet read as a protocol error and
// drops the connection without the goodbye.
void Client::sayGoodbye()
{
    if (mosquitto_socket(m_handle) < 0 || mosquitto_disconnect(m_handle) != MOSQ_ERR_SUCCESS)
        return;
    for (int pass = 0; pass < goodbyePasses && mosquitto_socket(m_handle) >= 0; ++pass) {
        if (mosquitto_loop_write(m_handle, 1) != MOSQ_ERR_SUCCESS)
            return;
        if (mosquitto_socket(m_handle) >= 0)
            std::this_thread::sleep_for(goodbyePause);
    }
}

// One connection from the attempt to its end. The connection is made without blocking, so
// that stop() is not held up by a broker that does not answer.
Client::Attempt Client::connectAndServe(std::string& failure)
{
    m_refusal.clear();
    m_accepted = false;
    const std::string broker = m_broker.toString().toStdString();
    const QByteArray host = m_broker.host.toUtf8();
    int code = mosquitto_connect_async(m_handle, host.constData(), m_broker.port, int(m_keepalive.count()));
    int savedErrno = errno;
    const auto deadline = std::chrono::steady_clock::now() + connectBound;
    while (code == MOSQ_ERR_SUCCESS && !m_stopping) {
        code = mosquitto_loop(m_handle, loopWait_ms, 1);
        savedErrno = errno;
        if (!m_accepted && m_refusal.empty() && std::chrono::steady_clock::now() > deadline) {
            failure = "the broker at " + broker + " did not answer within " + std::to_string(connectBound.count()) + " s";
            return Attempt::Failed;
        }
    }
    const bool lasted = m_accepted && std::chrono::steady_clock::now() - m_acceptedAt >= shortestLastingConnection;
    if (!m_refusal.empty())
        failure = m_refusal;
    else if (m_accepted)
        failure = "lost the connection to the broker: " + errorText(code, savedErrno);
    else
        failure = "cannot reach the broker at " + broker + ": " + errorText(code, savedErrno);
    // The broker takes the id over for a newer client without a word to the older one.
    if (m_refusal.empty() && m_accepted && !lasted && !m_clientId.empty())
        failure += " (soon after connecting; if this repeats, another client may use the id " + m_clientId +
                   ", such as a second gateway for the same site and device)";
    if (lasted)
        return Attempt::Lasted;
    const bool refused = m_refusal.empty() && code == MOSQ_ERR_ERRNO && savedErrno == ECONNREFUSED;
    return refused ? Attempt::NobodyListening : Attempt::Failed;
}

void Client::waitBeforeRetry(std::chrono::seconds delay)
{
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, delay, [this] { return m_stopping.load(); });
}

void Client::onConnect(mosquitto*, void* self, int code)
{
    try {
        static_cast<Client*>(self)->handleConnect(code);
    } catch (...) {
        // A callback of the C library: nothing may unwind through it.
    }
}

void Client::onMessage(mosquitto*, void* self, const mosquitto_message* received)
{
    try {
        static_cast<Client*>(self)->handleMessage(*received);
    } catch (...) {
        static_cast<Client*>(self)->m_dropped++;
    }
}

void Client::handleConnect(int code)
{
    if (code != 0) {
        m_refusal = refusalText(code);
        return;
    }
    m_accepted = true;
    m_acceptedAt = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [filter, qos] : m_subscriptions)
            mosquitto_subscribe(m_handle, nullptr, filter.c_str(), qos);
    }
    m_connected = true;
    QMetaObject::invokeMethod(this, [this] { emit connected(); }, Qt::QueuedConnection);
}

void Client::handleMessage(const mosquitto_message& received)
{
    if (received.payloadlen > m_maxPayloadBytes || m_pending >= m_maxPendingMessages) {
        m_dropped++;
        return;
    }
    ++m_pending;
    QMetaObject::invokeMethod(
        this,
        [this, topic = QString::fromUtf8(received.topic),
         payload = QByteArray(static_cast<const char*>(received.payload), received.payloadlen),
         retained = received.retain] {
            --m_pending;
            emit message(topic, payload, retained);
        },
        Qt::QueuedConnection);
}

} // namespace VPanel::Mqtt
