#include "panel/LinkTiming.h"

#include "link/Packet.h"
#include "baselib/time/TimeDuration.h"

#include <algorithm>

namespace VPanel::Panel {

namespace {
using std::chrono::milliseconds;

constexpr std::size_t longestRequest = Link::frameOverhead + sizeof(std::uint32_t);
// The port never waits less than this for a gap to end.
constexpr milliseconds portWaitFloor{4};
constexpr milliseconds stopMargin{250};
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
    const auto onTheWire = Link::wireTime(longestRequest, baudRate) + Link::wireTime(Link::maxFrameSize, baudRate);
    return std::chrono::ceil<milliseconds>(onTheWire) + Link::responseTimeout(baudRate) +
           std::max(writeInterval, portWaitFloor);
}

std::chrono::nanoseconds turnaroundGap(long baudRate, milliseconds requestPause)
{
    return std::max<std::chrono::nanoseconds>(Link::bitTimes(Link::frameGapBits, baudRate), requestPause);
}

milliseconds stopBound(long baudRate, milliseconds writeInterval, milliseconds requestPause)
{
    const milliseconds attempt =
        attemptBound(baudRate, writeInterval) + std::chrono::ceil<milliseconds>(turnaroundGap(baudRate, requestPause));
    return attempt + std::chrono::duration_cast<milliseconds>(Link::repeatBudget) + attempt + stopMargin;
}

} // namespace VPanel::Panel
