#pragma once

#include "baselib/exceptions/Exception.h"

#include <QString>

#include <string>

namespace VPanel::Host {

KEL_DECLARE_EXCEPTION(DeviceSpecException, KelBase::RuntimeException, );

// One device a host keeps, as a user names it.
struct DeviceSpec {
    std::string name;
    std::string port; // COMn, as the port opener takes it
    int address = 1;
    int baudRate = 9600;
};

// The longest name: it stands in a URL path and an MQTT topic level.
inline constexpr int maxDeviceNameLength = 32;

// "NAME=PORT,ADDRESS,BAUD": NAME of 1..32 letters, digits, '_', '.' and '-'; PORT a port name
// COMn (the port map makes it a device node or a network line); ADDRESS 1..249; BAUD one of
// the panel's rates. Throws DeviceSpecException saying what was wrong and what is expected.
DeviceSpec parseDeviceSpec(const QString& text);

} // namespace VPanel::Host
