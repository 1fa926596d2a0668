#include "TaskTestSupport.h"

#include "baselib/threading/TaskQueue.h"
#include "baselib/threading/TaskQueueThreadProxy.h"
#include "baselib/threading/ThreadPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using namespace Threading;

namespace {

constexpr int pusherCount = 8;
constexpr int taskTotal = 100000;
constexpr int tasksPerPusher = taskTotal / pusherCount;
constexpr auto completionLimit = std::chrono::seconds(60);

// Counts, per task number, how often it ran and how often it was deleted.
struct Tally {
    std::vector<std::atomic<int>> runs = std::vector<std::atomic<int>>(taskTotal);
    std::atomic<int> ran{0};
    std::atomic<int> deleted{0};

    bool eachRanOnce() const
    {
        return std::all_of(runs.begin(), runs.end(), [](const std::atomic<int>& count) { return count.load() == 1; });
    }
    bool noneRanTwice() const
    {
        return std::all_of(runs.begin(), runs.end(), [](const std::atomic<int>& count) { return count.load() <= 1; });
    }
};

class CountedTask : public Task {
public:
    CountedTask(Tally& tally, int number, bool owned) : m_tally(tally), m_number(number), m_owned(owned) {}
    ~CountedTask() override
    {
        if (m_owned)
            ++m_tally.deleted;
    }
    void run(TaskQueue&) override
    {
        ++m_tally.runs[m_number];
        ++m_tally.ran;
    }
    // Agrees, so that cancellation also takes the interrupted path.
    bool interrupt() override { return true; }

private:
    Tally& m_tally;
    const int m_number;
    const bool m_owned;
};

// Counts the notifications of one queue.
class CountingListener : public TaskQueueObserver {
public:
    ~CountingListener() { disconnect(); }
    void taskPushed(TaskQueue&, Task&) override { ++pushed; }
    void taskStarted(TaskQueue&, Task&) override { ++started; }
    void taskFinished(TaskQueue&, Task&) override { ++ended; }
    void taskInterrupted(TaskQueue&, Task&) override { ++ended; }
    std::atomic<int> pushed{0}, started{0}, ended{0};
};

// Even task numbers are pushed owned, odd ones by reference from `kept`.
template <class Target>
void pushAll(Target& target, Tally& tally, std::vector<std::unique_ptr<CountedTask>>& kept)
{
    for (int number = 1; number < taskTotal; number += 2)
        kept[number] = std::make_unique<CountedTask>(tally, number, false);
    std::vector<std::thread> pushers;
    for (int p = 0; p < pusherCount; ++p)
        pushers.emplace_back([&, p] {
            for (int number = p * tasksPerPusher; number < (p + 1) * tasksPerPusher; ++number) {
                if (number % 2 == 0)
                    target.pushTask(std::make_unique<CountedTask>(tally, number, true));
                else
                    target.pushTask(*kept[number]);
            }
        });
    for (auto& pusher : pushers)
        pusher.join();
}

bool waitUntil(const std::function<bool()>& condition)
{
    const auto limit = std::chrono::steady_clock::now() + completionLimit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(TaskQueueStressTest, ManyPushersOneQueueEveryTaskRunsOnce)
{
    Tally tally;
    std::vector<std::unique_ptr<CountedTask>> kept(taskTotal);
    CountingListener listener;
    {
        Internal::TaskQueueThreadProxy worker;
        listener.connect(worker.queue().signalSubject());
        pushAll(worker.queue(), tally, kept);
        worker.queue().waitAll();
    }
    EXPECT_TRUE(tally.eachRanOnce());
    EXPECT_EQ(tally.deleted, taskTotal / 2);
    EXPECT_EQ(listener.pushed, taskTotal);
    EXPECT_EQ(listener.started, taskTotal);
    EXPECT_EQ(listener.ended, taskTotal);
}

TEST(TaskQueueStressTest, ManyPushersOnePoolEveryTaskRunsOnce)
{
    Tally tally;
    std::vector<std::unique_ptr<CountedTask>> kept(taskTotal);
    {
        ThreadPool pool(1, 4);
        pushAll(pool, tally, kept);
        EXPECT_TRUE(waitUntil([&] { return tally.ran.load() == taskTotal; }));
    }
    EXPECT_TRUE(tally.eachRanOnce());
    EXPECT_EQ(tally.deleted, taskTotal / 2);
}

TEST(TaskQueueStressTest, CancellingAQueueWhileTasksArrive)
{
    Tally tally;
    std::vector<std::unique_ptr<CountedTask>> kept(taskTotal);
    {
        Internal::TaskQueueThreadProxy worker;
        std::thread canceller([&] {
            waitUntil([&] { return tally.ran.load() > 0; });
            worker.stop();
        });
        pushAll(worker.queue(), tally, kept);
        canceller.join();
        // Nothing runs after the stop; what waits is dropped with the queue.
        EXPECT_EQ(static_cast<std::size_t>(tally.ran.load()) + worker.queue().taskCount(), std::size_t{taskTotal});
    }
    EXPECT_TRUE(tally.noneRanTwice());
    EXPECT_EQ(tally.deleted, taskTotal / 2);
}

TEST(TaskQueueStressTest, DestroyingAPoolWhileTasksRun)
{
    Tally tally;
    std::vector<std::unique_ptr<CountedTask>> kept(taskTotal);
    {
        ThreadPool pool(2, 4);
        pushAll(pool, tally, kept);
    }
    EXPECT_TRUE(tally.noneRanTwice());
    EXPECT_EQ(tally.deleted, taskTotal / 2);
}

} // namespace
