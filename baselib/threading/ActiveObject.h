#pragma once

#include "baselib/Export.h"

#include <boost/noncopyable.hpp>

#include <atomic>

namespace Threading {

class Thread;

// A unit of work with a cancellable life cycle, run on a thread of its own by Thread.
// Idle -> starting (a Thread is made) -> running -> finished; cancel() asks a running
// execute() to stop, reset() makes a finished object runnable again.
class KELBASE_EXPORT ActiveObject : private boost::noncopyable {
public:
    ActiveObject() = default;

    // Waits while the object's thread is still starting, then asks execute() to stop and
    // calls executionCancelled(). A finished object stays finished.
    void cancel();
    // Only when finished: reinitialize(), then idle again. Throws ActiveObjectException
    // otherwise.
    void reset();

protected:
    // Not virtual: an active object is never deleted through this base.
    ~ActiveObject() = default;

    // True when cancellation was requested; throws ActiveObjectException once finished.
    bool isCancelled() const;

    virtual int execute() = 0;
    virtual void executionCancelled();
    // Called by reset(); by default an object cannot be run twice.
    virtual void reinitialize();

private:
    friend class Thread;

    enum State { Idle = 0, Starting = 1, Running = 2, CancelRequested = 3, Finished = 4 };

    // Reads are read-modify-writes so that they order with the writes of other threads.
    int state() const { return m_state.fetch_add(0); }
    // False when a Thread has taken the object since it was made or last reset: it is
    // running or finished, and one execute() at a time, once per reset, is all it allows.
    bool start();
    // The thread could not be made: the object never left idle.
    void abandonStart();
    int result() const { return m_result.load(); }
    // Runs execute() on the object's thread; reports a std::exception that escapes it.
    int doExecute();

    mutable std::atomic<int> m_state{Idle};
    // Set by start(), cleared by reset(); the state alone cannot tell an idle object that was
    // cancelled from a running one that was.
    std::atomic<bool> m_taken{false};
    std::atomic<int> m_result{-1};
};

} // namespace Threading
