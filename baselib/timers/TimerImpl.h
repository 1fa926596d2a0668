#pragma once

#include "baselib/time/DateTime.h"
#include "baselib/time/TimeDuration.h"
#include "baselib/timers/Timer.h"

#include <atomic>
#include <cstdint>

namespace KelBase {

// The timer's state. Everything but `scheduler` is guarded by the mutex of that scheduler.
struct Timer::Impl {
    // Set and cleared by the scheduler's connections; read by start() without a lock.
    std::atomic<TimeoutScheduler*> scheduler{nullptr};
    bool periodic = false;
    KelTime::TimeDuration period;
    KelTime::DateTime due;
    // Changes with every start and stop, so that a firing can tell that its callback (or
    // another thread) rescheduled the timer meanwhile.
    std::uint64_t generation = 0;
    // The pass of doEvents() that last fired the timer.
    std::uint64_t firedInPass = 0;
};

} // namespace KelBase
