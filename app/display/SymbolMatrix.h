#pragma once

#include "link/Glyph.h"

#include <QMetaType>

#include <cstdint>
#include <vector>

// The dot pattern of one display character, stored column after column: the dot of
// column c, row r is element c * rows + r, row 0 at the top. A dot is lit by the link's
// rule (1 or the character '1'). Copies are deep.
class SymbolMatrix {
public:
    SymbolMatrix() = default;
    // A negative extent counts as 0; a matrix with no dots holds no storage.
    SymbolMatrix(std::int32_t columns, std::int32_t rows);
    static SymbolMatrix fromDots(const VPanel::Link::DotMatrix& dots);

    std::int32_t columns() const { return m_columns; }
    std::int32_t rows() const { return m_rows; }
    std::uint32_t size() const { return static_cast<std::uint32_t>(m_dots.size()); }
    const char* data() const { return m_dots.data(); }

    // Outside the matrix a dot reads as 0 and writes are ignored.
    char value(int column, int row) const;
    void setValue(int column, int row, char value);
    bool isLit(int column, int row) const;

    bool operator==(const SymbolMatrix& other) const;
    bool operator!=(const SymbolMatrix& other) const { return !(*this == other); }

private:
    bool contains(int column, int row) const;

    std::int32_t m_columns = 0;
    std::int32_t m_rows = 0;
    std::vector<char> m_dots;
};

Q_DECLARE_METATYPE(SymbolMatrix)

// Makes "SymbolMatrix" known to queued signal connections; safe to call more than once.
void registerSymbolMatrixMetaType();
