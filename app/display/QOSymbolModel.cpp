#include "app/display/QOSymbolModel.h"

#include <algorithm>

namespace {
constexpr char space = 0x20;
// Room left around the view inside the indicator when choosing the dot size.
constexpr int indicatorMargin_px = 12;
constexpr int defaultCell_px = 10;

int oddOrLess(int value)
{
    return value % 2 == 0 ? value - 1 : value;
}
} // namespace

QOSymbolModel::QOSymbolModel(QObject* parent) : QAbstractTableModel(parent) {}

int QOSymbolModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_displayRows;
}

int QOSymbolModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_displayColumns;
}

QVariant QOSymbolModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    if (!index.isValid() || index.row() < 0 || index.row() >= m_displayRows || index.column() < 0 ||
        index.column() >= m_displayColumns)
        return {};
    return static_cast<int>(static_cast<signed char>(cell(index.row(), index.column())));
}

bool QOSymbolModel::setData(const QModelIndex&, const QVariant&, int)
{
    return false;
}

QVariant QOSymbolModel::headerData(int, Qt::Orientation, int) const
{
    return {};
}

bool QOSymbolModel::setDisplaySize(int rows, int columns)
{
    if (rows < 0 || columns < 0 || rows > maxDisplayExtent || columns > maxDisplayExtent)
        return false;
    beginResetModel();
    m_displayRows = rows;
    m_displayColumns = columns;
    m_cells.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns), space);
    endResetModel();
    return true;
}

bool QOSymbolModel::setCell(int row, int column, char symbol)
{
    if (row < 0 || row >= m_displayRows || column < 0 || column >= m_displayColumns)
        return false;
    char& place = m_cells[static_cast<std::size_t>(row) * m_displayColumns + column];
    const bool changed = place != symbol;
    place = symbol;
    return changed;
}

bool QOSymbolModel::setCells(int row, int start, const QByteArray& symbols, int count)
{
    if (row < 0 || row >= m_displayRows || start < 0 || count <= 0 || count > symbols.size() ||
        count > m_displayColumns - start)
        return false;
    const auto first = m_cells.begin() + static_cast<std::ptrdiff_t>(row) * m_displayColumns + start;
    if (std::equal(symbols.cbegin(), symbols.cbegin() + count, first))
        return false;
    std::copy(symbols.cbegin(), symbols.cbegin() + count, first);
    return true;
}

char QOSymbolModel::cell(int row, int column) const
{
    if (row < 0 || row >= m_displayRows || column < 0 || column >= m_displayColumns)
        return space;
    return m_cells[static_cast<std::size_t>(row) * m_displayColumns + column];
}

void QOSymbolModel::setMatrixSize(int columns, int rows)
{
    m_matrixColumns = columns;
    m_matrixRows = rows;
}

bool QOSymbolModel::setSymbolMatrix(char symbol, const SymbolMatrix& matrix)
{
    if (matrix.columns() != m_matrixColumns || matrix.rows() != m_matrixRows)
        return false;
    m_glyphs.store(symbol, matrix);
    return true;
}

bool QOSymbolModel::deleteSymbolMatrix(char symbol)
{
    return m_glyphs.remove(symbol);
}

const QPixmap* QOSymbolModel::glyphImage(char symbol)
{
    return m_glyphs.image(symbol, GlyphStyle{cellSize(), m_dotSize, m_drawEmptyElements});
}

void QOSymbolModel::toggleDrawEmptyElements()
{
    m_drawEmptyElements = !m_drawEmptyElements;
    m_glyphs.markAllStale();
}

void QOSymbolModel::computeDotSize(const QSize& area)
{
    if (!hasMatrixSize() || m_displayRows <= 0 || m_displayColumns <= 0)
        return;
    const int vertical = oddOrLess(
        ((area.height() - indicatorMargin_px) / m_displayRows - m_matrixRows - 2 * m_spacing + 1) / m_matrixRows - 1);
    const int horizontal = oddOrLess(
        ((area.width() - indicatorMargin_px) / m_displayColumns - m_matrixColumns - 2 * m_spacing + 1) /
            m_matrixColumns -
        1);
    const int smaller = std::min(horizontal, vertical);
    m_dotSize = smaller < 0 ? 1 : smaller;
}

QSize QOSymbolModel::cellSize() const
{
    if (!hasMatrixSize())
        return {defaultCell_px, defaultCell_px};
    return {(m_dotSize + GlyphStyle::dotGap_px) * m_matrixColumns + 2 * m_spacing - 1,
            (m_dotSize + GlyphStyle::dotGap_px) * m_matrixRows + 2 * m_spacing - 1};
}

void QOSymbolModel::refresh()
{
    if (m_displayRows > 0 && m_displayColumns > 0)
        emit dataChanged(index(0, 0), index(m_displayRows - 1, m_displayColumns - 1), {Qt::DisplayRole});
}

void QOSymbolModel::resetModel()
{
    beginResetModel();
    endResetModel();
}
