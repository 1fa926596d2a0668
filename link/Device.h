#pragma once

#include "link/Contents.h"
#include "link/Glyph.h"
#include "link/Packet.h"

#include <cstddef>
#include <cstdint>
#include <optional>

// The device's side of the line: recognising requests and building replies.

namespace VPanel::Link {

// The whole length of a request with this command, nothing for a command the device does not
// know. Requests have fixed lengths, so a device knows where one ends once it has its command.
std::optional<std::size_t> requestSize(std::uint16_t command);

struct Request {
    std::uint8_t address = 0;
    std::uint16_t command = 0;
    std::uint32_t keyMask = 0;    // exchange
    std::uint8_t glyphIndex = 0;  // symbol matrix
    std::uint16_t language = 0;   // language
};

enum class RequestStatus { Ok, TooShort, UnknownCommand, WrongLength, ChecksumMismatch };

struct ParsedRequest {
    RequestStatus status = RequestStatus::TooShort;
    Request request;
};

// Checks one complete request frame; a device answers only when the status is Ok.
ParsedRequest parseRequest(const std::uint8_t* bytes, std::size_t size);

Frame deviceIdentificationReply(std::uint8_t address, const DeviceIdentity& identity);
Frame consoleIdentificationReply(std::uint8_t address, const ConsoleIdentity& identity);
Frame startReply(std::uint8_t address, const StartState& state);
Frame stopReply(std::uint8_t address, const StopState& state);
// Rows and glyphs go out in row and code order whatever their order in `content`; throws
// LinkException for a row outside 0..3 or given twice, rows of different widths, or a glyph
// code outside 0..7 or given twice.
Frame exchangeReply(std::uint8_t address, const ExchangeContent& content);
Frame symbolMatrixReply(std::uint8_t address, const Glyph& glyph);
Frame languageReply(std::uint8_t address);

} // namespace VPanel::Link
