#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The device's keys by the names a user types (after --keys, in a web request) and a legend shows.

namespace VPanel::Host {

struct NamedKey {
    std::string_view name;
    int scanCode; // a Link::ScanCode value
};

// Every key in the order the legend lists them: arrows, Enter, Esc, Backspace, F1, F2, 0..9.
const std::vector<NamedKey>& namedKeys();

// The scan code of a key name, in any letter case; nothing for an unknown name.
std::optional<int> scanCodeOf(std::string_view name);

struct KeySequence {
    std::vector<int> scanCodes;
    std::string unknownName; // the first word that names no key; empty when all do
};

// Names separated by spaces or commas, e.g. "F1 Down Enter".
KeySequence parseKeySequence(std::string_view text);

} // namespace VPanel::Host
