#include "app/display/GlyphCache.h"

#include <QPainter>

QPixmap renderGlyph(const SymbolMatrix& matrix, const GlyphStyle& style)
{
    QPixmap image(style.cell);
    image.fill(DisplayColours::ground());
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const int step = style.dotSize + GlyphStyle::dotGap_px;
    for (int column = 0; column < matrix.columns(); ++column) {
        for (int row = 0; row < matrix.rows(); ++row) {
            QColor colour;
            if (matrix.isLit(column, row))
                colour = DisplayColours::litDot();
            else if (style.drawEmpty)
                colour = DisplayColours::unlitDot();
            else
                continue;
            painter.setPen(colour);
            painter.setBrush(colour);
            painter.drawEllipse(QRectF(GlyphStyle::dotLeft_px + column * step, GlyphStyle::dotTop_px + row * step,
                                       style.dotSize, style.dotSize));
        }
    }
    return image;
}

void GlyphCache::store(char code, const SymbolMatrix& matrix)
{
    GlyphEntry& entry = m_entries[code];
    entry.matrix = matrix;
    entry.image = QPixmap();
    entry.stale = true;
}

bool GlyphCache::remove(char code)
{
    return m_entries.erase(code) != 0;
}

void GlyphCache::markAllStale()
{
    for (auto& [code, entry] : m_entries)
        entry.stale = true;
}

bool GlyphCache::isStale(char code) const
{
    const auto found = m_entries.find(code);
    return found != m_entries.end() && found->second.stale;
}

const SymbolMatrix* GlyphCache::matrix(char code) const
{
    const auto found = m_entries.find(code);
    return found == m_entries.end() ? nullptr : &found->second.matrix;
}

const QPixmap* GlyphCache::image(char code, const GlyphStyle& style)
{
    const auto found = m_entries.find(code);
    if (found == m_entries.end())
        return nullptr;
    GlyphEntry& entry = found->second;
    if (entry.stale) {
        entry.image = renderGlyph(entry.matrix, style);
        entry.stale = false;
    }
    return &entry.image;
}
