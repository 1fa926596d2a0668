#pragma once

#include "link/Glyph.h"

#include <QStringView>

#include <array>

// The standard 5 x 8 glyph set the window draws from, carried in the map file: line N of the
// file holds the glyph of character code N as comma-separated fields, field k being the dot of
// column k / 8, row k % 8.

namespace VPanel::Host {

// A glyph to draw for each code.
using GlyphTable = std::array<Link::DotMatrix, 256>;

// Codes the standard set covers.
inline constexpr int firstStandardCode = 31;
inline constexpr int lastStandardCode = 255;

inline constexpr const char* glyphMapFileName = ":/Resources/simbolMatrixMap.txt";

// Registers the resource holding the map file, which a static library does not do by itself.
void initGlyphResources();

// Only a field that reads as the integer 1 is a lit dot; missing fields are unlit.
Link::DotMatrix parseGlyphLine(QStringView line);

// The standard glyph of each code it covers, blank for the others and for all when the map
// file cannot be read.
const GlyphTable& standardGlyphs();

} // namespace VPanel::Host
