#pragma once

#include "link/Packet.h"
#include "link/ReplyLength.h"

#include <cstddef>
#include <cstdint>

// Where a reply ends, told from the bytes received so far, so that a read need not wait for
// the line to fall silent after a reply that is whole.

namespace VPanel::Panel {

// How many bytes to ask the port for next: those the reply still lacks when its length can be
// told, else `room`. Never more than `room`.
std::size_t bytesStillWanted(const Link::Frame& request, const std::uint8_t* bytes, std::size_t received,
                             Link::ConsoleShape console, std::size_t room);

// The bytes are exactly as long as the reply must be, from the request's address, and their
// checksum holds.
bool isWholeReply(const Link::Frame& request, const std::uint8_t* bytes, std::size_t received,
                  Link::ConsoleShape console);

} // namespace VPanel::Panel
