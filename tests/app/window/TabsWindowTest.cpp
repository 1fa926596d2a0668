// Several devices in one window, a tab each.

#include "tests/app/window/WindowFixture.h"

#include "app/display/QOIndicator.h"
#include "app/keypad/QOInputButton.h"
#include "app/keypad/QOInputDevice.h"
#include "link/Keys.h"
#include "link/Packet.h"

#include <QAction>
#include <QPointer>
#include <QTabWidget>
#include <QTest>


namespace WindowTest {
namespace {

constexpr int devices = 3;
constexpr std::uint16_t pollCommand = VPanel::Link::Command::Exchange;
constexpr std::uint16_t stopCommand = VPanel::Link::Command::Stop;

using TabsWindowTest = WindowFixture;

// Stands in for the device search: a window with both of the search's signals.
class TabSearchStandIn : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;

signals:
    void setParam(QString port, int address, int baud);
    void openInNewTab(QString port, int address, int baud);
};

QByteArray panelRow(const DevicePanel& panel, int row)
{
    const QOSymbolModel& model = panel.ui().indicator->model();
    QByteArray cells;
    for (int column = 0; column < model.displayColumns(); ++column)
        cells.append(model.cell(row, column));
    return cells;
}

bool panelShows(const DevicePanel& panel, const VPanel::Sim::Firmware::Screen& screen)
{
    for (int row = 0; row < VPanel::Sim::Firmware::rows; ++row)
        if (panelRow(panel, row) != rowOf(screen, row))
            return false;
    return true;
}

// The device's start screen, whose other rows show its clock and readings.
bool showsStartScreen(const DevicePanel& panel)
{
    return panelRow(panel, 3).startsWith("F1");
}

// Three devices on one line, a tab each.
TEST_F(TabsWindowTest, DevicesOnOneLineRunInTabsOfTheirOwnAndEndOneByOne)
{
    VPanel::Sim::SimulatorOptions options;
    for (int address = 1; address <= devices; ++address) {
        options.devices.emplace_back();
        options.devices.back().address = static_cast<std::uint8_t>(address);
    }
    VPanel::Sim::Simulator& line = simulate(std::move(options));
    const auto device = [&line](int tab) { return line.counters(static_cast<std::uint8_t>(tab + 1)); };
    const QString port = QString::fromStdString(line.portName());
    QORemoteController& panel = window();
    panel.setParam(port, 1, baudRate);
    for (int tab = 1; tab < devices; ++tab)
        panel.openInNewTab(port, tab + 1, baudRate);
    ASSERT_EQ(panel.panelCount(), devices);
    EXPECT_EQ(panel.ui().tabs->currentIndex(), devices - 1) << "a device opened in a new tab is shown";
    for (int tab = 0; tab < devices; ++tab)
        ASSERT_TRUE(waitFor([&] { return showsStartScreen(panel.panel(tab)); }, 10s)) << "tab " << tab;
    EXPECT_TRUE(panel.ui().tabs->tabText(1).contains(QString::fromUtf8(deviceName)));
    EXPECT_TRUE(panel.ui().tabs->tabText(1).contains(port));

    // The device opened again finds its tab instead of a second link.
    panel.openInNewTab(port, 2, baudRate);
    EXPECT_EQ(panel.panelCount(), devices);

    // A key on the middle tab's keypad reaches only its device, and only its display follows.
    panel.ui().tabs->setCurrentIndex(0);
    panel.setParam(port, 2, baudRate);
    EXPECT_EQ(panel.ui().keypad, panel.panel(1).ui().keypad) << "the window's keypad is the current tab's";
    EXPECT_TRUE(panel.windowTitle().contains(panel.panel(1).title()));
    const std::uint32_t bit = VPanel::Link::keyBit(VPanel::Link::Key::F1);
    QOInputButton* key = panel.ui().keypad->button(Button::F1);
    QTest::mousePress(key, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return (device(1).lastKeyMask & bit) != 0; }));
    QTest::mouseRelease(key, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return device(1).lastKeyMask == 0; }));
    EXPECT_TRUE(waitFor([&] { return panelShows(panel.panel(1), expectedScreen({VPanel::Link::Key::F1})); }));
    for (int other : {0, 2}) {
        EXPECT_TRUE(device(other).keyMaskChanges.empty()) << "device " << other << " saw a key";
        EXPECT_TRUE(showsStartScreen(panel.panel(other))) << "tab " << other;
    }

    // The last device falls silent: only its tab's link ends.
    VPanel::Sim::Faults faults;
    faults.silentDevices = {static_cast<std::uint8_t>(devices)};
    line.setFaults(faults);
    EXPECT_TRUE(waitFor([&] { return !panel.panel(2).link().isConnected(); }, 10s));
    ASSERT_FALSE(warnings.isEmpty());
    EXPECT_TRUE(warnings.back().first.contains(panel.panel(2).title())) << "the box names its device";
    for (int other : {0, 1}) {
        EXPECT_TRUE(panel.panel(other).link().isConnected()) << "tab " << other;
        const std::uint64_t polls = device(other).requestsOf(pollCommand);
        EXPECT_TRUE(waitFor([&] { return device(other).requestsOf(pollCommand) > polls + 5; })) << "device " << other;
    }

    // Closing the first tab sends its device the stop packet; the other goes on polling.
    panel.ui().tabs->setCurrentIndex(0);
    panel.ui().actionCloseTab->trigger();
    EXPECT_GE(device(0).requestsOf(stopCommand), 1u);
    ASSERT_EQ(panel.panelCount(), devices - 1);
    const std::uint64_t polls = device(1).requestsOf(pollCommand);
    EXPECT_TRUE(waitFor([&] { return device(1).requestsOf(pollCommand) > polls + 5; }));
    EXPECT_EQ(device(1).requestsOf(stopCommand), 0u);

    // The last tab closed leaves an empty one to search from.
    panel.closeTab(0);
    panel.closeTab(0);
    EXPECT_EQ(panel.panelCount(), 1);
    EXPECT_FALSE(panel.isConnected());
    EXPECT_TRUE(panel.ui().statusLabel->isVisible());
    EXPECT_GE(device(1).requestsOf(stopCommand), 1u);
    controller.reset();
}

TEST_F(TabsWindowTest, ADeviceTheSearchOpensInANewTabGivesTheLeftOneItsLineBack)
{
    VPanel::Sim::SimulatorOptions options;
    options.devices.emplace_back();
    VPanel::Sim::Simulator other(std::move(options));
    const QString otherPort = QString::fromStdString(other.portName());
    struct Case {
        const char* name;
        bool samePort;
    };
    QPointer<TabSearchStandIn> search;
    for (const Case& item : {Case{"another port", false}, Case{"the same port", true}}) {
        SCOPED_TRACE(item.name);
        controller.reset();
        simulate();
        connectWindow();
        QORemoteController& panel = window();
        panel.setSearchWindowFactory([&search](QWidget* parent) { return search = new TabSearchStandIn(parent); });
        panel.ui().pushButton->click();
        ASSERT_TRUE(search);
        ASSERT_TRUE(waitFor([&] { return requests(stopCommand) >= 1 && panel.transmissionThread() == nullptr; }));
        const std::uint64_t identifications = requests(VPanel::Link::Command::DeviceIdentification);

        emit search->openInNewTab(item.samePort ? portName() : otherPort, 1, baudRate);
        search->close();
        ASSERT_EQ(panel.panelCount(), 2);
        EXPECT_EQ(panel.ui().tabs->currentIndex(), 1);
        EXPECT_TRUE(panel.isConnected());
        EXPECT_EQ(panel.panel(0).link().isConnected(), !item.samePort);
        // The first simulator hears the left device again, or the new one on its line.
        EXPECT_TRUE(waitFor([&] { return requests(VPanel::Link::Command::DeviceIdentification) > identifications; }));
    }
    // A search still open goes with the window.
    window().ui().pushButton->click();
    ASSERT_TRUE(search);
    controller.reset();
    EXPECT_FALSE(search);
}

} // namespace
} // namespace WindowTest

#include "TabsWindowTest.moc"
