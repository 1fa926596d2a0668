#pragma once

#include <array>

// The bus addresses and line rates the panel lets a user choose.

namespace VPanel::Panel {

inline constexpr int firstAddress = 1;
inline constexpr int lastAddress = 249;

inline constexpr std::array<int, 18> baudRates = {1200,   2400,   4800,   9600,   14400,  19200,
                                                  28800,  38400,  57600,  76800,  115200, 230400,
                                                  345600, 460800, 576000, 691200, 806400, 921600};

} // namespace VPanel::Panel
