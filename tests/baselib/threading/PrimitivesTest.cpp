#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/threading/Barrier.h"
#include "baselib/threading/Condition.h"
#include "baselib/threading/Mutex.h"
#include "baselib/threading/Semaphore.h"
#include "baselib/threading/StaticInitializer.h"
#include "baselib/threading/Timespec.h"
#include "baselib/time/DateTime.h"
#include "baselib/time/Timeout.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <thread>
#include <vector>

using namespace Threading;
using KelTime::DateTime;
using KelTime::Milliseconds;
using KelTime::TimeDuration;
using KelTime::Timeout;

namespace {

constexpr auto shortWait = std::chrono::milliseconds(20);
constexpr int workerCount = 4;
constexpr int incrementsPerWorker = 10000;

// Runs `body` on several threads at once and waits for all of them.
template <class Body>
void runConcurrently(int count, Body body)
{
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i)
        threads.emplace_back(body);
    for (std::thread& thread : threads)
        thread.join();
}

// A deadline exactly `seconds` after 1970-01-01 00:00 (the addition adds the precision once).
Timeout deadlineAfterOrigin(double seconds)
{
    return Timeout::at(DateTime::posixOrigin() +
                       (TimeDuration::fromDays(seconds / TimeDuration::secondsPerDay) - DateTime::precision()));
}

TEST(MutexTest, ScopedLocksExcludeEachOther)
{
    Mutex mutex;
    RWLock rwLock;
    long mutexCounter = 0;
    long rwCounter = 0;
    runConcurrently(workerCount, [&] {
        for (int i = 0; i < incrementsPerWorker; ++i) {
            {
                ScopedLock lock(mutex);
                ++mutexCounter;
            }
            ScopedWriteLock lock(rwLock);
            ++rwCounter;
        }
    });
    EXPECT_EQ(mutexCounter, workerCount * incrementsPerWorker);
    EXPECT_EQ(rwCounter, workerCount * incrementsPerWorker);
}

TEST(MutexTest, ReadLocksAreShared)
{
    RWLock rwLock;
    std::atomic<bool> secondReaderIn{false};
    ScopedReadLock held(rwLock);
    std::thread reader([&] {
        ScopedReadLock lock(rwLock);
        secondReaderIn = true;
    });
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!secondReaderIn && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(secondReaderIn);
    reader.join();
}

TEST(MutexTest, StaticInitializationMutexIsOneRecursiveMutex)
{
    Mutex& mutex = Internal::BasicStaticInitializer::syncMutex();
    EXPECT_EQ(&mutex, &Internal::BasicStaticInitializer::syncMutex());
    {
        ScopedLock outer(mutex);
        ScopedLock inner(mutex); // would deadlock on a normal mutex
    }
    // Fully released: another thread can take it.
    std::thread([&] { ScopedLock lock(mutex); }).join();
}

TEST(ConditionTest, TimedWaitIsFalseAtItsDeadline)
{
    Mutex mutex;
    Condition condition;
    ScopedLock lock(mutex);
    const auto begin = std::chrono::steady_clock::now();
    const bool woken = condition.timedWait(mutex, Timeout(TimeDuration(Milliseconds(20))));
    EXPECT_FALSE(woken);
    EXPECT_GE(std::chrono::steady_clock::now() - begin, shortWait - std::chrono::milliseconds(1));
    // An expired deadline gives false at once.
    EXPECT_FALSE(condition.timedWait(mutex, Timeout(TimeDuration::null())));
}

TEST(ConditionTest, TimedWaitIsTrueWhenWoken)
{
    for (const Timeout& deadline : {Timeout(TimeDuration::fromSeconds(30)), Timeout::infinite()}) {
        Mutex mutex;
        Condition condition;
        bool ready = false;
        std::thread waker([&] {
            std::this_thread::sleep_for(shortWait);
            ScopedLock lock(mutex);
            ready = true;
            condition.wakeOne();
        });
        {
            ScopedLock lock(mutex);
            bool woken = true;
            while (!ready && woken)
                woken = condition.timedWait(mutex, deadline);
            EXPECT_TRUE(woken);
            EXPECT_TRUE(ready);
        }
        waker.join();
    }
}

// Deadlines that time_t cannot carry: passed or unknown ones end the wait at once, far ones
// wait like an infinite one, until woken.
TEST(ConditionTest, TimedWaitOnSpecialDeadlines)
{
    const auto afterOrigin = [](double days) { return DateTime::posixOrigin() + TimeDuration::fromDays(days); };
    const struct {
        DateTime end;
        bool waitsForWakeUp;
    } cases[] = {
        {afterOrigin(-std::numeric_limits<double>::infinity()), false},
        {afterOrigin(std::numeric_limits<double>::quiet_NaN()), false},
        {DateTime(), false},
        {afterOrigin(-1.0), false},
        {afterOrigin(1e13), true},
        {afterOrigin(1e15), true},
        {afterOrigin(1e300), true},
    };
    for (const auto& c : cases) {
        Mutex mutex;
        Condition condition;
        bool ready = false;
        std::atomic<bool> done{false};
        // Wakes again and again, so that a wait that lost a wake-up still ends.
        std::thread waker([&] {
            std::this_thread::sleep_for(shortWait);
            while (!done) {
                {
                    ScopedLock lock(mutex);
                    ready = true;
                    condition.wakeAll();
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        {
            ScopedLock lock(mutex);
            // A wait that returns without waiting would spin here holding the mutex.
            constexpr int callLimit = 1000;
            bool woken = true;
            for (int calls = 0; !ready && woken && calls < callLimit; ++calls)
                woken = condition.timedWait(mutex, Timeout::at(c.end));
            EXPECT_EQ(woken, c.waitsForWakeUp) << (c.end - DateTime::posixOrigin()).days();
            EXPECT_EQ(ready, c.waitsForWakeUp) << (c.end - DateTime::posixOrigin()).days();
        }
        done = true;
        waker.join();
    }
}

TEST(SemaphoreTest, WaitTakesWhatPostGave)
{
    auto semaphore = createSharedSemaphore();
    std::atomic<int> taken{0};
    std::thread consumer([&] {
        for (int i = 0; i < workerCount; ++i) {
            semaphore->wait();
            ++taken;
        }
    });
    for (int i = 0; i < workerCount; ++i)
        semaphore->post();
    consumer.join();
    EXPECT_EQ(taken, workerCount);
}

TEST(BarrierTest, CountBelowOneThrows)
{
    for (const int count : {0, -1}) {
        try {
            Barrier barrier(count);
            ADD_FAILURE() << "count " << count;
        } catch (const BarrierException& error) {
            EXPECT_STREQ(error.message(), L"pthread error #22");
        }
    }
}

TEST(TimespecTest, DeadlinesAfterTheOrigin)
{
    struct Case {
        double seconds;
        time_t wholeSeconds;
        long nanoseconds;
        long tolerance_ns;
    };
    const Case cases[] = {
        {1.25, 1, 250000000, 10},
        {2.0, 2, 0, 10},
        {0.999999, 0, 999999000, 10},
        // Today's instants: a day count near 20 000 carries about 0.3 us.
        {1700000000.5, 1700000000, 500000000, 1000},
    };
    for (const Case& c : cases) {
        const timespec result = Internal::timespecFromTimeout(deadlineAfterOrigin(c.seconds));
        EXPECT_GE(result.tv_nsec, 0) << c.seconds;
        EXPECT_LT(result.tv_nsec, 1000000000L) << c.seconds;
        // Compare as one count so that a carry across the second still matches.
        const long long total_ns = static_cast<long long>(result.tv_sec) * 1000000000LL + result.tv_nsec;
        const long long expected_ns = static_cast<long long>(c.wholeSeconds) * 1000000000LL + c.nanoseconds;
        EXPECT_NEAR(static_cast<double>(total_ns), static_cast<double>(expected_ns), c.tolerance_ns) << c.seconds;
    }
}

} // namespace
