#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// A device glyph travels as 8 bytes, one per dot row from the top; in each byte bit 4 is the
// leftmost of five columns and bit 0 the rightmost, the upper three bits are ignored.

namespace VPanel::Link {

inline constexpr std::size_t glyphSize = 8;
using Glyph = std::array<std::uint8_t, glyphSize>;

// A stored dot of 1 or of the character '1' is lit, in the link's matrices and the display's.
constexpr bool isLitDot(std::uint8_t dot) { return dot == 1 || dot == '1'; }

// The 5 x 8 dots of one glyph, stored column after column like the display's symbol matrix:
// the dot of column c, row r is dots[c * rows + r]; 1 is lit, 0 unlit.
struct DotMatrix {
    static constexpr int columns = 5;
    static constexpr int rows = 8;

    std::array<std::uint8_t, columns * rows> dots{};

    // A dot outside the matrix reads unlit and is not stored.
    bool lit(int column, int row) const;
    void set(int column, int row, bool lit);

    bool operator==(const DotMatrix& other) const { return dots == other.dots; }
    bool operator!=(const DotMatrix& other) const { return dots != other.dots; }
};

DotMatrix dotsFromGlyph(const Glyph& glyph);
Glyph glyphFromDots(const DotMatrix& matrix);

} // namespace VPanel::Link
