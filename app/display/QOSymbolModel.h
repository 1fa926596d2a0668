#pragma once

#include "app/display/GlyphCache.h"
#include "app/display/SymbolMatrix.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QSize>

#include <vector>

// The display's contents: one Windows-1251 character code per place, and the glyphs with
// the dot geometry they are drawn in. Content changes do not notify views by themselves:
// the owner announces a batch with refresh() or resetModel().
class QOSymbolModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // The console reports its rows and places as 8-bit counts.
    static constexpr int maxDisplayExtent = 255;

    explicit QOSymbolModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Resizes the display and fills it with spaces; views are reset. A negative extent or
    // one above maxDisplayExtent is refused.
    bool setDisplaySize(int rows, int columns);
    int displayRows() const { return m_displayRows; }
    int displayColumns() const { return m_displayColumns; }

    // Each returns whether a stored code changed; requests outside the display change nothing.
    bool setCell(int row, int column, char symbol);
    // Writes the first `count` bytes of `symbols` from column `start` of `row`; refused
    // unless they fit both the row and `symbols`.
    bool setCells(int row, int start, const QByteArray& symbols, int count);
    // A space outside the display.
    char cell(int row, int column) const;

    void setMatrixSize(int columns, int rows);
    int matrixColumns() const { return m_matrixColumns; }
    int matrixRows() const { return m_matrixRows; }
    bool hasMatrixSize() const { return m_matrixColumns > 0 && m_matrixRows > 0; }

    // Stores a glyph only when it has the current glyph size; returns whether it did.
    bool setSymbolMatrix(char symbol, const SymbolMatrix& matrix);
    bool deleteSymbolMatrix(char symbol);
    const GlyphCache& glyphs() const { return m_glyphs; }
    // The glyph's image in the current geometry, rendered when stale; null without a glyph.
    const QPixmap* glyphImage(char symbol);
    void markGlyphsStale() { m_glyphs.markAllStale(); }

    bool drawEmptyElements() const { return m_drawEmptyElements; }
    void toggleDrawEmptyElements();

    // Chooses the largest odd dot diameter at which the display fits into `area`, at least 1.
    // Needs a glyph size and a display size; otherwise keeps the current one.
    void computeDotSize(const QSize& area);
    int dotSize() const { return m_dotSize; }
    int spacing() const { return m_spacing; }
    // 10 x 10 until a glyph size is known.
    QSize cellSize() const;

    // Tells views that every place may look different.
    void refresh();
    void resetModel();

private:
    std::vector<char> m_cells;
    GlyphCache m_glyphs;
    int m_displayRows = 0;
    int m_displayColumns = 0;
    int m_matrixRows = 0;
    int m_matrixColumns = 0;
    int m_dotSize = 0;
    const int m_spacing = 2;
    bool m_drawEmptyElements = false;
};
