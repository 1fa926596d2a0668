#include "comm/serial/RawNetworkLine.h"

#include <algorithm>

namespace KelComm::Serial::Internal {

namespace {
// One round trip after the connection stood, which the time to connect tells; on loopback
// that is nothing, and a busy server host may take a scheduling slice or two to answer.
constexpr auto shortestRefusalWait = std::chrono::milliseconds(200);
constexpr auto longestRefusalWait = std::chrono::milliseconds(500);
} // namespace

void RawNetworkLine::start(std::chrono::milliseconds connectTime)
{
    awaitServer([] { return false; }, std::clamp(connectTime, shortestRefusalWait, longestRefusalWait));
}

std::size_t RawNetworkLine::writeSome(const void* data, std::size_t size)
{
    return sendNow(static_cast<const char*>(data), size);
}

} // namespace KelComm::Serial::Internal
