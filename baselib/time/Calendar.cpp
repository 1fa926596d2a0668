#include "baselib/time/Calendar.h"

#include <climits>
#include <cstdlib>

namespace KelTime::Internal {

namespace {

constexpr int monthLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr int firstGregorianYear = 1582;

bool isLeapYear(int year)
{
    if (year >= firstGregorianYear)
        return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    // Julian leap years are the multiples of 4 in astronomical numbering (1 BC is year 0),
    // which is the numbering the day count works in: 1 BC, 5 BC, ... 4713 BC are leap.
    const long long astronomicalYear = year < 0 ? static_cast<long long>(year) + 1 : year;
    return std::llabs(astronomicalYear) % 4 == 0;
}

bool isBeforeGregorianReform(std::int64_t year, int month, int day)
{
    if (year != firstGregorianYear)
        return year < firstGregorianYear;
    return month < 10 || (month == 10 && day < 15);
}

} // namespace

bool isValidDate(int year, int month, int day)
{
    if (year < -4713)
        return false;
    if (year == -4713 && (month < 1 || (month == 1 && day == 1)))
        return false;
    if (year == 0)
        return false;
    if (year == firstGregorianYear && month == 10 && day >= 5 && day <= 14)
        return false;
    if (day < 1 || month < 1 || month > 12)
        return false;
    if (day <= monthLengths[month - 1])
        return true;
    return month == 2 && day == 29 && isLeapYear(year);
}

std::int64_t julianDayNumber(int year, int month, int day)
{
    const std::int64_t y = year < 0 ? static_cast<std::int64_t>(year) + 1 : year;
    if (isBeforeGregorianReform(y, month, day)) {
        const std::int64_t a = (14 - month) / 12;
        return (y + 4800 - a) * 1461 / 4 + ((12 * a + month) * 153 - 457) / 5 + day - 32083;
    }
    const std::int64_t a = (month - 14) / 12;
    return (y + a + 4800) * 1461 / 4 + ((month - 12 * a - 2) * 367) / 12 - ((y + a + 4900) / 100) * 3 / 4 + day -
           32075;
}

std::int64_t lastRepresentableJdn() { return julianDayNumber(INT_MAX, 12, 31); }

CalendarDay calendarDay(std::int64_t jdn)
{
    std::int64_t year = 0;
    std::int64_t month = 0;
    std::int64_t day = 0;
    if (jdn < firstGregorianJdn) {
        const std::int64_t c = ((jdn + 32082) * 4 + 3) / 1461;
        const std::int64_t e = jdn + 32082 - c * 1461 / 4;
        const std::int64_t m = (5 * e + 2) / 153;
        day = e - (153 * m + 2) / 5 + 1;
        month = m + 3 - 12 * (m / 10);
        year = c - 4800 + m / 10;
        if (year < 1)
            --year;
    } else {
        std::int64_t l = jdn + 68569;
        const std::int64_t n = 4 * l / 146097;
        l -= (146097 * n + 3) / 4;
        const std::int64_t i = 4000 * (l + 1) / 1461001;
        l = l - 1461 * i / 4 + 31;
        const std::int64_t j = 80 * l / 2447;
        day = l - 2447 * j / 80;
        const std::int64_t k = j / 11;
        month = j + 2 - 12 * k;
        year = 100 * (n - 49) + i + k;
    }
    return {static_cast<int>(year), static_cast<int>(month), static_cast<int>(day)};
}

int dayOfWeek(std::int64_t jdn) { return static_cast<int>((jdn % 7 + 1) % 7); }

} // namespace KelTime::Internal
