#include "SerialReadFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <iostream>
#include <mutex>
#include <thread>

#include <sys/syscall.h>

namespace {

using namespace KelComm::Serial;
using KelCommTest::elapsedMs;
using KelCommTest::SerialReadTest;
using KelCommTest::SteadyClock;
using KelCommTest::untouched;
using KelTime::TimeDuration;
using std::chrono::milliseconds;

// Runs the read in another thread, so that this one can end it once it is under way.
class BlockedRead {
public:
    BlockedRead(SystemSerialPort& port) : m_port(port)
    {
        m_thread = std::thread([this] {
            started = true;
            result = m_port.read(buffer, sizeof buffer, &received, false);
            endedAt = SteadyClock::now();
        });
    }
    ~BlockedRead()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    // Returns once the reader is about to block, plus a margin for it to get there.
    void awaitBlocking()
    {
        while (!started)
            std::this_thread::yield();
        std::this_thread::sleep_for(milliseconds(60));
    }
    void finish() { m_thread.join(); }

    std::atomic<bool> started{false};
    std::uint8_t buffer[16] = {};
    std::uint32_t received = untouched;
    IO_Result result{-1};
    SteadyClock::time_point endedAt;

private:
    SystemSerialPort& m_port;
    std::thread m_thread;
};

TEST_P(SerialReadTest, AnInfiniteWaitEndsWithAbortOrClose)
{
    setTimeouts(TimeDuration::infinity(), KelTime::Milliseconds(10));
    const std::function<void()> enders[] = {
        [&] { m_port->abort(true, false, true); },
        [&] { m_port->close(); },
    };
    for (const auto& end : enders) {
        BlockedRead read(*m_port);
        read.awaitBlocking();
        const auto endedFrom = SteadyClock::now();
        end();
        read.finish();
        EXPECT_EQ(read.result.status, IO_Result::Aborted);
        EXPECT_EQ(read.received, 0u);
        EXPECT_GE(read.endedAt, endedFrom);
    }
    EXPECT_FALSE(m_port->isOpened());

    // A one-shot abort is not latched: after reopening, reads work again.
    openPort();
    deviceEnd().send("ok");
    std::uint8_t buffer[2];
    EXPECT_TRUE(m_port->read(buffer, 2, nullptr, false).isGood());
}

// A one-shot abort must end the read under way wherever it falls among the read's waits
// and passes. Each round waits until the read sleeps in its poll, then sends a byte that
// wakes it and aborts a little later, the delay swept across the reader's wake-up. The
// read has no time limit of its own: a lost abort leaves it blocked, and it is counted and
// freed by a second abort once the generous bound has passed.
TEST_P(SerialReadTest, EveryAbortRacingTheReadEndsIt)
{
    constexpr int rounds = 10000;
    constexpr int delaySteps = 100;
    constexpr auto delayStep = std::chrono::nanoseconds(1000);
    constexpr auto generousBound = std::chrono::seconds(10);
    constexpr double quickEnd_ms = 50;
    setTimeouts(TimeDuration::infinity(), TimeDuration::infinity());

    std::mutex mutex;
    std::condition_variable changed;
    int started = 0, finished = 0;
    pid_t reader = 0;
    IO_Result result;
    std::thread readerThread([&] {
        std::unique_lock<std::mutex> guard(mutex);
        reader = KelCommTest::currentThreadId();
        changed.notify_all();
        for (int round = 0; round < rounds; ++round) {
            changed.wait(guard, [&] { return started > round; });
            guard.unlock();
            // Room for every byte of the run: a server between may pass on the bytes of
            // several rounds at once, and a read that filled up would end without its abort.
            std::vector<std::uint8_t> buffer(rounds + 1);
            const IO_Result ended =
                m_port->read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), nullptr, false);
            guard.lock();
            result = ended;
            finished = round + 1;
            changed.notify_all();
        }
    });

    {
        std::unique_lock<std::mutex> guard(mutex);
        changed.wait(guard, [&] { return reader != 0; });
    }
    int neverEnded = 0, notAborted = 0, slowEnds = 0;
    double slowest_ms = 0;
    for (int round = 0; round < rounds; ++round) {
        {
            const std::lock_guard<std::mutex> guard(mutex);
            started = round + 1;
        }
        changed.notify_all();
        ASSERT_TRUE(KelCommTest::awaitBlockedIn(reader, SYS_ppoll, generousBound)) << "round " << round;
        deviceEnd().send("a");
        const auto delayEnd = SteadyClock::now() + delayStep * (round % delaySteps);
        while (SteadyClock::now() < delayEnd) {
        }
        const auto aborted = SteadyClock::now();
        m_port->abort(true, false, true);
        std::unique_lock<std::mutex> guard(mutex);
        if (!changed.wait_for(guard, generousBound, [&] { return finished > round; })) {
            ++neverEnded;
            guard.unlock();
            m_port->abort(true, false, true);
            guard.lock();
            changed.wait(guard, [&] { return finished > round; });
        }
        const double took_ms = elapsedMs(aborted);
        slowest_ms = std::max(slowest_ms, took_ms);
        slowEnds += took_ms > quickEnd_ms;
        notAborted += result.status != IO_Result::Aborted;
    }
    readerThread.join();
    EXPECT_EQ(neverEnded, 0);
    EXPECT_EQ(notAborted, 0);
    // Not asserted: a loaded machine may deschedule the reader for longer.
    std::cout << "reads ending later than " << quickEnd_ms << " ms after their abort: " << slowEnds
              << ", slowest " << slowest_ms << " ms\n";
}

TEST_P(SerialReadTest, ALatchedAbortHoldsUntilCleared)
{
    setTimeouts(KelTime::Seconds(2), KelTime::Milliseconds(10));
    deviceEnd().send(bytes(4));
    awaitBuffered(4);
    m_port->abort(true, false, false);
    std::uint8_t buffer[4];
    std::uint32_t received = untouched;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto start = SteadyClock::now();
        EXPECT_EQ(m_port->read(buffer, 4, &received, false).status, IO_Result::Aborted);
        EXPECT_EQ(m_port->waitForByteReceived(KelTime::Timeout(KelTime::Seconds(1))).status, IO_Result::Aborted);
        EXPECT_EQ(m_port->waitForNonbreakStatus(KelTime::Timeout(KelTime::Seconds(1))).status, IO_Result::Aborted);
        EXPECT_LT(elapsedMs(start), 20.0);
    }
    EXPECT_EQ(received, untouched);
    // Writes were not aborted.
    EXPECT_TRUE(m_port->write("w", 1, nullptr).isGood());
    // Closing and opening keep the latch.
    m_port->close();
    openPort();
    EXPECT_EQ(m_port->read(buffer, 4, &received, false).status, IO_Result::Aborted);

    m_port->clearAbortFlag(true, false);
    deviceEnd().send(bytes(4));
    EXPECT_TRUE(m_port->read(buffer, 4, &received, false).isGood());
    EXPECT_EQ(received, 4u);
}

} // namespace
