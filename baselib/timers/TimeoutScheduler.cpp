#include "baselib/timers/TimeoutScheduler.h"

#include "baselib/platform/Console.h"
#include "baselib/threading/Condition.h"
#include "baselib/threading/Mutex.h"
#include "baselib/time/Clock.h"
#include "baselib/timers/TimerImpl.h"

#include <boost/core/demangle.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <typeinfo>
#include <vector>

namespace KelBase {

using KelTime::DateTime;
using KelTime::TimeDuration;
using KelTime::Timeout;
using Threading::ScopedLock;

namespace {

// Bounds one doEvents() call: each pass fires a timer at most once, so a timer that keeps
// being due (a late periodic one, or one restarted into the past) cannot hold the thread.
constexpr int maxPassesPerCall = 258;

std::wstring wideText(const char* text) { return std::wstring(text, text + std::strlen(text)); }

} // namespace

class TimeoutScheduler::Impl {
public:
    struct Entry {
        DateTime due;
        Timer* timer = nullptr;
    };

    // Equal due times keep the order of their starts.
    void insert(Timer& timer, DateTime due)
    {
        const auto position = std::upper_bound(schedule.begin(), schedule.end(), due,
                                               [](DateTime value, const Entry& entry) { return value < entry.due; });
        schedule.insert(position, Entry{due, &timer});
    }

    void erase(const Timer& timer)
    {
        schedule.erase(std::remove_if(schedule.begin(), schedule.end(),
                                      [&timer](const Entry& entry) { return entry.timer == &timer; }),
                       schedule.end());
    }

    // Marks a timer as running and releases the lock for its callback; retakes the lock,
    // clears the mark and wakes disconnections waiting for it, also when an exception passes.
    class FiringScope {
    public:
        FiringScope(Impl& impl, Timer& timer) : m_impl(impl)
        {
            m_impl.running = &timer;
            m_impl.runningThread = std::this_thread::get_id();
            m_impl.runningRemoved = false;
            m_impl.mutex.unlock();
        }
        ~FiringScope()
        {
            m_impl.mutex.lock();
            m_impl.running = nullptr;
            m_impl.condition.wakeAll();
        }
        FiringScope(const FiringScope&) = delete;
        FiringScope& operator=(const FiringScope&) = delete;

    private:
        Impl& m_impl;
    };

    Threading::Mutex mutex;
    Threading::Condition condition;
    std::vector<Entry> schedule;
    bool abortRequested = false;
    // The timer whose callback runs now, and on which thread.
    Timer* running = nullptr;
    std::thread::id runningThread;
    // The running timer was disconnected from inside its own callback: it may be gone.
    bool runningRemoved = false;
    std::uint64_t passSerial = 0;
};

TimeoutScheduler::TimeoutScheduler() : m_impl(std::make_unique<Impl>()) {}

TimeoutScheduler::~TimeoutScheduler() = default;

bool TimeoutScheduler::waitForTimeEvent() { return waitForTimeEvent(Timeout::infinite()); }

bool TimeoutScheduler::waitForTimeEvent(Timeout deadline)
{
    const ScopedLock lock(m_impl->mutex);
    for (;;) {
        if (m_impl->abortRequested) {
            m_impl->abortRequested = false;
            return false;
        }
        if (!m_impl->schedule.empty()) {
            const DateTime next = m_impl->schedule.front().due;
            const bool timerFirst = next < deadline.end();
            if (!m_impl->condition.timedWait(m_impl->mutex, timerFirst ? Timeout::at(next) : deadline))
                return timerFirst;
            continue;
        }
        KelConsole::writeTraceLine(L"KelBase::TimeoutScheduler::waitForTimeEvent - Нет таймеров. Ожидание...");
        const bool woken = m_impl->condition.timedWait(m_impl->mutex, deadline);
        KelConsole::writeTraceLine(L"KelBase::TimeoutScheduler::waitForTimeEvent - Конец ожидания...");
        if (!woken)
            return false;
    }
}

void TimeoutScheduler::doEvents()
{
    // Not a static string: the global timer thread may still run while statics are destroyed.
    const char* const signature = __PRETTY_FUNCTION__;
    const ScopedLock lock(m_impl->mutex);
    const DateTime now = KelTime::Clock::universalTime();
    for (int pass = 0; pass < maxPassesPerCall; ++pass) {
        const std::uint64_t serial = ++m_impl->passSerial;
        bool fired = false;
        while (!m_impl->schedule.empty() && m_impl->schedule.front().due <= now) {
            Timer& timer = *m_impl->schedule.front().timer;
            Timer::Impl& state = *timer.m_impl;
            // Its next period is for the next pass, so that timers keep the order of due times.
            if (state.firedInPass == serial)
                break;
            state.firedInPass = serial;
            m_impl->schedule.erase(m_impl->schedule.begin());
            const std::uint64_t generation = state.generation;
            {
                const Impl::FiringScope firing(*m_impl, timer);
                try {
                    timer.fire();
                } catch (const std::exception& error) {
                    KelConsole::writeErrorReport(wideText(signature) + L": Необработанное исключение во время исполнения\n(" +
                                                 exceptionMessage(error) + L")\nТаймер " +
                                                 wideText(boost::core::demangle(typeid(timer).name()).c_str()));
                }
            }
            fired = true;
            // Not when the callback or another thread restarted, stopped or disconnected it.
            if (!m_impl->runningRemoved && state.periodic && state.generation == generation) {
                state.due += state.period; // the sum carries the DateTime precision once more
                m_impl->insert(timer, state.due);
            }
        }
        if (!fired)
            break;
    }
}

void TimeoutScheduler::abortWaiting()
{
    const ScopedLock lock(m_impl->mutex);
    KelConsole::writeTraceLine(L"KelBase::TimeoutScheduler::abortWaiting");
    m_impl->abortRequested = true;
    // All: disconnections waiting for a callback share the condition.
    m_impl->condition.wakeAll();
}

void TimeoutScheduler::addTimer(Timer* timer)
{
    const ScopedLock lock(m_impl->mutex);
    Timer::Impl& state = *timer->m_impl;
    if (state.scheduler.load())
        throw TimerException(wideText(__PRETTY_FUNCTION__) + L" not valid in this state");
    state.firedInPass = 0;
    state.scheduler.store(this);
}

void TimeoutScheduler::removeTimer(Timer* timer)
{
    const ScopedLock lock(m_impl->mutex);
    Timer::Impl& state = *timer->m_impl;
    if (state.scheduler.load() != this)
        return;
    m_impl->erase(*timer);
    ++state.generation; // a callback running now does not reschedule it
    if (m_impl->running == timer) {
        if (m_impl->runningThread == std::this_thread::get_id())
            m_impl->runningRemoved = true; // from its own callback: waiting would never end
        else
            while (m_impl->running == timer)
                m_impl->condition.wait(m_impl->mutex);
    }
    m_impl->erase(*timer); // started again by that callback
    state.scheduler.store(nullptr);
}

void TimeoutScheduler::schedule(Timer& timer, DateTime due, bool periodic, TimeDuration period)
{
    const ScopedLock lock(m_impl->mutex);
    Timer::Impl& state = *timer.m_impl;
    if (state.scheduler.load() != this || std::isnan(period.days()))
        throw TimerException(wideText(__PRETTY_FUNCTION__) + L" not valid in this state");
    // A NaN due time orders with nothing and would hold every later timer behind it. Such
    // a deadline counts as passed (see Timeout::isExpired): the timer is due now.
    if (std::isnan(due.days()))
        due = KelTime::Clock::universalTime();
    m_impl->erase(timer);
    state.periodic = periodic;
    state.period = period;
    state.due = due;
    ++state.generation;
    m_impl->insert(timer, due);
    m_impl->condition.wakeAll();
}

void TimeoutScheduler::unschedule(Timer& timer)
{
    const ScopedLock lock(m_impl->mutex);
    Timer::Impl& state = *timer.m_impl;
    if (state.scheduler.load() != this)
        return;
    m_impl->erase(timer);
    ++state.generation;
    m_impl->condition.wakeAll();
}

TimeoutScheduler::ScopedConnection::ScopedConnection(TimeoutScheduler& scheduler, Timer& timer)
    : m_scheduler(scheduler), m_timer(timer)
{
    m_scheduler.addTimer(&m_timer);
}

TimeoutScheduler::ScopedConnection::~ScopedConnection() { m_scheduler.removeTimer(&m_timer); }

} // namespace KelBase
