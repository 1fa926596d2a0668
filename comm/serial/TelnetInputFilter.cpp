#include "comm/serial/TelnetInputFilter.h"

#include <utility>

namespace KelComm::Serial::Internal {

namespace {
constexpr std::uint8_t iac = 255;
constexpr std::uint8_t subnegotiationBegin = 250;
constexpr std::uint8_t subnegotiationEnd = 240;
constexpr std::uint8_t will = 251;
constexpr std::uint8_t dont = 254;
// MCCP versions 1 and 2: the library inflates whatever follows their marker.
constexpr std::uint8_t compressOld = 85;
constexpr std::uint8_t compress = 86;
} // namespace

void TelnetInputFilter::filter(const char* bytes, std::size_t size, std::string& passed)
{
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<std::uint8_t>(bytes[i]);
        switch (m_state) {
        case State::Data:
            if (byte == iac)
                m_state = State::Command;
            else
                passed.push_back(static_cast<char>(byte));
            break;
        case State::Command:
            command(byte, passed);
            break;
        case State::Option:
            passed.push_back(static_cast<char>(byte));
            m_state = State::Data;
            break;
        case State::SubOption:
            m_held.push_back(static_cast<char>(byte));
            m_refused = byte == compress || byte == compressOld;
            m_state = State::SubData;
            break;
        case State::SubData:
            if (byte == iac)
                m_state = State::SubCommand;
            else if (m_held.size() < subnegotiationBound)
                m_held.push_back(static_cast<char>(byte));
            else
                m_refused = true;
            break;
        case State::SubCommand:
            if (byte == iac) {
                m_state = State::SubData;
                if (m_held.size() + 1 < subnegotiationBound)
                    m_held.append(2, static_cast<char>(iac));
                else
                    m_refused = true;
                break;
            }
            endSubnegotiation(passed);
            // Any other command ends the subnegotiation too, as the library reads it.
            if (byte != subnegotiationEnd)
                command(byte, passed);
            break;
        }
    }
}

void TelnetInputFilter::command(std::uint8_t byte, std::string& passed)
{
    if (byte == subnegotiationBegin) {
        m_held.assign({static_cast<char>(iac), static_cast<char>(subnegotiationBegin)});
        m_state = State::SubOption;
        return;
    }
    passed.push_back(static_cast<char>(iac));
    passed.push_back(static_cast<char>(byte));
    m_state = byte >= will && byte <= dont ? State::Option : State::Data;
}

void TelnetInputFilter::endSubnegotiation(std::string& passed)
{
    m_state = State::Data;
    if (std::exchange(m_refused, false)) {
        ++m_dropped;
    } else {
        passed += m_held;
        passed.push_back(static_cast<char>(iac));
        passed.push_back(static_cast<char>(subnegotiationEnd));
    }
    m_held.clear();
}

std::size_t TelnetInputFilter::takeDropped() { return std::exchange(m_dropped, 0); }

} // namespace KelComm::Serial::Internal
