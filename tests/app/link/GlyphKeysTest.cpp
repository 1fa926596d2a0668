#include "app/link/Glyph.h"
#include "app/link/Keys.h"
#include "app/link/LinkErrors.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace VPanel::Link;

std::string picture(const DotMatrix& matrix)
{
    std::string text;
    for (int row = 0; row < DotMatrix::rows; ++row) {
        for (int column = 0; column < DotMatrix::columns; ++column)
            text.push_back(matrix.lit(column, row) ? 'X' : '.');
        text.push_back('/');
    }
    return text;
}

TEST(GlyphDots, BitFourIsTheLeftColumnAndTheUpperBitsAreIgnored)
{
    const Glyph glyph{0x10, 0x01, 0xE0, 0xFF, 0x0A, 0x00, 0x04, 0x1F};
    const DotMatrix matrix = dotsFromGlyph(glyph);
    EXPECT_EQ(picture(matrix), "X..../....X/...../XXXXX/.X.X./...../..X../XXXXX/");
    // Stored column after column like the display's matrices.
    EXPECT_EQ(matrix.dots[0 * DotMatrix::rows + 0], 1);
    EXPECT_EQ(matrix.dots[4 * DotMatrix::rows + 1], 1);
    EXPECT_EQ(matrix.dots[4 * DotMatrix::rows + 0], 0);

    EXPECT_EQ(glyphFromDots(matrix), (Glyph{0x10, 0x01, 0x00, 0x1F, 0x0A, 0x00, 0x04, 0x1F}));
}

TEST(GlyphDots, CharacterOneIsLitAndOutsideDotsAreIgnored)
{
    DotMatrix matrix;
    matrix.dots[2 * DotMatrix::rows + 3] = '1';
    matrix.set(5, 0, true);
    matrix.set(0, 8, true);
    matrix.set(-1, 0, true);
    EXPECT_FALSE(matrix.lit(5, 0));
    EXPECT_EQ(glyphFromDots(matrix), (Glyph{0, 0, 0, 0x04, 0, 0, 0, 0}));
}

TEST(KeyTable, EveryKeyCodeHasItsNumberAndOthersNone)
{
    const std::pair<int, int> table[] = {{11, 1}, {2, 2},   {3, 3},   {4, 4},   {5, 5},   {6, 6},   {7, 7},
                                         {8, 8},  {9, 9},   {10, 10}, {72, 11}, {75, 12}, {80, 13}, {77, 14},
                                         {28, 15}, {1, 16}, {14, 16}, {59, 17}, {60, 18}};
    for (const auto& [code, number] : table)
        EXPECT_EQ(keyNumber(code), number) << code;
    for (int code : {0, 12, 13, 69, 81, 255, -1})
        EXPECT_EQ(keyNumber(code), 0) << code;
}

TEST(KeyRowMask, KeysSetTheirBitsAndSharedKeysShareOne)
{
    KeyRow keys;
    EXPECT_EQ(keys.text(), std::string(24, '0'));
    keys.press(11);
    EXPECT_EQ(keys.mask(), 0x1u);
    keys.press(59);
    EXPECT_EQ(keys.mask(), 0x10001u);
    EXPECT_EQ(keys.text(), "000000010000000000000001");
    keys.release(11);
    keys.release(59);

    keys.press(1);
    keys.press(14);
    EXPECT_EQ(keys.mask(), 0x8000u);
    keys.release(14);
    EXPECT_EQ(keys.mask(), 0u);

    keys.press(81);
    keys.press(69);
    keys.press(300);
    EXPECT_EQ(keys.mask(), 0u);
    keys.press(60);
    EXPECT_EQ(keys.mask(), 0x20000u);
}

TEST(KeyRowMask, RowTextReadsFirstCharacterAsBit23AndSendsNothingAbove17)
{
    EXPECT_EQ(keyMaskFromRow("000000000000000000000001"), 0x1u);
    EXPECT_EQ(keyMaskFromRow("000000100000000000000000"), 0x20000u);
    EXPECT_EQ(keyMaskFromRow("111111000000000000000000"), 0u);
    EXPECT_EQ(keyMaskFromRow("00000000000000000000000x"), 0u);
    EXPECT_THROW(keyMaskFromRow("0101"), LinkException);
}

} // namespace
