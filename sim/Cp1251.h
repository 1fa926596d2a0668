#pragma once

#include <string>
#include <string_view>

namespace VPanel::Sim {

// The display's 8-bit codes of a text in the Windows-1251 code page; a character the page
// lacks becomes '?'.
std::string toCp1251(std::wstring_view text);

} // namespace VPanel::Sim
