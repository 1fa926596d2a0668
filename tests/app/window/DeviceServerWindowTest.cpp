// The main window working a device behind a device server.

#include "tests/app/window/WindowFixture.h"

#include "link/Keys.h"

#include <QTest>

#include <atomic>

namespace WindowTest {
namespace {

using VPanel::Link::Key::F1;

constexpr std::uint16_t identificationCommand = 0x0000;

using DeviceServerWindowTest = WindowFixture;

// Through a device server, over Telnet port control and over a raw stream alike: the screen and
// the keys pass; the server dying ends the link at once as a vanished port does, leaving nothing
// at work; once the server is back, Ctrl+R connects again.
TEST_F(DeviceServerWindowTest, ADeviceBehindADeviceServerWorksUntilTheServerDiesAndAgainOnceItIsBack)
{
    using KelTestSupport::Ser2net;
    if (Ser2net::program().empty())
        GTEST_SKIP() << "ser2net is not installed (scripts/setup installs it)";
    for (const Ser2net::Accepter accepter : {Ser2net::Accepter::Rfc2217, Ser2net::Accepter::RawTcp}) {
        SCOPED_TRACE(accepter == Ser2net::Accepter::Rfc2217 ? "telnet(rfc2217)" : "tcp");
        controller.reset();
        server.reset();
        warnings.clear();
        simulate();
        ASSERT_NO_FATAL_FAILURE(serveOverNetwork(accepter));
        ASSERT_NO_FATAL_FAILURE(connectWindow());
        click(Button::F1, F1);
        EXPECT_TRUE(waitFor([&] { return displayShows(expectedScreen({F1})); }))
            << fromDevice(displayRow(0)).toStdString();

        QORemoteController& panel = window();
        std::atomic<std::chrono::steady_clock::time_point> ended{};
        QObject::connect(panel.transmissionThread(), &QOTransmissionThread::alarm,
                         [&ended](int code, const QString&) {
                             if (code == 0)
                                 ended = std::chrono::steady_clock::now();
                         });
        server->kill();
        const auto killed = std::chrono::steady_clock::now();
        ASSERT_TRUE(waitFor([&] { return !warnings.isEmpty(); }, 5s));
        ASSERT_NE(ended.load(), std::chrono::steady_clock::time_point{}) << "the link ended without event 0";
        EXPECT_LT(ended.load() - killed, 2s);
        EXPECT_EQ(warnings[0].second,
                  QStringLiteral("Ошибка: Порт COM9 исчез: устройство отключено или кабель вынут."));
        ASSERT_TRUE(waitFor([&] { return panel.transmissionThread() == nullptr; }, 5s)) << "the thread did not end";
        EXPECT_TRUE(nothingKeepsWorking());

        std::string failure;
        ASSERT_TRUE(server->start(failure)) << failure;
        const std::uint64_t identifications = requests(identificationCommand);
        QTest::keyClick(&panel, Qt::Key_R, Qt::ControlModifier);
        // The device kept its menu open meanwhile.
        EXPECT_TRUE(waitFor(
            [&] { return requests(identificationCommand) > identifications && displayShows(expectedScreen({F1})); },
            10s))
            << fromDevice(displayRow(0)).toStdString() << " / " << fromDevice(displayRow(3)).toStdString();
    }
}

} // namespace
} // namespace WindowTest
