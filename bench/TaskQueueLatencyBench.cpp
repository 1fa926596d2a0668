// Push-to-start latency of a task on an idle TaskQueue running on its own thread, against a
// plain std::mutex + std::condition_variable queue with a consumer thread. Rounds of both
// alternate so that a change of machine load meets both alike.
// Usage: task_queue_latency_bench [rounds] [samples per round]

#include "LatencyStats.h"

#include "baselib/threading/Task.h"
#include "baselib/threading/TaskQueue.h"
#include "baselib/threading/TaskQueueThreadProxy.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int defaultRounds = 10;
constexpr int defaultSamples = 1000;
// Lets the consumer go back to sleep on its condition before the next push.
constexpr auto idleGap = std::chrono::microseconds(100);

double microseconds(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// Notes when its body starts.
struct Probe {
    std::atomic<Clock::rep> startedAt{0};
    std::atomic<bool> done{false};

    void hit()
    {
        startedAt.store(Clock::now().time_since_epoch().count());
        done.store(true);
    }
};

class ProbeTask : public Threading::Task {
public:
    explicit ProbeTask(Probe& probe) : m_probe(probe) {}
    void run(Threading::TaskQueue&) override { m_probe.hit(); }

private:
    Probe& m_probe;
};

// The baseline: what one writes by hand with the standard library.
class PlainQueue {
public:
    PlainQueue() : m_consumer([this] { consume(); }) {}
    ~PlainQueue()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_consumer.join();
    }

    void push(Probe& probe)
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_jobs.push_back(&probe);
        }
        m_wake.notify_one();
    }

private:
    void consume()
    {
        for (;;) {
            Probe* job = nullptr;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
                if (m_jobs.empty())
                    return;
                job = m_jobs.front();
                m_jobs.pop_front();
            }
            job->hit();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Probe*> m_jobs;
    bool m_stop = false;
    std::thread m_consumer;
};

template <class Push>
void measure(int samples, Push push, std::vector<double>& latencies_us)
{
    for (int i = 0; i < samples; ++i) {
        std::this_thread::sleep_for(idleGap);
        Probe probe;
        const Clock::time_point pushedAt = Clock::now();
        push(probe);
        while (!probe.done.load())
            std::this_thread::yield();
        latencies_us.push_back(microseconds(Clock::duration(probe.startedAt.load()) - pushedAt.time_since_epoch()));
    }
}

void print(const char* name, const LatencyStats& stats)
{
    std::printf("%-22s p50 %8.2f us   p99 %8.2f us   max %9.2f us\n", name, stats.p50, stats.p99, stats.max);
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : defaultRounds;
    const int samples = argc > 2 ? std::atoi(argv[2]) : defaultSamples;

    std::vector<double> ours_us, baseline_us;
    Threading::Internal::TaskQueueThreadProxy worker;
    PlainQueue plain;
    for (int round = 0; round < rounds; ++round) {
        measure(samples, [&](Probe& probe) { worker.queue().pushTask(std::make_unique<ProbeTask>(probe)); }, ours_us);
        measure(samples, [&](Probe& probe) { plain.push(probe); }, baseline_us);
    }

    const LatencyStats ours = LatencyStats::of(ours_us);
    const LatencyStats baseline = LatencyStats::of(baseline_us);
    std::printf("push-to-start latency, %d samples each\n", rounds * samples);
    print("TaskQueue", ours);
    print("mutex+condvar queue", baseline);
    std::printf("ratio p50 %.2f (goal <= 1.5 and p50 <= 20 us)   ratio p99 %.2f\n", ours.p50 / baseline.p50,
                ours.p99 / baseline.p99);
    return 0;
}
