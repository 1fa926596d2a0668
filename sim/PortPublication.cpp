#include "sim/PortPublication.h"

#include "sim/SimErrors.h"


#include <cstdlib>
#include <limits>
#include <system_error>

namespace VPanel::Sim {

namespace fs = std::filesystem;

namespace {
constexpr char portPrefix[] = "COM";
constexpr unsigned maxPortNumber = std::numeric_limits<std::uint16_t>::max();

const char* environment(const char* name)
{
    const char* value = std::getenv(name);
    return (value && *value) ? value : nullptr;
}
} // namespace

fs::path portMapDirectory()
{
    if (const char* directory = environment("KELCOMM_PORTS_DIR"))
        return directory;
    if (const char* config = environment("XDG_CONFIG_HOME"))
        return fs::path(config) / "kelcomm" / "ports";
    const char* home = environment("HOME");
    return fs::path(home ? home : "") / ".config" / "kelcomm" / "ports";
}

unsigned portNumber(const std::string& portName)
{
    const std::string prefix(portPrefix);
    if (portName.compare(0, prefix.size(), prefix) != 0)
        return 0;
    const std::string digits = portName.substr(prefix.size());
    if (digits.empty() || digits.size() > 5 || digits[0] == '0' ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const unsigned long number = std::stoul(digits);
    return number <= maxPortNumber ? static_cast<unsigned>(number) : 0;
}

PortPublication::PortPublication(const std::string& portName, const std::string& devicePath)
    : m_devicePath(devicePath)
{
    const fs::path directory = portMapDirectory();
    std::error_code error;
    fs::create_directories(directory, error);
    if (error)
        throwSimulatorError(SimMessage::SystemCall, directory.string(), error.message());

    std::string liveTarget;
    if (!portName.empty()) {
        if (portNumber(portName) == 0)
            throwSimulatorError(SimMessage::BadPortName, portName);
        if (!tryPublish(directory / portName, liveTarget))
            throwSimulatorError(SimMessage::PortTaken, portName, liveTarget);
        m_portName = portName;
        return;
    }
    for (unsigned number = firstAutomaticPort; number <= maxPortNumber; ++number) {
        const std::string name = portPrefix + std::to_string(number);
        if (tryPublish(directory / name, liveTarget)) {
            m_portName = name;
            return;
        }
    }
    throwSimulatorError(SimMessage::NoFreePort, directory.string());
}

PortPublication::~PortPublication()
{
    // Another run may have taken the name over meanwhile; its link is not ours to remove.
    std::error_code error;
    if (fs::read_symlink(m_link, error) == fs::path(m_devicePath) && !error)
        fs::remove(m_link, error);
}

bool PortPublication::tryPublish(const fs::path& link, std::string& liveTarget)
{
    std::error_code error;
    for (int attempt = 0; attempt < 2; ++attempt) {
        fs::create_symlink(m_devicePath, link, error);
        if (!error) {
            m_link = link;
            return true;
        }
        if (error != std::errc::file_exists)
            throwSimulatorError(SimMessage::SystemCall, link.string(), error.message());
        // exists() follows the link: false for a link whose device is gone.
        if (fs::exists(link, error)) {
            liveTarget = fs::read_symlink(link, error).string();
            return false;
        }
        fs::remove(link, error);
    }
    return false;
}

} // namespace VPanel::Sim
