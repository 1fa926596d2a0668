#include "comm/serial/NetworkLine.h"

#include "baselib/exceptions/MessageTable.h"
#include "baselib/platform/Conversion.h"
#include "comm/serial/PortLog.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialMessages.h"
#include "comm/serial/SerialTypes.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iterator>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

// The byte stream of a line on a device server: receiving into the bounded queue, sending,
// waiting.
namespace KelComm::Serial::Internal {

namespace {
constexpr int quickAcknowledgement = 1;
constexpr std::size_t receiveChunk = 4096;
// What one pump takes off the socket: a server that sends without pause still lets the
// caller's read, and the abort or close waiting for the port, have their turn.
constexpr std::size_t pumpBudget = 4 * receiveChunk;
// How often a wait for the server looks again, in case another thread took its answer.
constexpr auto answerLookInterval = std::chrono::milliseconds(10);
constexpr std::size_t serverTextBound = 200;
} // namespace

NetworkLine::NetworkLine(const NetworkAddress& address, const std::wstring& displayName, int socket,
                         int readyDescriptor, int lockDescriptor)
    : SerialLine(address.url, socket, readyDescriptor), m_address(address), m_displayName(displayName),
      m_ready(readyDescriptor), m_lock(lockDescriptor)
{
}

NetworkLine::~NetworkLine()
{
    close(m_ready);
    close(m_lock);
}

void NetworkLine::queueReceived(const char* bytes, std::size_t size)
{
    if (size >= receiveBound) {
        if (!m_received.empty() || size > receiveBound)
            m_lineErrors |= IO_Result::Overrun;
        m_received.clear();
        bytes += size - receiveBound;
        size = receiveBound;
    }
    const std::size_t excess = m_received.size() + size > receiveBound ? m_received.size() + size - receiveBound : 0;
    if (excess) {
        m_received.erase(m_received.begin(), m_received.begin() + static_cast<std::ptrdiff_t>(excess));
        m_lineErrors |= IO_Result::Overrun;
    }
    m_received.insert(m_received.end(), bytes, bytes + size);
}

void NetworkLine::failConnection(int error)
{
    if (!m_connectionError)
        m_connectionError = error;
}

void NetworkLine::logProtocolFault(const std::wstring& what)
{
    if (!std::exchange(m_protocolFaultLogged, true))
        logError(L"Сервер порта '" + pathText(path()) + L"' " + what + L"\n");
}

bool NetworkLine::pumpLocked()
{
    char chunk[receiveChunk];
    for (std::size_t taken = 0; !m_connectionError && taken < pumpBudget;) {
        const ssize_t count = recv(descriptor(), chunk, sizeof chunk, MSG_DONTWAIT);
        if (count > 0) {
            taken += static_cast<std::size_t>(count);
            // A server that holds small writes until they are acknowledged (Nagle) would
            // otherwise wait for our delayed acknowledgement, tens of milliseconds, in the
            // middle of a reply; the kernel drops the quick mode again, so it is renewed.
            setsockopt(descriptor(), IPPROTO_TCP, TCP_QUICKACK, &quickAcknowledgement, sizeof quickAcknowledgement);
            takeReceived(chunk, static_cast<std::size_t>(count));
            continue;
        }
        if (count == 0)
            m_connectionError = ECONNRESET; // the server closed the connection
        else if (errno == EAGAIN)
            break;
        else if (errno != EINTR)
            m_connectionError = errno;
    }
    afterPump();
    signalReady();
    // What came before the connection ended is still the caller's.
    if (m_received.empty() && m_connectionError)
        throwConnectionEnded();
    return !m_received.empty();
}

bool NetworkLine::pump()
{
    const std::lock_guard<std::mutex> guard(m_receiveMutex);
    return pumpLocked();
}

void NetworkLine::throwConnectionEnded() const
{
    if (m_connectionError == ENOBUFS)
        throw SerialLineGoneException(KelBase::resStr(NetworkLineMessage::AnswersNotTaken));
    throwSystemError(m_connectionError == EPROTO || m_connectionError == ETIMEDOUT ? m_connectionError : ECONNRESET);
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

std::wstring NetworkLine::serverText() const
{
    std::string text;
    for (const std::uint8_t byte : m_received) {
        if (text.size() == serverTextBound)
            break;
        if (byte >= 0x20 && byte < 0x7F)
            text.push_back(static_cast<char>(byte));
        else if (!text.empty() && text.back() != ' ')
            text.push_back(' ');
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return KelBase::Conversion::stringFromUTF8(text);
}

bool NetworkLine::awaitServer(const std::function<bool()>& condition, std::chrono::milliseconds bound)
{
    const auto end = SteadyClock::now() + bound;
    for (;;) {
        {
            const std::lock_guard<std::mutex> guard(m_receiveMutex);
            try {
                pumpLocked();
            } catch (const SerialLineGoneException&) {
            }
            if (m_connectionError) {
                const std::wstring said = serverText();
                try {
                    throwConnectionEnded();
                } catch (const SerialLineGoneException& ended) {
                    if (said.empty())
                        throw;
                    throw SerialLineGoneException(std::wstring(ended.message()) + L": " + said);
                }
            }
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
    // The socket may wake the wait with Telnet commands alone: wait again until data came,
    // but not past the deadline, however many commands keep the socket readable.
    for (;;) {
        if (pump())
            return WaitResult::Ready;
        if (deadline && SteadyClock::now() >= *deadline)
            return WaitResult::TimedOut;
        const WaitResult waited = SerialLine::waitReadable(deadline);
        if (waited != WaitResult::Ready)
            return waited;
    }
}

void NetworkLine::markClosed()
{
    SerialLine::markClosed();
    // The server sees the end at once, even while a woken transfer still holds the socket;
    // and the line is free for the next open at once.
    shutdown(descriptor(), SHUT_RDWR);
    flock(m_lock, LOCK_UN);
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

void NetworkLine::flush(bool input, bool)
{
    if (!input)
        return;
    const std::lock_guard<std::mutex> guard(m_receiveMutex);
    pumpLocked();
    m_received.clear();
    signalReady();
}

void NetworkLine::adoptLine(LineImage& image) { putSettings(image, CommSettings()); }

void NetworkLine::applyImage(const LineImage&)
{
    if (!std::exchange(m_settingsNoticeLogged, true))
        logTrace(L"Параметры линии порта '" + pathText(path()) +
                 L"' задаёт сервер: по этому соединению они не передаются\n");
}

} // namespace KelComm::Serial::Internal
