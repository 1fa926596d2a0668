#include "TimerTestSupport.h"

#include "baselib/timers/GlobalTimeoutScheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using namespace TimerTestSupport;
using KelBase::GlobalTimeoutScheduler;
using KelTime::Timeout;

namespace {

constexpr int connectionRounds = 100;

TEST(GlobalTimeoutSchedulerTest, ThreadLivesExactlyWhileConnectionsHoldIt)
{
    const std::size_t before = baselineThreadCount();
    std::atomic<std::thread::id> firedOn{};
    CallbackTimer first([&] { firedOn = std::this_thread::get_id(); }), second;
    auto firstConnection = std::make_unique<GlobalTimeoutScheduler::ScopedConnection>(first);
    EXPECT_EQ(threadCount(), before + 1);
    auto secondConnection = std::make_unique<GlobalTimeoutScheduler::ScopedConnection>(second);
    EXPECT_EQ(threadCount(), before + 1) << "connections share one thread";

    first.start(Timeout(ms(1)));
    ASSERT_TRUE(waitUntil([&] { return first.fires.load() == 1; }));
    EXPECT_NE(firedOn.load(), std::this_thread::get_id());

    firstConnection.reset();
    EXPECT_EQ(threadCount(), before + 1);
    second.start(Timeout(ms(1)));
    EXPECT_TRUE(waitUntil([&] { return second.fires.load() == 1; })) << "the thread still serves the others";
    secondConnection.reset();
    EXPECT_TRUE(waitUntil([&] { return threadCount() == before; })) << "the last connection stops it";
}

TEST(GlobalTimeoutSchedulerTest, ConnectionsMadeAndDroppedInALoop)
{
    const std::size_t before = baselineThreadCount();
    for (int round = 0; round < connectionRounds; ++round) {
        {
            CallbackTimer timer;
            const GlobalTimeoutScheduler::ScopedConnection connection(timer);
            ASSERT_EQ(threadCount(), before + 1) << round;
            timer.start(Timeout(ms(0)));
            ASSERT_TRUE(waitUntil([&] { return timer.fires.load() == 1; })) << round;
        }
        ASSERT_TRUE(waitUntil([&] { return threadCount() == before; })) << round;
    }
}

} // namespace
