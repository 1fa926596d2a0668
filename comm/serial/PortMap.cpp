#include "comm/serial/PortMap.h"

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
constexpr unsigned devicesPerKind = 32;
constexpr char deviceDirectory[] = "/dev/";

const char* environment(const char* name)
{
    const char* value = std::getenv(name);
    return (value && *value) ? value : nullptr;
}

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
        return k < devicesPerKind ? static_cast<std::uint16_t>(kind.firstPort + k) : 0;
    }
    return 0;
}

std::string builtInKernelName(std::uint16_t number)
{
    for (const DeviceKind& kind : deviceKinds)
        if (number >= kind.firstPort && number < kind.firstPort + devicesPerKind)
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

std::string resolvePortPath(std::uint16_t number)
{
    const std::filesystem::path link = portMapDirectory() / ("COM" + std::to_string(number));
    std::error_code error;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(link, error)))
        return resolveMapLink(link);
    const std::string kernelName = builtInKernelName(number);
    return kernelName.empty() ? link.string() : deviceDirectory + kernelName;
}

} // namespace KelComm::Serial::Internal
