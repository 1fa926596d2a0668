#include "comm/serial/NetworkLine.h"

#include "comm/serial/PortLog.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialTypes.h"

#include <libtelnet.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iterator>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace KelComm::Serial::Internal {

namespace {
constexpr unsigned char comPortOption = 44;
// Client commands of the COM port option; the server answers each with its code + 100.
constexpr std::uint8_t setBaudRate = 1;
constexpr std::uint8_t setDataSize = 2;
constexpr std::uint8_t setParity = 3;
constexpr std::uint8_t setStopSize = 4;
constexpr std::uint8_t setControl = 5;
constexpr std::uint8_t purgeData = 12;
constexpr std::uint8_t serverAnswerOffset = 100;
constexpr std::uint8_t notifyLineState = 6;
constexpr int quickAcknowledgement = 1;

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

constexpr std::uint8_t dataByteNeedingDouble = 0xFF;
constexpr std::size_t receiveChunk = 4096;
constexpr auto answerWait = std::chrono::milliseconds(1000);
// How often a wait for the server looks again, in case another thread took its answer.
constexpr auto answerLookInterval = std::chrono::milliseconds(10);

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

std::uint32_t fromBigEndian(const std::vector<std::uint8_t>& bytes)
{
    std::uint32_t value = 0;
    for (const std::uint8_t byte : bytes)
        value = (value << 8) | byte;
    return value;
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
} // namespace

NetworkLine::NetworkLine(const NetworkAddress& address, int socket, int readyDescriptor)
    : SerialLine(address.url, socket, readyDescriptor), m_address(address), m_ready(readyDescriptor)
{
    if (m_address.protocol == NetworkAddress::Protocol::Rfc2217)
        m_telnet = telnet_init(telnetOptions, &NetworkLine::onTelnetEvent, 0, this);
}

NetworkLine::~NetworkLine()
{
    if (m_telnet)
        telnet_free(m_telnet);
    close(m_ready);
}

void NetworkLine::onTelnetEvent(telnet_t*, telnet_event_t* event, void* self)
{
    NetworkLine& line = *static_cast<NetworkLine*>(self);
    switch (event->type) {
    case TELNET_EV_DATA:
        line.m_received.insert(line.m_received.end(), event->data.buffer, event->data.buffer + event->data.size);
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

bool NetworkLine::pumpLocked()
{
    char chunk[receiveChunk];
    while (!m_connectionError) {
        const ssize_t count = recv(descriptor(), chunk, sizeof chunk, MSG_DONTWAIT);
        if (count > 0) {
            // A server that holds small writes until they are acknowledged (Nagle) would
            // otherwise wait for our delayed acknowledgement, tens of milliseconds, in the
            // middle of a reply; the kernel drops the quick mode again, so it is renewed.
            setsockopt(descriptor(), IPPROTO_TCP, TCP_QUICKACK, &quickAcknowledgement, sizeof quickAcknowledgement);
            if (m_telnet)
                telnet_recv(m_telnet, chunk, static_cast<std::size_t>(count));
            else
                m_received.insert(m_received.end(), chunk, chunk + count);
            continue;
        }
        if (count == 0)
            m_connectionError = ECONNRESET; // the server closed the connection
        else if (errno == EAGAIN)
            break;
        else if (errno != EINTR)
            m_connectionError = errno;
    }
    signalReady();
    // What came before the connection ended is still the caller's.
    if (m_received.empty() && m_connectionError)
        throwSystemError(m_connectionError == EPROTO ? EPROTO : ECONNRESET);
    return !m_received.empty();
}

bool NetworkLine::pump()
{
    const std::lock_guard<std::mutex> guard(m_receiveMutex);
    return pumpLocked();
}

void NetworkLine::signalReady()
{
    if (m_received.empty() == !m_readySignalled)
        return;
    std::uint64_t count = 1;
    if (m_readySignalled)
        while (read(m_ready, &count, sizeof count) < 0 && errno == EINTR) {
        }
    else
        while (write(m_ready, &count, sizeof count) < 0 && errno == EINTR) {
        }
    m_readySignalled = !m_readySignalled;
}

bool NetworkLine::awaitServer(const std::function<bool()>& condition, std::chrono::milliseconds bound)
{
    const auto end = SteadyClock::now() + bound;
    for (;;) {
        {
            const std::lock_guard<std::mutex> guard(m_receiveMutex);
            pumpLocked();
            if (condition())
                return true;
        }
        const auto left = end - SteadyClock::now();
        if (left <= SteadyClock::duration::zero())
            return false;
        pollfd socket{descriptor(), POLLIN, 0};
        const auto wait = std::min(std::chrono::duration_cast<std::chrono::milliseconds>(left) +
                                       std::chrono::milliseconds(1),
                                   answerLookInterval);
        ::poll(&socket, 1, static_cast<int>(wait.count()));
    }
}

std::size_t NetworkLine::sendNow(const char* bytes, std::size_t size)
{
    for (;;) {
        const ssize_t count = send(descriptor(), bytes, size, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (count >= 0)
            return static_cast<std::size_t>(count);
        if (errno == EAGAIN)
            return 0;
        if (errno != EINTR)
            throwSystemError(errno == EPIPE ? ECONNRESET : errno);
    }
}

bool NetworkLine::flushPendingLocked()
{
    if (m_escapeHalfOwed) {
        const char half = static_cast<char>(dataByteNeedingDouble);
        if (sendNow(&half, 1) == 0)
            return false;
        m_escapeHalfOwed = false;
    }
    const std::size_t sent = sendNow(m_pendingCommands.data(), m_pendingCommands.size());
    m_pendingCommands.erase(0, sent);
    return m_pendingCommands.empty();
}

void NetworkLine::sendControl(const char* bytes, std::size_t size)
{
    const std::lock_guard<std::mutex> guard(m_sendMutex);
    m_pendingCommands.append(bytes, size);
    // Called back from the Telnet library, through which nothing may be thrown: the next
    // transfer finds the connection gone instead.
    try {
        flushPendingLocked();
    } catch (const SerialPortSystemException&) {
        m_connectionError = ECONNRESET;
    }
}

void NetworkLine::sendCommand(std::uint8_t command, const std::vector<std::uint8_t>& value)
{
    std::vector<char> body{static_cast<char>(command)};
    body.insert(body.end(), value.begin(), value.end());
    const std::lock_guard<std::mutex> guard(m_receiveMutex);
    telnet_subnegotiation(m_telnet, comPortOption, body.data(), body.size());
}

std::size_t NetworkLine::writeSome(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const std::lock_guard<std::mutex> guard(m_sendMutex);
    if (!m_telnet)
        return sendNow(static_cast<const char*>(data), size);
    // A byte whose doubling went out half counts once its second half has gone too.
    const bool finishingEscape = m_escapeHalfOwed && size && bytes[0] == dataByteNeedingDouble;
    if (!flushPendingLocked())
        return 0;
    if (finishingEscape)
        return 1;

    std::string encoded;
    encoded.reserve(size + size / 8);
    for (std::size_t i = 0; i < size; ++i) {
        encoded.push_back(static_cast<char>(bytes[i]));
        if (bytes[i] == dataByteNeedingDouble)
            encoded.push_back(static_cast<char>(dataByteNeedingDouble));
    }
    const std::size_t sent = sendNow(encoded.data(), encoded.size());
    std::size_t consumed = 0, offset = 0;
    while (consumed < size) {
        const std::size_t length = bytes[consumed] == dataByteNeedingDouble ? 2 : 1;
        if (offset + length > sent) {
            m_escapeHalfOwed = offset + 1 == sent && length == 2;
            break;
        }
        offset += length;
        ++consumed;
    }
    return consumed;
}

std::size_t NetworkLine::readSome(void* buffer, std::size_t size)
{
    const std::lock_guard<std::mutex> guard(m_receiveMutex);
    if (m_received.size() < size)
        pumpLocked();
    const std::size_t count = std::min(size, m_received.size());
    std::copy_n(m_received.begin(), count, static_cast<std::uint8_t*>(buffer));
    m_received.erase(m_received.begin(), m_received.begin() + static_cast<std::ptrdiff_t>(count));
    signalReady();
    return count;
}

SerialLine::WaitResult NetworkLine::waitReadable(const Deadline& deadline)
{
    // The socket may wake the wait with Telnet commands alone: wait again until data came.
    for (;;) {
        if (pump())
            return WaitResult::Ready;
        const WaitResult waited = SerialLine::waitReadable(deadline);
        if (waited != WaitResult::Ready)
            return waited;
    }
}

void NetworkLine::markClosed()
{
    SerialLine::markClosed();
    // The server sees the end at once, even while a woken transfer still holds the socket.
    shutdown(descriptor(), SHUT_RDWR);
}

SerialLine::Status NetworkLine::status()
{
    Status status;
    const std::lock_guard<std::mutex> guard(m_receiveMutex);
    pumpLocked();
    status.inQueue = static_cast<std::uint32_t>(m_received.size());
    int unsent = 0;
    if (ioctl(descriptor(), TIOCOUTQ, &unsent) == 0)
        status.outQueue = static_cast<std::uint32_t>(unsent);
    status.errors = std::exchange(m_lineErrors, 0);
    return status;
}

void NetworkLine::flush(bool input, bool output)
{
    if (input) {
        const std::lock_guard<std::mutex> guard(m_receiveMutex);
        pumpLocked();
        m_received.clear();
        signalReady();
    }
    if (m_portControl == PortControl::Agreed && (input || output))
        sendCommand(purgeData, {input && output ? purgeBoth : (input ? purgeReceived : purgeTransmitted)});
}

void NetworkLine::setBreak(bool on)
{
    if (m_portControl == PortControl::Agreed)
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

void NetworkLine::adoptLine(LineImage& image)
{
    CommSettings settings;
    // A value 0 asks the server for the line's current one.
    if (m_portControl == PortControl::Agreed && exchangeSettings(0, 0, 0, 0)) {
        const std::lock_guard<std::mutex> guard(m_receiveMutex);
        const auto value = [&](std::uint8_t command) { return fromBigEndian(m_answers[command]); };
        try {
            settings = CommSettings(static_cast<long>(value(setBaudRate)), static_cast<int>(value(setDataSize)),
                                    Parity(static_cast<int>(value(setParity)) - 1),
                                    StopBits(value(setStopSize) == 2 ? StopBits::Two : StopBits::One));
        } catch (const CommSettingsException&) {
            // A line the settings cannot describe starts from the defaults.
        }
    }
    putSettings(image, settings);
}

void NetworkLine::applyImage(const LineImage& image)
{
    if (m_portControl != PortControl::Agreed) {
        if (!std::exchange(m_settingsNoticeLogged, true))
            logTrace(L"Параметры линии порта '" + pathText(path()) +
                     L"' задаёт сервер: по этому соединению они не передаются\n");
        return;
    }
    const auto wanted = std::vector<std::uint32_t>{static_cast<std::uint32_t>(image.baudRate),
                                                   static_cast<std::uint32_t>(image.byteSize),
                                                   static_cast<std::uint32_t>(image.parity + 1),
                                                   image.stopBits == StopBits::Two ? 2u : 1u};
    if (!exchangeSettings(wanted[0], static_cast<std::uint8_t>(wanted[1]), static_cast<std::uint8_t>(wanted[2]),
                          static_cast<std::uint8_t>(wanted[3]))) {
        logError(L"Сервер порта '" + pathText(path()) + L"' не подтвердил параметры линии\n");
    } else {
        const std::lock_guard<std::mutex> guard(m_receiveMutex);
        const std::uint8_t commands[] = {setBaudRate, setDataSize, setParity, setStopSize};
        for (std::size_t i = 0; i < std::size(commands); ++i) {
            const std::uint32_t answered = fromBigEndian(m_answers[commands[i]]);
            if (answered != wanted[i])
                logError(L"Сервер порта '" + pathText(path()) + L"' отказал в параметре " +
                         std::to_wstring(commands[i]) + L": запрошено " + std::to_wstring(wanted[i]) +
                         L", установлено " + std::to_wstring(answered) + L"\n");
        }
    }
    // A line without modem lines leaves these unanswered: nothing waits for them.
    sendCommand(setControl, {image.rtsControl == RTS_Control::Handshake ? hardwareFlowControl : noFlowControl});
    sendCommand(setControl, {image.dtrControl == DTR_Control::Disable ? dtrOff : dtrOn});
    if (image.rtsControl != RTS_Control::Handshake)
        sendCommand(setControl, {image.rtsControl == RTS_Control::Disable ? rtsOff : rtsOn});
}

} // namespace KelComm::Serial::Internal
