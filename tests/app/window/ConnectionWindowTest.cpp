// The main window working a simulated device end to end.

#include "tests/app/window/WindowFixture.h"

#include "app/display/QOIndicator.h"
#include "app/keypad/QOInputButton.h"
#include "app/keypad/QOInputDevice.h"
#include "link/Keys.h"
#include "app/window/DeviceSettings.h"
#include "app/window/PanelScreens.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSoundEffect>
#include <QTest>
#include <QTextCodec>

#include <iterator>
#include <vector>

namespace WindowTest {
namespace {

using VPanel::Link::Key::Down;
using VPanel::Link::Key::Enter;
using VPanel::Link::Key::F1;
using VPanel::Link::Key::F2;

using ConnectionWindowTest = WindowFixture;

TEST_F(ConnectionWindowTest, IdentifiedDeviceIsNamedAndItsScreenReachesTheDisplay)
{
    connectWindow();
    const QORemoteController& panel = window();
    EXPECT_EQ(panel.ui().deviceLabel->text(), QStringLiteral("%1, версия ПО - 1.0").arg(QString::fromUtf8(deviceName)));
    EXPECT_TRUE(panel.ui().deviceLabel->isVisible());
    EXPECT_FALSE(panel.ui().statusLabel->isVisible());
    EXPECT_EQ(panel.settingsDevice(), deviceIdentifier);
    EXPECT_TRUE(panel.isConnected());

    // Title and hint rows do not move; the measured value and the clock do.
    const auto screen = expectedScreen({});
    EXPECT_TRUE(waitFor([&] { return displayRow(0) == rowOf(screen, 0); }));
    EXPECT_EQ(displayRow(3), rowOf(screen, 3));
    EXPECT_TRUE(fromDevice(displayRow(1)).contains(QStringLiteral("кПа")));
    // The console's glyphs were read and went to the display.
    EXPECT_EQ(requests(0x0014), 8u);
    EXPECT_TRUE(panel.ui().indicator->model().glyphs().contains(1));
}

TEST_F(ConnectionWindowTest, KeypadClicksWorkTheDeviceMenu)
{
    connectWindow();
    click(Button::F1, F1);
    EXPECT_TRUE(waitFor([&] { return displayShows(expectedScreen({F1})); }))
        << fromDevice(displayRow(0)).toStdString();
}

TEST_F(ConnectionWindowTest, QuickTapsReachTheDeviceInOrderAndAHeldKeyStaysDown)
{
    // Every key of the keypad: its button number, its PC key and that key's scan code.
    struct Key {
        int button;
        Qt::Key pcKey;
        int code;
    };
    const Key keys[] = {
        {3, Qt::Key_1, 2},       {4, Qt::Key_2, 3},      {5, Qt::Key_3, 4},     {9, Qt::Key_4, 5},
        {10, Qt::Key_5, 6},      {11, Qt::Key_6, 7},     {15, Qt::Key_7, 8},    {16, Qt::Key_8, 9},
        {17, Qt::Key_9, 10},     {22, Qt::Key_0, 11},    {7, Qt::Key_Up, 72},   {12, Qt::Key_Left, 75},
        {13, Qt::Key_Down, 80},  {14, Qt::Key_Right, 77}, {20, Qt::Key_Return, 28}, {18, Qt::Key_Backspace, 14},
        {Button::F1, Qt::Key_F1, 59}, {Button::F2, Qt::Key_F2, 60},
    };
    constexpr int taps = 20;
    // Press and release this close together fall between two requests at any line rate.
    constexpr auto tapStep = 2ms;
    constexpr auto deliveryWait = 30s;
    constexpr std::uint64_t heldRequests = 5;
    enum class Input { Buttons, PcKeys };
    for (const int baud : {9600, 115200}) {
        controller.reset();
        simulator.reset();
        ASSERT_NO_FATAL_FAILURE(connectWindow(baud));
        QOInputDevice& keypad = *window().ui().keypad;
        const auto changesSince = [&](std::size_t first) {
            std::vector<std::uint32_t> masks;
            const auto log = counters().keyMaskChanges;
            for (std::size_t i = first; i < log.size(); ++i)
                masks.push_back(log[i].mask);
            return masks;
        };
        for (const Input input : {Input::Buttons, Input::PcKeys}) {
            SCOPED_TRACE(testing::Message() << baud << (input == Input::Buttons ? " buttons" : " PC keys"));
            const auto press = [&](const Key& key) {
                if (input == Input::Buttons)
                    keypad.button(key.button)->touchButton();
                else
                    QTest::keyPress(&keypad, key.pcKey);
            };
            const auto release = [&](const Key& key) {
                if (input == Input::Buttons)
                    keypad.button(key.button)->releaseButton();
                else
                    QTest::keyRelease(&keypad, key.pcKey);
            };
            // X repeats a held PC key as a release and a press at one event time, not always
            // marked as auto-repeat.
            quint64 repeatTime_ms = 1000;
            const auto repeat = [&](const Key& key) {
                if (input == Input::Buttons)
                    return;
                for (const QEvent::Type type : {QEvent::KeyRelease, QEvent::KeyPress}) {
                    QKeyEvent event(type, key.pcKey, Qt::NoModifier);
                    event.setTimestamp(repeatTime_ms);
                    QApplication::sendEvent(&keypad, &event);
                }
                repeatTime_ms += 40;
            };

            const std::size_t before = counters().keyMaskChanges.size();
            std::vector<std::uint32_t> expected;
            for (int tap = 0; tap < taps; ++tap) {
                const Key& key = keys[tap % std::size(keys)];
                press(key);
                std::this_thread::sleep_for(tapStep);
                release(key);
                std::this_thread::sleep_for(tapStep);
                expected.push_back(VPanel::Link::keyBit(VPanel::Link::keyNumber(key.code)));
                expected.push_back(0);
            }
            EXPECT_TRUE(waitFor([&] { return changesSince(before).size() >= expected.size(); }, deliveryWait));
            EXPECT_EQ(changesSince(before), expected);

            const Key& held = keys[0];
            const std::uint32_t heldMask = VPanel::Link::keyBit(VPanel::Link::keyNumber(held.code));
            const std::size_t heldAt = counters().keyMaskChanges.size();
            press(held);
            ASSERT_TRUE(waitFor([&] { return changesSince(heldAt) == std::vector{heldMask}; }, deliveryWait));
            const std::uint64_t pressedAt = requests(0x0013);
            EXPECT_TRUE(waitFor(
                [&] {
                    repeat(held);
                    return requests(0x0013) >= pressedAt + heldRequests;
                },
                deliveryWait));
            EXPECT_EQ(changesSince(heldAt), std::vector{heldMask});
            release(held);
            EXPECT_TRUE(waitFor([&] { return changesSince(heldAt) == std::vector<std::uint32_t>{heldMask, 0}; },
                                deliveryWait));
        }
    }
}

TEST_F(ConnectionWindowTest, DeviceSoundStartsAndStopsTheAlarm)
{
    connectWindow();
    QORemoteController& panel = window();
    EXPECT_EQ(panel.alarmSound()->loopCount(), QSoundEffect::Infinite);
    EXPECT_TRUE(panel.soundIcon()->pixmap().isNull());

    click(Button::F2, F2);
    EXPECT_TRUE(waitFor([&] { return !panel.soundIcon()->pixmap().isNull(); }));
    click(Button::F2, F2);
    EXPECT_TRUE(waitFor([&] { return panel.soundIcon()->pixmap().isNull(); }));
    // Sound events are neither logged nor shown in the status bar.
    EXPECT_FALSE(logHas(QStringLiteral("Звук вкл.")));
    EXPECT_FALSE(logHas(QStringLiteral("Звук выкл.")));
}

TEST_F(ConnectionWindowTest, ConsoleOffShowsThePanelOffScreenAndOnBlanksIt)
{
    connectWindow();
    // Menu, second item (the console switch), Enter.
    click(Button::F1, F1);
    click(Button::Down, Down);
    click(Button::Enter, Enter);
    const PanelScreens::Screen off = PanelScreens::panelOff(false);
    EXPECT_TRUE(waitFor([&] { return displayRow(1) == off[1]; })) << fromDevice(displayRow(1)).toStdString();
    EXPECT_EQ(displayRow(3), off[3]);
    EXPECT_TRUE(logHas(QStringLiteral("Консоль выключена.")));

    // Console on: the device's whole screen comes back, not a blank display.
    click(Button::Enter, Enter);
    EXPECT_TRUE(waitFor([&] { return logHas(QStringLiteral("ПУ включена.")); }));
    EXPECT_TRUE(waitFor([&] { return displayRow(0) != QByteArray(20, ' ') && displayRow(1) != off[1]; }));
    click(Button::Esc, VPanel::Link::Key::Escape);
    const auto main = expectedScreen({});
    EXPECT_TRUE(waitFor([&] { return displayRow(3) == rowOf(main, 3); }));
}

TEST_F(ConnectionWindowTest, SmallConsoleGetsThePanelScreensAtItsSize)
{
    VPanel::Sim::SimulatorOptions options;
    VPanel::Sim::FirmwareSetup device;
    device.consoleRows = 2;
    device.consolePlaces = 16;
    options.devices = {device};
    simulate(options);
    QORemoteController& panel = window();
    panel.setParam(portName(), 1, baudRate);
    const QOSymbolModel& display = panel.ui().indicator->model();
    const QByteArray title = rowOf(expectedScreen({}), 0).left(16);
    ASSERT_TRUE(waitFor([&] { return displayRow(0) == title; }, 10s)) << fromDevice(displayRow(0)).toStdString();
    EXPECT_EQ(display.displayRows(), 2);
    EXPECT_EQ(display.displayColumns(), 16);

    // Menu, the console switch, Enter: the device reports its console off.
    click(Button::F1, F1);
    click(Button::Down, Down);
    click(Button::Enter, Enter);
    QTextCodec* codec = QTextCodec::codecForName("Windows-1251");
    const QByteArray panelOff = codec->fromUnicode(QStringLiteral("  ПУ ВЫКЛЮЧЕНА  "));
    EXPECT_TRUE(waitFor([&] { return displayRow(0) == panelOff; })) << fromDevice(displayRow(0)).toStdString();
    EXPECT_EQ(displayRow(1), QByteArray(PanelScreens::webAddress).leftJustified(16, ' '));

    // While the console is off its menu rows stay as they are: nothing overwrites the blanking.
    panel.alarm(7, QStringLiteral("Консоль включена."));
    EXPECT_EQ(displayRow(0), QByteArray(16, ' '));
    EXPECT_EQ(displayRow(1), QByteArray(16, ' '));
}

TEST_F(ConnectionWindowTest, DeviceSettingsAreReadAndWrittenInTheIdentifiersGroup)
{
    {
        const auto settings = DeviceSettings::open();
        settings->beginGroup(QString::number(deviceIdentifier));
        settings->setValue("Sound", false);
        settings->setValue("AlarmMessage", false);
        settings->setValue("NumPad", true);
    }
    connectWindow();
    QORemoteController& panel = window();
    EXPECT_TRUE(waitFor([&] { return panel.ui().keypad->statusNumpad(); }));
    EXPECT_FALSE(panel.soundEnabled());
    EXPECT_FALSE(panel.errorReportsEnabled());
    EXPECT_TRUE(panel.ui().actionDisableSound->isChecked());
    EXPECT_TRUE(panel.ui().actionDisableReports->isChecked());
    EXPECT_TRUE(logHas(QStringLiteral("Звук выключен(меню \"Настройки\")")));
    EXPECT_TRUE(logHas(QStringLiteral("Виртуальная клавиатура включена")));

    // Turning sound back on is remembered for the device kind when the window closes.
    panel.ui().actionDisableSound->trigger();
    panel.close();
    const DeviceSettings stored = DeviceSettings::read(deviceIdentifier);
    EXPECT_TRUE(stored.sound);
    EXPECT_FALSE(stored.alarmMessage);
    EXPECT_TRUE(stored.numPad);
    EXPECT_EQ(stored.geometry, panel.geometry());
}

} // namespace
} // namespace WindowTest
