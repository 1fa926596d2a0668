#include "comm/serial/InstalledSerialPorts.h"

#include "baselib/exceptions/ErrorMessage.h"
#include "baselib/platform/Conversion.h"
#include "comm/serial/PortDescription.h"
#include "comm/serial/PortMap.h"
#include "comm/serial/PortName.h"
#include "comm/serial/PortNumbering.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialMessages.h"

#include <boost/format.hpp>

#include <filesystem>
#include <map>
#include <string>

namespace KelComm::Serial {

namespace fs = std::filesystem;

namespace {

std::vector<SerialPortInfo>& portList()
{
    static std::vector<SerialPortInfo> list;
    return list;
}

KelWin::WindowsException systemError(int error)
{
    return KelWin::WindowsException(KelWin::ErrorMessage(static_cast<unsigned long>(error)).text());
}

std::wstring wide(const std::string& text) { return KelBase::Conversion::stringFromUTF8(text); }

// The kernel device a map link leads to: as the kernel's table knows it, else by its node's name.
std::string kernelNameOf(const Internal::MapEntry& link)
{
    return link.kernelName.empty() ? fs::path(link.target).filename().string() : link.kernelName;
}

std::wstring stableNameOf(const std::map<std::string, std::string>& stableNames, const std::string& kernelName)
{
    const auto stable = stableNames.find(kernelName);
    return stable == stableNames.end() ? std::wstring() : wide(stable->second);
}

// Where the link points as it says, and what the kernel tells of the device it reaches.
std::wstring mapDescription(const Internal::MapEntry& link)
{
    std::error_code unreadable;
    const std::string written = fs::read_symlink(link.path, unreadable).string();
    if (!link.connected)
        return (boost::wformat(KelBase::resStr(PortMapMessage::AdapterAbsent)) % wide(written)).str();
    const std::string device = Internal::describeKernelDevice(kernelNameOf(link));
    return wide("→ " + written + (device.empty() ? std::string() : ": " + device));
}

// A port on a device server, described by its URL; an entry that names no server is listed
// with what is wrong with it, so that the user sees why it does not open.
SerialPortInfo networkPort(std::uint16_t number, const fs::path& file)
{
    try {
        const std::wstring url = wide(Internal::networkEntry(number).value().url);
        return {Internal::portDisplayName(number), url, url, {}};
    } catch (const PortMapException& malformed) {
        return {Internal::portDisplayName(number), wide(file.string()), malformed.message(), {}};
    }
}

SerialPortInfo mappedPort(std::uint16_t number, const Internal::MapEntry& entry,
                          const std::map<std::string, std::string>& stableNames)
{
    if (entry.kind == Internal::MapEntry::Kind::ServerFile)
        return networkPort(number, entry.path);
    SerialPortInfo info{Internal::portDisplayName(number), wide(entry.target), mapDescription(entry),
                        stableNameOf(stableNames, kernelNameOf(entry))};
    info.connected = entry.connected;
    return info;
}
[[noreturn]] void throwEntryExists(const fs::path& link)
{
    throw PortMapException((boost::wformat(KelBase::resStr(PortMapMessage::EntryExists)) % wide(link.string())).str());
}
} // namespace

const std::vector<SerialPortInfo>& InstalledSerialPorts::installedPorts()
{
    std::vector<SerialPortInfo>& list = portList();
    if (!list.empty())
        return list;
    SerialPortTable table = readTable();
    if (table.kernelTableFailure)
        table.kernelTableFailure->rethrow();
    list = std::move(table.ports);
    return list;
}

SerialPortTable InstalledSerialPorts::readTable()
{
    SerialPortTable table;
    const Internal::PortNumbering numbering = Internal::numberPorts();
    if (numbering.kernelTableError)
        table.kernelTableFailure = systemError(*numbering.kernelTableError);
    const std::map<std::string, std::string> stableNames = Internal::stableNames();
    // Keyed by number, so that the list comes out in numeric order.
    std::map<std::uint16_t, SerialPortInfo> ports;
    for (const auto& [number, kernelName] : numbering.kernel)
        ports[number] = {Internal::portDisplayName(number), wide(Internal::kernelDevicePath(kernelName).string()),
                         wide(Internal::describeKernelDevice(kernelName)), stableNameOf(stableNames, kernelName)};
    for (const auto& [number, entry] : numbering.mapped)
        ports[number] = mappedPort(number, entry, stableNames);
    table.ports.reserve(ports.size());
    for (auto& [number, info] : ports)
        table.ports.push_back(std::move(info));
    return table;
}

void InstalledSerialPorts::refresh() { portList().clear(); }

bool InstalledSerialPorts::portInUse(const std::wstring&) { return false; }

std::vector<std::wstring> InstalledSerialPorts::changeSources()
{
    return {wide(Internal::portMapDirectory().string()), wide((Internal::sysfsRoot() / "class" / "tty").string()),
            wide(Internal::deviceDirectory().string())};
}

std::wstring InstalledSerialPorts::pinPort(const std::wstring& portName)
{
    const std::uint16_t number = Internal::parsePortName(portName);
    const std::wstring name = Internal::portDisplayName(number);
    // File names stay bytes from the stable-name folder to the link: a name that is not
    // UTF-8 would not survive a round trip through wide text.
    const Internal::PortNumbering numbering = Internal::numberPorts();
    const fs::path directory = Internal::portMapDirectory();
    const fs::path link = directory / ("COM" + std::to_string(number));
    // A dangling link is an entry as well: the user made it, and only the user removes it.
    if (numbering.mapped.count(number))
        throwEntryExists(link);
    const auto device = numbering.kernel.find(number);
    if (!number || device == numbering.kernel.end())
        throw PortMapException((boost::wformat(KelBase::resStr(PortMapMessage::NotInstalled)) % portName).str());
    const std::map<std::string, std::string> stableNames = Internal::stableNames();
    const auto stable = stableNames.find(device->second);
    if (stable == stableNames.end())
        throw PortMapException((boost::wformat(KelBase::resStr(PortMapMessage::NoStableName)) % name %
                                wide(Internal::stableNameDirectory().string()))
                                   .str());
    std::error_code error;
    // Whatever else bears the name (a folder, say) is in the way too.
    if (fs::symlink_status(link, error).type() != fs::file_type::not_found)
        throwEntryExists(link);
    fs::create_directories(directory, error);
    if (!error)
        fs::create_symlink(stable->second, link, error);
    if (error)
        throw systemError(error.value());
    return wide(link.string());
}

} // namespace KelComm::Serial
