#include "host/KeyNames.h"

#include "link/ScanCodes.h"

#include <algorithm>
#include <cctype>

namespace VPanel::Host {

namespace {
namespace ScanCode = Link::ScanCode;

bool sameName(std::string_view left, std::string_view right)
{
    return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

std::vector<NamedKey> makeNamedKeys()
{
    std::vector<NamedKey> keys = {
        {"Up", ScanCode::Up},       {"Down", ScanCode::Down},   {"Left", ScanCode::Left},
        {"Right", ScanCode::Right}, {"Enter", ScanCode::Enter}, {"Esc", ScanCode::Escape},
        {"Backspace", ScanCode::Backspace}, {"F1", ScanCode::F1}, {"F2", ScanCode::F2},
    };
    static constexpr std::string_view digitNames[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    for (int digit = 0; digit <= 9; ++digit)
        keys.push_back({digitNames[digit], ScanCode::digit(digit)});
    return keys;
}
} // namespace

const std::vector<NamedKey>& namedKeys()
{
    static const std::vector<NamedKey> keys = makeNamedKeys();
    return keys;
}

std::optional<int> scanCodeOf(std::string_view name)
{
    for (const NamedKey& key : namedKeys())
        if (sameName(key.name, name))
            return key.scanCode;
    return std::nullopt;
}

KeySequence parseKeySequence(std::string_view text)
{
    KeySequence sequence;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t start = text.find_first_not_of(" ,\t", position);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(text.find_first_of(" ,\t", start), text.size());
        const std::string_view name = text.substr(start, end - start);
        const std::optional<int> scanCode = scanCodeOf(name);
        if (!scanCode) {
            sequence.unknownName = std::string(name);
            return sequence;
        }
        sequence.scanCodes.push_back(*scanCode);
        position = end;
    }
    return sequence;
}

} // namespace VPanel::Host
