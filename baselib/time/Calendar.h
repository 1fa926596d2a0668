#pragma once

#include <cstdint>

// Calendar arithmetic of Date: the Julian calendar before 1582-10-15, the Gregorian one from
// then on, counted in Julian Day Numbers.
namespace KelTime::Internal {

// Julian Day Number of 1970-01-01, the origin of Date and DateTime.
constexpr std::int64_t posixOriginJdn = 2440588;
// -4713-01-02, the first day that Date accepts.
constexpr std::int64_t firstValidJdn = 1;
// 1582-10-15, the first Gregorian day.
constexpr std::int64_t firstGregorianJdn = 2299161;

struct CalendarDay {
    int year = 0;
    int month = 0;
    int day = 0;
};

bool isValidDate(int year, int month, int day);
// For a valid date only.
std::int64_t julianDayNumber(int year, int month, int day);
// The last day whose year fits an int.
std::int64_t lastRepresentableJdn();
// For firstValidJdn <= jdn <= lastRepresentableJdn() only.
CalendarDay calendarDay(std::int64_t jdn);
// 0 = Sunday ... 6 = Saturday.
int dayOfWeek(std::int64_t jdn);

} // namespace KelTime::Internal
