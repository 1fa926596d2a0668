#pragma once

#include "comm/Export.h"
#include "comm/serial/NetworkAddress.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// Where the device node of port COMn is found: first a link COMn in the port-map directory
// (so that a user can give an adapter a fixed name), else the built-in numbering of the
// kernel's serial devices, 32 to each kind.
namespace KelComm::Serial::Internal {

// $KELCOMM_PORTS_DIR, else $XDG_CONFIG_HOME/kelcomm/ports, else ~/.config/kelcomm/ports.
KELCOMM_EXPORT std::filesystem::path portMapDirectory();

// $KELCOMM_DEV_DIR, else /dev: where the kernel's device nodes are.
KELCOMM_EXPORT std::filesystem::path deviceDirectory();

constexpr unsigned builtInPortsPerKind = 32;
constexpr unsigned firstPortAboveBuiltIn = 129;

// ttyS<k> is COM(k+1), ttyUSB<k> COM(k+33), ttyACM<k> COM(k+65), ttyAMA<k> COM(k+97);
// 0 for any other kernel name.
KELCOMM_EXPORT std::uint16_t builtInPortNumber(const std::string& kernelName);

// The kernel name of a built-in number, or an empty string outside the built-in ranges.
KELCOMM_EXPORT std::string builtInKernelName(std::uint16_t number);

// The device path of a link in the port map: where it finally points, or, when that does
// not exist, what the link says (opening it then fails as "not found").
KELCOMM_EXPORT std::string resolveMapLink(const std::filesystem::path& link);

// The device path of COMn, as locatePort finds it.
KELCOMM_EXPORT std::string resolvePortPath(std::uint16_t number);

// The address of COMn when its port-map entry is a regular file, else nothing. A file that
// names no address, or whose first line does not end within its first 4 KiB, throws
// PortMapException with the file and what is wrong.
KELCOMM_EXPORT std::optional<NetworkAddress> networkEntry(std::uint16_t number);

} // namespace KelComm::Serial::Internal
