#include "app/window/PortCommands.h"

#include "baselib/exceptions/Exception.h"
#include "comm/serial/InstalledSerialPorts.h"

#include <exception>

using KelComm::Serial::InstalledSerialPorts;

namespace {
const wchar_t* const noStableName = L"-";
} // namespace

int PortCommands::listPorts(std::wostream& out, std::wostream& errors)
{
    const KelComm::Serial::SerialPortTable table = InstalledSerialPorts::readTable();
    for (const KelComm::Serial::SerialPortInfo& port : table.ports)
        out << port.portName << L'\t' << port.deviceName << L'\t'
            << (port.stableName.empty() ? noStableName : port.stableName.c_str()) << L'\t' << port.description
            << L'\n';
    out.flush();
    // The port map's ports are listed all the same; the kernel's part is what is missing.
    if (table.kernelTableFailure)
        errors << table.kernelTableFailure->message() << L'\n' << std::flush;
    return 0;
}

int PortCommands::pinPort(const QString& portName, std::wostream& out, std::wostream& errors)
{
    try {
        const std::wstring link = InstalledSerialPorts::pinPort(portName.toStdWString());
        out << tr("Порт %1 закреплён: %2").arg(portName, QString::fromStdWString(link)).toStdWString() << L'\n'
            << std::flush;
        return 0;
    } catch (const std::exception& error) {
        errors << tr("Порт %1 не закреплён: %2")
                      .arg(portName, QString::fromStdWString(KelBase::exceptionMessage(error)))
                      .toStdWString()
               << L'\n'
               << std::flush;
        return exitRefused;
    }
}
