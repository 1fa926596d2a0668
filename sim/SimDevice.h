#pragma once

#include "link/Device.h"
#include "link/Packet.h"
#include "sim/Firmware.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace VPanel::Sim {

// An exchange request whose key mask differs from the one before it.
struct KeyMaskChange {
    std::uint32_t mask = 0;
    Firmware::SteadyTime at;         // when the request came
    Firmware::SteadyTime previousAt; // the request before it, which still carried the old mask
};

struct DeviceCounters {
    static constexpr std::size_t keyMaskLogLength = 256;

    std::map<std::uint16_t, std::uint64_t> requests; // accepted requests per command
    std::uint32_t lastKeyMask = 0;                    // of the last exchange request
    std::vector<KeyMaskChange> keyMaskChanges;        // the latest ones, oldest first

    std::uint64_t requestsOf(std::uint16_t command) const;
    std::uint64_t totalRequests() const;
};

// How a device misbehaves in its replies' content.
struct DeviceQuirks {
    std::uint8_t consoleVersion = 0;
    bool consoleOffAtStart = false;
    bool deviceOffAtStop = false;
    // Device identification answered with the identifier alone: 7 bytes, no software version.
    bool shortIdentification = false;
    // Replies to this command carry one data byte too many.
    std::optional<std::uint16_t> extraByteAfter;
    // Exchange replies stop after the first byte of their flags.
    bool cutExchangeReplies = false;
};

// One device on the bus: its identity, its console and the firmware behind it. Like a real
// device it sends in an exchange reply only the rows and glyphs that changed since it last
// sent them; the start request (and the redraw interval, if set) makes it send every row again.
class SimDevice {
public:
    SimDevice(const FirmwareSetup& setup, Firmware::SteadyTime start);

    std::uint8_t address() const { return m_setup.address; }

    // The reply to a request addressed to this device, nothing when the device stays silent
    // (a glyph index it does not hold).
    std::optional<Link::Frame> handle(const Link::Request& request, const DeviceQuirks& quirks,
                                      Firmware::SteadyTime now, Firmware::WallTime wall);

    const DeviceCounters& counters() const { return m_counters; }

private:
    std::optional<Link::Frame> reply(const Link::Request& request, const DeviceQuirks& quirks,
                                     Firmware::SteadyTime now, Firmware::WallTime wall);
    Link::Frame exchange(std::uint32_t keyMask, Firmware::SteadyTime now, Firmware::WallTime wall);
    // Forgets the rows sent when the whole screen is due again.
    void redrawWhenDue(Firmware::SteadyTime now);
    void logKeyMask(std::uint32_t keyMask, Firmware::SteadyTime now);
    // The firmware's row as the console shows it: cut or blank-padded to its places.
    std::vector<std::uint8_t> consoleRow(int row) const;

    FirmwareSetup m_setup;
    Firmware m_firmware;
    std::vector<std::optional<std::vector<std::uint8_t>>> m_sentRows;
    std::array<std::optional<Link::Glyph>, Link::exchangeGlyphs> m_sentGlyphs;
    bool m_consoleWasOn = true;
    DeviceCounters m_counters;
    std::optional<Firmware::SteadyTime> m_lastExchangeAt;
    std::optional<Firmware::SteadyTime> m_lastRedrawAt;
};

} // namespace VPanel::Sim
