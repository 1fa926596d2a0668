#pragma once

#include "baselib/exceptions/Exception.h"
#include "comm/Export.h"

namespace KelComm::Serial {
KEL_DECLARE_EXCEPTION(SerialException, KelBase::RuntimeException, KELCOMM_EXPORT);
KEL_DECLARE_EXCEPTION(CommSettingsException, SerialException, KELCOMM_EXPORT);
KEL_DECLARE_EXCEPTION(SerialPortException, SerialException, KELCOMM_EXPORT);
KEL_DECLARE_EXCEPTION(InvalidSerialPortNameException, SerialPortException, KELCOMM_EXPORT);
KEL_DECLARE_EXCEPTION(SerialPortSystemException, SerialPortException, KELCOMM_EXPORT);
// The device went away under an open line (an adapter pulled out, the other side of a
// pseudo-terminal closed); the message is the system's text.
KEL_DECLARE_EXCEPTION(SerialLineGoneException, SerialPortSystemException, KELCOMM_EXPORT);
// A change of the port map that cannot be made as asked.
KEL_DECLARE_EXCEPTION(PortMapException, SerialException, KELCOMM_EXPORT);
} // namespace KelComm::Serial

namespace KelWin {
// A system call outside the port failed (reading the table of installed ports).
KEL_DECLARE_EXCEPTION(WindowsException, KelBase::RuntimeException, KELCOMM_EXPORT);
// Making or signalling one of the port's wake-up objects failed.
KEL_DECLARE_EXCEPTION(EventException, WindowsException, KELCOMM_EXPORT);
} // namespace KelWin
