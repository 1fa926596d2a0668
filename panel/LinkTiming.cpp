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
// No bus needs longer to be released after a reply; a longer pause from a careless host would
// only hold the line, and a stop, back.
constexpr milliseconds longestRequestPause{1000};
} // namespace

milliseconds replyGap(milliseconds writeInterval) { return std::max(writeInterval, milliseconds(1)); }

KelComm::Serial::CommTimeouts readTimeouts(long baudRate, milliseconds writeInterval)
{
    using KelTime::TimeDuration;
    return KelComm::Serial::CommTimeouts(
        TimeDuration::fromMilliseconds(static_cast<double>(Link::responseTimeout(baudRate).count())),
        TimeDuration::fromMilliseconds(static_cast<double>(replyGap(writeInterval).count())));
}

milliseconds attemptBound(long baudRate, milliseconds writeInterval)
{
    const auto onTheWire = Link::wireTime(longestRequest, baudRate) + Link::wireTime(Link::maxFrameSize, baudRate);
    return std::chrono::ceil<milliseconds>(onTheWire) + Link::responseTimeout(baudRate) +
           std::max(writeInterval, portWaitFloor);
}

std::chrono::nanoseconds turnaroundGap(long baudRate, milliseconds requestPause)
{
    return std::max<std::chrono::nanoseconds>(Link::bitTimes(Link::frameGapBits, baudRate),
                                              std::min(requestPause, longestRequestPause));
}

milliseconds stopBound(long baudRate, milliseconds writeInterval, milliseconds requestPause, int devicesOnLine)
{
    const milliseconds attempt =
        attemptBound(baudRate, writeInterval) + std::chrono::ceil<milliseconds>(turnaroundGap(baudRate, requestPause));
    const milliseconds othersAhead = attempt * std::max(devicesOnLine - 1, 0);
    return attempt + std::chrono::duration_cast<milliseconds>(Link::repeatBudget) + othersAhead + attempt + stopMargin;
}

} // namespace VPanel::Panel
