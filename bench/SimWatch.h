#pragma once

// Watching the simulated line from a benchmark: a condition looked at every step until it holds
// or the time is up, and the moment a device first saw a key down.

#include "sim/SimDevice.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>

namespace Bench {

// Looks at `done` every `step` until it holds or `limit` has passed; its last answer.
inline bool waitFor(const std::function<bool()>& done, std::chrono::steady_clock::duration limit,
                    std::chrono::steady_clock::duration step)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(step);
    return done();
}

// The first change the device saw after `since` to a mask with `bit`, if it saw one.
inline std::optional<VPanel::Sim::KeyMaskChange> seenDown(const VPanel::Sim::DeviceCounters& counters,
                                                          std::chrono::steady_clock::time_point since,
                                                          std::uint32_t bit)
{
    for (const auto& change : counters.keyMaskChanges)
        if (change.at >= since && (change.mask & bit))
            return change;
    return std::nullopt;
}

} // namespace Bench
