#pragma once

#include "link/Contents.h"
#include "link/Glyph.h"
#include "link/Packet.h"

#include <cstddef>
#include <cstdint>
#include <variant>

// Checking and decoding the device's reply to a request on the PC's side.

namespace VPanel::Link {

enum class ReplyStatus {
    Ok,
    TooShort,                 // fewer than 5 bytes: nothing usable came within the timeouts
    CommandMismatch,          // not the request's command
    AddressMismatch,          // not from the request's address
    ChecksumMismatch,
    WrongLength,              // the command's reply length is not met
    WrongFormat,              // an exchange reply too short to hold its flags
    UnsupportedConsoleVersion // a console version other than 0; content holds the identity
};

using ReplyContent =
    std::variant<std::monostate, DeviceIdentity, ConsoleIdentity, StartState, StopState, ExchangeContent, Glyph>;

struct Reply {
    ReplyStatus status = ReplyStatus::TooShort;
    ReplyContent content; // by command: identities, start/stop state, exchange content, glyph
};

// Checks the bytes received for `request` in the order the connection reports failures
// (length, command, address, checksum) and decodes them by the request's command. An exchange
// reply's rows are `placesPerRow` bytes each, the width the console identification reported,
// which also sets its length rule. A language reply and a command without a decoder carry no
// content. Never reads outside [bytes, bytes + size).
Reply decodeReply(const Frame& request, const std::uint8_t* bytes, std::size_t size, std::size_t placesPerRow);

// The device search's rule for a device identification reply: any length from 7 bytes, the
// identifier being the two bytes after the header, which a shorter reply would take from its
// checksum. Command, address and checksum are checked as by decodeReply; the versions are
// read only from a reply long enough to hold them, 0 otherwise.
Reply decodeSearchIdentification(const Frame& request, const std::uint8_t* bytes, std::size_t size);

inline constexpr std::size_t identificationReplySize = 9;
inline constexpr std::size_t minSearchIdentificationReplySize = 7;
inline constexpr std::size_t switchReplySize = 6;
inline constexpr std::size_t symbolMatrixReplySize = 13;
inline constexpr std::size_t minExchangeReplySize = 7;

} // namespace VPanel::Link
