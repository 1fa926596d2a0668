#pragma once

#include "baselib/Export.h"
#include "baselib/exceptions/BasicVerifier.h"
#include "baselib/threading/Mutex.h"

#include <boost/make_shared.hpp>
#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <pthread.h>

namespace KelTime {
class Timeout;
}

namespace Threading {

// A POSIX condition variable; every wait takes a locked Mutex.
class KELBASE_EXPORT Condition : private BasicVerifier, private boost::noncopyable {
public:
    Condition();
    ~Condition();

    void wait(Mutex& mutex) { pthread_cond_wait(&m_condition, &mutex.m_mutex); }
    // False only when the deadline passed (at once for a passed or unknown one); an infinite
    // or unreachably far deadline waits without one. Like wait(), it may return true without
    // a wake-up, so callers re-check their predicate. A wait the system refuses throws
    // ConditionException.
    bool timedWait(Mutex& mutex, const KelTime::Timeout& timeout);
    void wakeOne() { pthread_cond_signal(&m_condition); }
    void wakeAll() { pthread_cond_broadcast(&m_condition); }

private:
    pthread_cond_t m_condition;
};

inline boost::shared_ptr<Condition> createSharedCondition()
{
    return boost::make_shared<Condition>();
}

} // namespace Threading
