#pragma once

#include "baselib/Export.h"

#include <ctime>

namespace KelTime {
class Timeout;
}

namespace Threading::Internal {

// The absolute UTC deadline (CLOCK_REALTIME) that timed POSIX waits take. For finite
// timeouts only: callers wait without a deadline when the timeout is infinite.
KELBASE_EXPORT timespec timespecFromTimeout(const KelTime::Timeout& timeout);

} // namespace Threading::Internal
