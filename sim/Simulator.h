#pragma once

#include "sim/Bus.h"
#include "sim/Faults.h"
#include "sim/Firmware.h"
#include "sim/Recording.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace VPanel::Sim {

struct SimulatorOptions {
    std::string portName;                 // "COMn"; empty: the first free name from COM100
    std::vector<FirmwareSetup> devices;   // none: one device with the defaults
    unsigned baudRate = 0;                // pace replies at this rate; 0: as the PC set the line
    bool pace = true;                     // false sends every reply at once
    bool onlyAtOwnRate = false;           // with baudRate: what comes at another rate is noise
    std::ostream* verbose = nullptr;      // where each frame is logged, if anywhere
    Faults faults;
    std::optional<std::uint32_t> seed;    // of the fault dice; none: a random seed
    // Answers with a recording's replies instead of the devices' own; the devices still count
    // the requests.
    std::shared_ptr<Replay> replay;
};

// A bus of simulated devices on a pseudo-terminal, served by a thread of its own and
// published in the port map under its port name until the object is destroyed.
class Simulator {
public:
    // Throws SimulatorException when the pty, the port name or the devices cannot be had.
    explicit Simulator(SimulatorOptions options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    const std::string& portName() const;
    const std::string& devicePath() const;

    void setFaults(const Faults& faults);
    Faults faults() const;
    // Counters of the device at the address; empty ones for an address without a device.
    DeviceCounters counters(std::uint8_t address) const;
    BusCounters busCounters() const;
    // Replies that have gone out whole, with the PC's closes seen up to then.
    std::uint64_t repliesWritten() const;

    // Recorded replies to this command that a replay has not played yet; 0 without a replay.
    std::size_t replayLeft(std::uint16_t command) const;

    // Ends the line's thread; the port stays published until destruction.
    void stop();
    bool running() const;
    // What ended the line's thread early, if anything did.
    std::exception_ptr failure() const;

private:
    class Line;
    std::unique_ptr<Line> m_line;
};

} // namespace VPanel::Sim
