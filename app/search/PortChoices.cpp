#include "app/search/PortChoices.h"

#include "baselib/exceptions/Exception.h"
#include "comm/serial/InstalledSerialPorts.h"
#include "qtui/StringConversion.h"

#include <algorithm>
#include <exception>

namespace {
int numberOf(const QString& portName) { return portName.mid(3).toInt(); }
} // namespace

bool PortChoices::contains(const QString& name) const
{
    return std::any_of(ports.begin(), ports.end(), [&](const PortChoice& port) { return port.name == name; });
}

void PortChoices::insert(const PortChoice& port)
{
    const auto place = std::find_if(ports.begin(), ports.end(), [&](const PortChoice& other) {
        return numberOf(other.name) > numberOf(port.name);
    });
    ports.insert(place, port);
}

PortChoices readPortChoices()
{
    using KelBase::QtUI::convertToQString;
    PortChoices choices;
    try {
        const KelComm::Serial::SerialPortTable table = KelComm::Serial::InstalledSerialPorts::readTable();
        for (const KelComm::Serial::SerialPortInfo& port : table.ports) {
            const QString name = convertToQString(port.portName);
            const QString description = convertToQString(port.description);
            choices.ports << PortChoice{name, description.isEmpty() ? name : name + QStringLiteral(" — ") + description,
                                        port.connected};
        }
        if (table.kernelTableFailure)
            choices.failure = convertToQString(table.kernelTableFailure->message());
    } catch (const std::exception& error) {
        // The window opens all the same, with no port to choose but "all ports".
        choices.ports.clear();
        choices.failure = convertToQString(KelBase::exceptionMessage(error));
    }
    return choices;
}
