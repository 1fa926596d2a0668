// The terminal's own parts: key names, the display's text, the command line.

#include "link/Glyph.h"
#include "link/ScanCodes.h"
#include "term/ConsoleScreen.h"
#include "term/GlyphCharacters.h"
#include "term/KeyNames.h"
#include "term/TermOptions.h"
#include "term/ViewFeed.h"

#include <gtest/gtest.h>

#include <curses.h>
#include <poll.h>

#include <array>
#include <functional>
#include <thread>

namespace {
using namespace VPanel;
namespace ScanCode = Link::ScanCode;

TEST(TermKeys, NamesAndTerminalKeysPressTheDeviceKeys)
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
        const Term::KeySequence sequence = Term::parseKeySequence(row.text);
        EXPECT_EQ(sequence.scanCodes, row.scanCodes) << row.text;
        EXPECT_EQ(sequence.unknownName, row.unknown) << row.text;
    }

    struct Typed {
        int key;
        bool functionKey;
        std::optional<int> scanCode;
    };
    const Typed typed[] = {
        {KEY_UP, true, ScanCode::Up},          {KEY_F(1), true, ScanCode::F1},
        {KEY_F(2), true, ScanCode::F2},        {KEY_F(3), true, std::nullopt},
        {KEY_BACKSPACE, true, ScanCode::Backspace}, {KEY_RESIZE, true, std::nullopt},
        {'\r', false, ScanCode::Enter},        {27, false, ScanCode::Escape},
        {127, false, ScanCode::Backspace},     {'7', false, ScanCode::digit(7)},
        {'a', false, std::nullopt},
        // A character whose number is that of a function key is still a character.
        {KEY_UP, false, std::nullopt},
    };
    for (const Typed& key : typed)
        EXPECT_EQ(Term::scanCodeOfTerminalKey(key.key, key.functionKey), key.scanCode) << key.key;
}

Link::DotMatrix picture(const std::array<const char*, Link::DotMatrix::rows>& rows)
{
    Link::DotMatrix dots;
    for (int row = 0; row < Link::DotMatrix::rows; ++row)
        for (int column = 0; column < Link::DotMatrix::columns; ++column)
            dots.set(column, row, rows[static_cast<std::size_t>(row)][column] == '#');
    return dots;
}

TEST(TermScreen, DisplayTextShowsCodesAndOwnGlyphsSafely)
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
        EXPECT_EQ(Term::nearestCharacter(picture(glyph.rows)), glyph.character) << glyph.rows[0];

    Term::ConsoleScreen screen;
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
    EXPECT_EQ(screen.rows(), Term::ConsoleScreen::maxRows);
    EXPECT_EQ(screen.places(), Term::ConsoleScreen::maxPlaces);
}

TEST(TermOptions, CommandLineIsCheckedBeforeAnythingStarts)
{
    using Term::TermOptions;
    struct Row {
        QStringList arguments;
        bool valid;
    };
    const Row rows[] = {
        {{"COM7", "1", "115200"}, true},
        {{"COM7", "1", "115200", "--expect", "Меню", "--keys", "F1 Down", "--timeout", "2.5"}, true},
        {{"--help"}, true},
        {{"COM7", "1"}, false},
        {{"COM7", "1", "115200", "extra"}, false},
        {{"COM7", "256", "115200"}, false},
        {{"COM7", "1", "50"}, false},
        {{"COM7", "1", "115200", "--keys", "F1"}, false},
        {{"COM7", "1", "115200", "--expect", "x", "--keys", "F1 F9"}, false},
        {{"COM7", "1", "115200", "--expect", "x", "--timeout", "0"}, false},
        {{"COM7", "1", "115200", "--expect", "x", "--timeout", "nan"}, false},
        {{"COM7", "1", "115200", "--expect"}, false},
        {{"COM7", "1", "115200", "--expect", ""}, false},
        {{"COM7", "1", "115200", "--lang", "de"}, false},
        {{"COM7", "1", "115200", "--no-such"}, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(TermOptions::parse(row.arguments).error.isEmpty(), row.valid)
            << row.arguments.join(QLatin1Char(' ')).toStdString();

    const TermOptions script = TermOptions::parse(rows[1].arguments);
    EXPECT_EQ(script.keys, (std::vector<int>{ScanCode::F1, ScanCode::Down}));
    EXPECT_EQ(script.timeout, std::chrono::milliseconds(2500));
    EXPECT_EQ(script.expect, QStringLiteral("Меню"));

    QStringList tooMany{"COM7", "1", "115200", "--expect", "x", "--keys"};
    tooMany << QStringList(static_cast<int>(TermOptions::maxKeys) + 1, QStringLiteral("Up")).join(QLatin1Char(' '));
    EXPECT_FALSE(TermOptions::parse(tooMany).error.isEmpty());
}

bool readable(int descriptor)
{
    pollfd fd{descriptor, POLLIN, 0};
    return poll(&fd, 1, 0) == 1;
}

TEST(TermFeed, StateLineFollowsTheLinkAcrossThreads)
{
    using Panel::LinkEvent;
    Term::ViewFeed feed({{7, "Прибор"}});
    EXPECT_FALSE(readable(feed.wakeDescriptor()));

    // Each step: what the link tells, then the state the terminal must show.
    struct Step {
        std::function<void()> told;
        bool live, ended, consoleOff, alarm;
        const char* lastEvent;
    };
    const Step steps[] = {
        {[&] { feed.deviceIdentified(7); }, false, false, false, false, ""},
        {[&] { feed.consoleSized(1, 4); }, false, false, false, false, ""},
        {[&] { feed.linkEvent({LinkEvent::ConsoleOffAtStart, {"off at start", {}}}); }, false, false, true, false,
         "off at start"},
        {[&] { feed.rowChanged(0, {'a', 'b'}); }, true, false, true, false, "off at start"},
        {[&] { feed.linkEvent({LinkEvent::ConsoleOn, {"on", {}}}); }, true, false, false, false, "on"},
        {[&] { feed.linkEvent({LinkEvent::SoundOn, {"sound", {}}}); }, true, false, false, true, "sound"},
        {[&] { feed.linkEvent({LinkEvent::DeviceSilent, {"silent %1", {"COM7"}}}); }, false, true, false, true,
         "silent COM7"},
        // What the stop says without words does not hide why the link ended; rows that come
        // late do not make it live again.
        {[&] { feed.linkEvent({LinkEvent::Stopped, {"", {}}}); }, false, true, false, true, "silent COM7"},
        {[&] { feed.rowChanged(0, {'c'}); }, false, true, false, true, "silent COM7"},
    };
    for (std::size_t index = 0; index < std::size(steps); ++index) {
        std::thread(steps[index].told).join();
        EXPECT_TRUE(readable(feed.wakeDescriptor())) << "step " << index;
        const Term::View view = feed.snapshot();
        EXPECT_FALSE(readable(feed.wakeDescriptor())) << "step " << index;
        EXPECT_EQ(view.state.live, steps[index].live) << "step " << index;
        EXPECT_EQ(view.state.ended, steps[index].ended) << "step " << index;
        EXPECT_EQ(view.state.consoleOff, steps[index].consoleOff) << "step " << index;
        EXPECT_EQ(view.state.alarm, steps[index].alarm) << "step " << index;
        EXPECT_EQ(view.state.lastEvent ? Panel::russianText(view.state.lastEvent->text) : "", steps[index].lastEvent)
            << "step " << index;
        EXPECT_EQ(view.state.deviceName, "Прибор");
    }
    EXPECT_EQ(feed.snapshot().screen.text(), std::vector<std::string>{"c   "});
    feed.deviceIdentified(8);
    EXPECT_EQ(feed.snapshot().state.deviceName, "8");
}

} // namespace
