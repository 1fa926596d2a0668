#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

// How long the PC waits on the device line and how long it repeats a request, the same for
// the connection and the device search.

namespace VPanel::Link {

// The pause that ends a reply on the line; the connection's write interval unless the user
// sets another.
inline constexpr std::chrono::milliseconds defaultWriteInterval{20};

// A request is repeated until it gets a valid reply, for at most this long.
inline constexpr std::chrono::seconds repeatBudget{1};

// 1640 bit times plus 5 ms, in whole milliseconds: how long a read that has received nothing
// waits for a reply to begin. A rate of 0 counts as 1.
std::chrono::milliseconds responseTimeout(long baudRate);

// Start, eight data bits and stop.
inline constexpr long bitsPerByte = 10;
// The silence of 3.5 characters by which a device knows a frame has ended.
inline constexpr long long frameGapBits = 35;

// How long that many bit times take at the rate, rounded up, so that a wait built from it is
// never short. A rate of 0 counts as 1.
std::chrono::nanoseconds bitTimes(long long bits, long baudRate);
// How long the bytes take on the wire at the rate, rounded up. A rate of 0 counts as 1.
std::chrono::microseconds wireTime(std::size_t bytes, long baudRate);

// What the quick search allows beyond the wire: a USB adapter holds a short reply back for up to
// its latency timer (16 ms by default on common chips), and the device and the PC each need a
// moment to turn round.
inline constexpr std::chrono::milliseconds quickReplyMargin{20};

// How long the quick search waits for the identification reply to begin once the request has
// been written: the reply on the wire, the 3.5 characters of silence by which the device knows
// the request has ended, and the margin; rounded up to whole milliseconds. The request's own
// wire time is not in it, since the port's write returns only when the request can have left.
std::chrono::milliseconds quickResponseTimeout(long baudRate, std::chrono::milliseconds margin = quickReplyMargin);

// What an address that does not answer costs the quick search: the request's write and the
// wait for a reply.
std::chrono::microseconds quickSilentAddressTime(long baudRate, std::chrono::milliseconds margin = quickReplyMargin);

// What one attempt at an address that does not answer costs the thorough search.
std::chrono::microseconds silentAttemptTime(long baudRate);

// Makes write-then-read attempts until one returns true (answered), `budget` has passed since
// the first began or `giveUp` says so; the last two are asked after each failed attempt, so
// one attempt is always made. True when an attempt was answered.
bool repeatUntilAnswered(const std::function<bool()>& attempt, std::chrono::steady_clock::duration budget,
                         const std::function<bool()>& giveUp);

} // namespace VPanel::Link
