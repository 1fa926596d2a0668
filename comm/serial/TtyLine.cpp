#include "comm/serial/TtyLine.h"

#include "comm/serial/Termios2.h"

#include <cerrno>
#include <cstdint>
#include <utility>

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace KelComm::Serial::Internal {

namespace {
// A driver may round the rate it sets; beyond this it did not take the rate at all.
constexpr unsigned long rateTolerance_percent = 3;

bool rateTaken(unsigned long wanted, unsigned long reported)
{
    const unsigned long difference = wanted > reported ? wanted - reported : reported - wanted;
    return difference * 100 <= wanted * rateTolerance_percent;
}
} // namespace

std::shared_ptr<TtyLine> TtyLine::open(const std::string& path, int& error)
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
    std::shared_ptr<TtyLine> line(new TtyLine(path, fd));
    line->status(); // the error counters start from here
    return line;
}

DeviceLine TtyLine::readDevice() const
{
    DeviceLine device;
    if (tcgetattr(descriptor(), &device.record) != 0)
        throwSystemError(errno);
    device.baudRate = readBaudRate(descriptor());
    int lines = 0;
    device.modemLines = ioctl(descriptor(), TIOCMGET, &lines) == 0 ? lines : -1;
    serial_rs485 rs485{};
    device.rs485 = ioctl(descriptor(), TIOCGRS485, &rs485) == 0 && (rs485.flags & SER_RS485_ENABLED);
    return device;
}

void TtyLine::adoptLine(LineImage& image) { adoptDeviceLine(image, readDevice()); }

void TtyLine::applyImage(const LineImage& image) { apply(planLine(readDevice().record, image)); }

void TtyLine::apply(const LinePlan& plan)
{
    if (tcsetattr(descriptor(), TCSANOW, &plan.record) != 0)
        throwSystemError(errno);
    if (plan.arbitraryBaudRate) {
        if (const int error = setArbitraryBaudRate(descriptor(), plan.arbitraryBaudRate))
            throwSystemError(error);
        const unsigned long reported = readBaudRate(descriptor());
        if (reported && !rateTaken(plan.arbitraryBaudRate, reported))
            throwSystemError(EINVAL);
    } else {
        const unsigned long wanted = speedRate(cfgetospeed(&plan.record));
        const unsigned long reported = readBaudRate(descriptor());
        if (wanted && reported && !rateTaken(wanted, reported))
            throwSystemError(EINVAL);
    }

    // Drivers without modem lines (a pseudo-terminal) or RS-485 refuse these: not an error.
    if (plan.raiseModemLines)
        ioctl(descriptor(), TIOCMBIS, &plan.raiseModemLines);
    if (plan.dropModemLines)
        ioctl(descriptor(), TIOCMBIC, &plan.dropModemLines);
    serial_rs485 rs485{};
    if (ioctl(descriptor(), TIOCGRS485, &rs485) == 0 && bool(rs485.flags & SER_RS485_ENABLED) != plan.rs485) {
        if (plan.rs485)
            rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        else
            rs485.flags &= ~SER_RS485_ENABLED;
        ioctl(descriptor(), TIOCSRS485, &rs485);
    }
}

std::size_t TtyLine::readSome(void* buffer, std::size_t size)
{
    if (size == 0)
        return 0;
    for (;;) {
        const ssize_t count = read(descriptor(), buffer, size);
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

std::size_t TtyLine::writeSome(const void* data, std::size_t size)
{
    for (;;) {
        const ssize_t count = write(descriptor(), data, size);
        if (count >= 0)
            return static_cast<std::size_t>(count);
        if (errno == EAGAIN)
            return 0;
        if (errno != EINTR)
            throwSystemError(errno);
    }
}

bool TtyLine::requestLowLatency()
{
    serial_struct serial{};
    if (ioctl(descriptor(), TIOCGSERIAL, &serial) != 0)
        return false;
    if (serial.flags & ASYNC_LOW_LATENCY)
        return true;
    serial.flags |= ASYNC_LOW_LATENCY;
    if (ioctl(descriptor(), TIOCSSERIAL, &serial) != 0)
        return false;
    m_lowLatencySet = true;
    return true;
}

void TtyLine::restoreLatency()
{
    if (!std::exchange(m_lowLatencySet, false))
        return;
    // A device that is gone has no mode left to give back.
    serial_struct serial{};
    if (ioctl(descriptor(), TIOCGSERIAL, &serial) != 0)
        return;
    serial.flags &= ~ASYNC_LOW_LATENCY;
    ioctl(descriptor(), TIOCSSERIAL, &serial);
}

void TtyLine::markClosed()
{
    // Before the device is let go: the next user of it finds its own mode.
    restoreLatency();
    ioctl(descriptor(), TIOCNXCL);
    flock(descriptor(), LOCK_UN);
    SerialLine::markClosed();
}

SerialLine::Status TtyLine::status()
{
    Status status;
    int inQueue = 0, outQueue = 0;
    if (ioctl(descriptor(), TIOCINQ, &inQueue) != 0 || ioctl(descriptor(), TIOCOUTQ, &outQueue) != 0)
        throwSystemError(errno);
    status.inQueue = static_cast<std::uint32_t>(inQueue);
    status.outQueue = static_cast<std::uint32_t>(outQueue);

    // A read and a write may look at the same time: the look and the new baseline go
    // together, or an older look could be compared with a newer baseline.
    const std::lock_guard<std::mutex> guard(m_countersMutex);
    // Drivers without counters (a pseudo-terminal) report no line errors.
    serial_icounter_struct now{};
    if (ioctl(descriptor(), TIOCGICOUNT, &now) != 0)
        return status;
    const LineCounters current{now.frame, now.overrun, now.parity, now.brk, now.buf_overrun};
    status.errors = errorFlagsBetween(m_counters, current);
    m_counters = current;
    return status;
}

void TtyLine::flush(bool input, bool output)
{
    if (!input && !output)
        return;
    const int queue = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    if (tcflush(descriptor(), queue) != 0)
        throwSystemError(errno);
}

void TtyLine::setBreak(bool on)
{
    if (ioctl(descriptor(), on ? TIOCSBRK : TIOCCBRK) != 0)
        throwSystemError(errno);
}

} // namespace KelComm::Serial::Internal
