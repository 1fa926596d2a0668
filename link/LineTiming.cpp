#include "link/LineTiming.h"

#include "link/Packet.h"
#include "link/Replies.h"

#include <algorithm>

namespace VPanel::Link {

namespace {
constexpr long responseBits = 1640;
constexpr std::chrono::milliseconds responseMargin{5};
constexpr std::size_t identificationRequestSize = frameOverhead;
} // namespace

std::chrono::milliseconds responseTimeout(long baudRate)
{
    return std::chrono::milliseconds(responseBits * 1000 / std::max(baudRate, 1L)) + responseMargin;
}

std::chrono::nanoseconds bitTimes(long long bits, long baudRate)
{
    const long long rate = std::max(baudRate, 1L);
    constexpr long long nanosecondsPerSecond = 1'000'000'000;
    return std::chrono::nanoseconds((bits * nanosecondsPerSecond + rate - 1) / rate);
}

std::chrono::microseconds wireTime(std::size_t bytes, long baudRate)
{
    return std::chrono::ceil<std::chrono::microseconds>(
        bitTimes(static_cast<long long>(bytes) * bitsPerByte, baudRate));
}

std::chrono::milliseconds quickResponseTimeout(long baudRate, std::chrono::milliseconds margin)
{
    const auto onTheWire = wireTime(identificationReplySize, baudRate) + bitTimes(frameGapBits, baudRate);
    return std::chrono::ceil<std::chrono::milliseconds>(onTheWire) + margin;
}

std::chrono::microseconds quickSilentAddressTime(long baudRate, std::chrono::milliseconds margin)
{
    return wireTime(identificationRequestSize, baudRate) + quickResponseTimeout(baudRate, margin);
}

std::chrono::microseconds silentAttemptTime(long baudRate)
{
    return wireTime(identificationRequestSize, baudRate) + responseTimeout(baudRate);
}

bool repeatUntilAnswered(const std::function<bool()>& attempt, std::chrono::steady_clock::duration budget,
                         const std::function<bool()>& giveUp)
{
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (attempt())
            return true;
        if (std::chrono::steady_clock::now() - start >= budget || giveUp())
            return false;
    }
}

} // namespace VPanel::Link
