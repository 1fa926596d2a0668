#include "baselib/platform/Conversion.h"

#include "baselib/exceptions/ExceptionTree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <locale>
#include <stdexcept>
#include <string>

namespace {

using KelBase::Conversion;
using KelBase::NonConvertibleException;
using KelBase::UTF8String;

constexpr wchar_t R = 0xFFFD;

TEST(Utf8, EveryScalarValueRoundTrips)
{
    std::wstring all;
    for (char32_t value = 1; value <= 0x10FFFF; ++value)
        if (value < 0xD800 || value > 0xDFFF)
            all += static_cast<wchar_t>(value);
    const std::string bytes = Conversion::stringToUTF8(all);
    // 127 one-byte, 1920 two-byte, 61440 three-byte and 1048576 four-byte forms.
    EXPECT_EQ(bytes.size(), 127u + 1920u * 2 + 61440u * 3 + 1048576u * 4);
    EXPECT_EQ(Conversion::stringFromUTF8(bytes), all);
    EXPECT_EQ(Conversion::stringFromUTF8(bytes.c_str()), all);
}

TEST(Utf8, EncodesTheBoundariesOfEachLength)
{
    const struct {
        char32_t value;
        const char* bytes;
    } cases[] = {
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xD7FF, "\xED\x9F\xBF"},
        {0xE000, "\xEE\x80\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Conversion::stringToUTF8(std::wstring(1, wchar_t(c.value))), c.bytes) << std::hex << c.value;
}

TEST(Utf8, MalformedInputGivesOneReplacementPerMaximalSubpart)
{
    const struct {
        std::string bytes;
        std::wstring expected;
    } cases[] = {
        {"a\xE2\x82", {L'a', R}},                       // truncated at the end
        {"\xF0\x9F\x98", {R}},                          // truncated four-byte form
        {"\xE2\x82" "a", {R, L'a'}},                    // cut short by an ASCII byte
        {"\xC0\xAF", {R, R}},                           // overlong two-byte form
        {"\xE0\x80\xAF", {R, R, R}},                    // overlong three-byte form
        {"\xF0\x80\x80\xAF", {R, R, R, R}},             // overlong four-byte form
        {"\xED\xA0\x80", {R, R, R}},                    // encoded surrogate
        {"\xF4\x90\x80\x80", {R, R, R, R}},             // above U+10FFFF
        {"\xF5\x80", {R, R}},                           // lead byte that cannot occur
        {"\x80\xBF", {R, R}},                           // stray continuation bytes
        {"\xFE\xFF", {R, R}},
        {"a\xF1\x80\x80\xE1\x80\xC2" "b\x80" "c\x80\xBF" "d", {L'a', R, R, R, L'b', R, L'c', R, R, L'd'}},
        {std::string("a\0b", 3), {L'a', L'\0', L'b'}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Conversion::stringFromUTF8(c.bytes), c.expected) << testing::PrintToString(c.bytes);
}

TEST(Utf8, WideCharactersThatAreNoScalarValuesEncodeAsReplacement)
{
    const std::string replacement = "\xEF\xBF\xBD";
    for (const wchar_t c : {wchar_t(0xD800), wchar_t(0xDFFF), wchar_t(0x110000), wchar_t(-1)})
        EXPECT_EQ(Conversion::stringToUTF8(std::wstring{L'x', c}), "x" + replacement) << std::hex << c;
}

TEST(Utf8, NullCStringsAreEmpty)
{
    EXPECT_EQ(Conversion::stringFromUTF8(static_cast<const char*>(nullptr)), L"");
    EXPECT_EQ(Conversion::stringToUTF8(static_cast<const wchar_t*>(nullptr)), "");
}

TEST(UTF8StringTest, HoldsBytesFromEitherSide)
{
    const UTF8String fromWide(L"Ж1");
    EXPECT_EQ(fromWide.bytes(), "\xD0\x96" "1");
    EXPECT_EQ(fromWide.str(), L"Ж1");
    EXPECT_EQ(UTF8String::formUTF8("\xD0\x96").str(), L"Ж");
    EXPECT_EQ(UTF8String::fromUTF8("\xC0").bytes(), "\xC0");
    UTF8String assigned;
    assigned = std::wstring(L"€");
    EXPECT_EQ(assigned.bytes(), "\xE2\x82\xAC");
}

TEST(NarrowConversion, CharacterWithoutNarrowFormBecomesQuestionMark)
{
    // The tests keep the classic global locale, which has no Cyrillic.
    EXPECT_EQ(Conversion::stringToCCharStr(L"aЖb"), "a?b");
    EXPECT_EQ(Conversion::stringFromCCharStr("abc"), L"abc");
    EXPECT_EQ(Conversion::stringFromCCharStr("a\xC3"), (std::wstring{L'a', R}));
    EXPECT_EQ(Conversion::stringFromCCharStr(static_cast<const char*>(nullptr)), L"");
}

TEST(NarrowConversion, FollowsAMultibyteGlobalLocale)
{
    std::locale utf8;
    try {
        utf8 = std::locale("C.UTF-8");
    } catch (const std::runtime_error&) {
        GTEST_SKIP() << "no C.UTF-8 locale";
    }
    const std::locale previous = std::locale::global(utf8);
    const std::string narrow = Conversion::stringToCCharStr(std::wstring{L'Ж', L'a', wchar_t(0xD800), L'b'});
    const std::wstring wide = Conversion::stringFromCCharStr(std::string("\xD0\x96" "a\xFF\0b", 6));
    std::locale::global(previous);
    EXPECT_EQ(narrow, "\xD0\x96" "a?b");
    EXPECT_EQ(wide, (std::wstring{L'Ж', L'a', R, L'\0', L'b'}));
}

TEST(NumberConversion, ConvertsNumbersAndRejectsTheRest)
{
    EXPECT_EQ(Conversion::toNumber<int>(L"-17"), -17);
    EXPECT_EQ(Conversion::toNumber<std::uint64_t>(L"18446744073709551615"), UINT64_MAX);
    EXPECT_EQ(Conversion::toNumber<std::int8_t>(L"-128"), -128);
    EXPECT_DOUBLE_EQ(Conversion::toNumber<double>(L"2.5e3"), 2500.0);
    for (const wchar_t* text : {L"", L"12x", L" 1", L"1.5"}) {
        try {
            Conversion::toNumber<int>(text);
            ADD_FAILURE() << "accepted " << testing::PrintToString(text);
        } catch (const NonConvertibleException& error) {
            EXPECT_EQ(std::wstring(error.message()), L"Указанное '" + std::wstring(text) + L"' не является числом");
        }
    }
    EXPECT_THROW(Conversion::toNumber<unsigned int>(L"-1"), NonConvertibleException);
    EXPECT_THROW(Conversion::toNumber<std::uint8_t>(L"256"), NonConvertibleException);
    EXPECT_THROW(Conversion::toNumber<std::int8_t>(L"-129"), NonConvertibleException);
    EXPECT_THROW(Conversion::toNumber<int>(L"99999999999"), NonConvertibleException);
}

} // namespace
