#pragma once

#include "comm/Export.h"

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

// ttyS<k> is COM(k+1), ttyUSB<k> COM(k+33), ttyACM<k> COM(k+65), ttyAMA<k> COM(k+97);
// 0 for any other kernel name.
KELCOMM_EXPORT std::uint16_t builtInPortNumber(const std::string& kernelName);

// The kernel name of a built-in number, or an empty string outside the built-in ranges.
KELCOMM_EXPORT std::string builtInKernelName(std::uint16_t number);

// The device path of a link in the port map: where it finally points, or, when that does
// not exist, what the link says (opening it then fails as "not found").
KELCOMM_EXPORT std::string resolveMapLink(const std::filesystem::path& link);

// The device path of COMn: its port-map link, else its built-in device node, else the
// would-be link in the port map, which does not exist.
KELCOMM_EXPORT std::string resolvePortPath(std::uint16_t number);

// A serial line on a device server, named by the first line of a regular file COMn in the
// port map: rfc2217://HOST:PORT (Telnet with port control) or tcp://HOST:PORT (bytes only).
struct NetworkAddress {
    enum class Protocol { Rfc2217, RawTcp };
    Protocol protocol = Protocol::RawTcp;
    std::string url; // as the file gives it, for log lines and port lists
    std::string host;
    std::uint16_t port = 0;
};

// The address a line gives; PortMapException saying what is wrong with it when it is none.
KELCOMM_EXPORT NetworkAddress parseNetworkAddress(const std::string& line);

// The address of COMn when its port-map entry is a regular file, else nothing. A file that
// names no address throws PortMapException with the file, its line and what is wrong.
KELCOMM_EXPORT std::optional<NetworkAddress> networkEntry(std::uint16_t number);

} // namespace KelComm::Serial::Internal
