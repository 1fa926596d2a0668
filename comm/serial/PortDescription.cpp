#include "comm/serial/PortDescription.h"

#include "comm/serial/FirstLine.h"

#include <cstdlib>
#include <system_error>
#include <vector>

namespace KelComm::Serial::Internal {

namespace fs = std::filesystem;

namespace {
// A usb-serial port sits two levels below its USB device (port, interface), a cdc_acm tty one
// level (interface); a little more leaves room for hubs that add none.
constexpr int usbDeviceSearchDepth = 3;

fs::path environmentPath(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return (value && *value) ? fs::path(value) : fs::path(fallback);
}

// An attribute too long for its purpose says nothing. The strings come from the device itself.
std::string firstLine(const fs::path& file)
{
    std::string line = readFirstLine(file, true).text;
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
        line.pop_back();
    return printable(line);
}

std::string linkName(const fs::path& link)
{
    std::error_code error;
    const fs::path target = fs::read_symlink(link, error);
    return error ? std::string() : target.filename().string();
}

// Newer kernels put a UART's tty under generic port and controller devices of the serial
// core ("port", "ctrl"); the driver a user knows is that of the device above them.
fs::path aboveSerialCore(fs::path device)
{
    while (linkName(device / "subsystem") == "serial-base" && device.has_relative_path())
        device = device.parent_path();
    return device;
}

// The USB device above the tty's device: the first directory upwards with a vendor id.
fs::path usbDeviceAbove(const fs::path& device)
{
    fs::path candidate = device;
    std::error_code error;
    for (int level = 0; level < usbDeviceSearchDepth && candidate.has_relative_path(); ++level) {
        candidate = candidate.parent_path();
        if (fs::exists(candidate / "idVendor", error))
            return candidate;
    }
    return {};
}

std::string joined(const std::vector<std::string>& parts)
{
    std::string text;
    for (const std::string& part : parts) {
        if (part.empty())
            continue;
        if (!text.empty())
            text += ", ";
        text += part;
    }
    return text;
}
} // namespace

fs::path sysfsRoot() { return environmentPath("KELCOMM_SYSFS_ROOT", "/sys"); }

fs::path stableNameDirectory() { return environmentPath("KELCOMM_BY_ID_DIR", "/dev/serial/by-id"); }

std::string describeKernelDevice(const std::string& kernelName)
{
    std::error_code error;
    const fs::path device =
        aboveSerialCore(fs::canonical(sysfsRoot() / "class" / "tty" / kernelName / "device", error));
    if (error)
        return {};
    const std::string driver = linkName(device / "driver");
    const fs::path usb = usbDeviceAbove(device);
    if (usb.empty())
        return driver;
    const std::string maker = firstLine(usb / "manufacturer");
    std::string product = firstLine(usb / "product");
    // Many makers repeat their name in the product's; once is enough.
    if (!maker.empty() && product.rfind(maker, 0) != 0)
        product = product.empty() ? maker : maker + " " + product;
    return joined({product, firstLine(usb / "serial"), driver});
}

std::map<std::string, std::string> stableNames()
{
    std::map<std::string, std::string> names;
    std::error_code error;
    for (fs::directory_iterator entries(stableNameDirectory(), error), end; !error && entries != end;
         entries.increment(error)) {
        std::error_code notLink;
        const fs::path target = fs::read_symlink(entries->path(), notLink);
        if (!notLink)
            names.emplace(target.filename().string(), entries->path().string());
    }
    return names;
}

} // namespace KelComm::Serial::Internal
