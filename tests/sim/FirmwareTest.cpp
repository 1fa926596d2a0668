#include "sim/Firmware.h"
#include "sim/GlyphPictures.h"
#include "tests/sim/SimTestSupport.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

using namespace VPanel::Sim;
using SimTest::key;
using SimTest::shows;
namespace Key = VPanel::Link::Key;
using std::chrono::milliseconds;

class FirmwareTest : public ::testing::Test {
protected:
    // A key goes down in one exchange and up in the next.
    void tap(int number)
    {
        firmware.keys(key(number));
        firmware.keys(0);
    }
    const Firmware::Row& row(int index) const { return firmware.screen()[index]; }

    Firmware::SteadyTime start = Firmware::SteadyTime{} + std::chrono::hours(1);
    Firmware firmware{FirmwareSetup{3, 7, 2, 4, 8}, start};
};

TEST_F(FirmwareTest, MainScreenShowsTitleValueClockAndHint)
{
    const auto wall = std::chrono::system_clock::now();
    firmware.advance(start, wall);
    const std::time_t seconds = std::chrono::system_clock::to_time_t(wall);
    std::tm local{};
    localtime_r(&seconds, &local);
    char clock[16];
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);

    EXPECT_EQ(row(0)[0], GlyphCode::pulse);
    EXPECT_TRUE(shows(row(0), L"Прибор №3"));
    EXPECT_TRUE(shows(row(1), L"Давление 101.30 кПа"));
    EXPECT_TRUE(shows(row(2), std::wstring(clock, clock + 8)));
    EXPECT_TRUE(shows(row(3), L"F1-меню  F2-звук"));

    // The value moves only from one half-second step to the next.
    firmware.advance(start + milliseconds(499), wall);
    EXPECT_TRUE(shows(row(1), L"101.30"));
    firmware.advance(start + milliseconds(2500), wall);
    EXPECT_FALSE(shows(row(1), L"101.30"));
}

TEST_F(FirmwareTest, F1OpensTheMenuWhichArrowsEnterAndEscNavigate)
{
    tap(Key::F1);
    EXPECT_TRUE(shows(row(0), L"Меню 1/4"));
    EXPECT_EQ(row(1)[0], GlyphCode::pointer);
    EXPECT_TRUE(shows(row(1), L"Уставка"));

    // A key held over several exchanges acts once.
    firmware.keys(key(Key::Down));
    firmware.keys(key(Key::Down));
    firmware.keys(0);
    EXPECT_TRUE(shows(row(0), L"Меню 2/4"));
    EXPECT_EQ(row(2)[0], GlyphCode::pointer);

    tap(Key::Up);
    tap(Key::Up);
    EXPECT_TRUE(shows(row(0), L"Меню 4/4"));
    EXPECT_TRUE(shows(row(3), L"Выход"));

    tap(Key::Enter);
    EXPECT_TRUE(shows(row(0), L"Прибор"));
    tap(Key::F1);
    tap(Key::Up);
    tap(Key::Up);
    tap(Key::Enter); // about
    EXPECT_TRUE(shows(row(1), L"Адрес: 3"));
    EXPECT_TRUE(shows(row(3), L"Версия ПО: 2.4"));
    tap(Key::Escape);
    tap(Key::Escape);
    EXPECT_TRUE(shows(row(3), L"F1-меню"));
}

TEST_F(FirmwareTest, DigitsTypeTheSetpointWhichEnterKeepsAndEscDiscards)
{
    tap(Key::F1);
    tap(Key::Enter);
    EXPECT_TRUE(shows(row(1), L"Было:  120"));
    for (int number : {Key::Digit0 + 4, Key::Digit0 + 2, Key::Digit0 + 7})
        tap(number);
    EXPECT_TRUE(shows(row(2), L"Новое: 427_"));
    tap(Key::Left);
    EXPECT_TRUE(shows(row(2), L"Новое: 42_"));
    tap(Key::Enter);
    EXPECT_EQ(firmware.setpoint(), 42);
    EXPECT_TRUE(shows(row(0), L"Меню"));

    tap(Key::Enter);
    tap(Key::Digit0);
    tap(Key::Escape);
    EXPECT_EQ(firmware.setpoint(), 42);
}

TEST_F(FirmwareTest, F2TogglesTheBuzzerAndAMenuItemTheConsole)
{
    tap(Key::F2);
    EXPECT_TRUE(firmware.soundOn());
    EXPECT_EQ(row(0)[Firmware::places - 1], GlyphCode::bell);
    tap(Key::F2);
    EXPECT_FALSE(firmware.soundOn());

    tap(Key::F1);
    tap(Key::Down);
    EXPECT_TRUE(shows(row(2), L"Консоль выкл."));
    tap(Key::Enter);
    EXPECT_FALSE(firmware.consoleOn());
    EXPECT_TRUE(shows(row(2), L"Консоль вкл."));
    tap(Key::Enter);
    EXPECT_TRUE(firmware.consoleOn());
}

TEST_F(FirmwareTest, EnglishIsShownWhenThePcAsksForIt)
{
    firmware.setLanguage(1);
    EXPECT_TRUE(shows(row(0), L"Device #3"));
    EXPECT_TRUE(shows(row(1), L"kPa"));
    firmware.setLanguage(0);
    EXPECT_TRUE(shows(row(0), L"Прибор"));
}

TEST_F(FirmwareTest, GlyphZeroPulsesAndAConsoleWithoutGlyphsManagesWithout)
{
    const auto wall = std::chrono::system_clock::now();
    ASSERT_EQ(firmware.glyphs().size(), 8u);
    const VPanel::Link::Glyph first = firmware.glyphs()[0];
    const VPanel::Link::Glyph pointer = firmware.glyphs()[1];
    firmware.advance(start + milliseconds(250), wall);
    EXPECT_NE(firmware.glyphs()[0], first);
    EXPECT_EQ(firmware.glyphs()[1], pointer);
    firmware.advance(start + milliseconds(1000), wall);
    EXPECT_EQ(firmware.glyphs()[0], first);

    Firmware bare(FirmwareSetup{1, 7, 1, 0, 0}, start);
    bare.keys(key(Key::F2));
    bare.advance(start + milliseconds(250), wall);
    EXPECT_TRUE(bare.glyphs().empty());
    EXPECT_EQ(bare.screen()[0][0], ' ');
    EXPECT_EQ(bare.screen()[0][Firmware::places - 1], '*');
}

TEST(GlyphPictures, ExtraGlyphsDifferFromEachOther)
{
    EXPECT_NE(initialGlyph(8), initialGlyph(9));
    EXPECT_NE(initialGlyph(200), initialGlyph(201));
    EXPECT_EQ(glyphFromPicture({"#....", ".....", ".....", ".....", ".....", ".....", ".....", "....#"}),
              (VPanel::Link::Glyph{0x10, 0, 0, 0, 0, 0, 0, 0x01}));
}

TEST(Cp1251, DisplayCodesOnePerCharacterAndQuestionMarksForTheRest)
{
    const std::pair<std::wstring, std::string> rows[] = {
        {L"", ""},
        {L"Az 09-+", "Az 09-+"},
        {L"АЯая", "\xC0\xDF\xE0\xFF"},
        {L"Ёё№°±", "\xA8\xB8\xB9\xB0\xB1"},
        {L"x中y", "x?y"},
        {L"\U0001F600\U0001F600.", "??."},
        {std::wstring(1, wchar_t(0xD800)) + L"ю", "?\xFE"},
    };
    for (const auto& [text, codes] : rows)
        EXPECT_EQ(toCp1251(text), codes) << codes;
}

} // namespace
