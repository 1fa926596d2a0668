#include "baselib/threading/Condition.h"

#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/threading/Timespec.h"
#include "baselib/time/Timeout.h"

#include <cerrno>

namespace Threading {

Condition::Condition()
{
    if (const int code = pthread_cond_init(&m_condition, nullptr))
        throw ConditionException(errorCodeToMessage(code));
}

Condition::~Condition()
{
    pthread_cond_destroy(&m_condition);
}

bool Condition::timedWait(Mutex& mutex, const KelTime::Timeout& timeout)
{
    if (timeout.isInfinite()) {
        wait(mutex);
        return true;
    }
    const timespec deadline = Internal::timespecFromTimeout(timeout);
    return pthread_cond_timedwait(&m_condition, &mutex.m_mutex, &deadline) != ETIMEDOUT;
}

} // namespace Threading
