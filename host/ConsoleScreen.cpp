#include "host/ConsoleScreen.h"

#include "host/GlyphCharacters.h"

#include <algorithm>

namespace VPanel::Host {

namespace {
constexpr std::uint8_t blank = ' ';
} // namespace

void ConsoleScreen::resize(int rows, int places)
{
    m_places = std::clamp(places, 0, maxPlaces);
    m_rows.assign(static_cast<std::size_t>(std::clamp(rows, 0, maxRows)),
                  std::vector<std::uint8_t>(static_cast<std::size_t>(m_places), blank));
}

void ConsoleScreen::setRow(int row, const std::vector<std::uint8_t>& cells)
{
    if (row < 0 || row >= rows())
        return;
    std::vector<std::uint8_t>& places = m_rows[static_cast<std::size_t>(row)];
    const std::size_t copied = std::min(cells.size(), places.size());
    std::copy_n(cells.begin(), copied, places.begin());
    std::fill(places.begin() + static_cast<std::ptrdiff_t>(copied), places.end(), blank);
}

void ConsoleScreen::setGlyph(int code, const Link::DotMatrix& dots)
{
    if (code >= 0 && code < static_cast<int>(m_glyphs.size()))
        m_glyphs[static_cast<std::size_t>(code)] = nearestCharacter(dots);
}

std::vector<std::string> ConsoleScreen::text() const
{
    std::vector<std::string> lines;
    for (const std::vector<std::uint8_t>& row : m_rows)
        lines.push_back(Link::rowText(row, m_glyphs));
    return lines;
}

bool ConsoleScreen::shows(std::string_view wanted) const
{
    const std::vector<std::string> lines = text();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(wanted) != std::string::npos; });
}

} // namespace VPanel::Host
