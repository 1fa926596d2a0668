#pragma once

#include <filesystem>
#include <string>

namespace VPanel::Sim {

// $KELCOMM_PORTS_DIR, else $XDG_CONFIG_HOME/kelcomm/ports, else ~/.config/kelcomm/ports: where
// a link COMn names the device node of port COMn.
std::filesystem::path portMapDirectory();

// The device's line published as a port of the port map for as long as the object lives.
class PortPublication {
public:
    static constexpr unsigned firstAutomaticPort = 100;

    // Links portName ("COMn") to devicePath, creating the directory if need be. A link left
    // by a run that could not clean up (its target gone) is replaced; a live one is not.
    // An empty name takes the first free name from COM100 on. Throws SimulatorException.
    PortPublication(const std::string& portName, const std::string& devicePath);
    ~PortPublication();
    PortPublication(const PortPublication&) = delete;
    PortPublication& operator=(const PortPublication&) = delete;

    const std::string& portName() const { return m_portName; }

private:
    bool tryPublish(const std::filesystem::path& link, std::string& liveTarget);

    std::string m_portName;
    std::string m_devicePath;
    std::filesystem::path m_link;
};

// The number n of "COMn" (1..65535, no leading zero), 0 for any other text.
unsigned portNumber(const std::string& portName);

} // namespace VPanel::Sim
