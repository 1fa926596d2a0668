#pragma once

#include "baselib/time/TimeDuration.h"
#include "comm/Export.h"
#include "comm/serial/CommSettings.h"
#include "comm/serial/CommTimeouts.h"

#include <cstdint>

#include <termios.h>

// The port's own images of the line: the settings it puts on the line and the read timeouts
// it works with. Both outlive a closed line, so that what was applied while closed takes
// effect at the next open.
namespace KelComm::Serial::Internal {

struct LineImage {
    long baudRate = 0; // 0: no settings applied yet
    int byteSize = 0;
    int parity = Parity::None;
    int stopBits = StopBits::One;
    int dtrControl = DTR_Control::Disable;
    int rtsControl = RTS_Control::Disable;
    KelTime::TimeDuration byteTransmitTime = KelTime::TimeDuration::infinity();
};

// Puts the settings into the image. An enumeration value outside its named values leaves
// that part of the image as it was.
KELCOMM_EXPORT void putSettings(LineImage& image, const CommSettings& settings);

// The settings the image holds, starting from the library defaults for a part that is
// not usable as a setting. Stores their byte transmit time back into the image.
KELCOMM_EXPORT CommSettings settingsFromImage(LineImage& image);

// What the device reports of its own line, taken in when no settings were ever applied.
struct DeviceLine {
    termios record{};
    unsigned long baudRate = 0; // 0 when the driver cannot say
    int modemLines = -1;        // TIOCM_* bits, -1 when the driver has none
    bool rs485 = false;         // direction control is on
};
KELCOMM_EXPORT void adoptDeviceLine(LineImage& image, const DeviceLine& device);

// The driver's counts of line errors since it started.
struct LineCounters {
    int frame = 0;
    int overrun = 0;
    int parity = 0;
    int brk = 0;
    int bufOverrun = 0;
};

// The IO_Result flags of the errors counted between two looks.
KELCOMM_EXPORT std::uint8_t errorFlagsBetween(const LineCounters& before, const LineCounters& now);

// What is put on the line for an image: the raw termios record, the rate for the second
// termios record when no standard speed constant fits, the modem lines to raise and drop,
// and whether RS-485 direction control is wanted.
struct LinePlan {
    termios record{};
    unsigned long arbitraryBaudRate = 0; // non-zero: set through termios2 after the record
    int raiseModemLines = 0;
    int dropModemLines = 0;
    bool rs485 = false;
};
KELCOMM_EXPORT LinePlan planLine(const termios& device, const LineImage& image);

// The speed constant of a standard rate, or B0 when the rate has none.
KELCOMM_EXPORT speed_t standardSpeed(unsigned long baudRate);
// The rate of a speed constant, or 0.
KELCOMM_EXPORT unsigned long speedRate(speed_t speed);

// The read timeouts as the port keeps them: the interval in whole milliseconds, with 0 for
// no interval limit and nullInterval_ms for "do not wait for further bytes".
struct TimeoutImage {
    static constexpr std::uint32_t noIntervalLimit_ms = 0;
    static constexpr std::uint32_t nullInterval_ms = 0xFFFFFFFFu;

    KelTime::TimeDuration responseTimeout = KelTime::TimeDuration::infinity();
    std::uint32_t interval_ms = noIntervalLimit_ms;
    bool configured = false;
};

KELCOMM_EXPORT TimeoutImage timeoutImageFrom(const CommTimeouts& timeouts);
KELCOMM_EXPORT CommTimeouts timeoutsFromImage(const TimeoutImage& image);

// The limits of one platform read: between two bytes and for the whole read of k bytes
// (k times the multiplier). Both 0: wait until every byte has come.
struct ReadLimits {
    std::uint32_t interval_ms = 0;
    std::uint32_t totalMultiplier_ms = 0;
    bool noWait = false; // a null interval: take what is there
};
KELCOMM_EXPORT ReadLimits readLimits(const TimeoutImage& timeouts, const LineImage& line);

// The shortest wait for a further byte, so that a slow scheduler does not cut replies.
constexpr std::uint32_t minimumWait_ms = 4;

} // namespace KelComm::Serial::Internal
