#pragma once

#include "app/window/QORemoteController.h"
#include "sim/Firmware.h"
#include "sim/Simulator.h"
#include "tests/support/Ser2net.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

namespace WindowTest {

using namespace std::chrono_literals;

// Runs the event loop until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s);

// Whether the process spends less than half of a short wait on a processor: nothing spins for
// a link that is gone.
bool nothingKeepsWorking();

// A display row as the device holds it: Windows-1251 codes, blank-padded to 20 places.
QByteArray deviceRow(const QString& text);
QString fromDevice(const QByteArray& row);

// Keypad button numbers of the standard 4 x 6 keypad.
namespace Button {
inline constexpr int F1 = 6;
inline constexpr int F2 = 8;
inline constexpr int Down = 13;
inline constexpr int Esc = 18;
inline constexpr int Enter = 20;
} // namespace Button

// Every test gets its own settings file, port map, empty system table and working directory
// (without a dictionary, so the one shipped beside the executable is read); a main window
// whose message boxes are recorded instead of shown; and, on demand, a simulated device on a
// pty.
class WindowFixture : public ::testing::Test {
protected:
    // The response timeout at this rate leaves a loaded machine tens of milliseconds to carry a
    // reply through the pseudo-terminal; at 115200 baud the margin is a few milliseconds, and a
    // reply that misses it loses the display rows it carried.
    static constexpr int baudRate = 19200;
    static constexpr int deviceIdentifier = 7;
    // The shipped dictionary's name for the simulator's device kind.
    static constexpr char deviceName[] = "Пульт испытательный ПИ-7";

    void SetUp() override;
    void TearDown() override;

    QORemoteController& window();
    VPanel::Sim::Simulator& simulate(VPanel::Sim::SimulatorOptions options = {});
    QString portName() const
    {
        return networkPort.isEmpty() ? QString::fromStdString(simulator->portName()) : networkPort;
    }
    // Serves the simulated device through a ser2net device server on loopback, named COM9 in
    // the port map; the window then connects through the server.
    void serveOverNetwork(KelTestSupport::Ser2net::Accepter accepter);
    VPanel::Sim::DeviceCounters counters() const { return simulator->counters(1); }
    std::uint64_t requests(std::uint16_t command) const { return counters().requestsOf(command); }

    // Connects the window as the search's choice would and waits for the first rows.
    void connectWindow(int baud = baudRate);
    // The display model's row in the device's code page.
    QByteArray displayRow(int row) const;
    // Whether the display shows the screen (all four rows).
    bool displayShows(const VPanel::Sim::Firmware::Screen& screen) const;
    // Presses a keypad button with the mouse, holds it until the device has seen the key,
    // then lets go and waits until the device has seen that too.
    void click(int button, int keyNumber);
    QStringList logTexts() const;
    bool logHas(const QString& text) const;
    // Whether another program could take the port now (ours holds it locked while open).
    bool portFree() const;

    QTemporaryDir directory;
    QString previousDirectory;
    std::unique_ptr<VPanel::Sim::Simulator> simulator;
    std::unique_ptr<QORemoteController> controller;
    std::unique_ptr<KelTestSupport::Ser2net> server;
    QString networkPort;
    QList<QPair<QString, QString>> warnings;
    QList<QPair<QString, QString>> informations;
};

// The screens of a device like the simulated one after the given keys, in that language.
VPanel::Sim::Firmware::Screen expectedScreen(const std::vector<int>& keys, bool english = false);
QByteArray rowOf(const VPanel::Sim::Firmware::Screen& screen, int row);

} // namespace WindowTest
