#include "app/remote/RemoteSource.h"

#include "mqtt/Client.h"
#include "panel/LinkEvent.h"

#include <utility>

namespace {

using VPanel::Panel::LinkEvent;
using VPanel::Panel::eventCode;

constexpr int keyQos = 1;
constexpr int stateQos = 1;

// What the state and screen topics tell already: the event topic's copy would say it twice.
bool toldByState(int code)
{
    for (LinkEvent told : {LinkEvent::DeviceIdentified, LinkEvent::ConsoleOn, LinkEvent::ConsoleOff,
                           LinkEvent::SoundOn, LinkEvent::SoundOff})
        if (code == eventCode(told))
            return true;
    return false;
}

bool credentialsRefused(const QString& reason)
{
    return reason.contains(QLatin1String("user name or password")) || reason.contains(QLatin1String("not authorised"));
}

VPanel::Mqtt::ClientOptions clientOptions(const RemoteAddress& address, const RemoteCredentials& credentials)
{
    VPanel::Mqtt::ClientOptions options;
    options.broker = VPanel::Mqtt::BrokerAddress::parse(address.broker);
    options.username = credentials.user;
    options.password = credentials.password;
    options.caFile = credentials.caFile;
    return options;
}

} // namespace

RemoteSource::RemoteSource(RemoteAddress address, const RemoteCredentials& credentials, QObject* parent)
    : QObject(parent),
      m_address(std::move(address)),
      m_client(std::make_unique<VPanel::Mqtt::Client>(clientOptions(m_address, credentials)))
{
    registerSymbolMatrixMetaType();
    connect(m_client.get(), &VPanel::Mqtt::Client::connected, this, &RemoteSource::brokerConnected);
    connect(m_client.get(), &VPanel::Mqtt::Client::disconnected, this, &RemoteSource::brokerLost);
    connect(m_client.get(), &VPanel::Mqtt::Client::message, this, &RemoteSource::take);
    for (const char* leaf : {"state", "glyphs", "screen", "event"})
        m_client->subscribe(m_address.topic(leaf), stateQos);
    m_heldKeyRepeat.setInterval(heldKeyRepeat);
    connect(&m_heldKeyRepeat, &QTimer::timeout, this, [this] {
        for (const int scanCode : m_heldKeys)
            publishKey(scanCode, true);
    });
    m_client->start();
}

RemoteSource::~RemoteSource() = default;

QString RemoteSource::brokerText() const
{
    switch (m_broker) {
    case Broker::Connecting:
        return tr("Соединение с брокером %1...").arg(m_address.broker);
    case Broker::Connected:
        return tr("Брокер %1: соединение установлено").arg(m_address.broker);
    case Broker::Refused:
        return tr("Брокер %1 отказал: неверное имя пользователя или пароль").arg(m_address.broker);
    case Broker::Unreachable:
        break;
    }
    return tr("Брокер %1 недоступен, повторная попытка...").arg(m_address.broker);
}

QString RemoteSource::gatewayText() const
{
    if (!m_state)
        return tr("Шлюз: нет сведений об устройстве");
    const QString& link = m_state->link;
    QString text;
    if (link == QLatin1String("connecting"))
        text = tr("Шлюз: соединение с устройством");
    else if (link == QLatin1String("live"))
        text = tr("Шлюз: устройство на связи");
    else if (link == QLatin1String("silent"))
        text = tr("Шлюз: устройство не отвечает");
    else if (link == QLatin1String("gone"))
        text = tr("Шлюз: порт устройства недоступен");
    else if (link == QLatin1String("gateway offline"))
        return tr("Шлюз не в сети");
    else
        return tr("Шлюз: неизвестное состояние");
    if (m_state->retryInSeconds)
        text += tr(", повтор через %1 с").arg(*m_state->retryInSeconds);
    return text;
}

void RemoteSource::brokerConnected()
{
    m_broker = Broker::Connected;
    m_brokerReason.clear();
    emit statusChanged();
}

void RemoteSource::brokerLost(const QString& reason)
{
    m_broker = credentialsRefused(reason) ? Broker::Refused : Broker::Unreachable;
    m_brokerReason = reason;
    emit statusChanged();
}

void RemoteSource::take(const QString& topic, const QByteArray& payload)
{
    // Anything that is not what the gateway sends is passed by.
    if (topic == m_address.topic("state")) {
        if (const auto state = RemoteMessages::parseState(payload))
            takeState(*state);
    } else if (topic == m_address.topic("screen")) {
        if (const auto screen = RemoteMessages::parseScreen(payload))
            takeScreen(*screen);
    } else if (topic == m_address.topic("glyphs")) {
        if (auto glyphs = RemoteMessages::parseGlyphs(payload))
            takeGlyphs(std::move(*glyphs));
    } else if (topic == m_address.topic("event")) {
        if (const auto event = RemoteMessages::parseEvent(payload))
            takeEvent(*event);
    }
}

void RemoteSource::takeState(const RemoteMessages::State& state)
{
    const bool changed = !m_state || m_state->link != state.link || m_state->retryInSeconds != state.retryInSeconds;
    m_state = state;
    if (state.rows > 0 && state.places > 0)
        resize(state.rows, state.places);
    if (!state.identity.isEmpty() && state.identity != m_identity) {
        m_identity = state.identity;
        emit alarm(eventCode(LinkEvent::DeviceIdentified), m_identity);
        if (state.identifier >= 0)
            emit deviceIdentif(state.identifier);
    }
    follow(state.consoleOn, state.alarm);
    if (changed)
        emit statusChanged();
}

void RemoteSource::takeScreen(const RemoteMessages::Screen& screen)
{
    resize(static_cast<int>(screen.cells.size()), screen.places);
    follow(screen.consoleOn, screen.alarm);
    // A console switched off shows the window's own screen for it.
    if (!m_consoleOn)
        return;
    for (int row = 0; row < static_cast<int>(screen.cells.size()); ++row)
        emit setCells(row, 0, screen.cells[row], static_cast<int>(screen.cells[row].size()));
}

void RemoteSource::takeGlyphs(std::vector<SymbolMatrix> glyphs)
{
    for (std::size_t code = 0; code < glyphs.size(); ++code)
        if (code >= m_glyphs.size() || m_glyphs[code] != glyphs[code])
            emit setSymbolMatrix(static_cast<char>(code), glyphs[code]);
    m_glyphs = std::move(glyphs);
}

void RemoteSource::takeEvent(const RemoteMessages::Event& event)
{
    if (toldByState(event.code) || event.text.isEmpty())
        return;
    // The gateway acts on the device's failures itself: here they are news, not the end of
    // the tab's link.
    emit alarm(eventCode(LinkEvent::Progress), event.text);
}

void RemoteSource::resize(int rows, int places)
{
    if (rows == m_rows && places == m_places)
        return;
    m_rows = rows;
    m_places = places;
    emit sizeIndicators(rows, places);
    emit setMatrixSymbolSize(RemoteMessages::glyphColumns, RemoteMessages::glyphRows);
}

void RemoteSource::follow(bool consoleOn, bool alarmOn)
{
    if (std::exchange(m_consoleOn, consoleOn) != consoleOn)
        emit alarm(eventCode(consoleOn ? LinkEvent::ConsoleOn : LinkEvent::ConsoleOff), QString());
    if (std::exchange(m_alarm, alarmOn) != alarmOn)
        emit alarm(eventCode(alarmOn ? LinkEvent::SoundOn : LinkEvent::SoundOff), QString());
}

void RemoteSource::codePress(int scanCode)
{
    if (m_heldKeys.insert(scanCode).second && !m_heldKeyRepeat.isActive())
        m_heldKeyRepeat.start();
    publishKey(scanCode, true);
}

void RemoteSource::codeRelease(int scanCode)
{
    m_heldKeys.erase(scanCode);
    if (m_heldKeys.empty())
        m_heldKeyRepeat.stop();
    publishKey(scanCode, false);
}

void RemoteSource::publishKey(int scanCode, bool pressed)
{
    if (const std::optional<QByteArray> message = RemoteMessages::keyMessage(scanCode, pressed))
        m_client->publish(m_address.topic("keys"), *message, keyQos, false);
}
