// What every host without a window shares: key names, the display's text, the device definition.

#include "link/Glyph.h"
#include "link/ScanCodes.h"
#include "host/ConsoleScreen.h"
#include "host/DeviceSpec.h"
#include "host/GlyphCharacters.h"
#include "host/KeyNames.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {
using namespace VPanel;
namespace ScanCode = Link::ScanCode;

TEST(HostKeys, NamesPressTheDeviceKeys)
{
    struct Row {
        const char* text;
        std::vector<int> scanCodes;
        const char* unknown;
    };
    const Row rows[] = {
        {"F1 Down Enter", {ScanCode::F1, ScanCode::Down, ScanCode::Enter}, ""},
        {"  esc,backspace\tUP  ", {ScanCode::Escape, ScanCode::Backspace, ScanCode::Up}, ""},
        {"0 9 F2", {ScanCode::Digit0, ScanCode::digit(9), ScanCode::F2}, ""},
        {"", {}, ""},
        {"Left F3 Right", {ScanCode::Left}, "F3"},
        {"F", {}, "F"},
        {"10", {}, "10"},
    };
    for (const Row& row : rows) {
        const Host::KeySequence sequence = Host::parseKeySequence(row.text);
        EXPECT_EQ(sequence.scanCodes, row.scanCodes) << row.text;
        EXPECT_EQ(sequence.unknownName, row.unknown) << row.text;
    }
}

Link::DotMatrix picture(const std::array<const char*, Link::DotMatrix::rows>& rows)
{
    Link::DotMatrix dots;
    for (int row = 0; row < Link::DotMatrix::rows; ++row)
        for (int column = 0; column < Link::DotMatrix::columns; ++column)
            dots.set(column, row, rows[static_cast<std::size_t>(row)][column] == '#');
    return dots;
}

TEST(HostScreen, DisplayTextShowsCodesAndOwnGlyphsSafely)
{
    struct Glyph {
        std::array<const char*, Link::DotMatrix::rows> rows;
        const char* character;
    };
    const Glyph glyphs[] = {
        {{"#....", "##...", "###..", "####.", "###..", "##...", "#....", "....."}, "\u25B6"},
        // One dot off is still the pointer.
        {{"#....", "##...", "###..", "####.", "###..", "##...", "#...#", "....."}, "\u25B6"},
        {{".....", "....#", "...##", "#.##.", "###..", ".#...", ".....", "....."}, "\u2713"},
        {{".....", ".....", ".....", ".....", ".....", ".....", ".....", "....."}, " "},
        // A bell: nothing single-column looks like it.
        {{"..#..", ".###.", ".###.", ".###.", "#####", ".....", "..#..", "....."}, "\u25A1"},
        {{"#.#.#", ".#.#.", "#.#.#", ".#.#.", "#.#.#", ".#.#.", "#.#.#", ".#.#."}, "\u25A1"},
    };
    for (const Glyph& glyph : glyphs)
        EXPECT_EQ(Host::nearestCharacter(picture(glyph.rows)), glyph.character) << glyph.rows[0];

    Host::ConsoleScreen screen;
    screen.resize(2, 6);
    screen.setGlyph(1, picture(glyphs[0].rows));
    // Cyrillic in the display's code page, a glyph of the device's, control codes and the
    // code page's one hole, which must never reach the terminal as they are.
    screen.setRow(0, {0xCF, 0xF3, 0xEB, 0xFC, 0xF2, 1});
    screen.setRow(1, {0x1B, '[', '2', 'J', 0x98, 0x07, 'x', 'y'});
    screen.setRow(2, {'z'});
    screen.setRow(-1, {'z'});
    EXPECT_EQ(screen.text(), (std::vector<std::string>{"Пульт\u25B6", "\u25A1[2J\u25A1\u25A1"}));
    EXPECT_TRUE(screen.shows("ульт"));
    EXPECT_FALSE(screen.shows("z"));
    // A short row leaves no stale places behind.
    screen.setRow(0, {'O', 'K'});
    EXPECT_EQ(screen.text()[0], "OK    ");
    // A device that claims a huge display gets a bounded one.
    screen.resize(1000, 100000);
    EXPECT_EQ(screen.rows(), Host::ConsoleScreen::maxRows);
    EXPECT_EQ(screen.places(), Host::ConsoleScreen::maxPlaces);
}

TEST(HostDeviceSpec, GoodSpecsReadAndBadOnesSayWhatIsWrong)
{
    struct Row {
        const char* text;
        const char* faultNamed; // a word the message holds; empty for a good definition
        Host::DeviceSpec expected;
    };
    const Row rows[] = {
        {"press1=COM7,1,115200", "", {"press1", "COM7", 1, 115200}},
        {"Line_2.a-b=com12, 249 ,1200", "", {"Line_2.a-b", "COM12", 249, 1200}},
        {"p=COM1,1,921600", "", {"p", "COM1", 1, 921600}},
        {"press1 COM7,1,115200", "ИМЯ=ПОРТ", {}},
        {"=COM7,1,115200", "имя", {}},
        {"press/1=COM7,1,115200", "имя", {}},
        {"..=COM7,1,115200", "имя", {}},
        {".=COM7,1,115200", "имя", {}},
        {"пресс=COM7,1,115200", "имя", {}},
        {"a23456789012345678901234567890123=COM7,1,115200", "имя", {}},
        {"press1=COM7,1", "через запятую", {}},
        {"press1=COM7,1,115200,9", "через запятую", {}},
        {"press1=,1,115200", "порт", {}},
        {"press1=/dev/ttyS0,1,115200", "порт", {}},
        {"press1=COM0,1,115200", "порт", {}},
        {"press1=COM7,0,115200", "адрес", {}},
        {"press1=COM7,250,115200", "адрес", {}},
        {"press1=COM7,x,115200", "адрес", {}},
        {"press1=COM7,1,115201", "скорость", {}},
        {"press1=COM7,1,", "скорость", {}},
    };
    for (const Row& row : rows) {
        const QString text = QString::fromUtf8(row.text);
        if (!*row.faultNamed) {
            const Host::DeviceSpec definition = Host::parseDeviceSpec(text);
            EXPECT_EQ(definition.name, row.expected.name) << row.text;
            EXPECT_EQ(definition.port, row.expected.port) << row.text;
            EXPECT_EQ(definition.address, row.expected.address) << row.text;
            EXPECT_EQ(definition.baudRate, row.expected.baudRate) << row.text;
            continue;
        }
        try {
            Host::parseDeviceSpec(text);
            ADD_FAILURE() << row.text << " was taken";
        } catch (const Host::DeviceSpecException& refused) {
            const QString message = QString::fromStdWString(KelBase::exceptionMessage(refused));
            EXPECT_TRUE(message.contains(QString::fromUtf8(row.faultNamed))) << message.toStdString();
            EXPECT_TRUE(message.contains(text)) << message.toStdString();
        }
    }
}

} // namespace
