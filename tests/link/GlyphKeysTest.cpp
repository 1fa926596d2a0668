#include "link/Glyph.h"
#include "link/Keys.h"
#include "link/LinkErrors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(KeyRowMask, EveryChangeShowsInARequestInTheOrderItWasMade)
{
    // A change is a scan code, negative for its release; then the masks of the next requests.
    struct Case {
        const char* name;
        std::vector<int> changes;
        bool settled;
        std::vector<std::uint32_t> requests;
    };
    const std::uint32_t one = keyBit(2), two = keyBit(3), zero = 0x1u, escape = 0x8000u, f1 = 0x10000u;
    const Case cases[] = {
        {"keys held together travel together", {11, 59}, false, {zero | f1, zero | f1}},
        {"taps between two requests show down, then up", {2, -2, 3, -3}, false, {one, 0, two, 0, 0}},
        {"a press waits for the releases before it", {2, 3, -2, -3, 2}, false, {one | two, 0, one}},
        {"a held key stays down while another is tapped", {11, 2, -2, 3, -3}, false, {zero | one, zero, zero | two, zero}},
        {"Esc and Backspace share one key", {1, 14, -14, -1, 14}, false, {escape, 0, escape}},
        {"codes that are not keys change nothing", {81, 69, 300, -81}, false, {0}},
        {"a starting connection keeps held keys and forgets taps", {2, -2, 59}, true, {f1, f1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeyRow keys;
        for (int change : c.changes)
            change > 0 ? keys.press(change) : keys.release(-change);
        if (c.settled)
            keys.settle();
        const bool waiting = keys.changeWaiting();
        std::vector<std::uint32_t> masks;
        for (std::size_t i = 0; i < c.requests.size(); ++i)
            masks.push_back(keys.takeMask());
        EXPECT_EQ(masks, c.requests);
        // What the line's turns ask: a change no request has taken yet.
        EXPECT_EQ(waiting, !c.settled && masks != std::vector<std::uint32_t>(masks.size(), 0));
        EXPECT_FALSE(keys.changeWaiting());
    }

    // With no requests taking them, the oldest taps are folded away and only the latest show.
    KeyRow keys;
    constexpr std::size_t taps = KeyRow::pendingLimit * 2;
    for (std::size_t tap = 0; tap < taps; ++tap) {
        keys.press(2);
        keys.release(2);
    }
    std::size_t shown = 0;
    while (keys.takeMask() == one) {
        ++shown;
        EXPECT_EQ(keys.takeMask(), 0u);
    }
    EXPECT_EQ(shown, KeyRow::pendingLimit / 2);
    EXPECT_EQ(keys.text(), std::string(24, '0'));

    // Taps, in turn, keep the first ones and refuse those that find the row full.
    KeyRow typed;
    EXPECT_TRUE(typed.tap(ScanCode::F1));
    std::size_t accepted = 1;
    while (typed.tap(ScanCode::digit(1)))
        ++accepted;
    EXPECT_EQ(accepted, KeyRow::pendingLimit / 2);
    EXPECT_EQ(typed.takeMask(), f1);
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
