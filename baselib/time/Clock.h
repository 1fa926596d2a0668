#pragma once

#include "baselib/Export.h"
#include "baselib/time/DateTime.h"

#include <cstdint>

namespace KelTime {

// The system's time structures, with the field names and widths of their Windows originals.
struct FILETIME {
    // 100 ns ticks since 1601-01-01 00:00 UTC, split in two 32-bit halves.
    std::uint32_t dwLowDateTime = 0;
    std::uint32_t dwHighDateTime = 0;
};

struct SYSTEMTIME {
    std::uint16_t wYear = 0;
    std::uint16_t wMonth = 0;
    std::uint16_t wDayOfWeek = 0; // 0 = Sunday
    std::uint16_t wDay = 0;
    std::uint16_t wHour = 0;
    std::uint16_t wMinute = 0;
    std::uint16_t wSecond = 0;
    std::uint16_t wMilliseconds = 0;
};

class KELBASE_EXPORT Clock {
public:
    Clock() = delete;

    // The current UTC time, read from the system's real-time clock as a FILETIME.
    static DateTime universalTime();
    // The current local wall-clock time, as a SYSTEMTIME of the system's time zone.
    static DateTime localTime();
};

} // namespace KelTime
