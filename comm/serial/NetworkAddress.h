#pragma once

#include "comm/Export.h"

#include <cstdint>
#include <string>

namespace KelComm::Serial::Internal {

// A serial line on a device server, named by the first line of a regular file COMn in the
// port map: rfc2217://HOST:PORT (Telnet with port control) or tcp://HOST:PORT (bytes only).
// HOST is a name, an IPv4 address or an IPv6 address in brackets.
struct NetworkAddress {
    enum class Protocol { Rfc2217, RawTcp };
    Protocol protocol = Protocol::RawTcp;
    std::string url; // as the file gives it, for log lines and port lists
    std::string host; // without the brackets of an IPv6 address
    std::uint16_t port = 0;
};

// The address a line gives; PortMapException saying what is wrong with it when it is none.
KELCOMM_EXPORT NetworkAddress parseNetworkAddress(const std::string& line);

} // namespace KelComm::Serial::Internal
