#include "app/display/StandardGlyphs.h"

// Q_INIT_RESOURCE declares the resource's initialiser, which must not sit in a namespace.
static void initDisplayResources()
{
    Q_INIT_RESOURCE(display);
}

namespace StandardGlyphs {

void initResources()
{
    initDisplayResources();
}

SymbolMatrix parseLine(const QString& line)
{
    const QStringList fields = line.split(QLatin1Char(','), Qt::KeepEmptyParts);
    SymbolMatrix glyph(columns, rows);
    for (int column = 0; column < columns; ++column) {
        for (int row = 0; row < rows; ++row) {
            const int field = column * rows + row;
            bool ok = false;
            const bool lit = field < fields.size() && fields[field].toInt(&ok, 10) == 1 && ok;
            glyph.setValue(column, row, lit ? 1 : 0);
        }
    }
    return glyph;
}

std::optional<SymbolMatrix> glyphFor(const QStringList& lines, int code)
{
    if (code < 0 || code >= lines.size())
        return std::nullopt;
    return parseLine(lines[code]);
}

} // namespace StandardGlyphs
