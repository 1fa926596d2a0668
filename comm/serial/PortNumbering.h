#pragma once

#include "comm/Export.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

// Which device each number COMn stands for, decided in one place for the port list and for
// opening a port, so that both always agree. The port map's entries keep their numbers; a
// kernel device that a map link leads to is known by that link's name only; any other kernel
// device takes its built-in number, or, when an entry of the map holds that number, the
// lowest free number above the built-in ranges, so that no device is hidden behind another
// one's name.
namespace KelComm::Serial::Internal {

struct MapEntry {
    enum class Kind { Link, ServerFile };
    Kind kind = Kind::Link;
    std::filesystem::path path;
    // A link's device: where it finally leads, or, when that is missing, what it says.
    std::string target;
    bool connected = false;
    // The kernel device the link leads to, when the kernel's table has it.
    std::string kernelName;
};

struct PortNumbering {
    std::map<std::uint16_t, MapEntry> mapped;
    std::map<std::uint16_t, std::string> kernel; // number -> kernel name
    // The errno of a kernel table that could not be read; its devices are then not numbered.
    std::optional<int> kernelTableError;
};

KELCOMM_EXPORT PortNumbering numberPorts();

// The device node of a kernel device: ttyUSB0 -> /dev/ttyUSB0.
std::filesystem::path kernelDevicePath(const std::string& kernelName);

struct PortLocation {
    std::string path;
    // A map link whose device is missing: the adapter is not plugged in.
    bool adapterAbsent = false;
};

// Where COMn is to be opened: its map link, its kernel device, else (no kernel table) its
// built-in device node, else the would-be link in the port map, which does not exist.
KELCOMM_EXPORT PortLocation locatePort(std::uint16_t number);

} // namespace KelComm::Serial::Internal
