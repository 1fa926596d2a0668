#pragma once

#include "baselib/Export.h"
#include "baselib/exceptions/BasicVerifier.h"

#include <boost/make_shared.hpp>
#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <pthread.h>

namespace Threading {

class Condition;

// A POSIX mutex, non-recursive unless made with other attributes. The lock calls are inline
// and their results are not examined: a failure there is a programming error, not a state.
class KELBASE_EXPORT Mutex : private BasicVerifier, private boost::noncopyable {
public:
    Mutex();
    // For the library's own special mutexes (the recursive static-initialisation mutex).
    explicit Mutex(const pthread_mutexattr_t& attributes);
    // Never throws: destroying a mutex that is still locked is a programming error.
    ~Mutex();

    void lock() { pthread_mutex_lock(&m_mutex); }
    void unlock() { pthread_mutex_unlock(&m_mutex); }

private:
    friend class Condition;

    void init(const pthread_mutexattr_t* attributes);

    pthread_mutex_t m_mutex;
};

// Many readers or one writer.
class KELBASE_EXPORT RWLock : private BasicVerifier, private boost::noncopyable {
public:
    RWLock();
    ~RWLock();

    void readLock() { pthread_rwlock_rdlock(&m_lock); }
    void writeLock() { pthread_rwlock_wrlock(&m_lock); }
    void unlock() { pthread_rwlock_unlock(&m_lock); }

private:
    pthread_rwlock_t m_lock;
};

// Holds a mutex for a scope, also while an exception passes.
class ScopedLock : private boost::noncopyable {
public:
    explicit ScopedLock(Mutex& mutex) : m_mutex(mutex) { m_mutex.lock(); }
    ~ScopedLock() { m_mutex.unlock(); }

private:
    Mutex& m_mutex;
};

class ScopedReadLock : private boost::noncopyable {
public:
    explicit ScopedReadLock(RWLock& lock) : m_lock(lock) { m_lock.readLock(); }
    ~ScopedReadLock() { m_lock.unlock(); }

private:
    RWLock& m_lock;
};

class ScopedWriteLock : private boost::noncopyable {
public:
    explicit ScopedWriteLock(RWLock& lock) : m_lock(lock) { m_lock.writeLock(); }
    ~ScopedWriteLock() { m_lock.unlock(); }

private:
    RWLock& m_lock;
};

inline boost::shared_ptr<Mutex> createSharedMutex()
{
    return boost::make_shared<Mutex>();
}

inline boost::shared_ptr<RWLock> createSharedRWLock()
{
    return boost::make_shared<RWLock>();
}

} // namespace Threading
