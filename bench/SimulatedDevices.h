#pragma once

// Simulated devices for the window's tabs: one simulator, so one pty and one line, with a
// device at each of the addresses 1, 2, ...; and the window's tabs opened to them.

#include "app/window/QORemoteController.h"
#include "link/Packet.h"
#include "sim/Simulator.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace Bench {

class SimulatedDevices {
public:
    SimulatedDevices(int count, long baudRate, bool changingRows) : m_count(count), m_line(lineOf(count, baudRate, changingRows))
    {
    }

    static const char* layout() { return "all on one simulator pty, a device per address"; }
    int count() const { return m_count; }
    QString port() const { return QString::fromStdString(m_line.portName()); }
    static int address(int index) { return index + 1; }
    std::uint64_t requestsOf(int index, std::uint16_t command) const
    {
        return m_line.counters(static_cast<std::uint8_t>(address(index))).requestsOf(command);
    }
    std::uint64_t polls(int index) const { return requestsOf(index, VPanel::Link::Command::Exchange); }
    std::uint64_t stops(int index) const { return requestsOf(index, VPanel::Link::Command::Stop); }

private:
    static VPanel::Sim::SimulatorOptions lineOf(int count, long baudRate, bool changingRows)
    {
        VPanel::Sim::SimulatorOptions line;
        for (int index = 0; index < count; ++index) {
            VPanel::Sim::FirmwareSetup device;
            device.address = static_cast<std::uint8_t>(address(index));
            device.changingRows = changingRows;
            line.devices.push_back(device);
        }
        line.baudRate = static_cast<unsigned>(baudRate);
        line.seed = 1;
        return line;
    }

    int m_count;
    VPanel::Sim::Simulator m_line;
};

// A tab for each device: the current one, which the window keeps empty when nothing is open,
// for the first, new ones for the others.
inline void openTabs(QORemoteController& window, const SimulatedDevices& devices, int baudRate)
{
    for (int index = 0; index < devices.count(); ++index) {
        const int address = SimulatedDevices::address(index);
        if (index == 0)
            window.setParam(devices.port(), address, baudRate);
        else
            window.openInNewTab(devices.port(), address, baudRate);
    }
}

// Counts the message boxes the window would have shown instead of showing them.
inline void countBoxes(QORemoteController& window, int& boxes)
{
    window.setWarningPresenter([&boxes](QWidget*, const QString&, const QString&) { ++boxes; });
    window.setInformationPresenter([&boxes](QWidget*, const QString&, const QString&) { ++boxes; });
}

} // namespace Bench
