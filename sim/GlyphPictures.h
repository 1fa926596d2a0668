#pragma once

#include "link/Glyph.h"

#include <array>
#include <cstddef>

// The firmware's own glyphs, drawn as eight rows of five characters ('#' lit).

namespace VPanel::Sim {

// Character codes of the glyphs the screens use.
namespace GlyphCode {
inline constexpr unsigned char pulse = 0; // animated
inline constexpr unsigned char pointer = 1;
inline constexpr unsigned char bell = 2;
} // namespace GlyphCode

using Picture = std::array<const char*, Link::DotMatrix::rows>;

Link::Glyph glyphFromPicture(const Picture& picture);

inline constexpr std::size_t pulseFrameCount = 4;
Link::Glyph pulseFrame(std::size_t frame);

// The glyph the console holds at `index` when it starts; those past the drawn ones show
// their index in binary so that each differs.
Link::Glyph initialGlyph(std::size_t index);

} // namespace VPanel::Sim
