#include "app/display/SymbolMatrix.h"

#include "link/Glyph.h"

#include <algorithm>

SymbolMatrix::SymbolMatrix(std::int32_t columns, std::int32_t rows)
    : m_columns(std::max(columns, 0)),
      m_rows(std::max(rows, 0)),
      m_dots(static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows), 0)
{
}

SymbolMatrix SymbolMatrix::fromDots(const VPanel::Link::DotMatrix& dots)
{
    SymbolMatrix matrix(VPanel::Link::DotMatrix::columns, VPanel::Link::DotMatrix::rows);
    for (int column = 0; column < VPanel::Link::DotMatrix::columns; ++column)
        for (int row = 0; row < VPanel::Link::DotMatrix::rows; ++row)
            matrix.setValue(column, row, dots.lit(column, row) ? 1 : 0);
    return matrix;
}

bool SymbolMatrix::contains(int column, int row) const
{
    return column >= 0 && column < m_columns && row >= 0 && row < m_rows;
}

char SymbolMatrix::value(int column, int row) const
{
    return contains(column, row) ? m_dots[static_cast<std::size_t>(column) * m_rows + row] : 0;
}

void SymbolMatrix::setValue(int column, int row, char value)
{
    if (contains(column, row))
        m_dots[static_cast<std::size_t>(column) * m_rows + row] = value;
}

bool SymbolMatrix::isLit(int column, int row) const
{
    return VPanel::Link::isLitDot(static_cast<std::uint8_t>(value(column, row)));
}

bool SymbolMatrix::operator==(const SymbolMatrix& other) const
{
    return m_columns == other.m_columns && m_rows == other.m_rows && m_dots == other.m_dots;
}

void registerSymbolMatrixMetaType()
{
    qRegisterMetaType<SymbolMatrix>("SymbolMatrix");
}
