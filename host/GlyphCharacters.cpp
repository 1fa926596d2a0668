#include "host/GlyphCharacters.h"

#include "link/DisplayText.h"

#include <array>
#include <limits>

namespace VPanel::Host {

namespace {
using Picture = std::array<const char*, Link::DotMatrix::rows>;

struct Drawn {
    const char* character;
    Picture picture;
};

// The shapes devices draw for themselves most often, in the usual 5 x 8 style.
constexpr Drawn known[] = {
    {" ", {".....", ".....", ".....", ".....", ".....", ".....", ".....", "....."}},
    {"\u2588", {"#####", "#####", "#####", "#####", "#####", "#####", "#####", "#####"}},
    {"\u25B6", {"#....", "##...", "###..", "####.", "###..", "##...", "#....", "....."}},
    {"\u25C0", {"....#", "...##", "..###", ".####", "..###", "...##", "....#", "....."}},
    {"\u25B2", {".....", ".....", "..#..", ".###.", "#####", ".....", ".....", "....."}},
    {"\u25BC", {".....", ".....", "#####", ".###.", "..#..", ".....", ".....", "....."}},
    {"\u2191", {"..#..", ".###.", "#.#.#", "..#..", "..#..", "..#..", "..#..", "....."}},
    {"\u2193", {"..#..", "..#..", "..#..", "..#..", "#.#.#", ".###.", "..#..", "....."}},
    {"\u2192", {".....", "..#..", "...#.", "#####", "...#.", "..#..", ".....", "....."}},
    {"\u2190", {".....", "..#..", ".#...", "#####", ".#...", "..#..", ".....", "....."}},
    {"\u2713", {".....", "....#", "...##", "#.##.", "###..", ".#...", ".....", "....."}},
    {"\u2717", {".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", ".....", "....."}},
    {"\u00B0", {".##..", "#..#.", "#..#.", ".##..", ".....", ".....", ".....", "....."}},
    {"\u00B7", {".....", ".....", ".....", "..#..", ".....", ".....", ".....", "....."}},
};

int distance(const Link::DotMatrix& dots, const Picture& picture)
{
    int differing = 0;
    for (int row = 0; row < Link::DotMatrix::rows; ++row)
        for (int column = 0; column < Link::DotMatrix::columns; ++column)
            differing += dots.lit(column, row) != (picture[row][column] == '#');
    return differing;
}
} // namespace

std::string nearestCharacter(const Link::DotMatrix& dots)
{
    const char* nearest = Link::glyphPlaceholder;
    int nearestDistance = std::numeric_limits<int>::max();
    for (const Drawn& drawn : known) {
        const int differing = distance(dots, drawn.picture);
        if (differing <= nearDots && differing < nearestDistance) {
            nearest = drawn.character;
            nearestDistance = differing;
        }
    }
    return nearest;
}

} // namespace VPanel::Host
