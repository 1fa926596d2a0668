#pragma once

#include "app/transmission/QOTransmissionThread.h"
#include "sim/Simulator.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace TransmissionTest {

using SteadyClock = std::chrono::steady_clock;

struct Event {
    int code = 0;
    QString text;
    SteadyClock::time_point at;
};

// What a connection told the GUI thread, received there through queued connections.
class Recorder : public QObject {
public:
    void attach(QOTransmissionThread& thread);

    QList<Event> events;
    QList<int> deviceIds;
    QList<QPair<int, int>> displaySizes;
    QList<QPair<int, int>> glyphSizes;
    QMap<int, SymbolMatrix> glyphs;
    QMap<int, QByteArray> rows;
    int rowDeliveries = 0;
    int resets = 0;
    bool finished = false;

    bool has(int code, const QString& text = QString()) const;
    int count(int code, const QString& text) const;
    const Event* first(int code) const;
    // The events as one line, for failure messages.
    std::string describe() const;
};

// A display row as the device holds it: Windows-1251 codes, blank-padded to 20 places.
QByteArray deviceRow(const QString& text);

// Runs the event loop until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(5));

// Temporary port map, empty system table and working directory (holding "dictionary.txt"
// unless told otherwise) for every test; a simulator on a pty and connections to it.
class TransmissionFixture : public ::testing::Test {
protected:
    // The response timeout at this rate leaves a loaded machine tens of milliseconds to carry a
    // reply through the pseudo-terminal; at 115200 baud the margin is a few milliseconds, and a
    // reply that misses it loses the display rows it carried.
    static constexpr long baudRate = 19200;
    static constexpr char deviceName[] = "Манометр ДМ-7";

    void SetUp() override;
    void TearDown() override;

    VPanel::Sim::Simulator& simulate(VPanel::Sim::SimulatorOptions options = {});
    // A new connection to the simulator, its signals going to `recorder`; started unless told.
    QOTransmissionThread& connectTo(const QString& portName, int address = 1, bool start = true);
    QOTransmissionThread& connectTo(int address = 1, bool start = true)
    {
        return connectTo(portNameOf(*simulator), address, start);
    }
    static QString portNameOf(const VPanel::Sim::Simulator& simulator);

    void removeDictionary();
    VPanel::Sim::DeviceCounters counters() const { return simulator->counters(1); }
    // Waits until the device has seen the key mask.
    bool deviceSees(std::uint32_t mask) const;
    // Press and release, each seen by the device.
    void tap(int keyCode);
    ::testing::AssertionResult polling();

    QTemporaryDir directory;
    QString previousDirectory;
    std::unique_ptr<VPanel::Sim::Simulator> simulator;
    std::unique_ptr<QOTransmissionThread> thread;
    std::unique_ptr<Recorder> recorder;
};

} // namespace TransmissionTest
