#pragma once

#include <filesystem>
#include <map>
#include <string>

// What the kernel's device tree and udev's stable names tell a user about a serial device,
// so that a port list shows more than bare COMn numbers.
namespace KelComm::Serial::Internal {

// $KELCOMM_SYSFS_ROOT, else /sys.
std::filesystem::path sysfsRoot();

// $KELCOMM_BY_ID_DIR, else /dev/serial/by-id.
std::filesystem::path stableNameDirectory();

// The kernel tty device's maker, product and serial number when it sits on a USB device,
// and its driver: "FTDI FT232R USB UART, A10K3X, ftdi_sio", or "serial8250" for an on-board
// UART. Empty when the tree has nothing to say about the name.
std::string describeKernelDevice(const std::string& kernelName);

// Kernel device name (ttyUSB0) -> the path of its stable name, for every link of the
// stable-name directory.
std::map<std::string, std::string> stableNames();

} // namespace KelComm::Serial::Internal
