// The terminal's own parts: its keys, the command line, the state line's feed.

#include "link/ScanCodes.h"
#include "term/KeyNames.h"
#include "term/TermOptions.h"
#include "term/ViewFeed.h"

#include <gtest/gtest.h>

#include <curses.h>
#include <poll.h>

#include <functional>
#include <thread>

namespace {
using namespace VPanel;
namespace ScanCode = Link::ScanCode;

TEST(TermKeys, TerminalKeysPressTheDeviceKeys)
{
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
