#pragma once

#include "app/display/QOIndicator.h"
#include "app/display/StandardGlyphs.h"
#include "app/display/SymbolMatrix.h"

#include <QByteArray>
#include <QFile>
#include <QTest>

#include <string>
#include <vector>

namespace DisplayTest {

// A glyph as rows of X (lit) and . (unlit), top row first.
inline std::vector<std::string> rowsOf(const SymbolMatrix& glyph)
{
    std::vector<std::string> rows;
    for (int row = 0; row < glyph.rows(); ++row) {
        std::string text;
        for (int column = 0; column < glyph.columns(); ++column)
            text += glyph.isLit(column, row) ? 'X' : '.';
        rows.push_back(text);
    }
    return rows;
}

inline SymbolMatrix glyphOf(const std::vector<std::string>& rows)
{
    SymbolMatrix glyph(static_cast<int>(rows.front().size()), static_cast<int>(rows.size()));
    for (int row = 0; row < glyph.rows(); ++row)
        for (int column = 0; column < glyph.columns(); ++column)
            glyph.setValue(column, row, rows[row][column] == 'X' ? 1 : 0);
    return glyph;
}

inline QByteArray mapFileBytes()
{
    StandardGlyphs::initResources();
    QFile file(QString::fromLatin1(StandardGlyphs::mapFileName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The loader started by setSymbolMatrixSize hands its lines over through the event loop.
inline bool waitForLoad(const QOIndicator& indicator)
{
    return QTest::qWaitFor([&] { return !indicator.lines().isEmpty(); }, 5000);
}

} // namespace DisplayTest
