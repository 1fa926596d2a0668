#include "comm/serial/PortMap.h"

#include "baselib/exceptions/ErrorMessage.h"
#include "baselib/platform/Conversion.h"
#include "comm/serial/FirstLine.h"
#include "comm/serial/PortNumbering.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialMessages.h"

#include <boost/format.hpp>

#include <cstdlib>
#include <string_view>
#include <system_error>

namespace KelComm::Serial::Internal {

namespace {
struct DeviceKind {
    std::string_view prefix;
    std::uint16_t firstPort;
};
constexpr DeviceKind deviceKinds[] = {{"ttyS", 1}, {"ttyUSB", 33}, {"ttyACM", 65}, {"ttyAMA", 97}};

const char* environment(const char* name)
{
    const char* value = std::getenv(name);
    return (value && *value) ? value : nullptr;
}

constexpr unsigned addressLine = 1;

bool isDecimal(std::string_view text)
{
    return !text.empty() && text.size() <= 2 && text.find_first_not_of("0123456789") == std::string_view::npos;
}
} // namespace

std::filesystem::path portMapDirectory()
{
    if (const char* directory = environment("KELCOMM_PORTS_DIR"))
        return directory;
    if (const char* config = environment("XDG_CONFIG_HOME"))
        return std::filesystem::path(config) / "kelcomm" / "ports";
    const char* home = environment("HOME");
    return std::filesystem::path(home ? home : "") / ".config" / "kelcomm" / "ports";
}

std::filesystem::path deviceDirectory()
{
    const char* directory = environment("KELCOMM_DEV_DIR");
    return directory ? directory : "/dev";
}

std::uint16_t builtInPortNumber(const std::string& kernelName)
{
    const std::string_view name(kernelName);
    for (const DeviceKind& kind : deviceKinds) {
        if (name.substr(0, kind.prefix.size()) != kind.prefix)
            continue;
        const std::string_view index = name.substr(kind.prefix.size());
        // Leading zeros name other devices (ttyS01 is not ttyS1).
        if (!isDecimal(index) || (index.size() > 1 && index[0] == '0'))
            return 0;
        const unsigned k = static_cast<unsigned>(std::stoul(std::string(index)));
        return k < builtInPortsPerKind ? static_cast<std::uint16_t>(kind.firstPort + k) : 0;
    }
    return 0;
}

std::string builtInKernelName(std::uint16_t number)
{
    for (const DeviceKind& kind : deviceKinds)
        if (number >= kind.firstPort && number < kind.firstPort + builtInPortsPerKind)
            return std::string(kind.prefix) + std::to_string(number - kind.firstPort);
    return {};
}

std::string resolveMapLink(const std::filesystem::path& link)
{
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(link, error);
    if (!error)
        return target.string();
    const std::filesystem::path written = std::filesystem::read_symlink(link, error);
    if (error)
        return link.string();
    return (written.is_absolute() ? written : link.parent_path() / written).lexically_normal().string();
}

std::string resolvePortPath(std::uint16_t number) { return locatePort(number).path; }

std::optional<NetworkAddress> networkEntry(std::uint16_t number)
{
    const std::filesystem::path file = portMapDirectory() / ("COM" + std::to_string(number));
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(file, error)))
        return std::nullopt;
    const FirstLine first = readFirstLine(file, false);
    const auto wide = [](const std::string& text) { return KelBase::Conversion::stringFromUTF8(text); };
    if (first.status == FirstLine::Status::Unreadable)
        throw PortMapException((boost::wformat(KelBase::resStr(PortMapMessage::EntryUnreadable)) %
                                wide(file.string()) % KelWin::ErrorMessage(static_cast<unsigned long>(first.error)).text())
                                   .str());
    if (first.status == FirstLine::Status::TooLong)
        throw PortMapException((boost::wformat(KelBase::resStr(PortMapMessage::EntryTooLong)) % wide(file.string()) %
                                firstLineLimit_bytes)
                                   .str());
    try {
        return parseNetworkAddress(first.text);
    } catch (const PortMapException& wrong) {
        throw PortMapException((boost::wformat(KelBase::resStr(PortMapMessage::BadEntry)) % wide(file.string()) %
                                addressLine % wide(printable(first.text)) % wrong.message())
                                   .str());
    }
}

} // namespace KelComm::Serial::Internal
