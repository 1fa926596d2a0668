#pragma once

#include "link/Glyph.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// What the replies carry, in the form both sides of the line work with.

namespace VPanel::Link {

struct DeviceIdentity {
    std::uint16_t identifier = 0;
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
};

struct ConsoleIdentity {
    std::uint8_t version = 0; // only 0 is supported
    std::uint8_t rows = 0;
    std::uint8_t places = 0; // character places per row
    std::uint8_t glyphs = 0;
};

struct StartState {
    bool panelOff = false;
};

struct StopState {
    bool deviceOff = false;
};

// Content flags of an exchange reply.
namespace ExchangeFlag {
inline constexpr std::uint16_t glyphBits = 0x00FF; // bit g: glyph for code g follows
inline constexpr std::uint16_t rowBits = 0x0F00;   // bit 8 + r: row r follows
inline constexpr int firstRowBit = 8;
inline constexpr std::uint16_t consoleOn = 0x1000;
inline constexpr std::uint16_t soundOn = 0x2000;
} // namespace ExchangeFlag

// The console most devices have, and the size assumed until the console reports its own.
inline constexpr int defaultConsoleRows = 4;
inline constexpr int defaultConsolePlaces = 20;

inline constexpr int exchangeRows = 4;
inline constexpr int exchangeGlyphs = 8;

struct RowUpdate {
    int row = 0;
    std::vector<std::uint8_t> cells; // character codes of the Windows-1251 code page
};

struct GlyphUpdate {
    int code = 0;
    Glyph glyph{};
};

// An exchange reply's content: rows in row order, glyphs in code order.
struct ExchangeContent {
    bool consoleOn = false;
    bool soundOn = false;
    std::vector<RowUpdate> rows;
    std::vector<GlyphUpdate> glyphs;

    std::uint16_t flags() const;
};

// The whole length of an exchange reply with these flags: places × R + 8 × G + 7.
std::size_t exchangeReplySize(std::uint16_t flags, std::size_t placesPerRow);

} // namespace VPanel::Link
