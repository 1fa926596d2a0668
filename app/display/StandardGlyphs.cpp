#include "app/display/StandardGlyphs.h"

namespace StandardGlyphs {

void initResources() { VPanel::Host::initGlyphResources(); }

SymbolMatrix parseLine(const QString& line) { return SymbolMatrix::fromDots(VPanel::Host::parseGlyphLine(line)); }

std::optional<SymbolMatrix> glyphFor(const QStringList& lines, int code)
{
    if (code < 0 || code >= lines.size())
        return std::nullopt;
    return parseLine(lines[code]);
}

} // namespace StandardGlyphs
