#include "app/transmission/LinkTiming.h"

#include "link/Packet.h"
#include "baselib/time/TimeDuration.h"

#include <algorithm>

namespace VPanel::Transmission {

namespace {
using std::chrono::milliseconds;

constexpr long bitsPerByte = 10; // start, 8 data bits, stop
constexpr std::size_t longestRequest = Link::frameOverhead + sizeof(std::uint32_t);
// The port never waits less than this for a gap to end.
constexpr milliseconds portWaitFloor{4};
constexpr milliseconds stopMargin{250};

long positiveRate(long baudRate) { return std::max(baudRate, 1L); }

// Whole milliseconds, rounded up, that `bytes` take on the line.
milliseconds wireTime(long baudRate, std::size_t bytes)
{
    const long long bitTimes_ms = static_cast<long long>(bytes) * bitsPerByte * 1000;
    const long rate = positiveRate(baudRate);
    return milliseconds((bitTimes_ms + rate - 1) / rate);
}
} // namespace

KelComm::Serial::CommTimeouts readTimeouts(long baudRate, milliseconds writeInterval)
{
    using KelTime::TimeDuration;
    return KelComm::Serial::CommTimeouts(
        TimeDuration::fromMilliseconds(static_cast<double>(Link::responseTimeout(baudRate).count())),
        TimeDuration::fromMilliseconds(static_cast<double>(writeInterval.count())));
}

milliseconds attemptBound(long baudRate, milliseconds writeInterval)
{
    return wireTime(baudRate, longestRequest) + Link::responseTimeout(baudRate) +
           wireTime(baudRate, Link::maxFrameSize) + std::max(writeInterval, portWaitFloor);
}

milliseconds stopBound(long baudRate, milliseconds writeInterval)
{
    const milliseconds attempt = attemptBound(baudRate, writeInterval);
    return attempt + std::chrono::duration_cast<milliseconds>(Link::repeatBudget) + attempt + stopMargin;
}

} // namespace VPanel::Transmission
