#pragma once

#include <string>
#include <string_view>

namespace VPanel::Sim {

// The display's 8-bit codes of a text: ASCII as is, Cyrillic letters and the few signs the
// firmware shows in the Windows-1251 code page, anything else '?'.
std::string toCp1251(std::wstring_view text);

} // namespace VPanel::Sim
