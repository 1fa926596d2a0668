// What follows a connection the window stops: the next one, or nothing.

#include "tests/app/window/WindowFixture.h"

#include "sim/Faults.h"

#include <QAction>
#include <QPushButton>

#include <functional>

namespace WindowTest {
namespace {

constexpr std::uint16_t identificationCommand = 0x0000;

using ConnectionSwitchTest = WindowFixture;

TEST_F(ConnectionSwitchTest, OnlyTheLastWishDecidesWhetherAConnectionFollows)
{
    struct Case {
        const char* name;
        std::function<void(QORemoteController&)> act;
        bool followed;
    };
    const Case cases[] = {
        {"another device chosen", [this](QORemoteController& panel) { panel.setParam(portName(), 1, baudRate); }, true},
        {"another language", [](QORemoteController& panel) { panel.ui().actionEnglish->trigger(); }, true},
        {"another language, then the search before the line is free",
         [](QORemoteController& panel) {
             panel.ui().actionEnglish->trigger();
             panel.ui().pushButton->click();
         },
         false},
        {"the device falls silent",
         [this](QORemoteController&) {
             VPanel::Sim::Faults silence;
             silence.silentAfterRequests = 0;
             simulator->setFaults(silence);
         },
         false},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.name);
        controller.reset();
        simulate();
        connectWindow();
        QORemoteController& panel = window();
        const std::uint64_t identifications = requests(identificationCommand);
        item.act(panel);
        if (item.followed) {
            EXPECT_TRUE(waitFor([&] { return requests(identificationCommand) > identifications && panel.transmissionThread(); }, 10s));
            EXPECT_TRUE(panel.isConnected());
            EXPECT_FALSE(panel.ui().actionReconnect->isEnabled());
        } else {
            EXPECT_TRUE(waitFor([&] { return panel.transmissionThread() == nullptr; }, 5s));
            EXPECT_EQ(requests(identificationCommand), identifications);
            EXPECT_FALSE(panel.isConnected());
            EXPECT_TRUE(panel.ui().actionReconnect->isEnabled());
        }
    }
}

} // namespace
} // namespace WindowTest
