#include "PduTestSupport.h"

#include "comm/pdu/Date.h"
#include "comm/pdu/SzStr.h"
#include "comm/pdu/Time.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace KelComm::PDU;
using namespace PduTest;

template <class Field>
Bytes wireOf(const Field& field)
{
    Builder builder(16);
    builder << field;
    return contentOf(builder);
}

std::wstring runtimeMessageOf(const std::function<void()>& call)
{
    return messageOf<KelBase::RuntimeException>(call);
}

TEST(SzStr, GoesOnTheWireAsUtf8WithATerminatorAtEitherEnd)
{
    EXPECT_EQ(wireOf(SzStr(L"AB")), (Bytes{0x41, 0x42, 0x00}));
    EXPECT_EQ(wireOf(SzStr(L"Ж")), (Bytes{0xD0, 0x96, 0x00}));
    EXPECT_EQ(wireOf(SzStr()), (Bytes{0x00}));

    Builder builder(8);
    builder.pushBack(0x10);
    SzStr(L"AB") >> builder;
    EXPECT_EQ(contentOf(builder), (Bytes{0x41, 0x42, 0x00, 0x10}));
}

TEST(SzStr, ConvertsWideTextAndEndsAtTheFirstNul)
{
    SzStr text(std::wstring(L"ab\0cd", 5));
    EXPECT_EQ(text.str(), L"ab");
    text = L"Ёлка";
    EXPECT_EQ(text.utf8(), "\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0");
    text = static_cast<const wchar_t*>(nullptr);
    EXPECT_EQ(text.str(), L"");
    text = std::wstring(L"x\0y", 3);
    EXPECT_EQ(wireOf(text), (Bytes{'x', 0}));
}

TEST(SzStr, ATextThatDoesNotFitLeavesTheBlockAlone)
{
    Builder builder(4);
    builder.pushBack(7);
    EXPECT_THROW(builder << SzStr(L"abc"), BuilderException);
    EXPECT_THROW(SzStr(L"abc") >> builder, BuilderException);
    EXPECT_EQ(contentOf(builder), (Bytes{7}));
    builder << SzStr(L"a");
    EXPECT_EQ(contentOf(builder), (Bytes{7, 'a', 0}));
}

TEST(Date, WireBytesAreLittleEndianYearMonthDay)
{
    EXPECT_EQ(wireOf(Date(KelTime::Date(2024, 3, 5))), (Bytes{0xE8, 0x07, 0x03, 0x05}));
    EXPECT_EQ(wireOf(Date(KelTime::Date::indeterminate())), (Bytes{0xF0, 0x7F, 0x00, 0x00}));
    EXPECT_EQ(wireOf(Date::unknown()), (Bytes{0xF0, 0x7F, 0x00, 0x00}));
    EXPECT_EQ(wireOf(Date(KelTime::Date(-1, 1, 1))), (Bytes{0xFF, 0xFF, 0x01, 0x01}));

    Builder builder(8);
    builder.pushBack(0x10);
    Date(KelTime::Date(2024, 3, 5)) >> builder;
    EXPECT_EQ(contentOf(builder), (Bytes{0xE8, 0x07, 0x03, 0x05, 0x10}));
}

TEST(Date, YearBoundsAndSpecialValues)
{
    EXPECT_TRUE(Date(KelTime::Date(32752, 6, 1)).isUnknown());
    EXPECT_FALSE(Date(KelTime::Date(32751, 12, 31)).isUnknown());
    EXPECT_EQ(runtimeMessageOf([] { Date{KelTime::Date(32753, 1, 1)}; }), L"PDU::Date: year out of bounds");
    EXPECT_EQ(runtimeMessageOf([] { Date{KelTime::Date::infinity()}; }), L"PDU::Date: infinity not supported");
    Date assigned;
    EXPECT_THROW(assigned = KelTime::Date::infinity(), KelBase::RuntimeException);
    EXPECT_TRUE(assigned.isUnknown());
    assigned = KelTime::Date(1970, 1, 1);
    EXPECT_EQ(assigned.date(), KelTime::Date(1970, 1, 1));

    const unsigned char beyondUnknown[] = {0xF1, 0x7F, 1, 1};
    EXPECT_EQ(runtimeMessageOf([&] { Date::fromWire(beyondUnknown).date(); }), L"Year out of bounds");
}

TEST(Date, CalendarDatesComeBackUnchanged)
{
    for (const auto& day : {KelTime::Date(2024, 2, 29), KelTime::Date(1, 1, 1), KelTime::Date(-4000, 7, 15),
                            KelTime::Date(1582, 10, 15), KelTime::Date(32751, 12, 31)}) {
        const Date field(day);
        unsigned char bytes[Date::wireSize];
        field.toWire(bytes);
        EXPECT_EQ(Date::fromWire(bytes).date(), day) << day.toISOString();
    }
}

TEST(Time, WireValueHoldsTheFieldsInTheirBits)
{
    const Time time(KelTime::Time(13, 45, 30, KelTime::Milliseconds(250)));
    EXPECT_EQ(time.value(), 250u << 17 | 30u << 11 | 45u << 5 | 13u);
    const std::uint32_t v = time.value();
    EXPECT_EQ(wireOf(time), (Bytes{static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                   static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)}));
    EXPECT_EQ(wireOf(Time(KelTime::Time::indeterminate())), (Bytes{0x18, 0, 0, 0}));
    EXPECT_TRUE(Time::unknown().isUnknown());

    Builder builder(8);
    builder.pushBack(0x10);
    Time::unknown() >> builder;
    EXPECT_EQ(contentOf(builder), (Bytes{0x18, 0, 0, 0, 0x10}));
}

TEST(Time, SpecialValuesAndHourBounds)
{
    EXPECT_EQ(runtimeMessageOf([] { Time{KelTime::Time::infinity()}; }), L"PDU::Time: infinity not supported");
    EXPECT_TRUE(Time::unknown().time().isIndeterminate());
    const unsigned char hour25[] = {25, 0, 0, 0};
    EXPECT_EQ(runtimeMessageOf([&] { Time::fromWire(hour25).time(); }), L"Hour out of bounds");
    const unsigned char hour24WithMinutes[] = {24 | 1 << 5, 0, 0, 0};
    EXPECT_TRUE(Time::fromWire(hour24WithMinutes).isUnknown());
}

// Every second of the day with a spread of milliseconds: the fields come out exactly, so
// no rounding in the day fraction loses a unit.
TEST(Time, EveryTimeOfDayKeepsItsFields)
{
    for (int second = 0; second < 86400; ++second) {
        for (int ms : {0, 1, 250, 499, 500, 998, 999}) {
            if ((second + ms) % 7 != 0 && ms != 999 && ms != 1)
                continue;
            const int h = second / 3600, m = second / 60 % 60, s = second % 60;
            const Time field(KelTime::Time(h, m, s, KelTime::Milliseconds(ms)));
            const std::uint32_t expected =
                std::uint32_t(ms) << 17 | std::uint32_t(s) << 11 | std::uint32_t(m) << 5 | std::uint32_t(h);
            ASSERT_EQ(field.value(), expected) << h << ':' << m << ':' << s << '.' << ms;
            ASSERT_EQ(Time(field.time()), field);
        }
    }
}

} // namespace
