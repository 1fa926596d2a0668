#pragma once

#include "baselib/Export.h"
#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/time/TimeDuration.h"
#include "baselib/time/Timeout.h"

#include <boost/noncopyable.hpp>

#include <memory>

namespace KelBase {

// Misuse of a timer: starting one that is not connected, connecting one twice.
KEL_DECLARE_EXCEPTION(TimerException, RuntimeException, KELBASE_EXPORT);

class TimeoutScheduler;

// One callback, fired on the thread of the scheduler the timer is connected to (see
// TimeoutScheduler::ScopedConnection and GlobalTimeoutScheduler::ScopedConnection). The
// connection must end before the timer is destroyed: declare it after the timer.
class KELBASE_EXPORT Timer : private boost::noncopyable {
public:
    // Fires once at the timeout's end; replaces any earlier schedule of this timer. An end
    // that is not a number counts as passed: the timer is due at once. Throws TimerException
    // when the timer is not connected.
    void start(KelTime::Timeout due);
    // Fires at `first`, then every `period` counted from the previous due time (a late timer
    // catches up once per missed period). An infinite period means start(first); a period
    // that is not a number throws TimerException.
    void start(KelTime::Timeout first, KelTime::TimeDuration period);
    // Removes the timer's schedule without waiting for a callback that runs now; nothing
    // happens for a timer that is not connected. The callback itself may call it.
    void stop();

protected:
    Timer();
    // Not virtual: a derived timer is destroyed through its own type.
    ~Timer();

    // On the scheduler's thread, without the scheduler's lock: it may start or stop any
    // timer, itself included. A std::exception thrown here is reported and dropped.
    virtual void fire() = 0;

private:
    friend class TimeoutScheduler;
    struct Impl;

    TimeoutScheduler& connectedScheduler(const char* signature) const;

    std::unique_ptr<Impl> m_impl;
};

} // namespace KelBase
