#include "baselib/time/DateTime.h"

#include <gtest/gtest.h>

#include <iostream>
#include <locale>

using KelTime::Date;
using KelTime::DateTime;
using KelTime::Time;

namespace {

// Puts every conversion of the format in angle brackets, so that a test sees which format was
// asked for and that the console's locale supplied the facet.
class MarkingTimePut : public std::time_put<wchar_t> {
protected:
    iter_type do_put(iter_type out, std::ios_base&, wchar_t, const std::tm* time, char format,
                     char) const override
    {
        const std::wstring mark = L"<" + std::wstring(1, static_cast<wchar_t>(format)) + L":" +
                                  std::to_wstring(time->tm_year + 1900) + L">";
        for (const wchar_t c : mark)
            *out++ = c;
        return out;
    }
};

// Formats under a locale of the test's choosing and gives std::wcout its own back afterwards.
class DisplayText : public ::testing::Test {
protected:
    void SetUp() override { m_saved = std::wcout.imbue(std::locale::classic()); }
    void TearDown() override { std::wcout.imbue(m_saved); }

private:
    std::locale m_saved;
};

TEST_F(DisplayText, UsesTheDateAndTimeFormatsOfTheConsoleLocale)
{
    const Date date(2024, 3, 5);
    const Time time(7, 5, 9);
    EXPECT_EQ(DateTime(date, time).toString(), L"03/05/24 07:05:09");
    EXPECT_EQ(date.toString(), L"03/05/24");
    EXPECT_EQ(time.toString(), L"07:05:09");

    std::wcout.imbue(std::locale(std::locale::classic(), new MarkingTimePut));
    EXPECT_EQ(DateTime(date, time).toString(), L"<x:2024> <X:2024>");
    EXPECT_EQ(date.toString(), L"<x:2024>");
    EXPECT_EQ(time.toString(), L"<X:1970>");
}

TEST_F(DisplayText, SpecialAndUnpresentableValues)
{
    EXPECT_EQ(DateTime().toString(), L"Unknown");
    EXPECT_EQ(DateTime::infinity().toString(), L"#Inf");
    EXPECT_EQ((DateTime::posixOrigin() - KelTime::TimeDuration::infinity()).toString(), L"-#Inf");
    EXPECT_EQ(Date().toString(), L"Unknown");
    EXPECT_EQ(Date::infinity().toString(), L"#Inf");
    EXPECT_EQ(Time().toString(), L"Unknown");
    EXPECT_EQ(Time::infinity().toString(), L"#Inf");
    EXPECT_EQ(Time(0, 0, 0, KelTime::Milliseconds(-1)).toString(), L"-#Inf");

    EXPECT_EQ(DateTime(Date(1969, 12, 31), Time(23, 59, 59)).toString(), L"Unpresentable");
    EXPECT_EQ(Date(1969, 12, 31).toString(), L"Unpresentable");
    // Beyond a 64-bit C time, and beyond the years a broken-down time can hold.
    EXPECT_EQ((DateTime::posixOrigin() + KelTime::TimeDuration::fromDays(1e15)).toString(), L"Unpresentable");
    EXPECT_EQ((DateTime::posixOrigin() + KelTime::TimeDuration::fromDays(1.2e12)).toString(), L"Unpresentable");
}

} // namespace
