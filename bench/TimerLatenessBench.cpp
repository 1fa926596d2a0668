// How late one-shot timers fire: timers on the global scheduler, each restarted from its
// own callback with a fresh random delay, against boost::asio::steady_timer on one
// io_context thread doing the same.
// Usage: timer_lateness_bench [timers] [firings]

#include "LatencyStats.h"

#include "baselib/time/Clock.h"
#include "baselib/time/DateTime.h"
#include "baselib/time/TimeDuration.h"
#include "baselib/time/Timeout.h"
#include "baselib/timers/GlobalTimeoutScheduler.h"
#include "baselib/timers/Timer.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr int defaultTimers = 100;
constexpr int defaultFirings = 5000;
constexpr int maxDelay_us = 20000;
constexpr double microsecondsPerDay = 8.64e10;

// The delays both sides use, and the lateness they measured.
class Plan {
public:
    explicit Plan(int firings) : m_left(firings) {}

    int nextDelay_us()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_delay(m_random);
    }
    // False once enough samples are in; the last one tells the waiting thread.
    bool record(double lateness_us)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_left == 0)
            return false;
        m_lateness_us.push_back(lateness_us);
        if (--m_left == 0)
            m_done.set_value();
        return m_left > 0;
    }
    void wait() { m_done.get_future().wait(); }
    LatencyStats stats()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return LatencyStats::of(m_lateness_us);
    }

private:
    std::mutex m_mutex;
    std::mt19937 m_random{7};
    std::uniform_int_distribution<int> m_delay{1000, maxDelay_us};
    int m_left;
    std::vector<double> m_lateness_us;
    std::promise<void> m_done;
};

class BenchTimer : public KelBase::Timer {
public:
    explicit BenchTimer(Plan& plan) : m_plan(plan) {}
    ~BenchTimer() = default;

    void arm()
    {
        m_due = KelTime::Clock::universalTime() +
                KelTime::TimeDuration(KelTime::Milliseconds(m_plan.nextDelay_us() / 1000.0));
        start(KelTime::Timeout::at(m_due));
    }

protected:
    void fire() override
    {
        // The scheduler waits for the due time as it stands; a clock reading carries the
        // DateTime precision once, which is not lateness.
        const KelTime::TimeDuration late =
            KelTime::Clock::universalTime() - m_due - KelTime::DateTime::precision();
        if (m_plan.record(late.days() * microsecondsPerDay))
            arm();
    }

private:
    Plan& m_plan;
    KelTime::DateTime m_due;
};

LatencyStats measureOurs(int timers, int firings)
{
    Plan plan(firings);
    std::vector<std::unique_ptr<BenchTimer>> all;
    std::vector<std::unique_ptr<KelBase::GlobalTimeoutScheduler::ScopedConnection>> connections;
    for (int i = 0; i < timers; ++i) {
        all.push_back(std::make_unique<BenchTimer>(plan));
        connections.push_back(std::make_unique<KelBase::GlobalTimeoutScheduler::ScopedConnection>(*all.back()));
    }
    for (auto& timer : all)
        timer->arm();
    plan.wait();
    connections.clear();
    return plan.stats();
}

LatencyStats measureAsio(int timers, int firings)
{
    using SteadyClock = std::chrono::steady_clock;
    Plan plan(firings);
    boost::asio::io_context context;
    std::vector<std::unique_ptr<boost::asio::steady_timer>> all;
    std::function<void(boost::asio::steady_timer&)> arm = [&](boost::asio::steady_timer& timer) {
        timer.expires_after(std::chrono::microseconds(plan.nextDelay_us()));
        timer.async_wait([&](const boost::system::error_code& error) {
            if (error)
                return;
            const double lateness_us =
                std::chrono::duration<double, std::micro>(SteadyClock::now() - timer.expiry()).count();
            if (plan.record(lateness_us))
                arm(timer);
        });
    };
    for (int i = 0; i < timers; ++i) {
        all.push_back(std::make_unique<boost::asio::steady_timer>(context));
        arm(*all.back());
    }
    std::thread runner([&] { context.run(); });
    plan.wait();
    context.stop();
    runner.join();
    return plan.stats();
}

void print(const char* name, const LatencyStats& stats)
{
    std::printf("%-18s p50 %8.1f us   p99 %8.1f us   max %9.1f us\n", name, stats.p50, stats.p99, stats.max);
}

} // namespace

int main(int argc, char** argv)
{
    const int timers = argc > 1 ? std::atoi(argv[1]) : defaultTimers;
    const int firings = argc > 2 ? std::atoi(argv[2]) : defaultFirings;

    const LatencyStats ours = measureOurs(timers, firings);
    const LatencyStats asio = measureAsio(timers, firings);
    std::printf("timer lateness, %d timers, %d firings each side, delays 1..%d ms\n", timers, firings,
                maxDelay_us / 1000);
    print("global scheduler", ours);
    print("asio steady_timer", asio);
    std::printf("ratio p99 %.2f   goal: p99 <= 1000 us late (%s)\n", ours.p99 / asio.p99,
                ours.p99 <= 1000 ? "met" : "missed");
    return 0;
}
