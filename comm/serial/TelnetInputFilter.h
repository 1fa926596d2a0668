#pragma once

#include "comm/Export.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace KelComm::Serial::Internal {

// Stands between a device server's Telnet stream and the Telnet library: a subnegotiation
// passes only whole and only when the line could want it. One that would switch the stream
// to compression (which the library starts unasked) or that runs past the bound is dropped
// whole, so that none of it reaches the line as data.
class KELCOMM_EXPORT TelnetInputFilter {
public:
    static constexpr std::size_t subnegotiationBound = 512;

    // Appends to `passed` what of these bytes may go on.
    void filter(const char* bytes, std::size_t size, std::string& passed);
    // Subnegotiations dropped since the last call.
    std::size_t takeDropped();

private:
    enum class State { Data, Command, Option, SubOption, SubData, SubCommand };

    void command(std::uint8_t byte, std::string& passed);
    void endSubnegotiation(std::string& passed);

    State m_state = State::Data;
    // IAC SB, the option and the body so far, held until IAC SE.
    std::string m_held;
    bool m_refused = false;
    std::size_t m_dropped = 0;
};

} // namespace KelComm::Serial::Internal
