#include "link/Contents.h"

#include "link/Packet.h"

#include <bitset>

namespace VPanel::Link {

std::uint16_t ExchangeContent::flags() const
{
    std::uint16_t flags = 0;
    for (const auto& row : rows)
        if (row.row >= 0 && row.row < exchangeRows)
            flags |= static_cast<std::uint16_t>(1u << (ExchangeFlag::firstRowBit + row.row));
    for (const auto& glyph : glyphs)
        if (glyph.code >= 0 && glyph.code < exchangeGlyphs)
            flags |= static_cast<std::uint16_t>(1u << glyph.code);
    if (consoleOn)
        flags |= ExchangeFlag::consoleOn;
    if (soundOn)
        flags |= ExchangeFlag::soundOn;
    return flags;
}

std::size_t exchangeReplySize(std::uint16_t flags, std::size_t placesPerRow)
{
    const std::size_t rowCount = std::bitset<16>(flags & ExchangeFlag::rowBits).count();
    const std::size_t glyphCount = std::bitset<16>(flags & ExchangeFlag::glyphBits).count();
    return placesPerRow * rowCount + glyphSize * glyphCount + frameOverhead + sizeof(std::uint16_t);
}

} // namespace VPanel::Link
