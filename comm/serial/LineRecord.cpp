#include "comm/serial/LineRecord.h"

#include "comm/serial/SerialTypes.h"

#include <algorithm>
#include <limits>

#include <sys/ioctl.h>

namespace KelComm::Serial::Internal {

namespace {
struct StandardSpeed {
    unsigned long rate;
    speed_t speed;
};
// B134 is 134.5 baud, so 134 goes the arbitrary way like any rate without a constant.
constexpr StandardSpeed standardSpeeds[] = {
    {75, B75},         {110, B110},       {150, B150},       {200, B200},       {300, B300},
    {600, B600},       {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {500000, B500000}, {576000, B576000}, {921600, B921600},
};

// The placeholder speed of the first record when the rate goes through termios2.
constexpr speed_t placeholderSpeed = B38400;

bool inRange(int value, int first, int last) { return value >= first && value <= last; }

tcflag_t characterSize(int byteSize)
{
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

int byteSizeOf(tcflag_t cflag)
{
    switch (cflag & CSIZE) {
    case CS5:
        return 5;
    case CS6:
        return 6;
    case CS7:
        return 7;
    default:
        return 8;
    }
}

tcflag_t parityFlags(int parity)
{
    switch (parity) {
    case Parity::Odd:
        return PARENB | PARODD;
    case Parity::Even:
        return PARENB;
    case Parity::Mark:
        return PARENB | CMSPAR | PARODD;
    case Parity::Space:
        return PARENB | CMSPAR;
    default:
        return 0;
    }
}

int parityOf(tcflag_t cflag)
{
    if (!(cflag & PARENB))
        return Parity::None;
    const bool odd = cflag & PARODD;
    if (cflag & CMSPAR)
        return odd ? Parity::Mark : Parity::Space;
    return odd ? Parity::Odd : Parity::Even;
}

std::uint32_t clampToUInt32(long long value, std::uint32_t ceiling)
{
    return static_cast<std::uint32_t>(std::clamp<long long>(value, 0, ceiling));
}
} // namespace

void putSettings(LineImage& image, const CommSettings& settings)
{
    image.baudRate = settings.baudRate();
    image.byteSize = settings.byteSize();
    if (inRange(settings.parity(), Parity::None, Parity::Space))
        image.parity = settings.parity();
    if (inRange(settings.stopBits(), StopBits::One, StopBits::Two))
        image.stopBits = settings.stopBits();
    if (inRange(settings.dtrControl(), DTR_Control::Disable, DTR_Control::Handshake))
        image.dtrControl = settings.dtrControl();
    if (inRange(settings.rtsControl(), RTS_Control::Disable, RTS_Control::Toggle))
        image.rtsControl = settings.rtsControl();
    image.byteTransmitTime = settings.byteTransmitTime();
}

CommSettings settingsFromImage(LineImage& image)
{
    // Built by the constructor alone: a setter would raise changed, which takes the class
    // lock, and this runs under the port lock.
    const CommSettings defaults;
    const bool baudRateUsable =
        image.baudRate >= CommSettings::minBaudRate && image.baudRate <= CommSettings::maxBaudRate;
    const CommSettings settings(
        baudRateUsable ? image.baudRate : defaults.baudRate(),
        inRange(image.byteSize, CommSettings::minByteSize, CommSettings::maxByteSize) ? image.byteSize
                                                                                    : defaults.byteSize(),
        inRange(image.parity, Parity::Odd, Parity::Space) ? image.parity : Parity::None,
        image.stopBits == StopBits::Two ? StopBits::Two : StopBits::One,
        inRange(image.dtrControl, DTR_Control::Enable, DTR_Control::Handshake) ? image.dtrControl
                                                                               : DTR_Control::Disable,
        inRange(image.rtsControl, RTS_Control::Disable, RTS_Control::Toggle) ? image.rtsControl
                                                                             : RTS_Control::Disable);
    image.byteTransmitTime = settings.byteTransmitTime();
    return settings;
}

void adoptDeviceLine(LineImage& image, const DeviceLine& device)
{
    const tcflag_t cflag = device.record.c_cflag;
    const unsigned long rate = device.baudRate ? device.baudRate : speedRate(cfgetospeed(&device.record));
    const bool modemLines = device.modemLines >= 0;

    LineImage adopted;
    adopted.baudRate = static_cast<long>(std::min<unsigned long>(rate, std::numeric_limits<long>::max()));
    adopted.byteSize = byteSizeOf(cflag);
    adopted.parity = parityOf(cflag);
    adopted.stopBits = (cflag & CSTOPB) ? StopBits::Two : StopBits::One;
    adopted.dtrControl = (modemLines && (device.modemLines & TIOCM_DTR)) ? DTR_Control::Enable : DTR_Control::Disable;
    if (cflag & CRTSCTS)
        adopted.rtsControl = RTS_Control::Handshake;
    else if (device.rs485)
        adopted.rtsControl = RTS_Control::Toggle;
    else
        adopted.rtsControl = (modemLines && (device.modemLines & TIOCM_RTS)) ? RTS_Control::Enable : RTS_Control::Disable;
    // A rate or size outside what settings allow falls back to the library default, which
    // then also goes on the line.
    putSettings(image, settingsFromImage(adopted));
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

LinePlan planLine(const termios& device, const LineImage& image)
{
    LinePlan plan;
    termios& record = plan.record;
    record = device;
    cfmakeraw(&record);
    // Breaks and faulty characters are reported through the error counters; the data
    // itself passes unchanged, with no NUL put in for a break.
    record.c_iflag &= ~(IXOFF | IXANY | INPCK | IGNPAR);
    record.c_iflag |= IGNBRK;
    record.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    record.c_cflag |= CLOCAL | CREAD | characterSize(image.byteSize) | parityFlags(image.parity);
    if (image.stopBits == StopBits::Two)
        record.c_cflag |= CSTOPB;
    if (image.rtsControl == RTS_Control::Handshake)
        record.c_cflag |= CRTSCTS;
    record.c_cc[VMIN] = 1;
    record.c_cc[VTIME] = 0;

    const unsigned long rate = image.baudRate > 0 ? static_cast<unsigned long>(image.baudRate) : 0;
    const speed_t speed = standardSpeed(rate);
    if (speed != B0) {
        cfsetspeed(&record, speed);
    } else {
        cfsetspeed(&record, placeholderSpeed);
        plan.arbitraryBaudRate = rate;
    }

    // A DTR handshake has no counterpart here; the line is raised as for "Enable".
    (image.dtrControl == DTR_Control::Disable ? plan.dropModemLines : plan.raiseModemLines) |= TIOCM_DTR;
    if (image.rtsControl == RTS_Control::Enable)
        plan.raiseModemLines |= TIOCM_RTS;
    else if (image.rtsControl == RTS_Control::Disable)
        plan.dropModemLines |= TIOCM_RTS;
    plan.rs485 = image.rtsControl == RTS_Control::Toggle;
    return plan;
}

speed_t standardSpeed(unsigned long baudRate)
{
    for (const StandardSpeed& entry : standardSpeeds)
        if (entry.rate == baudRate)
            return entry.speed;
    return B0;
}

unsigned long speedRate(speed_t speed)
{
    for (const StandardSpeed& entry : standardSpeeds)
        if (entry.speed == speed)
            return entry.rate;
    return 0;
}

TimeoutImage timeoutImageFrom(const CommTimeouts& timeouts)
{
    KelTime::TimeDuration response, interval;
    timeouts.getReadTimeouts(response, interval);
    TimeoutImage image;
    image.responseTimeout = response;
    image.configured = true;
    if (interval.isNull())
        image.interval_ms = TimeoutImage::nullInterval_ms;
    else if (interval.isInfinite())
        image.interval_ms = TimeoutImage::noIntervalLimit_ms;
    else if (interval.toMillisecondsCeil() <= 0)
        image.interval_ms = TimeoutImage::nullInterval_ms; // a negative gap allows no waiting
    else
        image.interval_ms = clampToUInt32(interval.toMillisecondsCeil(), TimeoutImage::nullInterval_ms - 1);
    return image;
}

CommTimeouts timeoutsFromImage(const TimeoutImage& image)
{
    KelTime::TimeDuration interval;
    if (image.interval_ms == TimeoutImage::nullInterval_ms)
        interval = KelTime::TimeDuration::null();
    else if (image.interval_ms == TimeoutImage::noIntervalLimit_ms)
        interval = KelTime::TimeDuration::infinity();
    else
        interval = KelTime::TimeDuration::fromMilliseconds(image.interval_ms);
    return CommTimeouts(image.responseTimeout, interval);
}

ReadLimits readLimits(const TimeoutImage& timeouts, const LineImage& line)
{
    ReadLimits limits;
    if (timeouts.interval_ms == TimeoutImage::noIntervalLimit_ms)
        return limits;
    if (timeouts.interval_ms == TimeoutImage::nullInterval_ms) {
        limits.noWait = true;
        return limits;
    }
    limits.interval_ms = std::max(timeouts.interval_ms, minimumWait_ms);
    const std::uint32_t byteTime_ms =
        clampToUInt32(line.byteTransmitTime.toMillisecondsCeil(), std::numeric_limits<std::uint32_t>::max());
    limits.totalMultiplier_ms = std::max(byteTime_ms, limits.interval_ms);
    return limits;
}

} // namespace KelComm::Serial::Internal
