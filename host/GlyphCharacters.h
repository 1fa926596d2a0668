#pragma once

#include "link/Glyph.h"

#include <string>

// A terminal (or a text for a screen reader) cannot draw a device's own glyph dot by dot: it shows the character the glyph
// looks most like.

namespace VPanel::Host {

// Glyphs more than this many dots away from every known picture have no near character.
inline constexpr int nearDots = 3;

// The UTF-8 character whose picture is nearest to the glyph, a single-column one, or
// Link::glyphPlaceholder when none is within nearDots.
std::string nearestCharacter(const Link::DotMatrix& dots);

} // namespace VPanel::Host
