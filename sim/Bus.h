#pragma once

#include "link/Packet.h"
#include "sim/Faults.h"
#include "sim/Firmware.h"
#include "sim/SimDevice.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <vector>

namespace VPanel::Sim {

// A reply as it goes on the wire.
struct Transmission {
    Link::Frame frame;
    std::size_t splitAt = 0; // bytes before the gap; 0 sends the frame in one piece
    std::chrono::milliseconds splitGap{0};
    std::chrono::milliseconds delay{0};
};

enum class FrameOutcome {
    Answered,
    Dropped,      // by the drop fault
    Muted,        // by the silence fault
    DeviceSilent, // the device has no answer (a glyph it does not hold)
    NotAddressed, // no device at the address
    Invalid,      // checksum or length wrong: no device listens to it
};

struct BusReply {
    FrameOutcome outcome = FrameOutcome::Invalid;
    std::optional<Transmission> transmission;
};

struct BusCounters {
    std::uint64_t frames = 0;       // complete frames of known commands
    std::uint64_t invalid = 0;      // bad checksum
    std::uint64_t noise = 0;        // bytes that were no frame
    std::uint64_t notAddressed = 0;
    std::uint64_t answered = 0;
    std::uint64_t dropped = 0;
    std::uint64_t muted = 0;
    std::uint64_t corrupted = 0;
    std::uint64_t split = 0;
    std::uint64_t unheard = 0; // requests that came within the turnaround
};

// The devices of one line and what goes wrong on it. Like RS-485 slaves, a device answers
// only a complete frame addressed to it with a valid checksum. Safe to use from several
// threads: the line's thread feeds frames, tests change faults and read counters.
class Bus {
public:
    // Throws SimulatorException when two devices share an address.
    Bus(const std::vector<FirmwareSetup>& devices, const Faults& faults, std::uint32_t seed,
        Firmware::SteadyTime start);

    BusReply onFrame(const std::uint8_t* bytes, std::size_t size, Firmware::SteadyTime now, Firmware::WallTime wall);
    void onNoise();
    void onUnheard();

    void setFaults(const Faults& faults);
    Faults faults() const;
    std::optional<DeviceCounters> deviceCounters(std::uint8_t address) const;
    BusCounters counters() const;

private:
    bool silenced(Firmware::SteadyTime now);
    bool roll(double probability);
    Transmission disturb(Link::Frame frame);

    mutable std::mutex m_mutex;
    std::map<std::uint8_t, SimDevice> m_devices;
    Faults m_faults;
    std::mt19937 m_random;
    std::uint64_t m_requestsSinceFaults = 0;
    std::optional<Firmware::SteadyTime> m_silentSince;
    BusCounters m_counters;
};

} // namespace VPanel::Sim
