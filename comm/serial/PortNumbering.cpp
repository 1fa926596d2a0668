#include "comm/serial/PortNumbering.h"

#include "comm/serial/FirstLine.h"
#include "comm/serial/PortDescription.h"
#include "comm/serial/PortMap.h"

#include <cerrno>
#include <charconv>
#include <string_view>
#include <system_error>
#include <vector>

namespace KelComm::Serial::Internal {

namespace fs = std::filesystem;

namespace {
constexpr std::string_view portPrefix = "COM";
constexpr std::string_view uartPrefix = "ttyS";
constexpr std::uint16_t highestPortNumber = 65535;

// The number of an entry named exactly COMn (COM05 and com5 name no port); else 0.
std::uint16_t entryNumber(std::string_view name)
{
    if (name.substr(0, portPrefix.size()) != portPrefix)
        return 0;
    const std::string_view digits = name.substr(portPrefix.size());
    unsigned number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size() || digits[0] == '0' || number > highestPortNumber)
        return 0;
    return static_cast<std::uint16_t>(number);
}

// Where a path finally leads, so that two names of one device compare equal.
std::string identity(const fs::path& path)
{
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    return error ? path.lexically_normal().string() : target.string();
}

void readMap(std::map<std::uint16_t, MapEntry>& mapped)
{
    std::error_code error;
    for (fs::directory_iterator entries(portMapDirectory(), error), end; !error && entries != end;
         entries.increment(error)) {
        const fs::path& path = entries->path();
        const std::uint16_t number = entryNumber(path.filename().native());
        std::error_code unreadable;
        const fs::file_type type = entries->symlink_status(unreadable).type();
        if (!number || unreadable)
            continue;
        if (type == fs::file_type::regular) {
            mapped[number] = {MapEntry::Kind::ServerFile, path, path.string(), true, {}};
        } else if (type == fs::file_type::symlink) {
            std::error_code broken;
            const fs::path target = fs::canonical(path, broken);
            // Only a device that is not there is an unplugged adapter; a loop of links or a
            // folder the user may not search fails on opening with its own reason.
            const bool absent = broken == std::errc::no_such_file_or_directory || broken == std::errc::not_a_directory;
            mapped[number] = {MapEntry::Kind::Link, path, broken ? resolveMapLink(path) : target.string(), !absent, {}};
        }
    }
}

// A legacy UART slot that no chip answers has type 0 (unknown).
bool uartPresent(const fs::path& entry)
{
    const FirstLine type = readFirstLine(entry / "type", true);
    int value = 0;
    const char* const begin = type.text.data();
    return type.status == FirstLine::Status::Read &&
           std::from_chars(begin, begin + type.text.size(), value).ec == std::errc() && value != 0;
}

// Kernel devices with a driver, by their built-in number; the errno when the table cannot be
// read (whatever was read before a failure is kept).
std::optional<int> readKernelTable(std::map<std::uint16_t, std::string>& devices)
{
    const fs::path table = sysfsRoot() / "class" / "tty";
    std::error_code error;
    if (!fs::is_directory(table, error))
        return ENOENT;
    for (fs::directory_iterator entries(table, error), end; !error && entries != end; entries.increment(error)) {
        const std::string name = entries->path().filename().string();
        const std::uint16_t number = builtInPortNumber(name);
        std::error_code unreadable;
        if (!number || !fs::exists(entries->path() / "device" / "driver", unreadable))
            continue;
        if (name.rfind(uartPrefix, 0) == 0 && !uartPresent(entries->path()))
            continue;
        devices[number] = name;
    }
    return error ? std::optional<int>(error.value()) : std::nullopt;
}

// The lowest number above the built-in ranges that nothing holds; 0 when none is left.
std::uint16_t freeNumberAboveBuiltIn(const PortNumbering& numbering)
{
    for (unsigned number = firstPortAboveBuiltIn; number <= highestPortNumber; ++number)
        if (!numbering.mapped.count(static_cast<std::uint16_t>(number)) &&
            !numbering.kernel.count(static_cast<std::uint16_t>(number)))
            return static_cast<std::uint16_t>(number);
    return 0;
}

// Marks the map links that lead to the device; true when there is one.
bool linkedInMap(PortNumbering& numbering, const std::string& kernelName)
{
    const std::string node = identity(kernelDevicePath(kernelName));
    bool linked = false;
    for (auto& [number, entry] : numbering.mapped) {
        if (entry.kind == MapEntry::Kind::Link && entry.connected && entry.target == node) {
            entry.kernelName = kernelName;
            linked = true;
        }
    }
    return linked;
}
} // namespace

fs::path kernelDevicePath(const std::string& kernelName) { return deviceDirectory() / kernelName; }

PortNumbering numberPorts()
{
    PortNumbering numbering;
    readMap(numbering.mapped);
    std::map<std::uint16_t, std::string> devices;
    numbering.kernelTableError = readKernelTable(devices);
    std::vector<std::string> displaced;
    for (const auto& [number, name] : devices) {
        if (linkedInMap(numbering, name))
            continue;
        if (numbering.mapped.count(number))
            displaced.push_back(name);
        else
            numbering.kernel[number] = name;
    }
    // Above the built-in ranges, so that a device plugged in later, which takes its built-in
    // number, never moves a displaced one that stays plugged in.
    for (const std::string& name : displaced) {
        if (const std::uint16_t number = freeNumberAboveBuiltIn(numbering))
            numbering.kernel[number] = name;
    }
    return numbering;
}

PortLocation locatePort(std::uint16_t number)
{
    const PortNumbering numbering = numberPorts();
    if (const auto entry = numbering.mapped.find(number); entry != numbering.mapped.end())
        return {entry->second.target, !entry->second.connected};
    if (const auto device = numbering.kernel.find(number); device != numbering.kernel.end())
        return {kernelDevicePath(device->second).string(), false};
    // Without the kernel's table the built-in numbering is all there is to go by.
    const std::string builtIn = builtInKernelName(number);
    if (numbering.kernelTableError && !builtIn.empty())
        return {kernelDevicePath(builtIn).string(), false};
    return {(portMapDirectory() / (std::string(portPrefix) + std::to_string(number))).string(), false};
}

} // namespace KelComm::Serial::Internal
