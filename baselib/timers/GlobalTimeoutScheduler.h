#pragma once

#include "baselib/Export.h"

#include <boost/noncopyable.hpp>

#include <memory>

namespace KelBase {

class Timer;
class TimeoutScheduler;

// The process-wide scheduler with a thread of its own. The thread starts with the first
// connection and ends with the last one; a later connection starts a new one.
class KELBASE_EXPORT GlobalTimeoutScheduler {
    // The running global scheduler: its thread and its TimeoutScheduler.
    class Impl;

public:
    GlobalTimeoutScheduler() = delete;

    // Connects a timer to the global scheduler for the lifetime of this object. The
    // destructor waits for a running callback of the timer (unless it runs inside that
    // callback), so that the timer does not fire again once the connection is gone. The last
    // connection also stops and joins the global thread, so it must not end inside a callback.
    class KELBASE_EXPORT ScopedConnection : private boost::noncopyable {
    public:
        // Throws TimerException when the timer is connected already, ThreadException when
        // the global thread cannot be started.
        explicit ScopedConnection(Timer& timer);
        ~ScopedConnection();

    private:
        std::shared_ptr<Impl> m_owner;
        Timer& m_timer;
        TimeoutScheduler& m_scheduler;
    };
};

} // namespace KelBase
