#include "Latch.h"

#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/signals/DeferredDelete.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using KelBaseTest::Latch;

class Releasable : public KelBase::Internal::DeferredDeleteBase {
public:
    using DeferredDeleteBase::releasedComplete;
    using DeferredDeleteBase::signalReleased;
    using DeferredDeleteBase::throwReleased;
    using DeferredDeleteBase::waitReleased;

    // Set just before signalReleased(): a waiter must never return before it.
    std::atomic<bool> releasing{false};
};

TEST(DeferredDeleteBaseTest, WaitReturnsOnceReleased)
{
    Releasable released;
    EXPECT_FALSE(released.releasedComplete());
    released.signalReleased();
    EXPECT_TRUE(released.releasedComplete());
    released.waitReleased();

    Releasable object;
    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        object.waitReleased();
        returned = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(returned);
    object.signalReleased();
    waiter.join();
    EXPECT_TRUE(returned);
}

TEST(DeferredDeleteBaseTest, ThrowReleasedThrowsAnEmptyLibraryException)
{
    try {
        Releasable::throwReleased();
        ADD_FAILURE() << "nothing thrown";
    } catch (const KelBase::ObjectReleasedException& error) {
        EXPECT_STREQ(error.message(), L"");
        EXPECT_STREQ(error.what(), "KEL_EXCEPTION");
    }
}

// Many objects, several waiters each, released in random order from several threads: every
// waiter of every object wakes, and none before its own object is released.
TEST(DeferredDeleteBaseTest, EveryReleasedObjectsWaitersWake)
{
    constexpr int objectCount = 32;
    constexpr int waitersPerObject = 3;
    constexpr int releaserCount = 4;
    std::vector<Releasable> objects(objectCount);
    Latch waiting(objectCount * waitersPerObject), woken(objectCount * waitersPerObject);
    std::atomic<int> early{0};

    std::vector<std::thread> threads;
    for (Releasable& object : objects)
        for (int i = 0; i < waitersPerObject; ++i)
            threads.emplace_back([&] {
                waiting.countDown();
                object.waitReleased();
                if (!object.releasing)
                    ++early;
                woken.countDown();
            });
    ASSERT_TRUE(waiting.wait());

    std::vector<int> order(objectCount);
    for (int i = 0; i < objectCount; ++i)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    for (int r = 0; r < releaserCount; ++r)
        threads.emplace_back([&, r] {
            for (int i = r; i < objectCount; i += releaserCount) {
                Releasable& object = objects[order[i]];
                object.releasing = true;
                object.signalReleased();
                std::this_thread::yield();
            }
        });

    EXPECT_TRUE(woken.wait()) << "a waiter of a released object still sleeps";
    EXPECT_EQ(early, 0);
    for (std::thread& thread : threads)
        thread.join();
}

} // namespace
