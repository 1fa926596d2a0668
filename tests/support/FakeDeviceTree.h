#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

namespace KelTest {

// A kernel device tree and a folder of udev's stable names, shaped as the real ones, under
// folders of the test's: class/tty/<name> links into devices/..., whose tty has a `device`
// link to the port's device with its `driver` link, and USB adapters keep maker, product and
// serial number in their USB device above it.
class FakeDeviceTree {
public:
    struct Usb {
        std::string manufacturer;
        std::string product;
        std::string serial;
    };

    FakeDeviceTree(std::filesystem::path sysfsRoot, std::filesystem::path stableNames)
        : m_root(std::move(sysfsRoot)), m_stableNames(std::move(stableNames))
    {
        std::filesystem::create_directories(m_root / "class" / "tty");
        std::filesystem::create_directories(m_stableNames);
    }

    // A usb-serial adapter's port: the tty two levels below its USB device (port, interface).
    void addUsbSerial(const std::string& kernelName, const std::string& driver, const Usb& usb,
                      const std::string& stableName)
    {
        const std::filesystem::path port = usbDevice(usb) / (m_usbName + ":1.0") / kernelName;
        addTty(kernelName, port, driver);
        addStableName(stableName, kernelName);
    }

    // A CDC ACM modem: the tty one level below its USB device (the interface).
    void addAcm(const std::string& kernelName, const Usb& usb, const std::string& stableName)
    {
        addTty(kernelName, usbDevice(usb) / (m_usbName + ":1.0"), "cdc_acm");
        addStableName(stableName, kernelName);
    }

    // An on-board UART that a chip answers (type 4, a 16550A), below the serial core's
    // controller and port devices as kernels since 6.5 place it.
    void addUart(const std::string& kernelName, const std::string& driver)
    {
        namespace fs = std::filesystem;
        const fs::path controller = m_root / "devices" / "platform" / driver / (driver + ":0");
        const fs::path port = controller / (driver + ":0.0");
        fs::create_directories(port);
        for (const auto& [device, coreDriver] : {std::pair{controller, "ctrl"}, std::pair{port, "port"}}) {
            const fs::path bus = m_root / "bus" / "serial-base";
            fs::create_directories(bus / "drivers" / coreDriver);
            fs::create_directory_symlink(fs::relative(bus, device), device / "subsystem");
            fs::create_directory_symlink(fs::relative(bus / "drivers" / coreDriver, device), device / "driver");
        }
        linkDriver(controller.parent_path(), driver);
        addTty(kernelName, port, "port");
        std::ofstream(port / "tty" / kernelName / "type") << "4\n";
    }

private:
    std::filesystem::path usbDevice(const Usb& usb)
    {
        m_usbName = "1-" + std::to_string(++m_usbCount);
        const std::filesystem::path device =
            m_root / "devices" / "pci0000:00" / "0000:00:14.0" / "usb1" / m_usbName;
        std::filesystem::create_directories(device);
        std::ofstream(device / "idVendor") << "0403\n";
        std::ofstream(device / "manufacturer") << usb.manufacturer << "\n";
        std::ofstream(device / "product") << usb.product << "\n";
        std::ofstream(device / "serial") << usb.serial << "\n";
        return device;
    }

    void linkDriver(const std::filesystem::path& device, const std::string& driver) const
    {
        namespace fs = std::filesystem;
        const fs::path drivers = m_root / "bus" / "drivers" / driver;
        fs::create_directories(drivers);
        fs::create_directories(device);
        if (!fs::is_symlink(fs::symlink_status(device / "driver")))
            fs::create_directory_symlink(fs::relative(drivers, device), device / "driver");
    }

    void addTty(const std::string& kernelName, const std::filesystem::path& device, const std::string& driver)
    {
        namespace fs = std::filesystem;
        const fs::path tty = device / "tty" / kernelName;
        fs::create_directories(tty);
        linkDriver(device, driver);
        fs::create_directory_symlink(fs::path("../../..") / device.filename(), tty / "device");
        fs::create_directory_symlink(fs::relative(tty, m_root / "class" / "tty"), m_root / "class" / "tty" / kernelName);
    }

    void addStableName(const std::string& stableName, const std::string& kernelName) const
    {
        std::filesystem::create_symlink(std::filesystem::path("../..") / kernelName, m_stableNames / stableName);
    }

    std::filesystem::path m_root;
    std::filesystem::path m_stableNames;
    int m_usbCount = 0;
    std::string m_usbName;
};

} // namespace KelTest
