// Throughput of many tiny tasks pushed from one thread through ThreadPool, against
// boost::asio::thread_pool with as many threads. Rounds of both alternate and the medians
// count. Besides tasks per second of wall-clock time, tasks per second of process CPU time
// are given: on a shared machine they vary far less with the load of other processes.
// Usage: thread_pool_throughput_bench [rounds] [tasks per round]

#include "baselib/threading/Task.h"
#include "baselib/threading/ThreadPool.h"

#include <boost/asio/post.hpp>
#include <boost/asio/thread_pool.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include <time.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int defaultRounds = 15;
constexpr int defaultTasks = 100000;

// Counts down; the last one to finish tells the producer.
struct Countdown {
    explicit Countdown(int count) : left(count) {}
    void hit()
    {
        if (left.fetch_sub(1) == 1)
            finished.set_value();
    }
    std::atomic<int> left;
    std::promise<void> finished;
};

class TinyTask : public Threading::Task {
public:
    explicit TinyTask(Countdown& countdown) : m_countdown(countdown) {}
    void run(Threading::TaskQueue&) override { m_countdown.hit(); }

private:
    Countdown& m_countdown;
};

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Rates {
    std::vector<double> wall, cpu;
};

template <class Post>
void measure(int tasks, Post post, Rates& rates)
{
    Countdown countdown(tasks);
    std::future<void> finished = countdown.finished.get_future();
    const double cpuBegin = processCpuSeconds();
    const Clock::time_point begin = Clock::now();
    for (int i = 0; i < tasks; ++i)
        post(countdown);
    finished.wait();
    rates.wall.push_back(tasks / std::chrono::duration<double>(Clock::now() - begin).count());
    rates.cpu.push_back(tasks / (processCpuSeconds() - cpuBegin));
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : defaultRounds;
    const int tasks = argc > 2 ? std::atoi(argv[2]) : defaultTasks;
    const unsigned workers = std::max(2u, std::thread::hardware_concurrency());

    Rates ours, baseline;
    Threading::ThreadPool pool(1, workers);
    boost::asio::thread_pool asioPool(workers);
    for (int round = 0; round < rounds; ++round) {
        measure(tasks, [&](Countdown& countdown) { pool.pushTask(std::make_unique<TinyTask>(countdown)); }, ours);
        measure(
            tasks, [&](Countdown& countdown) { boost::asio::post(asioPool, [&countdown] { countdown.hit(); }); },
            baseline);
    }
    asioPool.join();
    std::printf("medians of %d rounds, %d tasks each, %u workers\n", rounds, tasks, workers);
    std::printf("%-11s %10s %14s\n", "", "tasks/s", "tasks/cpu-s");
    std::printf("%-11s %10.0f %14.0f\n", "ThreadPool", median(ours.wall), median(ours.cpu));
    std::printf("%-11s %10.0f %14.0f\n", "asio", median(baseline.wall), median(baseline.cpu));
    std::printf("ratio wall %.2f   ratio cpu %.2f   (goal >= 0.7)\n", median(ours.wall) / median(baseline.wall),
                median(ours.cpu) / median(baseline.cpu));
    return 0;
}
