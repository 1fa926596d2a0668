#include "baselib/signals/DeferredDeleteBase.h"

#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/threading/Condition.h"
#include "baselib/threading/Mutex.h"
#include "baselib/threading/ProcessWide.h"

namespace KelBase::Internal {

namespace {

// One wait object for all released objects. Every release wakes every waiter, and each
// waiter looks at its own object's mark: a single wake-up could reach the waiter of another
// object and leave this one's waiters asleep.
struct ReleaseSignal {
    Threading::Mutex mutex;
    Threading::Condition condition;
};

ReleaseSignal& releaseSignal()
{
    static Threading::Internal::ProcessWide<ReleaseSignal> instance;
    return instance.get();
}

} // namespace

void DeferredDeleteBase::signalReleased()
{
    ReleaseSignal& signal = releaseSignal();
    bool waited = false;
    {
        // Under the mutex a waiter either has registered (and is woken below) or will find
        // the mark when it takes the mutex.
        const Threading::ScopedLock lock(signal.mutex);
        waited = m_waiters.fetch_add(0) != 0;
        m_released.fetch_add(1);
    }
    if (waited)
        signal.condition.wakeAll();
}

void DeferredDeleteBase::waitReleased()
{
    if (releasedComplete())
        return;
    ReleaseSignal& signal = releaseSignal();
    const Threading::ScopedLock lock(signal.mutex);
    m_waiters.fetch_add(1);
    while (!releasedComplete())
        signal.condition.wait(signal.mutex);
}

void DeferredDeleteBase::throwReleased() { throw ObjectReleasedException(NoExceptionMessage()); }

} // namespace KelBase::Internal
