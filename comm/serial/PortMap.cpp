#include "comm/serial/PortMap.h"

#include "baselib/platform/Conversion.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialMessages.h"

#include <boost/format.hpp>

#include <algorithm>
#include <cstdlib>
#include <fstream>
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

struct Scheme {
    std::string_view prefix;
    NetworkAddress::Protocol protocol;
};
constexpr Scheme schemes[] = {{"rfc2217://", NetworkAddress::Protocol::Rfc2217},
                              {"tcp://", NetworkAddress::Protocol::RawTcp}};
constexpr unsigned addressLine = 1;

[[noreturn]] void throwBadAddress(NetworkEntryMessage what)
{
    throw PortMapException(KelBase::resStr(what));
}

std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
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

NetworkAddress parseNetworkAddress(const std::string& line)
{
    NetworkAddress address;
    address.url = std::string(trimmed(line));
    const std::string_view url(address.url);
    const auto scheme = std::find_if(std::begin(schemes), std::end(schemes),
                                     [&](const Scheme& known) { return url.substr(0, known.prefix.size()) == known.prefix; });
    if (scheme == std::end(schemes))
        throwBadAddress(NetworkEntryMessage::UnknownScheme);
    address.protocol = scheme->protocol;
    std::string_view rest = url.substr(scheme->prefix.size());
    if (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos)
        throwBadAddress(NetworkEntryMessage::BadPort);
    std::string_view host = rest.substr(0, colon);
    const std::string_view port = rest.substr(colon + 1);
    // An IPv6 address is written in brackets, since it holds colons itself.
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host.empty())
        throwBadAddress(NetworkEntryMessage::NoHost);
    constexpr std::size_t longestPort = 5;
    if (port.empty() || port.size() > longestPort || port.find_first_not_of("0123456789") != std::string_view::npos)
        throwBadAddress(NetworkEntryMessage::BadPort);
    const unsigned long number = std::stoul(std::string(port));
    if (number == 0 || number > 65535)
        throwBadAddress(NetworkEntryMessage::BadPort);
    address.host = std::string(host);
    address.port = static_cast<std::uint16_t>(number);
    return address;
}

std::optional<NetworkAddress> networkEntry(std::uint16_t number)
{
    const std::filesystem::path file = portMapDirectory() / ("COM" + std::to_string(number));
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(file, error)))
        return std::nullopt;
    std::ifstream stream(file);
    std::string line;
    std::getline(stream, line);
    try {
        return parseNetworkAddress(line);
    } catch (const PortMapException& wrong) {
        const auto wide = [](const std::string& text) { return KelBase::Conversion::stringFromUTF8(text); };
        throw PortMapException((boost::wformat(KelBase::resStr(PortMapMessage::BadEntry)) % wide(file.string()) %
                                addressLine % wide(std::string(trimmed(line))) % wrong.message())
                                   .str());
    }
}

} // namespace KelComm::Serial::Internal
