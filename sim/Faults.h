#pragma once

#include "sim/SimDevice.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>

namespace VPanel::Sim {

// What the bus does wrong, settable while it runs. Probabilities are per reply, 0..1.
struct Faults {
    double dropProbability = 0.0;
    // Changes one byte after the header, so that the PC's checksum test catches it.
    double corruptProbability = 0.0;
    // Sends the first half, pauses for splitGap (longer than the PC's interval timeout), then
    // the rest.
    double splitProbability = 0.0;
    // Replies shorter than this always go in one piece, so that a test can split exactly the
    // replies that carry display rows.
    std::size_t splitFromSize = 0;
    std::chrono::milliseconds splitGap{60};
    std::chrono::milliseconds replyDelay{0};
    // A request whose first byte comes sooner than this after the end of the last reply is
    // not heard, as on a bus whose transceiver still drives the line after sending.
    std::chrono::milliseconds turnaround{0};
    bool wrongAddress = false;
    // After this many requests the bus answers nothing, for silentPeriod (zero: for good).
    std::optional<std::uint64_t> silentAfterRequests;
    std::chrono::milliseconds silentPeriod{0};
    // Devices that hear their requests but answer none, while the others on the line do.
    std::set<std::uint8_t> silentDevices;
    DeviceQuirks quirks;
};

} // namespace VPanel::Sim
