#pragma once

#include "comm/Export.h"
#include "comm/serial/PortMap.h"

#include <string>

namespace KelComm::Serial::Internal {

// A device server hands its line to whoever connects, and may drop the older client for
// the newer one: a lock file named after the server's address keeps the line to one open
// at a time among this user's programs, as the lock on a device node does for local lines.
// It lives in $XDG_RUNTIME_DIR, else in a folder of the user's own under /tmp.
KELCOMM_EXPORT std::string serverLockPath(const NetworkAddress& address);

// The lock file's descriptor, locked; -1 with errno set when another open holds the line
// (EWOULDBLOCK) or the file cannot be had.
int lockServerLine(const NetworkAddress& address);

} // namespace KelComm::Serial::Internal
