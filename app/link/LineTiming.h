#pragma once

#include <chrono>
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

// Makes write-then-read attempts until one returns true (answered), `budget` has passed since
// the first began or `giveUp` says so; the last two are asked after each failed attempt, so
// one attempt is always made. True when an attempt was answered.
bool repeatUntilAnswered(const std::function<bool()>& attempt, std::chrono::steady_clock::duration budget,
                         const std::function<bool()>& giveUp);

} // namespace VPanel::Link
