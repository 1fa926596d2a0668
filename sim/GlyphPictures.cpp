#include "sim/GlyphPictures.h"

namespace VPanel::Sim {

namespace {
constexpr Picture pulseFrames[pulseFrameCount] = {
    {".....", ".....", ".....", "..#..", ".....", ".....", ".....", "....."},
    {".....", ".....", ".###.", ".#.#.", ".###.", ".....", ".....", "....."},
    {".....", "#####", "#...#", "#...#", "#...#", "#####", ".....", "....."},
    {".....", ".....", ".###.", ".#.#.", ".###.", ".....", ".....", "....."},
};

constexpr Picture drawn[] = {
    pulseFrames[0],
    {"#....", "##...", "###..", "####.", "###..", "##...", "#....", "....."}, // pointer
    {"..#..", ".###.", ".###.", ".###.", "#####", ".....", "..#..", "....."}, // bell
    {"..#..", ".#.#.", ".#.#.", ".#.#.", ".###.", "#####", "#####", ".###."}, // thermometer
    {".###.", "##.##", "#...#", "#...#", "#####", "#####", "#####", "....."}, // battery
    {".....", "....#", "...##", "#.##.", "###..", ".#...", ".....", "....."}, // tick
    {".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", ".....", "....."}, // cross
    {"#####", "#...#", "#...#", "#...#", "#...#", "#...#", "#####", "....."}, // box
};
constexpr std::size_t drawnCount = sizeof drawn / sizeof drawn[0];
} // namespace

Link::Glyph glyphFromPicture(const Picture& picture)
{
    Link::DotMatrix matrix;
    for (int row = 0; row < Link::DotMatrix::rows; ++row)
        for (int column = 0; column < Link::DotMatrix::columns; ++column)
            matrix.set(column, row, picture[row][column] == '#');
    return Link::glyphFromDots(matrix);
}

Link::Glyph pulseFrame(std::size_t frame) { return glyphFromPicture(pulseFrames[frame % pulseFrameCount]); }

Link::Glyph initialGlyph(std::size_t index)
{
    if (index < drawnCount)
        return glyphFromPicture(drawn[index]);
    Link::Glyph glyph{};
    for (std::size_t row = 0; row < glyph.size(); ++row)
        glyph[row] = static_cast<std::uint8_t>((index >> row) & 1u ? 0x1F : 0x11);
    return glyph;
}

} // namespace VPanel::Sim
