#include "baselib/time/DateTime.h"

#include "TimeTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

using KelTime::Date;
using KelTime::DateTime;
using KelTime::DateTimeSyntaxMessage;
using KelTime::DateTimeValueMessage;
using KelTime::Milliseconds;
using KelTime::Time;
using KelTimeTest::dateTimeError;
using KelTimeTest::text;

namespace {

std::wstring clockText(int hour, int minute, int second)
{
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"%02d:%02d:%02d", hour, minute, second);
    return buffer;
}

TEST(IsoText, WritesDates)
{
    EXPECT_EQ(Date(2024, 3, 5).toISOString(), L"2024-03-05");
    EXPECT_EQ(Date(1, 1, 1).toISOString(), L"1-01-01");
    EXPECT_EQ(Date(-44, 3, 15).toISOString(), L"-44-03-15");
    EXPECT_EQ(Date(12345, 12, 31).toISOString(), L"12345-12-31");
}

TEST(IsoText, WritesTimesWithMillisecondsOnlyWhenThereAreAny)
{
    EXPECT_EQ(Time(7, 5, 9).toISOString(), L"07:05:09");
    EXPECT_EQ(Time(7, 5, 9, Milliseconds(0.5)).toISOString(), L"07:05:09");
    EXPECT_EQ(Time(7, 5, 9, Milliseconds(250)).toISOString(), L"07:05:09.250");
    EXPECT_EQ(Time(7, 5, 9, Milliseconds(7)).toISOString(), L"07:05:09.007");
    EXPECT_EQ(Time(23, 59, 59, Milliseconds(999)).toISOString(), L"23:59:59.999");
    EXPECT_EQ(DateTime(Date(2024, 3, 5), Time(7, 5, 9, Milliseconds(500))).toISOString(), L"2024-03-05T07:05:09.500");
}

TEST(IsoText, SpecialValuesAreRefused)
{
    const std::wstring notConvertible = text(DateTimeValueMessage::NotConvertible);
    const Time minusInfinity = Time(0, 0, 0) - KelTime::TimeDuration::fromDays(1.0);
    ASSERT_EQ(minusInfinity.isOverflow(), -1);
    for (const Time time : {Time(), Time::infinity(), minusInfinity})
        EXPECT_EQ(dateTimeError([time] { time.toISOString(); }), notConvertible) << time.days();
    for (const Date date : {Date(), Date::infinity()})
        EXPECT_EQ(dateTimeError([date] { date.toISOString(); }), notConvertible) << date.days();
    for (const DateTime instant : {DateTime(), DateTime::infinity()})
        EXPECT_EQ(dateTimeError([instant] { instant.toISOString(); }), notConvertible) << instant.days();
}

// The precisions added at construction keep every whole second from being written as the
// second before it.
TEST(IsoText, EverySecondOfADayIsWrittenExactly)
{
    for (int hour = 0; hour < 24; ++hour)
        for (int minute = 0; minute < 60; ++minute)
            for (int second = 0; second < 60; ++second) {
                const std::wstring expected = clockText(hour, minute, second);
                ASSERT_EQ(Time(hour, minute, second).toISOString(), expected);
                ASSERT_EQ(DateTime(Date(9999, 12, 31), Time(hour, minute, second)).toISOString(),
                          L"9999-12-31T" + expected);
                ASSERT_EQ(DateTime(Date(-4713, 1, 2), Time(hour, minute, second)).toISOString(),
                          L"-4713-01-02T" + expected);
            }
}

TEST(IsoText, ParsesWhatItWrites)
{
    EXPECT_EQ(DateTime::fromISOString(L"2024-03-05T07:05:09.5").toISOString(), L"2024-03-05T07:05:09.500");
    EXPECT_EQ(Date::fromISOString(L" 2024-03-05 and more"), Date(2024, 3, 5));
    EXPECT_EQ(Date::fromISOString(L"-4713-01-02"), Date(-4713, 1, 2));
    EXPECT_EQ(Time::fromISOString(L"07:05:09.25").toISOString(), L"07:05:09.250");
    EXPECT_EQ(Time::fromISOString(L"7:5:9").toISOString(), L"07:05:09");
    EXPECT_TRUE(Time::fromISOString(L"24:00:00").isInfinite());

    const DateTime parsed = DateTime::fromISOString(L"2024-03-05T07:05:09");
    EXPECT_NEAR((parsed - DateTime(Date(2024, 3, 5), Time(7, 5, 9))).days(), 0.0, 1e-12);
}

TEST(IsoText, ParseFailuresCarryTheirTexts)
{
    struct Case {
        const wchar_t* input;
        std::wstring message;
    };
    const std::wstring dateSyntax = text(DateTimeSyntaxMessage::DateSyntax);
    const std::wstring timeSyntax = text(DateTimeSyntaxMessage::TimeSyntax);
    const Case cases[] = {
        {L"2024-03-05 07:05:09", timeSyntax},
        {L"2024/03/05T07:05:09", dateSyntax},
        {L"2024-03/05T07:05:09", dateSyntax},
        {L"2024-03-", dateSyntax},
        {L"", dateSyntax},
        {L"2024-02-30T07:05:09", text(DateTimeValueMessage::InvalidDate)},
        {L"2024-03-05T07:05:60", timeSyntax},
        {L"2024-03-05T07:05:-1", timeSyntax},
        {L"2024-03-05T07-05:09", timeSyntax},
        {L"2024-03-05T07:05", timeSyntax},
        {L"2024-03-05T25:00:00", text(DateTimeValueMessage::InvalidTime)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dateTimeError([&] { DateTime::fromISOString(c.input); }), c.message) << c.input;

    EXPECT_EQ(dateTimeError([] { Date::fromISOString(L"2024.03.05"); }), dateSyntax);
    EXPECT_EQ(dateTimeError([] { Time::fromISOString(L"07;05;09"); }), timeSyntax);
    EXPECT_EQ(dateTimeError([] { Time::fromISOString(L"07:61:00"); }), text(DateTimeValueMessage::InvalidTime));
}

} // namespace
