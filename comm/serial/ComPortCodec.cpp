#include "comm/serial/ComPortCodec.h"

#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialTypes.h"

#include <libtelnet.h>

#include <algorithm>
#include <iterator>
#include <new>

namespace KelComm::Serial::Internal {

namespace {
constexpr unsigned char comPortOption = 44;
// Client commands of the COM port option; the server answers each with its code + 100.
constexpr std::uint8_t setBaudRate = 1;
constexpr std::uint8_t setDataSize = 2;
constexpr std::uint8_t setParity = 3;
constexpr std::uint8_t setStopSize = 4;
constexpr std::uint8_t setControl = 5;
constexpr std::uint8_t notifyLineState = 6;
constexpr std::uint8_t setLineStateMask = 10;
constexpr std::uint8_t purgeData = 12;
constexpr std::uint8_t serverAnswerOffset = 100;
constexpr std::uint8_t settingCommands[] = {setBaudRate, setDataSize, setParity, setStopSize};

// Values of SET-CONTROL and PURGE-DATA.
constexpr std::uint8_t noFlowControl = 1;
constexpr std::uint8_t hardwareFlowControl = 3;
constexpr std::uint8_t breakOn = 5;
constexpr std::uint8_t breakOff = 6;
constexpr std::uint8_t dtrOn = 8;
constexpr std::uint8_t dtrOff = 9;
constexpr std::uint8_t rtsOn = 11;
constexpr std::uint8_t rtsOff = 12;
constexpr std::uint8_t purgeReceived = 1;
constexpr std::uint8_t purgeTransmitted = 2;
constexpr std::uint8_t purgeBoth = 3;

// NOTIFY-LINESTATE bits; the line errors the server is asked to report are these.
constexpr std::uint8_t overrunBit = 0x02;
constexpr std::uint8_t parityBit = 0x04;
constexpr std::uint8_t framingBit = 0x08;
constexpr std::uint8_t breakBit = 0x10;

// Values of SET-PARITY and SET-STOPSIZE: none, odd, even, mark, space; 1, 2, 1.5 bits.
constexpr std::uint32_t lastParity = 5;
constexpr std::uint32_t lastStopSize = 3;

// A server may round the rate it sets; beyond this it did not take the rate at all.
constexpr std::uint32_t rateTolerance_percent = 3;

// The line accepts only what it needs; the Telnet library refuses every other option.
const telnet_telopt_t telnetOptions[] = {
    {TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {comPortOption, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};

std::vector<std::uint8_t> bigEndian(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

std::uint8_t errorFlagsOfLineState(std::uint8_t state)
{
    std::uint8_t flags = 0;
    if (state & overrunBit)
        flags |= IO_Result::Overrun;
    if (state & parityBit)
        flags |= IO_Result::ParityError;
    if (state & framingBit)
        flags |= IO_Result::FramingError;
    if (state & breakBit)
        flags |= IO_Result::BreakDetected;
    return flags;
}

bool confirmed(std::uint8_t command, std::uint32_t wanted, std::uint32_t answered)
{
    if (command != setBaudRate)
        return answered == wanted;
    const std::uint64_t difference = wanted > answered ? wanted - answered : answered - wanted;
    return difference * 100 <= std::uint64_t(wanted) * rateTolerance_percent;
}
} // namespace

ComPortCodec::ComPortCodec(Sink& sink) : m_sink(sink)
{
    m_telnet = telnet_init(telnetOptions, &ComPortCodec::onEvent, 0, this);
    if (!m_telnet)
        throw std::bad_alloc();
}

ComPortCodec::~ComPortCodec() { telnet_free(m_telnet); }

void ComPortCodec::offer()
{
    telnet_negotiate(m_telnet, TELNET_WILL, TELNET_TELOPT_BINARY);
    telnet_negotiate(m_telnet, TELNET_DO, TELNET_TELOPT_BINARY);
    telnet_negotiate(m_telnet, TELNET_WILL, comPortOption);
}

void ComPortCodec::receive(const char* bytes, std::size_t size)
{
    m_filtered.clear();
    m_filter.filter(bytes, size, m_filtered);
    telnet_recv(m_telnet, m_filtered.data(), m_filtered.size());
}

void ComPortCodec::givePortControlUp()
{
    PortControl pending = PortControl::Pending;
    m_portControl.compare_exchange_strong(pending, PortControl::Refused);
}

void ComPortCodec::onEvent(telnet_t*, telnet_event_t* event, void* self)
{
    ComPortCodec& codec = *static_cast<ComPortCodec*>(self);
    switch (event->type) {
    case TELNET_EV_DATA:
        codec.m_sink.lineData(event->data.buffer, event->data.size);
        break;
    case TELNET_EV_SEND:
        codec.m_sink.toServer(event->data.buffer, event->data.size);
        break;
    case TELNET_EV_DO:
        if (event->neg.telopt == comPortOption)
            codec.m_portControl = PortControl::Agreed;
        break;
    case TELNET_EV_DONT:
        if (event->neg.telopt == comPortOption)
            codec.m_portControl = PortControl::Refused;
        break;
    case TELNET_EV_SUBNEGOTIATION:
        if (event->sub.telopt == comPortOption)
            codec.serverCommand(reinterpret_cast<const std::uint8_t*>(event->sub.buffer), event->sub.size);
        break;
    case TELNET_EV_WARNING:
        if (codec.m_violation.empty())
            codec.m_violation = event->error.msg ? event->error.msg : "?";
        break;
    case TELNET_EV_ERROR:
        codec.m_broken = true;
        break;
    default:
        break;
    }
}

void ComPortCodec::serverCommand(const std::uint8_t* body, std::size_t size)
{
    if (size == 0 || body[0] <= serverAnswerOffset)
        return;
    const std::uint8_t command = body[0] - serverAnswerOffset;
    if (command == notifyLineState && size > 1)
        m_lineErrors |= errorFlagsOfLineState(body[1]);
    m_answers[command].assign(body + 1, body + size);
}

void ComPortCodec::send(std::uint8_t command, const std::vector<std::uint8_t>& value)
{
    std::vector<char> body{static_cast<char>(command)};
    body.insert(body.end(), value.begin(), value.end());
    telnet_subnegotiation(m_telnet, comPortOption, body.data(), body.size());
}

void ComPortCodec::askForLineErrors() { send(setLineStateMask, {overrunBit | parityBit | framingBit | breakBit}); }

void ComPortCodec::purge(bool input, bool output)
{
    if (input || output)
        send(purgeData, {input && output ? purgeBoth : (input ? purgeReceived : purgeTransmitted)});
}

void ComPortCodec::setBreak(bool on) { send(setControl, {on ? breakOn : breakOff}); }

void ComPortCodec::setControls(const LineImage& image)
{
    send(setControl, {image.rtsControl == RTS_Control::Handshake ? hardwareFlowControl : noFlowControl});
    send(setControl, {image.dtrControl == DTR_Control::Disable ? dtrOff : dtrOn});
    if (image.rtsControl != RTS_Control::Handshake)
        send(setControl, {image.rtsControl == RTS_Control::Disable ? rtsOff : rtsOn});
}

ComPortCodec::WireSettings ComPortCodec::wireSettings(const LineImage& image)
{
    return {static_cast<std::uint32_t>(image.baudRate), static_cast<std::uint8_t>(image.byteSize),
            static_cast<std::uint8_t>(image.parity + 1),
            static_cast<std::uint8_t>(image.stopBits == StopBits::Two ? 2 : 1)};
}

void ComPortCodec::requestSettings(const WireSettings& settings)
{
    for (const std::uint8_t command : settingCommands)
        m_answers.erase(command);
    send(setBaudRate, bigEndian(settings.baudRate));
    send(setDataSize, {settings.dataSize});
    send(setParity, {settings.parity});
    send(setStopSize, {settings.stopSize});
}

bool ComPortCodec::settingsAnswered() const
{
    return std::all_of(std::begin(settingCommands), std::end(settingCommands),
                       [&](std::uint8_t command) { return m_answers.count(command) != 0; });
}

std::uint32_t ComPortCodec::answered(std::uint8_t command) const
{
    // 0, which no setting has, for an answer missing or of another length than the request's.
    const auto answer = m_answers.find(command);
    if (answer == m_answers.end() || answer->second.size() != (command == setBaudRate ? 4u : 1u))
        return 0;
    std::uint32_t value = 0;
    for (const std::uint8_t byte : answer->second)
        value = (value << 8) | byte;
    return value;
}

std::optional<CommSettings> ComPortCodec::reportedSettings() const
{
    const std::uint32_t parity = answered(setParity), stopSize = answered(setStopSize);
    if (!parity || parity > lastParity || !stopSize || stopSize > lastStopSize)
        return std::nullopt;
    try {
        return CommSettings(static_cast<long>(answered(setBaudRate)), static_cast<int>(answered(setDataSize)),
                            Parity(static_cast<int>(parity) - 1),
                            StopBits(stopSize == 2 ? StopBits::Two : StopBits::One));
    } catch (const CommSettingsException&) {
        return std::nullopt;
    }
}

std::vector<ComPortCodec::Refusal> ComPortCodec::refusals(const WireSettings& wanted) const
{
    const std::uint32_t values[] = {wanted.baudRate, wanted.dataSize, wanted.parity, wanted.stopSize};
    std::vector<Refusal> refused;
    for (std::size_t i = 0; i < std::size(settingCommands); ++i) {
        const std::uint32_t answer = answered(settingCommands[i]);
        if (!confirmed(settingCommands[i], values[i], answer))
            refused.push_back({settingCommands[i], values[i], answer});
    }
    return refused;
}

std::string ComPortCodec::escaped(const std::uint8_t* bytes, std::size_t size)
{
    std::string encoded;
    encoded.reserve(size + size / 8);
    for (std::size_t i = 0; i < size; ++i) {
        encoded.push_back(static_cast<char>(bytes[i]));
        if (bytes[i] == byteNeedingDouble)
            encoded.push_back(static_cast<char>(byteNeedingDouble));
    }
    return encoded;
}

std::size_t ComPortCodec::bytesSent(const std::uint8_t* bytes, std::size_t size, std::size_t sent, bool& halfOwed)
{
    halfOwed = false;
    std::size_t consumed = 0, offset = 0;
    while (consumed < size) {
        const std::size_t length = bytes[consumed] == byteNeedingDouble ? 2 : 1;
        if (offset + length > sent) {
            halfOwed = offset + 1 == sent && length == 2;
            break;
        }
        offset += length;
        ++consumed;
    }
    return consumed;
}

} // namespace KelComm::Serial::Internal
