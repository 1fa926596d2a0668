#pragma once

#include "baselib/Export.h"

#include <ctime>

namespace KelTime {
class Timeout;
}

namespace Threading::Internal {

// How a timed POSIX wait is to treat a deadline.
struct WaitDeadline {
    enum Kind {
        // Passed or unknown (-inf, NaN, the indeterminate instant, before 1970): no wait.
        Passed,
        // Wait until `at`.
        At,
        // +inf, or too far for time_t: wait without a deadline.
        Never,
    };
    Kind kind = Passed;
    timespec at{};
};

KELBASE_EXPORT WaitDeadline waitDeadline(const KelTime::Timeout& timeout);

// The absolute UTC deadline (CLOCK_REALTIME) that timed POSIX waits take. Defined for every
// timeout: a passed or unknown one gives the origin, one beyond time_t the largest time_t.
// Callers wait without a deadline when waitDeadline() says Never.
KELBASE_EXPORT timespec timespecFromTimeout(const KelTime::Timeout& timeout);

} // namespace Threading::Internal
