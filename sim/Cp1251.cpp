#include "sim/Cp1251.h"

namespace VPanel::Sim {

namespace {
constexpr wchar_t cyrillicCapitalA = L'\u0410';
constexpr wchar_t cyrillicSmallYa = L'\u044F';
constexpr unsigned char cp1251CapitalA = 0xC0;

char encode(wchar_t character)
{
    if (character >= 0 && character < 0x80)
        return static_cast<char>(character);
    if (character >= cyrillicCapitalA && character <= cyrillicSmallYa)
        return static_cast<char>(cp1251CapitalA + (character - cyrillicCapitalA));
    switch (character) {
    case L'Ё': return static_cast<char>(0xA8);
    case L'ё': return static_cast<char>(0xB8);
    case L'№': return static_cast<char>(0xB9);
    case L'°': return static_cast<char>(0xB0);
    case L'±': return static_cast<char>(0xB1);
    default: return '?';
    }
}
} // namespace

std::string toCp1251(std::wstring_view text)
{
    std::string encoded;
    encoded.reserve(text.size());
    for (wchar_t character : text)
        encoded.push_back(encode(character));
    return encoded;
}

} // namespace VPanel::Sim
