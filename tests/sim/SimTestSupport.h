#pragma once

#include "link/Keys.h"
#include "sim/Cp1251.h"
#include "sim/Firmware.h"

#include <chrono>
#include <string>
#include <vector>

namespace SimTest {

using VPanel::Sim::Firmware;

inline std::string cells(const Firmware::Row& row) { return std::string(row.begin(), row.end()); }
inline std::string cells(const std::vector<std::uint8_t>& row) { return std::string(row.begin(), row.end()); }

// Whether the display row shows the text, compared in the display's code page.
template <class Row>
bool shows(const Row& row, const std::wstring& text)
{
    return cells(row).find(VPanel::Sim::toCp1251(text)) != std::string::npos;
}

inline std::uint32_t key(int number) { return VPanel::Link::keyBit(number); }

} // namespace SimTest
