#include "baselib/timers/Timer.h"

#include "baselib/timers/TimeoutScheduler.h"
#include "baselib/timers/TimerImpl.h"

#include <cstring>
#include <string>

namespace KelBase {

Timer::Timer() : m_impl(std::make_unique<Impl>()) {}

Timer::~Timer() = default;

TimeoutScheduler& Timer::connectedScheduler(const char* signature) const
{
    TimeoutScheduler* const scheduler = m_impl->scheduler.load();
    if (!scheduler)
        throw TimerException(std::wstring(signature, signature + std::strlen(signature)) +
                             L" not valid in this state");
    return *scheduler;
}

void Timer::start(KelTime::Timeout due)
{
    connectedScheduler(__PRETTY_FUNCTION__).schedule(*this, due.end(), false, KelTime::TimeDuration());
}

void Timer::start(KelTime::Timeout first, KelTime::TimeDuration period)
{
    if (period.isInfinite()) {
        start(first);
        return;
    }
    connectedScheduler(__PRETTY_FUNCTION__).schedule(*this, first.end(), true, period);
}

void Timer::stop()
{
    if (TimeoutScheduler* const scheduler = m_impl->scheduler.load())
        scheduler->unschedule(*this);
}

} // namespace KelBase
