#include "comm/serial/InstalledSerialPorts.h"

#include "baselib/exceptions/ErrorMessage.h"
#include "baselib/platform/Conversion.h"
#include "comm/serial/PortDescription.h"
#include "comm/serial/PortMap.h"
#include "comm/serial/PortName.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialMessages.h"

#include <boost/format.hpp>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace KelComm::Serial {

namespace fs = std::filesystem;

namespace {
constexpr char uartPrefix[] = "ttyS";
constexpr char deviceDirectory[] = "/dev";

std::vector<SerialPortInfo>& portList()
{
    static std::vector<SerialPortInfo> list;
    return list;
}

[[noreturn]] void throwSystemError(int error)
{
    throw KelWin::WindowsException(KelWin::ErrorMessage(static_cast<unsigned long>(error)).text());
}

std::wstring wide(const std::string& text) { return KelBase::Conversion::stringFromUTF8(text); }

// A legacy UART slot that no chip answers has type 0 (unknown).
bool uartPresent(const fs::path& entry)
{
    std::ifstream typeFile(entry / "type");
    int type = 0;
    return typeFile >> type && type != 0;
}

// Kernel devices with a driver, by their built-in port number; a table that cannot be read
// throws.
void addKernelDevices(std::map<std::uint16_t, SerialPortInfo>& ports)
{
    const fs::path table = Internal::sysfsRoot() / "class" / "tty";
    std::error_code error;
    if (!fs::is_directory(table, error))
        throwSystemError(ENOENT);
    for (fs::directory_iterator entries(table, error), end; entries != end; entries.increment(error)) {
        const fs::directory_entry& entry = *entries;
        const std::string name = entry.path().filename().string();
        const std::uint16_t number = Internal::builtInPortNumber(name);
        std::error_code unreadable;
        if (!number || !fs::exists(entry.path() / "device" / "driver", unreadable))
            continue;
        if (name.rfind(uartPrefix, 0) == 0 && !uartPresent(entry.path()))
            continue;
        ports[number] = {Internal::portDisplayName(number), wide(std::string(deviceDirectory) + "/" + name),
                         wide(Internal::describeKernelDevice(name)), {}};
    }
    if (error)
        throwSystemError(error.value());
}

// Where the link points as it says, and what the kernel tells of the device it reaches.
std::wstring mapDescription(const fs::path& link, const fs::path& target)
{
    std::error_code unreadable;
    const std::string written = fs::read_symlink(link, unreadable).string();
    const std::string device = Internal::describeKernelDevice(target.filename().string());
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

// The entries COMn of the port map: links to devices and files naming device servers; a
// link that leads nowhere is left out.
void addMappedPorts(std::map<std::uint16_t, SerialPortInfo>& ports)
{
    std::error_code error;
    for (fs::directory_iterator entries(Internal::portMapDirectory(), error), end; !error && entries != end;
         entries.increment(error)) {
        const fs::directory_entry& entry = *entries;
        const std::string name = entry.path().filename().string();
        std::uint16_t number = 0;
        try {
            number = Internal::parsePortName(wide(name));
        } catch (const std::exception&) {
            continue;
        }
        std::error_code unresolved;
        if (!number || Internal::portDisplayName(number) != wide(name))
            continue;
        if (entry.symlink_status(unresolved).type() == fs::file_type::regular) {
            ports[number] = networkPort(number, entry.path());
            continue;
        }
        if (!entry.is_symlink(unresolved))
            continue;
        const fs::path target = fs::canonical(entry.path(), unresolved);
        if (unresolved)
            continue;
        ports[number] = {Internal::portDisplayName(number), wide(target.string()), mapDescription(entry.path(), target),
                         {}};
    }
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
    // Keyed by number, so a map link replaces the built-in device of the same number and
    // the list comes out in numeric order.
    std::map<std::uint16_t, SerialPortInfo> ports;
    try {
        addKernelDevices(ports);
    } catch (const KelWin::WindowsException& failure) {
        table.kernelTableFailure = failure;
    }
    addMappedPorts(ports);
    const std::map<std::string, std::string> stableNames = Internal::stableNames();
    table.ports.reserve(ports.size());
    for (auto& [number, info] : ports) {
        const auto stable =
            stableNames.find(fs::path(KelBase::Conversion::stringToUTF8(info.deviceName)).filename().string());
        if (stable != stableNames.end())
            info.stableName = wide(stable->second);
        table.ports.push_back(std::move(info));
    }
    return table;
}

void InstalledSerialPorts::refresh() { portList().clear(); }

bool InstalledSerialPorts::portInUse(const std::wstring&) { return false; }

std::vector<std::wstring> InstalledSerialPorts::changeSources()
{
    return {wide(Internal::portMapDirectory().string()), wide((Internal::sysfsRoot() / "class" / "tty").string()),
            wide(deviceDirectory)};
}

std::wstring InstalledSerialPorts::pinPort(const std::wstring& portName)
{
    const std::wstring name = Internal::portDisplayName(Internal::parsePortName(portName));
    const SerialPortTable table = readTable();
    const auto port = std::find_if(table.ports.begin(), table.ports.end(),
                                   [&](const SerialPortInfo& info) { return info.portName == name; });
    if (name.empty() || port == table.ports.end())
        throw PortMapException((boost::wformat(KelBase::resStr(PortMapMessage::NotInstalled)) % portName).str());
    if (port->stableName.empty())
        throw PortMapException((boost::wformat(KelBase::resStr(PortMapMessage::NoStableName)) % name %
                                wide(Internal::stableNameDirectory().string()))
                                   .str());
    const fs::path directory = Internal::portMapDirectory();
    const fs::path link = directory / KelBase::Conversion::stringToUTF8(name);
    std::error_code error;
    // A dangling link is an entry as well: the user made it, and only the user removes it.
    if (fs::symlink_status(link, error).type() != fs::file_type::not_found)
        throw PortMapException(
            (boost::wformat(KelBase::resStr(PortMapMessage::EntryExists)) % wide(link.string())).str());
    fs::create_directories(directory, error);
    if (!error)
        fs::create_symlink(KelBase::Conversion::stringToUTF8(port->stableName), link, error);
    if (error)
        throwSystemError(error.value());
    return wide(link.string());
}

} // namespace KelComm::Serial
