#pragma once

#include "baselib/Export.h"

#include <chrono>
#include <ctime>

namespace KelTime {

// A wait of this length in the relative form ppoll() and its kin take. A duration already
// past waits not at all.
KELBASE_EXPORT timespec relativeTimespec(std::chrono::nanoseconds duration);

} // namespace KelTime
