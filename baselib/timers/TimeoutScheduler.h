#pragma once

#include "baselib/Export.h"
#include "baselib/time/DateTime.h"
#include "baselib/time/TimeDuration.h"
#include "baselib/time/Timeout.h"

#include <boost/noncopyable.hpp>

#include <memory>

namespace KelBase {

class Timer;

// Keeps the started timers of its connections in order of due time and fires the due ones
// on the thread that calls doEvents(), typically in a loop with waitForTimeEvent().
class KELBASE_EXPORT TimeoutScheduler : private boost::noncopyable {
public:
    // Connects a timer to a scheduler for the lifetime of this object. The destructor
    // removes the timer's schedule and waits for a callback of it that runs on another
    // thread, so that the timer does not fire again once it returns.
    class KELBASE_EXPORT ScopedConnection : private boost::noncopyable {
    public:
        // Throws TimerException when the timer is connected already.
        ScopedConnection(TimeoutScheduler& scheduler, Timer& timer);
        ~ScopedConnection();

    private:
        TimeoutScheduler& m_scheduler;
        Timer& m_timer;
    };

    TimeoutScheduler();
    // No connection may outlive the scheduler.
    ~TimeoutScheduler();

    // Blocks until a timer is due (true), or until the deadline passes or abortWaiting() is
    // called (false). A timer due exactly at the deadline gives false.
    bool waitForTimeEvent();
    bool waitForTimeEvent(KelTime::Timeout deadline);
    // Fires every due timer, in order of due time, equal ones in the order of their starts.
    void doEvents();
    // Makes the current, or else the next, waitForTimeEvent() return false.
    void abortWaiting();

private:
    friend class Timer;
    friend class GlobalTimeoutScheduler;
    class Impl;

    void addTimer(Timer* timer);
    void removeTimer(Timer* timer);
    void schedule(Timer& timer, KelTime::DateTime due, bool periodic, KelTime::TimeDuration period);
    void unschedule(Timer& timer);

    std::unique_ptr<Impl> m_impl;
};

} // namespace KelBase
