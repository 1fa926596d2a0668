#pragma once

#include "link/Packet.h"

#include <cstdint>
#include <vector>

namespace LinkTest {

using Bytes = std::vector<std::uint8_t>;

// Appends the checksum to address, command and data given as wire bytes.
inline Bytes sealed(Bytes bytes)
{
    const std::uint16_t sum = VPanel::Link::checksum(bytes.data(), bytes.size());
    bytes.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(sum >> 8));
    return bytes;
}

} // namespace LinkTest
