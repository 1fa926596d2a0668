#include "TaskTestSupport.h"

#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/threading/Semaphore.h"
#include "baselib/threading/TaskQueue.h"
#include "baselib/threading/TaskQueueThreadProxy.h"
#include "baselib/threading/ThreadPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace Threading;
using namespace TaskTestSupport;

namespace {

using Lines = std::vector<std::string>;

constexpr auto announcementDelay = std::chrono::milliseconds(50);

// Blocks its body until released or interrupted; interrupt() agrees only when told to.
class GateTask : public NamedTask {
public:
    GateTask(std::string name, bool interruptible)
        : NamedTask(std::move(name),
                    [this](TaskQueue& queue) {
                        ranOn = &queue;
                        started.post();
                        gate.wait();
                    }),
          m_interruptible(interruptible)
    {
    }

    bool interrupt() override
    {
        if (m_interruptible)
            gate.post();
        return m_interruptible;
    }

    Semaphore started;
    Semaphore gate;
    std::atomic<TaskQueue*> ranOn{nullptr};

private:
    bool m_interruptible;
};

class FailingTask : public Task {
public:
    void run(TaskQueue&) override { throw std::runtime_error("boom"); }
};

TEST(TaskQueueTest, RunsInPushOrderAndNotifiesEachStep)
{
    Log log;
    Log counts;
    std::atomic<int> deletions{0};
    TaskQueue queue;
    Recorder recorder(log);
    recorder.connect(queue.signalSubject());

    const auto countAtStart = [&counts](TaskQueue& q) { counts.add(std::to_string(q.taskCount())); };
    NamedTask kept("b", countAtStart);
    queue.pushTask(std::make_unique<NamedTask>("a", countAtStart, &deletions));
    queue.pushTask(kept);
    queue.pushTask(std::make_unique<NamedTask>("c", countAtStart, &deletions));
    EXPECT_EQ(queue.taskCount(), 3u);

    EXPECT_EQ(queue.processTasks(), 3u);
    EXPECT_EQ(queue.processTasks(), 0u);
    EXPECT_EQ(counts.lines(), (Lines{"2", "1", "0"})) << "the count falls by one as each task starts";
    EXPECT_EQ(log.lines(), (Lines{"pushed:a", "pushed:b", "pushed:c", "started:a", "finished:a", "started:b",
                                  "finished:b", "started:c", "finished:c"}));
    EXPECT_EQ(deletions, 2) << "owned tasks are deleted once run; the kept one is not";
}

TEST(TaskQueueTest, TaskWaitsForTheAnnouncementOfItsPush)
{
    Log log;
    Internal::TaskQueueThreadProxy worker;
    Recorder recorder(log);
    recorder.hook = [](const std::string& line) {
        if (line == "pushed:b")
            std::this_thread::sleep_for(announcementDelay);
    };
    recorder.connect(worker.queue().signalSubject());

    // The thread is done with a while b's push is still being told, and must wait for it.
    worker.queue().pushTask(std::make_unique<NamedTask>("a", [](TaskQueue&) {}));
    worker.queue().pushTask(std::make_unique<NamedTask>("b", [](TaskQueue&) {}));
    worker.queue().waitAll();
    const Lines lines = log.lines();
    const auto at = [&lines](const char* line) { return std::find(lines.begin(), lines.end(), line) - lines.begin(); };
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_LT(at("pushed:b"), at("started:b"));
    EXPECT_LT(at("started:b"), at("finished:b"));
}

TEST(TaskQueueTest, WaitAllReturnsAfterTheLastNotification)
{
    Log log;
    Internal::TaskQueueThreadProxy worker;
    Recorder recorder(log);
    recorder.hook = [](const std::string& line) {
        if (line.rfind("finished", 0) == 0)
            std::this_thread::sleep_for(announcementDelay);
    };
    recorder.connect(worker.queue().signalSubject());

    // A body may push further tasks; waitAll covers them as well.
    worker.queue().pushTask(std::make_unique<NamedTask>(
        "a", [](TaskQueue& queue) { queue.pushTask(std::make_unique<NamedTask>("b", [](TaskQueue&) {})); }));
    worker.queue().waitAll();
    const Lines lines = log.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "finished:b");
    EXPECT_EQ(worker.queue().taskCount(), 0u);
}

TEST(TaskQueueTest, ThrowingBodyIsReportedAndTheQueueGoesOn)
{
    TaskQueue queue;
    bool nextRan = false;
    queue.pushTask(std::make_unique<FailingTask>());
    queue.pushTask(std::make_unique<ActionTask>([&nextRan](TaskQueue&) { nextRan = true; }));
    std::wstring report;
    {
        StreamCapture capture(std::wcerr);
        EXPECT_EQ(queue.processTasks(), 2u);
        report = capture.text();
    }
    EXPECT_TRUE(nextRan);
    EXPECT_NE(report.find(L"Threading::TaskQueue::Impl::executeTaskQueue("), std::wstring::npos) << report;
    EXPECT_NE(report.find(L": Необработанное исключение во время исполнения\n(boom)\nЗадача "
                          L"(anonymous namespace)::FailingTask"),
              std::wstring::npos)
        << report;
}

TEST(TaskQueueTest, ThrowingListenerIsReportedAndTheTaskStillRuns)
{
    struct ThrowingListener : Recorder {
        using Recorder::Recorder;
        void taskStarted(TaskQueue& queue, Task& task) override
        {
            Recorder::taskStarted(queue, task);
            throw std::runtime_error("listener");
        }
    };
    Log log;
    TaskQueue queue;
    ThrowingListener thrower(log);
    Recorder next(log);
    thrower.connect(queue.signalSubject());
    next.connect(queue.signalSubject());
    bool ran = false;
    queue.pushTask(std::make_unique<NamedTask>("a", [&ran](TaskQueue&) { ran = true; }));
    std::wstring report;
    {
        StreamCapture capture(std::wcerr);
        EXPECT_EQ(queue.processTasks(), 1u);
        report = capture.text();
    }
    EXPECT_TRUE(ran);
    EXPECT_EQ(log.lines(), (Lines{"pushed:a", "pushed:a", "started:a", "started:a", "finished:a", "finished:a"}));
    EXPECT_NE(report.find(L"(listener)\nСлушатель (anonymous namespace)::"), std::wstring::npos) << report;
    EXPECT_EQ(report.find(L"Задача"), std::wstring::npos) << report;
}

TEST(TaskQueueTest, InterruptionDecidesTheLastNotification)
{
    struct Case {
        bool interruptible;
        const char* last;
    };
    for (const Case& c : {Case{true, "interrupted:g"}, Case{false, "finished:g"}}) {
        Log log;
        Internal::TaskQueueThreadProxy worker;
        Recorder recorder(log);
        recorder.connect(worker.queue().signalSubject());
        GateTask task("g", c.interruptible);
        worker.queue().interruptCurrentTask(); // nothing runs: nothing to interrupt
        worker.queue().pushTask(task);
        task.started.wait();
        worker.queue().interruptCurrentTask();
        if (!c.interruptible)
            task.gate.post();
        worker.queue().waitAll();
        EXPECT_EQ(log.lines(), (Lines{"pushed:g", "started:g", c.last})) << c.interruptible;
    }
}

TEST(TaskQueueTest, MisuseIsRefused)
{
    TaskQueue queue;
    EXPECT_THROW(queue.pushTask(std::unique_ptr<Task>()), ThreadingException);
    EXPECT_EQ(queue.taskCount(), 0u);

    // A body may not process or await its own queue: it would wait for itself.
    const auto refusal = [](TaskQueue& queue, void (*action)(TaskQueue&)) -> std::wstring {
        try {
            action(queue);
        } catch (const ThreadingException& error) {
            return error.message();
        }
        return L"(nothing thrown)";
    };
    std::wstring waiting, processing;
    queue.pushTask(std::make_unique<ActionTask>([&](TaskQueue& q) {
        waiting = refusal(q, [](TaskQueue& own) { own.waitAll(); });
        processing = refusal(q, [](TaskQueue& own) { own.processTasks(); });
    }));
    EXPECT_EQ(queue.processTasks(), 1u);
    EXPECT_EQ(waiting, L"void Threading::TaskQueue::Impl::waitAll() not valid in this state");
    EXPECT_NE(processing.find(L"Threading::TaskQueue::Impl::executeTaskQueue("), std::wstring::npos) << processing;
}

TEST(TaskQueueTest, CancelEndsTheLoopAndTheQueueDeletesWhatWaits)
{
    std::atomic<int> deletions{0};
    std::atomic<int> runs{0};
    std::wstring trace;
    {
        auto worker = std::make_unique<Internal::TaskQueueThreadProxy>();
        GateTask blocker("g", true);
        worker->queue().pushTask(blocker);
        blocker.started.wait();
        for (int i = 0; i < 5; ++i)
            worker->queue().pushTask(std::make_unique<ActionTask>([&runs](TaskQueue&) { ++runs; }, &deletions));
        worker->stop(); // interrupts the blocker, leaves the loop
        EXPECT_EQ(worker->queue().taskCount(), 5u);
        StreamCapture capture(std::wclog);
        worker.reset();
        trace = capture.text();
    }
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(deletions, 5);
    EXPECT_NE(trace.find(L"Threading::TaskQueue::Impl::~Impl - В очереди 5 задач\n"), std::wstring::npos) << trace;
}

TEST(ThreadPoolTest, ChoosesTheFirstFreeWorkerThenGrowsThenTheLeastLoaded)
{
    ThreadPool pool(1, 2);
    Log log;
    GateTask blocker1("b1", false), blocker2("b2", false);
    const auto where = [&](std::string name) {
        return std::make_unique<ActionTask>([&log, &blocker1, name](TaskQueue& queue) {
            log.add(name + (&queue == blocker1.ranOn.load() ? "@1" : "@2"));
        });
    };
    pool.pushTask(blocker1);
    blocker1.started.wait();
    pool.pushTask(where("x")); // worker 1 only runs a task: it counts as free
    pool.pushTask(blocker2);   // worker 1 has one waiting: a second worker is made
    blocker2.started.wait();
    EXPECT_NE(blocker2.ranOn.load(), blocker1.ranOn.load());
    pool.pushTask(where("y")); // 1 waiting against 0
    pool.pushTask(where("z")); // a tie: the first worker
    pool.pushTask(where("u")); // 2 against 1; the pool is at its maximum
    blocker1.gate.post();
    blocker2.gate.post();
    while (log.lines().size() < 4)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Lines lines = log.lines();
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (Lines{"u@2", "x@1", "y@2", "z@1"}));
}

TEST(ThreadPoolTest, PoolWithoutWorkersRefusesTasks)
{
    ThreadPool pool(0, 0);
    std::atomic<int> deletions{0};
    EXPECT_THROW(pool.pushTask(std::make_unique<ActionTask>([](TaskQueue&) {}, &deletions)), ThreadingException);
    EXPECT_EQ(deletions, 1) << "a refused owned task is deleted";
}

} // namespace
