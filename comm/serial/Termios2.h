#pragma once

#include "comm/Export.h"

// Any baud rate through the kernel's second termios record. Its header clashes with
// <termios.h>, so it is reached only through these functions.
namespace KelComm::Serial::Internal {

// Sets both directions of the line to the given rate, leaving the rest of the record.
// Gives 0 or the errno of the failed request.
KELCOMM_EXPORT int setArbitraryBaudRate(int fd, unsigned long baudRate);

// The output rate the driver reports, or 0 when it cannot say (errno is then set).
KELCOMM_EXPORT unsigned long readBaudRate(int fd);

} // namespace KelComm::Serial::Internal
