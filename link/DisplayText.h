#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The display's cells as UTF-8 text. Its codes are those of the Windows-1251 code page; a code
// for which the device sent a glyph of its own is drawn from that glyph instead.

namespace VPanel::Link {

// Stands for a place that has no character of its own: a glyph of the device's, a control
// code, the code page's one unassigned code.
inline constexpr char glyphPlaceholder[] = "\u25A1";

// The UTF-8 text of a code in the display's code page; empty for a control code (below 32)
// and for the unassigned 0x98.
const std::string& characterOf(std::uint8_t code);

// For each code, the text of the device's own glyph, or empty where the code has none.
using OwnGlyphTexts = std::array<std::string, 256>;

// One row: a code with its own glyph as that glyph's text, any other as its character, a code
// without a character as glyphPlaceholder.
std::string rowText(const std::vector<std::uint8_t>& cells, const OwnGlyphTexts& ownGlyphs);

} // namespace VPanel::Link
