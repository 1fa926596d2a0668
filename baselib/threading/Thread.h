#pragma once

#include "baselib/Export.h"
#include "baselib/exceptions/BasicVerifier.h"

#include <pthread.h>

#include <memory>

namespace KelTime {
class Timeout;
}

namespace Threading {

class ActiveObject;

namespace Internal {
struct ThreadRecord;
}

// A handle of the POSIX thread that runs an active object. A copyable value, not an owner:
// destroying it neither joins nor detaches the thread.
class KELBASE_EXPORT Thread : private BasicVerifier {
public:
    // The null thread.
    Thread() = default;
    // Starts a new thread that runs the object's execute(). Throws ThreadException, or
    // ActiveObjectException when the object is running or finished and not reset since.
    explicit Thread(ActiveObject& object);

    // Waits for the object's execution to end and gives its result. The POSIX thread is
    // joined once, whichever handle of it asks first; later calls give the stored result.
    // Throws ThreadException "Thread is not joinable" for an idle object or the null thread.
    int join();
    // True once the thread's procedure has returned (or when there is no thread).
    bool isTerminated() const;

    explicit operator bool() const { return m_object != nullptr; }
    bool operator!() const { return m_object == nullptr; }
    bool operator==(const Thread& other) const { return pthread_equal(m_handle, other.m_handle) != 0; }
    bool operator!=(const Thread& other) const { return !(*this == other); }

    // The calling thread; converts to false unless it runs an active object.
    static Thread self();
    // The thread running the object, with a zero handle when it is not running.
    static Thread fromActiveObject(ActiveObject* object);
    static void yield();
    // Sleeps for the remaining time truncated to whole milliseconds; an infinite timeout
    // sleeps for good.
    static void sleep(KelTime::Timeout timeout);

private:
    Thread(ActiveObject* object, pthread_t handle, std::shared_ptr<Internal::ThreadRecord> record);

    static void* threadProcedure(void* argument);
    int joinRecord(Internal::ThreadRecord& record);

    ActiveObject* m_object = nullptr;
    pthread_t m_handle{};
    std::shared_ptr<Internal::ThreadRecord> m_record;
};

} // namespace Threading
