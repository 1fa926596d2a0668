#include "TimerTestSupport.h"

#include "baselib/timers/GlobalTimeoutScheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <thread>
#include <vector>

using namespace TimerTestSupport;
using KelBase::GlobalTimeoutScheduler;
using KelTime::Timeout;

namespace {

constexpr int timerCount = 1000;
constexpr int periodicEvery = 10; // every tenth timer is periodic
constexpr int driverCount = 4;
constexpr auto driveTime = std::chrono::milliseconds(1500);

// Checks in its own callback that it fires no more often than it was started, and never
// once its connection has ended.
class CheckedTimer : public KelBase::Timer {
public:
    explicit CheckedTimer(std::atomic<int>& violations) : m_violations(violations) {}

    std::atomic<int> starts{0};
    std::atomic<int> fires{0};
    std::atomic<bool> disconnected{false};
    bool periodic = false;

protected:
    void fire() override
    {
        const int count = ++fires;
        if (disconnected || (!periodic && count > starts))
            ++m_violations;
    }

private:
    std::atomic<int>& m_violations;
};

TEST(TimerStressTest, ManyThreadsStartRestartAndStopWhileTheGlobalSchedulerFires)
{
    std::atomic<int> violations{0};
    std::vector<std::unique_ptr<CheckedTimer>> timers;
    std::vector<std::unique_ptr<GlobalTimeoutScheduler::ScopedConnection>> connections;
    for (int i = 0; i < timerCount; ++i) {
        timers.push_back(std::make_unique<CheckedTimer>(violations));
        timers.back()->periodic = i % periodicEvery == 0;
        connections.push_back(std::make_unique<GlobalTimeoutScheduler::ScopedConnection>(*timers.back()));
    }

    std::vector<std::thread> drivers;
    for (int d = 0; d < driverCount; ++d)
        drivers.emplace_back([&, d] {
            std::mt19937 random(static_cast<unsigned>(d + 1));
            std::uniform_int_distribution<int> pick(0, timerCount - 1), action(0, 3), delay_us(0, 3000);
            const auto end = std::chrono::steady_clock::now() + driveTime;
            while (std::chrono::steady_clock::now() < end) {
                CheckedTimer& timer = *timers[static_cast<std::size_t>(pick(random))];
                const Timeout due(ms(delay_us(random) / 1000.0));
                if (action(random) == 0) {
                    timer.stop();
                } else if (timer.periodic) {
                    timer.start(due, ms(1 + delay_us(random) / 1000.0));
                } else {
                    ++timer.starts; // counted first: a firing never precedes its start's count
                    timer.start(due);
                }
                std::this_thread::sleep_for(std::chrono::microseconds(20));
            }
        });
    for (auto& driver : drivers)
        driver.join();

    // Disconnect while the periodic ones still fire.
    for (int i = 0; i < timerCount; ++i) {
        connections[static_cast<std::size_t>(i)].reset();
        timers[static_cast<std::size_t>(i)]->disconnected = true;
    }
    int fires = 0;
    for (const auto& timer : timers)
        fires += timer->fires;
    EXPECT_EQ(violations, 0);
    EXPECT_GT(fires, timerCount) << "the scheduler kept firing";
}

} // namespace
