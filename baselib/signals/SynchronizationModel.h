#pragma once

#include "baselib/Export.h"
#include "baselib/threading/Mutex.h"

#include <typeinfo>

// How a signal subject guards its observer list. A model gives ReadLock<Host> and
// WriteLock<Host>, scope objects that a subject of class Host holds while it raises
// (read) or while an observer connects or disconnects (write).
namespace Threading::SynchronizationModel {

// No locking: the subject and its observers live in one thread.
struct Single {
    template <class Host>
    class ReadLock {
    public:
        // User-provided, so that a held scope object is not reported as unused.
        ReadLock() {}
        ~ReadLock() {}
        ReadLock(const ReadLock&) = delete;
        ReadLock& operator=(const ReadLock&) = delete;
    };
    template <class Host>
    using WriteLock = ReadLock<Host>;

    template <class Host>
    static void prepare()
    {
    }
};

// Many threads, guarded by a lock of type Lock.
template <class Lock>
struct Multiple {
    using LockType = Lock;
};

// One lock shared by every object of the host class.
template <class Model>
struct ClassScope;

namespace Internal {
// The process-wide lock of a host class, made on first use and never destroyed.
// Keyed by the type's name so that every library and program of the process gets the same
// lock, although each holds its own copy of the templates.
KELBASE_EXPORT RWLock& classRWLock(const std::type_info& host);
} // namespace Internal

template <>
struct ClassScope<Multiple<RWLock>> {
    template <class Host>
    static RWLock& lock()
    {
        static RWLock& instance = Internal::classRWLock(typeid(Host));
        return instance;
    }

    template <class Host>
    class ReadLock : public ScopedReadLock {
    public:
        ReadLock() : ScopedReadLock(lock<Host>()) {}
    };

    template <class Host>
    class WriteLock : public ScopedWriteLock {
    public:
        WriteLock() : ScopedWriteLock(lock<Host>()) {}
    };

    // Makes the class lock before the first host object is complete, so that the lock
    // outlives every host object, static ones included.
    template <class Host>
    static void prepare()
    {
        lock<Host>();
    }
};

} // namespace Threading::SynchronizationModel
