#pragma once

#include "link/Packet.h"

#include <cstdint>

// The requests the PC sends, one builder per command.

namespace VPanel::Link {

namespace Language {
inline constexpr std::uint16_t Russian = 0;
inline constexpr std::uint16_t English = 1;
} // namespace Language

Frame deviceIdentificationRequest(std::uint8_t address);
Frame consoleIdentificationRequest(std::uint8_t address);
Frame startRequest(std::uint8_t address);
Frame stopRequest(std::uint8_t address);
Frame exchangeRequest(std::uint8_t address, std::uint32_t keyMask);
Frame symbolMatrixRequest(std::uint8_t address, std::uint8_t glyphIndex);
Frame languageRequest(std::uint8_t address, std::uint16_t language);

} // namespace VPanel::Link
