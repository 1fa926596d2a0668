#include "baselib/threading/Mutex.h"

#include "baselib/exceptions/ExceptionTree.h"

namespace Threading {

Mutex::Mutex()
{
    init(nullptr);
}

Mutex::Mutex(const pthread_mutexattr_t& attributes)
{
    init(&attributes);
}

void Mutex::init(const pthread_mutexattr_t* attributes)
{
    if (const int code = pthread_mutex_init(&m_mutex, attributes))
        throw MutexException(errorCodeToMessage(code));
}

Mutex::~Mutex()
{
    pthread_mutex_destroy(&m_mutex);
}

RWLock::RWLock()
{
    if (const int code = pthread_rwlock_init(&m_lock, nullptr))
        throw RWLockException(errorCodeToMessage(code));
}

RWLock::~RWLock()
{
    pthread_rwlock_destroy(&m_lock);
}

} // namespace Threading
