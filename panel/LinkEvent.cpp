#include "panel/LinkEvent.h"

#include <cctype>

namespace VPanel::Panel {

std::string fillIn(const std::string& pattern, const std::vector<std::string>& arguments)
{
    std::string text;
    text.reserve(pattern.size());
    for (std::size_t at = 0; at < pattern.size();) {
        std::size_t digits = at + 1;
        std::size_t number = 0;
        // Two digits at most, as Qt reads them.
        while (pattern[at] == '%' && digits < pattern.size() && digits < at + 3 &&
               std::isdigit(static_cast<unsigned char>(pattern[digits])))
            number = number * 10 + static_cast<std::size_t>(pattern[digits++] - '0');
        if (number >= 1 && number <= arguments.size()) {
            text += arguments[number - 1];
            at = digits;
        } else {
            text += pattern[at++];
        }
    }
    return text;
}

std::string russianText(const EventText& text) { return fillIn(text.source, text.arguments); }

} // namespace VPanel::Panel
