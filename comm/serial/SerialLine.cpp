#include "comm/serial/SerialLine.h"

#include "baselib/exceptions/ErrorMessage.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialTypes.h"
#include "comm/serial/Termios2.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace KelComm::Serial::Internal {

namespace {
// A driver may round the rate it sets; beyond this it did not take the rate at all.
constexpr unsigned long rateTolerance_percent = 3;

timespec remainingUntil(SteadyClock::time_point end)
{
    const auto left = std::max(end - SteadyClock::now(), SteadyClock::duration::zero());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds);
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

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

bool rateTaken(unsigned long wanted, unsigned long reported)
{
    const unsigned long difference = wanted > reported ? wanted - reported : reported - wanted;
    return difference * 100 <= wanted * rateTolerance_percent;
}
} // namespace

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

std::uint8_t errorFlagsBetween(const LineCounters& before, const LineCounters& now)
{
    std::uint8_t flags = 0;
    if (now.brk != before.brk)
        flags |= IO_Result::BreakDetected;
    if (now.frame != before.frame)
        flags |= IO_Result::FramingError;
    // Characters lost in the UART or in the driver's buffer: either way data is missing.
    if (now.overrun != before.overrun || now.bufOverrun != before.bufOverrun)
        flags |= IO_Result::Overrun;
    if (now.parity != before.parity)
        flags |= IO_Result::ParityError;
    return flags;
}

std::shared_ptr<SerialLine> SerialLine::open(const std::string& path, int& error)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    // TIOCEXCL keeps other processes out (except privileged ones); the lock keeps out every
    // other open of the device that asks for it, this library's own included.
    if (ioctl(fd, TIOCEXCL) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno;
        close(fd);
        return nullptr;
    }
    std::shared_ptr<SerialLine> line(new SerialLine(path, fd));
    line->status(); // the error counters start from here
    return line;
}

SerialLine::SerialLine(std::string path, int fd, int readyDescriptor)
    : m_path(std::move(path)), m_fd(fd), m_readyDescriptor(readyDescriptor)
{
    try {
        m_readWake = makeWakeDescriptor();
        m_writeWake = makeWakeDescriptor();
    } catch (...) {
        if (m_readWake >= 0)
            close(m_readWake);
        close(m_fd);
        throw;
    }
}

SerialLine::~SerialLine()
{
    close(m_writeWake);
    close(m_readWake);
    close(m_fd);
}

void SerialLine::throwSystemError(int error)
{
    const KelWin::ErrorMessage text(static_cast<unsigned long>(error));
    // A device server's connection that ends is a vanished line as well.
    constexpr int goneErrors[] = {EIO, ENODEV, ENXIO, ECONNRESET, ECONNABORTED, ETIMEDOUT, EHOSTUNREACH, ENETUNREACH, EPROTO};
    if (std::find(std::begin(goneErrors), std::end(goneErrors), error) != std::end(goneErrors))
        throw SerialLineGoneException(text.text());
    throw SerialPortSystemException(text.text());
}

DeviceLine SerialLine::readDevice() const
{
    DeviceLine device;
    if (tcgetattr(m_fd, &device.record) != 0)
        throwSystemError(errno);
    device.baudRate = readBaudRate(m_fd);
    int lines = 0;
    device.modemLines = ioctl(m_fd, TIOCMGET, &lines) == 0 ? lines : -1;
    serial_rs485 rs485{};
    device.rs485 = ioctl(m_fd, TIOCGRS485, &rs485) == 0 && (rs485.flags & SER_RS485_ENABLED);
    return device;
}

void SerialLine::adoptLine(LineImage& image) { adoptDeviceLine(image, readDevice()); }

void SerialLine::applyImage(const LineImage& image) { apply(planLine(readDevice().record, image)); }

void SerialLine::apply(const LinePlan& plan)
{
    if (tcsetattr(m_fd, TCSANOW, &plan.record) != 0)
        throwSystemError(errno);
    if (plan.arbitraryBaudRate) {
        if (const int error = setArbitraryBaudRate(m_fd, plan.arbitraryBaudRate))
            throwSystemError(error);
        const unsigned long reported = readBaudRate(m_fd);
        if (reported && !rateTaken(plan.arbitraryBaudRate, reported))
            throwSystemError(EINVAL);
    } else {
        const unsigned long wanted = speedRate(cfgetospeed(&plan.record));
        const unsigned long reported = readBaudRate(m_fd);
        if (wanted && reported && !rateTaken(wanted, reported))
            throwSystemError(EINVAL);
    }

    // Drivers without modem lines (a pseudo-terminal) or RS-485 refuse these: not an error.
    if (plan.raiseModemLines)
        ioctl(m_fd, TIOCMBIS, &plan.raiseModemLines);
    if (plan.dropModemLines)
        ioctl(m_fd, TIOCMBIC, &plan.dropModemLines);
    serial_rs485 rs485{};
    if (ioctl(m_fd, TIOCGRS485, &rs485) == 0 && bool(rs485.flags & SER_RS485_ENABLED) != plan.rs485) {
        if (plan.rs485)
            rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        else
            rs485.flags &= ~SER_RS485_ENABLED;
        ioctl(m_fd, TIOCSRS485, &rs485);
    }
}

std::size_t SerialLine::readSome(void* buffer, std::size_t size)
{
    if (size == 0)
        return 0;
    for (;;) {
        const ssize_t count = read(m_fd, buffer, size);
        if (count > 0)
            return static_cast<std::size_t>(count);
        if (count == 0)
            throwSystemError(EIO); // the other side hung up
        if (errno == EAGAIN)
            return 0;
        if (errno != EINTR)
            throwSystemError(errno);
    }
}

std::size_t SerialLine::writeSome(const void* data, std::size_t size)
{
    for (;;) {
        const ssize_t count = write(m_fd, data, size);
        if (count >= 0)
            return static_cast<std::size_t>(count);
        if (errno == EAGAIN)
            return 0;
        if (errno != EINTR)
            throwSystemError(errno);
    }
}

int SerialLine::wakeDescriptor(Direction direction) const
{
    return direction == Direction::Read ? m_readWake : m_writeWake;
}

SerialLine::WaitResult SerialLine::poll(short events, Direction direction, const Deadline& deadline,
                                        bool watchLine) const
{
    // poll() passes over a negative descriptor: a device line has no ready descriptor.
    pollfd fds[3] = {{wakeDescriptor(direction), POLLIN, 0},
                     {m_fd, events, 0},
                     {(events & POLLIN) ? m_readyDescriptor : -1, POLLIN, 0}};
    const nfds_t count = watchLine ? 3 : 1;
    for (;;) {
        timespec timeout{};
        if (deadline)
            timeout = remainingUntil(*deadline);
        const int ready = ppoll(fds, count, deadline ? &timeout : nullptr, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            throwSystemError(errno);
        }
        if (ready == 0)
            return WaitResult::TimedOut;
        if (fds[0].revents)
            return WaitResult::Woken;
        if ((fds[1].revents & events) || fds[2].revents)
            return WaitResult::Ready;
        // Hung up or failed without anything left to take: the line is gone.
        throwSystemError(EIO);
    }
}

SerialLine::WaitResult SerialLine::waitReadable(const Deadline& deadline)
{
    return poll(POLLIN, Direction::Read, deadline, true);
}

SerialLine::WaitResult SerialLine::waitWritable(const Deadline& deadline) const
{
    return poll(POLLOUT, Direction::Write, deadline, true);
}

SerialLine::WaitResult SerialLine::sleepUntil(const Deadline& deadline) const
{
    return poll(0, Direction::Write, deadline, false);
}

void SerialLine::clearWake(Direction direction)
{
    std::uint64_t count = 0;
    while (read(wakeDescriptor(direction), &count, sizeof count) < 0 && errno == EINTR) {
    }
}

void SerialLine::wake(Direction direction)
{
    if (!signalDescriptor(wakeDescriptor(direction)))
        throw KelWin::EventException(KelWin::LastErrorMessage().text());
}

bool SerialLine::requestLowLatency()
{
    serial_struct serial{};
    if (ioctl(m_fd, TIOCGSERIAL, &serial) != 0)
        return false;
    if (serial.flags & ASYNC_LOW_LATENCY)
        return true;
    serial.flags |= ASYNC_LOW_LATENCY;
    if (ioctl(m_fd, TIOCSSERIAL, &serial) != 0)
        return false;
    m_lowLatencySet = true;
    return true;
}

void SerialLine::restoreLatency()
{
    if (!std::exchange(m_lowLatencySet, false))
        return;
    // A device that is gone has no mode left to give back.
    serial_struct serial{};
    if (ioctl(m_fd, TIOCGSERIAL, &serial) != 0)
        return;
    serial.flags &= ~ASYNC_LOW_LATENCY;
    ioctl(m_fd, TIOCSSERIAL, &serial);
}

void SerialLine::markClosed()
{
    // Before the device is let go: the next user of it finds its own mode.
    restoreLatency();
    m_closed = true;
    ioctl(m_fd, TIOCNXCL);
    flock(m_fd, LOCK_UN);
    // Nothing may fail while a port closes; an eventfd write fails only on a bad descriptor.
    signalDescriptor(m_readWake);
    signalDescriptor(m_writeWake);
}

SerialLine::Status SerialLine::status()
{
    Status status;
    int inQueue = 0, outQueue = 0;
    if (ioctl(m_fd, TIOCINQ, &inQueue) != 0 || ioctl(m_fd, TIOCOUTQ, &outQueue) != 0)
        throwSystemError(errno);
    status.inQueue = static_cast<std::uint32_t>(inQueue);
    status.outQueue = static_cast<std::uint32_t>(outQueue);

    // A read and a write may look at the same time: the look and the new baseline go
    // together, or an older look could be compared with a newer baseline.
    const std::lock_guard<std::mutex> guard(m_countersMutex);
    // Drivers without counters (a pseudo-terminal) report no line errors.
    serial_icounter_struct now{};
    if (ioctl(m_fd, TIOCGICOUNT, &now) != 0)
        return status;
    const LineCounters current{now.frame, now.overrun, now.parity, now.brk, now.buf_overrun};
    status.errors = errorFlagsBetween(m_counters, current);
    m_counters = current;
    return status;
}

void SerialLine::flush(bool input, bool output)
{
    if (!input && !output)
        return;
    const int queue = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    if (tcflush(m_fd, queue) != 0)
        throwSystemError(errno);
}

void SerialLine::setBreak(bool on)
{
    if (ioctl(m_fd, on ? TIOCSBRK : TIOCCBRK) != 0)
        throwSystemError(errno);
}

} // namespace KelComm::Serial::Internal
