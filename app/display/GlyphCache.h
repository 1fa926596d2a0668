#pragma once

#include "app/display/SymbolMatrix.h"

#include <QColor>
#include <QPixmap>
#include <QSize>

#include <map>

namespace DisplayColours {
inline QColor ground() { return QColor(178, 255, 210, 255); }
inline QColor litDot() { return QColor(Qt::black); }
inline QColor unlitDot() { return QColor(160, 230, 190, 255); }
} // namespace DisplayColours

// How a glyph image is drawn: the place's size, the diameter of one dot and whether unlit
// dots are drawn too.
struct GlyphStyle {
    // Gap between neighbouring dots, and where the first dot's box starts in the place.
    static constexpr int dotGap_px = 2;
    static constexpr int dotLeft_px = 3;
    static constexpr int dotTop_px = 2;

    QSize cell;
    int dotSize = 1;
    bool drawEmpty = false;
};

// Draws one glyph as round dots on the display's ground.
QPixmap renderGlyph(const SymbolMatrix& matrix, const GlyphStyle& style);

// The glyphs known to the display by character code, each with its image rendered lazily:
// an image is drawn when first needed after the glyph was stored or marked stale, so a
// screen full of the same character costs one rendering.
class GlyphCache {
public:
    // Stores or replaces the glyph of `code`; its image is rendered again when next needed.
    void store(char code, const SymbolMatrix& matrix);
    bool remove(char code);
    void markAllStale();

    bool contains(char code) const { return m_entries.count(code) != 0; }
    bool isStale(char code) const;
    int count() const { return static_cast<int>(m_entries.size()); }
    // Null when there is no glyph for `code`.
    const SymbolMatrix* matrix(char code) const;

    // The glyph's image drawn in `style`, rendered first when stale; null without a glyph.
    const QPixmap* image(char code, const GlyphStyle& style);

private:
    struct GlyphEntry {
        SymbolMatrix matrix;
        QPixmap image;
        bool stale = true;
    };

    std::map<char, GlyphEntry> m_entries;
};
