#pragma once

#include "comm/Export.h"

#include <cstdint>
#include <string>

namespace KelComm::Serial::Internal {

// The port number of a name "COMx" (letters in any case, then decimal digits only); an
// empty name and COM0 give 0, no name. A name of another form throws
// InvalidSerialPortNameException; digits that do not make a 16-bit number, or none at all,
// throw the base library's NonConvertibleException.
KELCOMM_EXPORT std::uint16_t parsePortName(const std::wstring& name);

// "COM%u", or an empty string for 0.
KELCOMM_EXPORT std::wstring portDisplayName(std::uint16_t number);

} // namespace KelComm::Serial::Internal
