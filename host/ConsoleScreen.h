#pragma once

#include "link/DisplayText.h"
#include "link/Glyph.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace VPanel::Host {

// The device's display as a host without a window shows it: rows of codes and the device's own glyphs,
// read out as UTF-8 text with each own glyph as its nearest character.
class ConsoleScreen {
public:
    // Bounds a device's claim of its size, whatever the link lets through.
    static constexpr int maxRows = 16;
    static constexpr int maxPlaces = 80;

    // Blank places of the new size; the glyphs stay.
    void resize(int rows, int places);
    // A row outside the display changes nothing; cells beyond its places are dropped and
    // missing ones are blank.
    void setRow(int row, const std::vector<std::uint8_t>& cells);
    void setGlyph(int code, const Link::DotMatrix& dots);

    int rows() const { return static_cast<int>(m_rows.size()); }
    int places() const { return m_places; }
    const std::vector<std::vector<std::uint8_t>>& cells() const { return m_rows; }
    std::vector<std::string> text() const;
    // Whether `wanted` stands within one of the rows.
    bool shows(std::string_view wanted) const;

private:
    std::vector<std::vector<std::uint8_t>> m_rows;
    int m_places = 0;
    Link::OwnGlyphTexts m_glyphs;
};

} // namespace VPanel::Host
