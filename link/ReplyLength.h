#pragma once

#include "link/Packet.h"

#include <cstddef>
#include <cstdint>

// How long the reply to a request will be, told from the bytes received so far, so that a
// reader can end the reply with its last byte instead of waiting for the line to fall silent.

namespace VPanel::Link {

struct ReplyLength {
    enum class State {
        Pending, // too few bytes to tell
        Known,   // `bytes` long, address and checksum included
        // The reply's end cannot be told from its bytes: a foreign command, a command whose
        // reply has no fixed form (the language), or an exchange layout the console cannot
        // have. Only the line falling silent ends it.
        Undetermined,
    };

    State state = State::Pending;
    std::size_t bytes = 0;

    bool operator==(const ReplyLength& other) const { return state == other.state && bytes == other.bytes; }
    bool operator!=(const ReplyLength& other) const { return !(*this == other); }
};

// The console's shape as its identification reported it: an exchange reply carries whole
// rows of `placesPerRow` and never a row beyond `rows`.
struct ConsoleShape {
    std::size_t rows = 0;
    std::size_t placesPerRow = 0;
};

// Never reads outside [bytes, bytes + size); bytes beyond the length told do not change it.
ReplyLength expectedReplyLength(const Frame& request, const std::uint8_t* bytes, std::size_t size,
                                ConsoleShape console);

} // namespace VPanel::Link
