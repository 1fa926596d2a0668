#include "comm/serial/LineWaiter.h"

#include "baselib/exceptions/ErrorMessage.h"
#include "baselib/time/RelativeTimespec.h"
#include "comm/serial/SerialExceptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iterator>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace KelComm::Serial::Internal {

namespace {
int makeWakeDescriptor()
{
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0)
        throw KelWin::EventException(KelWin::LastErrorMessage().text());
    return fd;
}

// False when the descriptor could not be signalled. A full counter (EAGAIN) is signalled.
bool signalDescriptor(int fd)
{
    const std::uint64_t one = 1;
    return write(fd, &one, sizeof one) >= 0 || errno == EAGAIN;
}
} // namespace

void throwLineError(int error)
{
    const KelWin::ErrorMessage text(static_cast<unsigned long>(error));
    // A device server's connection that ends is a vanished line as well.
    constexpr int goneErrors[] = {EIO, ENODEV, ENXIO, ECONNRESET, ECONNABORTED, ETIMEDOUT, EHOSTUNREACH, ENETUNREACH, EPROTO};
    if (std::find(std::begin(goneErrors), std::end(goneErrors), error) != std::end(goneErrors))
        throw SerialLineGoneException(text.text());
    throw SerialPortSystemException(text.text());
}

Deadline deadlineAfter(KelTime::TimeDuration duration)
{
    constexpr double longestWait_days = 36500;
    const double days = duration.days();
    if (duration.isInfinite() || days > longestWait_days)
        return std::nullopt;
    if (!(days > 0)) // also NaN
        return SteadyClock::now();
    const double nanoseconds = days * KelTime::TimeDuration::secondsPerDay * 1e9;
    return SteadyClock::now() + std::chrono::nanoseconds(static_cast<long long>(nanoseconds));
}

LineWaiter::LineWaiter() : m_readWake(makeWakeDescriptor())
{
    try {
        m_writeWake = makeWakeDescriptor();
    } catch (...) {
        close(m_readWake);
        throw;
    }
}

LineWaiter::~LineWaiter()
{
    close(m_writeWake);
    close(m_readWake);
}

int LineWaiter::wakeDescriptor(Direction direction) const
{
    return direction == Direction::Read ? m_readWake : m_writeWake;
}

LineWaiter::WaitResult LineWaiter::wait(Direction direction, int lineDescriptor, short events, int readyDescriptor,
                                        const Deadline& deadline) const
{
    // poll() passes over a negative descriptor.
    pollfd fds[3] = {{wakeDescriptor(direction), POLLIN, 0},
                     {lineDescriptor, events, 0},
                     {(events & POLLIN) ? readyDescriptor : -1, POLLIN, 0}};
    const nfds_t count = events ? 3 : 1;
    for (;;) {
        timespec timeout{};
        if (deadline)
            timeout = KelTime::relativeTimespec(*deadline - SteadyClock::now());
        const int ready = ppoll(fds, count, deadline ? &timeout : nullptr, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            throwLineError(errno);
        }
        if (ready == 0)
            return WaitResult::TimedOut;
        if (fds[0].revents)
            return WaitResult::Woken;
        if ((fds[1].revents & events) || fds[2].revents)
            return WaitResult::Ready;
        // Hung up or failed without anything left to take: the line is gone.
        throwLineError(EIO);
    }
}

void LineWaiter::clearWake(Direction direction)
{
    std::uint64_t count = 0;
    while (read(wakeDescriptor(direction), &count, sizeof count) < 0 && errno == EINTR) {
    }
}

void LineWaiter::wake(Direction direction)
{
    if (!signalDescriptor(wakeDescriptor(direction)))
        throw KelWin::EventException(KelWin::LastErrorMessage().text());
}

void LineWaiter::wakeAll() noexcept
{
    // An eventfd write fails only on a bad descriptor.
    signalDescriptor(m_readWake);
    signalDescriptor(m_writeWake);
}

} // namespace KelComm::Serial::Internal
