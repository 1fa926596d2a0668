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
    const Internal::WaitDeadline deadline = Internal::waitDeadline(timeout);
    switch (deadline.kind) {
    case Internal::WaitDeadline::Passed:
        return false;
    case Internal::WaitDeadline::Never:
        wait(mutex);
        return true;
    case Internal::WaitDeadline::At:
        break;
    }
    const int code = pthread_cond_timedwait(&m_condition, &mutex.m_mutex, &deadline.at);
    if (code == ETIMEDOUT)
        return false;
    // A refused wait did not wait: taken for a wake-up it would make its caller spin.
    if (code != 0)
        throw ConditionException(errorCodeToMessage(code));
    return true;
}

} // namespace Threading
