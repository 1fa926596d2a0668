#include "baselib/timers/GlobalTimeoutScheduler.h"

#include "baselib/threading/ActiveObject.h"
#include "baselib/threading/Mutex.h"
#include "baselib/threading/Semaphore.h"
#include "baselib/threading/Thread.h"
#include "baselib/timers/TimeoutScheduler.h"

#include <sys/prctl.h>

namespace KelBase {

namespace {
// 0 would mean "back to the default".
constexpr unsigned long minimalTimerSlack_ns = 1;
} // namespace

class GlobalTimeoutScheduler::Impl final : public Threading::ActiveObject {
public:
    // Returns once the thread runs, so that stopping it never waits for a start.
    Impl() : m_thread(*this) { m_running.wait(); }
    ~Impl()
    {
        cancel();
        m_thread.join();
    }

    TimeoutScheduler& scheduler() { return m_scheduler; }

    // The running global scheduler, started when there is none.
    static std::shared_ptr<Impl> acquire();

protected:
    int execute() override
    {
        // This thread's timed waits end at due times: the kernel's default slack of 50 us
        // for them would only make every timer late.
        prctl(PR_SET_TIMERSLACK, minimalTimerSlack_ns);
        m_running.post();
        if (isCancelled())
            return 0;
        do {
            if (m_scheduler.waitForTimeEvent())
                m_scheduler.doEvents();
        } while (!isCancelled());
        return 0;
    }

    void executionCancelled() override { m_scheduler.abortWaiting(); }

private:
    TimeoutScheduler m_scheduler;
    Threading::Semaphore m_running;
    Threading::Thread m_thread;
};

std::shared_ptr<GlobalTimeoutScheduler::Impl> GlobalTimeoutScheduler::Impl::acquire()
{
    struct GlobalState {
        Threading::Mutex mutex;
        std::weak_ptr<Impl> current;
    };
    // Never destroyed: connections held by static objects may still end during process exit.
    static GlobalState& state = *new GlobalState;

    const Threading::ScopedLock lock(state.mutex);
    std::shared_ptr<Impl> impl = state.current.lock();
    if (!impl) {
        impl = std::make_shared<Impl>();
        state.current = impl;
    }
    return impl;
}

GlobalTimeoutScheduler::ScopedConnection::ScopedConnection(Timer& timer)
    : m_owner(Impl::acquire()), m_timer(timer), m_scheduler(m_owner->scheduler())
{
    m_scheduler.addTimer(&m_timer);
}

GlobalTimeoutScheduler::ScopedConnection::~ScopedConnection()
{
    m_scheduler.removeTimer(&m_timer);
    // The last reference stops and joins the global thread.
}

} // namespace KelBase
