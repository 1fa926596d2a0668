#include "comm/serial/NetworkLine.h"

#include "comm/serial/PortLog.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialTypes.h"

#include <libtelnet.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iterator>

// The Telnet side of a line on a device server: the server's commands and the COM port
// control requests that carry the line's settings, break and purges.
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
constexpr std::uint8_t purgeData = 12;
constexpr std::uint8_t serverAnswerOffset = 100;

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

// NOTIFY-LINESTATE bits.
constexpr std::uint8_t overrunBit = 0x02;
constexpr std::uint8_t parityBit = 0x04;
constexpr std::uint8_t framingBit = 0x08;
constexpr std::uint8_t breakBit = 0x10;

constexpr auto answerWait = std::chrono::milliseconds(1000);
// A server may round the rate it sets; beyond this it did not take the rate at all.
constexpr std::uint32_t rateTolerance_percent = 3;

std::vector<std::uint8_t> bigEndian(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

// The value the server answered; 0, which no setting has, for an answer of another length
// than the request's.
std::uint32_t answeredValue(std::uint8_t command, const std::vector<std::uint8_t>& answer)
{
    if (answer.size() != (command == setBaudRate ? 4u : 1u))
        return 0;
    std::uint32_t value = 0;
    for (const std::uint8_t byte : answer)
        value = (value << 8) | byte;
    return value;
}

// Values of SET-PARITY and SET-STOPSIZE: none, odd, even, mark, space; 1, 2, 1.5 bits.
constexpr std::uint32_t lastParity = 5;
constexpr std::uint32_t lastStopSize = 3;

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

void NetworkLine::onTelnetEvent(telnet_t*, telnet_event_t* event, void* self)
{
    NetworkLine& line = *static_cast<NetworkLine*>(self);
    switch (event->type) {
    case TELNET_EV_DATA:
        line.queueReceived(event->data.buffer, event->data.size);
        break;
    case TELNET_EV_SEND:
        line.sendControl(event->data.buffer, event->data.size);
        break;
    case TELNET_EV_DO:
        if (event->neg.telopt == comPortOption)
            line.m_portControl = PortControl::Agreed;
        break;
    case TELNET_EV_DONT:
        if (event->neg.telopt == comPortOption)
            line.m_portControl = PortControl::Refused;
        break;
    case TELNET_EV_SUBNEGOTIATION:
        if (event->sub.telopt == comPortOption)
            line.handleServerCommand(reinterpret_cast<const std::uint8_t*>(event->sub.buffer), event->sub.size);
        break;
    case TELNET_EV_WARNING:
        if (!std::exchange(line.m_protocolFaultLogged, true))
            logError(L"Сервер порта '" + pathText(line.path()) + L"' нарушил протокол Telnet: " +
                     pathText(event->error.msg ? event->error.msg : "") + L"\n");
        break;
    case TELNET_EV_ERROR:
        line.m_connectionError = EPROTO;
        break;
    default:
        break;
    }
}

void NetworkLine::handleServerCommand(const std::uint8_t* body, std::size_t size)
{
    if (size == 0 || body[0] <= serverAnswerOffset)
        return;
    const std::uint8_t command = body[0] - serverAnswerOffset;
    if (command == notifyLineState && size > 1)
        m_lineErrors |= errorFlagsOfLineState(body[1]);
    m_answers[command].assign(body + 1, body + size);
}

void NetworkLine::sendCommand(std::uint8_t command, const std::vector<std::uint8_t>& value)
{
    std::vector<char> body{static_cast<char>(command)};
    body.insert(body.end(), value.begin(), value.end());
    const std::lock_guard<std::mutex> guard(m_receiveMutex);
    telnet_subnegotiation(m_telnet, comPortOption, body.data(), body.size());
}

void NetworkLine::flush(bool input, bool output)
{
    if (input) {
        const std::lock_guard<std::mutex> guard(m_receiveMutex);
        pumpLocked();
        m_received.clear();
        signalReady();
    }
    if (portControlAgreed() && (input || output))
        sendCommand(purgeData, {input && output ? purgeBoth : (input ? purgeReceived : purgeTransmitted)});
}

void NetworkLine::setBreak(bool on)
{
    if (portControlAgreed())
        sendCommand(setControl, {on ? breakOn : breakOff});
}

bool NetworkLine::exchangeSettings(std::uint32_t baudRate, std::uint8_t dataSize, std::uint8_t parity,
                                   std::uint8_t stopSize)
{
    constexpr std::uint8_t settingCommands[] = {setBaudRate, setDataSize, setParity, setStopSize};
    {
        const std::lock_guard<std::mutex> guard(m_receiveMutex);
        for (const std::uint8_t command : settingCommands)
            m_answers.erase(command);
    }
    sendCommand(setBaudRate, bigEndian(baudRate));
    sendCommand(setDataSize, {dataSize});
    sendCommand(setParity, {parity});
    sendCommand(setStopSize, {stopSize});
    return awaitServer(
        [&] {
            return std::all_of(std::begin(settingCommands), std::end(settingCommands),
                               [&](std::uint8_t command) { return m_answers.count(command) != 0; });
        },
        answerWait);
}

template <typename Exchange> void NetworkLine::whileOpening(const Exchange& exchange)
{
    if (m_settingsExchanged) {
        exchange();
        return;
    }
    try {
        exchange();
    } catch (const SerialLineGoneException& failed) {
        throwOpenFailure(failed);
    }
}

void NetworkLine::adoptLine(LineImage& image)
{
    whileOpening([&] { adoptServerSettings(image); });
}

void NetworkLine::adoptServerSettings(LineImage& image)
{
    CommSettings settings;
    // A value 0 asks the server for the line's current one.
    if (portControlAgreed() && exchangeSettings(0, 0, 0, 0)) {
        const std::lock_guard<std::mutex> guard(m_receiveMutex);
        const auto value = [&](std::uint8_t command) { return answeredValue(command, m_answers[command]); };
        const std::uint32_t parity = value(setParity), stopSize = value(setStopSize);
        // A line the settings cannot describe starts from the defaults.
        if (parity && parity <= lastParity && stopSize && stopSize <= lastStopSize) {
            try {
                settings = CommSettings(static_cast<long>(value(setBaudRate)), static_cast<int>(value(setDataSize)),
                                        Parity(static_cast<int>(parity) - 1),
                                        StopBits(stopSize == 2 ? StopBits::Two : StopBits::One));
            } catch (const CommSettingsException&) {
            }
        }
    }
    putSettings(image, settings);
}

void NetworkLine::applyImage(const LineImage& image)
{
    whileOpening([&] { applySettings(image); });
    m_settingsExchanged = true;
}

void NetworkLine::applySettings(const LineImage& image)
{
    if (!portControlAgreed()) {
        if (!std::exchange(m_settingsNoticeLogged, true))
            logTrace(L"Параметры линии порта '" + pathText(path()) +
                     L"' задаёт сервер: по этому соединению они не передаются\n");
        return;
    }
    const std::uint8_t commands[] = {setBaudRate, setDataSize, setParity, setStopSize};
    const std::uint32_t wanted[] = {static_cast<std::uint32_t>(image.baudRate),
                                    static_cast<std::uint32_t>(image.byteSize),
                                    static_cast<std::uint32_t>(image.parity + 1),
                                    image.stopBits == StopBits::Two ? 2u : 1u};
    if (!exchangeSettings(wanted[0], static_cast<std::uint8_t>(wanted[1]), static_cast<std::uint8_t>(wanted[2]),
                          static_cast<std::uint8_t>(wanted[3]))) {
        logError(L"Сервер порта '" + pathText(path()) + L"' не подтвердил параметры линии\n");
        throwSystemError(EINVAL);
    }
    {
        const std::lock_guard<std::mutex> guard(m_receiveMutex);
        bool refused = false;
        for (std::size_t i = 0; i < std::size(commands); ++i) {
            const std::uint32_t answered = answeredValue(commands[i], m_answers[commands[i]]);
            if (confirmed(commands[i], wanted[i], answered))
                continue;
            refused = true;
            logError(L"Сервер порта '" + pathText(path()) + L"' отказал в параметре " +
                     std::to_wstring(commands[i]) + L": запрошено " + std::to_wstring(wanted[i]) +
                     L", установлено " + std::to_wstring(answered) + L"\n");
        }
        if (refused)
            throwSystemError(EINVAL);
    }
    // A line without modem lines leaves these unanswered: nothing waits for them.
    sendCommand(setControl, {image.rtsControl == RTS_Control::Handshake ? hardwareFlowControl : noFlowControl});
    sendCommand(setControl, {image.dtrControl == DTR_Control::Disable ? dtrOff : dtrOn});
    if (image.rtsControl != RTS_Control::Handshake)
        sendCommand(setControl, {image.rtsControl == RTS_Control::Disable ? rtsOff : rtsOn});
}

} // namespace KelComm::Serial::Internal
