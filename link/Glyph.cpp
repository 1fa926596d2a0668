#include "link/Glyph.h"

namespace VPanel::Link {

namespace {
constexpr int leftmostColumnBit = DotMatrix::columns - 1;

bool inside(int column, int row)
{
    return column >= 0 && column < DotMatrix::columns && row >= 0 && row < DotMatrix::rows;
}

std::uint8_t columnBit(int column) { return static_cast<std::uint8_t>(1u << (leftmostColumnBit - column)); }
} // namespace

bool DotMatrix::lit(int column, int row) const
{
    if (!inside(column, row))
        return false;
    return isLitDot(dots[column * rows + row]);
}

void DotMatrix::set(int column, int row, bool isLit)
{
    if (inside(column, row))
        dots[column * rows + row] = isLit ? 1 : 0;
}

DotMatrix dotsFromGlyph(const Glyph& glyph)
{
    DotMatrix matrix;
    for (int row = 0; row < DotMatrix::rows; ++row)
        for (int column = 0; column < DotMatrix::columns; ++column)
            matrix.set(column, row, (glyph[row] & columnBit(column)) != 0);
    return matrix;
}

Glyph glyphFromDots(const DotMatrix& matrix)
{
    Glyph glyph{};
    for (int row = 0; row < DotMatrix::rows; ++row)
        for (int column = 0; column < DotMatrix::columns; ++column)
            if (matrix.lit(column, row))
                glyph[row] |= columnBit(column);
    return glyph;
}

} // namespace VPanel::Link
