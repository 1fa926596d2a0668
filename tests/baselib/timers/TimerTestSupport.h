#pragma once

#include "baselib/time/Clock.h"
#include "baselib/time/DateTime.h"
#include "baselib/time/TimeDuration.h"
#include "baselib/time/Timeout.h"
#include "baselib/timers/TimeoutScheduler.h"
#include "baselib/timers/Timer.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iterator>
#include <thread>
#include <utility>

namespace TimerTestSupport {

inline KelTime::TimeDuration ms(double count) { return KelTime::TimeDuration(KelTime::Milliseconds(count)); }
inline KelTime::DateTime now() { return KelTime::Clock::universalTime(); }

// Counts its firings and runs an optional action in each.
class CallbackTimer : public KelBase::Timer {
public:
    explicit CallbackTimer(std::function<void()> action = {}) : action(std::move(action)) {}

    std::function<void()> action;
    std::atomic<int> fires{0};

protected:
    void fire() override
    {
        ++fires;
        if (action)
            action();
    }
};

// Runs the scheduler's loop on the calling thread until `end`.
inline void drive(KelBase::TimeoutScheduler& scheduler, KelTime::DateTime end)
{
    while (now() < end)
        if (scheduler.waitForTimeEvent(KelTime::Timeout::at(end)))
            scheduler.doEvents();
}

// Threads of this process, the kernel's count.
inline std::size_t threadCount()
{
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

// Threads of this process before a test starts its own. A thread is made first, so that
// helper threads that a sanitizer starts with the first new thread are counted as well.
inline std::size_t baselineThreadCount()
{
    std::thread([] {}).join();
    return threadCount();
}

// The condition became true within the limit.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::milliseconds(5000))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

} // namespace TimerTestSupport
