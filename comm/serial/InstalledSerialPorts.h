#pragma once

#include "comm/Export.h"
#include "comm/serial/SerialExceptions.h"

#include <optional>
#include <string>
#include <vector>

namespace KelComm::Serial {

struct SerialPortInfo {
    std::wstring portName;   // COMn
    std::wstring deviceName; // the device node it resolves to, e.g. /dev/ttyUSB0
    // What a user recognises the port by: a USB adapter's product, serial number and driver,
    // an on-board port's driver, or "→ target" for a port-map link. May be empty.
    std::wstring description;
    // The adapter's name under /dev/serial/by-id, which stays whatever socket it is in; or empty.
    std::wstring stableName;
    // False for a port-map link whose device is missing (the adapter is unplugged): the port
    // is listed, and opening it says so.
    bool connected = true;
};

// One reading of the system's table: the ports found, sorted by number, and why the kernel's
// part of the table could not be read when it could not.
struct SerialPortTable {
    std::vector<SerialPortInfo> ports;
    std::optional<KelWin::WindowsException> kernelTableFailure;
};

// The serial ports of the machine, read once from the system's table of serial devices
// (the kernel's tty classes, $KELCOMM_SYSFS_ROOT/class/tty, and the port map) and kept in
// one process-wide list sorted by port number. Called from one thread at a time.
class KELCOMM_EXPORT InstalledSerialPorts {
public:
    // Reads the table when the list is empty; no table throws KelWin::WindowsException. The
    // reference stays valid until the next refresh() or reading installedPorts().
    static const std::vector<SerialPortInfo>& installedPorts();
    // Empties the list, so that the next installedPorts() reads the table again.
    static void refresh();
    // Reads the table afresh, leaving the list alone. The port map's ports are listed even
    // when the kernel's table cannot be read; that failure comes back beside them, not thrown.
    static SerialPortTable readTable();
    // Always false: there is no test for a port held by another program.
    static bool portInUse(const std::wstring& name);

    // Folders whose entries come and go with the ports: the port map, the kernel's tty class
    // and the folder of device nodes (the kernel's tree tells no watcher of new devices).
    static std::vector<std::wstring> changeSources();
    // Links COMn in the port map to the port's stable name, so that the adapter keeps its
    // number in any socket; gives the link's path. The link holds the stable name's bytes as
    // the file system has them, whatever their encoding. A port without a stable name, or a name
    // the map already has, throws PortMapException; a link that cannot be made, the system's
    // text as KelWin::WindowsException.
    static std::wstring pinPort(const std::wstring& portName);
};

} // namespace KelComm::Serial
