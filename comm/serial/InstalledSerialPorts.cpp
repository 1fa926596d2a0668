#include "comm/serial/InstalledSerialPorts.h"

#include "baselib/exceptions/ErrorMessage.h"
#include "baselib/platform/Conversion.h"
#include "comm/serial/PortMap.h"
#include "comm/serial/PortName.h"
#include "comm/serial/SerialExceptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace KelComm::Serial {

namespace fs = std::filesystem;

namespace {
constexpr char uartPrefix[] = "ttyS";

std::vector<SerialPortInfo>& portList()
{
    static std::vector<SerialPortInfo> list;
    return list;
}

fs::path sysfsRoot()
{
    const char* root = std::getenv("KELCOMM_SYSFS_ROOT");
    return (root && *root) ? fs::path(root) : fs::path("/sys");
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
    const fs::path table = sysfsRoot() / "class" / "tty";
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
        ports[number] = {Internal::portDisplayName(number), wide("/dev/" + name)};
    }
    if (error)
        throwSystemError(error.value());
}

// The links COMn of the port map; a link that leads nowhere is left out.
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
        if (!number || Internal::portDisplayName(number) != wide(name) || !entry.is_symlink(unresolved))
            continue;
        const fs::path target = fs::canonical(entry.path(), unresolved);
        if (unresolved)
            continue;
        ports[number] = {Internal::portDisplayName(number), wide(target.string())};
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
    table.ports.reserve(ports.size());
    for (auto& [number, info] : ports)
        table.ports.push_back(std::move(info));
    return table;
}

void InstalledSerialPorts::refresh() { portList().clear(); }

bool InstalledSerialPorts::portInUse(const std::wstring&) { return false; }

} // namespace KelComm::Serial
