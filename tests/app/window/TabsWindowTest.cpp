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

#include <array>

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

TEST_F(TabsWindowTest, EachTabRunsItsOwnDeviceAndClosingOneStopsOnlyThatOne)
{
    std::array<std::unique_ptr<VPanel::Sim::Simulator>, devices> sims;
    QORemoteController& panel = window();
    for (int index = 0; index < devices; ++index) {
        simulate();
        sims[index] = std::move(simulator);
        const QString port = QString::fromStdString(sims[index]->portName());
        if (index == 0)
            panel.setParam(port, 1, baudRate);
        else
            panel.openInNewTab(port, 1, baudRate);
    }
    ASSERT_EQ(panel.panelCount(), devices);
    EXPECT_EQ(panel.ui().tabs->currentIndex(), devices - 1) << "a device opened in a new tab is shown";
    for (int index = 0; index < devices; ++index)
        ASSERT_TRUE(waitFor([&] { return showsStartScreen(panel.panel(index)); }, 10s)) << "tab " << index;
    EXPECT_TRUE(panel.ui().tabs->tabText(1).contains(QString::fromUtf8(deviceName)));
    EXPECT_TRUE(panel.ui().tabs->tabText(1).contains(QString::fromStdString(sims[1]->portName())));

    // A key on the middle tab's keypad reaches only its device, and only its display follows.
    panel.ui().tabs->setCurrentIndex(1);
    EXPECT_EQ(panel.ui().keypad, panel.panel(1).ui().keypad) << "the window's keypad is the current tab's";
    EXPECT_TRUE(panel.windowTitle().contains(panel.panel(1).title()));
    const std::uint32_t bit = VPanel::Link::keyBit(VPanel::Link::Key::F1);
    QOInputButton* key = panel.ui().keypad->button(Button::F1);
    QTest::mousePress(key, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return (sims[1]->counters(1).lastKeyMask & bit) != 0; }));
    QTest::mouseRelease(key, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return sims[1]->counters(1).lastKeyMask == 0; }));
    EXPECT_TRUE(waitFor([&] { return panelShows(panel.panel(1), expectedScreen({VPanel::Link::Key::F1})); }));
    for (int other : {0, 2}) {
        EXPECT_TRUE(sims[other]->counters(1).keyMaskChanges.empty()) << "device " << other << " saw a key";
        EXPECT_TRUE(showsStartScreen(panel.panel(other))) << "tab " << other;
    }

    // Closing the first tab sends its device the stop packet; the others go on polling.
    panel.ui().tabs->setCurrentIndex(0);
    panel.ui().actionCloseTab->trigger();
    EXPECT_GE(sims[0]->counters(1).requestsOf(stopCommand), 1u);
    ASSERT_EQ(panel.panelCount(), devices - 1);
    for (int other : {1, 2}) {
        const std::uint64_t polls = sims[other]->counters(1).requestsOf(pollCommand);
        EXPECT_TRUE(waitFor([&] { return sims[other]->counters(1).requestsOf(pollCommand) > polls + 5; }))
            << "device " << other;
        EXPECT_EQ(sims[other]->counters(1).requestsOf(stopCommand), 0u) << "device " << other;
    }

    // The last tab closed leaves an empty one to search from.
    panel.closeTab(0);
    panel.closeTab(0);
    EXPECT_EQ(panel.panelCount(), 1);
    EXPECT_FALSE(panel.isConnected());
    EXPECT_TRUE(panel.ui().statusLabel->isVisible());
    for (int other : {1, 2})
        EXPECT_GE(sims[other]->counters(1).requestsOf(stopCommand), 1u) << "device " << other;
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
