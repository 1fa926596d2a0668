#pragma once

#include "baselib/time/TimeDuration.h"
#include "comm/Export.h"

#include <chrono>
#include <optional>

namespace KelComm::Serial::Internal {

using SteadyClock = std::chrono::steady_clock;
// The end of a wait; none for a wait without limit.
using Deadline = std::optional<SteadyClock::time_point>;

// The deadline a duration from now; none for an infinite duration or one beyond any wait
// a program could see end.
Deadline deadlineAfter(KelTime::TimeDuration duration);

// Throws SerialPortSystemException with the system's text for a failed call on a line;
// SerialLineGoneException when the error says that the device or connection is gone.
[[noreturn]] void throwLineError(int error);

// Waits on a line's descriptors, one wake-up descriptor per direction beside them, so that
// an abort or a close ends a blocked wait from another thread.
class KELCOMM_EXPORT LineWaiter {
public:
    enum class Direction { Read, Write };
    enum class WaitResult { Ready, TimedOut, Woken };

    LineWaiter();
    LineWaiter(const LineWaiter&) = delete;
    LineWaiter& operator=(const LineWaiter&) = delete;
    ~LineWaiter();

    // Ready when the line descriptor shows one of the events or the ready descriptor (a
    // negative one is passed over) is readable; with no events, waits for the wake-up alone.
    // A line that hung up or failed with nothing left to take throws.
    WaitResult wait(Direction direction, int lineDescriptor, short events, int readyDescriptor,
                    const Deadline& deadline) const;

    // Called once as a transfer of that direction begins, so that only a later wake ends
    // its waits; never between them, where it would drop a wake that came meanwhile.
    void clearWake(Direction direction);
    void wake(Direction direction);
    // Wakes both directions and never fails: it is part of a close.
    void wakeAll() noexcept;

private:
    int wakeDescriptor(Direction direction) const;

    int m_readWake = -1;
    int m_writeWake = -1;
};

} // namespace KelComm::Serial::Internal
