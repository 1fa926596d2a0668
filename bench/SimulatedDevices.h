#pragma once

// Simulated devices for the window's tabs, one simulator on a pty of its own for each, at
// addresses 1, 2, ... so that each tab talks to a device of its own address; and the window's
// tabs opened to them.

#include "app/window/QORemoteController.h"
#include "link/Packet.h"
#include "sim/Simulator.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace Bench {

class SimulatedDevices {
public:
    SimulatedDevices(int count, long baudRate, bool changingRows)
    {
        for (int index = 0; index < count; ++index) {
            VPanel::Sim::FirmwareSetup device;
            device.address = static_cast<std::uint8_t>(index + 1);
            device.changingRows = changingRows;
            VPanel::Sim::SimulatorOptions line;
            line.devices = {device};
            line.baudRate = static_cast<unsigned>(baudRate);
            line.seed = static_cast<std::uint32_t>(index + 1);
            m_lines.push_back(std::make_unique<VPanel::Sim::Simulator>(line));
        }
    }

    static const char* layout() { return "a simulator on a pty of its own for each device"; }
    int count() const { return static_cast<int>(m_lines.size()); }
    QString port(int index) const { return QString::fromStdString(m_lines.at(index)->portName()); }
    static int address(int index) { return index + 1; }
    std::uint64_t requestsOf(int index, std::uint16_t command) const
    {
        return m_lines.at(index)->counters(static_cast<std::uint8_t>(address(index))).requestsOf(command);
    }
    std::uint64_t polls(int index) const { return requestsOf(index, VPanel::Link::Command::Exchange); }
    std::uint64_t stops(int index) const { return requestsOf(index, VPanel::Link::Command::Stop); }

private:
    std::vector<std::unique_ptr<VPanel::Sim::Simulator>> m_lines;
};

// A tab for each device: the current one, which the window keeps empty when nothing is open,
// for the first, new ones for the others.
inline void openTabs(QORemoteController& window, const SimulatedDevices& devices, int baudRate)
{
    for (int index = 0; index < devices.count(); ++index) {
        const QString port = devices.port(index);
        const int address = SimulatedDevices::address(index);
        if (index == 0)
            window.setParam(port, address, baudRate);
        else
            window.openInNewTab(port, address, baudRate);
    }
}

// Counts the message boxes the window would have shown instead of showing them.
inline void countBoxes(QORemoteController& window, int& boxes)
{
    window.setWarningPresenter([&boxes](QWidget*, const QString&, const QString&) { ++boxes; });
    window.setInformationPresenter([&boxes](QWidget*, const QString&, const QString&) { ++boxes; });
}

} // namespace Bench
