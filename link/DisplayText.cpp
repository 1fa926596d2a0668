#include "link/DisplayText.h"

#include <iconv.h>

namespace VPanel::Link {

namespace {
constexpr std::uint8_t firstPrintable = 0x20;
constexpr std::size_t longestCharacter = 4;

using CharacterTable = std::array<std::string, 256>;

// The code page's printable codes decoded once by the C library's converter; a code it does
// not know stays empty.
CharacterTable decodeCodePage()
{
    CharacterTable table;
    const iconv_t converter = iconv_open("UTF-8", "WINDOWS-1251");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return table;
    for (unsigned code = firstPrintable; code < table.size(); ++code) {
        char in = static_cast<char>(code);
        char out[longestCharacter];
        char* inCursor = &in;
        char* outCursor = out;
        std::size_t inLeft = 1;
        std::size_t outLeft = sizeof out;
        if (iconv(converter, &inCursor, &inLeft, &outCursor, &outLeft) != static_cast<std::size_t>(-1))
            table[code].assign(out, outCursor);
    }
    iconv_close(converter);
    return table;
}
} // namespace

const std::string& characterOf(std::uint8_t code)
{
    static const CharacterTable table = decodeCodePage();
    return table[code];
}

std::string rowText(const std::vector<std::uint8_t>& cells, const OwnGlyphTexts& ownGlyphs)
{
    std::string text;
    for (const std::uint8_t code : cells) {
        if (!ownGlyphs[code].empty())
            text += ownGlyphs[code];
        else if (const std::string& character = characterOf(code); !character.empty())
            text += character;
        else
            text += glyphPlaceholder;
    }
    return text;
}

} // namespace VPanel::Link
