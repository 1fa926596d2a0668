#include "comm/serial/NetworkLine.h"

#include "baselib/exceptions/ErrorMessage.h"
#include "baselib/platform/Conversion.h"
#include "comm/serial/PortLog.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialMessages.h"
#include "comm/serial/RawNetworkLine.h"
#include "comm/serial/ServerLock.h"
#include "comm/serial/TelnetLine.h"

#include <boost/format.hpp>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <thread>

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

// Reaching a device server: name resolution and connection within one bound, then the
// start of the line the protocol asks for.
namespace KelComm::Serial::Internal {

namespace {
// A server that vanished without a word is noticed after idle + count × interval seconds,
// or, while a request waits for its acknowledgement, after the user timeout.
constexpr int keepAliveIdle_s = 5;
constexpr int keepAliveInterval_s = 1;
constexpr int keepAliveCount = 3;
constexpr int userTimeout_ms = 10000;
// What the server has not taken yet stays bounded, so that one that stops reading is
// noticed soon; still more than a second of data at the fastest serial rate.
constexpr int sendBuffer_bytes = 64 * 1024;

// Why the server could not be reached, as the system says it.
class Unreachable {
public:
    explicit Unreachable(std::wstring text) : m_text(std::move(text)) {}
    const std::wstring& text() const { return m_text; }

private:
    std::wstring m_text;
};

std::wstring systemText(int error) { return KelWin::ErrorMessage(static_cast<unsigned long>(error)).text(); }

// getaddrinfo cannot be bounded, so it runs in a thread of its own that may outlive the wait.
struct Resolution {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int status = 0;
    int systemError = 0;
    addrinfo* result = nullptr;
    ~Resolution()
    {
        if (result)
            freeaddrinfo(result);
    }
};

std::shared_ptr<Resolution> resolve(const NetworkAddress& address, SteadyClock::time_point end)
{
    auto resolution = std::make_shared<Resolution>();
    std::thread([resolution, host = address.host, port = std::to_string(address.port)] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* result = nullptr;
        const int status = getaddrinfo(host.c_str(), port.c_str(), &hints, &result);
        const int systemError = errno;
        const std::lock_guard<std::mutex> guard(resolution->mutex);
        resolution->status = status;
        resolution->systemError = systemError;
        resolution->result = result;
        resolution->finished = true;
        resolution->done.notify_all();
    }).detach();

    std::unique_lock<std::mutex> guard(resolution->mutex);
    if (!resolution->done.wait_until(guard, end, [&] { return resolution->finished; }))
        throw Unreachable(systemText(ETIMEDOUT));
    if (resolution->status == EAI_SYSTEM)
        throw Unreachable(systemText(resolution->systemError));
    if (resolution->status != 0)
        throw Unreachable(KelBase::Conversion::stringFromUTF8(gai_strerror(resolution->status)));
    return resolution;
}

// 0 when connected, else the errno of the failure.
int connectWithin(int socket, const addrinfo& address, SteadyClock::time_point end)
{
    if (::connect(socket, address.ai_addr, address.ai_addrlen) == 0)
        return 0;
    if (errno != EINPROGRESS)
        return errno;
    pollfd writable{socket, POLLOUT, 0};
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - SteadyClock::now());
        if (left.count() <= 0)
            return ETIMEDOUT;
        const int ready = ::poll(&writable, 1, static_cast<int>(left.count()) + 1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return errno;
        if (ready > 0)
            break;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

void setOption(int socket, int level, int name, int value)
{
    // A system without one of these still carries the data: not a failure.
    setsockopt(socket, level, name, &value, sizeof value);
}

int connectedSocket(const NetworkAddress& address, SteadyClock::time_point end)
{
    const std::shared_ptr<Resolution> resolution = resolve(address, end);
    int lastError = ENOENT;
    for (const addrinfo* candidate = resolution->result; candidate; candidate = candidate->ai_next) {
        const int fd = socket(candidate->ai_family, candidate->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                              candidate->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        lastError = connectWithin(fd, *candidate, end);
        if (lastError == 0) {
            // Requests are a few bytes each: they must not wait for more to fill a segment.
            setOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
            setOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
            setOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, keepAliveIdle_s);
            setOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, keepAliveInterval_s);
            setOption(fd, IPPROTO_TCP, TCP_KEEPCNT, keepAliveCount);
            setOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, userTimeout_ms);
            setOption(fd, SOL_SOCKET, SO_SNDBUF, sendBuffer_bytes);
            return fd;
        }
        close(fd);
    }
    throw Unreachable(systemText(lastError));
}
} // namespace

std::shared_ptr<NetworkLine> NetworkLine::connect(const NetworkAddress& address, const std::wstring& displayName,
                                                  std::chrono::milliseconds bound)
{
    const std::wstring url = pathText(address.url);
    const int lock = lockServerLine(address);
    if (lock < 0) {
        const int error = errno;
        logError(L"Ошибка " + std::to_wstring(error) + L" при открытии порта '" + url + L"': " + systemText(error) + L"\n");
        if (error == EWOULDBLOCK)
            throw SerialPortSystemException(
                (boost::wformat(KelBase::resStr(OpenErrorMessage::NoAccess)) % displayName).str());
        throw SerialPortSystemException(systemText(error));
    }
    const auto start = SteadyClock::now();
    int fd = -1;
    try {
        fd = connectedSocket(address, start + bound);
    } catch (const Unreachable& failure) {
        close(lock);
        logError(L"Ошибка при открытии порта '" + url + L"': " + failure.text() + L"\n");
        throw SerialPortSystemException(
            (boost::wformat(KelBase::resStr(OpenErrorMessage::ServerUnreachable)) % displayName % url % failure.text())
                .str());
    }
    const auto connected = SteadyClock::now();
    const int ready = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (ready < 0) {
        const int error = errno;
        close(fd);
        close(lock);
        throw KelWin::EventException(systemText(error));
    }
    std::shared_ptr<NetworkLine> line;
    if (address.protocol == NetworkAddress::Protocol::Rfc2217)
        line.reset(new TelnetLine(address, displayName, fd, ready, lock));
    else
        line.reset(new RawNetworkLine(address, displayName, fd, ready, lock));
    try {
        line->start(std::chrono::duration_cast<std::chrono::milliseconds>(connected - start));
    } catch (const SerialPortException& failed) {
        line->markClosed();
        line->throwOpenFailure(failed);
    }
    return line;
}

void NetworkLine::throwOpenFailure(const SerialPortException& failed)
{
    const std::wstring url = pathText(m_address.url);
    logError(L"Ошибка при открытии порта '" + url + L"': " + failed.message() + L"\n");
    std::unique_lock<std::mutex> guard(m_receiveMutex);
    if (m_connectionError == ECONNRESET) {
        const std::wstring said = serverText();
        guard.unlock();
        throw SerialPortSystemException((boost::wformat(KelBase::resStr(OpenErrorMessage::ServerClosed)) %
                                         m_displayName % url % (said.empty() ? std::wstring() : L" (" + said + L")"))
                                            .str());
    }
    throw SerialPortSystemException(
        (boost::wformat(KelBase::resStr(OpenErrorMessage::ServerFailed)) % m_displayName % url % failed.message()).str());
}

} // namespace KelComm::Serial::Internal
