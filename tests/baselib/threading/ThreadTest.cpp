#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/threading/ActiveObject.h"
#include "baselib/threading/Semaphore.h"
#include "baselib/threading/StaticInitializer.h"
#include "baselib/threading/Thread.h"
#include "baselib/time/Timeout.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace Threading;
using KelTime::Milliseconds;
using KelTime::TimeDuration;
using KelTime::Timeout;

namespace {

constexpr int answer = 42;
constexpr auto patience = std::chrono::seconds(10);

// Returns its value at once; may be run again; notes how it saw itself while running.
class QuickObject : public ActiveObject {
public:
    std::atomic<int> runs{0};
    Thread selfInside;
    Thread lookedUpInside;

protected:
    int execute() override
    {
        ++runs;
        selfInside = Thread::self();
        lookedUpInside = Thread::fromActiveObject(this);
        return answer;
    }
    void reinitialize() override {}
};

// Runs until the test lets it finish.
class GatedObject : public ActiveObject {
public:
    Semaphore release;

protected:
    int execute() override
    {
        release.wait();
        return answer;
    }
};

void expectNotJoinable(Thread thread)
{
    try {
        thread.join();
        ADD_FAILURE() << "join() did not throw";
    } catch (const ThreadException& error) {
        EXPECT_STREQ(error.message(), L"Thread is not joinable");
    }
}

template <class Predicate>
bool eventually(Predicate predicate)
{
    const auto giveUp = std::chrono::steady_clock::now() + patience;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(ThreadTest, JoinGivesTheResultOnEveryCall)
{
    QuickObject object;
    Thread thread(object); // joined at once, typically before the new thread has begun
    EXPECT_EQ(thread.join(), answer);
    EXPECT_EQ(thread.join(), answer);
    EXPECT_EQ(Thread(thread).join(), answer);
    EXPECT_EQ(object.runs, 1);
}

TEST(ThreadTest, StartsWhileTheCreatorBuildsAStatic)
{
    // A lazily built object may start and wait for a thread under the static-init mutex.
    ScopedLock lock(Internal::BasicStaticInitializer::syncMutex());
    QuickObject object;
    EXPECT_EQ(Thread(object).join(), answer);
}

TEST(ThreadTest, JoinAfterTheThreadEnded)
{
    // The POSIX thread must still be joined (the sanitizer reports leaked threads).
    QuickObject object;
    Thread thread(object);
    ASSERT_TRUE(eventually([&] { return thread.isTerminated(); }));
    EXPECT_EQ(thread.join(), answer);
}

TEST(ThreadTest, ConcurrentJoinsShareOneJoin)
{
    GatedObject object;
    Thread thread(object);
    std::atomic<int> sum{0};
    std::thread otherJoiner([&] { sum += thread.join(); });
    std::thread thirdJoiner([&] { sum += Thread(thread).join(); });
    object.release.post();
    sum += thread.join();
    otherJoiner.join();
    thirdJoiner.join();
    EXPECT_EQ(sum, 3 * answer);
}

TEST(ThreadTest, NotJoinableWithoutARun)
{
    expectNotJoinable(Thread());

    QuickObject object;
    Thread first(object);
    first.join();
    object.reset();
    expectNotJoinable(first); // the object is idle again
    expectNotJoinable(Thread::fromActiveObject(&object));

    Thread second(object);
    EXPECT_EQ(second.join(), answer);
    EXPECT_EQ(object.runs, 2);
}

TEST(ThreadTest, SelfAndLookUp)
{
    EXPECT_FALSE(Thread::self());
    EXPECT_TRUE(!Thread::self());
    std::thread([] { EXPECT_FALSE(Thread::self()); }).join();

    QuickObject object;
    Thread thread(object);
    thread.join();
    EXPECT_TRUE(object.selfInside);
    EXPECT_TRUE(object.selfInside == thread);
    EXPECT_TRUE(object.lookedUpInside == thread);
    EXPECT_TRUE(object.selfInside != Thread::self());

    // Not running: the object but a zero handle.
    const Thread after = Thread::fromActiveObject(&object);
    EXPECT_TRUE(after);
    EXPECT_TRUE(after == Thread());
}

TEST(ThreadTest, IsTerminatedFollowsTheRun)
{
    EXPECT_TRUE(Thread().isTerminated());

    GatedObject object;
    Thread thread(object);
    EXPECT_FALSE(thread.isTerminated());
    object.release.post();
    EXPECT_TRUE(eventually([&] { return thread.isTerminated(); }));
    EXPECT_EQ(thread.join(), answer);
}

TEST(ThreadTest, SleepTruncatesToWholeMilliseconds)
{
    struct Case {
        TimeDuration duration;
        std::chrono::microseconds atLeast;
    };
    const Case cases[] = {
        {TimeDuration::null(), std::chrono::microseconds(0)},
        {TimeDuration(Milliseconds(1.5)), std::chrono::milliseconds(1)},
        {TimeDuration(Milliseconds(30)), std::chrono::milliseconds(29)},
    };
    for (const Case& c : cases) {
        const Timeout timeout(c.duration);
        const auto begin = std::chrono::steady_clock::now();
        Thread::sleep(timeout);
        const auto slept = std::chrono::steady_clock::now() - begin;
        EXPECT_GE(slept, c.atLeast);
        EXPECT_LT(slept, c.atLeast + std::chrono::milliseconds(500));
    }
}

} // namespace
